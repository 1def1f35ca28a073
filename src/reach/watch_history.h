// The rounds of --watch as far back as the page shows them, and what all
// rounds came to: a bounded record however long the watch runs.
#pragma once

#include "reach/media_judgement.h"

// A day of rounds at one a minute; older rounds count in the totals only.
const int kWatchHistory = 1440;

struct WatchPoint {
    long long at; // seconds since 1970, UTC
    MediaQuality quality;
};

struct WatchHistory {
    WatchPoint points[kWatchHistory]; // a ring: the oldest kept at first
    int first;
    int count;
    int rounds;         // every round added
    int good;           // of them, graded good
    MediaQuality worst; // the worst of each figure, over every measured round
};

// The ith kept round, oldest first.
const WatchPoint* WatchPointAt(const WatchHistory* history, int i);

void AddWatchPoint(WatchHistory* history, const WatchPoint* point);

// The median of each figure over the kept rounds that were measured; sent
// is how many were.
void WatchMedians(const WatchHistory* history, MediaQuality* median);
