// The program's WinMain, and the call that starts it with what Windows would
// give it.
#pragma once

#include "platform/posix/windef.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

// WinMain with the program's own module, the arguments after the program's
// name as one command line, and the default show command; gives its result.
int RunWinMain(int argc, char** argv);
