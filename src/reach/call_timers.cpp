// The silences of a call, waited out all at once: every rung's binding or
// connection is made at the start and asked when its own silence is over,
// so that the run takes as long as its longest rung.
#include "reach/call_timers.h"

#include <cstring>

#include "http/exchange.h"
#include "platform/platform.h"
#include "reach/media_path.h"
#include "stun/transaction.h"

namespace {

const int kBindingMs = 2500; // sends at 0, 0.5 and 1.5 s
const int kAskMs = 2500;
const int kAskSends = 3;
const int kKeepAliveMs = 15000;
const int kKeepAliveSize = 36; // apart from every request of the run, in size too
const int kConnectMs = 5000;
const int kAnswerMs = 5000; // a lost segment is sent again within it
const unsigned short kSignallingPort = 1720;

// The echo host's held mode: a line to ask for it, a line to ask whether
// the connection still carries, and the words of its answers.
const char kHoldLine[] = "hold\n";
const char kPingLine[] = "ping\n";
const char kHeldWord[] = "held";
const char kPongWord[] = "pong";

// The rungs' bindings, and one more at index count: the refreshed one.
struct UdpLadder {
    SOCKET asker;
    SOCKET sockets[kTimerRungs + 1];
    struct sockaddr_in server;
    StunTransaction bindings[kTimerRungs + 1];
    long long dueAt[kTimerRungs + 1]; // 0: nothing (more) to ask
    int mappedPort[kTimerRungs + 1];
};

void Note(char* reason, int size, const char* text) {
    if (reason[0] == '\0') {
        lstrcpynA(reason, text, size);
    }
}

// The moment every rung's silence began, from its binding's answer.
void StartSilences(UdpLadder* udp, const TimerLadder* ladder, CallTimers* timers) {
    int count = ladder->count;
    long long now = SteadyMilliseconds();
    for (int i = 0; i <= count; ++i) {
        StartStunTransaction(&udp->bindings[i], udp->sockets[i], &udp->server, 0, 0, now, kAskSends,
                             now + kBindingMs);
    }
    RunStunTransactions(udp->bindings, count + 1, now + kBindingMs);
    for (int i = 0; i <= count; ++i) {
        const struct sockaddr_in* mapped = MappedAddress(&udp->bindings[i]);
        int seconds = ladder->seconds[i < count ? i : count - 1];
        udp->dueAt[i] = mapped != nullptr ? udp->bindings[i].answeredAt + seconds * 1000LL : 0;
        udp->mappedPort[i] = mapped != nullptr ? ntohs(mapped->sin_port) : 0;
    }
    if (udp->dueAt[0] == 0) {
        Note(timers->udpReason, sizeof(timers->udpReason), "no answer from the STUN server");
    }
}

// Asks, from the asker, for an answer to every due rung's mapping; each
// answer awaited on the rung's own socket.
void AskDue(UdpLadder* udp, int count, long long now, CallTimers* timers) {
    StunTransaction asks[kTimerRungs + 1];
    int rungs[kTimerRungs + 1];
    int asked = 0;
    for (int i = 0; i <= count; ++i) {
        if (udp->dueAt[i] == 0 || udp->dueAt[i] > now) {
            continue;
        }
        StunTransaction* ask = &asks[asked];
        StartStunTransaction(ask, udp->asker, &udp->server, 0, 0, now, kAskSends, now + kAskMs);
        ask->requestSize = AddResponsePort(ask->request, ask->requestSize, udp->mappedPort[i]);
        ask->answerSocket = udp->sockets[i];
        udp->dueAt[i] = 0;
        rungs[asked++] = i;
    }
    RunStunTransactions(asks, asked, now + kAskMs);
    // What was cut short by the end of the program stays unknown.
    for (int a = 0; a < asked; ++a) {
        Fact lived = asks[a].answered ? kFactYes : WaitsCutShort() ? kFactUnknown : kFactNo;
        *(rungs[a] < count ? &timers->udpLived[rungs[a]] : &timers->outboundRefresh) = lived;
    }
}

// The next moment something is due, 0 when nothing is.
long long NextDue(const UdpLadder* udp, int count) {
    long long next = 0;
    for (int i = 0; i <= count; ++i) {
        if (udp->dueAt[i] != 0 && (next == 0 || udp->dueAt[i] < next)) {
            next = udp->dueAt[i];
        }
    }
    return next;
}

void KeepAlive(const UdpLadder* udp, int count) {
    unsigned char id[kStunIdSize];
    unsigned char message[kKeepAliveSize];
    if (NewStunId(id)) {
        int size = BuildBindingIndication(id, kKeepAliveSize, message);
        sendto(udp->sockets[count], (const char*)message, size, 0,
               (const struct sockaddr*)&udp->server, sizeof(udp->server));
    }
}

void ShowProgress(std::FILE* progress, const UdpLadder* udp, int count, long long next) {
    int waiting = 0;
    long long last = next;
    for (int i = 0; i <= count; ++i) {
        waiting += udp->dueAt[i] != 0;
        last = udp->dueAt[i] > last ? udp->dueAt[i] : last;
    }
    long long left = (last - SteadyMilliseconds()) / 1000 + 1;
    std::fprintf(progress, "\rmarvoly: %d silent UDP mappings wait, %lld s to go (Ctrl-C ends) ",
                 waiting, left > 0 ? left : 0);
    std::fflush(progress);
}

// Waits for each rung in turn, the refreshed mapping kept alive meanwhile.
void WaitOutRungs(UdpLadder* udp, std::FILE* progress, CallTimers* timers) {
    int count = timers->ladder.count;
    long long keepAt = udp->bindings[count].answeredAt + kKeepAliveMs;
    for (long long next = NextDue(udp, count); next != 0 && !WaitsCutShort();
         next = NextDue(udp, count)) {
        if (progress != nullptr) {
            ShowProgress(progress, udp, count, next);
        }
        long long wake = udp->dueAt[count] != 0 && keepAt < next ? keepAt : next;
        // Nothing comes to the asker between asks; a late answer is dropped.
        if (WaitForSocket(udp->asker, kWaitToReceive, wake) == 0) {
            char late[kStunDatagramSize];
            recv(udp->asker, late, sizeof(late), 0);
        }
        long long now = SteadyMilliseconds();
        if (now >= keepAt && udp->dueAt[count] != 0) {
            KeepAlive(udp, count);
            keepAt = now + kKeepAliveMs;
        }
        AskDue(udp, count, now, timers);
    }
    if (progress != nullptr) {
        std::fputs("\r\033[K", progress);
        std::fflush(progress);
    }
}

} // namespace

void StartCallTimers(const TimerLadder* ladder, CallTimers* timers) {
    std::memset(timers, 0, sizeof(*timers));
    timers->ladder = *ladder;
    for (int i = 0; i < kTimerRungs; ++i) {
        timers->udpLived[i] = kFactUnknown;
        timers->tcpLived[i] = kFactUnknown;
    }
    timers->outboundRefresh = kFactUnknown;
}

void ProbeUdpLifetime(const char* stunServer, std::FILE* progress, CallTimers* timers) {
    UdpLadder udp;
    std::memset(&udp, 0, sizeof(udp));
    int count = timers->ladder.count;
    bool sockets = (udp.asker = OpenStunSocket()) != INVALID_SOCKET;
    for (int i = 0; i <= count; ++i) {
        udp.sockets[i] = OpenStunSocket();
        sockets = sockets && udp.sockets[i] != INVALID_SOCKET;
    }
    if (!sockets) {
        Note(timers->udpReason, sizeof(timers->udpReason), "no UDP socket could be had");
    } else if (!ResolveStunServer(stunServer, &udp.server)) {
        Note(timers->udpReason, sizeof(timers->udpReason), "the STUN server cannot be found");
    } else {
        StartSilences(&udp, &timers->ladder, timers);
        WaitOutRungs(&udp, progress, timers);
    }
    for (int i = -1; i <= count; ++i) {
        SOCKET udpSocket = i < 0 ? udp.asker : udp.sockets[i];
        if (udpSocket != INVALID_SOCKET) {
            closesocket(udpSocket);
        }
    }
}

namespace {

// One held connection and the rungs it waits out in turn.
struct HeldConnection {
    SOCKET socket;
    int rungs[kTimerRungs];
    int rungCount;
    int next; // the rung now silent
    long long silentSince;
};

// Sends line and reads the answer that must begin with word, within
// kAnswerMs; false for anything else, or the connection's end.
bool Exchange(SOCKET socket, const char* line, const char* word) {
    long long deadline = SteadyMilliseconds() + kAnswerMs;
    int length = (int)std::strlen(line);
    char answer[64];
    if (WaitForSocket(socket, kWaitToSend, deadline) != 0 ||
        send(socket, line, length, 0) != length ||
        WaitForSocket(socket, kWaitToReceive, deadline) != 0) {
        return false;
    }
    int got = recv(socket, answer, sizeof(answer) - 1, 0);
    return got >= (int)std::strlen(word) && std::strncmp(answer, word, std::strlen(word)) == 0;
}

// A connection to the echo host's 1720 in held mode, or INVALID_SOCKET.
SOCKET Hold(const struct sockaddr_in* echo) {
    SOCKET connection = socket(AF_INET, SOCK_STREAM, 0);
    if (connection != INVALID_SOCKET &&
        (ConnectWithTimeout(connection, (const struct sockaddr*)echo, sizeof(*echo),
                            SteadyMilliseconds() + kConnectMs) != 0 ||
         !Exchange(connection, kHoldLine, kHeldWord))) {
        closesocket(connection);
        connection = INVALID_SOCKET;
    }
    return connection;
}

// The longest rung for the first connection; the shorter ones for the
// second, in turn, as far as their sum stays within the longest.
void PlanRungs(const TimerLadder* ladder, HeldConnection* held) {
    int top = ladder->count - 1;
    held[0].rungs[held[0].rungCount++] = top;
    int sum = 0;
    for (int i = 0; i < top && sum + ladder->seconds[i] <= ladder->seconds[top]; ++i) {
        sum += ladder->seconds[i];
        held[1].rungs[held[1].rungCount++] = i;
    }
}

// The connection due first, or null when none waits.
HeldConnection* DueFirst(HeldConnection* held, const TimerLadder* ladder) {
    HeldConnection* first = nullptr;
    long long firstAt = 0;
    for (int c = 0; c < 2; ++c) {
        HeldConnection* one = &held[c];
        if (one->socket == INVALID_SOCKET || one->next >= one->rungCount) {
            continue;
        }
        long long at = one->silentSince + ladder->seconds[one->rungs[one->next]] * 1000LL;
        if (first == nullptr || at < firstAt) {
            first = one;
            firstAt = at;
        }
    }
    return first;
}

// Waits out the due connection's rung; an end of the connection meanwhile
// ends its rungs as forgotten.
void WaitOutHeld(HeldConnection* one, const TimerLadder* ladder, CallTimers* timers) {
    int rung = one->rungs[one->next];
    long long at = one->silentSince + ladder->seconds[rung] * 1000LL;
    bool early = WaitForSocket(one->socket, kWaitToReceive, at) == 0;
    if (WaitsCutShort()) {
        return;
    }
    bool lived = !early && Exchange(one->socket, kPingLine, kPongWord);
    if (WaitsCutShort()) {
        return;
    }
    timers->tcpLived[rung] = lived ? kFactYes : kFactNo;
    one->silentSince = SteadyMilliseconds();
    ++one->next;
    if (!lived) {
        closesocket(one->socket);
        one->socket = INVALID_SOCKET;
    }
}

} // namespace

void ProbeTcpIdle(const char* echoHost, CallTimers* timers) {
    struct sockaddr_in echo;
    HeldConnection held[2];
    std::memset(held, 0, sizeof(held));
    PlanRungs(&timers->ladder, held);
    bool resolved = ResolveEndpoint(echoHost, kSignallingPort, &echo);
    for (HeldConnection& one : held) {
        one.socket = resolved ? Hold(&echo) : INVALID_SOCKET;
        one.silentSince = SteadyMilliseconds();
    }
    if (held[0].socket == INVALID_SOCKET) {
        Note(timers->tcpReason, sizeof(timers->tcpReason),
             "the echo host's TCP port 1720 does not hold a connection");
    }
    for (HeldConnection* one = DueFirst(held, &timers->ladder); one != nullptr && !WaitsCutShort();
         one = DueFirst(held, &timers->ladder)) {
        WaitOutHeld(one, &timers->ladder, timers);
    }
    for (HeldConnection& one : held) {
        if (one.socket != INVALID_SOCKET) {
            closesocket(one.socket);
        }
    }
}
