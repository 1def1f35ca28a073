// The one include for operating-system calls. The program above this layer
// calls the Win32 and Windows Sockets 1.1 names directly; on POSIX systems
// the few of them that it uses are supplied by src/platform/posix/.
#pragma once

#ifdef _WIN32

#include <windows.h>
#include <winsock.h>
#include <shellapi.h>

#else

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdint>

#include "platform/posix/winsock.h"
#include "platform/posix/user32.h"

#endif

#include "platform/socket_options.h"
