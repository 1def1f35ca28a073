// The console's requests to end (Ctrl-C, Ctrl-Break, its window closed),
// as posix/signals.h has the signals: noted, and a datagram sent to a
// loopback socket of the program's own, which every socket wait watches
// beside its own sockets, so that a request to end is served at once.
#pragma once

// Catches them, once the socket layer has started; false when no socket can
// be had, and nothing is caught then.
bool CatchSignals();
void ReleaseSignals();

bool EndRequested();
// The socket to watch for reading: readable once an end is requested (its
// datagram is never taken, so that the waits of every thread end);
// INVALID_SOCKET while nothing is caught.
SOCKET EndSocket();
