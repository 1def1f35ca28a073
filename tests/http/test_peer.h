// A scripted TCP peer on loopback for tests of the HTTP client. It accepts
// one connection on 127.0.0.1, records every byte that the client sends,
// answers with raw bytes (in pieces, with pauses) and then closes, resets or
// stalls. Every wait of its own is bounded, and its pauses and stalls end
// when it is stopped, so no test can hang on it.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

enum TestPeerEnding {
    kPeerClose, // half-close, record what the client still sends, wait for its close
    kPeerReset, // abortive close: the client's next receive fails
    kPeerDeaf,  // reads nothing at all, with a small receive buffer, then closes
};

struct TestPeerScript {
    std::vector<std::string> pieces; // the answer, one send per piece
    int pauseMs;                     // silence before each piece but the first
    int stallMs;                     // silence after the answer, before the ending
    TestPeerEnding ending;
};

struct TestPeer {
    TestPeerScript script;
    SOCKET listener;
    int port;
    std::atomic<bool> stopping;
    bool contacted;       // a client connected
    bool clientClosed;    // after a half-close, the client closed its end in time
    std::string received; // every byte the client sent, in order
    std::thread thread;
};

// Starts the socket library, listens on a free loopback port and serves the
// script on its own thread: it answers once the request's empty line (CR LF
// CR LF) has come, or after 2 s of silence. Returns 0 when it cannot listen.
int StartTestPeer(TestPeer* peer, const TestPeerScript* script);
// The same on every address of the machine (in a network namespace of the
// test's own only), on a free port.
int StartTestPeerEverywhere(TestPeer* peer, const TestPeerScript* script);
// Waits for the script to end, closes the listener and balances the start.
// contacted and received may be read afterwards.
void StopTestPeer(TestPeer* peer);
// A loopback socket bound to a free port without listening, so that a
// connection to *port is refused; the caller closes it. The socket library
// must be started. INVALID_SOCKET when it cannot bind.
SOCKET OpenRefusingPort(int* port);
// "http://127.0.0.1:PORT" followed by path.
std::string TestPeerUrl(const TestPeer* peer, const char* path);
