// The local address lookup on this machine's real resolver, and the record
// of failures. A name that resolves nowhere is asked only in namespaces of
// the test's own with a name server that refuses (ISOLATED in this
// directory's CMakeLists.txt), never of the machine's.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "address/local_address.h"
#include "address/report_error.h"
#include "platform/platform.h"

namespace {

class LocalAddress : public testing::Test {
  protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(1, 1), &data));
        std::memset(text, 'x', sizeof(text));
        ReportError("%s", "");
    }
    void TearDown() override {
        WSACleanup();
    }
    char text[64];
};

} // namespace

// Which address it is, the namespace test knows (namespace_test.cpp); on any
// machine it is dotted text.
TEST_F(LocalAddress, OwnNameGivesDottedText) {
    ASSERT_EQ(1, GetLocalAddress(text));
    size_t length = std::strlen(text);
    EXPECT_GE(length, 7u);
    EXPECT_LE(length, 15u);
    EXPECT_NE(INADDR_NONE, inet_addr(text));
    // Nothing is written past the terminator.
    for (size_t i = length + 1; i < sizeof(text); ++i) {
        ASSERT_EQ('x', text[i]) << "byte " << i;
    }
    EXPECT_STREQ("", g_lastError);
}

TEST_F(LocalAddress, DottedNameResolvesToItself) {
    uint32_t address = 0;
    ASSERT_EQ(1, ResolveHostAddress("203.0.113.7", &address));
    EXPECT_EQ(inet_addr("203.0.113.7"), address);
}

TEST_F(LocalAddress, UnknownNameIsRecordedAndLeavesTheValue) {
    uint32_t address = 0x01020304;
    ASSERT_EQ(0, ResolveHostAddress("no-such-host.invalid", &address));
    EXPECT_EQ(0x01020304u, address);
    // Asked where the only name server refuses at once (a "try again"): a
    // query that reached a real name server would come back as an unknown
    // host, 11001.
    EXPECT_STREQ("gethostbyname failed: 11002", g_lastError);
}

#ifdef _WIN32
// Before WSAStartup Windows Sockets refuses the host name query (Wine lets
// it pass and refuses the resolution): a failure either way, recorded in
// its own words, with the caller's text left alone.
TEST(LocalAddressUnstarted, FailedQueryIsRecordedAndLeavesTheText) {
    char text[64] = "untouched";
    ASSERT_EQ(0, GetLocalAddress(text));
    EXPECT_STREQ("untouched", text);
    std::string recorded = g_lastError;
    EXPECT_TRUE(recorded == "Error calling gethostname: -1" ||
                recorded == "gethostbyname failed: 10093")
        << recorded;
}
#endif

TEST(LastError, EachRecordReplacesTheLastFromItsFirstByte) {
    ReportError("gethostbyname failed: %d", -11001);
    EXPECT_STREQ("gethostbyname failed: -11001", g_lastError);
    ReportError("Cannot get Remote IP address");
    EXPECT_STREQ("Cannot get Remote IP address", g_lastError);
    ReportError("%s=%d", "x", 5);
    EXPECT_STREQ("x=5", g_lastError);
}

TEST(LastError, LongTextIsCutToTheRecord) {
    static char longText[1500];
    std::memset(longText, 'a', sizeof(longText) - 1);
    ReportError("%s%s", longText, "tail");
    EXPECT_EQ(sizeof(g_lastError) - 1, std::strlen(g_lastError));
    EXPECT_EQ('a', g_lastError[sizeof(g_lastError) - 2]);
    ReportError("short");
    EXPECT_STREQ("short", g_lastError);
}
