#include "reach/media_judgement.h"

#include <algorithm>
#include <cstdlib>

#include "reach/address_range.h"

namespace {

// A test that was sent and given up after its whole wait: not one that
// never started, nor one cut short by the budget.
bool Unanswered(const StunTransaction* test) {
    return test->sent > 0 && test->over && !test->answered;
}

// Neither answered nor given up: nothing to judge by.
bool Unjudged(const StunTransaction* test) {
    return MappedAddress(test) == nullptr && !Unanswered(test);
}

// The answered requests' indices, in the order their answers came; how
// many. An answer's place counts every answer of its run, the behaviour
// tests' too, so it is below kBehaviourTests + kMediaPackets.
int ByArrival(const StunTransaction* requests, int count, int* order) {
    int places[kBehaviourTests + kMediaPackets];
    std::fill(places, places + kBehaviourTests + kMediaPackets, -1);
    for (int i = 0; i < count; ++i) {
        int arrival = requests[i].arrival;
        if (requests[i].answered && arrival >= 0 && arrival < kBehaviourTests + kMediaPackets) {
            places[arrival] = i;
        }
    }
    int received = 0;
    for (int place : places) {
        if (place >= 0) {
            order[received++] = place;
        }
    }
    return received;
}

// J += (|D| - J) / 16, D the change in transit time from one answer to the
// next (RFC 3550 section 6.4.1), and each that came after a later
// request's answer.
void MeasureOrder(const StunTransaction* requests, const int* order, int received,
                  MediaQuality* quality) {
    int latest = -1;
    for (int at = 0; at < received; ++at) {
        const StunTransaction* run = &requests[order[at]];
        if (at > 0) {
            const StunTransaction* previous = &requests[order[at - 1]];
            long long change =
                (run->answeredAt - previous->answeredAt) - (run->sentAt - previous->sentAt);
            quality->jitterMs += ((double)std::llabs(change) - quality->jitterMs) / 16;
        }
        quality->reordered += order[at] < latest ? 1 : 0;
        latest = std::max(latest, order[at]);
    }
}

} // namespace

const char* BehaviourName(Behaviour behaviour) {
    const char* const names[] = {nullptr, "endpoint-independent", "address-dependent",
                                 "address-and-port-dependent"};
    return names[behaviour];
}

const char* MediaGradeName(MediaGrade grade) {
    const char* const names[] = {nullptr, "good", "fair", "poor"};
    return names[grade];
}

const struct sockaddr_in* MappedAddress(const StunTransaction* test) {
    const StunMessage* answer = &test->answer;
    if (!test->answered || answer->type != kStunBindingSuccess) {
        return nullptr;
    }
    if (answer->xorMappedAddress.sin_family == AF_INET) {
        return &answer->xorMappedAddress;
    }
    return answer->mappedAddress.sin_family == AF_INET ? &answer->mappedAddress : nullptr;
}

// The same mapping towards the other address means endpoint-independent;
// else the same from there on towards its other port means
// address-dependent.
Behaviour JudgeMapping(const StunTransaction* tests) {
    const struct sockaddr_in* first = MappedAddress(&tests[kMappingI]);
    const struct sockaddr_in* second = MappedAddress(&tests[kMappingII]);
    if (first == nullptr || second == nullptr) {
        return kBehaviourUnknown;
    }
    if (SameEndpoint(first, second)) {
        return kEndpointIndependent;
    }
    const struct sockaddr_in* third = MappedAddress(&tests[kMappingIII]);
    if (third == nullptr) {
        return kBehaviourUnknown;
    }
    return SameEndpoint(second, third) ? kAddressDependent : kAddressAndPortDependent;
}

// An answer from the other address and port came in, or one from the
// other port only, or neither.
Behaviour JudgeFiltering(const StunTransaction* tests) {
    if (MappedAddress(&tests[kFilteringII]) != nullptr) {
        return kEndpointIndependent;
    }
    if (Unjudged(&tests[kFilteringII])) {
        return kBehaviourUnknown;
    }
    if (MappedAddress(&tests[kFilteringIII]) != nullptr) {
        return kAddressDependent;
    }
    return Unanswered(&tests[kFilteringIII]) ? kAddressAndPortDependent : kBehaviourUnknown;
}

// The request itself comes back in: any datagram with its id.
Fact JudgeHairpin(const StunTransaction* tests) {
    if (tests[kHairpin].answered) {
        return kFactYes;
    }
    return Unanswered(&tests[kHairpin]) ? kFactNo : kFactUnknown;
}

bool UsableOtherAddress(const struct sockaddr_in* other, const struct sockaddr_in* server) {
    return other->sin_family == AF_INET && other->sin_addr.s_addr != server->sin_addr.s_addr &&
           other->sin_port != server->sin_port && other->sin_port != 0 &&
           MaySendTo(other->sin_addr.s_addr, server->sin_addr.s_addr);
}

// A routed private network may reach a public server unchanged, so any
// unicast address may be mapped; loopback only from a server on it.
bool UsableMappedAddress(const struct sockaddr_in* mapped, const struct sockaddr_in* server) {
    AddressRange range = RangeOf(mapped->sin_addr.s_addr);
    return mapped->sin_port != 0 && range != kRangeUnusable &&
           (range != kRangeLoopback || RangeOf(server->sin_addr.s_addr) == kRangeLoopback);
}

int Percentile(const int* sorted, int count, int percent) {
    return sorted[(count * percent + 99) / 100 - 1];
}

MediaGrade GradeMedia(const MediaQuality* quality) {
    if (quality->lossPercent > 5 || quality->jitterMs > 50 || quality->rttMedianMs > 800) {
        return kMediaPoor;
    }
    bool good = quality->lossPercent <= 1 && quality->jitterMs <= 30 && quality->rttMedianMs <= 300;
    return good ? kMediaGood : kMediaFair;
}

void JudgeMediaQuality(const StunTransaction* requests, int count, MediaQuality* quality) {
    int order[kMediaPackets];
    int rtts[kMediaPackets];
    count = std::min(count, kMediaPackets);
    int received = ByArrival(requests, count, order);
    for (int at = 0; at < received; ++at) {
        rtts[at] = (int)(requests[order[at]].answeredAt - requests[order[at]].sentAt);
    }
    *quality = {};
    MeasureOrder(requests, order, received, quality);
    std::sort(rtts, rtts + received);
    quality->sent = count;
    quality->received = received;
    quality->lossPercent = count > 0 ? 100.0 * (count - received) / count : 0;
    quality->rttMedianMs = received == 0 ? 0 : Percentile(rtts, received, 50);
    quality->rttP95Ms = received == 0 ? 0 : Percentile(rtts, received, 95);
    quality->grade = count > 0 ? GradeMedia(quality) : kMediaUnmeasured;
}

void JudgeRoundTrips(const StunTransaction* requests, int count, short* roundTrips) {
    for (int i = 0; i < count && i < kMediaPackets; ++i) {
        const StunTransaction* run = &requests[i];
        long long took = run->answeredAt - run->sentAt;
        roundTrips[i] = run->answered ? (short)std::min(took, 32767LL) : (short)-1;
    }
}
