#include "reach/address_range.h"

AddressRange RangeOf(uint32_t address) {
    const unsigned char* octets = (const unsigned char*)&address;
    if (octets[0] == 0 || octets[0] >= 224) {
        return kRangeUnusable;
    }
    if (octets[0] == 127) {
        return kRangeLoopback;
    }
    if (octets[0] == 10) {
        return kRange10;
    }
    if (octets[0] == 172 && (octets[1] & 0xF0) == 16) {
        return kRange172;
    }
    if (octets[0] == 192 && octets[1] == 168) {
        return kRange192;
    }
    if (octets[0] == 100 && (octets[1] & 0xC0) == 64) {
        return kRangeShared;
    }
    return kRangePublic;
}

bool MaySendTo(uint32_t address, uint32_t server) {
    AddressRange range = RangeOf(address);
    return range == kRangePublic || (range != kRangeUnusable && range == RangeOf(server));
}

bool IsPrivateAddress(uint32_t address) {
    AddressRange range = RangeOf(address);
    return range == kRange10 || range == kRange172 || range == kRange192 || range == kRangeShared;
}
