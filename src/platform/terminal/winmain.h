// The program's entry point, which the platform's main calls with what
// Windows would give it.
#pragma once

#include "platform/posix/windef.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);
