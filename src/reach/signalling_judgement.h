// What the call-signalling probe saw, judged: the Setup's echo against what
// was sent, and the echo host's two call-backs against what this run
// answered. Pure functions, so that every row can be tested without a
// network.
#pragma once

#include <cstdint>

#include "h323/setup_message.h"
#include "reach/fact.h"

const int kAlteredLimit = 32;

// Whether a router keeps a call's even RTP port and the odd RTCP port after
// it (RFC 4787 REQ-3 and REQ-4, RFC 3550 section 11): both ports as they
// were, or at least an even port and the next one, or neither.
enum PortPreservation { kPortsUnknown, kPortsKept, kPortsParity, kPortsChanged };

// "kept", "parity", "changed"; null for unknown.
const char* PortPreservationName(PortPreservation preservation);

// The media the Setup's fastStart announces, as sent and as the echo host
// saw it; ports in host order, addresses in network order.
struct MediaAddresses {
    Fact rewritten; // unknown when no whole echo came
    uint32_t sentAddress;
    uint32_t arrivedAddress; // the audio RTP address as it arrived
    unsigned short sentPorts[kMediaKinds][kMediaChannels];
    unsigned short arrivedPorts[kMediaKinds][kMediaChannels];
    // The echo host's address sent a datagram to each arrived RTP port
    // before this machine sent any media there: did it come in?
    Fact farEndIn[kMediaKinds];
    const char* farEndReason; // why, in words; null when nothing was tried
    PortPreservation preservation;
};

// Each fact kFactYes, kFactNo or kFactUnknown. The ones after the first
// are unknown when TCP 1720 does not get out or the echo host does not
// answer as it should.
struct CallSignalling {
    Fact tcp1720Out;        // a connection to the echo host's TCP 1720 opens
    Fact rewritesAddresses; // the Setup's addresses or ports arrived changed
    // The echo host's call to the H.245 port that the Setup named reached
    // this machine, and its call to a port that the Setup did not name did
    // not: something on the path let the call in because it read the
    // Setup, as an H.323 helper ("ALG") does.
    Fact opensH245Pinhole;
    // The call to the port that the Setup did not name reached this
    // machine: the path lets connections in, whatever they belong to.
    Fact inboundOpen;
    // The offsets of the other bytes that arrived changed, the first
    // kAlteredLimit of them, in the order of the message; alteredCount is
    // -1 when nothing is known.
    int alteredCount;
    int alteredBytes[kAlteredLimit];
    MediaAddresses media;
};

// The echo host's word on one of its calls.
enum CallBackWord { kWordNone, kWordReached, kWordUnreached, kWordNotTried };

// What came back of the two call-backs: each word (kWordNone when none came)
// and whether this run itself took the call and answered it.
struct CallBackSeen {
    CallBackWord h245;
    bool h245Answered;
    CallBackWord control;
    bool controlAnswered;
};

// A call counts as reached only when both ends agree: a "reached" that this
// run did not answer was answered by something else. The H.245 call alone
// reached means a pinhole; both reached, an open path and no pinhole.
void JudgeCallBack(const CallBackSeen* seen, CallSignalling* facts);

// The echo (echoedLength bytes) against the Setup sent (kSetupSize bytes,
// h323/setup_message.h): a changed byte counts towards rewriting when it
// belongs to an address or port, else among the altered, as does every
// byte that one of the two has and the other lacks.
void JudgeSetupEcho(const unsigned char* sent, const unsigned char* echoed, int echoedLength,
                    CallSignalling* facts);

// The media addresses and ports of the echo against those of the Setup
// sent; unknown unless the echo is as long as the Setup.
void JudgeMediaEcho(const unsigned char* sent, const unsigned char* echoed, int echoedLength,
                    MediaAddresses* media);

// What came of asking the echo host's STUN server to answer at each
// arrived RTP port: whether it was asked at all, whether it answered the
// same socket's plain request (the control: without it, silence means
// nothing), and which of the answers came in.
struct FarEndSeen {
    bool asked;
    bool serverAnswered;
    bool came[kMediaKinds];
};

// private: the address the Setup announced is one of a private network.
void JudgeFarEndMedia(const FarEndSeen* seen, bool privateAddress, MediaAddresses* media);

// The ports two fresh sockets on localEven and localEven + 1 were mapped
// to (0 when no answer told).
PortPreservation JudgePortPreservation(unsigned short localEven, unsigned short mappedEven,
                                       unsigned short mappedOdd);
