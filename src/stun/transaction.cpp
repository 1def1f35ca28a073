// The transactions of one run share one wait: the earliest next send or
// give-up among them, and a datagram on any of their answer sockets.
#include "stun/transaction.h"

#include <cstring>

namespace {

// After the last send, the answer is awaited this many first time-outs.
const int kStunLastWaitFactor = 16;

void Send(StunTransaction* transaction, long long now) {
    sendto(transaction->socket, (const char*)transaction->request, transaction->requestSize, 0,
           (const struct sockaddr*)&transaction->to, sizeof(transaction->to));
    transaction->sentAt = now;
    transaction->nextAt = now + ((long long)kStunFirstTimeoutMs << transaction->sent);
    if (++transaction->sent == transaction->sends) {
        long long last = now + (long long)kStunLastWaitFactor * kStunFirstTimeoutMs;
        transaction->deadline = last < transaction->deadline ? last : transaction->deadline;
    }
}

// Sends what is due and gives up what is over; the moment of the next
// thing to do, and in sockets the answer sockets still awaited.
long long Step(StunTransaction* transactions, int count, long long now, long long deadline,
               SOCKET* sockets, int* watched) {
    long long wake = deadline;
    *watched = 0;
    for (int i = 0; i < count; ++i) {
        StunTransaction* transaction = &transactions[i];
        if (transaction->over || now >= transaction->deadline) {
            transaction->over = true;
            continue;
        }
        if (transaction->sent < transaction->sends && now >= transaction->nextAt) {
            Send(transaction, now);
        }
        bool more = transaction->sent < transaction->sends;
        long long next = more && transaction->nextAt < transaction->deadline
                             ? transaction->nextAt
                             : transaction->deadline;
        wake = next < wake ? next : wake;
        int known = 0;
        while (known < *watched && sockets[known] != transaction->answerSocket) {
            ++known;
        }
        if (known == *watched && *watched < kMaxWaitSockets) {
            sockets[(*watched)++] = transaction->answerSocket;
        }
    }
    return wake;
}

void Receive(StunTransaction* transactions, int count, SOCKET socket, int* arrivals) {
    unsigned char data[kStunDatagramSize];
    struct sockaddr_in from;
    int fromSize = sizeof(from);
    int size = recvfrom(socket, (char*)data, sizeof(data), 0, (struct sockaddr*)&from, &fromSize);
    StunMessage message;
    if (size <= 0 || !ParseStunMessage(data, size, &message)) {
        return;
    }
    long long now = SteadyMilliseconds();
    for (int i = 0; i < count; ++i) {
        StunTransaction* transaction = &transactions[i];
        if (!transaction->over && transaction->answerSocket == socket &&
            std::memcmp(message.id, transaction->request + 8, kStunIdSize) == 0 &&
            (transaction->from.sin_family == 0 || SameEndpoint(&from, &transaction->from))) {
            transaction->over = true;
            transaction->answered = true;
            transaction->answeredAt = now;
            transaction->arrival = (*arrivals)++;
            transaction->answer = message;
            return;
        }
    }
}

} // namespace

SOCKET OpenStunSocket() {
    SOCKET udp = socket(AF_INET, SOCK_DGRAM, 0);
    struct sockaddr_in any;
    std::memset(&any, 0, sizeof(any));
    any.sin_family = AF_INET;
    if (udp != INVALID_SOCKET && bind(udp, (const struct sockaddr*)&any, sizeof(any)) != 0) {
        closesocket(udp);
        udp = INVALID_SOCKET;
    }
    return udp;
}

void StartStunTransaction(StunTransaction* transaction, SOCKET socket, const struct sockaddr_in* to,
                          int change, int size, long long startAt, int sends, long long deadline) {
    std::memset(transaction, 0, sizeof(*transaction));
    transaction->socket = socket;
    transaction->answerSocket = socket;
    transaction->to = *to;
    transaction->from = *to;
    unsigned char id[kStunIdSize];
    // Without a fresh id nothing is sent: the transaction is over at once.
    transaction->over = !NewStunId(id);
    transaction->requestSize = BuildBindingRequest(
        id, change, size < kStunRequestSize ? size : kStunRequestSize, transaction->request);
    transaction->sends = sends;
    transaction->nextAt = startAt;
    transaction->deadline = deadline;
}

void RunStunTransactions(StunTransaction* transactions, int count, long long deadline) {
    int arrivals = 0;
    for (;;) {
        long long now = SteadyMilliseconds();
        SOCKET sockets[kMaxWaitSockets];
        int watched;
        long long wake = Step(transactions, count, now, deadline, sockets, &watched);
        if (watched == 0 || now >= deadline) {
            return;
        }
        int ready = WaitForSockets(sockets, watched, wake);
        if (ready >= 0) {
            Receive(transactions, count, sockets[ready], &arrivals);
        } else if (WaitsCutShort()) {
            return;
        }
    }
}
