// The STUN parser with any bytes: it reads nothing outside the datagram (a
// heap block of exactly its size), takes only whole messages, reads the
// same bytes the same way twice, and what it reads is well formed.
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "stun/message.h"

namespace {

bool WellFormed(const struct sockaddr_in& address) {
    return address.sin_family == 0 || address.sin_family == AF_INET;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<unsigned char> datagram(data, data + size);
    StunMessage first;
    StunMessage second;
    int length = (int)size;
    bool whole = ParseStunMessage(datagram.data(), length, &first);
    FuzzCheck(whole == ParseStunMessage(datagram.data(), length, &second) &&
                  (!whole || std::memcmp(&first, &second, sizeof(first)) == 0),
              "the same bytes read the same way twice");
    if (!whole) {
        return 0;
    }
    FuzzCheck(size % 4 == 0 && (size_t)(data[2] << 8 | data[3]) + kStunHeaderSize == size,
              "a whole message is as long as its header says, in fours");
    FuzzCheck(first.type < 0x4000, "the type's two leading bits are zero");
    FuzzCheck(WellFormed(first.xorMappedAddress) && WellFormed(first.mappedAddress) &&
                  WellFormed(first.responseOrigin) && WellFormed(first.otherAddress),
              "addresses are IPv4 or absent");
    FuzzCheck(first.errorCode == 0 || (first.errorCode >= 300 && first.errorCode < 700),
              "an error code is 300 to 699");
    return 0;
}
