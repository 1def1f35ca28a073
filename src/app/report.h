// The report of one detection run, for scripts and monitoring: the two
// lookups in the dialog's order and its verdict, each field's text as the
// dialog shows it.
#pragma once

#include <cstdio>

#include "app/json_writer.h"
#include "platform/platform.h"

const int kReportFieldSize = 256;
const int kReportNoteSize = 1024;

struct DetectionReport {
    char localAddress[kReportFieldSize];    // the address, or the failure text
    char internetAddress[kReportFieldSize]; // the same
    char note[kReportNoteSize];
    UINT noteId; // the string id of the note
    bool foundLocal;
    bool foundInternet;
};

// Runs the detection once.
void MakeReport(DetectionReport* report);

// Both lookups found an address.
bool ReportIsComplete(const DetectionReport* report);

// The three fields, one a line, each after its label as the dialog shows it.
void WriteTextReport(std::FILE* out, const DetectionReport* report);

// The three fields, and the verdict, as the keys of the JSON object open
// in json.
void WriteJsonReport(JsonWriter* json, const DetectionReport* report);

// A label and its text, the texts lined up as in the dialog.
void WriteReportLine(std::FILE* out, const char* label, const char* text);

// Lines of a report gathered before they are written, so that the text
// report and the page say the same. The labels are the program's own
// constant texts.
const int kReportLineLimit = 32;

struct ReportLine {
    const char* label; // "" continues the line before
    char text[kReportFieldSize];
};

struct ReportLines {
    int count;
    ReportLine lines[kReportLineLimit];
};

void AddReportLine(ReportLines* lines, const char* label, const char* text);
void WriteReportLines(std::FILE* out, const ReportLines* lines);

// The three fields as WriteTextReport writes them.
void ReportFieldLines(const DetectionReport* report, ReportLines* lines);
