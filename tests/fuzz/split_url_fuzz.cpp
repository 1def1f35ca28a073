// URL splitting with any bytes and any buffer sizes from 1 up: every output
// is terminated inside its size, the caller's text is never changed, and the
// same text always splits the same way.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "http/url.h"

namespace {

// Outputs live in heap blocks of exactly their size, so that a write or a
// terminator one byte too far is caught by AddressSanitizer.
struct SplitOutputs {
    std::vector<char> scheme;
    std::vector<char> host;
    std::vector<char> path;
    int port;
};

void Split(const char* url, SplitOutputs* out) {
    std::memset(out->scheme.data(), 0x5A, out->scheme.size());
    std::memset(out->host.data(), 0x5A, out->host.size());
    std::memset(out->path.data(), 0x5A, out->path.size());
    out->port = -12345;
    SplitUrl(url, out->scheme.data(), (int)out->scheme.size(), out->host.data(),
             (int)out->host.size(), out->path.data(), (int)out->path.size(), &out->port);
}

bool Terminated(const std::vector<char>& text) {
    return std::memchr(text.data(), '\0', text.size()) != nullptr;
}

bool HasLowerCase(const char* text) {
    for (; *text != '\0'; ++text) {
        if (*text >= 'a' && *text <= 'z') {
            return true;
        }
    }
    return false;
}

bool AllHostChars(const char* text) {
    for (; *text != '\0'; ++text) {
        if (!IsHostChar(*text) || *text == ':') {
            return false;
        }
    }
    return true;
}

// The path is the caller's own text from some offset on, cut to its size.
bool PathFromUrl(const char* url, const std::vector<char>& path) {
    size_t pathLength = std::strlen(path.data());
    size_t urlLength = std::strlen(url);
    if (pathLength + 1 < path.size()) {
        return pathLength <= urlLength &&
               std::strcmp(url + urlLength - pathLength, path.data()) == 0;
    }
    return std::strstr(url, path.data()) != nullptr;
}

void CheckSplit(const char* url, const SplitOutputs* out) {
    FuzzCheck(Terminated(out->scheme), "scheme terminated inside its size");
    FuzzCheck(Terminated(out->host), "host terminated inside its size");
    FuzzCheck(Terminated(out->path), "path terminated inside its size");
    FuzzCheck(!HasLowerCase(out->scheme.data()), "scheme upper-cased");
    FuzzCheck(!HasLowerCase(out->host.data()), "host upper-cased");
    FuzzCheck(AllHostChars(out->host.data()), "host made of host characters, port cut off");
    FuzzCheck(PathFromUrl(url, out->path), "path is the tail of the caller's text");
    if (std::strchr(url, ':') == nullptr) {
        FuzzCheck(std::strncmp(out->scheme.data(), "HTTP", out->scheme.size() - 1) == 0,
                  "no ':' means the scheme HTTP");
        FuzzCheck(out->port == 80, "no ':' means port 80");
    }
}

size_t SizeFrom(const uint8_t* data, size_t limit) {
    return 1 + ((size_t)data[0] | (size_t)data[1] << 8) % limit;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) {
        return 0;
    }
    SplitOutputs first;
    first.scheme.resize(SizeFrom(data, 40));
    first.host.resize(SizeFrom(data + 2, 300));
    first.path.resize(SizeFrom(data + 4, 4200));
    SplitOutputs second = first;

    // The URL is the rest, as a C text: it ends at its first NUL, if any.
    std::vector<char> url(data + 6, data + size);
    url.push_back('\0');
    std::vector<char> original = url;

    Split(url.data(), &first);
    FuzzCheck(url == original, "the caller's URL is left unchanged");
    CheckSplit(url.data(), &first);

    Split(url.data(), &second);
    FuzzCheck(std::strcmp(first.scheme.data(), second.scheme.data()) == 0 &&
                  std::strcmp(first.host.data(), second.host.data()) == 0 &&
                  std::strcmp(first.path.data(), second.path.data()) == 0 &&
                  first.port == second.port,
              "the same URL splits the same way twice");
    return 0;
}
