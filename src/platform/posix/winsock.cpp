// Windows Sockets start-up and error codes over POSIX.
#include "platform/posix/winsock.h"

#include "platform/posix/text.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#undef recvfrom

namespace {

#define WSAEFAULT 10014
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093

// Starts may come from the probes' threads; the last error is each
// thread's own, as under Windows Sockets.
std::atomic<int> g_startCount(0);
thread_local int g_socketError = 0;

} // namespace

int WSAStartup(WORD versionRequested, WSADATA* data) {
    BYTE major = (BYTE)(versionRequested & 0xFF);
    BYTE minor = (BYTE)(versionRequested >> 8);
    if (major < 1) {
        return WSAVERNOTSUPPORTED;
    }
    if (data == nullptr) {
        return WSAEFAULT;
    }
    // A peer that closes while we send must give an error result, not end
    // the program: Windows Sockets has no such signal.
    signal(SIGPIPE, SIG_IGN);
    std::memset(data, 0, sizeof(*data));
    bool above = major > 2 || (major == 2 && minor > 2);
    data->wVersion = above ? MAKEWORD(2, 2) : versionRequested;
    data->wHighVersion = MAKEWORD(2, 2);
    lstrcpynA(data->szDescription, "BSD sockets", sizeof(data->szDescription));
    lstrcpynA(data->szSystemStatus, "Running", sizeof(data->szSystemStatus));
    data->iMaxSockets = 32767;
    data->iMaxUdpDg = 65467;
    ++g_startCount;
    return 0;
}

int WSACleanup() {
    if (g_startCount == 0) {
        g_socketError = WSANOTINITIALISED;
        return SOCKET_ERROR;
    }
    --g_startCount;
    return 0;
}

int WSAGetLastError() {
    return g_socketError;
}

void WSASetLastError(int error) {
    g_socketError = error;
}

int closesocket(SOCKET socket) {
    return close(socket) == 0 ? 0 : SOCKET_ERROR;
}

int getsockname(SOCKET socket, struct sockaddr* name, int* length) {
    socklen_t size = (socklen_t)*length;
    int result = getsockname(socket, name, &size);
    *length = (int)size;
    return result;
}

int WinsockRecvFrom(SOCKET socket, char* buffer, int size, int flags, struct sockaddr* from,
                    int* fromSize) {
    socklen_t length = (socklen_t)*fromSize;
    ssize_t got = ::recvfrom(socket, buffer, (size_t)size, flags, from, &length);
    *fromSize = (int)length;
    return got < 0 ? SOCKET_ERROR : (int)got;
}
