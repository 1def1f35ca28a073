// The machine's own address: its host name resolved, one address chosen.
#include "address/local_address.h"

#include <cstring>

#include "address/dotted_address.h"
#include "address/report_error.h"
#include "platform/platform.h"

int GetLocalAddress(char* text) {
    char hostName[kHostNameSize];
    int result = gethostname(hostName, sizeof(hostName));
    if (result != 0) {
        // Without a name there is nothing to resolve.
        ReportError("Error calling gethostname: %d", result);
        return 0;
    }
    hostName[sizeof(hostName) - 1] = '\0';
    uint32_t address;
    if (!ResolveHostAddress(hostName, &address)) {
        return 0;
    }
    CopyDottedAddress(address, text);
    return 1;
}

int ResolveHostAddress(const char* hostName, uint32_t* address) {
    struct hostent* entry = gethostbyname(hostName);
    if (entry == nullptr) {
        ReportError("gethostbyname failed: %d", WSAGetLastError());
        return 0;
    }
    // A list without an entry leaves nothing to choose, not even a fallback;
    // addresses of another kind than IPv4 are no answer either.
    if (entry->h_addrtype != AF_INET || entry->h_length != sizeof(uint32_t) ||
        entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) {
        return 0;
    }
    *address = ChooseHostAddress(entry->h_addr_list);
    return 1;
}

// The last address that is not private wins; when there is none, the first.
uint32_t ChooseHostAddress(char** addressList) {
    uint32_t candidate = 0;
    for (char** entry = addressList; *entry != nullptr; ++entry) {
        if (!IsPrivateAddress((const unsigned char*)*entry)) {
            std::memcpy(&candidate, *entry, sizeof(candidate));
        }
    }
    if (candidate == 0) {
        std::memcpy(&candidate, addressList[0], sizeof(candidate));
    }
    return candidate;
}

// Only 127.0.0.1 itself counts as loopback, not the rest of 127/8.
int IsPrivateAddress(const unsigned char* octets) {
    if (octets[0] == 10) {
        return 1;
    }
    if (octets[0] == 172 && octets[1] >= 16 && octets[1] <= 31) {
        return 1;
    }
    if (octets[0] == 192 && octets[1] == 168) {
        return 1;
    }
    return octets[0] == 127 && octets[1] == 0 && octets[2] == 0 && octets[3] == 1;
}
