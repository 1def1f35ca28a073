#include "app/main_dialog.h"
#include "app/resource.h"
#include "detect/detection.h"

// The command line and the show command mean nothing to this program, and
// every way out ends with exit code 0.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    g_hInstance = instance;
    WSADATA socketInfo;
    if (WSAStartup(MAKEWORD(1, 1), &socketInfo) != 0) {
        return 0;
    }
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDlgProc, 0);
    WSACleanup();
    return 0;
}
