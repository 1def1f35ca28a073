// The media side of the Setup probe: the ports the Setup's fastStart
// announces, open for the whole probe, and what the far end's first
// datagrams to them meet. Right after the echo, the STUN server on the
// echo host's own address is asked (RESPONSE-PORT, RFC 5780 section 7.5)
// to answer at each RTP port as it arrived: the answer goes to this
// machine's public address from the echo host's, as a far end's first RTP
// does, before this machine has sent anything from those ports. Beside
// it, two fresh sockets on an even port and the next tell whether the
// router keeps the ports of a pair.
#pragma once

#include "platform/platform.h"
#include "reach/signalling_judgement.h"

enum { kPreservePair = 2 };

struct CallMedia {
    // Audio RTP, RTCP, video RTP, RTCP: four ports in a row from an even one.
    SOCKET announced[kMediaKinds][kMediaChannels];
    unsigned short firstPort;
    SOCKET pair[kPreservePair]; // an even port and the next, for the port test
    unsigned short pairPort;
    struct sockaddr_in server; // the echo host's address, STUN's port
    MediaAddresses* facts;
    long long deadline; // the probe's own, which the round keeps within
    HANDLE thread;
};

// Opens every socket; false, with none left open, when they cannot be had.
// echoHost is the address of the signalling connection's peer.
bool OpenCallMedia(CallMedia* media, const struct sockaddr_in* echoHost);

// Asks, beside the caller, once the echo has filled facts' arrived ports:
// 1 s at most, and over by deadline.
void StartCallMedia(CallMedia* media, MediaAddresses* facts, long long deadline);

// Waits for what StartCallMedia began, if it did, judges it, and closes
// every socket.
void FinishCallMedia(CallMedia* media);
