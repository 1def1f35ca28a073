// Socket time-outs with Windows Sockets: a DWORD of milliseconds per
// direction, and a connect made non-blocking for as long as it waits.
#include "platform/platform.h"

namespace {

int SetBlocking(SOCKET socket, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(socket, FIONBIO, &nonBlocking);
}

// Windows reports a refused connection in the exception set, not the write set.
int WaitConnected(SOCKET socket, int milliseconds) {
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket, &writable);
    FD_SET(socket, &failed);
    struct timeval limit;
    limit.tv_sec = milliseconds / 1000;
    limit.tv_usec = (milliseconds % 1000) * 1000;
    if (select(0, nullptr, &writable, &failed, &limit) <= 0 || FD_ISSET(socket, &failed)) {
        return SOCKET_ERROR;
    }
    return FD_ISSET(socket, &writable) ? 0 : SOCKET_ERROR;
}

} // namespace

int SetSocketTimeouts(SOCKET socket, int milliseconds) {
    DWORD limit = (DWORD)milliseconds;
    if (setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, (const char*)&limit, sizeof(limit)) != 0 ||
        setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, (const char*)&limit, sizeof(limit)) != 0) {
        return SOCKET_ERROR;
    }
    return 0;
}

int SetSocketNoDelay(SOCKET socket) {
    BOOL on = TRUE;
    return setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, (const char*)&on, sizeof(on));
}

// Windows Sockets has no way to gather sends short of buffering them.
int HoldSends(SOCKET, int) {
    return 0;
}

int ConnectWithTimeout(SOCKET socket, const struct sockaddr* address, int length,
                       int milliseconds) {
    if (SetBlocking(socket, false) != 0) {
        return SOCKET_ERROR;
    }
    int result = 0;
    if (connect(socket, address, length) != 0) {
        result = WSAGetLastError() == WSAEWOULDBLOCK ? WaitConnected(socket, milliseconds)
                                                     : SOCKET_ERROR;
    }
    if (SetBlocking(socket, true) != 0) {
        return SOCKET_ERROR;
    }
    return result;
}
