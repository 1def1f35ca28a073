// One answer to what users of H.323 ask: will calls work from here, out
// and in, with picture and sound, and what must change if not. Judged from
// the facts that --deep finds; a pure function, so that every row of the
// judgement can be tested without a network.
#pragma once

#include "reach/fact.h"
#include "reach/media_path.h"

struct ReadinessFacts {
    bool behindNat;   // the two addresses differ (the dialog's note 101)
    bool sameAddress; // they are the same (note 100)
    int portMapping;  // a kMapping value (reach/port_mapping.h)
    int doubleNat;    // a kDoubleNat value
    int incomingCall; // a kCall value (reach/incoming_call.h)
    int tcp1720Out;   // a kFact value: TCP port 1720 to the echo host passes
    int udpPasses;    // a kFact value: UDP reaches the STUN server
    int mapping;      // a mapping behaviour (reach/media_path.h)
    int grade;        // a kMedia grade
    int algRewrites;  // a kFact value: something rewrote the Setup
    int algPinhole;   // a kFact value: something opened a pinhole for H.245
};

// One answer: its word as JSON has it, why, and what to do (null when
// nothing needs doing).
struct ReadinessAnswer {
    const char* word;
    const char* reason;
    const char* advice;
};

struct Readiness {
    ReadinessAnswer callsOut; // yes, no, unknown
    ReadinessAnswer callsIn;  // yes, port-forward, relay, unknown
    ReadinessAnswer media;    // direct, traversal, blocked, unknown
    ReadinessAnswer quality;  // good, fair, poor, unknown
    ReadinessAnswer alg;      // none, rewrites, pinholes, unknown
    // Why the dialog's note "not behind a firewall" and the answers seem to
    // disagree; null when they do not.
    const char* noteCaveat;
};

void JudgeReadiness(const ReadinessFacts* facts, Readiness* readiness);
