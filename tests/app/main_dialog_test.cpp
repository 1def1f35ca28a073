// The main dialog's procedure and centring, on real dialogs made from the
// program's own template under Wine, with stand-ins for the two lookups. The
// shell's URL opener is replaced at link time, so that the test sees what the
// dialog asks it to open (the real browser start is the end-to-end tests'
// business).
#include <gtest/gtest.h>

#include <string>

#include "../detect/stand_in_lookups.h"
#include "app/main_dialog.h"
#include "app/resource.h"
#include "detect/detection.h"

namespace {

struct OpenedPage {
    int calls;
    HWND owner;
    bool defaultVerb;
    std::string file;
    bool noParameters;
    bool noDirectory;
    INT show;
};

OpenedPage g_opened;

HINSTANCE WINAPI RecordShellExecute(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                                    LPCSTR directory, INT show) {
    int calls = g_opened.calls + 1;
    g_opened = {calls,
                owner,
                operation == NULL,
                file != NULL ? file : "(null)",
                parameters == NULL,
                directory == NULL,
                show};
    return reinterpret_cast<HINSTANCE>(42);
}

} // namespace

// The program calls ShellExecuteA through this import slot.
extern "C" {
decltype(&ShellExecuteA) __imp_ShellExecuteA = RecordShellExecute;
}

namespace {

// Takes the run messages waiting for the dialog; each must carry 0 and 0.
int TakePostedRuns(HWND dialog) {
    int count = 0;
    MSG message;
    while (PeekMessageA(&message, dialog, WM_RUN_DETECTION, WM_RUN_DETECTION, PM_REMOVE)) {
        EXPECT_EQ(0u, message.wParam);
        EXPECT_EQ(0, message.lParam);
        count++;
    }
    return count;
}

class MainDialog : public testing::Test {
  protected:
    void SetUp() override {
        g_hInstance = GetModuleHandleA(NULL);
        ASSERT_EQ(1024, GetSystemMetrics(SM_CXSCREEN)) << "the tests' virtual screen";
        ASSERT_EQ(768, GetSystemMetrics(SM_CYSCREEN));
        dialog = CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDlgProc, 0);
        ASSERT_NE(nullptr, dialog);
        ResetScript(dialog, "203.0.113.7", "192.168.0.10");
        g_opened = OpenedPage();
        TakePostedRuns(dialog);
    }
    void TearDown() override {
        DestroyWindow(dialog);
    }
    HWND dialog = NULL;
};

TEST_F(MainDialog, InitialisationCentresTheDialog) {
    RECT rect;
    ASSERT_TRUE(GetWindowRect(dialog, &rect));
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    EXPECT_GT(width, 291) << "dialog units are larger than pixels";
    EXPECT_EQ(512 - width / 2, rect.left);
    EXPECT_EQ(384 - height / 2, rect.top);
    EXPECT_EQ(TRUE, MainDlgProc(dialog, WM_INITDIALOG, 0, 0));
}

TEST_F(MainDialog, ShowingQueuesTwoRunsAndHidingNone) {
    EXPECT_EQ(FALSE, MainDlgProc(dialog, WM_SHOWWINDOW, TRUE, 0));
    EXPECT_EQ(2, TakePostedRuns(dialog));
    EXPECT_EQ(FALSE, MainDlgProc(dialog, WM_SHOWWINDOW, TRUE, SW_PARENTOPENING));
    EXPECT_EQ(2, TakePostedRuns(dialog));
    EXPECT_EQ(FALSE, MainDlgProc(dialog, WM_SHOWWINDOW, FALSE, 0));
    EXPECT_EQ(0, TakePostedRuns(dialog));
    EXPECT_EQ("", CallOrder()) << "runs start only from the queue";
}

TEST_F(MainDialog, RefreshQueuesOneRunAndTheRunMessageRunsIt) {
    EXPECT_EQ(FALSE, MainDlgProc(dialog, WM_COMMAND, IDOK, 0));
    EXPECT_EQ(1, TakePostedRuns(dialog));
    EXPECT_EQ("", CallOrder());

    EXPECT_EQ(TRUE, MainDlgProc(dialog, WM_RUN_DETECTION, 0, 0));
    EXPECT_EQ("IL", CallOrder());
    EXPECT_EQ("192.168.0.10", ItemText(dialog, IDC_LOCAL_IP));
    EXPECT_EQ("203.0.113.7", ItemText(dialog, IDC_INTERNET_IP));
}

TEST_F(MainDialog, CommandsWithANotificationCodeAndOtherMessagesAreIgnored) {
    const WPARAM ignored[] = {MAKEWPARAM(IDOK, 1),
                              MAKEWPARAM(IDCANCEL, 1),
                              MAKEWPARAM(IDC_MAKER_LINK, BN_DOUBLECLICKED),
                              MAKEWPARAM(IDC_PRODUCTS_LINK, 1),
                              MAKEWPARAM(IDC_PRODUCTS_LINK, 0xFFFF),
                              IDC_NOTES,
                              0};
    for (WPARAM wParam : ignored) {
        EXPECT_EQ(FALSE, MainDlgProc(dialog, WM_COMMAND, wParam, 0)) << std::hex << wParam;
    }
    const UINT others[] = {WM_APP, WM_APP + 2, WM_USER + 1, WM_TIMER, WM_CLOSE};
    for (UINT message : others) {
        EXPECT_EQ(FALSE, MainDlgProc(dialog, message, IDOK, 0)) << std::hex << message;
    }
    EXPECT_EQ(0, TakePostedRuns(dialog));
    EXPECT_EQ(0, g_opened.calls);
    EXPECT_EQ("", CallOrder());
    EXPECT_TRUE(IsWindow(dialog));
}

// The host in each URL is its button's caption without the mnemonic marker.
std::string CaptionHost(HWND dialog, int itemId) {
    std::string host;
    for (char c : ItemText(dialog, itemId)) {
        if (c != '&') {
            host += c;
        }
    }
    return host;
}

TEST_F(MainDialog, LinkButtonsOpenTheirPagesAndLeaveTheDialogAsItWas) {
    SetDlgItemTextA(dialog, IDC_NOTES, "a verdict");
    SetDlgItemTextA(dialog, IDC_LOCAL_IP, "10.0.0.1");
    struct Link {
        int id;
        std::string url;
    };
    const Link links[] = {
        {IDC_MAKER_LINK, "http://www.tolvaric.com/products/buy.tpl?product=KESTRAMO"},
        {IDC_PRODUCTS_LINK, "http://www.pelorin.com"},
    };
    for (const Link& link : links) {
        g_opened = OpenedPage();
        EXPECT_EQ(TRUE, MainDlgProc(dialog, WM_COMMAND, link.id, 0));
        EXPECT_EQ(1, g_opened.calls);
        EXPECT_EQ(link.url, g_opened.file);
        EXPECT_EQ(0u, g_opened.file.find("http://" + CaptionHost(dialog, link.id)));
        EXPECT_EQ(dialog, g_opened.owner);
        EXPECT_TRUE(g_opened.defaultVerb);
        EXPECT_TRUE(g_opened.noParameters);
        EXPECT_TRUE(g_opened.noDirectory);
        EXPECT_EQ(SW_SHOWNORMAL, g_opened.show);
    }
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ("a verdict", ItemText(dialog, IDC_NOTES));
    EXPECT_EQ("10.0.0.1", ItemText(dialog, IDC_LOCAL_IP));
    EXPECT_EQ(0, TakePostedRuns(dialog));
}

// Centring of a plain popup window of the given outer size.
RECT CentredRect(int width, int height) {
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 7, 9, width, height, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
    EXPECT_NE(nullptr, window);
    CenterWindow(window);
    RECT rect = {};
    GetWindowRect(window, &rect);
    DestroyWindow(window);
    return rect;
}

TEST(Centring, UsesTheWholeScreenAndKeepsTheSize) {
    ASSERT_EQ(1024, GetSystemMetrics(SM_CXSCREEN)) << "the tests' virtual screen";
    ASSERT_EQ(768, GetSystemMetrics(SM_CYSCREEN));
    RECT rect = CentredRect(441, 343);
    EXPECT_EQ(292, rect.left);
    EXPECT_EQ(213, rect.top);
    EXPECT_EQ(441, rect.right - rect.left);
    EXPECT_EQ(343, rect.bottom - rect.top);

    rect = CentredRect(1100, 901);
    EXPECT_EQ(-38, rect.left) << "a window wider than the screen";
    EXPECT_EQ(-66, rect.top);
    EXPECT_EQ(1100, rect.right - rect.left);
}

// The real modal loop: the procedure below only tells the stand-in lookups
// which dialog they serve, and ends a dialog that is still open after ten
// seconds with a result of its own. The lookups post the user's actions while
// a run is in progress, so each one waits in the queue until that run is over.
const UINT_PTR kGiveUpTimer = 77;
const INT_PTR kGaveUp = 99;

INT_PTR CALLBACK ServedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        g_script.dialog = dialog;
        SetTimer(dialog, kGiveUpTimer, 10000, NULL);
    }
    if (message == WM_TIMER && wParam == kGiveUpTimer) {
        EndDialog(dialog, kGaveUp);
        return TRUE;
    }
    return MainDlgProc(dialog, message, wParam, lParam);
}

struct Action {
    UINT message;
    WPARAM wParam;
};

struct ModalCase {
    const char* name;
    Action actions[8]; // posted by lookup call n, counting both lookups from 0
    std::string calls;
};

void PrintTo(const ModalCase& modalCase, std::ostream* out) {
    *out << modalCase.name;
}

class ModalDialog : public testing::TestWithParam<ModalCase> {};

TEST_P(ModalDialog, RunsQueueUpOneAfterTheOtherUntilTheDialogEnds) {
    const ModalCase& modalCase = GetParam();
    g_hInstance = GetModuleHandleA(NULL);
    ResetScript(NULL, "203.0.113.7", "203.0.113.7");
    for (int i = 0; i < 8; i++) {
        g_script.postMessage[i] = modalCase.actions[i].message;
        g_script.postWParam[i] = modalCase.actions[i].wParam;
    }

    INT_PTR result =
        DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_MAIN), NULL, ServedDialogProc, 0);

    EXPECT_EQ(1, result);
    EXPECT_EQ(modalCase.calls, CallOrder());
    for (int i = 0; i < g_script.callCount; i += 2) {
        EXPECT_FALSE(g_script.calls[i].refreshEnabled) << "call " << i;
        EXPECT_EQ("", g_script.calls[i].notes) << "call " << i;
    }
}

const Action kNone = {0, 0};
const Action kRefresh = {WM_COMMAND, IDOK};
const Action kExit = {WM_COMMAND, IDCANCEL};

const ModalCase kModalCases[] = {
    // Two runs on first display, then Exit.
    {"ExitAfterFirstDisplay", {kNone, kNone, kNone, kExit}, "ILIL"},
    // Exit pressed during the first run ends the dialog after it; the second
    // queued run still comes first.
    {"ExitDuringFirstRun", {kExit}, "ILIL"},
    {"RefreshGivesOneMoreRun", {kNone, kNone, kNone, kRefresh, kNone, kExit}, "ILILIL"},
    {"NotificationsAreNoClicks",
     {{WM_COMMAND, MAKEWPARAM(IDCANCEL, 1)}, kNone, {WM_COMMAND, MAKEWPARAM(IDOK, 1)}, kExit},
     "ILIL"},
    {"EnterRefreshes", {kNone, kNone, kNone, {WM_KEYDOWN, VK_RETURN}, kNone, kExit}, "ILILIL"},
    {"EscapeEnds", {kNone, kNone, kNone, {WM_KEYDOWN, VK_ESCAPE}}, "ILIL"},
    {"CloseBox", {kNone, kNone, kNone, {WM_CLOSE, 0}}, "ILIL"},
    {"SystemMenuClose", {kNone, kNone, kNone, {WM_SYSCOMMAND, SC_CLOSE}}, "ILIL"},
};

INSTANTIATE_TEST_SUITE_P(MainDialog, ModalDialog, testing::ValuesIn(kModalCases),
                         [](const testing::TestParamInfo<ModalCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
