// The double-NAT judgement, from the router's answer whichever way it was
// asked.
#include <cstdint>
#include <cstring>

#include "address/local_address.h"
#include "platform/platform.h"
#include "reach/port_mapping.h"

namespace {

bool IsSharedAddress(const unsigned char* octets) {
    return octets[0] == 100 && (octets[1] & 0xC0) == 64;
}

} // namespace

int JudgeDoubleNat(const PortMapping* mapping, const char* internetAddress) {
    if (mapping->protocol == kMappingNone) {
        return kDoubleNatUnknown;
    }
    if (mapping->externalAddress[0] == '\0') {
        return kDoubleNatYes;
    }
    std::uint32_t external = inet_addr(mapping->externalAddress);
    const unsigned char* octets = (const unsigned char*)&external;
    if (IsPrivateAddress(octets) || IsSharedAddress(octets)) {
        return kDoubleNatYes;
    }
    if (internetAddress == nullptr) {
        return kDoubleNatUnknown;
    }
    return std::strcmp(mapping->externalAddress, internetAddress) == 0 ? kDoubleNatNo
                                                                       : kDoubleNatYes;
}
