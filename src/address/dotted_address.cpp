// inet_ntoa's text lives only until its next call: it is copied at once.
#include "address/dotted_address.h"

#include "platform/platform.h"

void CopyDottedAddress(uint32_t address, char* text) {
    struct in_addr value;
    value.s_addr = address;
    lstrcpynA(text, inet_ntoa(value), kDottedAddressSize);
}
