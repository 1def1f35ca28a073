// URL splitting by the fixed rule, with the exchange's buffer sizes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "http/url.h"

namespace {

struct Split {
    char scheme[20];
    char host[128];
    char path[2048];
    int port;
};

// Gives SplitUrl's answer: 1 when every part fitted.
int SplitInto(const std::string& url, Split* split) {
    std::memset(split, 'x', sizeof(*split));
    std::string copy = url;
    int fitted = SplitUrl(copy.c_str(), split->scheme, sizeof(split->scheme), split->host,
                          sizeof(split->host), split->path, sizeof(split->path), &split->port);
    EXPECT_EQ(url, copy) << "the caller's URL was changed";
    return fitted;
}

} // namespace

TEST(SplitUrl, SplitsByTheFixedRule) {
    struct Case {
        const char* url;
        const char* scheme;
        const char* host;
        int port;
        const char* path;
    };
    const Case cases[] = {
        {"server/firewall/ip.tpl", "HTTP", "SERVER", 80, "/firewall/ip.tpl"},
        {"http://server:8080/a/B.tpl?x=Y", "HTTP", "SERVER", 8080, "/a/B.tpl?x=Y"},
        {"Http://10.0.0.1", "HTTP", "10.0.0.1", 80, ""},
        {"ftp://server/f", "FTP", "SERVER", 80, "/f"},
        {"server:8080/x", "SERVER", "8080", 80, "/x"},
        {"server/a:b", "SERVER/A", "B", 80, ""},
        {"http:/x", "HTTP", "", 80, "/x"},
        {"http://server:", "HTTP", "SERVER", 0, ""},
        {"http://server?q=1", "HTTP", "SERVER", 80, "?q=1"},
        {"http://user@server/p", "HTTP", "USER", 80, "@server/p"},
        {"http://Mixed-Case.example:81#Frag", "HTTP", "MIXED-CASE.EXAMPLE", 81, "#Frag"},
        // A port is 1-65535 in decimal digits, or it is 0: none wraps.
        {"http://server:-1/x", "HTTP", "SERVER", 0, "/x"},
        {"http://server:12ab/x", "HTTP", "SERVER", 0, "/x"},
        {"http://server:1:2/x", "HTTP", "SERVER", 0, "/x"},
        {"http://server:65535/", "HTTP", "SERVER", 65535, "/"},
        {"http://server:00080/", "HTTP", "SERVER", 80, "/"},
        {"http://server:65536/", "HTTP", "SERVER", 0, "/"},
        {"http://server:4294967376/", "HTTP", "SERVER", 0, "/"},
        {"http://server:99999999999/", "HTTP", "SERVER", 0, "/"},
        {"http://ser_ver/", "HTTP", "SER", 80, "_ver/"},
        {"http://server\xE9/", "HTTP", "SERVER", 80, "\xE9/"},
        {"", "HTTP", "", 80, ""},
    };
    for (const Case& c : cases) {
        Split split;
        EXPECT_EQ(1, SplitInto(c.url, &split)) << c.url;
        EXPECT_STREQ(c.scheme, split.scheme) << c.url;
        EXPECT_STREQ(c.host, split.host) << c.url;
        EXPECT_EQ(c.port, split.port) << c.url;
        EXPECT_STREQ(c.path, split.path) << c.url;
    }
}

TEST(SplitUrl, CutsLongPiecesToTheirBuffers) {
    Split split;
    EXPECT_EQ(0, SplitInto(std::string(25, 'S') + "://host/p", &split));
    EXPECT_EQ(std::string(19, 'S'), split.scheme);

    // The host is cut before the port is looked for, so a late port is lost
    // and the split says so.
    EXPECT_EQ(0, SplitInto("http://" + std::string(130, 'h') + ":81/p", &split));
    EXPECT_EQ(std::string(127, 'H'), split.host);
    EXPECT_EQ(80, split.port);
    EXPECT_STREQ("/p", split.path);
    EXPECT_EQ(1, SplitInto("http://" + std::string(124, 'h') + ":81/p", &split));
    EXPECT_EQ(0, SplitInto("http://" + std::string(125, 'h') + ":81/p", &split));

    EXPECT_EQ(0, SplitInto("http://host/" + std::string(3000, 'p'), &split));
    EXPECT_EQ("/" + std::string(2046, 'p'), split.path);
    EXPECT_EQ(1, SplitInto("http://host/" + std::string(2046, 'p'), &split));
}

TEST(IsHostChar, AcceptsLettersDigitsDashDotColonOnly) {
    const char* hostChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-.:";
    for (int c = 0; c < 256; ++c) {
        int expected = c != 0 && std::strchr(hostChars, c) != nullptr;
        EXPECT_EQ(expected, IsHostChar(c)) << "byte " << c;
        EXPECT_EQ(expected, IsHostChar(c + 256)) << "only the low 8 bits count, byte " << c;
    }
    EXPECT_EQ(0, IsHostChar(-1));
}
