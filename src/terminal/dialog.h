// The dialog manager: a modal dialog's controls, texts, enable states,
// focus and tab order, its posted-message queue, and the keys and clicks
// turned into commands as a Win32 dialog does it. It draws nothing; a
// terminal view, when one is attached, shows its state. Without a view it
// runs headless, fed with input by its caller.
#pragma once

#include "terminal/layout.h"
#include "terminal/user32.h"

struct Dialog;
struct TerminalView;

// A window handle: the dialog itself (control -1) or one of its controls.
struct HWND__ {
    Dialog* dialog;
    int control;
};

const int kControlTextSize = 1024;
const int kPostedCapacity = 256;
const int kInputCapacity = 256;

// Keys as the manager knows them: characters by their code, and these.
const int kKeyTab = '\t';
const int kKeyEnter = '\r';
const int kKeyEscape = 0x1B;
const int kKeySpace = ' ';
const int kKeyBackTab = 0x100;

enum DialogInputKind {
    kInputKey,
    kInputMouseDown, // the left button, at a screen cell
    kInputMouseUp,
};

struct DialogInput {
    DialogInputKind kind;
    int key; // a mnemonic letter counts the same with Alt and without
    int column;
    int row;
};

struct DialogControl {
    HWND__ window;
    DialogItemTemplate item;
    char text[kControlTextSize];
    bool enabled;
    CellRect cells; // relative to the client area
};

struct DialogMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct Dialog {
    HWND__ window;
    HINSTANCE module;
    DLGPROC procedure;
    char caption[kDialogTextSize];
    int controlCount;
    DialogControl controls[kMaxDialogItems];
    int clientColumns;
    int clientRows;
    RECT rect;    // the outer rectangle, frame included, in screen cells
    int focus;    // a control's index, or -1
    int captured; // the button that the mouse went down on, or -1
    bool visible;
    bool ended;
    INT_PTR result;
    DialogMessage posted[kPostedCapacity];
    int postedFirst;
    int postedCount;
    DialogInput input[kInputCapacity];
    int inputFirst;
    int inputCount;
    TerminalView* view; // null while headless
};

// Builds the controls from the template and lays them out; the dialog is
// not shown and has received no message yet.
void DialogCreate(Dialog* dialog, HINSTANCE module, const DialogTemplate* dialogTemplate,
                  DLGPROC procedure);

// WM_INITDIALOG; TRUE from the procedure puts the focus on the first tab
// stop.
void DialogInit(Dialog* dialog, LPARAM initParam);

// DialogInit, then WM_SHOWWINDOW with wParam 1 as the dialog is shown,
// unless it has ended.
void DialogStart(Dialog* dialog, LPARAM initParam);

// Dispatches posted messages, then queued input, one at a time and posted
// messages always first, until the dialog has ended or nothing is left.
// A request to end (RequestEnd of posix/signals.h) comes before both and
// ends the dialog as Exit would, once the dialog procedure has returned: a
// run in progress has ended early, the runs still queued do not start.
// Gives true when the dialog has ended.
bool DialogRunUntilIdle(Dialog* dialog);

bool DialogPost(Dialog* dialog, UINT message, WPARAM wParam, LPARAM lParam);
bool DialogQueueInput(Dialog* dialog, const DialogInput* input);
void DialogEnd(Dialog* dialog, INT_PTR result);

int DialogFindControl(const Dialog* dialog, int id);
void DialogSetText(Dialog* dialog, int control, const char* text);
// Gives whether the control was disabled before; a disabled control loses
// the focus.
bool DialogEnable(Dialog* dialog, int control, bool enable);
void DialogSetFocus(Dialog* dialog, int control);
void DialogMove(Dialog* dialog, int left, int top);

// Places the dialog in the middle of a screen of that many cells.
void DialogCentre(Dialog* dialog, int columns, int rows);

// The control at a screen cell, -1 for none.
int DialogControlAt(const Dialog* dialog, int column, int row);
// Where the close box lies: the screen cells [left, left + 3) of the top row.
int DialogCloseBoxLeft(const Dialog* dialog);

bool IsPushButton(const DialogControl* control);
