// The judgements of --deep, row by row, from records as the probes fill
// them: no network, no root.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "h323/setup_message.h"
#include "platform/platform.h"
#include "reach/incoming_call.h"
#include "reach/media_judgement.h"
#include "reach/port_mapping.h"
#include "reach/signalling_judgement.h"
#include "reach/watch_history.h"

namespace {

// What one STUN test saw: '-' never sent, 'x' sent and given up, 'e' an
// error answer, else answered from mapped port p of 11.84.0.1 ('1' to '3').
StunTransaction Seen(char seen) {
    StunTransaction test = {};
    test.sent = seen == '-' ? 0 : 1;
    test.over = true;
    test.answered = seen != '-' && seen != 'x';
    test.answer.type = seen == 'e' ? kStunBindingError : kStunBindingSuccess;
    if (seen >= '1' && seen <= '3') {
        test.answer.xorMappedAddress.sin_family = AF_INET;
        test.answer.xorMappedAddress.sin_addr.s_addr = inet_addr("11.84.0.1");
        test.answer.xorMappedAddress.sin_port = htons((unsigned short)(40000 + seen));
    }
    return test;
}

struct BehaviourCase {
    const char* seen; // the kBehaviourTests tests, in their order
    Behaviour mapping;
    Behaviour filtering;
    Fact hairpin;
};

const BehaviourCase kBehaviourCases[] = {
    {"1111111", kEndpointIndependent, kEndpointIndependent, kFactYes},
    {"1122x1x", kAddressDependent, kAddressDependent, kFactNo},
    {"1123xx-", kAddressAndPortDependent, kAddressAndPortDependent, kFactUnknown},
    {"11-----", kBehaviourUnknown, kBehaviourUnknown, kFactUnknown},
    {"x12x-x-", kBehaviourUnknown, kBehaviourUnknown, kFactUnknown},
    // An error answer says nothing of the mapping nor of the filtering.
    {"1e-1ee-", kBehaviourUnknown, kBehaviourUnknown, kFactUnknown},
    {"11e-xex", kBehaviourUnknown, kBehaviourUnknown, kFactNo},
};

TEST(Judgement, MappingFilteringAndHairpin) {
    for (const BehaviourCase& row : kBehaviourCases) {
        StunTransaction tests[kBehaviourTests];
        for (int i = 0; i < kBehaviourTests; ++i) {
            tests[i] = Seen(row.seen[i]);
        }
        EXPECT_EQ(row.mapping, JudgeMapping(tests)) << row.seen;
        EXPECT_EQ(row.filtering, JudgeFiltering(tests)) << row.seen;
        EXPECT_EQ(row.hairpin, JudgeHairpin(tests)) << row.seen;
    }
}

struct AddressCase {
    const char* address;
    int port;
    const char* server; // port 3478
    bool other;         // usable as OTHER-ADDRESS
    bool mapped;        // believed as a mapped address
};

const AddressCase kAddressCases[] = {
    {"11.84.0.81", 3479, "11.84.0.80", true, true},
    {"11.84.0.81", 3478, "11.84.0.80", false, true}, // the server's own port
    {"11.84.0.80", 3479, "11.84.0.80", false, true}, // the server's own address
    {"10.0.0.9", 3479, "10.0.0.8", true, true},      // a server on the LAN
    {"10.0.0.9", 3479, "11.84.0.80", false, true},   // routed, not translated
    {"192.168.1.9", 3479, "10.0.0.8", false, true},
    {"127.0.0.1", 3479, "11.84.0.80", false, false},
    {"224.0.0.1", 3479, "11.84.0.80", false, false},
    {"255.255.255.255", 3479, "11.84.0.80", false, false},
    {"0.1.2.3", 3479, "11.84.0.80", false, false},
    {"100.64.0.9", 3479, "11.84.0.80", false, true},
    {"127.0.0.2", 3479, "127.0.0.1", true, true},
    {"11.84.0.81", 0, "11.84.0.80", false, false},
};

TEST(Judgement, WhereTheServerMayAimTheProbe) {
    for (const AddressCase& row : kAddressCases) {
        struct sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = inet_addr(row.address);
        address.sin_port = htons((unsigned short)row.port);
        struct sockaddr_in server = address;
        server.sin_addr.s_addr = inet_addr(row.server);
        server.sin_port = htons(3478);
        EXPECT_EQ(row.other, UsableOtherAddress(&address, &server)) << row.address;
        EXPECT_EQ(row.mapped, UsableMappedAddress(&address, &server)) << row.address;
    }
}

TEST(Judgement, MediaQuality) {
    // 20 requests 20 ms apart; every fifth lost, the answers' round trips
    // 40 ms but for one of 140 ms, which the next request's answer passes.
    StunTransaction requests[20] = {};
    int arrival = 0;
    for (int i = 0; i < 20; ++i) {
        requests[i].sentAt = 20 * i;
        requests[i].answered = i % 5 != 4;
        requests[i].answeredAt = requests[i].sentAt + (i == 2 ? 140 : 40);
    }
    for (int i : {0, 1, 3, 2, 5, 6, 7, 8, 10, 11, 12, 13, 15, 16, 17, 18}) {
        requests[i].arrival = arrival++;
    }
    MediaQuality quality;
    JudgeMediaQuality(requests, 20, &quality);
    EXPECT_EQ(16, quality.received);
    EXPECT_DOUBLE_EQ(20.0, quality.lossPercent);
    EXPECT_EQ(40, quality.rttMedianMs);
    EXPECT_EQ(140, quality.rttP95Ms);
    EXPECT_EQ(1, quality.reordered);
    // Two changes of 100 ms, then eleven of none.
    EXPECT_NEAR((6.25 + (100 - 6.25) / 16) * std::pow(15.0 / 16, 11), quality.jitterMs, 0.01);
    EXPECT_EQ(kMediaPoor, quality.grade);
    JudgeMediaQuality(requests, 0, &quality);
    EXPECT_EQ(kMediaUnmeasured, quality.grade);

    const int sorted[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(5, Percentile(sorted, 10, 50));
    EXPECT_EQ(10, Percentile(sorted, 10, 95));
    EXPECT_EQ(1, Percentile(sorted, 1, 95));
    struct {
        double loss, jitter;
        int rtt;
        MediaGrade grade;
    } const grades[] = {{1.0, 30, 300, kMediaGood}, {1.1, 0, 0, kMediaFair},
                        {0, 30.5, 0, kMediaFair},   {0, 0, 301, kMediaFair},
                        {5.1, 0, 0, kMediaPoor},    {0, 50.5, 0, kMediaPoor},
                        {0, 0, 801, kMediaPoor},    {5.0, 50, 800, kMediaFair}};
    for (const auto& row : grades) {
        MediaQuality graded = {};
        graded.lossPercent = row.loss;
        graded.jitterMs = row.jitter;
        graded.rttMedianMs = row.rtt;
        EXPECT_EQ(row.grade, GradeMedia(&graded))
            << row.loss << " " << row.jitter << " " << row.rtt;
    }
}

TEST(Judgement, SetupEcho) {
    unsigned char sent[kSetupSize];
    SetupFields fields = {inet_addr("10.84.0.2"), 40000, 40001, {}, {}, {50000, 50002}};
    BuildSetup(&fields, sent);
    unsigned char echoed[kSetupSize + 2];
    struct {
        int changed; // the offset changed, or -1
        int length;
        Fact rewrites;
        int altered; // how many altered, the first of them
        int first;
    } const rows[] = {{-1, kSetupSize, kFactNo, 0, 0},
                      {kSetupH245PortOffset, kSetupSize, kFactYes, 0, 0},
                      {kSetupSignalAddressOffset + 3, kSetupSize, kFactYes, 0, 0},
                      {kSetupMediaOffsets[kMediaVideo][kMediaRtcp] + 5, kSetupSize, kFactYes, 0, 0},
                      {6, kSetupSize, kFactNo, 1, 6},
                      {-1, kSetupSize + 2, kFactNo, 2, kSetupSize},
                      {-1, kSetupSize - 1, kFactNo, 1, kSetupSize - 1}};
    for (const auto& row : rows) {
        std::memcpy(echoed, sent, kSetupSize);
        if (row.changed >= 0) {
            echoed[row.changed] ^= 0x40;
        }
        CallSignalling facts = {};
        JudgeSetupEcho(sent, echoed, row.length, &facts);
        EXPECT_EQ(row.rewrites, facts.rewritesAddresses) << row.changed << " " << row.length;
        EXPECT_EQ(row.altered, facts.alteredCount) << row.changed << " " << row.length;
        EXPECT_TRUE(row.altered == 0 || row.first == facts.alteredBytes[0]);
    }
}

TEST(Judgement, MediaAddresses) {
    unsigned char sent[kSetupSize];
    SetupFields fields = {inet_addr("10.84.0.2"), 40000, 40001, {}, {}, {50000, 50002}};
    BuildSetup(&fields, sent);
    unsigned char echoed[kSetupSize];
    struct {
        int changed, length; // an offset changed (or -1), the echo's length
        Fact rewritten;
        unsigned short videoRtcp; // as it arrived
    } const rows[] = {
        {-1, kSetupSize, kFactNo, 50003},
        {kSetupMediaOffsets[kMediaAudio][kMediaRtp], kSetupSize, kFactYes, 50003},
        {kSetupMediaOffsets[kMediaVideo][kMediaRtcp] + 5, kSetupSize, kFactYes, 50003 ^ 0x40},
        {kSetupH245PortOffset, kSetupSize, kFactNo, 50003},
        {-1, kSetupSize - 1, kFactUnknown, 0}};
    for (const auto& row : rows) {
        std::memcpy(echoed, sent, kSetupSize);
        if (row.changed >= 0) {
            echoed[row.changed] ^= 0x40;
        }
        MediaAddresses media = {};
        JudgeMediaEcho(sent, echoed, row.length, &media);
        EXPECT_EQ(row.rewritten, media.rewritten) << row.changed;
        EXPECT_EQ(row.videoRtcp, media.arrivedPorts[kMediaVideo][kMediaRtcp]) << row.changed;
    }
    struct {
        FarEndSeen seen;
        bool privateAddress;
        Fact rewritten, audio, video;
        const char* reason; // the start of it, or "-" for none
    } const farEnd[] = {
        {{false, false, {false, false}}, true, kFactUnknown, kFactUnknown, kFactUnknown, "-"},
        {{true, false, {false, false}}, true, kFactNo, kFactUnknown, kFactUnknown, "the STUN"},
        {{true, true, {false, false}}, true, kFactNo, kFactNo, kFactNo, "the announced"},
        {{true, true, {false, false}}, false, kFactNo, kFactNo, kFactNo, "the router"},
        {{true, true, {false, false}}, true, kFactYes, kFactNo, kFactNo, "the router"},
        {{true, false, {true, false}}, true, kFactYes, kFactYes, kFactNo, "let in at the rew"},
        {{true, true, {true, true}}, false, kFactNo, kFactYes, kFactYes, "let in at the ann"},
    };
    for (const auto& row : farEnd) {
        MediaAddresses media = {};
        media.rewritten = row.rewritten;
        JudgeFarEndMedia(&row.seen, row.privateAddress, &media);
        EXPECT_EQ(row.audio, media.farEndIn[kMediaAudio]) << row.reason;
        EXPECT_EQ(row.video, media.farEndIn[kMediaVideo]) << row.reason;
        std::string reason = media.farEndReason != nullptr ? media.farEndReason : "-";
        EXPECT_EQ(row.reason, reason.substr(0, std::strlen(row.reason)));
    }
}

TEST(Judgement, PortPreservation) {
    const struct {
        unsigned short even, odd;
        PortPreservation preservation;
    } rows[] = {{50000, 50001, kPortsKept},    {1024, 1025, kPortsParity},
                {1025, 1026, kPortsChanged},   {1024, 1027, kPortsChanged},
                {50001, 50000, kPortsChanged}, {0, 50001, kPortsUnknown},
                {50000, 0, kPortsUnknown}};
    for (const auto& row : rows) {
        EXPECT_EQ(row.preservation, JudgePortPreservation(50000, row.even, row.odd))
            << row.even << " " << row.odd;
    }
}

TEST(Judgement, CallBacks) {
    struct {
        CallBackSeen seen;
        Fact pinhole;
        Fact inboundOpen;
    } const rows[] = {
        // A helper on the path: only the port that the Setup named.
        {{kWordReached, true, kWordUnreached, false}, kFactYes, kFactNo},
        // An open path: both, and no pinhole.
        {{kWordReached, true, kWordReached, true}, kFactNo, kFactYes},
        {{kWordUnreached, false, kWordUnreached, false}, kFactNo, kFactNo},
        // Something else answered: this machine was not reached.
        {{kWordReached, false, kWordReached, false}, kFactNo, kFactNo},
        // An echo host that does not make the control call.
        {{kWordReached, true, kWordNone, false}, kFactUnknown, kFactUnknown},
        {{kWordReached, true, kWordNotTried, false}, kFactUnknown, kFactUnknown},
        {{kWordNotTried, false, kWordNotTried, false}, kFactUnknown, kFactUnknown},
        {{kWordNone, false, kWordNone, false}, kFactUnknown, kFactUnknown},
    };
    for (const auto& row : rows) {
        CallSignalling facts = {};
        JudgeCallBack(&row.seen, &facts);
        EXPECT_EQ(row.pinhole, facts.opensH245Pinhole) << row.seen.h245 << row.seen.control;
        EXPECT_EQ(row.inboundOpen, facts.inboundOpen) << row.seen.h245 << row.seen.control;
    }
}

TEST(Judgement, CallBackPage) {
    struct {
        int status;
        const char* body;
        bool answered;
        IncomingCall call;
    } const rows[] = {
        {200, "<html><body>reachable</body>", true, kCallReachable},
        {200, "<html><body>reachable</body>", false, kCallUnreachable},
        {200, "<html><body>unreachable</body>", true, kCallUnreachable},
        {429, "<html><body>reachable</body>", true, kCallRateLimited},
        {200, "<html><body>maybe</body>", true, kCallNoCallBack},
        {200, nullptr, true, kCallNoCallBack},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.call, JudgeCallBackPage(row.status, row.body, row.answered))
            << row.status << " " << (row.body != nullptr ? row.body : "null");
    }
}

// The external address's ranges at their edges, against the echo page's
// view (null when that lookup failed).
TEST(Judgement, DoubleNat) {
    struct {
        PortMappingProtocol protocol;
        const char* external;
        const char* internet;
        Fact doubleNat;
    } const rows[] = {
        {kPortMappingNone, "", "11.84.0.1", kFactUnknown},
        {kPortMappingUpnp, "11.84.0.1", "11.84.0.1", kFactNo},
        {kPortMappingNatPmp, "192.168.1.2", "11.84.0.1", kFactYes},
        {kPortMappingUpnp, "100.127.255.255", "11.84.0.1", kFactYes},
        {kPortMappingUpnp, "100.128.0.1", "100.128.0.1", kFactNo},
        {kPortMappingUpnp, "172.31.0.1", "11.84.0.1", kFactYes},
        {kPortMappingUpnp, "172.32.0.1", "11.84.0.9", kFactYes},
        {kPortMappingUpnp, "11.84.0.1", nullptr, kFactUnknown},
        {kPortMappingUpnp, "", "11.84.0.1", kFactYes},
    };
    for (const auto& row : rows) {
        PortMapping mapping = {};
        mapping.protocol = row.protocol;
        lstrcpynA(mapping.externalAddress, row.external, sizeof(mapping.externalAddress));
        EXPECT_EQ(row.doubleNat, JudgeDoubleNat(&mapping, row.internet)) << row.external;
    }
}

} // namespace

namespace {

MediaQuality Round(double loss, int rtt, MediaGrade grade) {
    MediaQuality quality = {};
    quality.sent = 150;
    quality.lossPercent = loss;
    quality.rttMedianMs = rtt;
    quality.rttP95Ms = rtt * 2;
    quality.grade = grade;
    return quality;
}

} // namespace

// A day and a round more: the oldest round leaves the kept ones but stays
// in the totals; the medians are of the kept measured rounds.
TEST(WatchHistory, KeepsADayAndCountsEveryRound) {
    static WatchHistory history;
    WatchPoint first = {0, Round(40, 900, kMediaPoor)};
    AddWatchPoint(&history, &first);
    for (int i = 1; i <= kWatchHistory; ++i) {
        WatchPoint point = {i, i % 3 == 0 ? Round(0, 0, kMediaUnmeasured)
                                          : Round(i % 2, 10 + i % 5, kMediaGood)};
        AddWatchPoint(&history, &point);
    }
    EXPECT_EQ(kWatchHistory, history.count);
    EXPECT_EQ(1, WatchPointAt(&history, 0)->at);
    EXPECT_EQ(kWatchHistory + 1, history.rounds);
    EXPECT_EQ(kWatchHistory - kWatchHistory / 3, history.good);
    EXPECT_EQ(900, history.worst.rttMedianMs);
    EXPECT_EQ(kMediaPoor, history.worst.grade);
    MediaQuality median;
    WatchMedians(&history, &median);
    EXPECT_EQ(kWatchHistory - kWatchHistory / 3, median.sent);
    EXPECT_EQ(12, median.rttMedianMs);
    EXPECT_EQ(24, median.rttP95Ms);
}
