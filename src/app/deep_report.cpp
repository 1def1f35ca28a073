// The facts of --deep and the readiness answers, as text and as JSON.
#include "app/deep_report.h"

#include <cstring>

#include "app/report.h"
#include "platform/platform.h"

namespace {

// A fact in the report's words.
const char* FactText(Fact fact, const char* yes, const char* no) {
    return fact == kFactYes ? yes : fact == kFactNo ? no : "unknown";
}

const char* OrUnknown(const char* text) {
    return text != nullptr ? text : "unknown";
}

void WriteIncomingCall(ReportLines* out, IncomingCall call) {
    char text[128];
    if (call == kCallReachable || call == kCallUnreachable) {
        lstrcpynA(text,
                  call == kCallReachable ? "TCP port 1720 is reachable from the Internet"
                                         : "TCP port 1720 is not reachable from the Internet",
                  sizeof(text));
    } else {
        std::snprintf(text, sizeof(text), "not tested (%s)", IncomingCallReason(call));
    }
    AddReportLine(out, "Incoming calls:", text);
}

void WritePortMapping(ReportLines* out, const PortMapping* mapping) {
    char text[128];
    const char* protocol = PortMappingName(mapping->protocol, false);
    if (mapping->unasked != nullptr) {
        lstrcpynA(text, mapping->unasked, sizeof(text));
    } else if (protocol == nullptr) {
        lstrcpynA(text, "none found", sizeof(text));
    } else if (mapping->externalAddress[0] == '\0') {
        std::snprintf(text, sizeof(text), "%s on %s, no public external address", protocol,
                      mapping->gateway);
    } else {
        std::snprintf(text, sizeof(text), "%s on %s, external address %s", protocol,
                      mapping->gateway, mapping->externalAddress);
    }
    AddReportLine(out, "Port mapping:", text);
}

void WriteDoubleNat(ReportLines* out, const DeepFacts* facts) {
    char text[128];
    const char* external = facts->portMapping.externalAddress;
    if (facts->doubleNat != kFactYes) {
        lstrcpynA(text, FactText(facts->doubleNat, "yes", "no"), sizeof(text));
    } else if (external[0] == '\0') {
        lstrcpynA(text, "yes (the router has no public external address)", sizeof(text));
    } else {
        std::snprintf(text, sizeof(text), "yes (the router's external address %s is not public)",
                      external);
    }
    AddReportLine(out, "Double NAT:", text);
}

// The words of the text report for each answer's JSON word.
const char* const kAnswerTexts[][2] = {
    {"port-forward", "with a port forward"},
    {"relay", "not without a relay"},
    {"traversal", "needs traversal"},
    {"none", "none found"},
    {"rewrites", "rewrites the signalling"},
    {"pinholes", "opens pinholes only"},
    {"helper", "let in by the router's helper"},
    {"keep-alive", "needs keep-alives"},
};

} // namespace

const char* AnswerText(const char* word) {
    for (const auto& pair : kAnswerTexts) {
        if (std::strcmp(pair[0], word) == 0) {
            return pair[1];
        }
    }
    return word;
}

namespace {

void WriteAnswer(ReportLines* out, const char* label, const ReadinessAnswer* answer) {
    char text[256];
    std::snprintf(text, sizeof(text), "%s (%s)", AnswerText(answer->word), answer->reason);
    AddReportLine(out, label, text);
    if (answer->advice != nullptr) {
        AddReportLine(out, "", answer->advice);
    }
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

// The H.245 call-back against the control call: let in for the call alone,
// or as every connection is.
const char* CallBackText(const CallSignalling* call) {
    if (call->inboundOpen == kFactYes) {
        return "let in, as is a call to a port no Setup named (the path lets connections in)";
    }
    return FactText(call->opensH245Pinhole, "let in (a pinhole for the call)", "not let in");
}

void WriteSignalling(ReportLines* out, const DeepFacts* facts) {
    const CallSignalling* call = &facts->signalling;
    AddReportLine(out, "TCP 1720 out:",
                  FactText(call->tcp1720Out, "TCP port 1720 to the echo host passes",
                           "TCP port 1720 to the echo host is blocked"));
    AddReportLine(out, "Call signalling:",
                  FactText(call->rewritesAddresses,
                           "rewritten on the way: an H.323 ALG changes its addresses",
                           "arrives with its addresses unchanged"));
    AddReportLine(out, "H.245 call-back:", CallBackText(call));
    char text[256];
    AlteredText(call, text, sizeof(text));
    AddReportLine(out, "Other bytes altered:", text);
    AddReportLine(out, "UDP 1719 out:",
                  FactText(facts->gatekeeper.udp1719Out, "UDP port 1719 to the echo host passes",
                           "UDP port 1719 to the echo host is blocked"));
}

// The address and the four ports of the call's media, as sent or as they
// arrived.
void MediaPortsText(uint32_t address, const unsigned short (*ports)[kMediaChannels], char* text,
                    int size) {
    char dotted[kDottedAddressSize];
    CopyDottedAddress(address, dotted);
    std::snprintf(text, size, "%s, audio %u/%u, video %u/%u", dotted, ports[kMediaAudio][kMediaRtp],
                  ports[kMediaAudio][kMediaRtcp], ports[kMediaVideo][kMediaRtp],
                  ports[kMediaVideo][kMediaRtcp]);
}

void WriteCallMedia(ReportLines* out, const MediaAddresses* media) {
    char text[256];
    char ports[96];
    lstrcpynA(text, "unknown", sizeof(text));
    if (media->rewritten == kFactYes) {
        MediaPortsText(media->arrivedAddress, media->arrivedPorts, ports, sizeof(ports));
        std::snprintf(text, sizeof(text), "rewritten on the way to %s", ports);
    } else if (media->rewritten == kFactNo) {
        MediaPortsText(media->sentAddress, media->sentPorts, ports, sizeof(ports));
        std::snprintf(text, sizeof(text), "arrive unchanged (%s)", ports);
    }
    AddReportLine(out, "Media addresses:", text);
    std::snprintf(text, sizeof(text), "audio %s, video %s",
                  FactText(media->farEndIn[kMediaAudio], "let in", "not let in"),
                  FactText(media->farEndIn[kMediaVideo], "let in", "not let in"));
    if (media->farEndReason != nullptr) {
        std::snprintf(text + std::strlen(text), sizeof(text) - std::strlen(text), " (%s)",
                      media->farEndReason);
    }
    AddReportLine(out, "Far end's media:", text);
    const char* const preservation[] = {"unknown", "kept", "parity and adjacency kept", "changed"};
    AddReportLine(out, "Media port pairs:", preservation[media->preservation]);
}

// The numbers of a measured media path, in words.
void QualityText(const MediaQuality* quality, char* text, int size) {
    std::snprintf(text, size,
                  "loss %.1f %%, round trip %d ms (median) and %d ms (95th percentile), "
                  "jitter %.1f ms, %d out of order",
                  quality->lossPercent, quality->rttMedianMs, quality->rttP95Ms, quality->jitterMs,
                  quality->reordered);
}

void WriteUdp(ReportLines* out, const DeepFacts* facts) {
    const MediaPath* path = &facts->media;
    char text[256];
    if (path->udpPasses == kFactYes) {
        std::snprintf(text, sizeof(text), "passes, mapped to %s:%d%s", path->mappedAddress,
                      path->mappedPort,
                      facts->mappedElsewhere ? ", not the address the echo page saw over TCP "
                                               "(more than one translating address)"
                                             : "");
    } else {
        std::snprintf(text, sizeof(text), "%s (%s)",
                      path->udpPasses == kFactNo ? "does not pass" : "unknown", path->reason);
    }
    AddReportLine(out, "UDP:", text);
}

void WriteMediaPath(ReportLines* out, const DeepFacts* facts) {
    const MediaPath* path = &facts->media;
    WriteUdp(out, facts);
    AddReportLine(out, "UDP mapping:", OrUnknown(BehaviourName(path->mapping)));
    AddReportLine(out, "UDP filtering:", OrUnknown(BehaviourName(path->filtering)));
    AddReportLine(out, "Hairpinning:", FactText(path->hairpin, "yes", "no"));
    char text[256];
    const char* grade = MediaGradeName(path->quality.grade);
    if (grade == nullptr) {
        lstrcpynA(text, "not measured", sizeof(text));
    } else {
        char numbers[200];
        QualityText(&path->quality, numbers, sizeof(numbers));
        std::snprintf(text, sizeof(text), "%s: %s", grade, numbers);
    }
    AddReportLine(out, "Media quality:", text);
}

void WriteJsonMapping(JsonWriter* json, const DeepFacts* facts) {
    const PortMapping* mapping = &facts->portMapping;
    const char* protocol = PortMappingName(mapping->protocol, true);
    if (protocol == nullptr) {
        JsonNull(json, "port_mapping");
    } else {
        JsonOpenObject(json, "port_mapping");
        JsonText(json, "protocol", protocol);
        JsonText(json, "gateway", mapping->gateway);
        JsonText(json, "external_address",
                 mapping->externalAddress[0] != '\0' ? mapping->externalAddress : nullptr);
        JsonClose(json);
    }
    JsonText(json, "port_mapping_reason", mapping->unasked);
    JsonFact(json, "double_nat", facts->doubleNat);
    IncomingCall call = facts->incomingCall;
    JsonText(json, "inbound_tcp_1720",
             call == kCallReachable     ? "reachable"
             : call == kCallUnreachable ? "unreachable"
                                        : nullptr);
    JsonText(json, "inbound_tcp_1720_reason", IncomingCallReason(call));
}

void WriteJsonSignalling(JsonWriter* json, const DeepFacts* facts) {
    const CallSignalling* call = &facts->signalling;
    JsonFact(json, "tcp_1720_out", call->tcp1720Out);
    JsonOpenObject(json, "h323_alg");
    JsonFact(json, "rewrites_addresses", call->rewritesAddresses);
    JsonFact(json, "opens_h245_pinhole", call->opensH245Pinhole);
    if (call->alteredCount < 0) {
        JsonNull(json, "altered_bytes");
    } else {
        JsonOpenArray(json, "altered_bytes");
        for (int i = 0; i < call->alteredCount && i < kAlteredLimit; ++i) {
            JsonInteger(json, nullptr, call->alteredBytes[i]);
        }
        JsonClose(json);
    }
    JsonFact(json, "inbound_open", call->inboundOpen);
    JsonClose(json);
    JsonFact(json, "gatekeeper_udp_1719", facts->gatekeeper.udp1719Out);
}

// The address and the four ports, or nulls when the echo did not tell.
void WriteJsonMediaPorts(JsonWriter* json, const char* addressKey, const char* portsKey,
                         uint32_t address, const unsigned short (*ports)[kMediaChannels],
                         bool known) {
    char dotted[kDottedAddressSize];
    CopyDottedAddress(address, dotted);
    JsonText(json, addressKey, known ? dotted : nullptr);
    if (!known) {
        JsonNull(json, portsKey);
        return;
    }
    JsonOpenArray(json, portsKey);
    for (int kind = 0; kind < kMediaKinds; ++kind) {
        for (int channel = 0; channel < kMediaChannels; ++channel) {
            JsonInteger(json, nullptr, ports[kind][channel]);
        }
    }
    JsonClose(json);
}

void WriteJsonCallMedia(JsonWriter* json, const MediaAddresses* media) {
    JsonOpenObject(json, "call_media");
    bool known = media->rewritten != kFactUnknown;
    JsonText(json, "media_addresses",
             !known                         ? nullptr
             : media->rewritten == kFactYes ? "rewritten"
                                            : "unchanged");
    WriteJsonMediaPorts(json, "announced_address", "announced_ports", media->sentAddress,
                        media->sentPorts, known);
    WriteJsonMediaPorts(json, "arrived_address", "arrived_ports", media->arrivedAddress,
                        media->arrivedPorts, known);
    JsonOpenObject(json, "far_end_media_in");
    JsonFact(json, "audio", media->farEndIn[kMediaAudio]);
    JsonFact(json, "video", media->farEndIn[kMediaVideo]);
    JsonClose(json);
    JsonText(json, "far_end_media_in_reason", media->farEndReason);
    JsonText(json, "port_preservation", PortPreservationName(media->preservation));
    JsonClose(json);
}

} // namespace

void WriteJsonFigures(JsonWriter* json, const MediaQuality* quality) {
    JsonDecimal(json, "loss_percent", quality->lossPercent);
    JsonInteger(json, "rtt_ms_median", quality->rttMedianMs);
    JsonInteger(json, "rtt_ms_p95", quality->rttP95Ms);
    JsonDecimal(json, "jitter_ms", quality->jitterMs);
}

void WriteJsonQuality(JsonWriter* json, const MediaQuality* quality) {
    const char* grade = MediaGradeName(quality->grade);
    if (grade == nullptr) {
        JsonNull(json, "media");
        return;
    }
    JsonOpenObject(json, "media");
    WriteJsonFigures(json, quality);
    JsonInteger(json, "reordered", quality->reordered);
    JsonText(json, "grade", grade);
    JsonClose(json);
}

namespace {

void WriteJsonMediaPath(JsonWriter* json, const MediaPath* path) {
    JsonOpenObject(json, "udp");
    JsonFact(json, "passes", path->udpPasses);
    JsonText(json, "mapped_address",
             path->mappedAddress[0] != '\0' ? path->mappedAddress : nullptr);
    JsonText(json, "mapping", BehaviourName(path->mapping));
    JsonText(json, "filtering", BehaviourName(path->filtering));
    JsonFact(json, "hairpin", path->hairpin);
    JsonClose(json);
    JsonText(json, "udp_reason", path->reason[0] != '\0' ? path->reason : nullptr);
    WriteJsonQuality(json, &path->quality);
}

// A timer's bounds in words, with why they are unknown.
void TimerText(const TimerBounds* bounds, const char* reason, char* text, int size) {
    if (!bounds->known) {
        std::snprintf(text, size, "unknown (%s)", reason[0] != '\0' ? reason : "not asked");
    } else if (bounds->lessThan == 0) {
        std::snprintf(text, size, "at least %d s", bounds->atLeast);
    } else {
        std::snprintf(text, size, "at least %d s, less than %d s", bounds->atLeast,
                      bounds->lessThan);
    }
}

void WriteTimers(ReportLines* out, const DeepFacts* facts) {
    char text[160];
    TimerText(&facts->udpLifetime, facts->timers.udpReason, text, sizeof(text));
    AddReportLine(out, "UDP lifetime:", text);
    AddReportLine(out, "UDP keep-alives:",
                  FactText(facts->timers.outboundRefresh, "keep a silent mapping",
                           "do not keep a silent mapping"));
    TimerText(&facts->tcpIdle, facts->timers.tcpReason, text, sizeof(text));
    AddReportLine(out, "TCP 1720 idle:", text);
}

void WriteJsonTimer(JsonWriter* json, const char* key, const TimerBounds* bounds) {
    if (!bounds->known) {
        JsonNull(json, key);
        return;
    }
    JsonOpenObject(json, key);
    JsonInteger(json, "at_least", bounds->atLeast);
    if (bounds->lessThan == 0) {
        JsonNull(json, "less_than");
    } else {
        JsonInteger(json, "less_than", bounds->lessThan);
    }
    JsonClose(json);
}

void WriteJsonTimers(JsonWriter* json, const DeepFacts* facts) {
    WriteJsonTimer(json, "udp_lifetime_s", &facts->udpLifetime);
    JsonFact(json, "udp_outbound_refresh", facts->timers.outboundRefresh);
    WriteJsonTimer(json, "tcp_idle_s", &facts->tcpIdle);
}

void WriteJsonAnswer(JsonWriter* json, const char* key, const ReadinessAnswer* answer) {
    JsonOpenObject(json, key);
    JsonText(json, "answer", answer->word);
    JsonText(json, "reason", answer->reason);
    JsonText(json, "advice", answer->advice);
    JsonClose(json);
}

} // namespace

void ReadinessLines(const DeepFacts* facts, ReportLines* out) {
    const Readiness* readiness = &facts->readiness;
    WriteAnswer(out, "Calls out:", &readiness->callsOut);
    WriteAnswer(out, "Calls in:", &readiness->callsIn);
    WriteAnswer(out, "Media:", &readiness->media);
    WriteAnswer(out, "Quality:", &readiness->quality);
    if (facts->media.quality.grade != kMediaUnmeasured) {
        char numbers[200];
        QualityText(&facts->media.quality, numbers, sizeof(numbers));
        AddReportLine(out, "", numbers);
    }
    WriteAnswer(out, "H.323 ALG:", &readiness->alg);
    WriteAnswer(out, "Hold:", &readiness->hold);
    if (readiness->noteCaveat != nullptr) {
        AddReportLine(out, "About the note:", readiness->noteCaveat);
    }
}

void DeepFactLines(const DeepFacts* facts, ReportLines* out) {
    WritePortMapping(out, &facts->portMapping);
    WriteDoubleNat(out, facts);
    WriteIncomingCall(out, facts->incomingCall);
    WriteSignalling(out, facts);
    WriteCallMedia(out, &facts->signalling.media);
    WriteMediaPath(out, facts);
    if (facts->timed) {
        WriteTimers(out, facts);
    }
}

void WriteReadinessReport(std::FILE* out, const DeepFacts* facts) {
    ReportLines lines;
    lines.count = 0;
    ReadinessLines(facts, &lines);
    WriteReportLines(out, &lines);
}

void WriteDeepTextReport(std::FILE* out, const DeepFacts* facts) {
    ReportLines lines;
    lines.count = 0;
    DeepFactLines(facts, &lines);
    WriteReportLines(out, &lines);
}

void WriteJsonDeepReport(JsonWriter* json, const DeepFacts* facts) {
    WriteJsonMapping(json, facts);
    WriteJsonSignalling(json, facts);
    WriteJsonCallMedia(json, &facts->signalling.media);
    WriteJsonMediaPath(json, &facts->media);
    if (facts->timed) {
        WriteJsonTimers(json, facts);
    }
    const Readiness* readiness = &facts->readiness;
    JsonOpenObject(json, "readiness");
    WriteJsonAnswer(json, "calls_out", &readiness->callsOut);
    WriteJsonAnswer(json, "calls_in", &readiness->callsIn);
    WriteJsonAnswer(json, "media", &readiness->media);
    WriteJsonAnswer(json, "quality", &readiness->quality);
    WriteJsonAnswer(json, "alg", &readiness->alg);
    WriteJsonAnswer(json, "hold", &readiness->hold);
    JsonText(json, "note_caveat", readiness->noteCaveat);
    JsonClose(json);
}
