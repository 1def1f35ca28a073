// A listening TCP port and a one-time answer on it, given beside the
// caller: a program that asks a peer to connect back can wait for the
// peer's verdict while the connection it asked for is answered.
#pragma once

#include <atomic>

#include "platform/platform.h"

// A socket listening on every local IPv4 address at port, or INVALID_SOCKET
// when the port cannot be had (another program holds it); with port 0, on
// a port the system chooses, written back into port.
SOCKET ListenOnPort(unsigned short* port);

// The answer to every call-back from the echo host, whatever its kind: an
// HTTP reply whose body is the token and a newline, which a caller that
// only looks for the token in the first bytes finds too.
const int kCallBackReplySize = 160;
void WriteCallBackReply(const char* token, char* reply);

// One answer on a listening socket: the first connection whose first bytes
// hold request gets reply, and then the answering ends. Connections are read
// side by side, each for about a second; those that do not ask for it are
// closed unanswered. The caller fills the first four
// fields; the rest belong to the answering.
struct CallAnswer {
    SOCKET listener;
    const char* request;
    const char* reply;
    int milliseconds;
    bool answered;
    std::atomic<bool> stop;
    HANDLE thread;
};

// Starts answering, for at most answer->milliseconds; false when it cannot
// start. The strings must live until FinishAnswering.
bool StartAnswering(CallAnswer* answer);

// Ends the answering at once, or when the answer in progress has gone out;
// true when it was given.
bool FinishAnswering(CallAnswer* answer);
