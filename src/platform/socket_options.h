// Socket settings whose form differs between Windows Sockets and BSD
// sockets. Each gives 0 on success and SOCKET_ERROR on failure.
#pragma once

// Bounds every later send and receive on the socket; a receive that waits
// longer fails like any failed receive.
int SetSocketTimeouts(SOCKET socket, int milliseconds);

// Sends each piece of data at once, without waiting for the acknowledgement
// of the previous one (no Nagle coalescing).
int SetSocketNoDelay(SOCKET socket);

// While held (hold 1), the small sends of one request are gathered into as
// few segments as they fill; releasing (hold 0) sends what is gathered. Where
// the platform cannot gather, this does nothing.
int HoldSends(SOCKET socket, int hold);

// connect, but failing once the connection is not made within the given
// time. The socket is blocking again afterwards.
int ConnectWithTimeout(SOCKET socket, const struct sockaddr* address, int length, int milliseconds);

#ifndef _WIN32
// Windows Sockets knows no signals. Over BSD sockets a receive or send that
// has a time-out is cut short by any signal, even one whose handler asks for
// restarted calls (a terminal resize, say); these carry on instead.
ssize_t WinsockRecv(SOCKET socket, void* buffer, size_t length, int flags);
ssize_t WinsockSend(SOCKET socket, const void* buffer, size_t length, int flags);
#define recv WinsockRecv
#define send WinsockSend
#endif
