// Reading the echo page, through the real exchange, from a loopback peer
// that serves a chosen body.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "address/internet_address.h"
#include "address/report_error.h"
#include "platform/platform.h"
#include "test_peer.h"

namespace {

char g_peerUrl[64];

const char kOkHeader[] = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
const char kUntouched[] = "untouched";

void AimAt(int port) {
    std::snprintf(g_peerUrl, sizeof(g_peerUrl), "http://127.0.0.1:%d/firewall/ip.tpl", port);
    g_echoUrl = g_peerUrl;
}

// Serves one response made of the given pieces; gives the lookup's result
// and the text it wrote (or left).
struct Outcome {
    int result;
    std::string text;
    std::string request;
};

Outcome LookUp(const std::string& response) {
    TestPeerScript script = {{response}, 0, 0, kPeerClose};
    TestPeer peer;
    Outcome outcome = {-1, "", ""};
    if (!StartTestPeer(&peer, &script)) {
        ADD_FAILURE() << "test peer cannot listen";
        return outcome;
    }
    AimAt(peer.port);
    char text[64];
    std::memset(text, 'x', sizeof(text));
    lstrcpynA(text, kUntouched, sizeof(text));
    char before[sizeof(text)];
    std::memcpy(before, text, sizeof(text));
    outcome.result = GetInternetAddress(text);
    StopTestPeer(&peer);
    outcome.text = text;
    outcome.request = peer.received;
    for (size_t i = outcome.text.size() + 1; i < sizeof(text); ++i) {
        EXPECT_EQ(before[i], text[i]) << "byte " << i << " written after the text";
    }
    return outcome;
}

Outcome LookUpBody(const std::string& body) {
    return LookUp(kOkHeader + body);
}

void ClearLastError() {
    ReportError("%s", "before");
}

} // namespace

TEST(EchoPage, AddressAfterTheMarkerIsFormattedAnew) {
    struct Case {
        const char* body;
        const char* address;
    } cases[] = {
        {"<html><head><title>IP</title></head><body>203.0.113.5</body></html>", "203.0.113.5"},
        {"<body>\r\n   \t203.0.113.5\n</body>", "203.0.113.5"},
        {"<body>\v\f 1.2.3.4", "1.2.3.4"},
        {"<body>010.001.000.255</body>", "10.1.0.255"},
        {"<body>256.-1.300.+10", "0.255.44.10"},
        {"<body>-0.+0.-256.-255", "0.0.0.1"},
        {"<body>1.2.3.4.5.6", "1.2.3.4"},
        {"<body>1.2.3.4junk", "1.2.3.4"},
        {"<body>1. 2.\t3.\n4", "1.2.3.4"},
        {"<body>9.8.7.6</body><body>1.1.1.1</body>", "9.8.7.6"},
        {"<BODY>5.5.5.5<body>6.6.6.6", "6.6.6.6"},
        // Values beyond 32 bits wrap: 2^32 + 7 gives 7, 2^40 + 65 gives 65.
        {"<body>4294967303.1099511627841.00000000000000000000000000012.4294967295", "7.65.12.255"},
        {"<body>-4294967297.2147483648.-2147483649.99999999999999999999", "255.0.255.255"},
    };
    for (const Case& c : cases) {
        ClearLastError();
        Outcome outcome = LookUpBody(c.body);
        EXPECT_EQ(1, outcome.result) << c.body;
        EXPECT_EQ(c.address, outcome.text) << c.body;
        EXPECT_STREQ("before", g_lastError) << c.body;
    }
}

TEST(EchoPage, PageWithoutFourNumbersAfterTheMarkerGivesNothing) {
    const char* bodies[] = {
        "",
        "<html>203.0.113.5</html>",
        "<BODY>203.0.113.5</BODY>",
        "<body >203.0.113.5",
        "<body>",
        "<body>unknown",
        "<body>1.2.3",
        "<body>1.2.3.",
        "<body>1 .2.3.4",
        "<body>1.2.3 .4",
        "<body>1,2,3,4",
        "<body>1.2.+.4",
        "<body>1.2.-x.4",
        "<body>+-1.2.3.4",
        "<body>.1.2.3.4",
    };
    for (const char* body : bodies) {
        ClearLastError();
        Outcome outcome = LookUpBody(body);
        EXPECT_EQ(0, outcome.result) << body;
        EXPECT_EQ(kUntouched, outcome.text) << body;
        EXPECT_STREQ("before", g_lastError) << body;
    }
}

TEST(EchoPage, NulAheadOfTheMarkerHidesIt) {
    Outcome outcome = LookUpBody(std::string("<html>\0<body>1.2.3.4", 20));
    EXPECT_EQ(0, outcome.result);
    EXPECT_EQ(kUntouched, outcome.text);

    outcome = LookUpBody(std::string("<body>1.2.3.4\0<body>5.6.7.8", 27));
    EXPECT_EQ(1, outcome.result);
    EXPECT_EQ("1.2.3.4", outcome.text);
}

TEST(EchoPage, StatusIsNotLookedAt) {
    Outcome outcome = LookUp("HTTP/1.0 404 Not Found\r\n\r\n<body>198.51.100.9</body>");
    EXPECT_EQ(1, outcome.result);
    EXPECT_EQ("198.51.100.9", outcome.text);
}

TEST(EchoPage, PageIsAskedWithOnePlainGet) {
    Outcome outcome = LookUpBody("<body>1.2.3.4");
    EXPECT_EQ(0u, outcome.request.find("GET /firewall/ip.tpl HTTP/1.0\r\n")) << outcome.request;
    EXPECT_EQ(std::string::npos, outcome.request.find("Content-Length")) << outcome.request;
    EXPECT_EQ(outcome.request.size() - 4, outcome.request.find("\r\n\r\n")) << outcome.request;
}

TEST(EchoPage, FailedExchangeIsRecordedAndLeavesTheText) {
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(1, 1), &data));
    // A bound socket that never listens keeps its port and refuses connections.
    SOCKET holder = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(INVALID_SOCKET, holder);
    struct sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
#ifdef _WIN32
    int length = sizeof(address);
#else
    socklen_t length = sizeof(address);
#endif
    ASSERT_EQ(0, bind(holder, (struct sockaddr*)&address, sizeof(address)));
    ASSERT_EQ(0, getsockname(holder, (struct sockaddr*)&address, &length));
    AimAt(ntohs(address.sin_port));

    ClearLastError();
    char text[64] = "untouched";
    EXPECT_EQ(0, GetInternetAddress(text));
    EXPECT_STREQ(kUntouched, text);
    EXPECT_STREQ("Cannot get Remote IP address", g_lastError);

    unsigned char octets[4] = {1, 2, 3, 4};
    EXPECT_EQ(0, FetchInternetAddress(octets));
    EXPECT_EQ(0, std::memcmp("\1\2\3\4", octets, 4));
    closesocket(holder);
    WSACleanup();
}
