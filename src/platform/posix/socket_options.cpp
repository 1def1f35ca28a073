// Socket time-outs with BSD sockets: a timeval per direction, and a connect
// made non-blocking for as long as it waits.
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>

#include "platform/platform.h"

// This file supplies the replacements; below, the names mean the system's own.
#undef recv
#undef send

namespace {

long long MonotonicMilliseconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

// A signal that interrupts the wait does not end it early: the wait goes on
// for the time still left.
int WaitConnected(SOCKET socket, int milliseconds) {
    long long deadline = MonotonicMilliseconds() + milliseconds;
    for (;;) {
        long long left = deadline - MonotonicMilliseconds();
        struct pollfd entry = {socket, POLLOUT, 0};
        int ready = poll(&entry, 1, left > 0 ? (int)left : 0);
        if (ready > 0) {
            int error = 0;
            socklen_t length = sizeof(error);
            getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length);
            return error == 0 ? 0 : SOCKET_ERROR;
        }
        if (ready == 0 || errno != EINTR) {
            return SOCKET_ERROR;
        }
    }
}

} // namespace

int SetSocketTimeouts(SOCKET socket, int milliseconds) {
    struct timeval limit;
    limit.tv_sec = milliseconds / 1000;
    limit.tv_usec = (milliseconds % 1000) * 1000;
    if (setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit)) != 0 ||
        setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit)) != 0) {
        return SOCKET_ERROR;
    }
    return 0;
}

int SetSocketNoDelay(SOCKET socket) {
    int on = 1;
    return setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on)) == 0 ? 0 : SOCKET_ERROR;
}

int HoldSends(SOCKET socket, int hold) {
#if defined(TCP_CORK)
    return setsockopt(socket, IPPROTO_TCP, TCP_CORK, &hold, sizeof(hold)) == 0 ? 0 : SOCKET_ERROR;
#elif defined(TCP_NOPUSH)
    return setsockopt(socket, IPPROTO_TCP, TCP_NOPUSH, &hold, sizeof(hold)) == 0 ? 0 : SOCKET_ERROR;
#else
    (void)socket;
    (void)hold;
    return 0;
#endif
}

int ConnectWithTimeout(SOCKET socket, const struct sockaddr* address, int length,
                       int milliseconds) {
    int flags = fcntl(socket, F_GETFL);
    if (flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) != 0) {
        return SOCKET_ERROR;
    }
    int result = 0;
    if (connect(socket, address, (socklen_t)length) != 0) {
        result = errno == EINPROGRESS ? WaitConnected(socket, milliseconds) : SOCKET_ERROR;
    }
    if (fcntl(socket, F_SETFL, flags) != 0) {
        return SOCKET_ERROR;
    }
    return result;
}

ssize_t WinsockRecv(SOCKET socket, void* buffer, size_t length, int flags) {
    ssize_t result;
    do {
        result = recv(socket, buffer, length, flags);
    } while (result < 0 && errno == EINTR);
    return result;
}

ssize_t WinsockSend(SOCKET socket, const void* buffer, size_t length, int flags) {
    ssize_t result;
    do {
        result = send(socket, buffer, length, flags);
    } while (result < 0 && errno == EINTR);
    return result;
}
