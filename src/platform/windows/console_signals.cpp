// Ctrl-C and its kin through the console's control handler, which runs on
// a thread of its own: it only notes the request and sets the event.
#include "platform/platform.h"

namespace {

volatile LONG g_endRequested = 0;
HANDLE g_endEvent = nullptr;

BOOL WINAPI OnConsoleControl(DWORD) {
    InterlockedExchange(&g_endRequested, 1);
    SetEvent(g_endEvent);
    return TRUE;
}

} // namespace

bool CatchSignals() {
    g_endEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (g_endEvent == nullptr) {
        return false;
    }
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    return true;
}

void ReleaseSignals() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    CloseHandle(g_endEvent);
    g_endEvent = nullptr;
}

bool EndRequested() {
    return g_endRequested != 0;
}

HANDLE EndEvent() {
    return g_endEvent;
}
