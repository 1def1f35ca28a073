// The report of one detection run, for scripts and monitoring: the two
// lookups in the dialog's order and its verdict, each field's text as the
// dialog shows it.
#pragma once

#include <cstdio>

#include "platform/platform.h"

struct DeepReport;

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

// One JSON object on one line; deep, when not null, adds its keys.
void WriteJsonReport(std::FILE* out, const DetectionReport* report, const DeepReport* deep);

// A JSON string of the text, its bytes read as Latin-1 (the resources'
// texts are), in printable ASCII.
void WriteJsonString(std::FILE* out, const char* text);

// The pieces both reports are written with: a label and its text, the texts
// lined up as in the dialog; a JSON string or null; a key (what comes
// before the value, as ", \"name\": ") with an address or null, or with a
// fact (true, false or null for a kFact value).
void WriteReportLine(std::FILE* out, const char* label, const char* text);
void WriteJsonTextOrNull(std::FILE* out, const char* text);
void WriteJsonAddress(std::FILE* out, const char* key, bool found, const char* text);
void WriteJsonFact(std::FILE* out, const char* key, int fact);
