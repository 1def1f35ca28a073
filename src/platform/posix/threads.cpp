// A thread's handle is its record: the POSIX thread and what it runs.
#include "platform/posix/threads.h"

#include <pthread.h>

#include <cstdlib>

namespace {

struct Thread {
    pthread_t thread;
    LPTHREAD_START_ROUTINE start;
    LPVOID argument;
};

void* Run(void* record) {
    const Thread* thread = (const Thread*)record;
    thread->start(thread->argument);
    return nullptr;
}

} // namespace

HANDLE CreateThread(void*, std::size_t, LPTHREAD_START_ROUTINE start, LPVOID argument, DWORD,
                    DWORD*) {
    Thread* thread = (Thread*)std::malloc(sizeof(Thread));
    if (thread == nullptr) {
        return nullptr;
    }
    thread->start = start;
    thread->argument = argument;
    if (pthread_create(&thread->thread, nullptr, Run, thread) != 0) {
        std::free(thread);
        return nullptr;
    }
    return thread;
}

DWORD WaitForSingleObject(HANDLE thread, DWORD) {
    return pthread_join(((Thread*)thread)->thread, nullptr) == 0 ? WAIT_OBJECT_0 : WAIT_FAILED;
}

BOOL CloseHandle(HANDLE thread) {
    std::free(thread);
    return TRUE;
}
