#include "detect/detection.h"

#include "address/internet_address.h"
#include "address/local_address.h"
#include "detect/verdict.h"

// Puts a lookup's address into its field, or the field's failure text.
static void ShowLookup(HWND dialog, int itemId, int found, const char* text, UINT failureId) {
    if (found) {
        SetDlgItemTextA(dialog, itemId, text);
    } else {
        SetItemTextFromResource(dialog, itemId, failureId);
    }
}

void RunDetection(HWND dialog) {
    char internetText[64];
    char localText[64];

    EnableItem(dialog, IDOK, FALSE);
    SetItemTextFromResource(dialog, IDC_LOCAL_IP, IDS_DETECTING);
    SetItemTextFromResource(dialog, IDC_INTERNET_IP, IDS_DETECTING);
    SetDlgItemTextA(dialog, IDC_NOTES, "");

    // The Internet lookup always runs first, whatever it gives.
    int foundInternet = GetInternetAddress(internetText) != 0;
    ShowLookup(dialog, IDC_INTERNET_IP, foundInternet, internetText, IDS_NO_INTERNET_IP);
    int foundLocal = GetLocalAddress(localText) != 0;
    ShowLookup(dialog, IDC_LOCAL_IP, foundLocal, localText, IDS_NO_LOCAL_IP);

    SetItemTextFromResource(dialog, IDC_NOTES,
                            ChooseVerdict(foundLocal, localText, foundInternet, internetText));
    EnableItem(dialog, IDOK, TRUE);
}
