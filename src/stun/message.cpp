// The STUN codec: a header of 20 bytes (type, length, magic cookie,
// transaction id), then attributes of type, length and value, each padded
// to four bytes. Every read is checked against the datagram's end first.
#include "stun/message.h"

#include <cstring>

#include "platform/random_bytes.h"

namespace {

const unsigned long kMagicCookie = 0x2112A442UL;

// The attributes the program reads and writes. kAttributeFill is
// comprehension-optional (RFC 5389 section 15): a server that does not know
// it ignores it. No standard uses this type; it only fills a probe request
// up to the size of a media packet.
enum StunAttribute {
    kAttributeMappedAddress = 0x0001,
    kAttributeChangeRequest = 0x0003,
    kAttributeErrorCode = 0x0009,
    kAttributeXorMappedAddress = 0x0020,
    kAttributeResponsePort = 0x0027,
    kAttributeResponseOrigin = 0x802B,
    kAttributeOtherAddress = 0x802C,
    kAttributeFill = 0x8FF0,
};

unsigned int Read16(const unsigned char* at) {
    return (unsigned int)at[0] << 8 | at[1];
}

unsigned long Read32(const unsigned char* at) {
    return (unsigned long)Read16(at) << 16 | Read16(at + 2);
}

void Write16(unsigned char* at, unsigned int value) {
    at[0] = (unsigned char)(value >> 8);
    at[1] = (unsigned char)value;
}

void Write32(unsigned char* at, unsigned long value) {
    Write16(at, (unsigned int)(value >> 16));
    Write16(at + 2, (unsigned int)value);
}

int Padded(int length) {
    return (length + 3) & ~3;
}

// An address attribute's value: reserved byte, family (1 for IPv4), port,
// address; XOR-MAPPED-ADDRESS has them masked with the magic cookie.
void ReadAddress(const unsigned char* value, int length, bool masked, struct sockaddr_in* out) {
    if (length != 8 || value[1] != 1) {
        return;
    }
    unsigned long mask = masked ? kMagicCookie : 0;
    out->sin_family = AF_INET;
    out->sin_port = htons((unsigned short)(Read16(value + 2) ^ (mask >> 16)));
    out->sin_addr.s_addr = htonl((unsigned long)(Read32(value + 4) ^ mask));
}

// Where each address attribute is kept.
const struct {
    int type;
    struct sockaddr_in StunMessage::*field;
} kAddressAttributes[] = {
    {kAttributeMappedAddress, &StunMessage::mappedAddress},
    {kAttributeXorMappedAddress, &StunMessage::xorMappedAddress},
    {kAttributeResponseOrigin, &StunMessage::responseOrigin},
    {kAttributeOtherAddress, &StunMessage::otherAddress},
};

void ReadAttribute(int type, const unsigned char* value, int length, StunMessage* message) {
    for (const auto& address : kAddressAttributes) {
        if (address.type == type) {
            ReadAddress(value, length, type == kAttributeXorMappedAddress,
                        &(message->*address.field));
        }
    }
    switch (type) {
    case kAttributeChangeRequest:
        message->changeRequest = length == 4 ? (int)(Read32(value) & 0xFF) : 0;
        break;
    case kAttributeErrorCode:
        // Class (3 to 6) in the low bits of the third byte, number (0 to 99)
        // in the fourth; a reason phrase may follow.
        if (length >= 4 && (value[2] & 7) >= 3 && (value[2] & 7) <= 6 && value[3] < 100) {
            message->errorCode = (value[2] & 7) * 100 + value[3];
        }
        break;
    }
}

} // namespace

bool ParseStunMessage(const unsigned char* data, int size, StunMessage* message) {
    if (size < kStunHeaderSize || (data[0] & 0xC0) != 0 ||
        kStunHeaderSize + (int)Read16(data + 2) != size || Read32(data + 4) != kMagicCookie) {
        return false;
    }
    std::memset(message, 0, sizeof(*message));
    message->type = (int)Read16(data);
    std::memcpy(message->id, data + 8, kStunIdSize);
    for (int at = kStunHeaderSize; at < size;) {
        if (size - at < 4) {
            return false;
        }
        int length = (int)Read16(data + at + 2);
        if (Padded(length) > size - at - 4) {
            return false;
        }
        ReadAttribute((int)Read16(data + at), data + at + 4, length, message);
        at += 4 + Padded(length);
    }
    return true;
}

int BuildBindingRequest(const unsigned char* id, int change, int size, unsigned char* out) {
    int length = change != 0 ? 8 : 0;
    Write16(out, kStunBindingRequest);
    Write32(out + 4, kMagicCookie);
    std::memcpy(out + 8, id, kStunIdSize);
    if (change != 0) {
        Write16(out + 20, kAttributeChangeRequest);
        Write16(out + 22, 4);
        Write32(out + 24, (unsigned long)change);
    }
    int fill = size - kStunHeaderSize - length - 4;
    if (fill >= 0) {
        unsigned char* at = out + kStunHeaderSize + length;
        Write16(at, kAttributeFill);
        Write16(at + 2, (unsigned int)fill);
        std::memset(at + 4, 0, (size_t)fill);
        length += 4 + fill;
    }
    Write16(out + 2, (unsigned int)length);
    return kStunHeaderSize + length;
}

int BuildBindingIndication(const unsigned char* id, int size, unsigned char* out) {
    int built = BuildBindingRequest(id, 0, size, out);
    Write16(out, kStunBindingIndication);
    return built;
}

int AddResponsePort(unsigned char* request, int size, unsigned short port) {
    unsigned char* at = request + size;
    Write16(at, kAttributeResponsePort);
    Write16(at + 2, 4);
    Write16(at + 4, port);
    Write16(at + 6, 0);
    Write16(request + 2, Read16(request + 2) + 8);
    return size + 8;
}

bool NewStunId(unsigned char* id) {
    return FillRandomBytes(id, kStunIdSize);
}

bool SameEndpoint(const struct sockaddr_in* a, const struct sockaddr_in* b) {
    return a->sin_addr.s_addr == b->sin_addr.s_addr && a->sin_port == b->sin_port;
}
