// Socket settings whose form differs between Windows Sockets and BSD
// sockets. Each gives 0 on success and SOCKET_ERROR on failure.
#pragma once

// Bounds every later send and receive on the socket; a receive that waits
// longer fails like any failed receive.
int SetSocketTimeouts(SOCKET socket, int milliseconds);

// connect, but failing once the connection is not made within the given
// time. The socket is blocking again afterwards.
int ConnectWithTimeout(SOCKET socket, const struct sockaddr* address, int length, int milliseconds);
