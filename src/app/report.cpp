#include "app/report.h"

#include <cstring>

#include "app/main_dialog.h"
#include "app/resource.h"
#include "detect/detection.h"

namespace {

const UINT kVerdicts[] = {IDS_NOT_BEHIND_FIREWALL, IDS_BEHIND_FIREWALL,
                          IDS_INTERNET_IP_UNDETERMINED, IDS_LOCAL_IP_UNDETERMINED,
                          IDS_NEITHER_IP_KNOWN};

// The verdict whose text the note shows; the run chose it by the lookups'
// results, so it tells which of them found an address.
UINT VerdictOf(const char* note) {
    char text[kReportNoteSize];
    for (UINT id : kVerdicts) {
        if (LoadStringA(g_hInstance, id, text, sizeof(text)) != 0 && std::strcmp(text, note) == 0) {
            return id;
        }
    }
    return 0;
}

bool FoundLocal(UINT noteId) {
    return noteId == IDS_NOT_BEHIND_FIREWALL || noteId == IDS_BEHIND_FIREWALL ||
           noteId == IDS_INTERNET_IP_UNDETERMINED;
}

bool FoundInternet(UINT noteId) {
    return noteId == IDS_NOT_BEHIND_FIREWALL || noteId == IDS_BEHIND_FIREWALL ||
           noteId == IDS_LOCAL_IP_UNDETERMINED;
}

void WriteJsonChar(std::FILE* out, unsigned char c) {
    switch (c) {
    case '"':
        std::fputs("\\\"", out);
        break;
    case '\\':
        std::fputs("\\\\", out);
        break;
    case '\b':
        std::fputs("\\b", out);
        break;
    case '\f':
        std::fputs("\\f", out);
        break;
    case '\n':
        std::fputs("\\n", out);
        break;
    case '\r':
        std::fputs("\\r", out);
        break;
    case '\t':
        std::fputs("\\t", out);
        break;
    default:
        if (c < 0x20 || c > 0x7E) {
            std::fprintf(out, "\\u%04x", c);
        } else {
            std::fputc(c, out);
        }
        break;
    }
}

// An address as found, or null.
void WriteJsonAddress(std::FILE* out, const char* name, bool found, const char* text) {
    std::fprintf(out, "\"%s\": ", name);
    if (found) {
        WriteJsonString(out, text);
    } else {
        std::fputs("null", out);
    }
}

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

bool MakeReport(DetectionReport* report) {
    HWND dialog = CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDlgProc, 0);
    if (dialog == NULL) {
        return false;
    }
    RunDetection(dialog);
    GetDlgItemTextA(dialog, IDC_LOCAL_IP, report->localAddress, sizeof(report->localAddress));
    GetDlgItemTextA(dialog, IDC_INTERNET_IP, report->internetAddress,
                    sizeof(report->internetAddress));
    GetDlgItemTextA(dialog, IDC_NOTES, report->note, sizeof(report->note));
    DestroyWindow(dialog);
    report->noteId = VerdictOf(report->note);
    return true;
}

bool ReportIsComplete(const DetectionReport* report) {
    return FoundLocal(report->noteId) && FoundInternet(report->noteId);
}

void WriteTextReport(std::FILE* out, const DetectionReport* report) {
    std::fprintf(out, "%-22s%s\n", "Local IP address:", report->localAddress);
    std::fprintf(out, "%-22s%s\n", "Internet IP address:", report->internetAddress);
    std::fprintf(out, "%-22s%s\n", "H.323 notes:", report->note);
}

void WriteJsonReport(std::FILE* out, const DetectionReport* report) {
    std::fputc('{', out);
    WriteJsonAddress(out, "local_address", FoundLocal(report->noteId), report->localAddress);
    std::fputs(", ", out);
    WriteJsonAddress(out, "internet_address", FoundInternet(report->noteId),
                     report->internetAddress);
    std::fprintf(out, ", \"behind_nat\": %s, \"note_id\": ", BehindNatOf(report->noteId));
    if (report->noteId != 0) {
        std::fprintf(out, "%u", report->noteId);
    } else {
        std::fputs("null", out);
    }
    std::fputs(", \"note\": ", out);
    WriteJsonString(out, report->note);
    std::fputs("}\n", out);
}

void WriteJsonString(std::FILE* out, const char* text) {
    std::fputc('"', out);
    for (const char* at = text; *at != '\0'; ++at) {
        WriteJsonChar(out, (unsigned char)*at);
    }
    std::fputc('"', out);
}
