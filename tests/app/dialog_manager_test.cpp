// The dialog manager headless, with the program's own dialog procedure and
// detection runs against the echo page on loopback. Each run is one request
// in the page's access log; a link's page goes to a stand-in opener that
// writes down what it was asked to open.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "app/main_dialog.h"
#include "app/resource.h"
#include "detect/detection.h"
#include "platform/posix/signals.h"
#include "terminal/dialog.h"
#include "expected_texts.h"

namespace {

const char kMakerUrl[] = "http://www.tolvaric.com/products/buy.tpl?product=KESTRAMO";
const char kProductsUrl[] = "http://www.pelorin.com";
const auto kSettle = std::chrono::milliseconds(300);

std::string g_opened; // where the stand-in opener writes its arguments

int LinesOf(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    int count = 0;
    while (std::getline(file, line)) {
        ++count;
    }
    return count;
}

// Waits, bounded, for a file to have that many lines; gives its count then.
int WaitForLines(const std::string& path, int count) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (LinesOf(path) < count && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(kSettle); // a further line would show by now
    return LinesOf(path);
}

std::string LastLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::string last;
    while (std::getline(file, line)) {
        last = line;
    }
    return last;
}

class DialogManager : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string dir = testing::TempDir() + "opener." + std::to_string(getpid());
        mkdir(dir.c_str(), 0700);
        g_opened = dir + "/opened.txt";
        std::ofstream script(dir + "/xdg-open");
        script << "#!/bin/sh\nprintf '%s\\n' \"$*\" >>'" << g_opened << "'\n";
        script.close();
        chmod((dir + "/xdg-open").c_str(), 0700);
        std::string path = dir + ":" + std::getenv("PATH");
        setenv("PATH", path.c_str(), 1);
    }

    void SetUp() override {
        g_hInstance = GetModuleHandleA(nullptr);
        ASSERT_TRUE(ResourceLoadDialog(g_hInstance, IDD_MAIN, &dialogTemplate_));
        dialog_ = new Dialog();
        DialogCreate(dialog_, g_hInstance, &dialogTemplate_, MainDlgProc);
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(1, 1), &data));
        requestsBefore_ = LinesOf(MARVOLY_ECHO_LOG);
        openedBefore_ = LinesOf(g_opened);
    }

    void TearDown() override {
        WSACleanup();
        delete dialog_;
    }

    // Shows the dialog and lets the two first runs happen.
    void Show() {
        DialogStart(dialog_, 0);
        EXPECT_FALSE(DialogRunUntilIdle(dialog_));
    }

    int Requests(int expected) {
        return WaitForLines(MARVOLY_ECHO_LOG, requestsBefore_ + expected) - requestsBefore_;
    }

    int Opened(int expected) {
        return WaitForLines(g_opened, openedBefore_ + expected) - openedBefore_;
    }

    void Queue(DialogInputKind kind, int key, int column, int row) {
        DialogInput input = {kind, key, column, row};
        ASSERT_TRUE(DialogQueueInput(dialog_, &input));
    }

    void Key(int key) {
        Queue(kInputKey, key, 0, 0);
    }

    // Mouse down and up on the screen cell of a control.
    void Click(int id) {
        RECT rect;
        ASSERT_TRUE(GetWindowRect(GetDlgItem(&dialog_->window, id), &rect));
        int column = (rect.left + rect.right) / 2;
        Queue(kInputMouseDown, 0, column, rect.top);
        Queue(kInputMouseUp, 0, column, rect.top);
    }

    // Input, then whatever it makes happen.
    bool Press(int key) {
        Key(key);
        return DialogRunUntilIdle(dialog_);
    }

    std::string Text(int id) {
        char text[300];
        GetDlgItemTextA(&dialog_->window, id, text, sizeof(text));
        return text;
    }

    int FocusId() {
        return dialog_->focus < 0 ? 0 : dialog_->controls[dialog_->focus].item.id;
    }

    DialogTemplate dialogTemplate_;
    Dialog* dialog_ = nullptr;
    int requestsBefore_ = 0;
    int openedBefore_ = 0;
};

TEST_F(DialogManager, FirstDisplayGivesTwoRunsAndThenWaits) {
    Show();
    EXPECT_EQ(2, Requests(2));
    EXPECT_FALSE(DialogRunUntilIdle(dialog_));
    EXPECT_EQ(2, Requests(2)) << "nothing more without input";

    EXPECT_EQ("127.0.0.1", Text(IDC_INTERNET_IP));
    std::string local = Text(IDC_LOCAL_IP);
    EXPECT_NE(std::string::npos, local.find('.')) << local;
    EXPECT_EQ(local == "127.0.0.1" ? kNotBehind : kBehind, Text(IDC_NOTES));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(&dialog_->window, IDOK)));
    EXPECT_EQ(IDOK, FocusId());
}

// Without a terminal the screen counts as 80 by 24, which the dialog fills.
TEST_F(DialogManager, InitialisationCentresTheDialogAndFocusesRefresh) {
    DialogStart(dialog_, 0);
    EXPECT_EQ(IDOK, FocusId()) << "the first tab stop, before any run";
    EXPECT_EQ(2, dialog_->postedCount) << "both runs wait in the queue";
    EXPECT_EQ(0, Requests(0));
    RECT rect;
    ASSERT_TRUE(GetWindowRect(&dialog_->window, &rect));
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    EXPECT_EQ(80 / 2 - width / 2, rect.left);
    EXPECT_EQ(24 / 2 - height / 2, rect.top);
}

TEST_F(DialogManager, RefreshEnterMnemonicSpaceAndClickGiveOneRunEach) {
    Show();
    ASSERT_EQ(2, Requests(2));
    int expected = 2;
    for (int key : {kKeyEnter, (int)'r', (int)'R', kKeySpace}) {
        SCOPED_TRACE("key " + std::to_string(key));
        EXPECT_FALSE(Press(key));
        ++expected;
        EXPECT_EQ(expected, Requests(expected));
        EXPECT_EQ(IDOK, FocusId());
    }
    Click(IDOK);
    EXPECT_FALSE(DialogRunUntilIdle(dialog_));
    ++expected;
    EXPECT_EQ(expected, Requests(expected));
}

TEST_F(DialogManager, InputWaitingDuringRunsIsHandledAfterThem) {
    Key(kKeyEnter);
    Key(kKeyEscape);
    DialogStart(dialog_, 0);
    EXPECT_TRUE(DialogRunUntilIdle(dialog_));
    EXPECT_EQ(3, Requests(3)) << "both first runs, then Enter's, then Esc";
    EXPECT_EQ(1, dialog_->result);
}

TEST_F(DialogManager, EscEndsTheDialogAsExit) {
    Show();
    EXPECT_TRUE(Press(kKeyEscape));
    EXPECT_EQ(1, dialog_->result);
}

TEST_F(DialogManager, ExitButtonAndCloseBoxEndTheDialog) {
    Show();
    Click(IDCANCEL);
    EXPECT_TRUE(DialogRunUntilIdle(dialog_));
    EXPECT_EQ(1, dialog_->result);

    DialogCreate(dialog_, g_hInstance, &dialogTemplate_, MainDlgProc);
    Show();
    int closeBox = DialogCloseBoxLeft(dialog_) + 1;
    Queue(kInputMouseDown, 0, closeBox, dialog_->rect.top);
    Queue(kInputMouseUp, 0, closeBox, dialog_->rect.top);
    EXPECT_TRUE(DialogRunUntilIdle(dialog_));
    EXPECT_EQ(1, dialog_->result);
}

// What SIGINT, SIGTERM and SIGHUP do: queued runs do not start any more.
TEST_F(DialogManager, AnEndRequestEndsBeforeTheQueuedRuns) {
    DialogStart(dialog_, 0);
    RequestEnd();
    EXPECT_TRUE(DialogRunUntilIdle(dialog_));
    EXPECT_EQ(1, dialog_->result);
    EXPECT_EQ(0, Requests(0));
    EXPECT_FALSE(EndRequested());
}

TEST_F(DialogManager, TabOrderFollowsTheTemplate) {
    Show();
    const int forward[] = {IDCANCEL, IDC_MAKER_LINK, IDC_PRODUCTS_LINK, IDOK, IDCANCEL};
    for (int id : forward) {
        Press(kKeyTab);
        EXPECT_EQ(id, FocusId());
    }
    const int backward[] = {IDOK, IDC_PRODUCTS_LINK, IDC_MAKER_LINK, IDCANCEL, IDOK};
    for (int id : backward) {
        Press(kKeyBackTab);
        EXPECT_EQ(id, FocusId());
    }
}

TEST_F(DialogManager, EnterPressesTheFocusedButton) {
    Show();
    Press(kKeyTab);
    EXPECT_TRUE(Press(kKeyEnter)) << "Exit has the focus";
    EXPECT_EQ(2, Requests(2));
}

TEST_F(DialogManager, CommandsWithANotificationCodeDoNothing) {
    Show();
    ASSERT_EQ(2, Requests(2));
    for (int id : {IDCANCEL, IDOK, IDC_MAKER_LINK, IDC_PRODUCTS_LINK}) {
        PostMessageA(&dialog_->window, WM_COMMAND, MAKEWPARAM(id, 1), 0);
    }
    EXPECT_FALSE(DialogRunUntilIdle(dialog_));
    EXPECT_EQ(2, Requests(2));
    EXPECT_EQ(0, Opened(0));
    PostMessageA(&dialog_->window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    EXPECT_TRUE(DialogRunUntilIdle(dialog_));
}

TEST_F(DialogManager, LinksOpenTheirPagesAndTheDialogStaysOpen) {
    Show();
    std::string internet = Text(IDC_INTERNET_IP);
    std::string notes = Text(IDC_NOTES);
    EXPECT_FALSE(Press('t'));
    EXPECT_EQ(1, Opened(1));
    EXPECT_EQ(kMakerUrl, LastLine(g_opened));
    Click(IDC_PRODUCTS_LINK);
    EXPECT_FALSE(DialogRunUntilIdle(dialog_));
    EXPECT_EQ(2, Opened(2));
    EXPECT_EQ(kProductsUrl, LastLine(g_opened));
    EXPECT_EQ(IDC_PRODUCTS_LINK, FocusId()) << "a click focuses its button";
    EXPECT_FALSE(Press(kKeyEnter)) << "so Enter opens the page again";
    EXPECT_EQ(3, Opened(3));
    EXPECT_EQ(kProductsUrl, LastLine(g_opened));

    EXPECT_EQ(2, Requests(2));
    EXPECT_EQ(internet, Text(IDC_INTERNET_IP));
    EXPECT_EQ(notes, Text(IDC_NOTES));
    errno = 0;
    EXPECT_EQ(-1, waitpid(-1, nullptr, WNOHANG)) << "a child is left to reap";
    EXPECT_EQ(ECHILD, errno);
}

TEST_F(DialogManager, DisabledButtonsDoNotPress) {
    Show();
    ASSERT_EQ(2, Requests(2));
    EnableWindow(GetDlgItem(&dialog_->window, IDOK), FALSE);
    EnableWindow(GetDlgItem(&dialog_->window, IDCANCEL), FALSE);
    EXPECT_EQ(0, FocusId()) << "a disabled button loses the focus";
    for (int key : {kKeyEnter, (int)'r', kKeySpace, (int)'x', kKeyEscape}) {
        EXPECT_FALSE(Press(key)) << key;
    }
    Click(IDOK);
    Click(IDCANCEL);
    EXPECT_FALSE(DialogRunUntilIdle(dialog_));
    EXPECT_EQ(2, Requests(2));
}

TEST_F(DialogManager, AButtonLeftBeforeTheMouseGoesUpDoesNotPress) {
    Show();
    ASSERT_EQ(2, Requests(2));
    RECT refresh;
    ASSERT_TRUE(GetWindowRect(GetDlgItem(&dialog_->window, IDOK), &refresh));
    Queue(kInputMouseDown, 0, refresh.left + 1, refresh.top);
    Queue(kInputMouseUp, 0, refresh.left + 1, refresh.top - 2);
    EXPECT_FALSE(DialogRunUntilIdle(dialog_));
    EXPECT_EQ(2, Requests(2));
}

} // namespace
