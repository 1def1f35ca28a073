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

// A bounded, terminated copy that tells whether all of text fitted.
bool CopyWhole(char* buffer, int size, const char* text) {
    lstrcpynA(buffer, text, size);
    return size > 0 && std::strlen(text) < (size_t)size;
}

// Ends the host at its first ':' and reads the port after it, if any.
void TakePort(char* host, int* port) {
    char* portText = std::strchr(host, ':');
    if (portText != nullptr) {
        *portText++ = '\0';
        *port = ReadPort(portText);
    }
}

} // namespace

int IsHostChar(int c) {
    unsigned char ch = (unsigned char)c;
    bool letter = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
    bool digit = ch >= '0' && ch <= '9';
    return letter || digit || ch == '-' || ch == '.' || ch == ':';
}

int ReadPort(const char* text) {
    long value = 0;
    for (; *text >= '0' && *text <= '9' && value <= 0xFFFF; ++text) {
        value = value * 10 + (*text - '0');
    }
    return *text == '\0' && value >= 1 && value <= 0xFFFF ? (int)value : 0;
}

int SplitUrl(const char* url, char* scheme, int schemeSize, char* host, int hostSize, char* path,
             int pathSize, int* port) {
    lstrcpynA(scheme, "", schemeSize);
    lstrcpynA(host, "", hostSize);
    lstrcpynA(path, "", pathSize);
    *port = 80;

    size_t length = std::strlen(url);
    char* copy = (char*)std::malloc(length + 1);
    if (copy == nullptr) {
        return 0;
    }
    std::memcpy(copy, url, length + 1);
    UpperCaseAscii(copy);

    // The first ':' anywhere ends the scheme, even one meant for a port.
    char* rest = std::strchr(copy, ':');
    if (rest != nullptr) {
        *rest++ = '\0';
    }
    bool fits = CopyWhole(scheme, schemeSize, rest != nullptr ? copy : "HTTP");
    rest = rest != nullptr ? rest : copy;
    if (rest[0] == '/' && rest[1] == '/') {
        rest += 2;
    }
    char* hostEnd = rest;
    while (IsHostChar(*hostEnd)) {
        ++hostEnd;
    }
    // The path comes from the caller's text, so it keeps its case.
    fits = CopyWhole(path, pathSize, url + (hostEnd - copy)) && fits;
    *hostEnd = '\0';
    fits = CopyWhole(host, hostSize, rest) && fits;
    std::free(copy);

    if (hostSize > 0) {
        TakePort(host, port);
    }
    return fits ? 1 : 0;
}

bool SplitUrlParts(const char* url, UrlParts* parts) {
    return SplitUrl(url, parts->scheme, sizeof(parts->scheme), parts->host, sizeof(parts->host),
                    parts->path, sizeof(parts->path), &parts->port) == 1;
}
