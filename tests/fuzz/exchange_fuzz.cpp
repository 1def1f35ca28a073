// Reading the response of one exchange from a loopback peer that answers
// with the input's bytes, cut into sends where the input says and ended by
// a close, a reset, a stall or an endless repetition. Whatever arrives, the
// header and body are terminated, their lengths exact, the bounds held, and
// a failed exchange leaves the record as it was.
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "fuzz_check.h"
#include "fuzz_peer.h"
#include "http/exchange.h"

namespace {

const int kMaxCuts = 8;
// What a busy machine may add to a wait.
const auto kSlack = std::chrono::milliseconds(1000);

// The header ends after the first LF that closes a line of nothing but CRs;
// without one, everything is header.
size_t HeaderEnd(const uint8_t* bytes, size_t size) {
    size_t lineStart = 0;
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != '\n') {
            continue;
        }
        bool onlyCarriageReturns = true;
        for (size_t j = lineStart; j < i; ++j) {
            onlyCarriageReturns = onlyCarriageReturns && bytes[j] == '\r';
        }
        if (onlyCarriageReturns) {
            return i + 1;
        }
        lineStart = i + 1;
    }
    return size;
}

// Stalls and endless answers cost a time-out or a megabyte each, so they
// are kept rare: one selector value in 32 each. A table, not comparisons,
// so that the fuzzer's comparison tracing does not steer towards them.
FuzzPeerEnding EndingFrom(uint8_t selector) {
    static const FuzzPeerEnding kEndings[32] = {
        kEndClose, kEndClose, kEndClose, kEndClose, kEndClose, kEndClose, kEndClose,   kEndClose,
        kEndClose, kEndClose, kEndClose, kEndClose, kEndClose, kEndClose, kEndClose,   kEndClose,
        kEndClose, kEndClose, kEndClose, kEndClose, kEndClose, kEndClose, kEndClose,   kEndClose,
        kEndClose, kEndClose, kEndClose, kEndClose, kEndReset, kEndReset, kEndEndless, kEndStall,
    };
    return kEndings[selector % 32];
}

// The header holds no length of its own: it matches the expected bytes up to
// some point at which its NUL stands, never reading beyond its block.
bool HeaderIsPrefix(const char* header, const uint8_t* expected, size_t expectedLength) {
    size_t block = malloc_usable_size((void*)header);
    for (size_t k = 0; k < block; ++k) {
        if (header[k] == '\0' && (k == expectedLength || expected[k] != '\0')) {
            return true;
        }
        if (k == expectedLength || (uint8_t)header[k] != expected[k]) {
            return false;
        }
    }
    return false;
}

bool HeaderIsExact(const char* header, const uint8_t* expected, size_t expectedLength) {
    return malloc_usable_size((void*)header) > expectedLength &&
           std::memcmp(header, expected, expectedLength) == 0 && header[expectedLength] == '\0';
}

void CheckBody(const HttpResponse* response, const uint8_t* expected, size_t expectedLength,
               bool exact) {
    size_t length = (size_t)response->bodyLength;
    FuzzCheck(response->bodyLength >= 0 && length <= kHttpBodyLimit,
              "body length within the bound");
    FuzzCheck(exact ? length == expectedLength : length <= expectedLength, "body length");
    FuzzCheck(malloc_usable_size(response->body) > length, "body block holds its terminator");
    FuzzCheck(std::memcmp(response->body, expected, length) == 0, "body bytes as sent");
    FuzzCheck(response->body[length] == '\0', "body terminated");
}

// exact: everything sent arrived before the end (orderly close or stall in
// good time); otherwise what arrived must be a prefix of what was sent.
void CheckResponse(const HttpResponse* response, const uint8_t* bytes, size_t size, bool exact) {
    size_t headerEnd = HeaderEnd(bytes, size);
    FuzzCheck(response->header != nullptr && response->body != nullptr, "both blocks handed over");
    if (exact || response->bodyLength > 0) {
        FuzzCheck(HeaderIsExact(response->header, bytes, headerEnd), "header exactly as sent");
    } else {
        FuzzCheck(HeaderIsPrefix(response->header, bytes, headerEnd), "header a prefix of it");
    }
    CheckBody(response, bytes + headerEnd, size - headerEnd, exact);
}

int g_listener = -1;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    if (g_listener < 0) {
        g_listener = FuzzPeerListen(0);
        FuzzCheck(g_listener >= 0, "the peer listens on loopback");
    }
    FuzzPeerScript script;
    script.ending = EndingFrom(data[0]);
    script.cutCount = std::min((int)(data[1] % (kMaxCuts + 1)), (int)((size - 2) / 2));
    const uint8_t* cutBytes = data + 2;
    script.bytes = cutBytes + 2 * script.cutCount;
    script.size = size - 2 - 2 * (size_t)script.cutCount;
    size_t cuts[kMaxCuts];
    // Each cut goes into its place as it is read: the peer wants them in order.
    for (int i = 0; i < script.cutCount; ++i) {
        size_t offset = (size_t)cutBytes[2 * i] | (size_t)cutBytes[2 * i + 1] << 8;
        size_t cut = script.size == 0 ? 0 : offset % (script.size + 1);
        int j = i;
        for (; j > 0 && cuts[j - 1] > cut; --j) {
            cuts[j] = cuts[j - 1];
        }
        cuts[j] = cut;
    }
    script.cuts = cuts;

    char url[64];
    std::snprintf(url, sizeof(url), "http://127.0.0.1:%d/fuzz", FuzzPeerPort(g_listener));
    char headerMark = 'h';
    char bodyMark = 'b';
    HttpResponse response = {&headerMark, &bodyMark, -7};

    std::thread peer(FuzzPeerServe, g_listener, &script);
    auto started = std::chrono::steady_clock::now();
    int result = HttpExchange(url, nullptr, nullptr, 0, &response);
    auto elapsed = std::chrono::steady_clock::now() - started;
    peer.join();

    // Every exchange is over by its deadline; a stall ends one time-out after
    // the answer, which the peer sends at once.
    FuzzCheck(elapsed < std::chrono::milliseconds(kHttpExchangeDeadlineMs) + kSlack,
              "the exchange ends by its deadline");
    FuzzCheck(script.ending != kEndStall ||
                  elapsed < std::chrono::milliseconds(kHttpOperationTimeoutMs) + kSlack,
              "a stall ends after one time-out");
    // A receive that waited out the time-out may have cut an answer short
    // even without a stall, when this machine is busy.
    bool timedOut = elapsed >= std::chrono::milliseconds(kHttpOperationTimeoutMs * 9 / 10);
    size_t headerEnd = HeaderEnd(script.bytes, script.size);
    bool overBounds = headerEnd > kHttpHeaderLimit || script.size - headerEnd > kHttpBodyLimit ||
                      (script.ending == kEndEndless && script.size > 0);
    if (result != 0) {
        FuzzCheck(result == 1, "failure is 1");
        FuzzCheck(overBounds || timedOut, "only an answer beyond the bounds fails");
        FuzzCheck(response.header == &headerMark && response.body == &bodyMark &&
                      response.bodyLength == -7,
                  "a failed exchange leaves the record untouched");
        return 0;
    }
    FuzzCheck(!overBounds || timedOut, "an answer beyond the bounds fails the exchange");
    if (script.ending == kEndEndless && script.size > 0) {
        // Cut short by a time-out: how many repetitions arrived is unknown.
        CheckBody(&response, (const uint8_t*)response.body, kHttpBodyLimit, false);
    } else {
        bool exact = script.ending == kEndStall || (!timedOut && script.ending != kEndReset);
        CheckResponse(&response, script.bytes, script.size, exact);
    }
    FreeHttpResponse(&response);
    return 0;
}
