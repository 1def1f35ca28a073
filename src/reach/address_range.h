// Which kind of IPv4 address a probe is given: one that may be sent to on
// the Internet, one of a private network, or one that no probe sends to.
#pragma once

#include <cstdint>

enum AddressRange {
    kRangeUnusable, // 0/8, multicast, reserved, broadcast: never sent to
    kRangePublic,
    kRangeLoopback, // 127/8
    kRange10,       // the three private ranges, each a network of its own
    kRange172,
    kRange192,
    kRangeShared, // 100.64/10, a carrier's NAT
};

// address in network order, as in sockaddr_in.
AddressRange RangeOf(uint32_t address);

// Whether a probe that talks to server may send to address: a public one,
// or one in the server's own range when the server is not public (a STUN
// server on the LAN names a second address on the LAN).
bool MaySendTo(uint32_t address, uint32_t server);

// Whether address is one of a private network or a carrier's NAT: one
// that the Internet cannot send to.
bool IsPrivateAddress(uint32_t address);
