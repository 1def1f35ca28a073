// The facts of --deep and the readiness answers, as text and as JSON.
#include "app/deep_report.h"

#include <cstring>

#include "address/internet_address.h"
#include "detect/detect_ids.h"
#include "http/url.h"
#include "platform/platform.h"

namespace {

const char* ProtocolName(int protocol, bool json) {
    if (protocol == kMappingUpnp) {
        return json ? "upnp" : "UPnP";
    }
    return json ? "nat-pmp" : "NAT-PMP";
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
    WriteReportLine(out, "Incoming calls:", text);
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
    WriteReportLine(out, "Port mapping:", text);
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
    WriteReportLine(out, "Double NAT:", text);
}

void WriteJsonMapping(std::FILE* out, const DeepReport* deep) {
    const PortMapping* mapping = &deep->mapping;
    std::fputs(", \"port_mapping\": ", out);
    if (mapping->protocol == kMappingNone) {
        std::fputs("null", out);
    } else {
        std::fprintf(out,
                     "{\"protocol\": \"%s\", \"gateway\": ", ProtocolName(mapping->protocol, true));
        WriteJsonString(out, mapping->gateway);
        WriteJsonAddress(out, ", \"external_address\": ", mapping->externalAddress[0] != '\0',
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

// The echo host's own ports and the STUN server, each asked from a thread
// of its own.
struct EchoHostProbes {
    const char* host;
    const char* stunServer;
    DeepReport* deep;
};

DWORD WINAPI ProbeEchoHost(LPVOID argument) {
    EchoHostProbes* probes = (EchoHostProbes*)argument;
    ProbeCallSignalling(probes->host, &probes->deep->signalling);
    return 0;
}

DWORD WINAPI ProbeGatekeeper(LPVOID argument) {
    EchoHostProbes* probes = (EchoHostProbes*)argument;
    ProbeGatekeeperPort(probes->host, &probes->deep->gatekeeper);
    return 0;
}

// Starts a probe beside the caller, or runs it here when no thread can be
// had; null then.
DWORD WINAPI ProbeMedia(LPVOID argument) {
    EchoHostProbes* probes = (EchoHostProbes*)argument;
    ProbeMediaPath(probes->stunServer, kMediaPathBudgetMs, &probes->deep->media);
    return 0;
}

HANDLE StartProbe(LPTHREAD_START_ROUTINE probe, EchoHostProbes* probes) {
    HANDLE thread = CreateThread(nullptr, 0, probe, probes, 0, nullptr);
    if (thread == nullptr) {
        probe(probes);
    }
    return thread;
}

void FinishProbe(HANDLE thread) {
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

void Judge(const DetectionReport* report, DeepReport* deep) {
    ReadinessFacts facts = {};
    facts.behindNat = report->noteId == IDS_BEHIND_FIREWALL;
    facts.sameAddress = report->noteId == IDS_NOT_BEHIND_FIREWALL;
    facts.portMapping = deep->mapping.protocol;
    facts.doubleNat = deep->doubleNat;
    facts.incomingCall = deep->incomingCall;
    facts.tcp1720Out = deep->signalling.tcp1720Out;
    facts.udpPasses = deep->media.udpPasses;
    facts.mapping = deep->media.mapping;
    facts.grade = deep->media.media.grade;
    facts.algRewrites = deep->signalling.rewritesAddresses;
    facts.algPinhole = deep->signalling.opensH245Pinhole;
    JudgeReadiness(&facts, &deep->readiness);
}

// The words of the text report for each answer's JSON word.
const char* const kAnswerTexts[][2] = {
    {"port-forward", "with a port forward"}, {"relay", "not without a relay"},
    {"traversal", "needs traversal"},        {"none", "none found"},
    {"rewrites", "rewrites the signalling"}, {"pinholes", "opens pinholes only"},
};

const char* AnswerText(const char* word) {
    for (const auto& pair : kAnswerTexts) {
        if (std::strcmp(pair[0], word) == 0) {
            return pair[1];
        }
    }
    return word;
}

void WriteAnswer(std::FILE* out, const char* label, const ReadinessAnswer* answer) {
    char text[256];
    std::snprintf(text, sizeof(text), "%s (%s)", AnswerText(answer->word), answer->reason);
    WriteReportLine(out, label, text);
    if (answer->advice != nullptr) {
        WriteReportLine(out, "", answer->advice);
    }
}

void WriteJsonAnswer(std::FILE* out, const char* key, const ReadinessAnswer* answer) {
    std::fprintf(out, "%s{\"answer\": \"%s\", \"reason\": ", key, answer->word);
    WriteJsonString(out, answer->reason);
    std::fputs(", \"advice\": ", out);
    WriteJsonTextOrNull(out, answer->advice);
    std::fputc('}', out);
}

const char* FactText(int fact, const char* yes, const char* no) {
    return fact == kFactYes ? yes : fact == kFactNo ? no : "unknown";
}

// The offsets of the Setup's other bytes that arrived changed.
void AlteredText(const CallSignalling* call, char* text, int size) {
    if (call->alteredCount <= 0) {
        lstrcpynA(text, call->alteredCount < 0 ? "unknown" : "none", size);
        return;
    }
    int used = std::snprintf(text, size, "at offsets");
    for (int i = 0; i < call->alteredCount && i < kAlteredLimit && used < size; ++i) {
        used += std::snprintf(text + used, size - used, "%s %d", i == 0 ? "" : ",",
                              call->alteredBytes[i]);
    }
}

void WriteSignalling(std::FILE* out, const DeepReport* deep) {
    const CallSignalling* call = &deep->signalling;
    WriteReportLine(out, "TCP 1720 out:",
                    FactText(call->tcp1720Out, "TCP port 1720 to the echo host passes",
                             "TCP port 1720 to the echo host is blocked"));
    WriteReportLine(out, "Call signalling:",
                    FactText(call->rewritesAddresses,
                             "rewritten on the way: an H.323 ALG changes its addresses",
                             "arrives with its addresses unchanged"));
    WriteReportLine(
        out, "H.245 call-back:",
        FactText(call->opensH245Pinhole, "let in (a pinhole for the call)", "not let in"));
    char text[256];
    AlteredText(call, text, sizeof(text));
    WriteReportLine(out, "Other bytes altered:", text);
    WriteReportLine(out, "UDP 1719 out:",
                    FactText(deep->gatekeeper.udp1719Out, "UDP port 1719 to the echo host passes",
                             "UDP port 1719 to the echo host is blocked"));
}

void WriteJsonSignalling(std::FILE* out, const DeepReport* deep) {
    const CallSignalling* call = &deep->signalling;
    WriteJsonFact(out, ", \"tcp_1720_out\": ", call->tcp1720Out);
    WriteJsonFact(out, ", \"h323_alg\": {\"rewrites_addresses\": ", call->rewritesAddresses);
    WriteJsonFact(out, ", \"opens_h245_pinhole\": ", call->opensH245Pinhole);
    std::fputs(", \"altered_bytes\": ", out);
    if (call->alteredCount < 0) {
        std::fputs("null", out);
    } else {
        std::fputc('[', out);
        for (int i = 0; i < call->alteredCount && i < kAlteredLimit; ++i) {
            std::fprintf(out, "%s%d", i == 0 ? "" : ", ", call->alteredBytes[i]);
        }
        std::fputc(']', out);
    }
    WriteJsonFact(out, "}, \"gatekeeper_udp_1719\": ", deep->gatekeeper.udp1719Out);
}

const char* const kBehaviours[] = {nullptr, "endpoint-independent", "address-dependent",
                                   "address-and-port-dependent"};
const char* const kGrades[] = {nullptr, "good", "fair", "poor"};

// The numbers of a measured media path, in words.
void QualityText(const MediaQuality* media, char* text, int size) {
    std::snprintf(text, size,
                  "loss %.1f %%, round trip %d ms (median) and %d ms (95th percentile), "
                  "jitter %.1f ms, %d out of order",
                  media->lossPercent, media->rttMedianMs, media->rttP95Ms, media->jitterMs,
                  media->reordered);
}

void WriteMediaPath(std::FILE* out, const DeepReport* deep) {
    const MediaPath* path = &deep->media;
    char text[256];
    if (path->udpPasses == kFactYes) {
        std::snprintf(text, sizeof(text), "passes, mapped to %s:%d%s", path->mappedAddress,
                      path->mappedPort,
                      deep->mappedElsewhere ? ", not the address the echo page saw over TCP "
                                              "(more than one translating address)"
                                            : "");
    } else {
        std::snprintf(text, sizeof(text), "%s (%s)",
                      path->udpPasses == kFactNo ? "does not pass" : "unknown", path->reason);
    }
    WriteReportLine(out, "UDP:", text);
    WriteReportLine(out, "UDP mapping:",
                    path->mapping != kBehaviourUnknown ? kBehaviours[path->mapping] : "unknown");
    WriteReportLine(out, "UDP filtering:",
                    path->filtering != kBehaviourUnknown ? kBehaviours[path->filtering]
                                                         : "unknown");
    WriteReportLine(out, "Hairpinning:", FactText(path->hairpin, "yes", "no"));
    if (path->media.grade == kMediaUnmeasured) {
        lstrcpynA(text, "not measured", sizeof(text));
    } else {
        char numbers[200];
        QualityText(&path->media, numbers, sizeof(numbers));
        std::snprintf(text, sizeof(text), "%s: %s", kGrades[path->media.grade], numbers);
    }
    WriteReportLine(out, "Media quality:", text);
}

void WriteJsonBehaviour(std::FILE* out, const char* key, int behaviour) {
    std::fputs(key, out);
    if (behaviour != kBehaviourUnknown) {
        std::fprintf(out, "\"%s\"", kBehaviours[behaviour]);
    } else {
        std::fputs("null", out);
    }
}

void WriteJsonMediaPath(std::FILE* out, const MediaPath* path) {
    WriteJsonFact(out, ", \"udp\": {\"passes\": ", path->udpPasses);
    WriteJsonAddress(out, ", \"mapped_address\": ", path->mappedAddress[0] != '\0',
                     path->mappedAddress);
    WriteJsonBehaviour(out, ", \"mapping\": ", path->mapping);
    WriteJsonBehaviour(out, ", \"filtering\": ", path->filtering);
    WriteJsonFact(out, ", \"hairpin\": ", path->hairpin);
    std::fputs("}, \"udp_reason\": ", out);
    WriteJsonTextOrNull(out, path->reason[0] != '\0' ? path->reason : nullptr);
    std::fputs(", \"media\": ", out);
    const MediaQuality* media = &path->media;
    if (media->grade == kMediaUnmeasured) {
        std::fputs("null", out);
        return;
    }
    std::fprintf(out,
                 "{\"loss_percent\": %.1f, \"rtt_ms_median\": %d, \"rtt_ms_p95\": %d, "
                 "\"jitter_ms\": %.1f, \"reordered\": %d, \"grade\": \"%s\"}",
                 media->lossPercent, media->rttMedianMs, media->rttP95Ms, media->jitterMs,
                 media->reordered, kGrades[media->grade]);
}

} // namespace

void MakeDeepReport(const DetectionReport* report, const char* stunServer, DeepReport* deep) {
    const char* internet = report->foundInternet ? report->internetAddress : nullptr;
    // The router is asked first: its UPnP question runs in a child process,
    // which must be started while the program runs no other thread.
    FindPortMapping(&deep->mapping);
    deep->doubleNat = JudgeDoubleNat(&deep->mapping, internet);
    UrlParts echo;
    SplitUrlParts(g_echoUrl, &echo);
    EchoHostProbes probes = {echo.host, stunServer != nullptr ? stunServer : echo.host, deep};
    HANDLE media = StartProbe(ProbeMedia, &probes);
    HANDLE signalling = StartProbe(ProbeEchoHost, &probes);
    HANDLE gatekeeper = StartProbe(ProbeGatekeeper, &probes);
    deep->incomingCall = CheckIncomingCall(g_echoUrl, internet);
    FinishProbe(media);
    FinishProbe(signalling);
    FinishProbe(gatekeeper);
    deep->mappedElsewhere = internet != nullptr && deep->media.mappedAddress[0] != '\0' &&
                            std::strcmp(deep->media.mappedAddress, internet) != 0;
    Judge(report, deep);
}

void WriteReadinessReport(std::FILE* out, const DeepReport* deep) {
    const Readiness* readiness = &deep->readiness;
    WriteAnswer(out, "Calls out:", &readiness->callsOut);
    WriteAnswer(out, "Calls in:", &readiness->callsIn);
    WriteAnswer(out, "Media:", &readiness->media);
    WriteAnswer(out, "Quality:", &readiness->quality);
    if (deep->media.media.grade != kMediaUnmeasured) {
        char numbers[200];
        QualityText(&deep->media.media, numbers, sizeof(numbers));
        WriteReportLine(out, "", numbers);
    }
    WriteAnswer(out, "H.323 ALG:", &readiness->alg);
    if (readiness->noteCaveat != nullptr) {
        WriteReportLine(out, "About the note:", readiness->noteCaveat);
    }
}

void WriteDeepTextReport(std::FILE* out, const DeepReport* deep) {
    WritePortMapping(out, &deep->mapping);
    WriteDoubleNat(out, deep);
    WriteIncomingCall(out, deep->incomingCall);
    WriteSignalling(out, deep);
    WriteMediaPath(out, deep);
}

void WriteJsonDeepReport(std::FILE* out, const DeepReport* deep) {
    WriteJsonMapping(out, deep);
    WriteJsonSignalling(out, deep);
    WriteJsonMediaPath(out, &deep->media);
    const Readiness* readiness = &deep->readiness;
    WriteJsonAnswer(out, ", \"readiness\": {\"calls_out\": ", &readiness->callsOut);
    WriteJsonAnswer(out, ", \"calls_in\": ", &readiness->callsIn);
    WriteJsonAnswer(out, ", \"media\": ", &readiness->media);
    WriteJsonAnswer(out, ", \"quality\": ", &readiness->quality);
    WriteJsonAnswer(out, ", \"alg\": ", &readiness->alg);
    std::fputs(", \"note_caveat\": ", out);
    WriteJsonTextOrNull(out, readiness->noteCaveat);
    std::fputs("}", out);
}
