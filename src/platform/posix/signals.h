// The signals of a terminal program: SIGINT, SIGTERM, SIGHUP and SIGQUIT
// (Ctrl-\, which would otherwise leave the terminal as the dialog set it)
// ask it to end, SIGWINCH tells that the terminal was resized. While they are caught,
// their handler only notes them and writes a byte to one pipe, which every
// wait of the program watches: the dialog's wait for input and the socket
// layer's waits alike, so that a request to end is served at once.
#pragma once

// Catches the five signals (with SA_RESTART) and opens the pipe; false when
// no pipe can be had, and nothing is caught then.
bool CatchSignals();
// The handlers and the signal mask as they were before, the pipe closed.
void ReleaseSignals();

// The pipe's end to poll for reading; -1 while no signals are caught.
int SignalPipe();
// Empties the pipe. What its bytes told stays noted: see below.
void DrainSignalPipe();

// A request to end, from a signal or from the program itself (when nobody
// can answer the dialog any more); async-signal-safe. Once it is made, no
// socket wait and no name lookup starts, and one in progress ends.
void RequestEnd();
bool EndRequested();
// Whether an end was requested, forgetting the request.
bool TakeEndRequest();

// Whether the terminal was resized since the last call.
bool TakeResize();
// While held, a resize is not delivered, so that it never interrupts work
// that does not expect it; releasing delivers the one held back.
void HoldResize(bool hold);
