// The machine's address as the address-echo page sees it: one GET of the
// page, the dotted quad after its first "<body>" marker.
#include "address/internet_address.h"

#include <cstdint>
#include <cstring>

#include "address/dotted_address.h"
#include "address/report_error.h"
#include "http/exchange.h"

namespace {

const char kMarker[] = "<body>";
const int kMarkerLength = sizeof(kMarker) - 1;

bool IsScanSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// One number as %d reads it: white space skipped, an optional sign, digits
// of any length. The value wraps modulo 2^32 instead of overflowing. Gives
// the text after the number, or null when no digit came.
const char* ScanNumber(const char* text, uint32_t* value) {
    while (IsScanSpace(*text)) {
        ++text;
    }
    bool negative = *text == '-';
    if (*text == '+' || *text == '-') {
        ++text;
    }
    if (!IsDigit(*text)) {
        return nullptr;
    }
    uint32_t number = 0;
    for (; IsDigit(*text); ++text) {
        number = number * 10u + (uint32_t)(*text - '0');
    }
    *value = negative ? 0u - number : number;
    return text;
}

// "%d.%d.%d.%d": each dot must follow its number at once. Each octet is the
// low eight bits of its number. True only when all four numbers were read.
bool ScanDottedQuad(const char* text, unsigned char* octets) {
    unsigned char scanned[4];
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && *text++ != '.') {
            return false;
        }
        uint32_t number;
        text = ScanNumber(text, &number);
        if (text == nullptr) {
            return false;
        }
        scanned[i] = (unsigned char)(number & 0xFFu);
    }
    std::memcpy(octets, scanned, sizeof(scanned));
    return true;
}

// The search stops at the body's first NUL, as any text search does.
bool ReadEchoPage(const char* body, unsigned char* octets) {
    const char* marker = body != nullptr ? std::strstr(body, kMarker) : nullptr;
    return marker != nullptr && ScanDottedQuad(marker + kMarkerLength, octets);
}

} // namespace

const char* g_echoUrl = MARVOLY_ECHO_URL;

int GetInternetAddress(char* text) {
    unsigned char octets[4];
    if (!FetchInternetAddress(octets)) {
        return 0;
    }
    uint32_t address;
    std::memcpy(&address, octets, sizeof(address));
    CopyDottedAddress(address, text);
    return 1;
}

int FetchInternetAddress(unsigned char* octets) {
    HttpResponse response = {nullptr, nullptr, 0};
    int result = 0;
    if (HttpExchange(g_echoUrl, nullptr, nullptr, 0, &response) != 0) {
        ReportError("Cannot get Remote IP address");
    } else {
        result = ReadEchoPage(response.body, octets);
    }
    FreeHttpResponse(&response);
    return result;
}
