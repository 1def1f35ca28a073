// The steps of --deep, each timed, in the namespace where it runs (see
// bench/deep_steps.sh): the Internet lookup that comes before them, the
// port-mapping lookup (UPnP discovery, then NAT-PMP when UPnP gives no
// address) and the call-back on port 1720.
#include <chrono>
#include <cstdio>

#include "address/internet_address.h"
#include "platform/platform.h"
#include "reach/deep_check.h"
#include "reach/incoming_call.h"
#include "reach/port_mapping.h"

namespace {

long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

} // namespace

int main() {
    WSADATA socketInfo;
    if (WSAStartup(MAKEWORD(1, 1), &socketInfo) != 0) {
        return 1;
    }
    char internet[16];
    auto start = std::chrono::steady_clock::now();
    bool found = GetInternetAddress(internet) != 0;
    long long lookup = MillisecondsSince(start);
    PortMapping mapping;
    start = std::chrono::steady_clock::now();
    FindPortMapping(&mapping);
    long long mappingTime = MillisecondsSince(start);
    start = std::chrono::steady_clock::now();
    int call = CheckIncomingCall(g_echoUrl, found ? internet : nullptr,
                                 SteadyMilliseconds() + kDeepCheckMs);
    long long callTime = MillisecondsSince(start);
    std::printf("steps: Internet lookup %lld ms, port mapping %lld ms (protocol %d), call-back "
                "%lld ms (result %d)\n",
                lookup, mappingTime, mapping.protocol, callTime, call);
    WSACleanup();
    return 0;
}
