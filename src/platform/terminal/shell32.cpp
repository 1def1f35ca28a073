// ShellExecuteA: a URL goes to the desktop's opener, started without a shell.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/terminal/shell32.h"

namespace {

#ifdef __APPLE__
const char kOpener[] = "open";
#else
const char kOpener[] = "xdg-open";
#endif

const std::intptr_t kStarted = 42; // above 32: success, as Windows counts it
const std::intptr_t kOutOfResources = 8;

// The opener with the signal state of a fresh program, its output on
// /dev/null, in a session of its own so that the terminal's signals do not
// reach it.
[[noreturn]] void ExecOpener(const char* url) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
    }
    char* arguments[] = {const_cast<char*>(kOpener), const_cast<char*>(url), nullptr};
    execvp(kOpener, arguments);
    _exit(127);
}

} // namespace

// The opener runs detached: an intermediate child starts it and ends at once,
// and is reaped here, so the opener belongs to init and leaves no zombie.
HINSTANCE ShellExecuteA(HWND, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, int) {
    if (file == nullptr) {
        return (HINSTANCE)kOutOfResources;
    }
    pid_t child = fork();
    if (child < 0) {
        return (HINSTANCE)kOutOfResources;
    }
    if (child == 0) {
        setsid();
        pid_t opener = fork();
        if (opener == 0) {
            ExecOpener(file);
        }
        _exit(opener < 0 ? 1 : 0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    bool started = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return (HINSTANCE)(started ? kStarted : kOutOfResources);
}
