// Whether the router in front of the machine could open a port by itself
// (UPnP IGD or NAT-PMP), the external address it reports, and what that
// address says about a second translating router behind it.
#pragma once

#include "address/dotted_address.h"
#include "reach/fact.h"

enum PortMappingProtocol { kPortMappingNone, kPortMappingUpnp, kPortMappingNatPmp };

// The protocol's name, in JSON's words ("upnp", "nat-pmp") or the report's
// ("UPnP", "NAT-PMP"); null for none.
const char* PortMappingName(PortMappingProtocol protocol, bool json);

// gateway and externalAddress are dotted addresses; externalAddress is
// empty when the router answered but has no external address that can be
// used (it says so itself when its own outside address is not public).
// unasked says why the router was not asked, as the report words it; it is
// null when it was asked, and then protocol is kPortMappingNone only when
// no router answered.
struct PortMapping {
    PortMappingProtocol protocol;
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

// Judged from the router's external address and the address the echo page
// saw (null when that lookup failed): a private or shared external address,
// none at all, or one the echo page did not see means another translating
// router further out (kFactYes).
Fact JudgeDoubleNat(const PortMapping* mapping, const char* internetAddress);
