// Prints what the socket layer answers for the machine's own name, what the
// local address lookup makes of it, and the answers for further names given
// as arguments. Run inside network namespaces by own_name_test.
//
//   own 192.168.1.10 203.0.113.7
//   local 203.0.113.7
//   name NAME 127.0.0.1         or   name NAME error 11001
#include <cstdio>
#include <string>

#include "address/local_address.h"
#include "platform/platform.h"

namespace {

std::string AddressList(const char* name) {
    struct hostent* entry = gethostbyname(name);
    if (entry == nullptr) {
        return "error " + std::to_string(WSAGetLastError());
    }
    std::string list;
    for (char** address = entry->h_addr_list; *address != nullptr; ++address) {
        list += (list.empty() ? "" : " ") + std::string(inet_ntoa(*(struct in_addr*)*address));
    }
    return list;
}

} // namespace

int main(int argc, char** argv) {
    char hostName[256];
    if (gethostname(hostName, sizeof(hostName)) != 0) {
        std::printf("gethostname failed\n");
        return 1;
    }
    std::printf("own %s\n", AddressList(hostName).c_str());
    char text[64] = "failed";
    GetLocalAddress(text);
    std::printf("local %s\n", text);
    for (int i = 1; i < argc; ++i) {
        std::printf("name %s %s\n", argv[i], AddressList(argv[i]).c_str());
    }
    return 0;
}
