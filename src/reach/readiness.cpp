#include "reach/readiness.h"

#include <algorithm>
#include <cstdio>

#include "platform/platform.h"

namespace {

const ReadinessAnswer kUnknown = {"unknown", "not found out", nullptr};

ReadinessAnswer CallsOut(const ReadinessFacts* facts) {
    if (facts->tcp1720Out == kFactYes) {
        return {"yes", "TCP port 1720 to the Internet passes", nullptr};
    }
    if (facts->tcp1720Out == kFactNo) {
        return {"no", "TCP port 1720 to the Internet is blocked",
                "Have the firewall allow outbound TCP port 1720, or call through a gatekeeper or "
                "proxy that can be reached otherwise."};
    }
    return kUnknown;
}

ReadinessAnswer CallsIn(const ReadinessFacts* facts) {
    if (facts->incomingCall == kCallReachable) {
        return {"yes", "TCP port 1720 is reachable from the Internet", nullptr};
    }
    if (facts->doubleNat == kFactYes) {
        return {"relay", "a second translating router further out (double NAT)",
                "Incoming calls need a gatekeeper or relay outside, or a public address for "
                "this network."};
    }
    bool unreachable = facts->incomingCall == kCallUnreachable;
    if (unreachable && facts->sameAddress) {
        return {"port-forward", "a firewall drops incoming connections to TCP port 1720",
                "Have the firewall let TCP port 1720 in to this machine."};
    }
    if (facts->behindNat && (unreachable || facts->portMapping != kPortMappingNone)) {
        return {"port-forward", "behind a translating router that does not forward TCP port 1720",
                "Forward TCP port 1720 on the router to this machine (or let the H.323 program "
                "map it, where the router offers port mapping)."};
    }
    return kUnknown;
}

// What the far end's first media met, where that says more than the
// mapping does; word null when it does not.
ReadinessAnswer CallMedia(const ReadinessFacts* facts, Readiness* readiness) {
    if (facts->mediaRewritten == kFactYes && facts->farEndIn == kFactYes) {
        return {"helper",
                "the router's helper rewrites the media addresses and lets the far end in",
                nullptr};
    }
    if (facts->mediaRewritten != kFactNo || !facts->mediaPrivate || facts->farEndIn != kFactNo) {
        return {nullptr, nullptr, nullptr};
    }
    wsprintfA(readiness->mediaAdvice,
              "one-way until your side speaks: the far end must send its media to where yours "
              "comes from, or the router must forward ports %u-%u to this machine and the H.323 "
              "program be told its public address",
              facts->mediaFirstPort, facts->mediaLastPort);
    return {"one-way", "calls announce a private address for their media, and nothing rewrites it",
            readiness->mediaAdvice};
}

ReadinessAnswer Media(const ReadinessFacts* facts, Readiness* readiness) {
    if (facts->udpPasses == kFactNo) {
        return {"blocked", "UDP to the Internet does not pass",
                "Have the firewall allow outbound UDP, or calls connect without picture or "
                "sound."};
    }
    if (facts->udpPasses != kFactYes) {
        return kUnknown;
    }
    ReadinessAnswer call = CallMedia(facts, readiness);
    if (call.word != nullptr) {
        return call;
    }
    if (!facts->behindNat || facts->mapping == kEndpointIndependent) {
        return {"direct", "UDP passes, and the router keeps one mapping for every destination",
                nullptr};
    }
    if (facts->mapping == kBehaviourUnknown) {
        return kUnknown;
    }
    return {"traversal", "the router gives every destination a new mapping",
            "Use an H.323 program with H.460.18/19 firewall traversal, or a media relay."};
}

ReadinessAnswer Quality(const ReadinessFacts* facts) {
    switch (facts->grade) {
    case kMediaGood:
        return {"good", "little loss, jitter and delay", nullptr};
    case kMediaFair:
        return {"fair", "some loss, jitter or delay",
                "Calls may break up now and then; a wired connection or a less busy link helps."};
    case kMediaPoor:
        return {"poor", "much loss, jitter or delay",
                "Calls will break up; use a wired connection or a less busy link."};
    default:
        return kUnknown;
    }
}

ReadinessAnswer Alg(const ReadinessFacts* facts) {
    if (facts->algRewrites == kFactYes) {
        return {"rewrites", "the router rewrites H.323 call signalling (an H.323 ALG)",
                "If calls connect with one-way or no audio or video, turn the router's H.323 ALG "
                "(helper, fixup) off."};
    }
    if (facts->algRewrites == kFactNo && facts->algPinhole == kFactYes) {
        return {"pinholes", "something on the path opens ports for the calls it sees",
                "If calls connect with one-way or no audio or video, turn the router's H.323 ALG "
                "(helper, fixup) off."};
    }
    if (facts->algRewrites == kFactNo && facts->algPinhole == kFactNo) {
        return {"none", "the call signalling passes unchanged", nullptr};
    }
    return kUnknown;
}

// The silence a call may keep for sure: what lived, or where even the
// shortest silence was forgotten, half of it.
int SafeSilence(const TimerBounds* bounds) {
    int half = bounds->lessThan / 2;
    return bounds->atLeast > 0 ? bounds->atLeast : half > 0 ? half : 1;
}

// A timer that ran out within the ladder.
bool RunsOut(const TimerBounds* bounds) {
    return bounds->known && bounds->lessThan != 0;
}

// The answer when a timer ran out within the ladder: keep-alives at least
// as often as the shorter of the two allows.
void KeepAlive(const TimerBounds* udp, const TimerBounds* tcp, Readiness* readiness) {
    bool udpOut = RunsOut(udp);
    bool tcpOut = RunsOut(tcp);
    int keep = udpOut && tcpOut ? std::min(SafeSilence(udp), SafeSilence(tcp))
                                : SafeSilence(udpOut ? udp : tcp);
    std::snprintf(readiness->holdReason, sizeof(readiness->holdReason),
                  "the router forgets a silent call's %s",
                  udpOut && tcpOut ? "UDP mapping and TCP connection"
                  : udpOut         ? "UDP mapping"
                                   : "TCP connection");
    std::snprintf(readiness->holdAdvice, sizeof(readiness->holdAdvice),
                  "Have the H.323 program send media or keep-alives at least every %d s during "
                  "silence and hold (H.460.18 keep-alives, where it has them).",
                  keep);
    readiness->hold = {"keep-alive", readiness->holdReason, readiness->holdAdvice};
}

void Hold(const ReadinessFacts* facts, Readiness* readiness) {
    const TimerBounds* udp = &facts->udpLifetime;
    const TimerBounds* tcp = &facts->tcpIdle;
    if (!facts->timed) {
        readiness->hold = {"unknown", "not measured without --timers", nullptr};
    } else if (RunsOut(udp) || RunsOut(tcp)) {
        KeepAlive(udp, tcp, readiness);
    } else if (facts->outboundRefresh == kFactNo) {
        readiness->hold = {"keep-alive",
                           "the router forgets a UDP mapping that only this machine's packets keep",
                           "Keep media flowing both ways during silence and hold, or use "
                           "H.460.18/19 traversal or a media relay."};
    } else if (udp->atLeast == udp->longest && tcp->atLeast == tcp->longest && udp->known &&
               tcp->known) {
        std::snprintf(readiness->holdReason, sizeof(readiness->holdReason),
                      "a silent call's UDP mapping and TCP connection outlive %d s, the longest "
                      "silence tried",
                      std::min(udp->atLeast, tcp->atLeast));
        readiness->hold = {"ok", readiness->holdReason, nullptr};
    } else {
        readiness->hold = kUnknown;
    }
}

} // namespace

void JudgeReadiness(const ReadinessFacts* facts, Readiness* readiness) {
    readiness->callsOut = CallsOut(facts);
    readiness->callsIn = CallsIn(facts);
    readiness->media = Media(facts, readiness);
    readiness->quality = Quality(facts);
    readiness->alg = Alg(facts);
    Hold(facts, readiness);
    bool callsHindered = readiness->callsIn.advice != nullptr ||
                         readiness->callsOut.advice != nullptr ||
                         readiness->media.advice != nullptr;
    readiness->noteCaveat = facts->sameAddress && callsHindered
                                ? "The note says only that the two addresses are the same; a "
                                  "firewall can still stop calls."
                                : nullptr;
}
