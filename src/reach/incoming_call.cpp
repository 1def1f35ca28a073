// The call-back check. The program listens on port 1720 and asks the echo
// service's call-back page with a fresh token; the service connects to the
// address the request came from, port 1720, and asks for the token, which
// only this run knows. Its verdict counts only when this run answered that
// call itself: a "reachable" without it means something else took the
// connection, so the machine was not reached.
#include "reach/incoming_call.h"

#include <cstdlib>
#include <cstring>

#include "http/exchange.h"
#include "http/url.h"
#include "platform/platform.h"
#include "reach/listener.h"

namespace {

// A little longer than the service's own 3 s bound on its call; the page's
// answer is no use later, so its exchange ends by then too.
const int kCallBackMs = 4000;
const int kTokenDigits = 16;

// False when the system has no randomness to give: a token that can be
// guessed would let anyone answer for this machine.
bool MakeToken(char* token) {
    const char digits[] = "0123456789abcdef";
    unsigned char bytes[kTokenDigits / 2];
    if (!FillRandomBytes(bytes, sizeof(bytes))) {
        return false;
    }
    for (int i = 0; i < kTokenDigits; ++i) {
        token[i] = digits[(bytes[i / 2] >> (i % 2 * 4)) & 0xF];
    }
    token[kTokenDigits] = '\0';
    return true;
}

// The call-back page on the echo page's own host and port.
void CallBackUrl(const char* echoUrl, const char* token, char* url, int size) {
    UrlParts parts;
    SplitUrlParts(echoUrl, &parts);
    char text[kUrlHostSize + 64];
    wsprintfA(text, "http://%s:%d/firewall/reach.tpl?token=%s", parts.host, parts.port, token);
    lstrcpynA(url, text, size);
}

// The status line's code, 0 when there is none.
int StatusOf(const HttpResponse* response) {
    const char* space = std::strchr(response->header, ' ');
    return space != nullptr ? std::atoi(space + 1) : 0;
}

int ReadVerdict(const HttpResponse* response, bool answered) {
    if (response->body == nullptr) {
        return kCallNoCallBack;
    }
    if (StatusOf(response) == 429) {
        return kCallRateLimited;
    }
    const char* body = response->body;
    if (std::strstr(body, "<body>reachable") != nullptr) {
        return answered ? kCallReachable : kCallUnreachable;
    }
    return std::strstr(body, "<body>unreachable") != nullptr ? kCallUnreachable : kCallNoCallBack;
}

} // namespace

int CheckIncomingCall(const char* echoUrl, const char* internetAddress) {
    if (internetAddress == nullptr) {
        return kCallNoInternet;
    }
    char token[kTokenDigits + 1];
    if (!MakeToken(token)) {
        return kCallNoCallBack;
    }
    SOCKET listener = ListenOnPort(kCallPort);
    if (listener == INVALID_SOCKET) {
        return kCallPortInUse;
    }
    char request[64];
    wsprintfA(request, "GET /marvoly/%s ", token);
    char reply[128];
    wsprintfA(reply,
              "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n\r\n%s\n",
              kTokenDigits + 1, token);
    char url[256];
    CallBackUrl(echoUrl, token, url, sizeof(url));

    CallAnswer answer = {listener, request, reply, kCallBackMs, false, {}, nullptr};
    int verdict = kCallNoCallBack;
    if (StartAnswering(&answer)) {
        HttpResponse response = {nullptr, nullptr, 0};
        bool asked = HttpExchangeWithin(kCallBackMs, url, nullptr, nullptr, 0, &response) == 0;
        bool answered = FinishAnswering(&answer);
        verdict = asked ? ReadVerdict(&response, answered) : kCallNoCallBack;
        FreeHttpResponse(&response);
    }
    closesocket(listener);
    return verdict;
}
