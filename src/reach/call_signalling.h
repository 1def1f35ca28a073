// Whether H.323 signalling gets out to the echo host, and what meets it on
// the way: TCP port 1720, where calls are placed, with what a router's
// H.323 helper ("ALG") does to a Setup; and UDP port 1719, where endpoints
// register with a gatekeeper. Both ask the echo host's own ports
// (service/echo/marvoly-h323.conf), never anyone else.
#pragma once

#include "address/dotted_address.h"
#include "reach/signalling_judgement.h"

// Connects (5 s at most), sends the Setup with this machine's address, the
// connection's port and the port of an H.245 listener opened for the call,
// and after it the port of a second listener that the Setup does not name;
// reads the echo (2 s, 1 KiB) and the echo host's words on its two
// call-backs (3.5 s), which the listeners answer meanwhile. The listeners
// are closed at once after. Moments on a clear path, 5 s when TCP 1720 is
// dropped, 10.5 s at most, and over by deadline in any case.
void ProbeCallSignalling(const char* echoHost, long long deadline, CallSignalling* facts);

// Only whether a connection to the echo host's TCP 1720 gets out (5 s at
// most, and not past deadline), closed at once.
Fact ProbeTcp1720Out(const char* echoHost, long long deadline);

struct GatekeeperPort {
    Fact udp1719Out;                   // the echo host's UDP 1719 answered
    char seenFrom[kDottedAddressSize]; // the address it saw, dotted, or empty
};

// A datagram to the echo host's UDP 1719, sent again every half second
// until an answer comes, for 2 s at most. Unknown when the echo host's
// name does not resolve.
void ProbeGatekeeperPort(const char* echoHost, GatekeeperPort* facts);
