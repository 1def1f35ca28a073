// What the router's answer says, whichever way it was asked: its
// protocol's name, and the double-NAT judgement.
#include <cstring>

#include "platform/platform.h"
#include "reach/address_range.h"
#include "reach/port_mapping.h"

const char* PortMappingName(PortMappingProtocol protocol, bool json) {
    const char* const names[][2] = {{nullptr, nullptr}, {"UPnP", "upnp"}, {"NAT-PMP", "nat-pmp"}};
    return names[protocol][json ? 1 : 0];
}

Fact JudgeDoubleNat(const PortMapping* mapping, const char* internetAddress) {
    if (mapping->protocol == kPortMappingNone) {
        return kFactUnknown;
    }
    if (mapping->externalAddress[0] == '\0' ||
        RangeOf(inet_addr(mapping->externalAddress)) != kRangePublic) {
        return kFactYes;
    }
    if (internetAddress == nullptr) {
        return kFactUnknown;
    }
    return std::strcmp(mapping->externalAddress, internetAddress) == 0 ? kFactNo : kFactYes;
}
