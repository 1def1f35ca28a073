// The verdict of a detection run: which of the five notes the two lookups'
// results call for.
#pragma once

#include "platform/platform.h"

// The note's string id (IDS_NOT_BEHIND_FIREWALL ... IDS_NEITHER_IP_KNOWN) for
// whether each lookup found an address and the two dotted texts; a text is
// read only when its lookup found it.
UINT ChooseVerdict(int foundLocal, const char* localText, int foundInternet,
                   const char* internetText);
