// Dialog units to character cells, and the text rules that the dialog
// manager and the terminal view share.
#pragma once

#include "terminal/resources.h"

// The largest client area that fits a terminal of 80 by 24 with the frame
// around it; the caption sits in the frame's top line.
const int kMaxClientColumns = 78;
const int kMaxClientRows = 22;

struct CellRect {
    int left;
    int top;
    int width;
    int height;
};

// The client area's size and each item's cells, relative to the client
// area's top left corner.
struct DialogCells {
    int columns;
    int rows;
    CellRect items[kMaxDialogItems];
};

// A cell is 4 dialog units wide and 8 high. A character cell is wider than
// an average character of the template's font, so columns widen where a
// one-line text or a button caption would not fit, and empty columns and
// rows go where the dialog would not fit 80 by 24. An item up to two text
// lines high (a button, a one-line field) takes one row; a taller one every
// row that its height touches, so that no line of a wrapped text is lost.
void LayoutDialog(const DialogTemplate* dialog, DialogCells* cells);

// The text as shown: with prefix, '&' marks the next character as the
// mnemonic and "&&" shows one '&'. *mnemonic is the index of the marked
// character in shown, or -1.
void ShownText(const char* text, bool prefix, char* shown, int shownSize, int* mnemonic);

// A button's caption and the marks around it need this many more columns.
const int kButtonDecoration = 4;

// The next line of text within width columns, broken after a blank where a
// word would not fit, or within a word longer than the width; a newline
// breaks too. Gives the number of characters shown; *next is the index where
// the following line begins, blanks at the break skipped.
int WrapLine(const char* text, int width, int* next);
