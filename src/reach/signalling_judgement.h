// What the call-signalling probe saw, judged: the Setup's echo against what
// was sent, and the echo host's two call-backs against what this run
// answered. Pure functions, so that every row can be tested without a
// network.
#pragma once

#include "reach/fact.h"

const int kAlteredLimit = 32;

// Each fact kFactYes, kFactNo or kFactUnknown. The ones after the first
// are unknown when TCP 1720 does not get out or the echo host does not
// answer as it should.
struct CallSignalling {
    Fact tcp1720Out;        // a connection to the echo host's TCP 1720 opens
    Fact rewritesAddresses; // the Setup's addresses or ports arrived changed
    // The echo host's call to the H.245 port that the Setup named reached
    // this machine, and its call to a port that the Setup did not name did
    // not: something on the path let the call in because it read the
    // Setup, as an H.323 helper ("ALG") does.
    Fact opensH245Pinhole;
    // The call to the port that the Setup did not name reached this
    // machine: the path lets connections in, whatever they belong to.
    Fact inboundOpen;
    // The offsets of the other bytes that arrived changed, the first
    // kAlteredLimit of them, in the order of the message; alteredCount is
    // -1 when nothing is known.
    int alteredCount;
    int alteredBytes[kAlteredLimit];
};

// The echo host's word on one of its calls.
enum CallBackWord { kWordNone, kWordReached, kWordUnreached, kWordNotTried };

// What came back of the two call-backs: each word (kWordNone when none came)
// and whether this run itself took the call and answered it.
struct CallBackSeen {
    CallBackWord h245;
    bool h245Answered;
    CallBackWord control;
    bool controlAnswered;
};

// A call counts as reached only when both ends agree: a "reached" that this
// run did not answer was answered by something else. The H.245 call alone
// reached means a pinhole; both reached, an open path and no pinhole.
void JudgeCallBack(const CallBackSeen* seen, CallSignalling* facts);

// The echo (echoedLength bytes) against the Setup sent (kSetupSize bytes,
// h323/setup_message.h): a changed byte counts towards rewriting when it
// belongs to an address or port, else among the altered, as does every
// byte that one of the two has and the other lacks.
void JudgeSetupEcho(const unsigned char* sent, const unsigned char* echoed, int echoedLength,
                    CallSignalling* facts);
