// The ladder of silences, the bounds judged from its rungs and the hold
// answer judged from the bounds, row by row.
#include <gtest/gtest.h>

#include <string>

#include "reach/readiness.h"
#include "reach/timer_judgement.h"

namespace {

std::string BoundsText(const TimerBounds& bounds) {
    return !bounds.known ? "null"
                         : std::to_string(bounds.atLeast) + " " +
                               (bounds.lessThan == 0 ? "null" : std::to_string(bounds.lessThan));
}

// "y", "n" or "?" a rung of the default ladder.
TimerBounds Judged(const char* rungs) {
    Fact lived[kTimerRungs] = {};
    for (int i = 0; rungs[i] != '\0'; ++i) {
        lived[i] = rungs[i] == 'y' ? kFactYes : rungs[i] == 'n' ? kFactNo : kFactUnknown;
    }
    TimerBounds bounds;
    JudgeTimer(&kDefaultLadder, lived, &bounds);
    return bounds;
}

} // namespace

TEST(TimerLadder, ReadsOnlyRisingSeconds) {
    const struct {
        const char* text;
        const char* read; // null: refused
    } cases[] = {
        {"10,20,40", "10 20 40"},
        {"5", "5"},
        {"1,2,3,4,5,6,7,8", "1 2 3 4 5 6 7 8"},
        {"1,2,3,4,5,6,7,8,9", nullptr},
        {"20,10", nullptr},
        {"10,10", nullptr},
        {"0,10", nullptr},
        {"10,201", nullptr},
        {"10,", nullptr},
        {"", nullptr},
        {"10;20", nullptr},
        {"10,x", nullptr},
    };
    for (const auto& c : cases) {
        TimerLadder ladder = {{99}, 1};
        ASSERT_EQ(c.read != nullptr, ReadTimerLadder(c.text, &ladder)) << c.text;
        std::string read;
        for (int i = 0; i < ladder.count; ++i) {
            read += (i == 0 ? "" : " ") + std::to_string(ladder.seconds[i]);
        }
        EXPECT_EQ(c.read != nullptr ? c.read : "99", read) << c.text;
    }
}

TEST(TimerBounds, BracketTheRouterTimer) {
    const struct {
        const char* rungs; // of 10, 20, 40, 70, 120, 200
        const char* bounds;
    } cases[] = {
        {"yynnnn", "20 40"},    // 30 s, a home router's
        {"yyyyyy", "200 null"}, // outlives the ladder
        {"nnnnnn", "0 10"},     // shorter than the shortest rung
        {"yy????", "20 null"},  // cut short: the open bound is unknown
        {"??????", "null"},     // nothing asked
        {"ynyynn", "70 120"},   // a lost answer below a longer one that lived
        {"yyyy?n", "70 200"},   // a rung not tried
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.bounds, BoundsText(Judged(c.rungs))) << c.rungs;
    }
}

TEST(Readiness, AnswersHold) {
    const struct {
        bool timed;
        const char* udp;
        Fact refresh;
        const char* tcp;
        const char* hold; // the word, and the keep-alive interval the advice names
    } cases[] = {
        {true, "yyyyyy", kFactYes, "yyyy?y", "ok"},
        {true, "yynnnn", kFactYes, "yyyy?y", "keep-alive 20"},
        {true, "yyyyyy", kFactYes, "yyyn?n", "keep-alive 40"},
        {true, "yynnnn", kFactYes, "yn???n", "keep-alive 10"},
        {true, "nnnnnn", kFactNo, "yyyy?y", "keep-alive 5"},
        {true, "yyyyyy", kFactNo, "yyyy?y", "keep-alive"},
        {true, "yyyyyy", kFactYes, "??????", "unknown"},
        {true, "yy????", kFactUnknown, "y?????", "unknown"}, // ended early
        {true, "??????", kFactUnknown, "??????", "unknown"},
        {false, "??????", kFactUnknown, "??????", "unknown"},
    };
    for (const auto& c : cases) {
        ReadinessFacts facts = {};
        facts.timed = c.timed;
        facts.udpLifetime = Judged(c.udp);
        facts.tcpIdle = Judged(c.tcp);
        facts.outboundRefresh = c.refresh;
        Readiness readiness;
        JudgeReadiness(&facts, &readiness);
        const ReadinessAnswer& hold = readiness.hold;
        std::string found = hold.word;
        std::string advice = hold.advice != nullptr ? hold.advice : "";
        size_t every = advice.find("every ");
        if (every != std::string::npos) {
            found += " " + std::to_string(std::stoi(advice.substr(every + 6)));
        }
        EXPECT_EQ(c.hold, found) << c.udp << " " << c.tcp;
        EXPECT_EQ(found == "ok" || found == "unknown", hold.advice == nullptr) << found;
    }
}
