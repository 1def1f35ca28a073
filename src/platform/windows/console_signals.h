// The console's requests to end (Ctrl-C, Ctrl-Break, its window closed),
// as posix/signals.h has the signals: noted, and an event set that the
// wait between rounds watches. The socket waits are not cut short.
#pragma once

// Catches them; false when no event can be had, and nothing is caught then.
bool CatchSignals();
void ReleaseSignals();

bool EndRequested();
// Set once an end is requested; null while nothing is caught.
HANDLE EndEvent();
