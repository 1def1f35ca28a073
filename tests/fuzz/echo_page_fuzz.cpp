// Reading the echo page of the Internet lookup, through the real exchange,
// from a loopback peer on the echo port that serves the input as the body:
// any bytes, NUL included. The octets must be what the page's rules give,
// and a page that gives no address leaves them untouched.
#include <cstring>
#include <thread>
#include <vector>

#include "address/internet_address.h"
#include "fuzz_check.h"
#include "fuzz_peer.h"

namespace {

const char kMarker[] = "<body>";
const char kStatus[] = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";

bool IsScanSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One number as decimal scanning reads it: white space, a sign, at least
// one digit; the value wraps modulo 2^32.
bool ScanNumber(const char** text, uint32_t* value) {
    const char* at = *text;
    while (IsScanSpace(*at)) {
        ++at;
    }
    bool negative = *at == '-';
    if (*at == '-' || *at == '+') {
        ++at;
    }
    if (*at < '0' || *at > '9') {
        return false;
    }
    uint32_t number = 0;
    for (; *at >= '0' && *at <= '9'; ++at) {
        number = number * 10u + (uint32_t)(*at - '0');
    }
    *value = negative ? 0u - number : number;
    *text = at;
    return true;
}

// The page read as text (it ends at its first NUL): four numbers joined by
// dots right after the first marker, each octet the low eight bits.
bool ExpectedOctets(const char* page, unsigned char* octets) {
    const char* at = std::strstr(page, kMarker);
    if (at == nullptr) {
        return false;
    }
    at += sizeof(kMarker) - 1;
    for (int i = 0; i < 4; ++i) {
        uint32_t value;
        if ((i > 0 && *at++ != '.') || !ScanNumber(&at, &value)) {
            return false;
        }
        octets[i] = (unsigned char)(value & 0xFF);
    }
    return true;
}

int g_listener = -1;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (g_listener < 0) {
        g_listener = FuzzPeerListen(MARVOLY_LOOPBACK_ECHO_PORT);
        FuzzCheck(g_listener >= 0, "the peer listens on the echo port");
    }
    std::vector<uint8_t> answer(kStatus, kStatus + sizeof(kStatus) - 1);
    answer.insert(answer.end(), data, data + size);
    FuzzPeerScript script = {answer.data(), answer.size(), nullptr, 0, kEndClose};

    std::vector<char> page(data, data + size);
    page.push_back('\0');
    unsigned char expected[4];
    bool expectAddress = ExpectedOctets(page.data(), expected);

    unsigned char octets[4] = {0xA5, 0xA5, 0xA5, 0xA5};
    std::thread peer(FuzzPeerServe, g_listener, &script);
    int result = FetchInternetAddress(octets);
    peer.join();

    FuzzCheck(result == (expectAddress ? 1 : 0), "an address exactly when the page gives one");
    if (expectAddress) {
        FuzzCheck(std::memcmp(octets, expected, 4) == 0, "the octets the page gives");
    } else {
        const unsigned char untouched[4] = {0xA5, 0xA5, 0xA5, 0xA5};
        FuzzCheck(std::memcmp(octets, untouched, 4) == 0, "no address leaves the octets alone");
    }
    return 0;
}
