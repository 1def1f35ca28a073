// The dialog manager: state, message queue and keyboard and mouse handling.
#include "terminal/dialog.h"

#include <cctype>

#include "platform/posix/signals.h"
#include "platform/posix/text.h"

namespace {

const int kCloseBoxCaptured = -2;
const int kCloseBoxWidth = 3;

INT_PTR Send(Dialog* dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return dialog->procedure(&dialog->window, message, wParam, lParam);
}

bool IsTabStop(const DialogControl* control) {
    DWORD style = control->item.window.style;
    return (style & WS_TABSTOP) != 0 && (style & WS_VISIBLE) != 0 && control->enabled;
}

// The next tab stop after control in step's direction, wrapping; from no
// control (-1) the first or the last one.
int NextTabStop(const Dialog* dialog, int control, int step) {
    int count = dialog->controlCount;
    if (control < 0) {
        control = step > 0 ? -1 : count;
    }
    for (int i = 1; i <= count; ++i) {
        int at = ((control + step * i) % count + count) % count;
        if (IsTabStop(&dialog->controls[at])) {
            return at;
        }
    }
    return -1;
}

// A command as a push button, the Enter key or the Esc key sends it: the id
// in the low word and BN_CLICKED, 0, in the high word.
void SendCommand(Dialog* dialog, int id, int control) {
    LPARAM handle = control >= 0 ? (LPARAM)&dialog->controls[control].window : 0;
    Send(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), handle);
}

void Press(Dialog* dialog, int control) {
    if (control >= 0 && IsPushButton(&dialog->controls[control]) &&
        dialog->controls[control].enabled) {
        SendCommand(dialog, dialog->controls[control].item.id, control);
    }
}

// IDOK and IDCANCEL from the keyboard: sent unless the dialog has that
// button and it is disabled.
void SendStandardCommand(Dialog* dialog, int id) {
    int control = DialogFindControl(dialog, id);
    if (control < 0 || dialog->controls[control].enabled) {
        SendCommand(dialog, id, control);
    }
}

bool HasMnemonic(const DialogControl* control, int key) {
    char shown[kControlTextSize];
    int mnemonic;
    ShownText(control->text, true, shown, sizeof(shown), &mnemonic);
    return mnemonic >= 0 && std::tolower((unsigned char)shown[mnemonic]) == std::tolower(key);
}

// The push button whose mnemonic is key, searched from the focus on.
int MnemonicButton(const Dialog* dialog, int key) {
    int count = dialog->controlCount;
    for (int i = 1; i <= count; ++i) {
        int at = (dialog->focus + i + count) % count;
        const DialogControl* control = &dialog->controls[at];
        if (IsPushButton(control) && (control->item.window.style & WS_VISIBLE) &&
            HasMnemonic(control, key)) {
            return at;
        }
    }
    return -1;
}

void HandleKey(Dialog* dialog, int key) {
    switch (key) {
    case kKeyTab:
    case kKeyBackTab: {
        int next = NextTabStop(dialog, dialog->focus, key == kKeyTab ? 1 : -1);
        if (next >= 0) {
            DialogSetFocus(dialog, next);
        }
        break;
    }
    case kKeyEnter:
        if (dialog->focus >= 0 && IsPushButton(&dialog->controls[dialog->focus])) {
            Press(dialog, dialog->focus);
        } else {
            SendStandardCommand(dialog, IDOK);
        }
        break;
    case kKeySpace:
        Press(dialog, dialog->focus);
        break;
    case kKeyEscape:
        SendStandardCommand(dialog, IDCANCEL);
        break;
    default:
        if (key > ' ' && key < 0x7F) {
            Press(dialog, MnemonicButton(dialog, key));
        }
        break;
    }
}

bool InCloseBox(const Dialog* dialog, int column, int row) {
    int left = DialogCloseBoxLeft(dialog);
    return row == dialog->rect.top && column >= left && column < left + kCloseBoxWidth;
}

// A button acts when the mouse goes up over the one it went down on.
void HandleMouseDown(Dialog* dialog, int column, int row) {
    dialog->captured = -1;
    if (InCloseBox(dialog, column, row)) {
        dialog->captured = kCloseBoxCaptured;
        return;
    }
    int control = DialogControlAt(dialog, column, row);
    if (control >= 0 && IsPushButton(&dialog->controls[control]) &&
        dialog->controls[control].enabled) {
        dialog->captured = control;
        DialogSetFocus(dialog, control);
    }
}

void HandleMouseUp(Dialog* dialog, int column, int row) {
    int captured = dialog->captured;
    dialog->captured = -1;
    if (captured == kCloseBoxCaptured && InCloseBox(dialog, column, row)) {
        SendStandardCommand(dialog, IDCANCEL);
    } else if (captured >= 0 && DialogControlAt(dialog, column, row) == captured) {
        Press(dialog, captured);
    }
}

// Ending as Exit would; if the procedure does not end the dialog, the
// manager does.
void HandleEndRequest(Dialog* dialog) {
    SendCommand(dialog, IDCANCEL, DialogFindControl(dialog, IDCANCEL));
    if (!dialog->ended) {
        DialogEnd(dialog, IDCANCEL);
    }
}

void HandleInput(Dialog* dialog, const DialogInput* input) {
    switch (input->kind) {
    case kInputKey:
        HandleKey(dialog, input->key);
        break;
    case kInputMouseDown:
        HandleMouseDown(dialog, input->column, input->row);
        break;
    case kInputMouseUp:
        HandleMouseUp(dialog, input->column, input->row);
        break;
    }
}

} // namespace

bool IsPushButton(const DialogControl* control) {
    DWORD type = control->item.window.style & BS_TYPEMASK;
    return ItemClass(&control->item) == kButtonClass &&
           (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

void DialogCreate(Dialog* dialog, HINSTANCE module, const DialogTemplate* dialogTemplate,
                  DLGPROC procedure) {
    DialogCells cells;
    LayoutDialog(dialogTemplate, &cells);
    dialog->window.dialog = dialog;
    dialog->window.control = -1;
    dialog->module = module;
    dialog->procedure = procedure;
    lstrcpynA(dialog->caption, dialogTemplate->caption, sizeof(dialog->caption));
    dialog->controlCount = dialogTemplate->itemCount;
    for (int i = 0; i < dialog->controlCount; ++i) {
        DialogControl* control = &dialog->controls[i];
        control->window.dialog = dialog;
        control->window.control = i;
        control->item = dialogTemplate->items[i];
        lstrcpynA(control->text, control->item.text, sizeof(control->text));
        control->enabled = (control->item.window.style & WS_DISABLED) == 0;
        control->cells = cells.items[i];
    }
    dialog->clientColumns = cells.columns;
    dialog->clientRows = cells.rows;
    dialog->rect.left = dialogTemplate->window.x / 4;
    dialog->rect.top = dialogTemplate->window.y / 8;
    dialog->rect.right = dialog->rect.left + cells.columns + 2;
    dialog->rect.bottom = dialog->rect.top + cells.rows + 2;
    dialog->focus = -1;
    dialog->captured = -1;
    dialog->visible = false;
    dialog->ended = false;
    dialog->result = 0;
    dialog->postedFirst = dialog->postedCount = 0;
    dialog->inputFirst = dialog->inputCount = 0;
    dialog->view = nullptr;
    TakeEndRequest();
}

void DialogInit(Dialog* dialog, LPARAM initParam) {
    int first = NextTabStop(dialog, -1, 1);
    WPARAM firstHandle = first >= 0 ? (WPARAM)&dialog->controls[first].window : 0;
    if (Send(dialog, WM_INITDIALOG, firstHandle, initParam) && first >= 0) {
        DialogSetFocus(dialog, first);
    }
}

void DialogStart(Dialog* dialog, LPARAM initParam) {
    DialogInit(dialog, initParam);
    if (dialog->ended) {
        return;
    }
    Send(dialog, WM_SHOWWINDOW, TRUE, 0);
    dialog->visible = true;
}

bool DialogRunUntilIdle(Dialog* dialog) {
    while (!dialog->ended) {
        if (TakeEndRequest()) {
            HandleEndRequest(dialog);
        } else if (dialog->postedCount > 0) {
            DialogMessage message = dialog->posted[dialog->postedFirst];
            dialog->postedFirst = (dialog->postedFirst + 1) % kPostedCapacity;
            --dialog->postedCount;
            Send(dialog, message.message, message.wParam, message.lParam);
        } else if (dialog->inputCount > 0) {
            DialogInput input = dialog->input[dialog->inputFirst];
            dialog->inputFirst = (dialog->inputFirst + 1) % kInputCapacity;
            --dialog->inputCount;
            HandleInput(dialog, &input);
        } else {
            break;
        }
    }
    return dialog->ended;
}

bool DialogPost(Dialog* dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (dialog->postedCount == kPostedCapacity) {
        return false;
    }
    int at = (dialog->postedFirst + dialog->postedCount) % kPostedCapacity;
    dialog->posted[at].message = message;
    dialog->posted[at].wParam = wParam;
    dialog->posted[at].lParam = lParam;
    ++dialog->postedCount;
    return true;
}

bool DialogQueueInput(Dialog* dialog, const DialogInput* input) {
    if (dialog->inputCount == kInputCapacity) {
        return false;
    }
    dialog->input[(dialog->inputFirst + dialog->inputCount) % kInputCapacity] = *input;
    ++dialog->inputCount;
    return true;
}

void DialogEnd(Dialog* dialog, INT_PTR result) {
    dialog->ended = true;
    dialog->result = result;
}

int DialogFindControl(const Dialog* dialog, int id) {
    for (int i = 0; i < dialog->controlCount; ++i) {
        if (dialog->controls[i].item.id == (WORD)id) {
            return i;
        }
    }
    return -1;
}

void DialogSetText(Dialog* dialog, int control, const char* text) {
    lstrcpynA(dialog->controls[control].text, text, kControlTextSize);
}

bool DialogEnable(Dialog* dialog, int control, bool enable) {
    bool wasDisabled = !dialog->controls[control].enabled;
    dialog->controls[control].enabled = enable;
    if (!enable && dialog->focus == control) {
        dialog->focus = -1;
    }
    return wasDisabled;
}

void DialogSetFocus(Dialog* dialog, int control) {
    dialog->focus = control;
}

void DialogMove(Dialog* dialog, int left, int top) {
    RECT* rect = &dialog->rect;
    rect->right += left - rect->left;
    rect->bottom += top - rect->top;
    rect->left = left;
    rect->top = top;
}

void DialogCentre(Dialog* dialog, int columns, int rows) {
    int width = dialog->rect.right - dialog->rect.left;
    int height = dialog->rect.bottom - dialog->rect.top;
    DialogMove(dialog, columns / 2 - width / 2, rows / 2 - height / 2);
}

int DialogControlAt(const Dialog* dialog, int column, int row) {
    int x = column - dialog->rect.left - 1;
    int y = row - dialog->rect.top - 1;
    for (int i = 0; i < dialog->controlCount; ++i) {
        const CellRect* cells = &dialog->controls[i].cells;
        if ((dialog->controls[i].item.window.style & WS_VISIBLE) != 0 && x >= cells->left &&
            x < cells->left + cells->width && y >= cells->top && y < cells->top + cells->height) {
            return i;
        }
    }
    return -1;
}

int DialogCloseBoxLeft(const Dialog* dialog) {
    return dialog->rect.right - 1 - kCloseBoxWidth;
}
