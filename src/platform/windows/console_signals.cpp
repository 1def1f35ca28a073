// Ctrl-C and its kin through the console's control handler, which runs on
// a thread of its own: it only notes the request and sends the wake
// datagram.
#include "platform/platform.h"

namespace {

volatile LONG g_endRequested = 0;
SOCKET g_endSocket = INVALID_SOCKET;

BOOL WINAPI OnConsoleControl(DWORD) {
    InterlockedExchange(&g_endRequested, 1);
    send(g_endSocket, "", 1, 0);
    return TRUE;
}

// A UDP socket on 127.0.0.1 connected to itself.
SOCKET OpenEndSocket() {
    SOCKET end = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    struct sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (end == INVALID_SOCKET ||
        bind(end, (const struct sockaddr*)&address, sizeof(address)) != 0 ||
        getsockname(end, (struct sockaddr*)&address, &length) != 0 ||
        connect(end, (const struct sockaddr*)&address, sizeof(address)) != 0) {
        closesocket(end);
        return INVALID_SOCKET;
    }
    return end;
}

} // namespace

bool CatchSignals() {
    g_endSocket = OpenEndSocket();
    if (g_endSocket == INVALID_SOCKET) {
        return false;
    }
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    return true;
}

void ReleaseSignals() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    closesocket(g_endSocket);
    g_endSocket = INVALID_SOCKET;
}

bool EndRequested() {
    return g_endRequested != 0;
}

SOCKET EndSocket() {
    return g_endSocket;
}
