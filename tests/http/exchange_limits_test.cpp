// The exchange never waits for ever and never holds an unbounded response:
// peers that fall silent, never read, trickle, never accept, or answer
// without end.
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
#include "reach/incoming_call.h"
#include "test_peer.h"

namespace {

const int kTimeoutMs = kHttpOperationTimeoutMs;
const int kDeadlineMs = kHttpExchangeDeadlineMs;
// Longer than any wait of the exchange: a peer that keeps this up outlasts
// a client without its time-outs.
const int kOutlastMs = 3 * kHttpExchangeDeadlineMs;
const char kStatusLine[] = "HTTP/1.0 200 OK\r\n";
// What reach/incoming_call.h promises: the call-back check is over in
// about 4 s, its page's exchange included, well before an exchange's own
// deadline.
const int kCallBackMs = 4000;

// A record that a failed exchange must leave exactly as it was.
char g_headerMark = 'h';
char g_bodyMark = 'b';
const HttpResponse kMarkedRecord = {&g_headerMark, &g_bodyMark, -7};

struct Timed {
    int result;
    long long elapsedMs;
};

long long MsSince(std::chrono::steady_clock::time_point start) {
    auto elapsed = std::chrono::steady_clock::now() - start;
    return (long long)std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
}

Timed TimedExchange(const std::string& url, HttpResponse* response,
                    const std::string& post = std::string()) {
    auto start = std::chrono::steady_clock::now();
    int result = HttpExchange(url.c_str(), nullptr, post.empty() ? nullptr : post.data(),
                              (int)post.size(), response);
    return {result, MsSince(start)};
}

// The call-back check with the peer as its echo host: it listens on 1720
// here and asks the peer's call-back page.
Timed TimedCallBack(const std::string& echoUrl) {
    auto start = std::chrono::steady_clock::now();
    int verdict = CheckIncomingCall(echoUrl.c_str(), "127.0.0.1", SteadyMilliseconds() + 60000);
    return {verdict, MsSince(start)};
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

// A wait that runs out is a failed receive or send: the reading ends with
// what came and the exchange still gives 0, one time-out after the peer
// fell silent, or at the deadline when the peer never is silent that long.
// Every peer here keeps it up far longer than that.
TEST(HttpExchangeLimits, EveryWaitEndsInTime) {
    const std::string header = std::string(kStatusLine) + "\r\n";
    std::vector<std::string> trickle(kOutlastMs / 300, "x");
    trickle.insert(trickle.begin(), header);
    const int sendAndReceive = 2 * kTimeoutMs < kDeadlineMs ? 2 * kTimeoutMs : kDeadlineMs;
    const TestPeerScript silentAtOnce = {{}, 0, kOutlastMs, kPeerClose};
    const TestPeerScript silentInHeader = {{"HTTP/1.0 2"}, 0, kOutlastMs, kPeerClose};
    const TestPeerScript silentInBody = {{header + "<body>1.2"}, 0, kOutlastMs, kPeerClose};
    const TestPeerScript deaf = {{}, 0, kOutlastMs, kPeerDeaf};
    const TestPeerScript trickling = {trickle, 300, 0, kPeerClose};
    struct Case {
        const char* what;
        const TestPeerScript* script;
        size_t postSize;
        int expectedMs;
        std::string header;
        std::string body; // for the trickle, what the body is made of
        bool callBack;    // the call-back check asks, not a plain exchange
    } cases[] = {
        {"silent from the start", &silentAtOnce, 0, kTimeoutMs, "", "", false},
        {"silent in the header", &silentInHeader, 0, kTimeoutMs, "HTTP/1.0 2", "", false},
        {"silent in the body", &silentInBody, 0, kTimeoutMs, header, "<body>1.2", false},
        // The request's body does not fit into the buffers of both ends: a
        // send waits out its time-out, then the receive waits out its own.
        {"never reading", &deaf, 16 << 20, sendAndReceive, "", "", false},
        {"trickling a byte every 300 ms", &trickling, 0, kDeadlineMs, header, "x", false},
        {"trickling to the call-back check", &trickling, 0, kCallBackMs, "", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestPeer peer;
        ASSERT_EQ(1, StartTestPeer(&peer, c.script));
        HttpResponse response = {nullptr, nullptr, 0};
        Timed timed = c.callBack ? TimedCallBack(TestPeerUrl(&peer, "/firewall/ip.tpl"))
                                 : TimedExchange(TestPeerUrl(&peer, "/"), &response,
                                                 std::string(c.postSize, 'p'));
        StopTestPeer(&peer);
        EXPECT_GE(timed.elapsedMs, c.expectedMs - 200);
        EXPECT_LT(timed.elapsedMs, c.expectedMs + (c.callBack ? 500 : 1000));
        if (c.callBack) {
            EXPECT_EQ(kCallNoCallBack, timed.result);
            EXPECT_NE(std::string::npos, peer.received.find("GET /firewall/reach.tpl?token="));
            continue;
        }
        ASSERT_EQ(0, timed.result);
        EXPECT_EQ(c.header, std::string(response.header));
        std::string body(response.body, (size_t)response.bodyLength);
        if (c.script == &trickling) {
            EXPECT_GE(body.size(), 1u);
            EXPECT_LT(body.size(), trickle.size() - 1);
            EXPECT_EQ(std::string(body.size(), 'x'), body);
        } else {
            EXPECT_EQ(c.body, body);
        }
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

// SIGINT, SIGTERM and SIGHUP, while they are caught, end the wait in
// progress at once, even when another thread takes them (so that only the
// signal pipe can tell the wait); no lookup and no exchange starts after.
TEST(HttpExchangeLimits, AnEndSignalEndsTheExchangeAtOnce) {
    const int delayMs = 300;
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(number);
        ASSERT_TRUE(CatchSignals());
        TestPeer peer;
        TestPeerScript script = {{}, 0, kOutlastMs, kPeerClose};
        ASSERT_EQ(1, StartTestPeer(&peer, &script));
        std::thread signaller([number, delayMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            pthread_kill(pthread_self(), number);
        });
        HttpResponse response = {nullptr, nullptr, 0};
        Timed timed = TimedExchange(TestPeerUrl(&peer, "/"), &response);
        signaller.join();
        struct hostent* entry = gethostbyname("127.0.0.1");
        int lookupError = WSAGetLastError();
        HttpResponse untouched = kMarkedRecord;
        Timed after = TimedExchange(TestPeerUrl(&peer, "/"), &untouched);
        StopTestPeer(&peer);
        EXPECT_TRUE(TakeEndRequest());
        ReleaseSignals();

        ASSERT_EQ(0, timed.result);
        EXPECT_LT(timed.elapsedMs, delayMs + 500);
        EXPECT_STREQ("", response.header);
        FreeHttpResponse(&response);
        EXPECT_EQ(nullptr, entry);
        EXPECT_EQ(WSAEINTR, lookupError);
        EXPECT_EQ(1, after.result);
        EXPECT_LT(after.elapsedMs, 100);
        ExpectUntouched(&untouched);
    }
}
#endif
