#include "reach/signalling_judgement.h"

#include <cstring>

#include "h323/setup_message.h"

namespace {

// kFactYes when the call reached this machine, kFactNo when the echo host
// tried and this machine was not reached, else unknown.
Fact Reached(CallBackWord word, bool answered) {
    if (answered && word == kWordReached) {
        return kFactYes;
    }
    bool tried = word == kWordReached || word == kWordUnreached;
    return !answered && tried ? kFactNo : kFactUnknown;
}

} // namespace

void JudgeCallBack(const CallBackSeen* seen, CallSignalling* facts) {
    Fact h245 = Reached(seen->h245, seen->h245Answered);
    facts->inboundOpen = Reached(seen->control, seen->controlAnswered);
    if (h245 == kFactYes && facts->inboundOpen == kFactNo) {
        facts->opensH245Pinhole = kFactYes;
    } else if (h245 == kFactNo || (h245 == kFactYes && facts->inboundOpen == kFactYes)) {
        facts->opensH245Pinhole = kFactNo;
    } else {
        facts->opensH245Pinhole = kFactUnknown;
    }
}

void JudgeSetupEcho(const unsigned char* sent, const unsigned char* echoed, int echoedLength,
                    CallSignalling* facts) {
    facts->rewritesAddresses = kFactNo;
    facts->alteredCount = 0;
    int longer = echoedLength > kSetupSize ? echoedLength : kSetupSize;
    for (int i = 0; i < longer; ++i) {
        bool inBoth = i < kSetupSize && i < echoedLength;
        if (inBoth && sent[i] == echoed[i]) {
            continue;
        }
        if (inBoth && IsSetupAddressByte(i)) {
            facts->rewritesAddresses = kFactYes;
        } else if (facts->alteredCount < kAlteredLimit) {
            facts->alteredBytes[facts->alteredCount++] = i;
        }
    }
}

const char* PortPreservationName(PortPreservation preservation) {
    const char* const names[] = {nullptr, "kept", "parity", "changed"};
    return names[preservation];
}

void JudgeMediaEcho(const unsigned char* sent, const unsigned char* echoed, int echoedLength,
                    MediaAddresses* media) {
    const int audio = kSetupMediaOffsets[kMediaAudio][kMediaRtp];
    std::memcpy(&media->sentAddress, sent + audio, 4);
    media->rewritten = kFactUnknown;
    if (echoedLength != kSetupSize) {
        return;
    }
    std::memcpy(&media->arrivedAddress, echoed + audio, 4);
    media->rewritten = kFactNo;
    for (int kind = 0; kind < kMediaKinds; ++kind) {
        for (int channel = 0; channel < kMediaChannels; ++channel) {
            int at = kSetupMediaOffsets[kind][channel];
            media->sentPorts[kind][channel] = SetupPortAt(sent, at + 4);
            media->arrivedPorts[kind][channel] = SetupPortAt(echoed, at + 4);
            if (std::memcmp(sent + at, echoed + at, 6) != 0) {
                media->rewritten = kFactYes;
            }
        }
    }
}

void JudgeFarEndMedia(const FarEndSeen* seen, bool privateAddress, MediaAddresses* media) {
    bool any = false;
    for (int kind = 0; kind < kMediaKinds; ++kind) {
        any = any || seen->came[kind];
        media->farEndIn[kind] = kFactUnknown;
    }
    media->farEndReason = nullptr;
    if (!seen->asked) {
        return;
    }
    if (!any && !seen->serverAnswered) {
        media->farEndReason = "the STUN server on the echo host's address did not answer";
        return;
    }
    for (int kind = 0; kind < kMediaKinds; ++kind) {
        media->farEndIn[kind] = seen->came[kind] ? kFactYes : kFactNo;
    }
    if (any) {
        media->farEndReason = media->rewritten == kFactYes
                                  ? "let in at the rewritten ports before this machine sent any"
                                  : "let in at the announced ports before this machine sent any";
    } else if (privateAddress && media->rewritten == kFactNo) {
        media->farEndReason = "the announced address is private and nothing rewrote it: the far "
                              "end's media goes nowhere until this machine's goes out";
    } else {
        media->farEndReason = "the router or a firewall drops the far end's media until this "
                              "machine's goes out";
    }
}

PortPreservation JudgePortPreservation(unsigned short localEven, unsigned short mappedEven,
                                       unsigned short mappedOdd) {
    if (mappedEven == 0 || mappedOdd == 0) {
        return kPortsUnknown;
    }
    if (mappedEven == localEven && mappedOdd == localEven + 1) {
        return kPortsKept;
    }
    bool pair = mappedEven % 2 == 0 && mappedOdd == mappedEven + 1;
    return pair ? kPortsParity : kPortsChanged;
}
