// Binding answers a second from a STUN server under load:
//
//   bench_stun_load SERVER PORT SECONDS [SOCKETS [WINDOW]]
//
// Each of SOCKETS sockets (16) keeps WINDOW requests (32) in flight: every
// answer sends the next request, and a socket that heard nothing for 50 ms
// sends its window again, for what was lost. Prints requests sent and
// answers received a second.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

double Seconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

// A binding request (RFC 5389): type 1, no attributes, the magic cookie and
// a transaction id that nobody checks here.
const unsigned char kRequest[20] = {0x00, 0x01, 0x00, 0x00, 0x21, 0x12, 0xA4, 0x42, 'm', 'a',
                                    'r',  'v',  'o',  'l',  'y',  'l',  'o',  'a',  'd', '!'};

long SendMany(int socket, const sockaddr_in* server, int count) {
    long sent = 0;
    for (int i = 0; i < count; ++i) {
        sent += sendto(socket, kRequest, sizeof(kRequest), MSG_DONTWAIT, (const sockaddr*)server,
                       sizeof(*server)) == (ssize_t)sizeof(kRequest);
    }
    return sent;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s SERVER PORT SECONDS [SOCKETS [WINDOW]]\n", argv[0]);
        return 2;
    }
    sockaddr_in server = {};
    server.sin_family = AF_INET;
    server.sin_port = htons((unsigned short)std::atoi(argv[2]));
    inet_pton(AF_INET, argv[1], &server.sin_addr);
    double seconds = std::atof(argv[3]);
    int count = argc > 4 ? std::atoi(argv[4]) : 16;
    int window = argc > 5 ? std::atoi(argv[5]) : 32;

    std::vector<pollfd> sockets((size_t)count);
    long sent = 0;
    long answered = 0;
    for (pollfd& entry : sockets) {
        entry.fd = socket(AF_INET, SOCK_DGRAM, 0);
        entry.events = POLLIN;
        sent += SendMany(entry.fd, &server, window);
    }
    double end = Seconds() + seconds;
    while (Seconds() < end) {
        if (poll(sockets.data(), sockets.size(), 50) == 0) {
            for (pollfd& entry : sockets) {
                sent += SendMany(entry.fd, &server, window);
            }
            continue;
        }
        for (pollfd& entry : sockets) {
            unsigned char answer[1500];
            while (entry.revents != 0 && recv(entry.fd, answer, sizeof(answer), MSG_DONTWAIT) > 0) {
                ++answered;
                sent += SendMany(entry.fd, &server, 1);
            }
        }
    }
    std::printf("sent %.0f/s answered %.0f/s\n", sent / seconds, answered / seconds);
    return 0;
}
