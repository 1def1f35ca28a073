// Threads with their Win32 names, over POSIX threads: CreateThread starts
// one, WaitForSingleObject with INFINITE joins it, and CloseHandle, after
// that wait, releases its handle. Thread handles only, and only the whole
// wait.
#pragma once

#include <cstddef>

#include "platform/posix/windef.h"

typedef void* HANDLE;
typedef void* LPVOID;
typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID);

#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0
#define WAIT_FAILED 0xFFFFFFFF

// Attributes, stack size and flags are taken as Windows' defaults (null,
// 0, 0), and no thread id is given; null when no thread can be had.
HANDLE CreateThread(void* attributes, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID argument, DWORD flags, DWORD* threadId);
DWORD WaitForSingleObject(HANDLE thread, DWORD milliseconds);
BOOL CloseHandle(HANDLE thread);
