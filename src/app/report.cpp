#include "app/report.h"

#include <cstring>

#include "address/internet_address.h"
#include "address/local_address.h"
#include "app/deep_report.h"
#include "detect/detect_ids.h"
#include "detect/verdict.h"
#include "reach/fact.h"
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

// The characters that JSON writes with a short escape, and their letters;
// every other control or non-ASCII byte becomes a \u escape.
const char kShortEscapes[] = "\"\\\b\f\n\r\t";
const char kShortEscapeLetters[] = "\"\\bfnrt";

void WriteJsonChar(std::FILE* out, unsigned char c) {
    const char* escape = c != 0 ? std::strchr(kShortEscapes, c) : nullptr;
    if (escape != nullptr) {
        std::fprintf(out, "\\%c", kShortEscapeLetters[escape - kShortEscapes]);
    } else if (c < 0x20 || c > 0x7E) {
        std::fprintf(out, "\\u%04x", c);
    } else {
        std::fputc(c, out);
    }
}

// A text, or null for none.
const char* BehindNatOf(UINT noteId) {
    switch (noteId) {
    case IDS_BEHIND_FIREWALL:
        return "true";
    case IDS_NOT_BEHIND_FIREWALL:
        return "false";
    default:
        return "null";
    }
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

void WriteTextReport(std::FILE* out, const DetectionReport* report) {
    WriteReportLine(out, "Local IP address:", report->localAddress);
    WriteReportLine(out, "Internet IP address:", report->internetAddress);
    WriteReportLine(out, "H.323 notes:", report->note);
}

void WriteJsonReport(std::FILE* out, const DetectionReport* report, const DeepReport* deep) {
    WriteJsonAddress(out, "{\"local_address\": ", report->foundLocal, report->localAddress);
    WriteJsonAddress(out, ", \"internet_address\": ", report->foundInternet,
                     report->internetAddress);
    std::fprintf(out,
                 ", \"behind_nat\": %s, \"note_id\": %u, \"note\": ", BehindNatOf(report->noteId),
                 report->noteId);
    WriteJsonString(out, report->note);
    if (deep != nullptr) {
        WriteJsonDeepReport(out, deep);
    }
    std::fputs("}\n", out);
}

void WriteJsonString(std::FILE* out, const char* text) {
    std::fputc('"', out);
    for (const char* at = text; *at != '\0'; ++at) {
        WriteJsonChar(out, (unsigned char)*at);
    }
    std::fputc('"', out);
}

// A label and its text, the texts lined up as in the dialog.
void WriteReportLine(std::FILE* out, const char* label, const char* text) {
    std::fprintf(out, "%-22s%s\n", label, text);
}

void WriteJsonTextOrNull(std::FILE* out, const char* text) {
    if (text != nullptr) {
        WriteJsonString(out, text);
    } else {
        std::fputs("null", out);
    }
}

// An address as found, or null.
void WriteJsonAddress(std::FILE* out, const char* key, bool found, const char* text) {
    std::fputs(key, out);
    WriteJsonTextOrNull(out, found ? text : nullptr);
}

void WriteJsonFact(std::FILE* out, const char* key, int fact) {
    std::fprintf(out, "%s%s", key, fact == kFactYes ? "true" : fact == kFactNo ? "false" : "null");
}
