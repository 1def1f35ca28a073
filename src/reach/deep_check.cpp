// The probes of --deep, each on a thread of its own but the router's
// question, and the facts they give judged into the readiness answers.
#include "reach/deep_check.h"

#include <cstdlib>
#include <cstring>

#include "address/internet_address.h"
#include "http/url.h"
#include "platform/platform.h"
#include "reach/address_range.h"

namespace {

// What each probe's thread is given: where to ask, and where to write.
struct ProbeRun {
    const char* host;
    const char* stunServer;
    long long deadline;
    std::FILE* progress;
    DeepFacts* facts;
    MediaPath* media;
};

DWORD WINAPI ProbeSignalling(LPVOID argument) {
    ProbeRun* run = (ProbeRun*)argument;
    ProbeCallSignalling(run->host, run->deadline, &run->facts->signalling);
    return 0;
}

DWORD WINAPI ProbeGatekeeper(LPVOID argument) {
    ProbeRun* run = (ProbeRun*)argument;
    ProbeGatekeeperPort(run->host, &run->facts->gatekeeper);
    return 0;
}

DWORD WINAPI ProbeMedia(LPVOID argument) {
    ProbeRun* run = (ProbeRun*)argument;
    int budget = (int)(DeadlineWithin(kMediaPathBudgetMs, run->deadline) - SteadyMilliseconds());
    ProbeMediaPath(run->stunServer, budget > 0 ? budget : 0, run->media);
    return 0;
}

DWORD WINAPI ProbeUdpTimers(LPVOID argument) {
    ProbeRun* run = (ProbeRun*)argument;
    ProbeUdpLifetime(run->stunServer, run->progress, &run->facts->timers);
    return 0;
}

DWORD WINAPI ProbeTcpTimers(LPVOID argument) {
    ProbeRun* run = (ProbeRun*)argument;
    ProbeTcpIdle(run->host, &run->facts->timers);
    return 0;
}

// Starts a probe beside the caller, or runs it here when no thread can be
// had; null then.
HANDLE StartProbe(LPTHREAD_START_ROUTINE probe, ProbeRun* run) {
    HANDLE thread = CreateThread(nullptr, 0, probe, run, 0, nullptr);
    if (thread == nullptr) {
        probe(run);
    }
    return thread;
}

void FinishProbe(HANDLE thread) {
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

void Judge(const DeepAsk* ask, DeepFacts* facts) {
    ReadinessFacts readiness = {};
    readiness.behindNat = ask->behindNat;
    readiness.sameAddress = ask->sameAddress;
    readiness.portMapping = facts->portMapping.protocol;
    readiness.doubleNat = facts->doubleNat;
    readiness.incomingCall = facts->incomingCall;
    readiness.tcp1720Out = facts->signalling.tcp1720Out;
    readiness.udpPasses = facts->media.udpPasses;
    readiness.mapping = facts->media.mapping;
    readiness.grade = facts->media.quality.grade;
    readiness.algRewrites = facts->signalling.rewritesAddresses;
    readiness.algPinhole = facts->signalling.opensH245Pinhole;
    const MediaAddresses* media = &facts->signalling.media;
    readiness.mediaRewritten = media->rewritten;
    readiness.mediaPrivate = IsPrivateAddress(media->sentAddress);
    bool in = media->farEndIn[kMediaAudio] == kFactYes || media->farEndIn[kMediaVideo] == kFactYes;
    readiness.farEndIn = in ? kFactYes : media->farEndIn[kMediaAudio];
    readiness.mediaFirstPort = media->sentPorts[kMediaAudio][kMediaRtp];
    readiness.mediaLastPort = media->sentPorts[kMediaVideo][kMediaRtcp];
    readiness.timed = facts->timed;
    if (facts->timed) {
        JudgeTimer(&facts->timers.ladder, facts->timers.udpLived, &facts->udpLifetime);
        JudgeTimer(&facts->timers.ladder, facts->timers.tcpLived, &facts->tcpIdle);
        readiness.udpLifetime = facts->udpLifetime;
        readiness.tcpIdle = facts->tcpIdle;
        readiness.outboundRefresh = facts->timers.outboundRefresh;
    }
    JudgeReadiness(&readiness, &facts->readiness);
}

} // namespace

void RunDeepCheck(const DeepAsk* ask, DeepFacts* facts) {
    const char* internet = ask->internetAddress;
    long long deadline = SteadyMilliseconds() + kDeepCheckMs;
    // The router is asked first: its UPnP question runs in a child process,
    // which must be started while the program runs no other thread.
    FindPortMapping(&facts->portMapping);
    facts->doubleNat = JudgeDoubleNat(&facts->portMapping, internet);
    UrlParts echo;
    SplitUrlParts(ask->echoUrl, &echo);
    ProbeRun run = {echo.host, ask->stunServer != nullptr ? ask->stunServer : echo.host,
                    deadline,  ask->progress,
                    facts,     &facts->media};
    facts->timed = ask->timers != nullptr;
    HANDLE timers[2] = {};
    if (facts->timed) {
        StartCallTimers(ask->timers, &facts->timers);
        timers[0] = StartProbe(ProbeUdpTimers, &run);
        timers[1] = StartProbe(ProbeTcpTimers, &run);
    }
    HANDLE media = StartProbe(ProbeMedia, &run);
    HANDLE signalling = StartProbe(ProbeSignalling, &run);
    HANDLE gatekeeper = StartProbe(ProbeGatekeeper, &run);
    facts->incomingCall = CheckIncomingCall(ask->echoUrl, internet, deadline);
    FinishProbe(media);
    FinishProbe(signalling);
    FinishProbe(gatekeeper);
    FinishProbe(timers[0]);
    FinishProbe(timers[1]);
    facts->mappedElsewhere = internet != nullptr && facts->media.mappedAddress[0] != '\0' &&
                             std::strcmp(facts->media.mappedAddress, internet) != 0;
    Judge(ask, facts);
}

void RunWatchRound(const char* echoUrl, const char* stunServer, WatchRound* round) {
    UrlParts echo;
    SplitUrlParts(echoUrl, &echo);
    // About 4 KB of round trips that a round does not keep.
    MediaPath* media = (MediaPath*)std::calloc(1, sizeof(MediaPath));
    long long deadline = SteadyMilliseconds() + kMediaPathBudgetMs;
    ProbeRun run = {echo.host, stunServer != nullptr ? stunServer : echo.host,
                    deadline,  nullptr,
                    nullptr,   media};
    HANDLE thread = media != nullptr ? StartProbe(ProbeMedia, &run) : nullptr;
    round->tcp1720Out = ProbeTcp1720Out(echo.host, deadline);
    if (GetInternetAddress(round->internetAddress) == 0) {
        round->internetAddress[0] = '\0';
    }
    FinishProbe(thread);
    round->udpPasses = media != nullptr ? media->udpPasses : kFactUnknown;
    round->quality = media != nullptr ? media->quality : MediaQuality();
    round->cutShort = WaitsCutShort();
    std::free(media);
}
