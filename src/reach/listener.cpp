// The answering runs on a thread of its own, because the caller is held in
// its own exchange with the peer until the peer has been answered. Port 1720
// is scanned all day on the Internet, and most when it is open: every
// connection of the window is read at once, each for a short while of its
// own, so that a stranger who connects and says nothing never keeps the
// call waiting. The thread waits in short slices and looks at its stop flag
// between them, so it ends soon after it is told, and never after the
// window.
#include "reach/listener.h"

#include <cstring>

namespace {

// The call is a request line and a few header lines: what does not fit is
// not the call we wait for.
const int kRequestSize = 512;
// A caller asks at once; one that has not within this is not the call.
const int kReadMs = 1000;
const int kCallers = 16;
const int kBacklog = 64;
// How late the thread may see that it is told to stop.
const int kSliceMs = 20;

// One accepted connection and what it has sent so far.
struct Caller {
    SOCKET socket; // INVALID_SOCKET while the place is free
    long long deadline;
    int used;
    char text[kRequestSize + 1];
};

// Until the window's end, or a caller's read deadline when that comes
// first, in one slice at most.
long long NextWake(const Caller* callers, long long end) {
    for (int i = 0; i < kCallers; ++i) {
        if (callers[i].socket != INVALID_SOCKET && callers[i].deadline < end) {
            end = callers[i].deadline;
        }
    }
    long long slice = SteadyMilliseconds() + kSliceMs;
    return slice < end ? slice : end;
}

// The callers, then the listener while a place is free; how many.
int Watch(SOCKET listener, const Caller* callers, SOCKET* watched) {
    int count = 0;
    for (int i = 0; i < kCallers; ++i) {
        if (callers[i].socket != INVALID_SOCKET) {
            watched[count++] = callers[i].socket;
        }
    }
    if (count < kCallers) {
        watched[count++] = listener;
    }
    return count;
}

void Drop(Caller* caller) {
    closesocket(caller->socket);
    caller->socket = INVALID_SOCKET;
}

// The listener does not block: a connection that went away before it was
// taken costs nothing. Neither do the callers, whose sends and receives
// follow a wait.
void AcceptCallers(SOCKET listener, Caller* callers) {
    for (int i = 0; i < kCallers; ++i) {
        if (callers[i].socket != INVALID_SOCKET) {
            continue;
        }
        callers[i].socket = accept(listener, nullptr, nullptr);
        if (callers[i].socket == INVALID_SOCKET) {
            return;
        }
        if (SetSocketNonBlocking(callers[i].socket) != 0) {
            Drop(&callers[i]);
            continue;
        }
        callers[i].deadline = SteadyMilliseconds() + kReadMs;
        callers[i].used = 0;
    }
}

// Reads what the caller has sent, when the wait saw something; true when that
// holds the request and the reply went out. The caller is let go once it
// is answered, stops, fills its room without asking or runs out of time.
bool Serve(Caller* caller, SOCKET ready, const CallAnswer* answer) {
    if (caller->socket == INVALID_SOCKET) {
        return false;
    }
    if (SteadyMilliseconds() >= caller->deadline) {
        Drop(caller);
        return false;
    }
    if (caller->socket != ready) {
        return false;
    }
    int got =
        (int)recv(caller->socket, caller->text + caller->used, kRequestSize - caller->used, 0);
    if (got <= 0) {
        Drop(caller);
        return false;
    }
    caller->used += got;
    caller->text[caller->used] = '\0';
    bool asked = std::strstr(caller->text, answer->request) != nullptr;
    int length = (int)std::strlen(answer->reply);
    bool answered = asked && (int)send(caller->socket, answer->reply, length, 0) == length;
    if (asked || caller->used == kRequestSize) {
        Drop(caller);
    }
    return answered;
}

DWORD WINAPI Answer(LPVOID argument) {
    CallAnswer* answer = (CallAnswer*)argument;
    long long end = SteadyMilliseconds() + answer->milliseconds;
    Caller callers[kCallers];
    for (Caller& caller : callers) {
        caller.socket = INVALID_SOCKET;
    }
    while (!answer->answered && !answer->stop && SteadyMilliseconds() < end) {
        SOCKET watched[kCallers + 1];
        int count = Watch(answer->listener, callers, watched);
        long long wake = NextWake(callers, end);
        int ready = WaitForSockets(watched, count, wake);
        if (ready == SOCKET_ERROR && WaitsCutShort()) {
            break;
        }
        SOCKET socket = ready != SOCKET_ERROR ? watched[ready] : INVALID_SOCKET;
        if (socket == answer->listener) {
            AcceptCallers(answer->listener, callers);
        }
        for (int i = 0; i < kCallers && !answer->answered; ++i) {
            answer->answered = Serve(&callers[i], socket, answer);
        }
    }
    for (Caller& caller : callers) {
        if (caller.socket != INVALID_SOCKET) {
            Drop(&caller);
        }
    }
    return 0;
}

} // namespace

SOCKET ListenOnPort(unsigned short* port) {
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    if (listener == INVALID_SOCKET) {
        return INVALID_SOCKET;
    }
    // The connection answered last time may still wait out its close on
    // this port; that must not count as the port being taken. A socket
    // that listens there still does.
    struct sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_port = htons(*port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    int length = sizeof(address);
    if (SetListenerRebinding(listener) != 0 ||
        bind(listener, (const struct sockaddr*)&address, sizeof(address)) != 0 ||
        listen(listener, kBacklog) != 0 || SetSocketNonBlocking(listener) != 0 ||
        getsockname(listener, (struct sockaddr*)&address, &length) != 0) {
        closesocket(listener);
        return INVALID_SOCKET;
    }
    *port = ntohs(address.sin_port);
    return listener;
}

void WriteCallBackReply(const char* token, char* reply) {
    wsprintfA(reply,
              "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n\r\n%s\n",
              (int)std::strlen(token) + 1, token);
}

bool StartAnswering(CallAnswer* answer) {
    answer->answered = false;
    answer->stop = false;
    answer->thread = CreateThread(nullptr, 0, Answer, answer, 0, nullptr);
    return answer->thread != nullptr;
}

bool FinishAnswering(CallAnswer* answer) {
    answer->stop = true;
    WaitForSingleObject(answer->thread, INFINITE);
    CloseHandle(answer->thread);
    return answer->answered;
}
