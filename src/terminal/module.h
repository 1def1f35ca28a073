// The program's own module, which holds its resources.
#pragma once

#include "platform/posix/windef.h"

// kernel32: the program's own module for a null name, which holds the
// embedded resources; null for any other name.
HMODULE GetModuleHandleA(LPCSTR name);
