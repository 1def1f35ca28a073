#include "detect/detection.h"

void SetItemTextFromResource(HWND dialog, int itemId, UINT stringId) {
    char text[256];
    if (LoadStringA(g_hInstance, stringId, text, sizeof(text)) != 0) {
        SetDlgItemTextA(dialog, itemId, text);
    }
}

void EnableItem(HWND dialog, int itemId, BOOL enable) {
    HWND item = GetDlgItem(dialog, itemId);
    if (item == NULL) {
        return;
    }
    EnableWindow(item, enable);
    if (enable) {
        SetFocus(item);
    }
}
