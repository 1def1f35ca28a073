// Whether the router in front of the machine could open a port by itself
// (UPnP IGD or NAT-PMP), the external address it reports, and what that
// address says about a second translating router behind it.
#pragma once

#include "address/dotted_address.h"

const int kMappingNone = 0;
const int kMappingUpnp = 1;
const int kMappingNatPmp = 2;

// gateway and externalAddress are dotted addresses; externalAddress is
// empty when the router answered but has no external address that can be
// used (it says so itself when its own outside address is not public).
// unasked says why the router was not asked, as the report words it; it is
// null when it was asked, and then protocol is kMappingNone only when no
// router answered.
struct PortMapping {
    int protocol;
    char gateway[kDottedAddressSize];
    char externalAddress[kDottedAddressSize];
    const char* unasked;
};

// UPnP discovery and the default gateway's own valid gateway device first
// (about 2 s, never more than 4 s whatever a device sends), else a NAT-PMP
// public-address request to the default gateway (about 2 s). Nothing is
// mapped or changed on the router. The Windows build has neither way to
// ask (port_mapping_windows.cpp).
void FindPortMapping(PortMapping* mapping);

const int kDoubleNatUnknown = -1;
const int kDoubleNatNo = 0;
const int kDoubleNatYes = 1;

// Judged from the router's external address and the address the echo page
// saw (null when that lookup failed): a private or shared external address,
// none at all, or one the echo page did not see means another translating
// router further out.
int JudgeDoubleNat(const PortMapping* mapping, const char* internetAddress);
