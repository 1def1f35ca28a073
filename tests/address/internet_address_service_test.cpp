// The Internet lookup as built, against the shipped echo page on nginx.
#include <gtest/gtest.h>

#include <cstring>

#include "address/internet_address.h"
#include "address/report_error.h"

TEST(InternetAddress, EchoServiceOnLoopbackSeesLoopback) {
    ReportError("before");
    char text[64];
    std::memset(text, 'x', sizeof(text));
    ASSERT_EQ(1, GetInternetAddress(text)) << g_lastError;
    EXPECT_STREQ("127.0.0.1", text);
    EXPECT_EQ('x', text[10]);
    EXPECT_STREQ("before", g_lastError);

    unsigned char octets[4] = {0, 0, 0, 0};
    ASSERT_EQ(1, FetchInternetAddress(octets));
    EXPECT_EQ(0, std::memcmp("\x7f\0\0\x01", octets, 4));
}
