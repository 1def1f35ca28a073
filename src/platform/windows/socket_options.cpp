// Socket waits with Windows Sockets: select on the socket, and a connect
// made non-blocking.
#include "platform/platform.h"

// GetTickCount wraps after 49.7 days; every wrap seen adds its 2^32 here.
long long SteadyMilliseconds() {
    static DWORD last = 0;
    static long long wraps = 0;
    DWORD now = GetTickCount();
    if (now < last) {
        wraps += 1LL << 32;
    }
    last = now;
    return wraps + now;
}

int SetSocketNoDelay(SOCKET socket) {
    BOOL on = TRUE;
    return setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, (const char*)&on, sizeof(on));
}

// Windows Sockets has no way to gather sends short of buffering them.
int HoldSends(SOCKET, int) {
    return 0;
}

int ConnectWithTimeout(SOCKET socket, const struct sockaddr* address, int length, int milliseconds,
                       long long deadline) {
    u_long nonBlocking = 1;
    if (ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) {
        return SOCKET_ERROR;
    }
    if (connect(socket, address, length) == 0) {
        return 0;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
        return SOCKET_ERROR;
    }
    return WaitForSocket(socket, kWaitToSend, milliseconds, deadline);
}

namespace {

// The time still left of a wait, at most milliseconds; false when none is.
bool WaitLeft(int milliseconds, long long deadline, struct timeval* limit) {
    long long left = deadline - SteadyMilliseconds();
    if (left > milliseconds) {
        left = milliseconds;
    }
    limit->tv_sec = (long)(left / 1000);
    limit->tv_usec = (long)(left % 1000) * 1000;
    return left > 0;
}

} // namespace

// Windows reports a refused connection in the exception set, not the write
// set; select is not cut short by anything, so one call is the whole wait.
int WaitForSocket(SOCKET socket, SocketWait wait, int milliseconds, long long deadline) {
    struct timeval limit;
    if (!WaitLeft(milliseconds, deadline, &limit)) {
        return SOCKET_ERROR;
    }
    bool receive = wait == kWaitToReceive;
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    if (!receive) {
        FD_SET(socket, &failed);
    }
    int count = select(0, receive ? &ready : nullptr, receive ? nullptr : &ready, &failed, &limit);
    return count > 0 && FD_ISSET(socket, &ready) && !FD_ISSET(socket, &failed) ? 0 : SOCKET_ERROR;
}

int WaitForSockets(const SOCKET* sockets, int count, int milliseconds, long long deadline) {
    struct timeval limit;
    if (count < 1 || count > kMaxWaitSockets || !WaitLeft(milliseconds, deadline, &limit)) {
        return SOCKET_ERROR;
    }
    fd_set ready;
    FD_ZERO(&ready);
    for (int i = 0; i < count; ++i) {
        FD_SET(sockets[i], &ready);
    }
    if (select(0, &ready, nullptr, nullptr, &limit) > 0) {
        for (int i = 0; i < count; ++i) {
            if (FD_ISSET(sockets[i], &ready)) {
                return i;
            }
        }
    }
    return SOCKET_ERROR;
}
