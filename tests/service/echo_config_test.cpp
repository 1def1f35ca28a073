// What the shipped echo page answers, asked by the program's own client.
#include <gtest/gtest.h>

#include <string>

#include "http/exchange.h"

namespace {

struct Answer {
    int result;
    std::string header;
    std::string body;
};

Answer Ask(const char* path) {
    std::string url = "http://127.0.0.1:" MARVOLY_ECHO_PORT + std::string(path);
    HttpResponse response = {nullptr, nullptr, 0};
    Answer answer = {HttpExchange(url.c_str(), nullptr, nullptr, 0, &response), "", ""};
    if (answer.result == 0) {
        answer.header = response.header;
        answer.body.assign(response.body, (size_t)response.bodyLength);
    }
    FreeHttpResponse(&response);
    return answer;
}

bool HasLine(const std::string& header, const std::string& line) {
    return header.find("\r\n" + line + "\r\n") != std::string::npos;
}

} // namespace

TEST(EchoConfig, PageShowsTheCallersAddressAfterTheMarker) {
    for (const char* path : {"/firewall/ip.tpl", "/firewall/ip.tpl?product=KESTRAMO"}) {
        Answer answer = Ask(path);
        ASSERT_EQ(0, answer.result) << path;
        EXPECT_EQ(0u, answer.header.find("HTTP/1.1 200 OK\r\n")) << answer.header;
        EXPECT_EQ("<html><head><title>IP address</title></head><body>127.0.0.1</body></html>\n",
                  answer.body);
    }
}

TEST(EchoConfig, PageIsPlainUncachedHtml) {
    Answer answer = Ask("/firewall/ip.tpl");
    ASSERT_EQ(0, answer.result);
    EXPECT_TRUE(HasLine(answer.header, "Content-Type: text/html")) << answer.header;
    EXPECT_TRUE(
        HasLine(answer.header, "Cache-Control: no-store, no-cache, must-revalidate, max-age=0"))
        << answer.header;
    EXPECT_TRUE(HasLine(answer.header, "Pragma: no-cache")) << answer.header;
    // The client offers gzip but could not read it.
    EXPECT_EQ(std::string::npos, answer.header.find("Content-Encoding")) << answer.header;
}

TEST(EchoConfig, EverythingElseIsNotFound) {
    for (const char* path : {"/", "/firewall/", "/firewall/ip.tpl/x", "/firewall/IP.TPL",
                             "/firewall/ip.tp", "/index.html"}) {
        Answer answer = Ask(path);
        ASSERT_EQ(0, answer.result) << path;
        EXPECT_EQ(0u, answer.header.find("HTTP/1.1 404 Not Found\r\n")) << path;
        EXPECT_EQ(std::string::npos, answer.body.find("<body>127.0.0.1")) << path;
    }
}
