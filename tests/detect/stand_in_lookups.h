// Stand-ins for the two address lookups, linked into a test program in place
// of the real ones. Each call answers from a script, writes down what the
// dialog showed at that moment, and may post one message to the dialog.
#pragma once

#include <string>

#include "platform/platform.h"

struct ScriptedAnswer {
    int found;
    const char* text;
};

// What the dialog showed when a lookup was called.
struct LookupCall {
    char lookup; // 'I' for the Internet lookup, 'L' for the local one
    std::string localField;
    std::string internetField;
    std::string notes;
    bool refreshEnabled;
};

struct LookupScript {
    HWND dialog;
    ScriptedAnswer internet;
    ScriptedAnswer local;
    // Posted to the dialog by call number n (counting both lookups from 0).
    UINT postMessage[16];
    WPARAM postWParam[16];
    LookupCall calls[16];
    int callCount;
};

extern LookupScript g_script;

// Both lookups succeed with these texts; no messages are posted.
void ResetScript(HWND dialog, const char* internetText, const char* localText);

// The calls made so far, as a string of 'I' and 'L'.
std::string CallOrder();

std::string ItemText(HWND dialog, int itemId);
