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
#include "reach/token.h"

namespace {

// A little longer than the service's own 3 s bound on its call; the page's
// answer is no use later, so its exchange ends by then too.
const int kCallBackMs = 4000;
const int kTokenBytes = 8;
const int kTokenDigits = 2 * kTokenBytes;
// The call-back page's two verdicts.
const char kReachable[] = "<body>reachable";
const char kUnreachable[] = "<body>unreachable";

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
    const char* space = response->header != nullptr ? std::strchr(response->header, ' ') : nullptr;
    return space != nullptr ? std::atoi(space + 1) : 0;
}

} // namespace

const char* IncomingCallReason(IncomingCall call) {
    const char* const reasons[] = {
        nullptr,
        nullptr,
        "port 1720 in use on this machine",
        "the echo service cannot call back",
        "the Internet lookup failed",
        "the echo service refused: too many checks from this address, try again in a minute",
    };
    return reasons[call];
}

IncomingCall JudgeCallBackPage(int status, const char* body, bool answered) {
    if (body == nullptr) {
        return kCallNoCallBack;
    }
    if (status == 429) {
        return kCallRateLimited;
    }
    if (std::strstr(body, kReachable) != nullptr) {
        return answered ? kCallReachable : kCallUnreachable;
    }
    return std::strstr(body, kUnreachable) != nullptr ? kCallUnreachable : kCallNoCallBack;
}

IncomingCall CheckIncomingCall(const char* echoUrl, const char* internetAddress,
                               long long deadline) {
    if (internetAddress == nullptr) {
        return kCallNoInternet;
    }
    char token[kTokenDigits + 1];
    if (!MakeToken(kTokenBytes, token)) {
        return kCallNoCallBack;
    }
    unsigned short port = kCallPort;
    SOCKET listener = ListenOnPort(&port);
    if (listener == INVALID_SOCKET) {
        return kCallPortInUse;
    }
    char request[64];
    wsprintfA(request, "GET /marvoly/%s ", token);
    char reply[kCallBackReplySize];
    WriteCallBackReply(token, reply);
    char url[256];
    CallBackUrl(echoUrl, token, url, sizeof(url));

    int window = (int)(DeadlineWithin(kCallBackMs, deadline) - SteadyMilliseconds());
    CallAnswer answer = {listener, request, reply, window, false, {}, nullptr};
    IncomingCall verdict = kCallNoCallBack;
    if (StartAnswering(&answer)) {
        HttpResponse response = {nullptr, nullptr, 0};
        bool asked =
            window > 0 && HttpExchangeWithin(window, url, nullptr, nullptr, 0, &response) == 0;
        bool answered = FinishAnswering(&answer);
        verdict = asked ? JudgeCallBackPage(StatusOf(&response), response.body, answered)
                        : kCallNoCallBack;
        FreeHttpResponse(&response);
    }
    closesocket(listener);
    return verdict;
}
