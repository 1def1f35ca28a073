// The report of one detection run, for scripts and monitoring: the two
// lookups in the dialog's order and its verdict, each field's text as the
// dialog shows it.
#pragma once

#include <cstdio>

#include "platform/platform.h"
#include "reach/incoming_call.h"
#include "reach/port_mapping.h"

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

// The facts of --deep, beyond the verdict; none of them changes whether the
// report is complete.
struct DeepReport {
    PortMapping mapping;
    int doubleNat;    // kDoubleNatNo, kDoubleNatYes or kDoubleNatUnknown
    int incomingCall; // one of the kCall values
};

// Asks the router and the echo service, after the run that report holds.
void MakeDeepReport(const DetectionReport* report, DeepReport* deep);

// The three facts, one a line, after the report's three.
void WriteDeepTextReport(std::FILE* out, const DeepReport* deep);

// One JSON object on one line; deep, when not null, adds its keys.
void WriteJsonReport(std::FILE* out, const DetectionReport* report, const DeepReport* deep);

// A JSON string of the text, its bytes read as Latin-1 (the resources'
// texts are), in printable ASCII.
void WriteJsonString(std::FILE* out, const char* text);
