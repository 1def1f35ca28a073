// Loads the Setup echo (bench/h323_echo.sh) with marvoly's Setup, a new
// connection each:
//
//   bench_h323_load SECONDS CLIENTS called|not-called
//
// CLIENTS clients send Setups one after another to 192.0.2.1:1720 for
// SECONDS, four to an address, each address in a /24 of its own (the
// block lets four connections of one address and 16 of one /24 in at
// once): 198.18.N.10 (called: each answers the call-back on its own H.245
// port with the token) or 127.0.N.2 (not-called: the service may not call
// those). One
// thread, one epoll set. Prints "KIND exchanges/s p50 p99" (milliseconds);
// a wrong answer ends it with a failure.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "h323/setup_message.h"

namespace {

using Clock = std::chrono::steady_clock;

enum Role { kCaller, kListener, kCallee };

// One socket in the epoll set: a client's connection to the echo, its
// listening H.245 port, or a call-back taken on it.
struct Peer {
    Role role;
    int client;
    int socket;
    std::string heard;
};

struct Client {
    sockaddr_in from;
    unsigned char setup[kSetupSize];
    std::string expected;
    Clock::time_point started;
};

int g_poll;
std::vector<Client> g_clients;
std::vector<double> g_times;

sockaddr_in Address(const char* dotted, unsigned short port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = inet_addr(dotted);
    return address;
}

void Watch(Peer* peer, unsigned events) {
    epoll_event event = {events, {peer}};
    epoll_ctl(g_poll, EPOLL_CTL_ADD, peer->socket, &event);
}

void Drop(Peer* peer) {
    close(peer->socket); // leaves the epoll set too
    delete peer;
}

void Call(int client) {
    Client* c = &g_clients[client];
    int s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in echo = Address("192.0.2.1", 1720);
    bind(s, (sockaddr*)&c->from, sizeof(c->from));
    connect(s, (sockaddr*)&echo, sizeof(echo));
    c->started = Clock::now();
    Watch(new Peer{kCaller, client, s, ""}, EPOLLOUT | EPOLLIN);
}

void Listen(int client, unsigned short port) {
    sockaddr_in address = g_clients[client].from;
    address.sin_port = htons(port);
    int s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    int on = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    if (bind(s, (sockaddr*)&address, sizeof(address)) != 0 || listen(s, 16) != 0) {
        std::perror("listen");
        std::exit(1);
    }
    Watch(new Peer{kListener, client, s, ""}, EPOLLIN);
}

// Reads what there is; true once the peer has closed.
bool Read(Peer* peer) {
    char buffer[4096];
    ssize_t got;
    while ((got = recv(peer->socket, buffer, sizeof(buffer), 0)) > 0) {
        peer->heard.append(buffer, (size_t)got);
    }
    return got == 0;
}

void Handle(Peer* peer, unsigned events) {
    Client* c = &g_clients[peer->client];
    if (peer->role == kListener) {
        int s = accept4(peer->socket, nullptr, nullptr, SOCK_NONBLOCK);
        if (s >= 0) {
            Watch(new Peer{kCallee, peer->client, s, ""}, EPOLLIN);
        }
    } else if (peer->role == kCallee) {
        Read(peer);
        if (peer->heard.find('\n') != std::string::npos) {
            send(peer->socket, peer->heard.data(), peer->heard.size(), MSG_NOSIGNAL);
            Drop(peer);
        }
    } else if ((events & EPOLLOUT) != 0 && peer->heard.empty()) {
        send(peer->socket, c->setup, kSetupSize, MSG_NOSIGNAL);
        epoll_event event = {EPOLLIN, {peer}};
        epoll_ctl(g_poll, EPOLL_CTL_MOD, peer->socket, &event);
        peer->heard = "-"; // sent; the answer follows it
    } else if (Read(peer) || (events & (EPOLLERR | EPOLLHUP)) != 0) {
        if (peer->heard.substr(1) != c->expected) {
            std::fprintf(stderr, "unexpected answer: %s\n", peer->heard.c_str());
            std::exit(1);
        }
        g_times.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - c->started).count());
        int client = peer->client;
        Drop(peer);
        Call(client);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SECONDS CLIENTS called|not-called\n", argv[0]);
        return 2;
    }
    bool called = std::strcmp(argv[3], "called") == 0;
    g_clients.resize((size_t)std::atoi(argv[2]));
    g_poll = epoll_create1(0);
    for (size_t i = 0; i < g_clients.size(); ++i) {
        char dotted[16];
        std::snprintf(dotted, sizeof(dotted), called ? "198.18.%zu.10" : "127.0.%zu.2", i / 4);
        Client* c = &g_clients[i];
        c->from = Address(dotted, 0);
        SetupFields fields = {c->from.sin_addr.s_addr, (unsigned short)(40001 + i), 40002, {}, {},
                              {40010, 40012}};
        BuildSetup(&fields, c->setup);
        char hex[2 * kSetupSize + 1];
        for (int j = 0; j < kSetupSize; ++j) {
            std::snprintf(hex + 2 * j, 3, "%02x", c->setup[j]);
        }
        c->expected =
            std::string("echo ") + hex + "\nh245 " + (called ? "reached" : "not-tried") + "\n";
        if (called) {
            Listen((int)i, fields.h245Port);
        }
    }
    auto start = Clock::now();
    auto end = start + std::chrono::seconds(std::atoi(argv[1]));
    for (size_t i = 0; i < g_clients.size(); ++i) {
        Call((int)i);
    }
    epoll_event events[64];
    while (Clock::now() < end) {
        int count = epoll_wait(g_poll, events, 64, 100);
        for (int i = 0; i < count; ++i) {
            Handle((Peer*)events[i].data.ptr, events[i].events);
        }
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::sort(g_times.begin(), g_times.end());
    std::printf("%s %.0f %.2f %.2f\n", argv[3], g_times.size() / seconds,
                g_times[g_times.size() / 2], g_times[g_times.size() * 99 / 100]);
    return 0;
}
