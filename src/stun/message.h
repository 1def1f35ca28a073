// STUN messages (RFC 5389) as the program sends and reads them: binding
// requests, their answers, and the attributes of NAT behaviour discovery
// (RFC 5780). IPv4 only.
#pragma once

#include "platform/platform.h"

const unsigned short kStunPort = 3478;
const int kStunHeaderSize = 20;
const int kStunIdSize = 12;
// A datagram is read into this much room and no more: whatever is longer
// arrives cut, and a cut message is no message.
const int kStunDatagramSize = 1500;

// The message types the program sends and reads.
enum StunType {
    kStunBindingRequest = 0x0001,
    kStunBindingIndication = 0x0011, // answered by nobody: a keep-alive
    kStunBindingSuccess = 0x0101,
    kStunBindingError = 0x0111
};

// CHANGE-REQUEST's flags: answer from the other address, the other port.
enum StunChange { kChangeAddress = 4, kChangePort = 2 };

// One message, read. Each address is sin_family AF_INET when the attribute
// came, 0 when not; ports and addresses are in network order, as in any
// sockaddr_in. A field the message did not carry is 0.
struct StunMessage {
    int type;
    unsigned char id[kStunIdSize];
    struct sockaddr_in xorMappedAddress;
    struct sockaddr_in mappedAddress;
    struct sockaddr_in responseOrigin;
    struct sockaddr_in otherAddress;
    int changeRequest;
    int errorCode; // 300 to 699
};

// Reads one datagram. False (and message left unspecified) unless it is a
// whole STUN message: the two leading zero bits, the magic cookie, a
// length that is the datagram's own, and every attribute inside it. An
// attribute of a known type but the wrong size, or an address of a family
// other than IPv4, is left out; unknown attributes are skipped.
bool ParseStunMessage(const unsigned char* data, int size, StunMessage* message);

// Writes a binding request with id into out and gives its size: 20 bytes,
// 28 with a CHANGE-REQUEST (when change is not 0), and when size is larger
// still (by 4 or more, a multiple of 4), filled up to size bytes with an
// attribute that the server ignores. out has room for what it is given.
int BuildBindingRequest(const unsigned char* id, int change, int size, unsigned char* out);

// A binding indication (RFC 5389 section 10) of size bytes, filled as
// BuildBindingRequest fills: nobody answers it, so the mapping it passes
// through is kept by this machine's packets alone.
int BuildBindingIndication(const unsigned char* id, int size, unsigned char* out);

// Adds RESPONSE-PORT (RFC 5780 section 7.5) to the request of size bytes
// in request, which has 8 bytes of room more, and gives the new size: the
// server is to answer to the request's source address, at port (host
// order).
int AddResponsePort(unsigned char* request, int size, unsigned short port);

// The same address and port.
bool SameEndpoint(const struct sockaddr_in* a, const struct sockaddr_in* b);

// A fresh transaction id, from the system's random source; false when it
// cannot be read (an id that could be guessed is none).
bool NewStunId(unsigned char* id);
