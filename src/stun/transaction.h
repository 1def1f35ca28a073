// STUN transactions over UDP, several at once: each request is sent again
// as RFC 5389 (section 7.2.1) says, the first time-out 500 ms and doubled
// after every send, seven sends, then sixteen first time-outs for the last
// answer (39.5 s in all), unless its own deadline ends it first.
#pragma once

#include "stun/message.h"

const int kStunFirstTimeoutMs = 500;
const int kStunSends = 7;
// The longest request a transaction sends.
const int kStunRequestSize = 256;

// One request and its answer. StartStunTransaction fills it; the caller
// may then change answerSocket and from (below), and RunStunTransactions
// keeps the rest.
struct StunTransaction {
    SOCKET socket;       // sends from here
    SOCKET answerSocket; // the answer is taken here (socket)
    struct sockaddr_in to;
    struct sockaddr_in from; // the only source an answer may come from (to);
                             // sin_family 0: any
    unsigned char request[kStunRequestSize];
    int requestSize;
    int sends;          // at most this many
    long long nextAt;   // the next send, a moment of SteadyMilliseconds
    long long deadline; // given up then, answered or not
    int sent;
    long long sentAt; // the last send
    bool over;        // answered, or given up
    bool answered;
    long long answeredAt;
    int arrival; // the answers' order in the run, from 0
    StunMessage answer;
};

// A UDP socket on a fresh port of every local address, or INVALID_SOCKET.
SOCKET OpenStunSocket();

// A binding request with a fresh id (change and size as BuildBindingRequest
// takes them) from socket to to, first sent at startAt, at most sends
// times, given up at deadline; its answer awaited on socket, from to.
void StartStunTransaction(StunTransaction* transaction, SOCKET socket, const struct sockaddr_in* to,
                          int change, int size, long long startAt, int sends, long long deadline);

// Sends and awaits the transactions, at most kMaxWaitSockets answer sockets
// among them, until every one is over or until deadline. A datagram counts
// for the transaction on whose answer socket it came, with its id and from
// its source; every other is dropped, and so is one over
// kStunDatagramSize. A wait that ends early (the program is to end) ends
// the run.
void RunStunTransactions(StunTransaction* transactions, int count, long long deadline);
