// Socket waits with BSD sockets: poll on the socket and on the pipe that
// every caught signal writes to, and a connect made non-blocking.
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>

#include "platform/platform.h"

long long SteadyMilliseconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
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

int SetListenerRebinding(SOCKET socket) {
    int on = 1;
    return setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) == 0 ? 0 : SOCKET_ERROR;
}

int SetSocketNonBlocking(SOCKET socket) {
    int flags = fcntl(socket, F_GETFL);
    return flags >= 0 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0 ? 0 : SOCKET_ERROR;
}

int ConnectWithTimeout(SOCKET socket, const struct sockaddr* address, int length,
                       long long deadline) {
    if (SetSocketNonBlocking(socket) != 0) {
        return SOCKET_ERROR;
    }
    if (connect(socket, address, (socklen_t)length) == 0) {
        return 0;
    }
    if (errno != EINPROGRESS || WaitForSocket(socket, kWaitToSend, deadline) != 0) {
        return SOCKET_ERROR;
    }
    int error = 0;
    socklen_t size = sizeof(error);
    getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size);
    return error == 0 ? 0 : SOCKET_ERROR;
}

namespace {

// The index of the first of count sockets where events came, or
// SOCKET_ERROR. A signal that does not ask to end (a resize, say) leaves
// the wait going for the time still left; its byte is taken from the pipe,
// what it told stays noted for the dialog.
int PollSockets(const SOCKET* sockets, int count, short events, long long deadline) {
    if (count < 1 || count > kMaxWaitSockets) {
        return SOCKET_ERROR;
    }
    struct pollfd entries[kMaxWaitSockets + 1];
    for (long long now = SteadyMilliseconds(); !EndRequested() && now < deadline;
         now = SteadyMilliseconds()) {
        for (int i = 0; i < count; ++i) {
            entries[i] = {sockets[i], events, 0};
        }
        entries[count] = {SignalPipe(), POLLIN, 0};
        int ready = poll(entries, (nfds_t)count + 1, (int)(deadline - now));
        if (ready < 0 && errno != EINTR) {
            return SOCKET_ERROR;
        }
        // A request to end stays in the pipe, so that the waits of every
        // other thread end at once too.
        if (ready > 0 && entries[count].revents != 0 && !EndRequested()) {
            DrainSignalPipe();
        }
        for (int i = 0; ready > 0 && i < count && !EndRequested(); ++i) {
            if (entries[i].revents != 0) {
                return i;
            }
        }
    }
    return SOCKET_ERROR;
}

} // namespace

int WaitForSocket(SOCKET socket, SocketWait wait, long long deadline) {
    short events = wait == kWaitToReceive ? POLLIN : POLLOUT;
    return PollSockets(&socket, 1, events, deadline) == 0 ? 0 : SOCKET_ERROR;
}

int WaitForSockets(const SOCKET* sockets, int count, long long deadline) {
    return PollSockets(sockets, count, POLLIN, deadline);
}

bool WaitsCutShort() {
    return EndRequested();
}

bool WaitForEnd(long long deadline) {
    for (long long now = SteadyMilliseconds(); !EndRequested() && now < deadline;
         now = SteadyMilliseconds()) {
        struct pollfd entry = {SignalPipe(), POLLIN, 0};
        if (poll(&entry, entry.fd >= 0 ? 1 : 0, (int)(deadline - now)) > 0) {
            DrainSignalPipe();
        }
    }
    return EndRequested();
}
