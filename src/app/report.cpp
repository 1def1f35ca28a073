#include "app/report.h"

#include <cstring>

#include "address/internet_address.h"
#include "address/local_address.h"
#include "detect/detect_ids.h"
#include "detect/verdict.h"
#include "terminal/win32.h"

namespace {

// A string of the table, or nothing when it cannot be loaded, as a field
// whose string is missing keeps the empty text it started with.
void LoadText(UINT id, char* text, int size) {
    if (LoadStringA(g_hInstance, id, text, size) == 0) {
        text[0] = '\0';
    }
}

// A lookup's address, or its field's failure text as the dialog shows it.
void ShowLookup(bool found, const char* address, UINT failureId, char* field, int size) {
    if (found) {
        lstrcpynA(field, address, size);
    } else {
        LoadText(failureId, field, size);
    }
}

// Whether the note says the machine is behind a translating router.
Fact BehindNatOf(UINT noteId) {
    if (noteId == IDS_BEHIND_FIREWALL || noteId == IDS_NOT_BEHIND_FIREWALL) {
        return noteId == IDS_BEHIND_FIREWALL ? kFactYes : kFactNo;
    }
    return kFactUnknown;
}

} // namespace

void MakeReport(DetectionReport* report) {
    // The run's own order: the Internet lookup first, whatever it gives.
    char internetText[64];
    char localText[64];
    report->foundInternet = GetInternetAddress(internetText) != 0;
    report->foundLocal = GetLocalAddress(localText) != 0;
    ShowLookup(report->foundInternet, internetText, IDS_NO_INTERNET_IP, report->internetAddress,
               sizeof(report->internetAddress));
    ShowLookup(report->foundLocal, localText, IDS_NO_LOCAL_IP, report->localAddress,
               sizeof(report->localAddress));
    report->noteId =
        ChooseVerdict(report->foundLocal, localText, report->foundInternet, internetText);
    LoadText(report->noteId, report->note, sizeof(report->note));
}

bool ReportIsComplete(const DetectionReport* report) {
    return report->foundLocal && report->foundInternet;
}

void ReportFieldLines(const DetectionReport* report, ReportLines* lines) {
    AddReportLine(lines, "Local IP address:", report->localAddress);
    AddReportLine(lines, "Internet IP address:", report->internetAddress);
    AddReportLine(lines, "H.323 notes:", report->note);
}

void WriteTextReport(std::FILE* out, const DetectionReport* report) {
    ReportLines lines;
    lines.count = 0;
    ReportFieldLines(report, &lines);
    WriteReportLines(out, &lines);
}

void WriteJsonReport(JsonWriter* json, const DetectionReport* report) {
    JsonText(json, "local_address", report->foundLocal ? report->localAddress : nullptr);
    JsonText(json, "internet_address", report->foundInternet ? report->internetAddress : nullptr);
    JsonFact(json, "behind_nat", BehindNatOf(report->noteId));
    JsonInteger(json, "note_id", (long)report->noteId);
    JsonText(json, "note", report->note);
}

void WriteReportLine(std::FILE* out, const char* label, const char* text) {
    std::fprintf(out, "%-22s%s\n", label, text);
}

void AddReportLine(ReportLines* lines, const char* label, const char* text) {
    if (lines->count < kReportLineLimit) {
        ReportLine* line = &lines->lines[lines->count++];
        line->label = label;
        lstrcpynA(line->text, text, sizeof(line->text));
    }
}

void WriteReportLines(std::FILE* out, const ReportLines* lines) {
    for (int i = 0; i < lines->count; ++i) {
        WriteReportLine(out, lines->lines[i].label, lines->lines[i].text);
    }
}
