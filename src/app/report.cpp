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
void WriteJsonTextOrNull(std::FILE* out, const char* text) {
    if (text != nullptr) {
        WriteJsonString(out, text);
    } else {
        std::fputs("null", out);
    }
}

// An address as found, or null.
void WriteJsonAddress(std::FILE* out, const char* name, bool found, const char* text) {
    std::fprintf(out, "\"%s\": ", name);
    WriteJsonTextOrNull(out, found ? text : nullptr);
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

const char* ProtocolName(int protocol, bool json) {
    if (protocol == kMappingUpnp) {
        return json ? "upnp" : "UPnP";
    }
    return json ? "nat-pmp" : "NAT-PMP";
}

// A label and its text, the texts lined up as in the dialog.
void WriteLine(std::FILE* out, const char* label, const char* text) {
    std::fprintf(out, "%-22s%s\n", label, text);
}

// Why port 1720 was not tested, by kCall value; null where it was.
const char* const kIncomingReasons[] = {
    nullptr,
    nullptr,
    "port 1720 in use on this machine",
    "the echo service cannot call back",
    "the Internet lookup failed",
    "the echo service refused: too many checks from this address, try again in a minute",
};

void WriteIncomingCall(std::FILE* out, int incomingCall) {
    char text[128];
    if (incomingCall == kCallReachable) {
        lstrcpynA(text, "TCP port 1720 is reachable from the Internet", sizeof(text));
    } else if (incomingCall == kCallUnreachable) {
        lstrcpynA(text, "TCP port 1720 is not reachable from the Internet", sizeof(text));
    } else {
        std::snprintf(text, sizeof(text), "not tested (%s)", kIncomingReasons[incomingCall]);
    }
    WriteLine(out, "Incoming calls:", text);
}

void WritePortMapping(std::FILE* out, const PortMapping* mapping) {
    char text[128];
    if (mapping->unasked != nullptr) {
        lstrcpynA(text, mapping->unasked, sizeof(text));
    } else if (mapping->protocol == kMappingNone) {
        lstrcpynA(text, "none found", sizeof(text));
    } else if (mapping->externalAddress[0] == '\0') {
        std::snprintf(text, sizeof(text), "%s on %s, no public external address",
                      ProtocolName(mapping->protocol, false), mapping->gateway);
    } else {
        std::snprintf(text, sizeof(text), "%s on %s, external address %s",
                      ProtocolName(mapping->protocol, false), mapping->gateway,
                      mapping->externalAddress);
    }
    WriteLine(out, "Port mapping:", text);
}

void WriteDoubleNat(std::FILE* out, const DeepReport* deep) {
    char text[128];
    if (deep->doubleNat == kDoubleNatNo) {
        lstrcpynA(text, "no", sizeof(text));
    } else if (deep->doubleNat == kDoubleNatUnknown) {
        lstrcpynA(text, "unknown", sizeof(text));
    } else if (deep->mapping.externalAddress[0] == '\0') {
        lstrcpynA(text, "yes (the router has no public external address)", sizeof(text));
    } else {
        std::snprintf(text, sizeof(text), "yes (the router's external address %s is not public)",
                      deep->mapping.externalAddress);
    }
    WriteLine(out, "Double NAT:", text);
}

void WriteJsonDeep(std::FILE* out, const DeepReport* deep) {
    const PortMapping* mapping = &deep->mapping;
    std::fputs(", \"port_mapping\": ", out);
    if (mapping->protocol == kMappingNone) {
        std::fputs("null", out);
    } else {
        std::fprintf(out,
                     "{\"protocol\": \"%s\", \"gateway\": ", ProtocolName(mapping->protocol, true));
        WriteJsonString(out, mapping->gateway);
        std::fputs(", ", out);
        WriteJsonAddress(out, "external_address", mapping->externalAddress[0] != '\0',
                         mapping->externalAddress);
        std::fputc('}', out);
    }
    std::fputs(", \"port_mapping_reason\": ", out);
    WriteJsonTextOrNull(out, mapping->unasked);
    const char* doubleNat = deep->doubleNat == kDoubleNatYes  ? "true"
                            : deep->doubleNat == kDoubleNatNo ? "false"
                                                              : "null";
    std::fprintf(out, ", \"double_nat\": %s, \"inbound_tcp_1720\": ", doubleNat);
    if (deep->incomingCall == kCallReachable) {
        std::fputs("\"reachable\"", out);
    } else if (deep->incomingCall == kCallUnreachable) {
        std::fputs("\"unreachable\"", out);
    } else {
        std::fputs("null", out);
    }
    std::fputs(", \"inbound_tcp_1720_reason\": ", out);
    WriteJsonTextOrNull(out, kIncomingReasons[deep->incomingCall]);
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
    WriteLine(out, "Local IP address:", report->localAddress);
    WriteLine(out, "Internet IP address:", report->internetAddress);
    WriteLine(out, "H.323 notes:", report->note);
}

void MakeDeepReport(const DetectionReport* report, DeepReport* deep) {
    const char* internet = report->foundInternet ? report->internetAddress : nullptr;
    FindPortMapping(&deep->mapping);
    deep->doubleNat = JudgeDoubleNat(&deep->mapping, internet);
    deep->incomingCall = CheckIncomingCall(g_echoUrl, internet);
}

void WriteDeepTextReport(std::FILE* out, const DeepReport* deep) {
    WritePortMapping(out, &deep->mapping);
    WriteDoubleNat(out, deep);
    WriteIncomingCall(out, deep->incomingCall);
}

void WriteJsonReport(std::FILE* out, const DetectionReport* report, const DeepReport* deep) {
    std::fputc('{', out);
    WriteJsonAddress(out, "local_address", report->foundLocal, report->localAddress);
    std::fputs(", ", out);
    WriteJsonAddress(out, "internet_address", report->foundInternet, report->internetAddress);
    std::fprintf(out,
                 ", \"behind_nat\": %s, \"note_id\": %u, \"note\": ", BehindNatOf(report->noteId),
                 report->noteId);
    WriteJsonString(out, report->note);
    if (deep != nullptr) {
        WriteJsonDeep(out, deep);
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
