// Which of the machine's addresses is taken as its local address.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "address/local_address.h"
#include "platform/platform.h"

namespace {

std::string Dotted(uint32_t address) {
    struct in_addr value;
    value.s_addr = address;
    return inet_ntoa(value);
}

// The list as gethostbyname hands it out: pointers to four octets each,
// ended by a null pointer.
std::string Choose(const std::vector<const char*>& dotted) {
    std::vector<uint32_t> values;
    for (const char* text : dotted) {
        values.push_back(inet_addr(text));
    }
    std::vector<char*> list;
    for (uint32_t& value : values) {
        list.push_back((char*)&value);
    }
    list.push_back(nullptr);
    return Dotted(ChooseHostAddress(list.data()));
}

int IsPrivate(const char* dotted) {
    uint32_t value = inet_addr(dotted);
    unsigned char octets[4];
    std::memcpy(octets, &value, sizeof(octets));
    return IsPrivateAddress(octets);
}

} // namespace

TEST(ChoiceRule, LastAddressOutsideThePrivateRangesWins) {
    struct Case {
        std::vector<const char*> list;
        const char* chosen;
    } cases[] = {
        {{"192.168.1.10", "203.0.113.7"}, "203.0.113.7"},
        {{"203.0.113.7", "10.0.0.2"}, "203.0.113.7"},
        {{"203.0.113.7", "198.51.100.4"}, "198.51.100.4"},
        {{"10.1.1.1", "169.254.3.4", "192.168.0.9"}, "169.254.3.4"},
        {{"127.0.1.1", "192.168.1.5"}, "127.0.1.1"},
        {{"127.0.0.1", "172.15.255.255", "172.32.0.0"}, "172.32.0.0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.chosen, Choose(c.list)) << "first entry " << c.list[0];
    }
}

TEST(ChoiceRule, FirstAddressWhenNoneQualifies) {
    EXPECT_EQ("10.0.0.2", Choose({"10.0.0.2", "192.168.0.3"}));
    EXPECT_EQ("127.0.0.1", Choose({"127.0.0.1"}));
    EXPECT_EQ("172.16.0.1", Choose({"172.16.0.1", "127.0.0.1", "10.9.9.9"}));
    // 0.0.0.0 is not private, but as a candidate it means "none".
    EXPECT_EQ("192.168.1.2", Choose({"192.168.1.2", "0.0.0.0"}));
}

TEST(ChoiceRule, SingleAddressIsTakenWhateverItIs) {
    for (const char* address : {"10.0.0.2", "203.0.113.7", "0.0.0.0", "255.255.255.255"}) {
        EXPECT_EQ(address, Choose({address}));
    }
}

TEST(PrivateRanges, BoundariesOfEachRange) {
    struct Case {
        const char* address;
        int isPrivate;
    } cases[] = {
        {"10.0.0.0", 1},    {"10.255.255.255", 1},  {"9.255.255.255", 0},   {"11.0.0.0", 0},
        {"172.16.0.0", 1},  {"172.31.255.255", 1},  {"172.15.255.255", 0},  {"172.32.0.0", 0},
        {"192.168.0.0", 1}, {"192.168.255.255", 1}, {"192.167.255.255", 0}, {"192.169.0.0", 0},
        {"127.0.0.1", 1},   {"127.0.0.0", 0},       {"127.0.0.2", 0},       {"127.0.1.1", 0},
        {"127.1.0.1", 0},   {"169.254.0.0", 0},     {"169.254.255.255", 0}, {"0.0.0.0", 0},
        {"203.0.113.7", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.isPrivate, IsPrivate(c.address)) << c.address;
    }
}
