#include "reach/signalling_judgement.h"

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
