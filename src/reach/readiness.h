// One answer to what users of H.323 ask: will calls work from here, out
// and in, with picture and sound, and what must change if not. Judged from
// the facts that --deep finds; a pure function, so that every row of the
// judgement can be tested without a network.
#pragma once

#include "reach/fact.h"
#include "reach/incoming_call.h"
#include "reach/media_judgement.h"
#include "reach/port_mapping.h"
#include "reach/timer_judgement.h"

struct ReadinessFacts {
    bool behindNat;   // the two addresses differ (the dialog's note 101)
    bool sameAddress; // they are the same (note 100)
    PortMappingProtocol portMapping;
    Fact doubleNat;
    IncomingCall incomingCall;
    Fact tcp1720Out; // TCP port 1720 to the echo host passes
    Fact udpPasses;  // UDP reaches the STUN server
    Behaviour mapping;
    MediaGrade grade;
    Fact algRewrites; // something rewrote the Setup
    Fact algPinhole;  // something opened a pinhole for H.245, and only for it
    // The media the Setup announced: rewritten on the way, the announced
    // address a private one, the far end's first media let in (yes when
    // any of it was), and the first and last of the announced ports.
    Fact mediaRewritten;
    bool mediaPrivate;
    Fact farEndIn;
    unsigned short mediaFirstPort;
    unsigned short mediaLastPort;
    bool timed; // --timers waited out the silences below
    TimerBounds udpLifetime;
    TimerBounds tcpIdle;
    Fact outboundRefresh; // a mapping kept by this machine's keep-alives alone lived
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
    ReadinessAnswer media;    // direct, helper, one-way, traversal, blocked, unknown
    ReadinessAnswer quality;  // good, fair, poor, unknown
    ReadinessAnswer alg;      // none, rewrites, pinholes, unknown
    ReadinessAnswer hold;     // ok, keep-alive, unknown
    // The hold answer's words, which carry its numbers.
    char holdReason[128];
    char holdAdvice[192];
    // Why the dialog's note "not behind a firewall" and the answers seem to
    // disagree; null when they do not.
    const char* noteCaveat;
    char mediaAdvice[256]; // the room for media's advice, when it names ports
};

void JudgeReadiness(const ReadinessFacts* facts, Readiness* readiness);
