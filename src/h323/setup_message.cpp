// The Setup is one fixed template: every field but the addresses, the ports
// and the two identifiers is the same in every run, so the encoding was
// made once, by hand, and is written down here byte by byte. H.225.0's
// aligned PER packs fields into bits; each comment names the fields of its
// byte, most significant bit first, and "pad" is the alignment before an
// octet string or a length.
#include "h323/setup_message.h"

#include <cstring>

namespace {

// One line per field, as commented.
// clang-format off
const unsigned char kTemplate[kSetupSize] = {
    // TPKT: version 3, reserved, length of the whole message
    0x03, 0x00, 0x00, kSetupSize,
    // Q.931: protocol discriminator, call reference (2 bytes, the flag bit
    // clear: this side placed the call; one call per connection, so any
    // value does), message type Setup
    0x08, 0x02, 0x4d, 0x56, 0x05,
    // bearer capability: unrestricted digital information, circuit mode at
    // 64 kbit/s, layer 1 H.221 and H.242
    0x04, 0x03, 0x88, 0x90, 0xa5,
    // user-user: 141 bytes, protocol discriminator "X.208 and X.209 coded"
    0x7e, 0x00, 0x8d, 0x05,
    // H323-UserInformation: no extension, no user-data; H323-UU-PDU:
    // extended, no nonStandardData; h323-message-body: root choice 0 of 7,
    // setup
    0x20,
    // Setup-UUIE: extended; of the seven optional root fields h245Address
    // only
    0xc0,
    // protocolIdentifier: 6 bytes, {itu-t recommendation h 2250 version 4}
    0x06, 0x00, 0x08, 0x91, 0x4a, 0x00, 0x04,
    // h245Address: root choice 0 of 7, ipAddress; pad; ip; port
    0x00, 0, 0, 0, 0, 0, 0,
    // sourceInfo (EndpointType): no extension, of six optional fields
    // terminal only; TerminalInfo: no extension, no nonStandardData
    0x02,
    // mc false, undefinedNode false; activeMC false; pad
    0x00,
    // conferenceID: 16 bytes
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // conferenceGoal: no extension, create; callType: no extension,
    // pointToPoint; twelve extension additions follow
    // (normally small length 11), present: sourceCallSignalAddress,
    // callIdentifier, fastStart, mediaWaitForConnect, canOverlapSend,
    // multipleCalls, maintainConnection (bits 1 0 1 0 0 0 1 1 1 0 1 1); pad
    0x00, 0x5d, 0x1d, 0x80,
    // sourceCallSignalAddress, an open type of 7 bytes: ipAddress; pad; ip;
    // port
    0x07, 0x00, 0, 0, 0, 0, 0, 0,
    // callIdentifier, an open type of 17 bytes: no extension; pad; guid
    0x11, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // fastStart, an open type of 63 bytes: two proposals, each an H.245
    // OpenLogicalChannel in an octet string, both offering to receive: the
    // forward direction carries nothing, the reverse one the media, with
    // where this machine takes its RTP and RTCP
    0x3f, 0x02,
    // audio, 29 bytes: OpenLogicalChannel not extended, with
    // reverseLogicalChannelParameters; pad; forwardLogicalChannelNumber 1
    0x1d, 0x40, 0x00, 0x00,
    // forward parameters: not extended, no portNumber; dataType nullData;
    // multiplexParameters the extension choice 1, none (an open type of one
    // empty byte)
    0x06, 0x04, 0x01, 0x00,
    // reverse parameters: not extended, with multiplexParameters; dataType
    // audioData, g711Ulaw64k; pad; 20 frames a packet
    0x4c, 0x60, 0x13,
    // multiplexParameters the extension choice 0,
    // h2250LogicalChannelParameters (an open type of 17 bytes): not
    // extended, with mediaChannel and mediaControlChannel; pad; sessionID 1
    0x80, 0x11, 0x14, 0x00, 0x01,
    // mediaChannel and mediaControlChannel: unicastAddress, iPAddress, not
    // extended; pad; network; tsapIdentifier
    0x00, 0, 0, 0, 0, 0, 0,
    0x00, 0, 0, 0, 0, 0, 0,
    // video, 31 bytes: as the audio's, forwardLogicalChannelNumber 2
    0x1f, 0x40, 0x00, 0x01,
    0x06, 0x04, 0x01, 0x00,
    // reverse parameters: not extended, with multiplexParameters; dataType
    // videoData, h261VideoCapability: not extended, with qcifMPI only;
    // qcifMPI 1 (30 frames a second), no temporal-spatial trade-off;
    // maxBitRate 3840 (384 kbit/s); no still images, then as the audio's
    // multiplexParameters, with sessionID 2
    0x48, 0x50, 0x0e, 0xff, 0x40, 0x00,
    0x11, 0x14, 0x00, 0x02,
    0x00, 0, 0, 0, 0, 0, 0,
    0x00, 0, 0, 0, 0, 0, 0,
    // mediaWaitForConnect, canOverlapSend, multipleCalls and
    // maintainConnection: false, an open type of one byte each
    0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00,
    // H323-UU-PDU's two extension additions (normally small length 1),
    // present: h245Tunneling (bits 0 1); pad; false, an open type of one
    // byte: the H.245 channel is a connection of its own
    0x02, 0x80, 0x01, 0x00,
};
// clang-format on

void PutPort(unsigned char* message, int offset, unsigned short port) {
    message[offset] = (unsigned char)(port >> 8);
    message[offset + 1] = (unsigned char)(port & 0xff);
}

bool Within(int offset, int start, int size) {
    return offset >= start && offset < start + size;
}

} // namespace

void BuildSetup(const SetupFields* fields, unsigned char* message) {
    std::memcpy(message, kTemplate, kSetupSize);
    std::memcpy(message + kSetupH245AddressOffset, &fields->localAddress, 4);
    PutPort(message, kSetupH245PortOffset, fields->h245Port);
    std::memcpy(message + kSetupSignalAddressOffset, &fields->localAddress, 4);
    PutPort(message, kSetupSignalPortOffset, fields->signalPort);
    std::memcpy(message + kSetupConferenceIdOffset, fields->conferenceId, kSetupTokenSize);
    std::memcpy(message + kSetupCallIdOffset, fields->callId, kSetupTokenSize);
    for (int kind = 0; kind < kMediaKinds; ++kind) {
        for (int channel = 0; channel < kMediaChannels; ++channel) {
            int at = kSetupMediaOffsets[kind][channel];
            std::memcpy(message + at, &fields->localAddress, 4);
            PutPort(message, at + 4, (unsigned short)(fields->mediaPorts[kind] + channel));
        }
    }
}

bool IsSetupAddressByte(int offset) {
    bool media = false;
    for (int kind = 0; kind < kMediaKinds; ++kind) {
        for (int channel = 0; channel < kMediaChannels; ++channel) {
            media = media || Within(offset, kSetupMediaOffsets[kind][channel], 6);
        }
    }
    return media || Within(offset, kSetupH245AddressOffset, 4) ||
           Within(offset, kSetupH245PortOffset, 2) ||
           Within(offset, kSetupSignalAddressOffset, 4) ||
           Within(offset, kSetupSignalPortOffset, 2);
}

unsigned short SetupPortAt(const unsigned char* message, int offset) {
    return (unsigned short)(message[offset] << 8 | message[offset + 1]);
}
