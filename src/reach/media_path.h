// The media path: whether UDP reaches a STUN server, the address and port
// the machine's datagrams leave with, how the router in front maps and
// filters them (RFC 5780 sections 4.3 to 4.5), and how a call's packets
// would fare on the way there and back.
#pragma once

#include "address/dotted_address.h"
#include "reach/fact.h"

// Mapping and filtering behaviour.
const int kBehaviourUnknown = 0;
const int kEndpointIndependent = 1;
const int kAddressDependent = 2;
const int kAddressAndPortDependent = 3;

const int kMediaUnmeasured = 0;
const int kMediaGood = 1; // loss at most 1 %, jitter at most 30 ms, round trip at most 300 ms
const int kMediaFair = 2;
const int kMediaPoor = 3; // loss over 5 %, jitter over 50 ms, or round trip over 800 ms

// 50 binding requests a second for 3 s, each of a G.711 packet's size (160
// bytes of sound and an RTP header: 172 bytes of UDP data). sent is 0 and
// grade kMediaUnmeasured when no media probe ran. The round trips are of the answered requests;
// jitter is RFC 3550's interarrival estimate over the round trip; reordered counts answers that
// came after one of a later request; the grade goes by the median round trip.
struct MediaQuality {
    int sent;
    int received;
    double lossPercent;
    int rttMedianMs;
    int rttP95Ms;
    double jitterMs;
    int reordered;
    int grade;
};

struct MediaPath {
    int udpPasses;                          // a kFact
    char mappedAddress[kDottedAddressSize]; // dotted, empty when unknown
    int mappedPort;
    int mapping;   // a kBehaviour
    int filtering; // a kBehaviour
    int hairpin;   // a kFact: a datagram to the mapped address came back in
    MediaQuality media;
    char reason[128]; // why something is unknown, in words; empty when nothing is
};

// A --deep run's bound on the whole probe: on a healthy path it takes
// about 3 s, with loss up to 4 s and more (the budget cuts the media
// requests short), where nothing answers 2.5 s.
const int kMediaPathBudgetMs = 5000;

// server is "HOST" or "HOST:PORT" (3478 when no port is given). Everything
// is over within budgetMs of the call, but for the name lookup, which the
// system's resolver bounds; what did not fit is unknown, with the reason.
// The socket library must be started.
void ProbeMediaPath(const char* server, int budgetMs, MediaPath* path);
