// gethostbyname as Windows Sockets answers it: the machine's own name gives
// the machine's interface addresses, whatever the hosts file says about it.
#include "platform/platform.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <strings.h>
#include <unistd.h>

// This file supplies the replacement; below, the system's own reentrant
// lookup answers for other names.
#undef gethostbyname

namespace {

const int kMaxOwnAddresses = 35; // as many as one Windows Sockets answer holds

// The answer for the own name, kept until the next call like the system's.
struct OwnHostEntry {
    struct hostent entry;
    char name[kHostNameSize];
    char* aliases[1];
    struct in_addr addresses[kMaxOwnAddresses];
    char* addressList[kMaxOwnAddresses + 1];
};

// Each thread's answers are its own, as under Windows Sockets, so that
// the probes that run beside each other can each look a name up.
thread_local OwnHostEntry g_ownHost;

// Room for the system's answer for any other name.
const int kAnswerSize = 8192;
struct OtherHostEntry {
    struct hostent entry;
    char buffer[kAnswerSize];
};
thread_local OtherHostEntry g_otherHost;

int IsOwnName(const char* name) {
    if (name == nullptr || name[0] == '\0') {
        return 1;
    }
    char own[kHostNameSize];
    if (gethostname(own, sizeof(own)) != 0) {
        return 0;
    }
    own[sizeof(own) - 1] = '\0';
    return strcasecmp(name, own) == 0;
}

int IsListedInterface(const struct ifaddrs* interface) {
    return interface->ifa_addr != nullptr && interface->ifa_addr->sa_family == AF_INET &&
           (interface->ifa_flags & IFF_UP) != 0 && (interface->ifa_flags & IFF_LOOPBACK) == 0;
}

// The IPv4 addresses of the interfaces that are up, loopback left out, in
// the order the system lists them; at most max of them.
int CollectInterfaceAddresses(struct in_addr* addresses, int max) {
    struct ifaddrs* interfaces;
    if (getifaddrs(&interfaces) != 0) {
        return 0;
    }
    int count = 0;
    for (struct ifaddrs* i = interfaces; i != nullptr && count < max; i = i->ifa_next) {
        if (IsListedInterface(i)) {
            const struct sockaddr_in* address = (const struct sockaddr_in*)i->ifa_addr;
            addresses[count++] = address->sin_addr;
        }
    }
    freeifaddrs(interfaces);
    return count;
}

struct hostent* OwnHostByName() {
    OwnHostEntry* own = &g_ownHost;
    if (gethostname(own->name, sizeof(own->name)) != 0) {
        own->name[0] = '\0';
    }
    own->name[sizeof(own->name) - 1] = '\0';
    int count = CollectInterfaceAddresses(own->addresses, kMaxOwnAddresses);
    if (count == 0) {
        own->addresses[0].s_addr = htonl(INADDR_LOOPBACK);
        count = 1;
    }
    for (int i = 0; i < count; ++i) {
        own->addressList[i] = (char*)&own->addresses[i];
    }
    own->addressList[count] = nullptr;
    own->aliases[0] = nullptr;
    own->entry.h_name = own->name;
    own->entry.h_aliases = own->aliases;
    own->entry.h_addrtype = AF_INET;
    own->entry.h_length = sizeof(struct in_addr);
    own->entry.h_addr_list = own->addressList;
    return &own->entry;
}

int WinsockResolverError(int resolverError) {
    switch (resolverError) {
    case HOST_NOT_FOUND:
        return WSAHOST_NOT_FOUND;
    case TRY_AGAIN:
        return WSATRY_AGAIN;
    case NO_DATA:
        return WSANO_DATA;
    default:
        return WSANO_RECOVERY;
    }
}

} // namespace

struct hostent* WinsockGetHostByName(const char* name) {
    if (EndRequested()) {
        WSASetLastError(WSAEINTR);
        return nullptr;
    }
    if (IsOwnName(name)) {
        return OwnHostByName();
    }
    struct hostent* entry = nullptr;
    int error = 0;
    if (gethostbyname_r(name, &g_otherHost.entry, g_otherHost.buffer, sizeof(g_otherHost.buffer),
                        &entry, &error) != 0 ||
        entry == nullptr) {
        WSASetLastError(WinsockResolverError(error));
        return nullptr;
    }
    return entry;
}
