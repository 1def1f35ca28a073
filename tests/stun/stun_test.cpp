// The STUN codec against answers a real coturn gave and their faults, and
// transactions against datagrams queued on loopback before they run.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "stun/transaction.h"

#ifdef _WIN32
typedef int AddressLength;
#else
typedef socklen_t AddressLength;
#endif

namespace {

std::vector<unsigned char> FromHex(const char* hex) {
    std::vector<unsigned char> bytes;
    for (; hex[0] != '\0' && hex[1] != '\0'; hex += 2) {
        bytes.push_back((unsigned char)std::stoi(std::string(hex, 2), nullptr, 16));
    }
    return bytes;
}

std::string Text(const struct sockaddr_in& address) {
    if (address.sin_family != AF_INET) {
        return "-";
    }
    return std::string(inet_ntoa(address.sin_addr)) + ":" + std::to_string(ntohs(address.sin_port));
}

struct sockaddr_in LoopbackOf(SOCKET socket) {
    struct sockaddr_in address;
    AddressLength size = sizeof(address);
    getsockname(socket, (struct sockaddr*)&address, &size);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A coturn answer: XOR-MAPPED-ADDRESS 10.84.0.2:44002, RESPONSE-ORIGIN
// 198.51.100.1:3478, OTHER-ADDRESS 198.51.100.2:3479.
const char kAnswer[] = "010100242112a442e4190b06b7f380a47dfb5c3b0020000800018af02b46a440"
                       "802b000800010d96c6336401802c000800010d97c6336402";

} // namespace

TEST(StunMessage, ReadsAnswersAndRefusesBrokenOnes) {
    const std::string answer = kAnswer;
    struct Case {
        std::string hex;
        bool whole;
        const char* fields; // type, XOR-MAPPED, MAPPED, ORIGIN, OTHER, error
    } cases[] = {
        {answer, true, "257 10.84.0.2:44002 - 198.51.100.1:3478 198.51.100.2:3479 0"},
        // With MAPPED-ADDRESS beside, as coturn answers by default.
        {"010100302112a4428f6f9d177c24c2a58158211a002000080001a30c2b46a440"
         "000100080001821e0a540002802b000800010d96c6336401802c000800010d97c6336402",
         true, "257 10.84.0.2:33310 10.84.0.2:33310 198.51.100.1:3478 198.51.100.2:3479 0"},
        // 420 Unknown Attribute, with UNKNOWN-ATTRIBUTES after it.
        {"011100242112a44270412c3ca55e3fc0669534130009001800000414556e6b6e6f776e"
         "20417474726962757465000000000a000200310000",
         true, "273 - - - - 420"},
        // An IPv6 XOR-MAPPED-ADDRESS is left out, the rest read.
        {"010100242112a442e4190b06b7f380a47dfb5c3b00200014000200010000000000000000000000000000"
         "0000802b000800010d96c6336401",
         true, "257 - - 198.51.100.1:3478 - 0"},
        {answer.substr(0, 104), false, ""},                      // cut: shorter than its length
        {answer + "00000000", false, ""},                        // longer than its length
        {"01010028" + answer.substr(8) + "802c0010", false, ""}, // attribute past the end
        {"c1" + answer.substr(2), false, ""},                    // not a STUN message
        {answer.substr(0, 8) + "2112a443" + answer.substr(16), false, ""}, // wrong cookie
        {answer.substr(0, 38), false, ""},                                 // under 20 bytes
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> bytes = FromHex(c.hex.c_str());
        StunMessage m;
        ASSERT_EQ(c.whole, ParseStunMessage(bytes.data(), (int)bytes.size(), &m)) << c.hex;
        if (c.whole) {
            std::string fields = std::to_string(m.type) + " " + Text(m.xorMappedAddress) + " " +
                                 Text(m.mappedAddress) + " " + Text(m.responseOrigin) + " " +
                                 Text(m.otherAddress) + " " + std::to_string(m.errorCode);
            EXPECT_EQ(c.fields, fields) << c.hex;
        }
    }
}

TEST(StunMessage, BuildsRequestsThatReadBack) {
    const unsigned char id[kStunIdSize] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    struct Case {
        int change;
        int size;
        int built;
    } cases[] = {
        {0, 0, 20}, {kChangeAddress | kChangePort, 0, 28}, {0, 172, 172}, {kChangePort, 172, 172}};
    for (const Case& c : cases) {
        unsigned char out[kStunRequestSize];
        ASSERT_EQ(c.built, BuildBindingRequest(id, c.change, c.size, out));
        StunMessage m;
        ASSERT_TRUE(ParseStunMessage(out, c.built, &m));
        EXPECT_EQ(kStunBindingRequest, m.type);
        EXPECT_EQ(0, std::memcmp(id, m.id, kStunIdSize));
        EXPECT_EQ(c.change, m.changeRequest);
    }
}

// One transaction on loopback to a peer that never answers by itself: what
// the test queued on the client's socket before the run is all that comes.
TEST(StunTransaction, TakesOnlyItsOwnAnswerAndSendsAgainOnTime) {
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(1, 1), &data));
    enum Queued { kRight, kWrongId, kOtherSource, kOverlong, kNothing };
    const Queued cases[] = {kRight, kWrongId, kOtherSource, kOverlong, kNothing};
    for (Queued queued : cases) {
        SOCKET client = OpenStunSocket();
        SOCKET peer = OpenStunSocket();
        SOCKET stranger = OpenStunSocket();
        struct sockaddr_in peerAddress = LoopbackOf(peer);
        struct sockaddr_in clientAddress = LoopbackOf(client);

        long long start = SteadyMilliseconds();
        StunTransaction t;
        StartStunTransaction(&t, client, &peerAddress, 0, 0, start, kStunSends, start + 1600);
        std::vector<unsigned char> reply = FromHex(kAnswer);
        std::memcpy(reply.data() + 8, t.request + 8, kStunIdSize);
        reply[19] ^= queued == kWrongId ? 1 : 0;
        if (queued == kOverlong) {
            reply.resize(kStunDatagramSize + 4);
            reply[3] = (unsigned char)(kStunDatagramSize + 4 - kStunHeaderSize);
            reply[2] = (unsigned char)((kStunDatagramSize + 4 - kStunHeaderSize) >> 8);
        }
        if (queued != kNothing) {
            sendto(queued == kOtherSource ? stranger : peer, (const char*)reply.data(),
                   (int)reply.size(), 0, (const struct sockaddr*)&clientAddress,
                   sizeof(clientAddress));
        }
        RunStunTransactions(&t, 1, start + 5000);
        long long took = SteadyMilliseconds() - start;
        for (SOCKET s : {client, peer, stranger}) {
            closesocket(s);
        }

        EXPECT_EQ(queued == kRight, t.answered) << queued;
        if (queued == kRight) {
            EXPECT_EQ("10.84.0.2:44002", Text(t.answer.xorMappedAddress));
            EXPECT_LT(took, 400);
            continue;
        }
        // Sent at 0, 500 and 1500 ms, given up at its deadline.
        EXPECT_EQ(3, t.sent) << queued;
        EXPECT_GE(took, 1600) << queued;
        EXPECT_LT(took, 1900) << queued;
    }
    WSACleanup();
}
