// The verdict table: which note the two lookups' results call for.
#include <gtest/gtest.h>

#include "detect/detect_ids.h"
#include "detect/verdict.h"

namespace {

struct VerdictCase {
    int foundLocal;
    const char* local;
    int foundInternet;
    const char* internet;
    UINT note;
};

// A text whose lookup failed is never read: the table passes null for it.
const VerdictCase kVerdicts[] = {
    {1, "203.0.113.7", 1, "203.0.113.7", IDS_NOT_BEHIND_FIREWALL},
    {1, "192.168.0.10", 1, "203.0.113.7", IDS_BEHIND_FIREWALL},
    {1, "10.0.0.1", 1, "10.0.0.10", IDS_BEHIND_FIREWALL},
    {1, "10.0.0.1", 0, nullptr, IDS_INTERNET_IP_UNDETERMINED},
    {0, nullptr, 1, "203.0.113.7", IDS_LOCAL_IP_UNDETERMINED},
    {0, nullptr, 0, nullptr, IDS_NEITHER_IP_KNOWN},
};

TEST(Verdict, FollowsTheTable) {
    for (const VerdictCase& row : kVerdicts) {
        EXPECT_EQ(row.note,
                  ChooseVerdict(row.foundLocal, row.local, row.foundInternet, row.internet))
            << (row.local ? row.local : "-") << " / " << (row.internet ? row.internet : "-");
    }
}

} // namespace
