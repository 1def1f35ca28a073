// The one include for the dialog's calls: the user32, shell32 and module
// calls of the main dialog and its program entry. On Windows they are the
// system's own; on POSIX systems the terminal supplies them, each by the
// file that its section names.
#pragma once

#include "platform/platform.h"

#ifdef _WIN32

#include <shellapi.h>

#else

// Exports from user32.cpp: the dialog calls, over the dialog manager of
// dialog.cpp and the view of terminal.cpp.
#include "terminal/user32.h"

// Exports from shell32.cpp: ShellExecuteA.
#include "terminal/shell32.h"

// Exports from module.cpp: GetModuleHandleA, the program's own embedded
// resources.
#include "terminal/module.h"

// Exports from winmain.cpp: RunWinMain, which the program's main calls to
// start its WinMain.
#include "terminal/winmain.h"

#endif
