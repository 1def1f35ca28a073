// The facts of --deep beyond the dialog's verdict, and the readiness
// answers judged from them; none of them changes whether the report is
// complete.
#pragma once

#include <cstdio>

#include "app/report.h"
#include "reach/call_signalling.h"
#include "reach/incoming_call.h"
#include "reach/media_path.h"
#include "reach/port_mapping.h"
#include "reach/readiness.h"

struct DeepReport {
    PortMapping mapping;
    int doubleNat;    // kDoubleNatNo, kDoubleNatYes or kDoubleNatUnknown
    int incomingCall; // one of the kCall values
    CallSignalling signalling;
    GatekeeperPort gatekeeper;
    MediaPath media;
    // UDP left with another address than the echo page saw over TCP: the
    // machine leaves through more than one translating address.
    bool mappedElsewhere;
    Readiness readiness;
};

// Asks the router, the echo host and the STUN server (stunServer, "HOST"
// or "HOST:PORT"; null for the echo host's), after the run that report
// holds. The router first; then the probes of the echo host's own ports and
// the media path run beside the call-back, so that they take as long as the
// slowest of them.
void MakeDeepReport(const DetectionReport* report, const char* stunServer, DeepReport* deep);

// The five answers, each "no" or "needs" with what to do: they come before
// the report's three lines.
void WriteReadinessReport(std::FILE* out, const DeepReport* deep);

// The facts, one a line, after the report's three.
void WriteDeepTextReport(std::FILE* out, const DeepReport* deep);

// The keys of --deep, after the report's own.
void WriteJsonDeepReport(std::FILE* out, const DeepReport* deep);
