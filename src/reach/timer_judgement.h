// How long a router keeps a silent call's UDP mapping and TCP connection,
// judged from a ladder of silences that each ended with a question: did
// the mapping or connection still carry an answer? Pure functions, so that
// every row can be tested without waiting minutes.
#pragma once

#include "reach/fact.h"

// The most silences one run waits out.
const int kTimerRungs = 8;

// The silences, in seconds, shortest first.
struct TimerLadder {
    int seconds[kTimerRungs];
    int count;
};

// The user's ladder: it spans a home router's 30 s and RFC 4787's 2 min,
// and its longest rung keeps the run within about 3.5 minutes.
const TimerLadder kDefaultLadder = {{10, 20, 40, 70, 120, 200}, 6};

// "S,S,..." (seconds, rising, at most kTimerRungs, each 1 to 200) into
// ladder; false, ladder untouched, for anything else.
bool ReadTimerLadder(const char* text, TimerLadder* ladder);

// What one rung found: yes, it lived; no, it was forgotten; unknown when
// it was never asked (the run ended first, or the rung was not tried).
struct TimerBounds {
    bool known;   // some rung was asked
    int atLeast;  // the longest silence that lived, 0 when none did
    int lessThan; // the shortest longer one that was forgotten; 0 when none was
    int longest;  // the ladder's longest silence
};

void JudgeTimer(const TimerLadder* ladder, const Fact* lived, TimerBounds* bounds);
