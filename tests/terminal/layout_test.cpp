// The main dialog in character cells, and the text rules of the terminal:
// everything of the template must be there to read in 80 by 24.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/resource.h"
#include "terminal/layout.h"
#include "terminal/module.h"
#include "expected_texts.h"

namespace {

struct Layout {
    DialogTemplate dialog;
    DialogCells cells;
};

const Layout* MainLayout() {
    static Layout layout;
    static bool done = false;
    if (!done) {
        EXPECT_TRUE(ResourceLoadDialog(GetModuleHandleA(nullptr), IDD_MAIN, &layout.dialog));
        LayoutDialog(&layout.dialog, &layout.cells);
        done = true;
    }
    return &layout;
}

int FindItem(const DialogTemplate* dialog, int id, const char* text) {
    for (int i = 0; i < dialog->itemCount; ++i) {
        if (dialog->items[i].id == (WORD)id && std::strcmp(dialog->items[i].text, text) == 0) {
            return i;
        }
    }
    ADD_FAILURE() << "no item " << id << " \"" << text << "\"";
    return 0;
}

// The lines that text takes when wrapped at width columns.
int LinesOf(const char* text, int width) {
    int lines = 0;
    for (int at = 0; text[at] != '\0'; ++lines) {
        int next;
        WrapLine(text + at, width, &next);
        at += next;
    }
    return lines;
}

bool Before(int start, int length, int other) {
    return start + length <= other;
}

TEST(Layout, MainDialogWithItsFrameFitsEightyByTwentyFour) {
    const Layout* layout = MainLayout();
    EXPECT_LE(layout->cells.columns + 2, 80);
    EXPECT_LE(layout->cells.rows + 2, 24);
    for (int i = 0; i < layout->dialog.itemCount; ++i) {
        const CellRect& rect = layout->cells.items[i];
        EXPECT_GE(rect.left, 0);
        EXPECT_GE(rect.top, 0);
        EXPECT_LE(rect.left + rect.width, layout->cells.columns) << "item " << i;
        EXPECT_LE(rect.top + rect.height, layout->cells.rows) << "item " << i;
    }
}

// Items apart in the template are apart on the screen, in the same order.
TEST(Layout, ItemsKeepTheirPlacesRelativeToEachOther) {
    const Layout* layout = MainLayout();
    const DialogTemplate* dialog = &layout->dialog;
    for (int a = 0; a < dialog->itemCount; ++a) {
        for (int b = 0; b < dialog->itemCount; ++b) {
            const DialogItemTemplate& ia = dialog->items[a];
            const DialogItemTemplate& ib = dialog->items[b];
            const CellRect& ca = layout->cells.items[a];
            const CellRect& cb = layout->cells.items[b];
            SCOPED_TRACE("items " + std::to_string(a) + " and " + std::to_string(b));
            if (Before(ia.window.x, ItemWidth(&ia), ib.window.x)) {
                EXPECT_TRUE(Before(ca.left, ca.width, cb.left));
            }
            if (Before(ia.window.y, ItemHeight(&ia), ib.window.y)) {
                EXPECT_TRUE(Before(ca.top, ca.height, cb.top));
            }
        }
    }
}

TEST(Layout, OneLineTextsAndButtonCaptionsFitWhole) {
    const Layout* layout = MainLayout();
    for (int i = 0; i < layout->dialog.itemCount; ++i) {
        const DialogItemTemplate& item = layout->dialog.items[i];
        const CellRect& rect = layout->cells.items[i];
        char shown[kDialogTextSize];
        int mnemonic;
        ShownText(item.text, true, shown, sizeof(shown), &mnemonic);
        int needed = (int)std::strlen(shown);
        if (ItemClass(&item) == kButtonClass) {
            needed += kButtonDecoration;
        }
        if (rect.height == 1 && item.textOrdinal == 0) {
            EXPECT_LE(needed, rect.width) << item.text;
        }
    }
}

TEST(Layout, EveryNoteAndParagraphShowsWhole) {
    const Layout* layout = MainLayout();
    const DialogTemplate* dialog = &layout->dialog;
    const CellRect& notes = layout->cells.items[FindItem(dialog, IDC_NOTES, "")];
    for (const char* note : {kNotBehind, kBehind, kInternetUnknown, kLocalUnknown, kNeitherKnown}) {
        EXPECT_LE(LinesOf(note, notes.width), notes.height) << note;
    }
    for (int id : {IDC_LOCAL_IP, IDC_INTERNET_IP}) {
        const CellRect& field = layout->cells.items[FindItem(dialog, id, "")];
        EXPECT_EQ(1, field.height);
        EXPECT_LE((int)std::strlen(kNoInternet), field.width);
        EXPECT_LE((int)std::strlen("255.255.255.255"), field.width);
    }
    for (int i = 0; i < dialog->itemCount; ++i) {
        const DialogItemTemplate& item = dialog->items[i];
        if (std::strncmp(item.text, "For more information", 20) == 0) {
            const CellRect& rect = layout->cells.items[i];
            EXPECT_LE(LinesOf(item.text, rect.width), rect.height) << item.text;
        }
    }
}

TEST(Layout, HeadingLiesOverTheLeftEndOfTheRule) {
    const Layout* layout = MainLayout();
    const DialogTemplate* dialog = &layout->dialog;
    const CellRect& heading =
        layout->cells.items[FindItem(dialog, 65535, "Tolvaric Software Product Information")];
    int rule = -1;
    for (int i = 0; i < dialog->itemCount; ++i) {
        if ((dialog->items[i].window.style & SS_TYPEMASK) == SS_BLACKRECT) {
            rule = i;
        }
    }
    ASSERT_GE(rule, 0);
    const CellRect& line = layout->cells.items[rule];
    EXPECT_EQ(heading.top, line.top);
    EXPECT_EQ(heading.left, line.left);
    EXPECT_LT(heading.width, line.width);
}

std::string Wrapped(const char* text, int width) {
    std::string lines;
    for (int at = 0; text[at] != '\0';) {
        int next;
        int length = WrapLine(text + at, width, &next);
        lines += std::string(text + at, length) + "|";
        at += next;
    }
    return lines;
}

TEST(TextRules, WrapBreaksAtBlanksWithinWordsOnlyWhenTheyAreTooLong) {
    EXPECT_EQ("You appear|to be|behind a|firewall.|",
              Wrapped("You appear to be behind a firewall.", 10));
    EXPECT_EQ("one two|", Wrapped("one two", 7));
    EXPECT_EQ("one|two|", Wrapped("one  two", 4)) << "the blanks at a break go";
    EXPECT_EQ("abcde|fghij|k|", Wrapped("abcdefghijk", 5));
    EXPECT_EQ("a|b c|", Wrapped("a\nb c", 10));
    EXPECT_EQ("a|b|", Wrapped("a\r\nb", 10));
    EXPECT_EQ("", Wrapped("", 10));
}

TEST(TextRules, AmpersandMarksTheMnemonic) {
    char shown[32];
    int mnemonic;
    ShownText("E&xit", true, shown, sizeof(shown), &mnemonic);
    EXPECT_STREQ("Exit", shown);
    EXPECT_EQ(1, mnemonic);
    ShownText("&Refresh", true, shown, sizeof(shown), &mnemonic);
    EXPECT_STREQ("Refresh", shown);
    EXPECT_EQ(0, mnemonic);
    ShownText("Q&&A", true, shown, sizeof(shown), &mnemonic);
    EXPECT_STREQ("Q&A", shown);
    EXPECT_EQ(-1, mnemonic);
    ShownText("Q&A", false, shown, sizeof(shown), &mnemonic);
    EXPECT_STREQ("Q&A", shown);
    EXPECT_EQ(-1, mnemonic);
    ShownText("www.&tolvaric.com", true, shown, 8, &mnemonic);
    EXPECT_STREQ("www.tol", shown) << "cut to the buffer";
    EXPECT_EQ(4, mnemonic);
}

} // namespace
