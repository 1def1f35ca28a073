// The detection run and its two item helpers, on a real dialog made from the
// program's own template, with stand-ins for the two lookups.
#include <gtest/gtest.h>

#include <string>

#include "app/resource.h"
#include "detect/detection.h"
#include "expected_texts.h"
#include "stand_in_lookups.h"

namespace {

// A 300-character string from this test's own resources (long_string.rc).
const UINT kLongStringId = 4000;

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

class OnMainDialog : public testing::Test {
  protected:
    void SetUp() override {
        g_hInstance = GetModuleHandleA(NULL);
        dialog =
            CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(IDD_MAIN), NULL, PlainDialogProc, 0);
        ASSERT_NE(nullptr, dialog);
        ShowWindow(dialog, SW_SHOW);
        ResetScript(dialog, "", "");
    }
    void TearDown() override {
        DestroyWindow(dialog);
    }
    HWND dialog = NULL;
};

struct VerdictRow {
    const char* name;
    ScriptedAnswer internet;
    ScriptedAnswer local;
    const char* internetField;
    const char* localField;
    const char* note;
};

void PrintTo(const VerdictRow& row, std::ostream* out) {
    *out << row.name;
}

class Verdict : public OnMainDialog, public testing::WithParamInterface<VerdictRow> {};

TEST_P(Verdict, FillsFieldsAndNoteInOrder) {
    const VerdictRow& row = GetParam();
    g_script.internet = row.internet;
    g_script.local = row.local;
    // Left-overs of an earlier run, which the run must not show or keep.
    SetDlgItemTextA(dialog, IDC_NOTES, "earlier verdict");
    SetDlgItemTextA(dialog, IDC_LOCAL_IP, "1.1.1.1");
    SetFocus(GetDlgItem(dialog, IDCANCEL));

    RunDetection(dialog);

    ASSERT_EQ("IL", CallOrder()) << "the Internet lookup comes first, even when it fails";
    const LookupCall& internet = g_script.calls[0];
    EXPECT_EQ(kDetecting, internet.localField);
    EXPECT_EQ(kDetecting, internet.internetField);
    EXPECT_EQ("", internet.notes);
    EXPECT_FALSE(internet.refreshEnabled);
    const LookupCall& local = g_script.calls[1];
    EXPECT_EQ(kDetecting, local.localField);
    EXPECT_EQ(row.internetField, local.internetField);
    EXPECT_EQ("", local.notes);
    EXPECT_FALSE(local.refreshEnabled);

    EXPECT_EQ(row.internetField, ItemText(dialog, IDC_INTERNET_IP));
    EXPECT_EQ(row.localField, ItemText(dialog, IDC_LOCAL_IP));
    EXPECT_EQ(row.note, ItemText(dialog, IDC_NOTES));
    HWND refresh = GetDlgItem(dialog, IDOK);
    EXPECT_TRUE(IsWindowEnabled(refresh));
    EXPECT_EQ(refresh, GetFocus());
}

const VerdictRow kVerdictRows[] = {
    {"Equal", {1, "203.0.113.7"}, {1, "203.0.113.7"}, "203.0.113.7", "203.0.113.7", kNotBehind},
    {"Different", {1, "203.0.113.7"}, {1, "192.168.0.10"}, "203.0.113.7", "192.168.0.10", kBehind},
    {"DifferentInLengthOnly", {1, "10.0.0.10"}, {1, "10.0.0.1"}, "10.0.0.10", "10.0.0.1", kBehind},
    {"NoInternet", {0, ""}, {1, "203.0.113.7"}, kNoInternet, "203.0.113.7", kInternetUnknown},
    {"NoLocal", {1, "203.0.113.7"}, {0, ""}, "203.0.113.7", kNoLocal, kLocalUnknown},
    {"Neither", {0, ""}, {0, ""}, kNoInternet, kNoLocal, kNeitherKnown},
};

INSTANTIATE_TEST_SUITE_P(DetectionRun, Verdict, testing::ValuesIn(kVerdictRows),
                         [](const testing::TestParamInfo<VerdictRow>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(OnMainDialog, TextFromResourceIsLoadedCutOrLeftAlone) {
    SetDlgItemTextA(dialog, IDC_NOTES, "keep");
    SetItemTextFromResource(dialog, IDC_NOTES, 4321);
    EXPECT_EQ("keep", ItemText(dialog, IDC_NOTES)) << "a missing string changes nothing";

    SetItemTextFromResource(dialog, IDC_NOTES, IDS_BEHIND_FIREWALL);
    EXPECT_EQ(kBehind, ItemText(dialog, IDC_NOTES));

    std::string full;
    for (int i = 0; i < 30; i++) {
        full += "0123456789";
    }
    SetItemTextFromResource(dialog, IDC_NOTES, kLongStringId);
    EXPECT_EQ(full.substr(0, 255), ItemText(dialog, IDC_NOTES));
}

TEST_F(OnMainDialog, EnablingFocusesAndDisablingLeavesFocusAlone) {
    HWND exitButton = GetDlgItem(dialog, IDCANCEL);
    HWND makerLink = GetDlgItem(dialog, IDC_MAKER_LINK);
    SetFocus(exitButton);

    EnableItem(dialog, IDC_MAKER_LINK, FALSE);
    EXPECT_FALSE(IsWindowEnabled(makerLink));
    EXPECT_EQ(exitButton, GetFocus());

    EnableItem(dialog, 4242, TRUE);
    EXPECT_EQ(exitButton, GetFocus()) << "an item that does not exist is skipped";

    EnableItem(dialog, IDC_MAKER_LINK, TRUE);
    EXPECT_TRUE(IsWindowEnabled(makerLink));
    EXPECT_EQ(makerLink, GetFocus());
}

} // namespace
