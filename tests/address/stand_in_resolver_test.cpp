// The lookups over answers that no real resolver gives at will: gethostname
// and the socket layer's gethostbyname are replaced at link time by the
// stand-ins here, which answer as each case says.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "address/local_address.h"
#include "address/report_error.h"
#include "http/exchange.h"

namespace {

bool g_nameFails = false;
struct hostent g_entry;
char* g_list[2];
struct in_addr g_address;

} // namespace

int gethostname(char* name, size_t length) noexcept {
    if (g_nameFails) {
        errno = EFAULT;
        return -1;
    }
    std::strncpy(name, "stand-in", length);
    return 0;
}

struct hostent* WinsockGetHostByName(const char*) {
    return &g_entry;
}

TEST(StandInResolver, OnlyAnIpv4AnswerGivesAnAddress) {
    struct Case {
        const char* what;
        bool nameFails;
        int type;
        int length;
        bool listed;
        const char* local; // what GetLocalAddress gives, or null
        const char* error;
    } cases[] = {
        {"no host name", true, AF_INET, 4, true, nullptr, "Error calling gethostname: -1"},
        {"an empty list", false, AF_INET, 4, false, nullptr, ""},
        {"IPv6 addresses", false, AF_INET6, 16, true, nullptr, ""},
        {"another length", false, AF_INET, 16, true, nullptr, ""},
        {"an IPv4 address", false, AF_INET, 4, true, "203.0.113.9", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_nameFails = c.nameFails;
        g_address.s_addr = inet_addr("203.0.113.9");
        g_list[0] = c.listed ? (char*)&g_address : nullptr;
        g_list[1] = nullptr;
        g_entry.h_addrtype = c.type;
        g_entry.h_length = c.length;
        g_entry.h_addr_list = g_list;
        ReportError("%s", "");
        char text[64] = "untouched";
        EXPECT_EQ(c.local != nullptr ? 1 : 0, GetLocalAddress(text));
        EXPECT_STREQ(c.local != nullptr ? c.local : "untouched", text);
        EXPECT_STREQ(c.error, g_lastError);
        bool ipv4 = c.type == AF_INET && c.length == 4 && c.listed;
        struct sockaddr_in resolved;
        EXPECT_EQ(ipv4, ResolveEndpoint("stand-in", 80, &resolved));
        EXPECT_EQ(ipv4 ? g_address.s_addr : 0u, resolved.sin_addr.s_addr);
    }
}
