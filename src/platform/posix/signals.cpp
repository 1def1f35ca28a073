// One pipe for every caught signal, and what the signals asked for.
#include "platform/posix/signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGWINCH};
const int kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);

volatile sig_atomic_t g_endRequested = 0;
volatile sig_atomic_t g_resized = 0;
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[kSignalCount];
sigset_t g_previousMask;

void OnSignal(int number) {
    int saved = errno;
    if (number == SIGWINCH) {
        g_resized = 1;
    } else {
        g_endRequested = 1;
    }
    unsigned char byte = (unsigned char)number;
    if (write(g_pipe[1], &byte, 1) < 0) {
        // Full: the waits have enough to wake up for.
    }
    errno = saved;
}

bool OpenPipe() {
    if (pipe(g_pipe) != 0) {
        return false;
    }
    for (int end : g_pipe) {
        fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
        fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    return true;
}

} // namespace

// Installed before anything else (a terminal library) can put its own
// handlers there. SA_RESTART: a signal must not fail the calls of a run.
bool CatchSignals() {
    if (!OpenPipe()) {
        return false;
    }
    sigprocmask(SIG_SETMASK, nullptr, &g_previousMask);
    HoldResize(true);
    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = OnSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], &action, &g_previous[i]);
    }
    return true;
}

void ReleaseSignals() {
    for (int i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], &g_previous[i], nullptr);
    }
    sigprocmask(SIG_SETMASK, &g_previousMask, nullptr);
    for (int& end : g_pipe) {
        close(end);
        end = -1;
    }
}

int SignalPipe() {
    return g_pipe[0];
}

void DrainSignalPipe() {
    unsigned char bytes[64];
    while (read(g_pipe[0], bytes, sizeof(bytes)) > 0) {
    }
}

void RequestEnd() {
    g_endRequested = 1;
}

bool EndRequested() {
    return g_endRequested != 0;
}

// A signal between the test and the clearing asks for what is being
// served already; one before the test is never lost.
bool TakeEndRequest() {
    if (g_endRequested == 0) {
        return false;
    }
    g_endRequested = 0;
    return true;
}

bool TakeResize() {
    if (g_resized == 0) {
        return false;
    }
    g_resized = 0;
    return true;
}

void HoldResize(bool hold) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGWINCH);
    sigprocmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}
