// Prints the Setup built from its command line as text2pcap reads it:
//   setup_dump ADDRESS H245_PORT SIGNAL_PORT CONFERENCE_ID CALL_ID
// (the identifiers as 32 hex digits).
#include <cstdio>
#include <cstdlib>

#include "h323/setup_message.h"
#include "platform/platform.h"

namespace {

void ReadHex(const char* text, unsigned char* bytes) {
    for (int i = 0; i < kSetupTokenSize; ++i) {
        unsigned value = 0;
        std::sscanf(text + 2 * i, "%2x", &value);
        bytes[i] = (unsigned char)value;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        return 2;
    }
    SetupFields fields;
    fields.localAddress = inet_addr(argv[1]);
    fields.h245Port = (unsigned short)std::atoi(argv[2]);
    fields.signalPort = (unsigned short)std::atoi(argv[3]);
    ReadHex(argv[4], fields.conferenceId);
    ReadHex(argv[5], fields.callId);
    unsigned char message[kSetupSize];
    BuildSetup(&fields, message);
    // text2pcap's form: an offset, then the bytes, 16 to a line.
    for (int i = 0; i < kSetupSize; ++i) {
        if (i % 16 == 0) {
            std::printf("%06x", i);
        }
        std::printf(i % 16 == 15 || i == kSetupSize - 1 ? " %02x\n" : " %02x", message[i]);
    }
    return 0;
}
