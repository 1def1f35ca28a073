// One round of STUN transactions, 1 s at most: the control request and the
// two RESPONSE-PORT requests from one throwaway socket, and the port test
// from the pair. An answer counts only on the socket it was meant for and
// from the server's own address and port.
#include "reach/call_media.h"

#include <algorithm>
#include <cstring>

#include "platform/random_bytes.h"
#include "reach/address_range.h"
#include "reach/media_judgement.h"
#include "stun/transaction.h"

namespace {

const int kRoundMs = 1000; // sends at 0 and 0.5 s
const int kRoundSends = 2;
const int kBindTries = 32;
const unsigned short kLowestPort = 49152; // the dynamic ports
const unsigned short kLowestAskedPort = 1024;

enum Run { kControlRun, kAudioRun, kVideoRun, kEvenRun, kOddRun, kRuns };

void CloseSockets(SOCKET* sockets, int count) {
    for (int i = 0; i < count; ++i) {
        if (sockets[i] != INVALID_SOCKET) {
            closesocket(sockets[i]);
        }
    }
}

// count sockets on count ports in a row from an even one; false, with
// none left open, when no such row was free.
bool BindRow(SOCKET* sockets, int count, unsigned short* first) {
    for (int tries = 0; tries < kBindTries; ++tries) {
        unsigned char random[2];
        if (!FillRandomBytes(random, 2)) {
            return false;
        }
        int span = 65536 - kLowestPort - count;
        *first = (unsigned short)(kLowestPort + (((random[0] << 8 | random[1]) % span) & ~1));
        int bound = 0;
        for (; bound < count; ++bound) {
            struct sockaddr_in any;
            std::memset(&any, 0, sizeof(any));
            any.sin_family = AF_INET;
            any.sin_port = htons((unsigned short)(*first + bound));
            sockets[bound] = socket(AF_INET, SOCK_DGRAM, 0);
            if (sockets[bound] == INVALID_SOCKET ||
                bind(sockets[bound], (const struct sockaddr*)&any, sizeof(any)) != 0) {
                break;
            }
        }
        if (bound == count) {
            return true;
        }
        CloseSockets(sockets, bound + 1);
    }
    return false;
}

unsigned short MappedPort(const StunTransaction* run) {
    const struct sockaddr_in* mapped = MappedAddress(run);
    return mapped != nullptr ? ntohs(mapped->sin_port) : 0;
}

// The request that the server answer at an arrived RTP port instead, taken
// on the socket behind it; not asked for a port the echo host would not
// call either.
bool AskAt(StunTransaction* run, SOCKET answer, unsigned short port) {
    if (port < kLowestAskedPort || run->over) {
        run->over = true;
        return false;
    }
    run->requestSize = AddResponsePort(run->request, run->requestSize, port);
    run->answerSocket = answer;
    return true;
}

DWORD WINAPI AskFarEnd(LPVOID argument) {
    CallMedia* media = (CallMedia*)argument;
    MediaAddresses* facts = media->facts;
    StunTransaction runs[kRuns];
    SOCKET throwaway = OpenStunSocket();
    const SOCKET from[kRuns] = {throwaway, throwaway, throwaway, media->pair[0], media->pair[1]};
    long long now = SteadyMilliseconds();
    long long until = std::min(now + kRoundMs, media->deadline);
    for (int i = 0; i < kRuns; ++i) {
        StartStunTransaction(&runs[i], from[i], &media->server, 0, 0, now, kRoundSends, until);
        runs[i].over = runs[i].over || from[i] == INVALID_SOCKET;
    }
    FarEndSeen seen = {false, false, {false, false}};
    for (int kind = 0; kind < kMediaKinds; ++kind) {
        SOCKET rtp = media->announced[kind][kMediaRtp];
        bool asked = AskAt(&runs[kAudioRun + kind], rtp, facts->arrivedPorts[kind][kMediaRtp]);
        seen.asked = seen.asked || asked;
    }
    RunStunTransactions(runs, kRuns, until);
    seen.serverAnswered = MappedAddress(&runs[kControlRun]) != nullptr;
    for (int kind = 0; kind < kMediaKinds; ++kind) {
        seen.came[kind] = runs[kAudioRun + kind].answered;
    }
    JudgeFarEndMedia(&seen, IsPrivateAddress(facts->sentAddress), facts);
    facts->preservation = JudgePortPreservation(media->pairPort, MappedPort(&runs[kEvenRun]),
                                                MappedPort(&runs[kOddRun]));
    CloseSockets(&throwaway, 1);
    return 0;
}

} // namespace

bool OpenCallMedia(CallMedia* media, const struct sockaddr_in* echoHost) {
    media->thread = nullptr;
    media->facts = nullptr;
    media->server = *echoHost;
    media->server.sin_port = htons(kStunPort);
    if (!BindRow(&media->announced[0][0], kMediaKinds * kMediaChannels, &media->firstPort)) {
        return false;
    }
    if (BindRow(media->pair, kPreservePair, &media->pairPort)) {
        return true;
    }
    CloseSockets(&media->announced[0][0], kMediaKinds * kMediaChannels);
    return false;
}

void StartCallMedia(CallMedia* media, MediaAddresses* facts, long long deadline) {
    media->facts = facts;
    media->deadline = deadline;
    media->thread = CreateThread(nullptr, 0, AskFarEnd, media, 0, nullptr);
    if (media->thread == nullptr) {
        AskFarEnd(media);
    }
}

void FinishCallMedia(CallMedia* media) {
    if (media->thread != nullptr) {
        WaitForSingleObject(media->thread, INFINITE);
        CloseHandle(media->thread);
    }
    CloseSockets(&media->announced[0][0], kMediaKinds * kMediaChannels);
    CloseSockets(media->pair, kPreservePair);
}
