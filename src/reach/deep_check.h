// The whole of --deep: every probe run, in the order they need, and one
// record of what they found, with the readiness answers judged from it.
// What the record is written as is the program's business, not this.
#pragma once

#include <cstdio>

#include "reach/call_signalling.h"
#include "reach/call_timers.h"
#include "reach/incoming_call.h"
#include "reach/media_path.h"
#include "reach/port_mapping.h"
#include "reach/readiness.h"

// What the detection run found, as plain flags and the Internet address.
struct DeepAsk {
    const char* echoUrl;         // the echo page's URL, in the program's form
    const char* stunServer;      // "HOST" or "HOST:PORT"; null for the echo host's
    const char* internetAddress; // dotted, null when the Internet lookup failed
    bool behindNat;              // the two addresses differ
    bool sameAddress;            // they are the same
    const TimerLadder* timers;   // --timers' silences; null without it
    std::FILE* progress;         // where --timers tells what waits; null for nowhere
};

struct DeepFacts {
    PortMapping portMapping;
    Fact doubleNat;
    IncomingCall incomingCall;
    CallSignalling signalling;
    GatekeeperPort gatekeeper;
    MediaPath media;
    // UDP left with another address than the echo page saw over TCP: the
    // machine leaves through more than one translating address.
    bool mappedElsewhere;
    bool timed; // --timers ran: the three below are its
    CallTimers timers;
    TimerBounds udpLifetime;
    TimerBounds tcpIdle;
    Readiness readiness;
};

// The whole check is over within this, whatever the network does: the
// router's questions take 6 s at most, and the probes after them end by
// then, cut short where they must be.
const int kDeepCheckMs = 11000;

// Asks the router first; then the probes of the echo host's own ports and
// the media path run beside the call-back, so that they take as long as the
// slowest of them; with --timers, its silences are waited out beside them.
// The socket library must be started.
void RunDeepCheck(const DeepAsk* ask, DeepFacts* facts);

// One round of --watch: the cheap facts (the Internet address as the echo
// page sees it, TCP 1720 and UDP out) and the media probe.
struct WatchRound {
    char internetAddress[kDottedAddressSize]; // empty when the lookup failed
    Fact tcp1720Out;
    Fact udpPasses;
    MediaQuality quality;
    bool cutShort; // the program was asked to end meanwhile: judge nothing by it
};

// The media probe beside the other two, so that a round takes about as
// long as the media probe (5 s at most, but for the Internet lookup's own
// bound). The socket library must be started.
void RunWatchRound(const char* echoUrl, const char* stunServer, WatchRound* round);
