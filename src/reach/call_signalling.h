// Whether H.323 signalling gets out to the echo host, and what meets it on
// the way: TCP port 1720, where calls are placed, with what a router's
// H.323 helper ("ALG") does to a Setup; and UDP port 1719, where endpoints
// register with a gatekeeper. Both ask the echo host's own ports
// (service/echo/marvoly-h323.conf), never anyone else.
#pragma once

#include "address/dotted_address.h"
#include "reach/fact.h"

const int kAlteredLimit = 32;

// Each fact kFactYes, kFactNo or kFactUnknown. The three after the first
// are unknown when TCP 1720 does not get out or the echo host does not
// answer as it should.
struct CallSignalling {
    int tcp1720Out;        // a connection to the echo host's TCP 1720 opens
    int rewritesAddresses; // the Setup's addresses or ports arrived changed
    // The echo host's call to the H.245 port that the Setup named reached
    // this machine: something on the path let it in for the call, as an ALG
    // does (or nothing is in the way at all).
    int opensH245Pinhole;
    // The offsets of the other bytes that arrived changed, the first
    // kAlteredLimit of them, in the order of the message; alteredCount is
    // -1 when nothing is known.
    int alteredCount;
    int alteredBytes[kAlteredLimit];
};

// Connects (5 s at most), sends the Setup with this machine's address, the
// connection's port and the port of an H.245 listener opened for the call,
// reads the echo (2 s, 1 KiB) and the echo host's word on its call-back
// (3.5 s), answering the call-back meanwhile. The listener is closed at
// once after. Moments on a clear path, 5 s when TCP 1720 is dropped, 10.5 s
// at most.
void ProbeCallSignalling(const char* echoHost, CallSignalling* facts);

struct GatekeeperPort {
    int udp1719Out;                    // the echo host's UDP 1719 answered
    char seenFrom[kDottedAddressSize]; // the address it saw, dotted, or empty
};

// A datagram to the echo host's UDP 1719, sent again every half second
// until an answer comes, for 2 s at most. Unknown when the echo host's
// name does not resolve.
void ProbeGatekeeperPort(const char* echoHost, GatekeeperPort* facts);
