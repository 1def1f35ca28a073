// The scripted loopback peer: one connection, one script, bounded waits.
#include "test_peer.h"

#include <chrono>
#include <cstdint>
#include <cstring>

#ifdef _WIN32
typedef int PeerAddressLength;
const int kShutdownSend = 1; // SD_SEND, which the 1.1 header lacks
#else
#include <sys/select.h>
typedef socklen_t PeerAddressLength;
const int kShutdownSend = SHUT_WR;
#endif

namespace {

const int kSliceMs = 20;         // how often a waiting peer looks at stopping
const int kAcceptLimitMs = 5000; // no client after this long: the peer gives up
const int kQuietLimitMs = 2000;  // a client silent this long is taken as done

bool WaitReadable(SOCKET socket, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    struct timeval timeout = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return select((int)socket + 1, &readable, nullptr, nullptr, &timeout) > 0;
}

// Ends early once the peer is stopped.
void Pause(TestPeer* peer, int ms) {
    for (int waited = 0; waited < ms && !peer->stopping.load(); waited += kSliceMs) {
        std::this_thread::sleep_for(
            std::chrono::milliseconds(ms - waited < kSliceMs ? ms - waited : kSliceMs));
    }
}

// A connection that arrives before StopTestPeer looks one last time still
// counts, so a client that wrongly connected is always caught.
SOCKET AwaitClient(TestPeer* peer) {
    for (int waited = 0; waited < kAcceptLimitMs; waited += kSliceMs) {
        bool stopping = peer->stopping.load();
        if (WaitReadable(peer->listener, stopping ? 0 : kSliceMs)) {
            return accept(peer->listener, nullptr, nullptr);
        }
        if (stopping) {
            break;
        }
    }
    return INVALID_SOCKET;
}

// Records what arrives. Gives the count, 0 when the client closed, -1 when
// a receive failed or the client fell silent.
int ReceiveSome(TestPeer* peer, SOCKET client) {
    char chunk[4096];
    if (!WaitReadable(client, kQuietLimitMs)) {
        return -1;
    }
    int received = (int)recv(client, chunk, sizeof(chunk), 0);
    if (received > 0) {
        peer->received.append(chunk, (size_t)received);
    }
    return received < 0 ? -1 : received;
}

bool SendAll(SOCKET client, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        int result = (int)send(client, bytes.data() + sent, (int)(bytes.size() - sent), 0);
        if (result <= 0) {
            return false;
        }
        sent += (size_t)result;
    }
    return true;
}

void EndConnection(TestPeer* peer, SOCKET client) {
    if (peer->script.ending == kPeerDeaf) {
        // Unread bytes make the close a reset, as a deaf server's would.
    } else if (peer->script.ending == kPeerReset) {
        struct linger abortive = {1, 0};
        setsockopt(client, SOL_SOCKET, SO_LINGER, (const char*)&abortive, sizeof(abortive));
    } else {
        shutdown(client, kShutdownSend);
        int received;
        while ((received = ReceiveSome(peer, client)) > 0) {
        }
        peer->clientClosed = received == 0;
    }
    closesocket(client);
}

void Serve(TestPeer* peer) {
    SOCKET client = AwaitClient(peer);
    if (client == INVALID_SOCKET) {
        return;
    }
    peer->contacted = true;
    while (peer->script.ending != kPeerDeaf &&
           peer->received.find("\r\n\r\n") == std::string::npos && ReceiveSome(peer, client) > 0) {
    }
    // A client that has gone ends the answer.
    for (size_t i = 0; i < peer->script.pieces.size(); ++i) {
        Pause(peer, i > 0 ? peer->script.pauseMs : 0);
        if (!SendAll(client, peer->script.pieces[i])) {
            break;
        }
    }
    Pause(peer, peer->script.stallMs);
    EndConnection(peer, client);
}

// Binds to a free port and tells which one it got.
bool BindFree(SOCKET socket, uint32_t host, int* port) {
    struct sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(host);
    PeerAddressLength length = sizeof(address);
    if (bind(socket, (struct sockaddr*)&address, sizeof(address)) != 0 ||
        getsockname(socket, (struct sockaddr*)&address, &length) != 0) {
        return false;
    }
    *port = ntohs(address.sin_port);
    return true;
}

// A fresh socket bound to a free port, or INVALID_SOCKET.
SOCKET OpenBoundSocket(uint32_t host, int* port) {
    SOCKET bound = socket(AF_INET, SOCK_STREAM, 0);
    if (bound != INVALID_SOCKET && !BindFree(bound, host, port)) {
        closesocket(bound);
        return INVALID_SOCKET;
    }
    return bound;
}

// A deaf peer's small receive buffer goes to the accepted connection from
// its listener, before the handshake settles its window.
int StartOn(TestPeer* peer, const TestPeerScript* script, uint32_t host) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        return 0;
    }
    peer->script = *script;
    peer->stopping = false;
    peer->contacted = false;
    peer->clientClosed = false;
    peer->received.clear();
    peer->listener = OpenBoundSocket(host, &peer->port);
    int small = 4096;
    if (peer->listener != INVALID_SOCKET && script->ending == kPeerDeaf) {
        setsockopt(peer->listener, SOL_SOCKET, SO_RCVBUF, (const char*)&small, sizeof(small));
    }
    if (peer->listener == INVALID_SOCKET || listen(peer->listener, 4) != 0) {
        if (peer->listener != INVALID_SOCKET) {
            closesocket(peer->listener);
        }
        WSACleanup();
        return 0;
    }
    peer->thread = std::thread(Serve, peer);
    return 1;
}

} // namespace

int StartTestPeer(TestPeer* peer, const TestPeerScript* script) {
    return StartOn(peer, script, INADDR_LOOPBACK);
}

int StartTestPeerEverywhere(TestPeer* peer, const TestPeerScript* script) {
    return StartOn(peer, script, INADDR_ANY);
}

void StopTestPeer(TestPeer* peer) {
    peer->stopping = true;
    peer->thread.join();
    closesocket(peer->listener);
    WSACleanup();
}

SOCKET OpenRefusingPort(int* port) {
    return OpenBoundSocket(INADDR_LOOPBACK, port);
}

std::string TestPeerUrl(const TestPeer* peer, const char* path) {
    return "http://127.0.0.1:" + std::to_string(peer->port) + path;
}
