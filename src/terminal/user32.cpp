// The user32 calls over the dialog manager and its terminal view.
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/posix/text.h"
#include "terminal/terminal.h"
#include "terminal/user32.h"

namespace {

// The dialog and the template it was made from, for one modal run.
struct ModalDialog {
    DialogTemplate dialogTemplate;
    Dialog dialog;
};

DialogControl* ControlOf(HWND window) {
    if (window == nullptr || window->control < 0) {
        return nullptr;
    }
    return &window->dialog->controls[window->control];
}

Dialog* DialogOf(HWND window) {
    return window == nullptr ? nullptr : window->dialog;
}

// What the program changes shows at once, even while it goes on working.
void Show(Dialog* dialog) {
    if (dialog->view != nullptr && dialog->visible) {
        TerminalDraw(dialog->view, dialog);
    }
}

INT_PTR RunModal(Dialog* dialog, LPARAM initParam) {
    dialog->view = TerminalOpen(dialog);
    if (dialog->view == nullptr) {
        return -1;
    }
    DialogStart(dialog, initParam);
    while (!DialogRunUntilIdle(dialog)) {
        TerminalDraw(dialog->view, dialog);
        TerminalWait(dialog->view, dialog);
    }
    TerminalClose(dialog->view);
    dialog->view = nullptr;
    return dialog->result;
}

} // namespace

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND, DLGPROC procedure,
                        LPARAM initParam) {
    if (!IS_INTRESOURCE(templateName) || procedure == nullptr) {
        return -1;
    }
    ModalDialog* modal = new (std::nothrow) ModalDialog();
    if (modal == nullptr) {
        return -1;
    }
    INT_PTR result = -1;
    if (ResourceLoadDialog(instance, LOWORD(templateName), &modal->dialogTemplate)) {
        if (TerminalAvailable()) {
            DialogCreate(&modal->dialog, instance, &modal->dialogTemplate, procedure);
            result = RunModal(&modal->dialog, initParam);
        } else {
            std::fprintf(stderr,
                         "%s: the dialog needs a terminal, and standard input or output "
                         "is not one\n",
                         modal->dialogTemplate.caption);
        }
    }
    delete modal;
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    if (dialog == nullptr || dialog->control >= 0) {
        return FALSE;
    }
    DialogEnd(dialog->dialog, result);
    return TRUE;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == nullptr || window->control >= 0) {
        return FALSE;
    }
    return DialogPost(window->dialog, message, wParam, lParam) ? TRUE : FALSE;
}

HWND GetDlgItem(HWND dialog, int id) {
    if (dialog == nullptr) {
        return nullptr;
    }
    int control = DialogFindControl(dialog->dialog, id);
    return control < 0 ? nullptr : &dialog->dialog->controls[control].window;
}

BOOL EnableWindow(HWND window, BOOL enable) {
    if (ControlOf(window) == nullptr) {
        return FALSE;
    }
    bool wasDisabled = DialogEnable(window->dialog, window->control, enable != FALSE);
    Show(window->dialog);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
    DialogControl* control = ControlOf(window);
    return control != nullptr && control->enabled ? TRUE : FALSE;
}

HWND SetFocus(HWND window) {
    Dialog* dialog = DialogOf(window);
    if (ControlOf(window) == nullptr) {
        return nullptr;
    }
    int previous = dialog->focus;
    DialogSetFocus(dialog, window->control);
    Show(dialog);
    return previous < 0 ? nullptr : &dialog->controls[previous].window;
}

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferSize) {
    return ResourceLoadString(instance, id, buffer, bufferSize);
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND item = GetDlgItem(dialog, id);
    if (item == nullptr) {
        return FALSE;
    }
    DialogSetText(item->dialog, item->control, text != nullptr ? text : "");
    Show(item->dialog);
    return TRUE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int bufferSize) {
    DialogControl* control = ControlOf(GetDlgItem(dialog, id));
    if (buffer == nullptr || bufferSize <= 0) {
        return 0;
    }
    lstrcpynA(buffer, control != nullptr ? control->text : "", bufferSize);
    return (UINT)std::strlen(buffer);
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
    Dialog* dialog = DialogOf(window);
    if (dialog == nullptr || rect == nullptr) {
        return FALSE;
    }
    DialogControl* control = ControlOf(window);
    if (control == nullptr) {
        *rect = dialog->rect;
        return TRUE;
    }
    rect->left = dialog->rect.left + 1 + control->cells.left;
    rect->top = dialog->rect.top + 1 + control->cells.top;
    rect->right = rect->left + control->cells.width;
    rect->bottom = rect->top + control->cells.height;
    return TRUE;
}

int GetSystemMetrics(int index) {
    int columns;
    int rows;
    TerminalScreenSize(&columns, &rows);
    switch (index) {
    case SM_CXSCREEN:
        return columns;
    case SM_CYSCREEN:
        return rows;
    default:
        return 0;
    }
}

// The dialog moves; its size stays what the layout made of the template.
BOOL MoveWindow(HWND window, int x, int y, int, int, BOOL) {
    if (window == nullptr || window->control >= 0) {
        return FALSE;
    }
    DialogMove(window->dialog, x, y);
    Show(window->dialog);
    return TRUE;
}
