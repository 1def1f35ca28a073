#include "app/main_dialog.h"

#include "app/resource.h"
#include "detect/detection.h"

// The host names here are the ones that the link captions and paragraphs of
// marvoly.rc show.
static const char kProductsUrl[] = "http://www.pelorin.com";
static const char kMakerUrl[] = "http://www.tolvaric.com/products/buy.tpl?product=KESTRAMO";

static void OpenPage(HWND dialog, const char* url) {
    ShellExecuteA(dialog, NULL, url, NULL, NULL, SW_SHOWNORMAL);
}

// Matched on the whole wParam: a command with a notification code in its high
// word is not a click, Enter or Esc, and is left alone.
static INT_PTR HandleCommand(HWND dialog, WPARAM wParam) {
    switch (wParam) {
    case IDOK:
        PostMessageA(dialog, WM_RUN_DETECTION, 0, 0);
        return FALSE;
    case IDCANCEL:
        EndDialog(dialog, 1);
        return TRUE;
    case IDC_MAKER_LINK:
        OpenPage(dialog, kMakerUrl);
        return TRUE;
    case IDC_PRODUCTS_LINK:
        OpenPage(dialog, kProductsUrl);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK MainDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(dialog);
        return TRUE;
    case WM_SHOWWINDOW:
        // Two runs queue up on first display; the second starts only when
        // the first is over.
        if (wParam == TRUE) {
            PostMessageA(dialog, WM_RUN_DETECTION, 0, 0);
            PostMessageA(dialog, WM_RUN_DETECTION, 0, 0);
        }
        return FALSE;
    case WM_COMMAND:
        return HandleCommand(dialog, wParam);
    case WM_RUN_DETECTION:
        RunDetection(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

void CenterWindow(HWND window) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) {
        return;
    }
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int x = GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2;
    int y = GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2;
    MoveWindow(window, x, y, width, height, FALSE);
}
