// What the media path's STUN tests saw, judged: the NAT's mapping and
// filtering behaviour (RFC 5780 sections 4.3 and 4.4), hairpinning, the
// quality of a call's packets, and which addresses a STUN server may have
// the probe send to. Pure functions of the tests' records, so that every
// row can be tested without a network.
#pragma once

#include "reach/fact.h"
#include "stun/transaction.h"

enum Behaviour {
    kBehaviourUnknown,
    kEndpointIndependent,
    kAddressDependent,
    kAddressAndPortDependent
};

// "endpoint-independent" and so on, as both reports write it; null for
// unknown.
const char* BehaviourName(Behaviour behaviour);

enum MediaGrade {
    kMediaUnmeasured,
    kMediaGood, // loss at most 1 %, jitter at most 30 ms, round trip at most 300 ms
    kMediaFair,
    kMediaPoor // loss over 5 %, jitter over 50 ms, or round trip over 800 ms
};

// "good", "fair", "poor"; null for unmeasured.
const char* MediaGradeName(MediaGrade grade);

// The behaviour tests, in the order they are kept.
enum BehaviourTest {
    kMappingI,     // to the server, from the mapping socket
    kFilteringI,   // to the server, from the filtering socket
    kMappingII,    // to the other address, the server's port
    kMappingIII,   // to the other address and port
    kFilteringII,  // answered from the other address and port
    kFilteringIII, // answered from the other port
    kHairpin,      // to the mapping socket's mapped address, from the hairpin socket
    kBehaviourTests
};

// The address a test's answer says the request came from; null unless it
// was a success answer that carried one (an error answer says nothing of
// the mapping, nor of the filtering: it is as if none came).
const struct sockaddr_in* MappedAddress(const StunTransaction* test);

// Each takes the kBehaviourTests tests.
Behaviour JudgeMapping(const StunTransaction* tests);
Behaviour JudgeFiltering(const StunTransaction* tests);
Fact JudgeHairpin(const StunTransaction* tests);

// Whether the probe may send to the second address that server names: it
// must differ from the server's in both address and port, and be one that
// MaySendTo allows. A mapped address is believed when it is unicast, and
// loopback only from a server on loopback.
bool UsableOtherAddress(const struct sockaddr_in* other, const struct sockaddr_in* server);
bool UsableMappedAddress(const struct sockaddr_in* mapped, const struct sockaddr_in* server);

// sent is 0 and grade kMediaUnmeasured when no media probe ran. The round
// trips are of the answered requests; jitter is RFC 3550's interarrival
// estimate over the round trip; reordered counts answers that came after
// one of a later request; the grade goes by the median round trip.
struct MediaQuality {
    int sent;
    int received;
    double lossPercent;
    int rttMedianMs;
    int rttP95Ms;
    double jitterMs;
    int reordered;
    MediaGrade grade;
};

// The nearest-rank percentile of count sorted values (count at least 1).
int Percentile(const int* sorted, int count, int percent);
MediaGrade GradeMedia(const MediaQuality* quality);

// The quality of count media requests (at most kMediaPackets), sent in
// order.
const int kMediaPackets = 150;
void JudgeMediaQuality(const StunTransaction* requests, int count, MediaQuality* quality);

// Each of count media requests' round trip in milliseconds, in the order
// they were sent; -1 for one that was not answered in time.
void JudgeRoundTrips(const StunTransaction* requests, int count, short* roundTrips);
