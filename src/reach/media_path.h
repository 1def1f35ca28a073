// The media path: whether UDP reaches a STUN server, the address and port
// the machine's datagrams leave with, how the router in front maps and
// filters them (RFC 5780 sections 4.3 to 4.5), and how a call's packets
// would fare on the way there and back.
#pragma once

#include "address/dotted_address.h"
#include "reach/fact.h"
#include "reach/media_judgement.h"

// 50 binding requests a second for 3 s, each of a G.711 packet's size (160
// bytes of sound and an RTP header: 172 bytes of UDP data).
struct MediaPath {
    Fact udpPasses;
    char mappedAddress[kDottedAddressSize]; // dotted, empty when unknown
    int mappedPort;
    Behaviour mapping;
    Behaviour filtering;
    Fact hairpin; // a datagram to the mapped address came back in
    MediaQuality quality;
    short roundTripMs[kMediaPackets]; // quality.sent of them, for a plot
    char reason[128];                 // why something is unknown, in words; empty when nothing is
};

// A --deep run's bound on the whole probe: on a healthy path it takes
// about 3 s, with loss up to 4 s and more (the budget cuts the media
// requests short), where nothing answers 2.5 s.
const int kMediaPathBudgetMs = 5000;

// server, "HOST" or "HOST:PORT" (port 3478 when none is given), to an
// address; false when it names none.
bool ResolveStunServer(const char* server, struct sockaddr_in* address);

// server is "HOST" or "HOST:PORT" (3478 when no port is given). Everything
// is over within budgetMs of the call, but for the name lookup, which the
// system's resolver bounds; what did not fit is unknown, with the reason.
// The second address that the server names is tested only when
// UsableOtherAddress allows it, and the mapped address believed only when
// UsableMappedAddress does. The socket library must be started.
void ProbeMediaPath(const char* server, int budgetMs, MediaPath* path);
