// The program's module instance handle lives with the platform, as every
// Win32 program's does: WinMain receives it and the string loads read it.
#include "platform/platform.h"

HINSTANCE g_hInstance;
