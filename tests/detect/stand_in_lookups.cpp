#include "stand_in_lookups.h"

#include "address/internet_address.h"
#include "address/local_address.h"
#include "detect/detection.h"

LookupScript g_script;

void ResetScript(HWND dialog, const char* internetText, const char* localText) {
    g_script = LookupScript();
    g_script.dialog = dialog;
    g_script.internet = {1, internetText};
    g_script.local = {1, localText};
}

std::string CallOrder() {
    std::string order;
    for (int i = 0; i < g_script.callCount; i++) {
        order += g_script.calls[i].lookup;
    }
    return order;
}

std::string ItemText(HWND dialog, int itemId) {
    char text[512];
    GetDlgItemTextA(dialog, itemId, text, sizeof(text));
    return text;
}

static int Answer(char lookup, const ScriptedAnswer* answer, char* text) {
    int n = g_script.callCount;
    if (n < 16) {
        HWND dialog = g_script.dialog;
        g_script.calls[n] = {lookup, ItemText(dialog, IDC_LOCAL_IP),
                             ItemText(dialog, IDC_INTERNET_IP), ItemText(dialog, IDC_NOTES),
                             IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE};
        if (g_script.postMessage[n] != 0) {
            PostMessageA(dialog, g_script.postMessage[n], g_script.postWParam[n], 0);
        }
        g_script.callCount++;
    }
    if (answer->found) {
        // The run hands each lookup a buffer of 64 bytes.
        lstrcpynA(text, answer->text, 64);
    }
    return answer->found;
}

int GetInternetAddress(char* text) {
    return Answer('I', &g_script.internet, text);
}

int GetLocalAddress(char* text) {
    return Answer('L', &g_script.local, text);
}
