// ShellExecuteA: a URL goes to the desktop's opener, started without a shell.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "terminal/shell32.h"

namespace {

#ifdef __APPLE__
const char kOpener[] = "open";
#else
const char kOpener[] = "xdg-open";
#endif

// Results as Windows counts them: above 32 is success.
const std::intptr_t kStarted = 42;
const std::intptr_t kOutOfResources = 8;
const std::intptr_t kNoOpener = 31; // no application for the file

// Every descriptor above standard error closes when the opener starts.
void CloseAboveStandardOnExec() {
#ifdef CLOSE_RANGE_CLOEXEC
    if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0) {
        return;
    }
#endif
    struct rlimit limit;
    int count = getrlimit(RLIMIT_NOFILE, &limit) == 0 ? (int)limit.rlim_cur : 1024;
    for (int descriptor = 3; descriptor < count; ++descriptor) {
        fcntl(descriptor, F_SETFD, FD_CLOEXEC);
    }
}

// The opener with the signal state of a fresh program, its standard
// descriptors on /dev/null and no other. When it cannot be started, errno
// goes into the report pipe, which otherwise closes as the opener starts.
[[noreturn]] void ExecOpener(const char* url, int report) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (null > STDERR_FILENO) {
            close(null);
        }
    }
    CloseAboveStandardOnExec();
    char* arguments[] = {const_cast<char*>(kOpener), const_cast<char*>(url), nullptr};
    execvp(kOpener, arguments);
    int error = errno;
    if (write(report, &error, sizeof(error)) < 0) {
        // Nobody to tell: the pipe's close reports the failure as well.
    }
    _exit(127);
}

// The intermediate child, in a session of its own so that the terminal's
// signals do not reach the opener; it ends as soon as the opener is forked.
[[noreturn]] void StartDetached(const char* url, int report) {
    setsid();
    pid_t opener = fork();
    if (opener == 0) {
        ExecOpener(url, report);
    }
    _exit(opener < 0 ? 1 : 0);
}

} // namespace

// The opener runs detached: it belongs to init and leaves no zombie. The
// report pipe tells whether it could be started: it reaches its end with
// nothing in it exactly when the exec succeeded.
HINSTANCE ShellExecuteA(HWND, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, int) {
    int report[2];
    if (file == nullptr || pipe(report) != 0) {
        return (HINSTANCE)kOutOfResources;
    }
    fcntl(report[0], F_SETFD, FD_CLOEXEC);
    fcntl(report[1], F_SETFD, FD_CLOEXEC);
    pid_t child = fork();
    if (child == 0) {
        StartDetached(file, report[1]);
    }
    close(report[1]);
    int status = 0;
    while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t told;
    do {
        told = read(report[0], &error, sizeof(error));
    } while (told < 0 && errno == EINTR);
    close(report[0]);
    if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return (HINSTANCE)kOutOfResources;
    }
    return (HINSTANCE)(told == 0 ? kStarted : kNoOpener);
}
