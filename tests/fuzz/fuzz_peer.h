// A loopback HTTP peer for the harnesses: one listening socket kept for the
// whole run, and one scripted answer per connection.
#pragma once

#include <cstddef>
#include <cstdint>

// How the peer ends its answer.
enum FuzzPeerEnding {
    kEndClose,   // orderly close after the last byte
    kEndReset,   // close with a reset (linger 0) after the last byte
    kEndStall,   // keep the connection open, silent, until the client gives up
    kEndEndless, // send the answer over and over until the client gives up
};

struct FuzzPeerScript {
    const uint8_t* bytes;
    size_t size;
    const size_t* cuts; // ascending offsets inside bytes: each starts a new send
    int cutCount;
    FuzzPeerEnding ending;
};

// A listening socket on 127.0.0.1 (port 0: any free port); -1 on failure.
int FuzzPeerListen(int port);
int FuzzPeerPort(int listener);

// Accepts one connection (waiting at most a few seconds), reads the request
// up to its empty line, then answers as scripted.
void FuzzPeerServe(int listener, const FuzzPeerScript* script);
