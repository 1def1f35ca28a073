// The HTTP/1.0 exchange against scripted peers on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "http/exchange.h"
#include "http/url.h"
#include "test_peer.h"

namespace {

const char kFixedLines[] =
    " HTTP/1.0\r\n"
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-excel, "
    "application/msword, application/vnd.ms-powerpoint, */*\r\n"
    "Accept-Language: en-us\r\n"
    "Accept-Encoding: gzip, deflate\r\n"
    "User-Agent: Mozilla/4.0\r\n";

// Runs one exchange and stops the peer afterwards. Where socket numbers are
// handed out lowest first, it also checks that the exchange closed its
// socket: the next socket gets the same number again (the peer holds its own
// sockets until it is stopped, so none of them comes free in between).
int CheckedExchange(const std::string& url, const char* extraHeaders, const char* postData,
                    int postLength, HttpResponse* response, TestPeer* peer) {
    WSADATA data;
    EXPECT_EQ(0, WSAStartup(MAKEWORD(1, 1), &data));
    SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
    closesocket(probe);
    int result = HttpExchange(url.c_str(), extraHeaders, postData, postLength, response);
#ifndef _WIN32
    SOCKET again = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(probe, again) << "the exchange left a socket open";
    closesocket(again);
#endif
    StopTestPeer(peer);
    EXPECT_EQ(0, WSACleanup());
    return result;
}

// Called when every start of the test itself is balanced: one the exchange
// did not balance would still be there.
void ExpectSocketLibraryIdle() {
    EXPECT_EQ(SOCKET_ERROR, WSACleanup()) << "the exchange left the socket library started";
}

TestPeerScript Answer(std::initializer_list<std::string> pieces, int pauseMs = 0, int stallMs = 0,
                      TestPeerEnding ending = kPeerClose) {
    return TestPeerScript{pieces, pauseMs, stallMs, ending};
}

} // namespace

TEST(HttpExchange, SendsTheRequestByteForByte) {
    struct Case {
        const char* urlStart; // the port and path follow
        const char* path;
        const char* extraHeaders;
        const char* postData;
        int postLength;
        const char* expectedStart; // method and path
        const char* contentLength; // the whole line, or ""
        const char* expectedTail;  // after the Host line
    };
    const Case cases[] = {
        {"http://127.0.0.1", "/firewall/ip.tpl", nullptr, nullptr, 0, "GET /firewall/ip.tpl", "",
         "\r\n"},
        {"HtTp://localhost", "", nullptr, nullptr, 0, "GET /", "", "\r\n"},
        {"http://127.0.0.1", "?q=1", nullptr, nullptr, 0, "GET ?q=1", "", "\r\n"},
        {"http://127.0.0.1", "/a/B.tpl?x=Y", "X-One: 1\r\nX-Two: 2\r\n", nullptr, 0,
         "GET /a/B.tpl?x=Y", "", "X-One: 1\r\nX-Two: 2\r\n\r\n"},
        {"http://127.0.0.1", "/", "", nullptr, 0, "GET /", "", "\r\n"},
        {"http://127.0.0.1", "/p", nullptr, "hello", 5, "POST /p", "Content-Length: 5\r\n",
         "\r\nhello"},
        {"http://127.0.0.1", "/p", nullptr, "hello", 0, "POST /p", "", "\r\n"},
        {"http://127.0.0.1", "/p", nullptr, nullptr, 7, "GET /p", "Content-Length: 7\r\n", "\r\n"},
        // A negative length sends no body: nothing is read around the data.
        {"http://127.0.0.1", "/p", nullptr, "abc", -3, "POST /p", "Content-Length: -3\r\n", "\r\n"},
    };
    for (const Case& c : cases) {
        TestPeer peer;
        TestPeerScript script = Answer({"HTTP/1.0 200 OK\r\n\r\n"});
        ASSERT_EQ(1, StartTestPeer(&peer, &script));
        std::string url = c.urlStart + (":" + std::to_string(peer.port)) + c.path;
        HttpResponse response = {nullptr, nullptr, 0};
        EXPECT_EQ(0,
                  CheckedExchange(url, c.extraHeaders, c.postData, c.postLength, &response, &peer));
        std::string host = std::strstr(c.urlStart, "localhost") ? "LOCALHOST" : "127.0.0.1";
        std::string expected = std::string(c.expectedStart) + kFixedLines + c.contentLength +
                               "Host: " + host + "\r\n" + c.expectedTail;
        EXPECT_EQ(expected, peer.received) << url;
        EXPECT_TRUE(peer.clientClosed) << url;
        FreeHttpResponse(&response);
        ExpectSocketLibraryIdle();
    }
}

TEST(HttpExchange, KeepsHeaderAndBodyAsReceived) {
    const std::string page = "<html><body>192.0.2.7</body></html>";
    std::string big;
    for (int i = 0; i < 5000; ++i) {
        big += (char)('0' + i % 10);
    }
    struct Case {
        const char* name;
        TestPeerScript script;
        std::string header;
        std::string body;
    };
    const Case cases[] = {
        {"CR LF lines", Answer({"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + page}),
         "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n", page},
        {"LF lines", Answer({"HTTP/1.0 200 OK\nServer: t\n\n" + page}),
         "HTTP/1.0 200 OK\nServer: t\n\n", page},
        {"CRs then LF", Answer({"HTTP/1.0 200 OK\r\n\r\r\r\nrest"}), "HTTP/1.0 200 OK\r\n\r\r\r\n",
         "rest"},
        {"first byte LF", Answer({"\nHTTP/1.0 200 OK\r\n\r\n"}), "\n", "HTTP/1.0 200 OK\r\n\r\n"},
        {"close before empty line", Answer({"HTTP/1.0 200 OK\r\nServ"}), "HTTP/1.0 200 OK\r\nServ",
         ""},
        {"close after empty line", Answer({"HTTP/1.0 200 OK\r\n\r\n"}), "HTTP/1.0 200 OK\r\n\r\n",
         ""},
        {"header of 10", Answer({"HTTP/1\r\n\r\nb"}), "HTTP/1\r\n\r\n", "b"},
        {"header of 20", Answer({std::string(16, 'h') + "\r\n\r\n"}),
         std::string(16, 'h') + "\r\n\r\n", ""},
        {"header of 40", Answer({std::string(38, 'h') + "\n\n" + "b"}),
         std::string(38, 'h') + "\n\n", "b"},
        {"header of 80", Answer({std::string(76, 'h') + "\r\n\r\n" + "b"}),
         std::string(76, 'h') + "\r\n\r\n", "b"},
        {"body in pieces",
         Answer({"HTTP/1.0 200 OK\r\n\r\n", big.substr(0, 1500), big.substr(1500)}, 20),
         "HTTP/1.0 200 OK\r\n\r\n", big},
        {"NUL in body", Answer({std::string("HTTP/1.0 200 OK\r\n\r\na\0b\0c", 24)}),
         "HTTP/1.0 200 OK\r\n\r\n", std::string("a\0b\0c", 5)},
        {"404", Answer({"HTTP/1.0 404 Not Found\r\n\r\n<html>gone</html>"}),
         "HTTP/1.0 404 Not Found\r\n\r\n", "<html>gone</html>"},
        // The body runs to the close, whatever Content-Length says.
        {"read to close", Answer({"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nhe", "llo"}, 200),
         "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\n", "hello"},
        // A receive failure ends the body with what came before it.
        {"reset", Answer({"HTTP/1.0 200 OK\r\n\r\npart", "ial"}, 20, 200, kPeerReset),
         "HTTP/1.0 200 OK\r\n\r\n", "partial"},
    };
    for (const Case& c : cases) {
        TestPeer peer;
        ASSERT_EQ(1, StartTestPeer(&peer, &c.script));
        HttpResponse response = {nullptr, nullptr, -1};
        ASSERT_EQ(0, CheckedExchange(TestPeerUrl(&peer, "/firewall/ip.tpl"), nullptr, nullptr, 0,
                                     &response, &peer))
            << c.name;
        ASSERT_NE(nullptr, response.header) << c.name;
        ASSERT_NE(nullptr, response.body) << c.name;
        EXPECT_EQ(c.header, response.header) << c.name;
        EXPECT_EQ(c.body, std::string(response.body, (size_t)response.bodyLength)) << c.name;
        EXPECT_EQ('\0', response.body[response.bodyLength]) << c.name;
        EXPECT_EQ(c.script.ending == kPeerClose, peer.clientClosed) << c.name;
        FreeHttpResponse(&response);
        ExpectSocketLibraryIdle();
    }
}

// Each fails at once, a refused connection too (where a peer listens on the
// refused port, namespace_test.cpp tries it).
TEST(HttpExchange, FailsBeforeSendingAndLeavesTheRecord) {
    struct Case {
        const char* urlStart; // a live peer's port follows, or the refusing port
        bool refused;
        long long portAdded; // so much more than that port
        size_t pathLength;   // of "/x...", after the port
    };
    const Case cases[] = {
        {"ftp://127.0.0.1:", false, 0, 2},
        {"https://127.0.0.1:", false, 0, 2},
        {"http://NO..HOST:", false, 0, 2},
        {"http://127.0.0.1:", true, 0, 2},
        // Wrapped to 32 bits, this port is the live peer's.
        {"http://127.0.0.1:", false, 1LL << 32, 2},
        // Cut to the exchange's room, this path is one the peer answers.
        {"http://127.0.0.1:", false, 0, kUrlPathSize},
    };
    for (const Case& c : cases) {
        TestPeer peer;
        TestPeerScript script = Answer({"HTTP/1.0 200 OK\r\n\r\n"});
        ASSERT_EQ(1, StartTestPeer(&peer, &script));
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(1, 1), &data));
        int refusingPort = 0;
        SOCKET refusing = OpenRefusingPort(&refusingPort);
        ASSERT_NE(INVALID_SOCKET, refusing);
        std::string url = c.urlStart +
                          std::to_string(c.portAdded + (c.refused ? refusingPort : peer.port)) +
                          "/" + std::string(c.pathLength - 1, 'x');

        char header[] = "old header";
        char body[] = "old body";
        HttpResponse response = {header, body, 8};
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(1, CheckedExchange(url, nullptr, nullptr, 0, &response, &peer)) << url;
        EXPECT_LT(std::chrono::steady_clock::now() - start,
                  std::chrono::milliseconds(kHttpOperationTimeoutMs / 2))
            << url;
        closesocket(refusing);
        WSACleanup();
        ExpectSocketLibraryIdle();
        EXPECT_FALSE(peer.contacted) << url;
        EXPECT_EQ(header, response.header) << url;
        EXPECT_EQ(body, response.body) << url;
        EXPECT_EQ(8, response.bodyLength) << url;
    }
}
