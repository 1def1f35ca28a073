// The one H.225.0 Setup that the call-signalling probe sends: what an H.323
// endpoint sends first on TCP port 1720 to place a call, with this
// machine's addresses, the port where it waits for the call's H.245
// control channel, where it takes the call's sound and picture (fastStart),
// and a fresh token as the conference's identifier. Routers that carry an
// H.323 helper read exactly these fields, rewrite the addresses and ports,
// and open a way in for the H.245 port and the media.
#pragma once

#include <cstdint>

const int kSetupSize = 158;
const int kSetupTokenSize = 16;

// Where the fields of one run sit, counted from the message's first byte
// (the TPKT header). Addresses are 4 bytes in network order, ports 2 bytes
// big-endian.
const int kSetupH245AddressOffset = 28;   // h245Address: the address
const int kSetupH245PortOffset = 32;      // and the port
const int kSetupConferenceIdOffset = 36;  // conferenceID: the token
const int kSetupSignalAddressOffset = 58; // sourceCallSignalAddress: the address
const int kSetupSignalPortOffset = 62;    // and the port
const int kSetupCallIdOffset = 66;        // callIdentifier

// The media the fastStart proposals offer to receive, each on an RTP port
// and the RTCP port after it.
enum MediaKind { kMediaAudio, kMediaVideo, kMediaKinds };
enum MediaChannel { kMediaRtp, kMediaRtcp, kMediaChannels };
// Where each channel's address sits, its port 4 bytes after.
const int kSetupMediaOffsets[kMediaKinds][kMediaChannels] = {{101, 108}, {133, 140}};

struct SetupFields {
    uint32_t localAddress; // network order, as in sockaddr_in
    unsigned short h245Port;
    unsigned short signalPort; // the local port of the signalling connection
    unsigned char conferenceId[kSetupTokenSize];
    unsigned char callId[kSetupTokenSize];
    unsigned short mediaPorts[kMediaKinds]; // each an even RTP port, RTCP the next
};

// Writes the kSetupSize bytes of the message.
void BuildSetup(const SetupFields* fields, unsigned char* message);

// Whether the byte at offset belongs to one of the addresses or ports.
bool IsSetupAddressByte(int offset);

// The big-endian port at offset.
unsigned short SetupPortAt(const unsigned char* message, int offset);
