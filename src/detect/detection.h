// One detection run over the main dialog, and the two dialog-item helpers it
// uses.
#pragma once

#include "detect/detect_ids.h"
#include "terminal/win32.h"

// Fills the two address fields and the verdict note; returns when the run is
// over and Refresh is enabled again.
void RunDetection(HWND dialog);

// A string that cannot be loaded leaves the item's text as it was.
void SetItemTextFromResource(HWND dialog, int itemId, UINT stringId);

// Enabling also gives the item the keyboard focus; a missing item is skipped.
void EnableItem(HWND dialog, int itemId, BOOL enable);
