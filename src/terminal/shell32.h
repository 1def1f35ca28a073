// The one shell32 call of the program.
#pragma once

#include "platform/posix/windef.h"

// shell32: opens a URL with the desktop's opener; operation, parameters and
// directory are not used. Gives a value above 32 when the opener started,
// 32 or less when it could not be started.
HINSTANCE ShellExecuteA(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, int show);
