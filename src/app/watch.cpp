#include "app/watch.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "address/internet_address.h"
#include "app/command.h"
#include "app/deep_report.h"
#include "app/html_report.h"
#include "platform/platform.h"

namespace {

const char* YesNo(Fact fact) {
    return fact == kFactYes ? "yes" : fact == kFactNo ? "no" : "unknown";
}

// A fact that is not what it was the round before: its JSON key, its
// words, and what it is now.
struct Change {
    const char* key;
    const char* label;
    const char* now;
};

int Changes(const WatchRound* round, const WatchRound* before, Change* changes) {
    if (before == nullptr) {
        return 0;
    }
    int count = 0;
    if (std::strcmp(round->internetAddress, before->internetAddress) != 0) {
        const char* now = round->internetAddress[0] != '\0' ? round->internetAddress : "unknown";
        changes[count++] = {"internet_address", "Internet address", now};
    }
    if (round->udpPasses != before->udpPasses) {
        changes[count++] = {"udp_passes", "UDP out", YesNo(round->udpPasses)};
    }
    if (round->tcp1720Out != before->tcp1720Out) {
        changes[count++] = {"tcp_1720_out", "TCP 1720 out", YesNo(round->tcp1720Out)};
    }
    return count;
}

void TimeText(long long at, char* text, int size) {
    std::time_t seconds = (std::time_t)at;
    std::strftime(text, size, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&seconds));
}

void WriteTextLine(const WatchRound* round, const char* when, const Change* changed, int count) {
    const MediaQuality* quality = &round->quality;
    const char* grade = MediaGradeName(quality->grade);
    std::printf("%s  ", when);
    if (grade != nullptr) {
        std::printf("loss %5.1f %%  round trip %d/%d ms  jitter %.1f ms  %s", quality->lossPercent,
                    quality->rttMedianMs, quality->rttP95Ms, quality->jitterMs, grade);
    } else {
        std::printf("media not measured");
    }
    for (int i = 0; i < count; ++i) {
        std::printf("  * %s now %s", changed[i].label, changed[i].now);
    }
    std::printf("\n");
}

void WriteJsonLine(const WatchRound* round, int number, const char* when, const Change* changed,
                   int count) {
    JsonWriter json;
    StartJson(&json, stdout);
    JsonOpenObject(&json, nullptr);
    JsonInteger(&json, "round", number);
    JsonText(&json, "time", when);
    JsonText(&json, "internet_address",
             round->internetAddress[0] != '\0' ? round->internetAddress : nullptr);
    JsonFact(&json, "tcp_1720_out", round->tcp1720Out);
    JsonFact(&json, "udp_passes", round->udpPasses);
    WriteJsonQuality(&json, &round->quality);
    JsonOpenArray(&json, "changed");
    for (int i = 0; i < count; ++i) {
        JsonText(&json, nullptr, changed[i].key);
    }
    JsonClose(&json);
    JsonClose(&json);
    std::fputc('\n', stdout);
}

void WriteLine(bool json, const WatchRound* round, const WatchRound* before, int number,
               long long at) {
    Change changed[3];
    int count = Changes(round, before, changed);
    char when[32];
    TimeText(at, when, sizeof(when));
    if (json) {
        WriteJsonLine(round, number, when, changed, count);
    } else {
        WriteTextLine(round, when, changed, count);
    }
    std::fflush(stdout);
}

void WriteSummary(bool json, const WatchHistory* history) {
    MediaQuality median;
    WatchMedians(history, &median);
    int share = history->rounds > 0 ? history->good * 100 / history->rounds : 0;
    if (!json) {
        std::printf("%d rounds, %d graded good (%d %%)\n", history->rounds, history->good, share);
        const MediaQuality* figures[] = {&history->worst, &median};
        for (int i = 0; i < 2; ++i) {
            std::printf("%-7s loss %.1f %%, round trip %d ms (median) and %d ms (95th), jitter "
                        "%.1f ms\n",
                        i == 0 ? "Worst:" : "Median:", figures[i]->lossPercent,
                        figures[i]->rttMedianMs, figures[i]->rttP95Ms, figures[i]->jitterMs);
        }
        return;
    }
    JsonWriter writer;
    StartJson(&writer, stdout);
    JsonOpenObject(&writer, nullptr);
    JsonOpenObject(&writer, "summary");
    JsonInteger(&writer, "rounds", history->rounds);
    JsonInteger(&writer, "good_percent", share);
    JsonOpenObject(&writer, "worst");
    WriteJsonFigures(&writer, &history->worst);
    JsonClose(&writer);
    JsonOpenObject(&writer, "median");
    WriteJsonFigures(&writer, &median);
    JsonClose(&writer);
    JsonClose(&writer);
    JsonClose(&writer);
    std::fputc('\n', stdout);
}

} // namespace

int RunWatch(const CommandLine* command, const DetectionReport* report, const DeepFacts* facts) {
    // A day of rounds: kept apart from the stack, zeroed, freed below.
    WatchHistory* history = (WatchHistory*)std::calloc(1, sizeof(WatchHistory));
    if (history == nullptr) {
        std::fprintf(stderr, "no memory for the rounds of --watch\n");
        return kExitNotFound;
    }
    bool caught = CatchSignals();
    WatchRound rounds[2] = {};
    WatchRound* before = nullptr;
    while (!EndRequested()) {
        long long next = SteadyMilliseconds() + command->watchSeconds * 1000LL;
        WatchRound* round = &rounds[history->rounds % 2];
        RunWatchRound(g_echoUrl, command->stunServer, round);
        if (round->cutShort) {
            break;
        }
        WatchPoint point = {(long long)std::time(nullptr), round->quality};
        AddWatchPoint(history, &point);
        WriteLine(command->json, round, before, history->rounds, point.at);
        if (command->htmlFile != nullptr) {
            WriteHtmlFile(command->htmlFile, report, facts, history);
        }
        before = round;
        WaitForEnd(next);
    }
    WriteSummary(command->json, history);
    if (caught) {
        ReleaseSignals();
    }
    bool found = before != nullptr && before->internetAddress[0] != '\0';
    std::free(history);
    return found ? kExitFound : kExitNotFound;
}
