// Socket settings and waits whose form differs between Windows Sockets and
// BSD sockets. Each gives 0 on success and SOCKET_ERROR on failure.
//
// Every wait lasts until its deadline at most, a moment of
// SteadyMilliseconds; the waits block in select or poll, without spinning.
// Over BSD sockets they also end at once when the program has been asked to
// end (posix/signals.h), and no wait starts after that.
#pragma once

// A steady clock in milliseconds, from some moment before the first call.
long long SteadyMilliseconds();

// Sends each piece of data at once, without waiting for the acknowledgement
// of the previous one (no Nagle coalescing).
int SetSocketNoDelay(SOCKET socket);

// While held (hold 1), the small sends of one request are gathered into as
// few segments as they fill; releasing (hold 0) sends what is gathered. Where
// the platform cannot gather, this does nothing.
int HoldSends(SOCKET socket, int hold);

// Lets a socket that is to listen take its port while connections closed
// there wait out their close, but never while another socket listens there.
// BSD sockets need SO_REUSEADDR for that; Windows Sockets allow it as they
// are, and their SO_REUSEADDR would share a port that another program
// listens on.
int SetListenerRebinding(SOCKET socket);

// Makes the socket's receive, send and accept give up at once instead of
// waiting; a wait tells when to call them.
int SetSocketNonBlocking(SOCKET socket);

// connect, waiting for the connection as a wait does (see above). The
// socket is left non-blocking: every later receive and send must follow a
// WaitForSocket.
int ConnectWithTimeout(SOCKET socket, const struct sockaddr* address, int length,
                       long long deadline);

enum SocketWait {
    kWaitToReceive, // data, the peer's close or an error are there
    kWaitToSend,    // there is room to send
};

int WaitForSocket(SOCKET socket, SocketWait wait, long long deadline);

// The most sockets that one WaitForSockets watches.
const int kMaxWaitSockets = 20;

// Waits as WaitForSocket does until one of count sockets (at most
// kMaxWaitSockets) has data, the peer's close or an error to receive; the
// index of one that has, or SOCKET_ERROR.
int WaitForSockets(const SOCKET* sockets, int count, long long deadline);

// True once the waits end at once because the program is to end; a loop of
// waits stops then instead of spinning.
bool WaitsCutShort();

// Waits until deadline, or (where the program catches the requests to end,
// posix/signals.h and windows/console_signals.h) until it is asked to end;
// whether it was.
bool WaitForEnd(long long deadline);

// The earlier of now + milliseconds and deadline: a step's own bound
// within a longer one.
inline long long DeadlineWithin(int milliseconds, long long deadline) {
    long long end = SteadyMilliseconds() + milliseconds;
    return end < deadline ? end : deadline;
}
