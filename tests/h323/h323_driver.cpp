// Prints the Setup for tshark to read back:
//
//   h323_driver setup ADDRESS H245_PORT
//       prints in hex the Setup from ADDRESS, with the H.245 port and the
//       signalling port 40002, audio on 40010 and video on 40020,
//       conferenceID 00112233... and callIdentifier ffeeddcc...
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "h323/setup_message.h"
#include "platform/platform.h"

namespace {

void PrintSetup(const char* address, const char* h245Port) {
    SetupFields fields = {inet_addr(address), (unsigned short)std::atoi(h245Port), 40002, {}, {},
                          {40010, 40020}};
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

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 || std::strcmp(argv[1], "setup") != 0) {
        std::fprintf(stderr, "usage: %s setup ADDRESS H245_PORT\n", argv[0]);
        return 2;
    }
    PrintSetup(argv[2], argv[3]);
    return 0;
}
