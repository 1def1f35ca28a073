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

#include "http/url.h"
#include "platform/platform.h"
#include "stun/transaction.h"

namespace {

const int kBindingWaitMs = 2500;   // sends at 0, 0.5 and 1.5 s
const int kBehaviourWaitMs = 3000; // sends at 0, 0.5 and 1.5 s, beside the media
const int kMediaPackets = 150;
const int kMediaIntervalMs = 20;
const int kMediaAnswerMs = 1000; // a later answer is as lost as a late packet in a call
const int kMediaRequestSize = 172;

enum ProbeSocket { kMappingSocket, kFilteringSocket, kHairpinSocket, kMediaSocket, kProbeSockets };

// The transactions of a probe, in this order; the media requests follow.
enum Test {
    kMappingI,     // to the server, from the mapping socket
    kFilteringI,   // to the server, from the filtering socket
    kMappingII,    // to the other address, the server's port
    kMappingIII,   // to the other address and port
    kFilteringII,  // answered from the other address and port
    kFilteringIII, // answered from the other port
    kHairpin,      // to the mapping socket's mapped address, from the hairpin socket
    kTests
};

struct Probe {
    SOCKET sockets[kProbeSockets];
    struct sockaddr_in server;
    struct sockaddr_in other; // OTHER-ADDRESS; sin_family 0 when the server gave none
    // The behaviour tests, then the media requests; runCount of them in use.
    StunTransaction runs[kTests + kMediaPackets];
    int runCount;
};

void Note(MediaPath* path, const char* reason) {
    if (path->reason[0] == '\0') {
        lstrcpynA(path->reason, reason, sizeof(path->reason));
    }
}

// "HOST" or "HOST:PORT" to an address; false, with the reason, when the
// name does not resolve.
bool Resolve(const char* server, struct sockaddr_in* address, MediaPath* path) {
    char host[kUrlHostSize];
    lstrcpynA(host, server, sizeof(host));
    char* colon = std::strrchr(host, ':');
    int port = kStunPort;
    if (colon != nullptr) {
        *colon = '\0';
        port = std::atoi(colon + 1);
    }
    struct hostent* entry = port > 0 && port < 65536 ? gethostbyname(host) : nullptr;
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_addr_list[0] == nullptr) {
        char reason[kUrlHostSize + 64];
        wsprintfA(reason, "the STUN server %s cannot be found", host);
        Note(path, reason);
        return false;
    }
    std::memset(address, 0, sizeof(*address));
    address->sin_family = AF_INET;
    address->sin_port = htons((unsigned short)port);
    std::memcpy(&address->sin_addr, entry->h_addr_list[0], 4);
    return true;
}

bool SameEndpoint(const struct sockaddr_in* a, const struct sockaddr_in* b) {
    return a->sin_addr.s_addr == b->sin_addr.s_addr && a->sin_port == b->sin_port;
}

// The address an answer says the request came from.
const struct sockaddr_in* Mapped(const StunTransaction* test) {
    return test->answer.xorMappedAddress.sin_family == AF_INET ? &test->answer.xorMappedAddress
                                                               : &test->answer.mappedAddress;
}

bool Answered(const Probe* probe, int test) {
    return probe->runs[test].answered && Mapped(&probe->runs[test])->sin_family == AF_INET;
}

// A test that was sent and given up after its whole wait: not one that
// never started, nor one cut short by the budget.
bool Unanswered(const Probe* probe, int test) {
    const StunTransaction* run = &probe->runs[test];
    return run->sent > 0 && run->over && !run->answered;
}

// Starts test from socket to to now, its answer expected from from until
// until.
void StartTest(Probe* probe, int test, int socket, const struct sockaddr_in* to, int change,
               const struct sockaddr_in* from, long long now, long long until) {
    StunTransaction* run = &probe->runs[test];
    StartStunTransaction(run, probe->sockets[socket], to, change, 0, now, kStunSends, until);
    run->from = *from;
}

// The second round's behaviour tests, as far as the first round allows.
void StartBehaviourTests(Probe* probe, long long now, long long deadline) {
    long long until = std::min(now + kBehaviourWaitMs, deadline);
    struct sockaddr_in otherIp = probe->other;
    otherIp.sin_port = probe->server.sin_port;
    struct sockaddr_in otherPort = probe->server;
    otherPort.sin_port = probe->other.sin_port;
    bool other = probe->other.sin_family == AF_INET;
    if (other && Answered(probe, kMappingI)) {
        StartTest(probe, kMappingII, kMappingSocket, &otherIp, 0, &otherIp, now, until);
        StartTest(probe, kMappingIII, kMappingSocket, &probe->other, 0, &probe->other, now, until);
    }
    if (other && Answered(probe, kFilteringI)) {
        StartTest(probe, kFilteringII, kFilteringSocket, &probe->server,
                  kChangeAddress | kChangePort, &probe->other, now, until);
        StartTest(probe, kFilteringIII, kFilteringSocket, &probe->server, kChangePort, &otherPort,
                  now, until);
    }
    if (Answered(probe, kMappingI)) {
        // The request itself comes back in, from wherever the router says.
        const struct sockaddr_in* mapped = Mapped(&probe->runs[kMappingI]);
        StartTest(probe, kHairpin, kHairpinSocket, mapped, 0, mapped, now, until);
        probe->runs[kHairpin].answerSocket = probe->sockets[kMappingSocket];
        probe->runs[kHairpin].from.sin_family = 0;
    }
}

// The media requests, as many as fit before deadline; how many.
int StartMedia(Probe* probe, long long now, long long deadline) {
    long long fit = (deadline - kMediaAnswerMs - now) / kMediaIntervalMs + 1;
    int count = (int)std::max(0LL, std::min((long long)kMediaPackets, fit));
    probe->runCount = kTests + count;
    for (int i = 0; i < count; ++i) {
        long long at = now + (long long)i * kMediaIntervalMs;
        StartStunTransaction(&probe->runs[kTests + i], probe->sockets[kMediaSocket], &probe->server,
                             0, kMediaRequestSize, at, 1, std::min(at + kMediaAnswerMs, deadline));
    }
    return count;
}

// RFC 5780 section 4.3: the same mapping towards the other address means
// endpoint-independent; else the same from there on towards its other port
// means address-dependent.
int JudgeMapping(const Probe* probe) {
    if (!Answered(probe, kMappingI) || !Answered(probe, kMappingII)) {
        return kBehaviourUnknown;
    }
    const struct sockaddr_in* first = Mapped(&probe->runs[kMappingI]);
    const struct sockaddr_in* second = Mapped(&probe->runs[kMappingII]);
    if (SameEndpoint(first, second)) {
        return kEndpointIndependent;
    }
    if (!Answered(probe, kMappingIII)) {
        return kBehaviourUnknown;
    }
    return SameEndpoint(second, Mapped(&probe->runs[kMappingIII])) ? kAddressDependent
                                                                   : kAddressAndPortDependent;
}

// Section 4.4: an answer from the other address and port came in, or one
// from the other port only, or neither.
int JudgeFiltering(const Probe* probe) {
    if (probe->runs[kFilteringII].answered) {
        return kEndpointIndependent;
    }
    if (probe->runs[kFilteringIII].answered) {
        return kAddressDependent;
    }
    bool neither = Unanswered(probe, kFilteringII) && Unanswered(probe, kFilteringIII);
    return neither ? kAddressAndPortDependent : kBehaviourUnknown;
}

int JudgeHairpin(const Probe* probe) {
    if (probe->runs[kHairpin].answered) {
        return kFactYes;
    }
    return Unanswered(probe, kHairpin) ? kFactNo : kFactUnknown;
}

// The nearest-rank percentile of count sorted values.
int Percentile(const int* sorted, int count, int percent) {
    return sorted[(count * percent + 99) / 100 - 1];
}

int Grade(const MediaQuality* quality) {
    if (quality->lossPercent > 5 || quality->jitterMs > 50 || quality->rttMedianMs > 800) {
        return kMediaPoor;
    }
    bool good = quality->lossPercent <= 1 && quality->jitterMs <= 30 && quality->rttMedianMs <= 300;
    return good ? kMediaGood : kMediaFair;
}

// Over the answered requests in the order their answers came: J += (|D| -
// J) / 16, D the change in transit time from one to the next (RFC 3550
// section 6.4.1), and each that came after a later request's answer.
void MeasureMedia(const Probe* probe, int count, MediaQuality* quality) {
    int byArrival[kTests + kMediaPackets];
    int rtts[kMediaPackets];
    int received = 0;
    std::fill(byArrival, byArrival + probe->runCount, -1);
    for (int i = 0; i < count; ++i) {
        const StunTransaction* run = &probe->runs[kTests + i];
        if (run->answered) {
            byArrival[run->arrival] = i;
            rtts[received++] = (int)(run->answeredAt - run->sentAt);
        }
    }
    const StunTransaction* previous = nullptr;
    int latest = -1;
    for (int at = 0; at < probe->runCount; ++at) {
        int i = byArrival[at];
        const StunTransaction* run = i < 0 ? nullptr : &probe->runs[kTests + i];
        if (run != nullptr && previous != nullptr) {
            long long change =
                (run->answeredAt - previous->answeredAt) - (run->sentAt - previous->sentAt);
            quality->jitterMs += ((double)std::llabs(change) - quality->jitterMs) / 16;
        }
        if (run != nullptr) {
            quality->reordered += i < latest ? 1 : 0;
            latest = std::max(latest, i);
            previous = run;
        }
    }
    std::sort(rtts, rtts + received);
    quality->sent = count;
    quality->received = received;
    quality->lossPercent = 100.0 * (count - received) / count;
    quality->rttMedianMs = received == 0 ? 0 : Percentile(rtts, received, 50);
    quality->rttP95Ms = received == 0 ? 0 : Percentile(rtts, received, 95);
    quality->grade = Grade(quality);
}

// The first round's findings: whether anything came back, and from it the
// mapped address and the server's other address.
void ReadFirstRound(Probe* probe, MediaPath* path) {
    bool mapping = Answered(probe, kMappingI);
    if (!mapping && !Answered(probe, kFilteringI)) {
        path->udpPasses = kFactNo;
        Note(path, "no answer from the STUN server over UDP");
        return;
    }
    path->udpPasses = kFactYes;
    const StunTransaction* first = &probe->runs[mapping ? kMappingI : kFilteringI];
    const struct sockaddr_in* mapped = Mapped(first);
    lstrcpynA(path->mappedAddress, inet_ntoa(mapped->sin_addr), sizeof(path->mappedAddress));
    path->mappedPort = ntohs(mapped->sin_port);
    probe->other = first->answer.otherAddress;
    if (probe->other.sin_family != AF_INET) {
        Note(path, "the STUN server has no second address for the behaviour tests");
    }
}

void RunProbe(Probe* probe, long long deadline, MediaPath* path) {
    long long now = SteadyMilliseconds();
    long long first = std::min(now + kBindingWaitMs, deadline);
    StartTest(probe, kMappingI, kMappingSocket, &probe->server, 0, &probe->server, now, first);
    StartTest(probe, kFilteringI, kFilteringSocket, &probe->server, 0, &probe->server, now, first);
    RunStunTransactions(probe->runs, kTests, first);
    ReadFirstRound(probe, path);
    if (path->udpPasses != kFactYes) {
        return;
    }
    now = SteadyMilliseconds();
    StartBehaviourTests(probe, now, deadline);
    int media = StartMedia(probe, now, deadline);
    RunStunTransactions(probe->runs, probe->runCount, deadline);
    path->mapping = JudgeMapping(probe);
    path->filtering = JudgeFiltering(probe);
    path->hairpin = JudgeHairpin(probe);
    if (path->mapping == kBehaviourUnknown || path->filtering == kBehaviourUnknown) {
        Note(path, "too few answers to the behaviour tests");
    }
    if (media > 0) {
        MeasureMedia(probe, media, &path->media);
    } else {
        Note(path, "no time was left to measure media");
    }
}

} // namespace

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
    probe->runCount = kTests;
    for (int i = 0; i < kTests; ++i) {
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
