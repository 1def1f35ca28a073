// The text helpers behave the same under Windows and over POSIX.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"

TEST(TextHelpers, BoundedCopyCutsAndAlwaysTerminates) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof(buffer));
    lstrcpynA(buffer, "0123456789", sizeof(buffer));
    EXPECT_STREQ("0123456", buffer);

    lstrcpynA(buffer, "ab", sizeof(buffer));
    EXPECT_STREQ("ab", buffer);

    lstrcpynA(buffer, "zz", 1);
    EXPECT_STREQ("", buffer);
}

TEST(TextHelpers, FormatFillsAtMost1024Bytes) {
    static char longText[2000];
    std::memset(longText, 'a', sizeof(longText) - 1);
    static char output[1100];
    std::memset(output, 'x', sizeof(output));
    wsprintfA(output, "%s", longText);
    EXPECT_EQ(1023u, std::strlen(output));
    EXPECT_EQ('x', output[1024]);

    EXPECT_EQ(23, wsprintfA(output, "Content-Length: %ld\r\n", (long)-1234));
    EXPECT_STREQ("Content-Length: -1234\r\n", output);
}

TEST(SocketLibrary, StartsAreCountedAndBalanced) {
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(1, 1), &data));
    EXPECT_EQ(MAKEWORD(1, 1), data.wVersion);
    ASSERT_EQ(0, WSAStartup(MAKEWORD(1, 1), &data));
    EXPECT_EQ(0, WSACleanup());
    EXPECT_EQ(0, WSACleanup());
    EXPECT_EQ(SOCKET_ERROR, WSACleanup());
}
