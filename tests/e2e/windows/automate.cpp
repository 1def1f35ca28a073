// Drives the real Marvoly dialog from outside, the way a user would, and
// prints what it shows, one "name=value" line per fact:
//
//   automate PROGRAM STEP...
//
// PROGRAM is started, its dialog is awaited, then the steps run in order:
//   idle           wait until the detection runs have finished
//   fields         print local=, internet= and note=
//   state          print refresh= (enabled|disabled) and focus= (control id)
//   rect           print rect=left,top,right,bottom of the dialog
//   open           print open=1 while the dialog exists, else open=0
//   elapsed        print elapsed=MS, the milliseconds since the program started
//   click:ID       press the button ID (BM_CLICK), returning once it is handled
//   command:WPARAM post WM_COMMAND with this whole wParam (decimal or 0x hex)
//   key:enter      type Enter into the dialog; key:esc types Esc
//   closebox       click the close box of the caption with the mouse
//   sysmenu        open the system menu with Alt+Space and choose Close
//   sleep:MS       wait MS milliseconds
//   exit           wait for the program to end and print exit=CODE
//
// The result is 0 when every step could be done, 1 when one could not (the
// reason goes to stderr), 2 for a bad command line. Every wait is bounded,
// and a program still running at the end is terminated.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "detect/detect_ids.h"

namespace {

// How long each wait lasts, in milliseconds. A posted run that has not
// started kSettleMs after the previous one ended would mean a dialog that is
// stuck, not a busy one.
enum Waits : DWORD {
    kPollMs = 20,
    kDialogWaitMs = 30000,
    kIdleWaitMs = 30000,
    kExitWaitMs = 15000,
    kSettleMs = 300,
};

struct Session {
    PROCESS_INFORMATION process;
    HWND dialog;
    DWORD started; // GetTickCount when the program was started
};

bool Fail(const char* what, const char* detail) {
    std::fprintf(stderr, "automate: %s%s\n", what, detail);
    return false;
}

bool ProcessEnded(const Session* session) {
    return WaitForSingleObject(session->process.hProcess, 0) == WAIT_OBJECT_0;
}

HWND FindOwnDialog(const Session* session) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "#32770", "Marvoly")) != nullptr) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == session->process.dwProcessId && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

bool StartProgram(const char* program, Session* session) {
    char commandLine[MAX_PATH + 3];
    std::snprintf(commandLine, sizeof(commandLine), "\"%s\"", program);
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    session->started = GetTickCount();
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &session->process)) {
        return Fail("cannot start ", program);
    }
    for (DWORD waited = 0; waited < kDialogWaitMs; waited += kPollMs) {
        session->dialog = FindOwnDialog(session);
        if (session->dialog != nullptr) {
            return true;
        }
        if (ProcessEnded(session)) {
            return Fail("the program ended without showing its dialog", "");
        }
        Sleep(kPollMs);
    }
    return Fail("no dialog appeared", "");
}

void ReadItem(const Session* session, int id, char* text, int size) {
    text[0] = '\0';
    GetDlgItemTextA(session->dialog, id, text, size);
}

bool RunFinished(const Session* session) {
    char note[512];
    ReadItem(session, IDC_NOTES, note, sizeof(note));
    return IsWindowEnabled(GetDlgItem(session->dialog, IDOK)) && note[0] != '\0';
}

bool WaitRunFinished(const Session* session) {
    for (DWORD waited = 0; waited < kIdleWaitMs; waited += kPollMs) {
        if (RunFinished(session)) {
            return true;
        }
        if (ProcessEnded(session)) {
            return Fail("the program ended during a run", "");
        }
        Sleep(kPollMs);
    }
    return Fail("the detection run did not finish", "");
}

// A finished-looking dialog may sit between two queued runs; once it still
// looks finished after the settle time, no run is pending any more.
bool WaitIdle(const Session* session) {
    if (!WaitRunFinished(session)) {
        return false;
    }
    Sleep(kSettleMs);
    return WaitRunFinished(session);
}

void PrintItem(const Session* session, const char* name, int id) {
    char text[512];
    ReadItem(session, id, text, sizeof(text));
    std::printf("%s=%s\n", name, text);
}

bool PrintFields(const Session* session) {
    PrintItem(session, "local", IDC_LOCAL_IP);
    PrintItem(session, "internet", IDC_INTERNET_IP);
    PrintItem(session, "note", IDC_NOTES);
    return true;
}

bool PrintState(const Session* session) {
    bool enabled = IsWindowEnabled(GetDlgItem(session->dialog, IDOK));
    GUITHREADINFO info;
    std::memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    DWORD thread = GetWindowThreadProcessId(session->dialog, nullptr);
    int focus = 0;
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr) {
        focus = GetDlgCtrlID(info.hwndFocus);
    }
    std::printf("refresh=%s\nfocus=%d\n", enabled ? "enabled" : "disabled", focus);
    return true;
}

bool PrintRect(const Session* session) {
    RECT rect;
    if (!GetWindowRect(session->dialog, &rect)) {
        return Fail("cannot read the dialog's rectangle", "");
    }
    std::printf("rect=%ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return true;
}

bool PrintOpen(const Session* session) {
    std::printf("open=%d\n", IsWindow(session->dialog) && !ProcessEnded(session) ? 1 : 0);
    return true;
}

bool ClickButton(const Session* session, const char* idText) {
    HWND button = GetDlgItem(session->dialog, std::atoi(idText));
    if (button == nullptr) {
        return Fail("no such button: ", idText);
    }
    // Sent, so that whatever the click posts is queued before our next step;
    // bounded, so that a button whose action hangs cannot hang us.
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_BLOCK, kExitWaitMs, &result)) {
        return Fail("the button did not take the click: ", idText);
    }
    return true;
}

bool PostCommand(const Session* session, const char* wParamText) {
    WPARAM wParam = std::strtoul(wParamText, nullptr, 0);
    return PostMessageA(session->dialog, WM_COMMAND, wParam, 0) != 0;
}

// Typed input goes to the foreground window's focused control, through the
// dialog's own message loop, exactly as the keyboard's would.
bool BringToFront(const Session* session) {
    for (DWORD waited = 0; waited < kDialogWaitMs; waited += kPollMs) {
        SetForegroundWindow(session->dialog);
        if (GetForegroundWindow() == session->dialog) {
            return true;
        }
        Sleep(kPollMs);
    }
    return Fail("the dialog does not come to the foreground", "");
}

void SetKey(INPUT* input, WORD key, bool up) {
    std::memset(input, 0, sizeof(*input));
    input->type = INPUT_KEYBOARD;
    input->ki.wVk = key;
    input->ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
}

bool SendInputs(INPUT* inputs, UINT count) {
    if (SendInput(count, inputs, sizeof(INPUT)) != count) {
        return Fail("SendInput refused the input", "");
    }
    return true;
}

bool TypeKey(WORD key) {
    INPUT inputs[2];
    SetKey(&inputs[0], key, false);
    SetKey(&inputs[1], key, true);
    return SendInputs(inputs, 2);
}

bool PressKey(const Session* session, const char* name) {
    WORD key = 0;
    if (std::strcmp(name, "enter") == 0) {
        key = VK_RETURN;
    } else if (std::strcmp(name, "esc") == 0) {
        key = VK_ESCAPE;
    } else {
        return Fail("unknown key: ", name);
    }
    return BringToFront(session) && TypeKey(key);
}

bool WaitForMenu() {
    for (DWORD waited = 0; waited < kDialogWaitMs; waited += kPollMs) {
        HWND menu = FindWindowA("#32768", nullptr);
        if (menu != nullptr && IsWindowVisible(menu)) {
            return true;
        }
        Sleep(kPollMs);
    }
    return Fail("the system menu did not open", "");
}

bool ChooseSystemMenuClose(const Session* session) {
    if (!BringToFront(session)) {
        return false;
    }
    INPUT inputs[4];
    SetKey(&inputs[0], VK_MENU, false);
    SetKey(&inputs[1], VK_SPACE, false);
    SetKey(&inputs[2], VK_SPACE, true);
    SetKey(&inputs[3], VK_MENU, true);
    return SendInputs(inputs, 4) && WaitForMenu() && TypeKey('C');
}

// The close box is wherever the frame's own hit test says it is: a coarse
// search of the caption's right end finds one point of it, and the box is
// then followed to its edges so that its centre can be clicked.
bool HitsCloseBox(const Session* session, long x, long y) {
    DWORD_PTR hit = 0;
    SendMessageTimeoutA(session->dialog, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_BLOCK, kExitWaitMs,
                        &hit);
    return hit == HTCLOSE;
}

long EdgeOfCloseBox(const Session* session, POINT from, int dx, int dy) {
    while (HitsCloseBox(session, from.x + dx, from.y + dy)) {
        from.x += dx;
        from.y += dy;
    }
    return dx != 0 ? from.x : from.y;
}

bool FindCloseBox(const Session* session, POINT* centre) {
    RECT rect;
    GetWindowRect(session->dialog, &rect);
    for (long y = rect.top; y < rect.top + 48 && y < rect.bottom; y += 3) {
        for (long x = rect.right - 1; x > rect.right - 80 && x >= rect.left; x -= 3) {
            if (HitsCloseBox(session, x, y)) {
                POINT at = {x, y};
                centre->x =
                    (EdgeOfCloseBox(session, at, -1, 0) + EdgeOfCloseBox(session, at, 1, 0)) / 2;
                centre->y =
                    (EdgeOfCloseBox(session, at, 0, -1) + EdgeOfCloseBox(session, at, 0, 1)) / 2;
                return true;
            }
        }
    }
    return Fail("the dialog has no close box", "");
}

void SetMouse(INPUT* input, const POINT* at, DWORD flags) {
    std::memset(input, 0, sizeof(*input));
    input->type = INPUT_MOUSE;
    input->mi.dx = at->x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input->mi.dy = at->y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input->mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
}

// Every event carries the position: the display reports where its own
// pointer was now and then, and a press without a position would land there.
bool SendMouse(const POINT* at, DWORD flags) {
    INPUT input;
    SetMouse(&input, at, flags | MOUSEEVENTF_MOVE);
    return SendInputs(&input, 1);
}

// The pointer is brought over the box and left to settle before the press.
// SetCursorPos moves the display's own pointer too, so that fewer reports of
// its old place come late.
bool ClickCloseBox(const Session* session) {
    POINT centre = {0, 0};
    if (!BringToFront(session) || !FindCloseBox(session, &centre) ||
        !SetCursorPos(centre.x, centre.y) || !SendMouse(&centre, 0)) {
        return false;
    }
    Sleep(kSettleMs);
    return SendMouse(&centre, MOUSEEVENTF_LEFTDOWN) && SendMouse(&centre, MOUSEEVENTF_LEFTUP);
}

bool WaitExit(const Session* session) {
    if (WaitForSingleObject(session->process.hProcess, kExitWaitMs) != WAIT_OBJECT_0) {
        return Fail("the program did not end", "");
    }
    DWORD code = 0;
    GetExitCodeProcess(session->process.hProcess, &code);
    std::printf("exit=%lu\n", code);
    return true;
}

bool StartsWith(const char* text, const char* prefix, const char** rest) {
    size_t length = std::strlen(prefix);
    if (std::strncmp(text, prefix, length) != 0) {
        return false;
    }
    *rest = text + length;
    return true;
}

bool RunStep(Session* session, const char* step) {
    const char* argument = nullptr;
    if (std::strcmp(step, "idle") == 0) {
        return WaitIdle(session);
    }
    if (std::strcmp(step, "fields") == 0) {
        return PrintFields(session);
    }
    if (std::strcmp(step, "state") == 0) {
        return PrintState(session);
    }
    if (std::strcmp(step, "rect") == 0) {
        return PrintRect(session);
    }
    if (std::strcmp(step, "open") == 0) {
        return PrintOpen(session);
    }
    if (std::strcmp(step, "elapsed") == 0) {
        std::printf("elapsed=%lu\n", (unsigned long)(GetTickCount() - session->started));
        return true;
    }
    if (std::strcmp(step, "closebox") == 0) {
        return ClickCloseBox(session);
    }
    if (std::strcmp(step, "sysmenu") == 0) {
        return ChooseSystemMenuClose(session);
    }
    if (std::strcmp(step, "exit") == 0) {
        return WaitExit(session);
    }
    if (StartsWith(step, "click:", &argument)) {
        return ClickButton(session, argument);
    }
    if (StartsWith(step, "command:", &argument)) {
        return PostCommand(session, argument);
    }
    if (StartsWith(step, "key:", &argument)) {
        return PressKey(session, argument);
    }
    if (StartsWith(step, "sleep:", &argument)) {
        Sleep(std::strtoul(argument, nullptr, 10));
        return true;
    }
    return Fail("unknown step: ", step);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: automate PROGRAM STEP...\n");
        return 2;
    }
    // Plain "\n" line ends, for the shell scripts that read the report.
    _setmode(_fileno(stdout), _O_BINARY);
    Session session;
    std::memset(&session, 0, sizeof(session));
    bool ok = StartProgram(argv[1], &session);
    for (int i = 2; ok && i < argc; ++i) {
        std::fflush(stdout);
        ok = RunStep(&session, argv[i]);
    }
    std::fflush(stdout);
    if (session.process.hProcess != nullptr) {
        if (!ProcessEnded(&session)) {
            TerminateProcess(session.process.hProcess, 1);
            WaitForSingleObject(session.process.hProcess, kExitWaitMs);
        }
        CloseHandle(session.process.hThread);
        CloseHandle(session.process.hProcess);
    }
    return ok ? 0 : 1;
}
