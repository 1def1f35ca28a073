#include "detect/verdict.h"

#include <cstring>

#include "detect/detect_ids.h"

// Texts are compared only when both lookups found an address; both are
// formatted the same way, so equal texts mean equal addresses.
UINT ChooseVerdict(int foundLocal, const char* localText, int foundInternet,
                   const char* internetText) {
    if (foundLocal && foundInternet) {
        return std::strcmp(localText, internetText) == 0 ? IDS_NOT_BEHIND_FIREWALL
                                                         : IDS_BEHIND_FIREWALL;
    }
    if (foundLocal) {
        return IDS_INTERNET_IP_UNDETERMINED;
    }
    return foundInternet ? IDS_LOCAL_IP_UNDETERMINED : IDS_NEITHER_IP_KNOWN;
}
