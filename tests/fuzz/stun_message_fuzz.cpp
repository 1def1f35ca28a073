// The STUN parser with any bytes: it reads nothing outside the datagram
// (a heap block of exactly its size), takes only whole messages, reads the
// same bytes the same way twice, and what it reads is well formed; and a
// request built from the input's first bytes reads back as built.
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "stun/transaction.h"

namespace {

bool WellFormed(const struct sockaddr_in& address) {
    return address.sin_family == 0 || address.sin_family == AF_INET;
}

void CheckParsed(const std::vector<unsigned char>& datagram, const StunMessage* message) {
    FuzzCheck(datagram.size() % 4 == 0, "a whole message is a multiple of 4 bytes");
    FuzzCheck((size_t)(datagram[2] << 8 | datagram[3]) + kStunHeaderSize == datagram.size(),
              "a whole message is as long as its header says");
    FuzzCheck(message->type < 0x4000, "the type's two leading bits are zero");
    FuzzCheck(WellFormed(message->xorMappedAddress) && WellFormed(message->mappedAddress) &&
                  WellFormed(message->responseOrigin) && WellFormed(message->otherAddress),
              "addresses are IPv4 or absent");
    FuzzCheck(message->errorCode == 0 || (message->errorCode >= 300 && message->errorCode < 700),
              "an error code is 300 to 699");
}

void CheckBuilt(const uint8_t* data) {
    int change = data[kStunIdSize] & (kChangeAddress | kChangePort);
    int size = data[kStunIdSize + 1] % (kStunRequestSize / 4) * 4;
    unsigned char request[kStunRequestSize];
    int built = BuildBindingRequest(data, change, size, request);
    StunMessage message;
    FuzzCheck(ParseStunMessage(request, built, &message), "a built request reads back");
    FuzzCheck(message.type == kStunBindingRequest && message.changeRequest == change &&
                  std::memcmp(message.id, data, kStunIdSize) == 0,
              "a built request reads back as built");
    FuzzCheck(built == (size >= built ? size : built), "a request is filled up to its size");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (size_t)kStunDatagramSize) {
        return 0;
    }
    std::vector<unsigned char> datagram(data, data + size);
    StunMessage first;
    StunMessage second;
    bool whole = ParseStunMessage(datagram.data(), (int)size, &first);
    FuzzCheck(whole == ParseStunMessage(datagram.data(), (int)size, &second) &&
                  (!whole || std::memcmp(&first, &second, sizeof(first)) == 0),
              "the same bytes read the same way twice");
    if (whole) {
        CheckParsed(datagram, &first);
    }
    if (size >= (size_t)kStunIdSize + 2) {
        CheckBuilt(data);
    }
    return 0;
}
