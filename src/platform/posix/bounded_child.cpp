// The child is bounded three ways: the parent ends it when its time is up,
// its own alarm ends it should the parent be gone, and RLIMIT_AS makes its
// allocations fail beyond its share of memory.
#include "platform/posix/bounded_child.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {

// The address space that the program maps now, or 0 where the system does
// not tell; there only the time bounds the child.
long long MappedBytes() {
    int file = open("/proc/self/statm", O_RDONLY);
    if (file < 0) {
        return 0;
    }
    char text[64];
    ssize_t got = read(file, text, sizeof(text) - 1);
    close(file);
    if (got <= 0) {
        return 0;
    }
    text[got] = '\0';
    return std::atoll(text) * sysconf(_SC_PAGESIZE);
}

void LimitChild(int milliseconds, long long extraBytes) {
    long long mapped = MappedBytes();
    if (mapped > 0) {
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = (rlim_t)(mapped + extraBytes);
        setrlimit(RLIMIT_AS, &limit);
    }
    alarm((unsigned)(milliseconds / 1000 + 2));
}

} // namespace

int StartBoundedChild(BoundedChild* child, int milliseconds, long long extraBytes) {
    int ends[2];
    if (pipe(ends) != 0) {
        return kNoChild;
    }
    child->deadline = SteadyMilliseconds() + milliseconds;
    child->process = fork();
    if (child->process < 0) {
        close(ends[0]);
        close(ends[1]);
        return kNoChild;
    }
    bool inChild = child->process == 0;
    close(ends[inChild ? 0 : 1]);
    child->pipe = ends[inChild ? 1 : 0];
    if (inChild) {
        LimitChild(milliseconds, extraBytes);
    }
    return inChild ? kInChild : kInParent;
}

// _exit: what the parent has buffered or registered to run at its exit is
// the parent's alone.
void AnswerParent(const BoundedChild* child, const void* record, int size) {
    ssize_t written = write(child->pipe, record, (size_t)size);
    _exit(written == size ? 0 : 1);
}

// The record comes whole in one read or not at all. The pipe is waited for as any socket is: the
// wait also ends when the program is asked to end.
bool AwaitChild(BoundedChild* child, void* record, int size) {
    bool whole = WaitForSocket(child->pipe, kWaitToReceive, child->deadline) == 0 &&
                 read(child->pipe, record, (size_t)size) == size;
    kill(child->process, SIGKILL);
    waitpid(child->process, nullptr, 0);
    close(child->pipe);
    if (!whole) {
        std::memset(record, 0, (size_t)size);
    }
    return whole;
}
