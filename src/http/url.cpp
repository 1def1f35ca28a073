// Splitting a URL by one fixed rule that also takes a bare host and path.
#include "http/url.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {

void UpperCaseAscii(char* text) {
    for (; *text != '\0'; ++text) {
        if (*text >= 'a' && *text <= 'z') {
            *text = (char)(*text - 'a' + 'A');
        }
    }
}

// The port text after the host's ':', read as a decimal number that wraps
// like a 32-bit int would; no digits give 0. A host run holds neither white
// space nor '+', so only a '-' can precede the digits.
int ParsePort(const char* text) {
    bool negative = *text == '-';
    if (negative) {
        ++text;
    }
    unsigned int value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10u + (unsigned int)(*text - '0');
    }
    return (int)(negative ? 0u - value : value);
}

} // namespace

int IsHostChar(int c) {
    unsigned char ch = (unsigned char)c;
    bool letter = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
    bool digit = ch >= '0' && ch <= '9';
    return letter || digit || ch == '-' || ch == '.' || ch == ':';
}

void SplitUrl(const char* url, char* scheme, int schemeSize, char* host, int hostSize, char* path,
              int pathSize, int* port) {
    lstrcpynA(scheme, "", schemeSize);
    lstrcpynA(host, "", hostSize);
    lstrcpynA(path, "", pathSize);
    *port = 80;

    size_t length = std::strlen(url);
    char* copy = (char*)std::malloc(length + 1);
    if (copy == nullptr) {
        return;
    }
    std::memcpy(copy, url, length + 1);
    UpperCaseAscii(copy);

    // The first ':' anywhere ends the scheme, even one meant for a port.
    char* rest = std::strchr(copy, ':');
    if (rest != nullptr) {
        *rest++ = '\0';
        lstrcpynA(scheme, copy, schemeSize);
    } else {
        lstrcpynA(scheme, "HTTP", schemeSize);
        rest = copy;
    }
    if (rest[0] == '/' && rest[1] == '/') {
        rest += 2;
    }
    char* hostEnd = rest;
    while (IsHostChar(*hostEnd)) {
        ++hostEnd;
    }
    // The path comes from the caller's text, so it keeps its case.
    lstrcpynA(path, url + (hostEnd - copy), pathSize);
    *hostEnd = '\0';
    lstrcpynA(host, rest, hostSize);
    std::free(copy);

    char* portText = hostSize > 0 ? std::strchr(host, ':') : nullptr;
    if (portText != nullptr) {
        *portText++ = '\0';
        *port = ParsePort(portText);
    }
}

void SplitUrlParts(const char* url, UrlParts* parts) {
    SplitUrl(url, parts->scheme, sizeof(parts->scheme), parts->host, sizeof(parts->host),
             parts->path, sizeof(parts->path), &parts->port);
}
