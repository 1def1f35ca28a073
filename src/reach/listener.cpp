// The answering runs on a thread of its own, because the caller is held in
// its own exchange with the peer until the peer has been answered. A pipe
// tells it to stop; every wait is bounded by the time it was given.
#include "reach/listener.h"

#include "platform/platform.h"

#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

// The call is a request line and a few header lines: what does not fit is
// not the call we wait for.
const int kRequestSize = 512;

int Left(long long deadline) {
    long long left = deadline - SteadyMilliseconds();
    return left > 0 ? (int)left : 0;
}

// 0 when the time ran out or the stop came, 1 when socket has input. The
// program's signal pipe is left to the caller's own waits.
int WaitOrStop(SOCKET socket, int stop, long long deadline) {
    struct pollfd entries[2] = {{socket, POLLIN, 0}, {stop, POLLIN, 0}};
    for (;;) {
        int ready = poll(entries, 2, Left(deadline));
        if (ready > 0) {
            return entries[1].revents == 0 ? 1 : 0;
        }
        if (ready == 0 || errno != EINTR) {
            return 0;
        }
    }
}

// Reads until the request is there, the peer stops, or the room is full.
bool HeardRequest(SOCKET connection, const CallAnswer* answer, long long deadline) {
    char text[kRequestSize + 1];
    int used = 0;
    while (used < kRequestSize && WaitOrStop(connection, answer->stop[0], deadline)) {
        ssize_t got = recv(connection, text + used, (size_t)(kRequestSize - used), 0);
        if (got <= 0) {
            return false;
        }
        used += (int)got;
        text[used] = '\0';
        if (std::strstr(text, answer->request) != nullptr) {
            return true;
        }
    }
    return false;
}

void* Answer(void* argument) {
    CallAnswer* answer = (CallAnswer*)argument;
    long long deadline = SteadyMilliseconds() + answer->milliseconds;
    while (!answer->answered && WaitOrStop(answer->listener, answer->stop[0], deadline)) {
        SOCKET connection = accept(answer->listener, nullptr, nullptr);
        if (connection == INVALID_SOCKET) {
            continue;
        }
        if (HeardRequest(connection, answer, deadline)) {
            size_t length = std::strlen(answer->reply);
            answer->answered =
                send(connection, answer->reply, length, MSG_NOSIGNAL) == (ssize_t)length;
        }
        close(connection);
    }
    return nullptr;
}

} // namespace

SOCKET ListenOnPort(unsigned short port) {
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    if (listener == INVALID_SOCKET) {
        return INVALID_SOCKET;
    }
    // The connection answered last time may still wait out its close on
    // this port; that must not count as the port being taken. A socket
    // that listens there still does.
    int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    struct sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(listener, (const struct sockaddr*)&address, sizeof(address)) != 0 ||
        listen(listener, 4) != 0) {
        close(listener);
        return INVALID_SOCKET;
    }
    return listener;
}

bool StartAnswering(CallAnswer* answer) {
    answer->answered = false;
    if (pipe(answer->stop) != 0) {
        return false;
    }
    if (pthread_create(&answer->thread, nullptr, Answer, answer) != 0) {
        close(answer->stop[0]);
        close(answer->stop[1]);
        return false;
    }
    return true;
}

bool FinishAnswering(CallAnswer* answer) {
    char stop = 0;
    ssize_t written = write(answer->stop[1], &stop, 1);
    (void)written; // a full pipe has told the thread already
    pthread_join(answer->thread, nullptr);
    close(answer->stop[0]);
    close(answer->stop[1]);
    return answer->answered;
}
