// Drives the Setup and the H.323 probes for the tests:
//
//   h323_driver setup ADDRESS H245_PORT
//       prints in hex the Setup from ADDRESS, with the H.245 port and the
//       signalling port 40002, conferenceID 00112233... and callIdentifier
//       ffeeddcc...
//   h323_driver probe HOST
//       runs both probes against HOST and prints their records on one line
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "h323/setup_message.h"
#include "platform/platform.h"
#include "reach/call_signalling.h"

namespace {

void PrintSetup(const char* address, const char* h245Port) {
    SetupFields fields = {inet_addr(address), (unsigned short)std::atoi(h245Port), 40002, {}, {}};
    for (int i = 0; i < kSetupTokenSize; ++i) {
        fields.conferenceId[i] = (unsigned char)(i * 0x11);
        fields.callId[i] = (unsigned char)(0xff - i * 0x11);
    }
    unsigned char message[kSetupSize];
    BuildSetup(&fields, message);
    for (int i = 0; i < kSetupSize; ++i) {
        std::printf("%02x", message[i]);
    }
    std::printf("\n");
}

const char* Fact(int fact) {
    return fact == kFactYes ? "true" : fact == kFactNo ? "false" : "null";
}

int OpenDescriptors() {
    int count = 0;
    DIR* folder = opendir("/proc/self/fd");
    while (folder != nullptr && readdir(folder) != nullptr) {
        ++count;
    }
    closedir(folder);
    return count;
}

// One line: tcp_1720_out rewrites_addresses opens_h245_pinhole
// altered_bytes gatekeeper_udp_1719 seen_from, then the milliseconds each
// probe took and the descriptors they left open.
void PrintProbes(const char* host) {
    int before = OpenDescriptors();
    long long start = SteadyMilliseconds();
    CallSignalling call;
    ProbeCallSignalling(host, &call);
    long long callMs = SteadyMilliseconds() - start;
    std::printf("%s %s %s %s", Fact(call.tcp1720Out), Fact(call.rewritesAddresses),
                Fact(call.opensH245Pinhole), call.alteredCount < 0 ? "null" : "[");
    for (int i = 0; i < call.alteredCount; ++i) {
        std::printf(i == 0 ? "%d" : ",%d", call.alteredBytes[i]);
    }
    start = SteadyMilliseconds();
    GatekeeperPort gatekeeper;
    ProbeGatekeeperPort(host, &gatekeeper);
    std::printf("%s %s %s %lld %lld %d\n", call.alteredCount < 0 ? "" : "]",
                Fact(gatekeeper.udp1719Out),
                gatekeeper.seenFrom[0] != '\0' ? gatekeeper.seenFrom : "-", callMs,
                SteadyMilliseconds() - start, OpenDescriptors() - before);
}

} // namespace

int main(int argc, char** argv) {
    WSADATA socketInfo;
    if (WSAStartup(MAKEWORD(1, 1), &socketInfo) != 0) {
        return 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "setup") == 0) {
        PrintSetup(argv[2], argv[3]);
    } else if (argc == 3 && std::strcmp(argv[1], "probe") == 0) {
        PrintProbes(argv[2]);
    } else {
        std::fprintf(stderr, "usage: %s setup ADDRESS H245_PORT | probe HOST\n", argv[0]);
        return 2;
    }
    WSACleanup();
    return 0;
}
