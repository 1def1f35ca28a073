#include "reach/watch_history.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The figures of the kept measured rounds, each sorted; how many.
struct Figures {
    double loss[kWatchHistory];
    int median[kWatchHistory];
    int p95[kWatchHistory];
    double jitter[kWatchHistory];
};

int SortedFigures(const WatchHistory* history, Figures* figures) {
    int count = 0;
    for (int i = 0; i < history->count; ++i) {
        const MediaQuality* quality = &WatchPointAt(history, i)->quality;
        if (quality->grade != kMediaUnmeasured) {
            figures->loss[count] = quality->lossPercent;
            figures->median[count] = quality->rttMedianMs;
            figures->p95[count] = quality->rttP95Ms;
            figures->jitter[count] = quality->jitterMs;
            ++count;
        }
    }
    std::sort(figures->loss, figures->loss + count);
    std::sort(figures->median, figures->median + count);
    std::sort(figures->p95, figures->p95 + count);
    std::sort(figures->jitter, figures->jitter + count);
    return count;
}

} // namespace

const WatchPoint* WatchPointAt(const WatchHistory* history, int i) {
    return &history->points[(history->first + i) % kWatchHistory];
}

void AddWatchPoint(WatchHistory* history, const WatchPoint* point) {
    if (history->count == kWatchHistory) {
        history->first = (history->first + 1) % kWatchHistory;
        --history->count;
    }
    history->points[(history->first + history->count) % kWatchHistory] = *point;
    ++history->count;
    ++history->rounds;
    const MediaQuality* quality = &point->quality;
    history->good += quality->grade == kMediaGood ? 1 : 0;
    if (quality->grade == kMediaUnmeasured) {
        return;
    }
    MediaQuality* worst = &history->worst;
    worst->sent += 1;
    worst->lossPercent = std::max(worst->lossPercent, quality->lossPercent);
    worst->rttMedianMs = std::max(worst->rttMedianMs, quality->rttMedianMs);
    worst->rttP95Ms = std::max(worst->rttP95Ms, quality->rttP95Ms);
    worst->jitterMs = std::max(worst->jitterMs, quality->jitterMs);
    worst->grade = std::max(worst->grade, quality->grade);
}

void WatchMedians(const WatchHistory* history, MediaQuality* median) {
    *median = {};
    // About 35 KB: a block of its own rather than the stack, freed below.
    Figures* figures = (Figures*)std::calloc(1, sizeof(Figures));
    int count = figures != nullptr ? SortedFigures(history, figures) : 0;
    median->sent = count;
    if (count > 0) {
        int middle = (count - 1) / 2;
        median->lossPercent = figures->loss[middle];
        median->rttMedianMs = figures->median[middle];
        median->rttP95Ms = figures->p95[middle];
        median->jitterMs = figures->jitter[middle];
    }
    std::free(figures);
}
