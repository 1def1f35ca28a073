// Socket waits with Windows Sockets: select on the socket and on the end
// socket of console_signals.h, and a connect made non-blocking.
#include "platform/platform.h"

#include <atomic>
#include <cstdint>

// GetTickCount wraps after 49.7 days: the clock is the latest reading moved
// on by the ticks since, told apart in 32 bits, so a wrap changes nothing.
// Threads read it side by side; the latest reading is the one kept (0
// before the first).
std::atomic<long long> g_latestTicks(0);

long long SteadyMilliseconds() {
    long long seen = g_latestTicks.load();
    DWORD ticks = GetTickCount();
    long long now = seen == 0 ? ticks : seen + (std::int32_t)(ticks - (DWORD)seen);
    while (now > seen && !g_latestTicks.compare_exchange_weak(seen, now)) {
    }
    return now;
}

int SetSocketNoDelay(SOCKET socket) {
    BOOL on = TRUE;
    return setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, (const char*)&on, sizeof(on));
}

// Windows Sockets has no way to gather sends short of buffering them.
int HoldSends(SOCKET, int) {
    return 0;
}

int SetListenerRebinding(SOCKET) {
    return 0;
}

int SetSocketNonBlocking(SOCKET socket) {
    u_long nonBlocking = 1;
    return ioctlsocket(socket, FIONBIO, &nonBlocking) == 0 ? 0 : SOCKET_ERROR;
}

int ConnectWithTimeout(SOCKET socket, const struct sockaddr* address, int length,
                       long long deadline) {
    if (SetSocketNonBlocking(socket) != 0) {
        return SOCKET_ERROR;
    }
    if (connect(socket, address, length) == 0) {
        return 0;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
        return SOCKET_ERROR;
    }
    return WaitForSocket(socket, kWaitToSend, deadline);
}

namespace {

// The time still left of a wait; false when none is.
bool WaitLeft(long long deadline, struct timeval* limit) {
    long long left = deadline - SteadyMilliseconds();
    limit->tv_sec = (long)(left / 1000);
    limit->tv_usec = (long)(left % 1000) * 1000;
    return left > 0;
}

// One select until deadline with the end socket in the receive set (one of
// its own when receive is null), where the console's requests to end are
// caught; the count of sockets that are ready, 0 when the wait ran out or
// was cut short.
int SelectUntil(fd_set* receive, fd_set* send, fd_set* failed, long long deadline) {
    struct timeval limit;
    if (EndRequested() || !WaitLeft(deadline, &limit)) {
        return 0;
    }
    fd_set endOnly;
    FD_ZERO(&endOnly);
    receive = receive != nullptr ? receive : &endOnly;
    if (EndSocket() != INVALID_SOCKET) {
        FD_SET(EndSocket(), receive);
    }
    int count = select(0, receive, send, failed, &limit);
    return EndRequested() ? 0 : count;
}

} // namespace

// Windows reports a refused connection in the exception set, not the write
// set.
int WaitForSocket(SOCKET socket, SocketWait wait, long long deadline) {
    bool receive = wait == kWaitToReceive;
    fd_set wanted;
    fd_set failed;
    FD_ZERO(&wanted);
    FD_ZERO(&failed);
    FD_SET(socket, &wanted);
    FD_SET(socket, &failed);
    int count = receive ? SelectUntil(&wanted, nullptr, nullptr, deadline)
                        : SelectUntil(nullptr, &wanted, &failed, deadline);
    return count > 0 && FD_ISSET(socket, &wanted) && (receive || !FD_ISSET(socket, &failed))
               ? 0
               : SOCKET_ERROR;
}

int WaitForSockets(const SOCKET* sockets, int count, long long deadline) {
    if (count < 1 || count > kMaxWaitSockets) {
        return SOCKET_ERROR;
    }
    fd_set ready;
    FD_ZERO(&ready);
    for (int i = 0; i < count; ++i) {
        FD_SET(sockets[i], &ready);
    }
    if (SelectUntil(&ready, nullptr, nullptr, deadline) > 0) {
        for (int i = 0; i < count; ++i) {
            if (FD_ISSET(sockets[i], &ready)) {
                return i;
            }
        }
    }
    return SOCKET_ERROR;
}

bool WaitsCutShort() {
    return EndRequested();
}

bool WaitForEnd(long long deadline) {
    // Without the end socket select has nothing to watch; Sleep waits then.
    if (EndSocket() == INVALID_SOCKET) {
        long long left = deadline - SteadyMilliseconds();
        Sleep(left > 0 ? (DWORD)left : 0);
    } else {
        SelectUntil(nullptr, nullptr, nullptr, deadline);
    }
    return EndRequested();
}
