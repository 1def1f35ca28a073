// The main dialog: its procedure, the message that starts a detection run,
// and centring on the screen.
#pragma once

#include "terminal/win32.h"

// Posted by the dialog to itself, wParam and lParam 0; each one is one run.
#define WM_RUN_DETECTION (WM_APP + 1)

INT_PTR CALLBACK MainDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void CenterWindow(HWND window);
