// The media path in two rounds of STUN transactions that each run
// together. First a binding from two fresh ports, one for the mapping tests
// and one for the filtering tests (RFC 5780 wants a port of its own for
// each: a port that has sent elsewhere opens filters that the other test
// would then find open). Then at once: the other mapping and filtering
// tests, the hairpin test from a third fresh port to the first one's
// mapped address, and the media-rate requests from a fourth.
#include "reach/media_path.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "http/exchange.h"
#include "http/url.h"
#include "platform/platform.h"
#include "stun/transaction.h"

namespace {

const int kBindingWaitMs = 2500;   // sends at 0, 0.5 and 1.5 s
const int kBehaviourWaitMs = 3000; // sends at 0, 0.5 and 1.5 s, beside the media
const int kMediaIntervalMs = 20;
const int kMediaAnswerMs = 1000; // a later answer is as lost as a late packet in a call
const int kMediaRequestSize = 172;

enum ProbeSocket { kMappingSocket, kFilteringSocket, kHairpinSocket, kMediaSocket, kProbeSockets };

struct Probe {
    SOCKET sockets[kProbeSockets];
    struct sockaddr_in server;
    struct sockaddr_in other; // OTHER-ADDRESS; sin_family 0 when the server gave none
    // The behaviour tests, then the media requests; runCount of them in use.
    StunTransaction runs[kBehaviourTests + kMediaPackets];
    int runCount;
};

void Note(MediaPath* path, const char* reason) {
    if (path->reason[0] == '\0') {
        lstrcpynA(path->reason, reason, sizeof(path->reason));
    }
}

// The server's address; false, with the reason, when the name does not
// resolve.
bool Resolve(const char* server, struct sockaddr_in* address, MediaPath* path) {
    if (!ResolveStunServer(server, address)) {
        char reason[sizeof(path->reason)];
        wsprintfA(reason, "the STUN server %.60s cannot be found", server);
        Note(path, reason);
        return false;
    }
    return true;
}

bool Answered(const Probe* probe, int test) {
    return MappedAddress(&probe->runs[test]) != nullptr;
}

// One test of a round: from socket to to, with change asked of the
// server, its answer expected from from.
struct TestStart {
    int test;
    int socket;
    const struct sockaddr_in* to;
    int change;
    const struct sockaddr_in* from;
};

// Starts a test now, given up at until.
void StartTest(Probe* probe, const TestStart* start, long long now, long long until) {
    StunTransaction* run = &probe->runs[start->test];
    StartStunTransaction(run, probe->sockets[start->socket], start->to, start->change, 0, now,
                         kStunSends, until);
    run->from = *start->from;
}

// The second round's behaviour tests, as far as the first round allows:
// the tests towards the other address only where the server named one
// that may be sent to, the hairpin test only to a believed mapped address.
void StartBehaviourTests(Probe* probe, long long now, long long deadline) {
    long long until = std::min(now + kBehaviourWaitMs, deadline);
    struct sockaddr_in otherIp = probe->other;
    otherIp.sin_port = probe->server.sin_port;
    struct sockaddr_in otherPort = probe->server;
    otherPort.sin_port = probe->other.sin_port;
    bool other = probe->other.sin_family == AF_INET;
    const TestStart mapping[] = {
        {kMappingII, kMappingSocket, &otherIp, 0, &otherIp},
        {kMappingIII, kMappingSocket, &probe->other, 0, &probe->other},
    };
    const TestStart filtering[] = {
        {kFilteringII, kFilteringSocket, &probe->server, kChangeAddress | kChangePort,
         &probe->other},
        {kFilteringIII, kFilteringSocket, &probe->server, kChangePort, &otherPort},
    };
    for (int i = 0; other && i < 2; ++i) {
        if (Answered(probe, kMappingI)) {
            StartTest(probe, &mapping[i], now, until);
        }
        if (Answered(probe, kFilteringI)) {
            StartTest(probe, &filtering[i], now, until);
        }
    }
    const struct sockaddr_in* mapped = MappedAddress(&probe->runs[kMappingI]);
    if (mapped != nullptr && UsableMappedAddress(mapped, &probe->server)) {
        // The request itself comes back in, from wherever the router says.
        const TestStart hairpin = {kHairpin, kHairpinSocket, mapped, 0, mapped};
        StartTest(probe, &hairpin, now, until);
        probe->runs[kHairpin].answerSocket = probe->sockets[kMappingSocket];
        probe->runs[kHairpin].from.sin_family = 0;
    }
}

// The media requests, as many as fit before deadline; how many.
int StartMedia(Probe* probe, long long now, long long deadline) {
    long long fit = (deadline - kMediaAnswerMs - now) / kMediaIntervalMs + 1;
    int count = (int)std::max(0LL, std::min((long long)kMediaPackets, fit));
    probe->runCount = kBehaviourTests + count;
    for (int i = 0; i < count; ++i) {
        long long at = now + (long long)i * kMediaIntervalMs;
        StartStunTransaction(&probe->runs[kBehaviourTests + i], probe->sockets[kMediaSocket],
                             &probe->server, 0, kMediaRequestSize, at, 1,
                             std::min(at + kMediaAnswerMs, deadline));
    }
    return count;
}

// The first round's findings: whether anything came back, and from it the
// mapped address and the server's other address, each where it may be
// believed.
void ReadFirstRound(Probe* probe, MediaPath* path) {
    bool mapping = Answered(probe, kMappingI);
    if (!mapping && !Answered(probe, kFilteringI)) {
        path->udpPasses = kFactNo;
        Note(path, "no answer from the STUN server over UDP");
        return;
    }
    path->udpPasses = kFactYes;
    const StunTransaction* first = &probe->runs[mapping ? kMappingI : kFilteringI];
    const struct sockaddr_in* mapped = MappedAddress(first);
    if (UsableMappedAddress(mapped, &probe->server)) {
        CopyDottedAddress(mapped->sin_addr.s_addr, path->mappedAddress);
        path->mappedPort = ntohs(mapped->sin_port);
    } else {
        Note(path, "the STUN server gave a mapped address that may not be sent to");
    }
    const struct sockaddr_in* other = &first->answer.otherAddress;
    if (UsableOtherAddress(other, &probe->server)) {
        probe->other = *other;
    } else if (other->sin_family == AF_INET) {
        Note(path, "the STUN server's second address may not be sent to");
    } else {
        Note(path, "the STUN server has no second address for the behaviour tests");
    }
}

void RunProbe(Probe* probe, long long deadline, MediaPath* path) {
    long long now = SteadyMilliseconds();
    long long first = std::min(now + kBindingWaitMs, deadline);
    const TestStart starts[] = {
        {kMappingI, kMappingSocket, &probe->server, 0, &probe->server},
        {kFilteringI, kFilteringSocket, &probe->server, 0, &probe->server},
    };
    for (const TestStart& start : starts) {
        StartTest(probe, &start, now, first);
    }
    RunStunTransactions(probe->runs, kBehaviourTests, first);
    ReadFirstRound(probe, path);
    if (path->udpPasses != kFactYes) {
        return;
    }
    now = SteadyMilliseconds();
    StartBehaviourTests(probe, now, deadline);
    int media = StartMedia(probe, now, deadline);
    RunStunTransactions(probe->runs, probe->runCount, deadline);
    path->mapping = JudgeMapping(probe->runs);
    path->filtering = JudgeFiltering(probe->runs);
    path->hairpin = JudgeHairpin(probe->runs);
    if (path->mapping == kBehaviourUnknown || path->filtering == kBehaviourUnknown) {
        Note(path, "too few answers to the behaviour tests");
    }
    if (media > 0) {
        JudgeMediaQuality(probe->runs + kBehaviourTests, media, &path->quality);
        JudgeRoundTrips(probe->runs + kBehaviourTests, media, path->roundTripMs);
    } else {
        Note(path, "no time was left to measure media");
    }
}

} // namespace

bool ResolveStunServer(const char* server, struct sockaddr_in* address) {
    char host[kUrlHostSize];
    lstrcpynA(host, server, sizeof(host));
    char* colon = std::strrchr(host, ':');
    int port = kStunPort;
    if (colon != nullptr) {
        *colon = '\0';
        port = ReadPort(colon + 1);
    }
    return port != 0 && ResolveEndpoint(host, (unsigned short)port, address);
}

void ProbeMediaPath(const char* server, int budgetMs, MediaPath* path) {
    long long deadline = SteadyMilliseconds() + budgetMs;
    std::memset(path, 0, sizeof(*path));
    path->udpPasses = kFactUnknown;
    path->hairpin = kFactUnknown;
    // About 70 KB of transactions: a block of its own, zeroed, freed below.
    Probe* probe = (Probe*)std::calloc(1, sizeof(Probe));
    if (probe == nullptr) {
        Note(path, "no memory for the probe");
        return;
    }
    // Tests that never start are over before they begin.
    probe->runCount = kBehaviourTests;
    for (int i = 0; i < kBehaviourTests; ++i) {
        probe->runs[i].over = true;
    }
    bool sockets = true;
    for (SOCKET& udp : probe->sockets) {
        udp = OpenStunSocket();
        sockets = sockets && udp != INVALID_SOCKET;
    }
    if (!sockets) {
        Note(path, "no UDP socket could be had");
    } else if (Resolve(server, &probe->server, path)) {
        RunProbe(probe, deadline, path);
    }
    for (SOCKET udp : probe->sockets) {
        if (udp != INVALID_SOCKET) {
            closesocket(udp);
        }
    }
    std::free(probe);
}
