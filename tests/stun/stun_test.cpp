// The STUN codec against answers a real coturn gave and their faults, and
// a transaction against datagrams queued on loopback before it runs.
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

std::vector<unsigned char> FromHex(const std::string& hex) {
    std::vector<unsigned char> bytes;
    for (size_t at = 0; at + 1 < hex.size(); at += 2) {
        bytes.push_back((unsigned char)std::stoi(hex.substr(at, 2), nullptr, 16));
    }
    return bytes;
}

std::string Text(const struct sockaddr_in& address) {
    std::string port = std::to_string(ntohs(address.sin_port));
    return address.sin_family != AF_INET ? "-" : inet_ntoa(address.sin_addr) + (":" + port);
}

// XOR-MAPPED-ADDRESS 10.84.0.2:44002, RESPONSE-ORIGIN 198.51.100.1:3478,
// OTHER-ADDRESS 198.51.100.2:3479.
const std::string kAnswer = "010100242112a442e4190b06b7f380a47dfb5c3b0020000800018af02b46a440"
                            "802b000800010d96c6336401802c000800010d97c6336402";

struct sockaddr_in Loopback(SOCKET socket) {
    struct sockaddr_in address;
    AddressLength size = sizeof(address);
    getsockname(socket, (struct sockaddr*)&address, &size);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

TEST(StunMessage, ReadsAnswersAndRefusesBrokenOnes) {
    const struct {
        std::string hex;
        const char* fields; // type, XOR-MAPPED, MAPPED, ORIGIN, OTHER, error; null: refused
    } cases[] = {
        {"010100302112a4428f6f9d177c24c2a58158211a002000080001a30c2b46a440" // and MAPPED
         "000100080001821e0a540002802b000800010d96c6336401802c000800010d97c6336402",
         "257 10.84.0.2:33310 10.84.0.2:33310 198.51.100.1:3478 198.51.100.2:3479 0"},
        {"011100242112a44270412c3ca55e3fc0669534130009001800000414556e6b6e6f776e" // 420
         "20417474726962757465000000000a000200310000",
         "273 - - - - 420"},
        {"010100242112a442e4190b06b7f380a47dfb5c3b002000140002000100000000000000000000000000000000"
         "802b000800010d96c6336401", // an IPv6 address left out
         "257 - - 198.51.100.1:3478 - 0"},
        {kAnswer.substr(0, 104), nullptr},                      // shorter than its length
        {kAnswer + "00000000", nullptr},                        // longer
        {"01010028" + kAnswer.substr(8) + "802c0010", nullptr}, // attribute past the end
        {"c1" + kAnswer.substr(2), nullptr},                    // leading bits
        {kAnswer.substr(0, 8) + "2112a443" + kAnswer.substr(16), nullptr}, // cookie
    };
    for (const auto& c : cases) {
        std::vector<unsigned char> bytes = FromHex(c.hex);
        StunMessage m;
        ASSERT_EQ(c.fields != nullptr, ParseStunMessage(bytes.data(), (int)bytes.size(), &m));
        std::string fields = std::to_string(m.type) + " " + Text(m.xorMappedAddress) + " " +
                             Text(m.mappedAddress) + " " + Text(m.responseOrigin) + " " +
                             Text(m.otherAddress) + " " + std::to_string(m.errorCode);
        EXPECT_TRUE(c.fields == nullptr || fields == c.fields) << fields;
    }
}

// A peer that never answers by itself: what the test queued on the client's
// socket is all that comes. Only the right answer ends the transaction;
// else it sends at 0, 500 and 1500 ms and gives up at its deadline.
TEST(StunTransaction, TakesOnlyItsOwnAnswerAndSendsAgainOnTime) {
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(1, 1), &data));
    enum Queued { kRight, kWrongId, kStranger, kOverlong };
    for (Queued queued : {kRight, kWrongId, kStranger, kOverlong}) {
        SOCKET sockets[3] = {OpenStunSocket(), OpenStunSocket(), OpenStunSocket()};
        struct sockaddr_in peer = Loopback(sockets[1]);
        struct sockaddr_in client = Loopback(sockets[0]);
        long long start = SteadyMilliseconds();
        StunTransaction t;
        StartStunTransaction(&t, sockets[0], &peer, 0, 0, start, kStunSends, start + 1600);
        std::vector<unsigned char> reply = FromHex(kAnswer);
        std::memcpy(reply.data() + 8, t.request + 8, kStunIdSize);
        reply[19] ^= queued == kWrongId;
        if (queued == kOverlong) { // whole, but for the room it is read into
            reply.resize(kStunDatagramSize + 4);
            reply[2] = (unsigned char)((reply.size() - kStunHeaderSize) >> 8);
            reply[3] = (unsigned char)(reply.size() - kStunHeaderSize);
        }
        sendto(sockets[queued == kStranger ? 2 : 1], (const char*)reply.data(), (int)reply.size(),
               0, (const struct sockaddr*)&client, sizeof(client));
        RunStunTransactions(&t, 1, start + 5000);
        long long took = SteadyMilliseconds() - start;
        for (SOCKET s : sockets) {
            closesocket(s);
        }
        EXPECT_EQ(queued == kRight, t.answered) << queued;
        EXPECT_EQ(queued == kRight ? "10.84.0.2:44002" : "-", Text(t.answer.xorMappedAddress));
        EXPECT_EQ(queued == kRight ? 1 : 3, t.sent) << queued;
        EXPECT_TRUE(queued == kRight ? took < 400 : took >= 1600 && took < 1900) << took;
    }
    WSACleanup();
}
