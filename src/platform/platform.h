// The one include for operating-system calls below the dialog. The program
// above this layer calls the Windows Sockets 1.1 and kernel32 names directly;
// on Windows they are the system's own, and on POSIX systems the few of them
// that the program uses are supplied here, each by the file that its section
// names. The dialog's user32 and shell32 calls are the terminal's
// (terminal/win32.h).
#pragma once

#ifdef _WIN32

#include <windows.h>
#include <winsock.h>

// Exports from windows/console_signals.cpp: Ctrl-C, Ctrl-Break and the
// console's close ask the program to end.
#include "platform/windows/console_signals.h"

#else

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

// Exports from posix/winsock.cpp and posix/resolver.cpp: the socket
// library's start, its error codes, and gethostbyname as Windows Sockets
// answers it.
#include "platform/posix/winsock.h"

// Exports from posix/bounded_child.cpp: work in a child process bounded in
// time and memory, and the record it hands back.
#include "platform/posix/bounded_child.h"

// Exports from posix/text.cpp: lstrcpynA, wsprintfA and wvsprintfA.
#include "platform/posix/text.h"

// Exports from posix/signals.cpp: SIGINT, SIGTERM, SIGHUP, SIGQUIT and
// SIGWINCH caught, and the one pipe that the dialog's wait and the socket waits watch.
#include "platform/posix/signals.h"

// The basic Win32 types (posix/windef.h, declarations only).
#include "platform/posix/windef.h"

// Exports from posix/threads.cpp: CreateThread, WaitForSingleObject and
// CloseHandle for threads.
#include "platform/posix/threads.h"

#endif

// Exports from posix/socket_waits.cpp and windows/socket_waits.cpp: the
// steady clock, the connect and the socket waits with their time-out and
// deadline, and the sending options, in each platform's own form.
#include "platform/socket_waits.h"

// Exports from posix/random_bytes.cpp and windows/random_bytes.cpp: the
// system's randomness.
#include "platform/random_bytes.h"

// Exports from instance.cpp: the program's module instance, written once
// by WinMain before the dialog exists and read when strings are loaded.
extern HINSTANCE g_hInstance;

// The longest host name that gethostname must have room for, terminator
// included; Windows Sockets promises that 256 bytes always suffice.
const int kHostNameSize = 256;
