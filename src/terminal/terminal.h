// The terminal view of a dialog, drawn with ncurses: the frame with the
// caption, the controls from the template, keys and mouse clicks fed to the
// dialog manager, and SIGINT, SIGTERM, SIGHUP and SIGQUIT as requests to end.
#pragma once

#include "terminal/dialog.h"

struct TerminalView;

// Standard input and output are both a terminal.
bool TerminalAvailable();

// The terminal's size in character cells; 80 by 24 when it cannot be told.
void TerminalScreenSize(int* columns, int* rows);

// Takes over the terminal for the dialog. When the terminal cannot be used
// it says so in one line on standard error and gives null.
TerminalView* TerminalOpen(const Dialog* dialog);

// Gives the terminal back as it was.
void TerminalClose(TerminalView* view);

// Draws the dialog at once, or one line saying that the terminal is too
// small for it.
void TerminalDraw(TerminalView* view, const Dialog* dialog);

// Waits until the user or a signal has given the dialog some input and
// queues it; a resize re-centres and redraws the dialog meanwhile. Resizes
// are held back outside this wait, so that they never interrupt a call of
// the dialog procedure.
void TerminalWait(TerminalView* view, Dialog* dialog);
