// The readiness answers, row by row, from the facts that --deep finds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "reach/readiness.h"

namespace {

// Behind a plain translating router that lets everything out: the start of
// every row, which changes what it names.
const ReadinessFacts kPlainNat = {
    true,         false,    kPortMappingNone,     kFactUnknown, kCallUnreachable,
    kFactYes,     kFactYes, kEndpointIndependent, kMediaGood,   kFactNo,
    kFactNo, // the call's media, below: not found out
    kFactUnknown, true,     kFactUnknown,         50000,        50003,
    false, // not timed
    {},           {},       kFactUnknown};

struct ReadinessCase {
    const char* name;
    ReadinessFacts facts;
    const char* words; // calls out, calls in, media, quality, ALG
    bool caveat;
};

ReadinessFacts With(void (*change)(ReadinessFacts*)) {
    ReadinessFacts facts = kPlainNat;
    change(&facts);
    return facts;
}

const ReadinessCase kCases[] = {
    {"plain NAT", kPlainNat, "yes port-forward direct good none", false},
    {"reachable", With([](ReadinessFacts* f) { f->incomingCall = kCallReachable; }),
     "yes yes direct good none", false},
    {"double NAT", With([](ReadinessFacts* f) { f->doubleNat = kFactYes; }),
     "yes relay direct good none", false},
    {"routed behind a firewall", With([](ReadinessFacts* f) {
         f->behindNat = false;
         f->sameAddress = true;
         f->mapping = kBehaviourUnknown;
     }),
     "yes port-forward direct good none", true},
    {"routed and open", With([](ReadinessFacts* f) {
         f->behindNat = false;
         f->sameAddress = true;
         f->incomingCall = kCallReachable;
     }),
     "yes yes direct good none", false},
    {"1720 out blocked", With([](ReadinessFacts* f) { f->tcp1720Out = kFactNo; }),
     "no port-forward direct good none", false},
    {"UDP dropped", With([](ReadinessFacts* f) { f->udpPasses = kFactNo; }),
     "yes port-forward blocked good none", false},
    {"symmetric NAT", With([](ReadinessFacts* f) { f->mapping = kAddressAndPortDependent; }),
     "yes port-forward traversal good none", false},
    {"lossy", With([](ReadinessFacts* f) { f->grade = kMediaPoor; }),
     "yes port-forward direct poor none", false},
    {"ALG rewrites", With([](ReadinessFacts* f) { f->algRewrites = f->algPinhole = kFactYes; }),
     "yes port-forward direct good rewrites", false},
    {"ALG pinholes", With([](ReadinessFacts* f) { f->algPinhole = kFactYes; }),
     "yes port-forward direct good pinholes", false},
    {"media announced private, not let in",
     With([](ReadinessFacts* f) { f->mediaRewritten = f->farEndIn = kFactNo; }),
     "yes port-forward one-way good none", false},
    {"media rewritten and let in", With([](ReadinessFacts* f) {
         f->mediaRewritten = f->farEndIn = f->algRewrites = f->algPinhole = kFactYes;
     }),
     "yes port-forward helper good rewrites", false},
    {"media rewritten, not let in", With([](ReadinessFacts* f) {
         f->mediaRewritten = kFactYes;
         f->farEndIn = kFactNo;
         f->mapping = kAddressAndPortDependent;
     }),
     "yes port-forward traversal good none", false},
    {"public media address, not let in", With([](ReadinessFacts* f) {
         f->mediaRewritten = f->farEndIn = kFactNo;
         f->mediaPrivate = false;
     }),
     "yes port-forward direct good none", false},
    {"nothing known", With([](ReadinessFacts* f) {
         f->behindNat = false;
         f->incomingCall = kCallNoInternet;
         f->tcp1720Out = f->udpPasses = f->algRewrites = f->algPinhole = kFactUnknown;
         f->grade = kMediaUnmeasured;
     }),
     "unknown unknown unknown unknown unknown", false},
};

TEST(Readiness, AnswersEachRow) {
    for (const ReadinessCase& row : kCases) {
        Readiness readiness;
        JudgeReadiness(&row.facts, &readiness);
        const ReadinessAnswer* answers[] = {&readiness.callsOut, &readiness.callsIn,
                                            &readiness.media, &readiness.quality, &readiness.alg};
        std::string words;
        for (const ReadinessAnswer* answer : answers) {
            words += std::string(words.empty() ? "" : " ") + answer->word;
            // Whatever is not plainly fine says what to do.
            bool fine = std::string(" yes direct helper good none unknown ")
                            .find(std::string(" ") + answer->word + " ") != std::string::npos;
            EXPECT_EQ(fine, answer->advice == nullptr) << row.name << ": " << answer->word;
        }
        EXPECT_EQ(row.words, words) << row.name;
        EXPECT_EQ(row.caveat, readiness.noteCaveat != nullptr) << row.name;
        bool oneWay = std::string(readiness.media.word) == "one-way";
        EXPECT_EQ(oneWay, readiness.media.advice != nullptr &&
                              std::strstr(readiness.media.advice, "ports 50000-50003") != nullptr)
            << row.name;
    }
}

} // namespace
