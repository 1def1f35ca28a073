// How long the router in front keeps what a call leaves silent: a UDP
// mapping (RFC 5780 section 4.6, by RESPONSE-PORT), one kept by this
// machine's keep-alives alone (RFC 4787 REQ-6), and a TCP connection to
// the echo host's port 1720 (service/echo/marvoly-h323.js, its held mode).
#pragma once

#include <cstdio>

#include "reach/timer_judgement.h"

// Each rung's finding, unknown where it was never asked.
struct CallTimers {
    TimerLadder ladder;
    Fact udpLived[kTimerRungs];
    Fact tcpLived[kTimerRungs];
    // A mapping that only this machine's keep-alives (every 15 s) kept
    // lived through the longest rung.
    Fact outboundRefresh;
    char udpReason[96]; // why the UDP rungs are unknown; empty when they are not
    char tcpReason[96];
};

// Every rung unknown, ladder's rungs to be asked.
void StartCallTimers(const TimerLadder* ladder, CallTimers* timers);

// One binding a rung from a socket of its own, and one refreshed, then
// each asked after its silence from another socket; over a few seconds
// after the longest rung, or at once when the program is to end. With
// progress (a terminal), one line there tells what waits and how long.
void ProbeUdpLifetime(const char* stunServer, std::FILE* progress, CallTimers* timers);

// Two held connections to echoHost's port 1720: one waits out the longest
// rung, the other the shorter ones in turn, as far as they fit beside it
// (the echo host holds two an address). Each silence ends with a line
// that must be answered.
void ProbeTcpIdle(const char* echoHost, CallTimers* timers);
