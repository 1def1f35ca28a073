// Windows Sockets start-up, error codes and text helpers over POSIX.
#include "platform/posix/winsock.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

#define WSAEFAULT 10014
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093

const int kFormatBufferSize = 1024; // wvsprintfA writes at most this many bytes

int g_startCount = 0;
int g_socketError = 0;

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

char* lstrcpynA(char* destination, const char* source, int max) {
    if (max <= 0) {
        return destination;
    }
    int i = 0;
    for (; i < max - 1 && source[i] != '\0'; ++i) {
        destination[i] = source[i];
    }
    destination[i] = '\0';
    return destination;
}

int wvsprintfA(char* output, const char* format, va_list arguments) {
    int length = std::vsnprintf(output, kFormatBufferSize, format, arguments);
    if (length < 0) {
        output[0] = '\0';
        return 0;
    }
    return length < kFormatBufferSize ? length : kFormatBufferSize - 1;
}

int wsprintfA(char* output, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int length = wvsprintfA(output, format, arguments);
    va_end(arguments);
    return length;
}
