// The exchange never waits for ever and never holds an unbounded response:
// peers that fall silent, never accept, or answer without end.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#endif

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "http/exchange.h"
#include "test_peer.h"

namespace {

const int kTimeoutMs = MARVOLY_NET_TIMEOUT_MS;
const char kStatusLine[] = "HTTP/1.0 200 OK\r\n";

// A record that a failed exchange must leave exactly as it was.
char g_headerMark = 'h';
char g_bodyMark = 'b';
const HttpResponse kMarkedRecord = {&g_headerMark, &g_bodyMark, -7};

struct Timed {
    int result;
    long long elapsedMs;
};

Timed TimedExchange(const std::string& url, HttpResponse* response) {
    auto start = std::chrono::steady_clock::now();
    int result = HttpExchange(url.c_str(), nullptr, nullptr, 0, response);
    auto elapsed = std::chrono::steady_clock::now() - start;
    return {result,
            (long long)std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()};
}

// A header of exactly the given size, its empty line included.
std::string HeaderOfSize(size_t size) {
    std::string header = kStatusLine;
    header += "X-Fill: ";
    header += std::string(size - header.size() - 4, 'f');
    header += "\r\n\r\n";
    return header;
}

void ExpectUntouched(const HttpResponse* response) {
    EXPECT_EQ(kMarkedRecord.header, response->header);
    EXPECT_EQ(kMarkedRecord.body, response->body);
    EXPECT_EQ(kMarkedRecord.bodyLength, response->bodyLength);
}

} // namespace

// A receive that waits out the time-out is a failed receive: the reading
// ends with what came, the exchange still gives 0, and it is over about one
// time-out after the peer fell silent.
TEST(HttpExchangeLimits, SilentPeerEndsTheReadingWithinTheTimeOut) {
    const std::string header = std::string(kStatusLine) + "\r\n";
    struct Case {
        const char* what;
        std::vector<std::string> pieces;
        std::string header;
        std::string body;
    } cases[] = {
        {"silent from the start", {}, "", ""},
        {"silent in the header", {"HTTP/1.0 2"}, "HTTP/1.0 2", ""},
        {"silent in the body", {header + "<body>1.2"}, header, "<body>1.2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestPeer peer;
        TestPeerScript script = {c.pieces, 0, kTimeoutMs + 1000, kPeerClose};
        ASSERT_EQ(1, StartTestPeer(&peer, &script));
        HttpResponse response = {nullptr, nullptr, 0};
        Timed timed = TimedExchange(TestPeerUrl(&peer, "/"), &response);
        StopTestPeer(&peer);
        ASSERT_EQ(0, timed.result);
        EXPECT_GE(timed.elapsedMs, kTimeoutMs - 200);
        EXPECT_LT(timed.elapsedMs, kTimeoutMs + 1500);
        EXPECT_EQ(c.header, std::string(response.header));
        EXPECT_EQ(c.body, std::string(response.body, (size_t)response.bodyLength));
        FreeHttpResponse(&response);
    }
}

// A listener whose queue is full lets no connection through: the connect
// gives up after the time-out and the exchange fails.
TEST(HttpExchangeLimits, UnansweredConnectFailsWithinTheTimeOut) {
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(1, 1), &data));
    int port = 0;
    SOCKET listener = OpenRefusingPort(&port);
    ASSERT_NE(INVALID_SOCKET, listener);
    ASSERT_EQ(0, listen(listener, 0));
    // This one takes the only place in the queue; nobody accepts it.
    SOCKET filler = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_port = htons((unsigned short)port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, connect(filler, (struct sockaddr*)&address, sizeof(address)));

    HttpResponse response = kMarkedRecord;
    Timed timed = TimedExchange("http://127.0.0.1:" + std::to_string(port) + "/", &response);
    closesocket(filler);
    closesocket(listener);
    EXPECT_EQ(0, WSACleanup());
    EXPECT_EQ(1, timed.result);
    EXPECT_GE(timed.elapsedMs, kTimeoutMs - 200);
    EXPECT_LT(timed.elapsedMs, kTimeoutMs + 1500);
    ExpectUntouched(&response);
}

// Up to the bounds a response is whole; one byte beyond fails the exchange
// with the record untouched. A body without end (here: more than the bound,
// then silence) is given up at the bound, not read until the peer stops.
TEST(HttpExchangeLimits, ResponseBeyondItsBoundsFails) {
    const std::string smallHeader = std::string(kStatusLine) + "\r\n";
    struct Case {
        const char* what;
        std::string header;
        size_t bodySize;
        int stallMs;
        int result;
    } cases[] = {
        {"header at its bound", HeaderOfSize(kHttpHeaderLimit), 5, 0, 0},
        {"header one byte over", HeaderOfSize(kHttpHeaderLimit + 1), 5, 0, 1},
        {"body at its bound", smallHeader, kHttpBodyLimit, 0, 0},
        {"body one byte over", smallHeader, kHttpBodyLimit + 1, 0, 1},
        {"body without end", smallHeader, 4 * kHttpBodyLimit, 2 * kTimeoutMs, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string body(c.bodySize, 'x');
        TestPeer peer;
        TestPeerScript script = {{c.header, body}, 0, c.stallMs, kPeerClose};
        ASSERT_EQ(1, StartTestPeer(&peer, &script));
        HttpResponse response = kMarkedRecord;
        Timed timed = TimedExchange(TestPeerUrl(&peer, "/"), &response);
        StopTestPeer(&peer);
        ASSERT_EQ(c.result, timed.result);
        if (c.stallMs > 0) {
            EXPECT_LT(timed.elapsedMs, kTimeoutMs);
        }
        if (c.result == 1) {
            ExpectUntouched(&response);
            continue;
        }
        EXPECT_EQ(c.header, std::string(response.header));
        ASSERT_EQ((int)c.bodySize, response.bodyLength);
        EXPECT_EQ(body, std::string(response.body, c.bodySize));
        EXPECT_EQ('\0', response.body[c.bodySize]);
        FreeHttpResponse(&response);
    }
}

#ifndef _WIN32
namespace {

void IgnoreSignal(int) {}

} // namespace

// A signal whose handler asks for restarted calls (the terminal dialog's
// resize signal, say) must not cut a receive short, though receives with a
// time-out are never restarted by the system itself.
TEST(HttpExchangeLimits, SignalDuringAReceiveDoesNotEndIt) {
    struct sigaction action;
    struct sigaction previous;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = IgnoreSignal;
    action.sa_flags = SA_RESTART;
    ASSERT_EQ(0, sigaction(SIGUSR1, &action, &previous));

    const std::string header = std::string(kStatusLine) + "\r\n";
    TestPeer peer;
    TestPeerScript script = {
        {header.substr(0, 5), header.substr(5), "<body>1.2.3.4"}, 400, 0, kPeerClose};
    ASSERT_EQ(1, StartTestPeer(&peer, &script));
    pthread_t exchanging = pthread_self();
    std::thread signaller([exchanging] {
        for (int i = 0; i < 4; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            pthread_kill(exchanging, SIGUSR1);
        }
    });
    HttpResponse response = {nullptr, nullptr, 0};
    Timed timed = TimedExchange(TestPeerUrl(&peer, "/"), &response);
    signaller.join();
    StopTestPeer(&peer);
    sigaction(SIGUSR1, &previous, nullptr);

    ASSERT_EQ(0, timed.result);
    EXPECT_EQ(header, std::string(response.header));
    EXPECT_EQ("<body>1.2.3.4", std::string(response.body, (size_t)response.bodyLength));
    FreeHttpResponse(&response);
}
#endif
