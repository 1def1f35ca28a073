#include "fuzz_peer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace {

const int kAcceptWaitMs = 5000;
const int kRequestWaitMs = 5000;
const int kStallWaitMs = 30000;
const size_t kEndlessLimit = 64u << 20; // an endless body still stops somewhere
const size_t kEndlessBlock = 64u << 10;

bool WaitReadable(int socket, int milliseconds) {
    struct pollfd entry = {socket, POLLIN, 0};
    return poll(&entry, 1, milliseconds) == 1;
}

// Unread request bytes at close would turn an orderly close into a reset.
void DrainRequest(int connection) {
    char window[4] = {0, 0, 0, 0};
    char byte;
    while (WaitReadable(connection, kRequestWaitMs) && recv(connection, &byte, 1, 0) == 1) {
        std::memmove(window, window + 1, 3);
        window[3] = byte;
        if (std::memcmp(window, "\r\n\r\n", 4) == 0) {
            return;
        }
    }
}

bool SendAll(int connection, const uint8_t* bytes, size_t size) {
    while (size > 0) {
        ssize_t sent = send(connection, bytes, size, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        bytes += sent;
        size -= (size_t)sent;
    }
    return true;
}

bool SendPieces(int connection, const FuzzPeerScript* script) {
    size_t from = 0;
    for (int i = 0; i <= script->cutCount; ++i) {
        size_t to = i < script->cutCount ? script->cuts[i] : script->size;
        if (!SendAll(connection, script->bytes + from, to - from)) {
            return false;
        }
        from = to;
    }
    return true;
}

// The first round goes out in its pieces; the rest in large blocks of the
// same bytes over and over, so that a short answer still fills megabytes fast.
void SendEndlessly(int connection, const FuzzPeerScript* script) {
    if (script->size == 0 || !SendPieces(connection, script)) {
        return;
    }
    std::vector<uint8_t> block;
    while (block.size() < kEndlessBlock) {
        block.insert(block.end(), script->bytes, script->bytes + script->size);
    }
    for (size_t sent = 0; sent < kEndlessLimit; sent += block.size()) {
        if (!SendAll(connection, block.data(), block.size())) {
            return;
        }
    }
}

void EndWithReset(int connection) {
    struct linger hard = {1, 0};
    setsockopt(connection, SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
}

// Silent until the client closes its end (or a generous bound passes).
void WaitForClientClose(int connection) {
    char byte;
    while (WaitReadable(connection, kStallWaitMs) && recv(connection, &byte, 1, 0) > 0) {
    }
}

} // namespace

int FuzzPeerListen(int port) {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    if (listener < 0) {
        return -1;
    }
    int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    struct sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_port = htons((uint16_t)port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, (struct sockaddr*)&address, sizeof(address)) != 0 ||
        listen(listener, 4) != 0) {
        close(listener);
        return -1;
    }
    return listener;
}

int FuzzPeerPort(int listener) {
    struct sockaddr_in address;
    socklen_t length = sizeof(address);
    getsockname(listener, (struct sockaddr*)&address, &length);
    return ntohs(address.sin_port);
}

void FuzzPeerServe(int listener, const FuzzPeerScript* script) {
    if (!WaitReadable(listener, kAcceptWaitMs)) {
        return;
    }
    int connection = accept(listener, nullptr, nullptr);
    if (connection < 0) {
        return;
    }
    // Every piece goes out as its own segment, so the client sees the cuts.
    int yes = 1;
    setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof(yes));
    DrainRequest(connection);
    switch (script->ending) {
    case kEndClose:
        SendPieces(connection, script);
        break;
    case kEndReset:
        SendPieces(connection, script);
        EndWithReset(connection);
        break;
    case kEndStall:
        SendPieces(connection, script);
        WaitForClientClose(connection);
        break;
    case kEndEndless:
        SendEndlessly(connection, script);
        break;
    }
    close(connection);
}
