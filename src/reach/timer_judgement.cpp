#include "reach/timer_judgement.h"

#include <cstdlib>

bool ReadTimerLadder(const char* text, TimerLadder* ladder) {
    TimerLadder read = {};
    const char* at = text;
    while (read.count < kTimerRungs) {
        char* end = nullptr;
        long seconds = std::strtol(at, &end, 10);
        int previous = read.count > 0 ? read.seconds[read.count - 1] : 0;
        if (end == at || seconds <= previous || seconds > 200 || (*end != ',' && *end != '\0')) {
            return false;
        }
        read.seconds[read.count++] = (int)seconds;
        if (*end == '\0') {
            *ladder = read;
            return true;
        }
        at = end + 1;
    }
    return false;
}

void JudgeTimer(const TimerLadder* ladder, const Fact* lived, TimerBounds* bounds) {
    *bounds = TimerBounds();
    bounds->longest = ladder->count > 0 ? ladder->seconds[ladder->count - 1] : 0;
    for (int i = 0; i < ladder->count; ++i) {
        bounds->known = bounds->known || lived[i] != kFactUnknown;
        if (lived[i] == kFactYes && ladder->seconds[i] > bounds->atLeast) {
            bounds->atLeast = ladder->seconds[i];
        }
    }
    // A shorter silence forgotten below a longer one that lived says less
    // than the longer one does.
    for (int i = 0; i < ladder->count; ++i) {
        int seconds = ladder->seconds[i];
        if (lived[i] == kFactNo && seconds > bounds->atLeast &&
            (bounds->lessThan == 0 || seconds < bounds->lessThan)) {
            bounds->lessThan = seconds;
        }
    }
}
