// The user32 calls of the dialog, with their Win32 names, types and
// constants. The dialog is drawn in the terminal; its template and strings
// come from the compiled resource file that is embedded in the program.
#pragma once

#include "platform/posix/windef.h"
#include "terminal/styles.h"

#define WM_SHOWWINDOW 0x0018
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_APP 0x8000
#define BN_CLICKED 0

#define IDOK 1
#define IDCANCEL 2

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SW_SHOWNORMAL 1
#define SW_SHOWDEFAULT 10

// user32
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure,
                        LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HWND GetDlgItem(HWND dialog, int id);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
HWND SetFocus(HWND window);
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferSize);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int bufferSize);
BOOL GetWindowRect(HWND window, LPRECT rect);
int GetSystemMetrics(int index);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
