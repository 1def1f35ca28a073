// The lookups in the network namespace that namespace.sh makes for them:
// connections that a firewall drops or refuses, and the machine's own
// address on an interface whose address the rig gave it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "address/local_address.h"
#include "address/report_error.h"
#include "http/exchange.h"
#include "test_peer.h"

namespace {

std::string FromRig(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

// The peer listens on every address, so that a request let through to it
// anywhere would be answered and noticed.
TEST(InNamespace, FirewalledConnectsFailAsTheFirewallSays) {
    const int timeoutMs = kHttpOperationTimeoutMs;
    struct Case {
        const char* what;
        std::string host;
        int result;
        int leastMs;
        int mostMs;
    } cases[] = {
        {"let through", "127.0.0.1", 0, 0, 1000},
        {"dropped", FromRig("MARVOLY_NS_DROPPING"), 1, timeoutMs - 200, timeoutMs + 1000},
        {"refused", FromRig("MARVOLY_NS_REFUSING"), 1, 0, 500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_FALSE(c.host.empty()) << "run by namespace.sh only";
        TestPeer peer;
        TestPeerScript script = {{"HTTP/1.0 200 OK\r\n\r\nhere"}, 0, 0, kPeerClose};
        ASSERT_EQ(1, StartTestPeerEverywhere(&peer, &script));
        std::string url = "http://" + c.host + ":" + std::to_string(peer.port) + "/";
        HttpResponse response = {nullptr, nullptr, 0};
        auto start = std::chrono::steady_clock::now();
        int result = HttpExchange(url.c_str(), nullptr, nullptr, 0, &response);
        auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        StopTestPeer(&peer);
        EXPECT_EQ(c.result, result);
        EXPECT_EQ(c.result == 0, peer.contacted);
        EXPECT_GE(elapsed.count(), c.leastMs);
        EXPECT_LT(elapsed.count(), c.mostMs);
        if (result == 0) {
            EXPECT_STREQ("here", response.body);
            FreeHttpResponse(&response);
        }
    }
}

TEST(InNamespace, OwnNameGivesTheInterfaceAddressAsDottedText) {
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(1, 1), &data));
    ReportError("%s", "");
    char text[64];
    std::memset(text, 'x', sizeof(text));
    ASSERT_EQ(1, GetLocalAddress(text));
    WSACleanup();
    EXPECT_EQ(FromRig("MARVOLY_NS_LOCAL"), text);
    // Nothing is written past the terminator.
    for (size_t i = std::strlen(text) + 1; i < sizeof(text); ++i) {
        ASSERT_EQ('x', text[i]) << "byte " << i;
    }
    EXPECT_STREQ("", g_lastError);
}
