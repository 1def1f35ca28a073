// The answering runs on a thread of its own, because the caller is held in
// its own exchange with the peer until the peer has been answered. A pipe
// tells it to stop. Port 1720 is scanned all day on the Internet, and most
// when it is open: every connection of the window is read at once, each for
// a short while of its own, so that a stranger who connects and says
// nothing never keeps the call waiting. Only poll waits, so the thread ends
// as soon as it is told.
#include "reach/listener.h"

#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

// The call is a request line and a few header lines: what does not fit is
// not the call we wait for.
const int kRequestSize = 512;
// A caller asks at once; one that has not within this is not the call.
const int kReadMs = 1000;
const int kCallers = 16;
const int kBacklog = 64;

// One accepted connection and what it has sent so far.
struct Caller {
    SOCKET socket; // INVALID_SOCKET while the place is free
    long long deadline;
    int used;
    char text[kRequestSize + 1];
};

int Left(long long deadline) {
    long long left = deadline - SteadyMilliseconds();
    return left > 0 ? (int)left : 0;
}

// The stop pipe, the listener while a place is free, and every caller; a
// free place is -1, which poll passes over.
void Watch(const CallAnswer* answer, const Caller* callers, struct pollfd* entries) {
    bool room = false;
    for (int i = 0; i < kCallers; ++i) {
        entries[2 + i] = {callers[i].socket, POLLIN, 0};
        room = room || callers[i].socket == INVALID_SOCKET;
    }
    entries[0] = {answer->stop[0], POLLIN, 0};
    entries[1] = {room ? answer->listener : INVALID_SOCKET, POLLIN, 0};
}

// The window's end, or a caller's read deadline when that comes first.
long long NextWake(const Caller* callers, long long end) {
    for (int i = 0; i < kCallers; ++i) {
        if (callers[i].socket != INVALID_SOCKET && callers[i].deadline < end) {
            end = callers[i].deadline;
        }
    }
    return end;
}

void Drop(Caller* caller) {
    close(caller->socket);
    caller->socket = INVALID_SOCKET;
}

// The listener does not block: a connection that went away before it was
// taken costs nothing.
void AcceptCallers(SOCKET listener, Caller* callers) {
    for (int i = 0; i < kCallers; ++i) {
        if (callers[i].socket != INVALID_SOCKET) {
            continue;
        }
        callers[i].socket = accept(listener, nullptr, nullptr);
        if (callers[i].socket == INVALID_SOCKET) {
            return;
        }
        callers[i].deadline = SteadyMilliseconds() + kReadMs;
        callers[i].used = 0;
    }
}

// Reads what the caller has sent, when poll saw something; true when that
// holds the request and the reply went out. The caller is let go once it
// is answered, stops, fills its room without asking or runs out of time.
bool Serve(Caller* caller, short events, const CallAnswer* answer) {
    if (caller->socket == INVALID_SOCKET) {
        return false;
    }
    if (SteadyMilliseconds() >= caller->deadline) {
        Drop(caller);
        return false;
    }
    if (events == 0) {
        return false;
    }
    ssize_t got = recv(caller->socket, caller->text + caller->used,
                       (size_t)(kRequestSize - caller->used), MSG_DONTWAIT);
    if (got <= 0) {
        Drop(caller);
        return false;
    }
    caller->used += (int)got;
    caller->text[caller->used] = '\0';
    bool asked = std::strstr(caller->text, answer->request) != nullptr;
    size_t length = std::strlen(answer->reply);
    bool answered = asked && send(caller->socket, answer->reply, length,
                                  MSG_NOSIGNAL | MSG_DONTWAIT) == (ssize_t)length;
    if (asked || caller->used == kRequestSize) {
        Drop(caller);
    }
    return answered;
}

void* Answer(void* argument) {
    CallAnswer* answer = (CallAnswer*)argument;
    long long end = SteadyMilliseconds() + answer->milliseconds;
    Caller callers[kCallers];
    for (Caller& caller : callers) {
        caller.socket = INVALID_SOCKET;
    }
    struct pollfd entries[kCallers + 2];
    while (!answer->answered && SteadyMilliseconds() < end) {
        Watch(answer, callers, entries);
        if ((poll(entries, kCallers + 2, Left(NextWake(callers, end))) < 0 && errno != EINTR) ||
            entries[0].revents != 0) {
            break;
        }
        if (entries[1].revents != 0) {
            AcceptCallers(answer->listener, callers);
        }
        for (int i = 0; i < kCallers && !answer->answered; ++i) {
            answer->answered = Serve(&callers[i], entries[2 + i].revents, answer);
        }
    }
    for (Caller& caller : callers) {
        if (caller.socket != INVALID_SOCKET) {
            Drop(&caller);
        }
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
        listen(listener, kBacklog) != 0 ||
        fcntl(listener, F_SETFL, fcntl(listener, F_GETFL) | O_NONBLOCK) != 0) {
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
