// The scripted loopback peer: one connection, one script, bounded waits.
#include "test_peer.h"

#include <chrono>
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

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
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

void SendAll(SOCKET client, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        int result = (int)send(client, bytes.data() + sent, (int)(bytes.size() - sent), 0);
        if (result <= 0) {
            return;
        }
        sent += (size_t)result;
    }
}

void EndConnection(TestPeer* peer, SOCKET client) {
    if (peer->script.ending == kPeerReset) {
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
    while (peer->received.find("\r\n\r\n") == std::string::npos && ReceiveSome(peer, client) > 0) {
    }
    for (size_t i = 0; i < peer->script.pieces.size(); ++i) {
        Pause(i > 0 ? peer->script.pauseMs : 0);
        SendAll(client, peer->script.pieces[i]);
    }
    Pause(peer->script.stallMs);
    EndConnection(peer, client);
}

// Binds to a free loopback port and tells which one it got.
bool BindLoopback(SOCKET socket, int* port) {
    struct sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    PeerAddressLength length = sizeof(address);
    if (bind(socket, (struct sockaddr*)&address, sizeof(address)) != 0 ||
        getsockname(socket, (struct sockaddr*)&address, &length) != 0) {
        return false;
    }
    *port = ntohs(address.sin_port);
    return true;
}

// A fresh loopback socket bound to a free port, or INVALID_SOCKET.
SOCKET OpenBoundSocket(int* port) {
    SOCKET bound = socket(AF_INET, SOCK_STREAM, 0);
    if (bound != INVALID_SOCKET && !BindLoopback(bound, port)) {
        closesocket(bound);
        return INVALID_SOCKET;
    }
    return bound;
}

} // namespace

int StartTestPeer(TestPeer* peer, const TestPeerScript* script) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        return 0;
    }
    peer->script = *script;
    peer->stopping = false;
    peer->contacted = false;
    peer->clientClosed = false;
    peer->received.clear();
    peer->listener = OpenBoundSocket(&peer->port);
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

void StopTestPeer(TestPeer* peer) {
    peer->stopping = true;
    peer->thread.join();
    closesocket(peer->listener);
    WSACleanup();
}

SOCKET OpenRefusingPort(int* port) {
    return OpenBoundSocket(port);
}

std::string TestPeerUrl(const TestPeer* peer, const char* path) {
    return "http://127.0.0.1:" + std::to_string(peer->port) + path;
}
