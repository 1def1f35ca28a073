// The dialog in a terminal, with ncurses.
#include "terminal/terminal.h"

#include <curses.h>
#include <locale.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/posix/signals.h"
#include "platform/posix/text.h"

namespace {

const int kEscapeDelayMs = 25;
const int kDefaultColumns = 80;
const int kDefaultRows = 24;
const int kIconSide = 32;
const int kMaxIconCells = 16 * 8;

enum ColorPair {
    kPairFace = 1,
    kPairCaption,
    kPairField,
    kPairFocus,
    kPairDisabled,
    kPairIconFirst, // one pair for each terminal colour from here
};

// Icon cells as terminal colours; -1 is transparent.
struct IconCells {
    int columns;
    int rows;
    short colors[kMaxIconCells];
};

} // namespace

struct TerminalView {
    SCREEN* screen;
    char previousLocale[256]; // the character type locale before the dialog
    bool colors;
    int colorCount;
    IconCells icons[kMaxDialogItems];
};

namespace {

// The 16 standard terminal colours, in their usual order.
const std::uint32_t kPalette[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

int Channel(std::uint32_t color, int shift) {
    return (int)((color >> shift) & 0xFF);
}

short NearestColor(std::uint32_t color, int colorCount) {
    short best = 0;
    long bestDistance = -1;
    for (short i = 0; i < colorCount; ++i) {
        long distance = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            long delta = Channel(color, shift) - Channel(kPalette[i], shift);
            distance += delta * delta;
        }
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

// The mean colour of the opaque pixels of one cell's part of the image; a
// cell that is mostly transparent stays transparent.
short CellColor(const IconImage* image, int x0, int x1, int y0, int y1, int colorCount) {
    long sums[3] = {0, 0, 0};
    int opaque = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            std::uint32_t pixel = image->pixels[y * image->width + x];
            if (pixel >> 24 != 0) {
                for (int c = 0; c < 3; ++c) {
                    sums[c] += Channel(pixel, 8 * c);
                }
                ++opaque;
            }
        }
    }
    int area = (x1 - x0) * (y1 - y0);
    if (opaque == 0 || 2 * opaque < area) {
        return -1;
    }
    std::uint32_t mean = 0;
    for (int c = 0; c < 3; ++c) {
        mean |= (std::uint32_t)(sums[c] / opaque) << (8 * c);
    }
    return NearestColor(mean, colorCount);
}

void LoadIcon(const Dialog* dialog, int control, TerminalView* view) {
    const DialogControl* item = &dialog->controls[control];
    IconCells* cells = &view->icons[control];
    cells->columns = cells->rows = 0;
    static IconImage image;
    if ((item->item.window.style & SS_TYPEMASK) != SS_ICON || item->item.textOrdinal == 0 ||
        item->cells.width * item->cells.height > kMaxIconCells ||
        !ResourceLoadIcon(dialog->module, item->item.textOrdinal, kIconSide, &image)) {
        return;
    }
    cells->columns = item->cells.width < image.width ? item->cells.width : image.width;
    cells->rows = item->cells.height < image.height ? item->cells.height : image.height;
    for (int row = 0; row < cells->rows; ++row) {
        for (int column = 0; column < cells->columns; ++column) {
            cells->colors[row * cells->columns + column] = CellColor(
                &image, column * image.width / cells->columns,
                (column + 1) * image.width / cells->columns, row * image.height / cells->rows,
                (row + 1) * image.height / cells->rows, view->colorCount);
        }
    }
}

void StartColors(TerminalView* view) {
    view->colors = has_colors() && start_color() == OK && COLOR_PAIRS > kPairIconFirst + 8;
    view->colorCount = 8;
    if (!view->colors) {
        return;
    }
    if (COLORS >= 16 && COLOR_PAIRS > kPairIconFirst + 16) {
        view->colorCount = 16;
    }
    init_pair(kPairFace, COLOR_BLACK, COLOR_WHITE);
    init_pair(kPairCaption, COLOR_WHITE, COLOR_BLUE);
    init_pair(kPairField, COLOR_BLACK, COLOR_CYAN);
    init_pair(kPairFocus, COLOR_WHITE, COLOR_BLACK);
    init_pair(kPairDisabled, view->colorCount == 16 ? 8 : COLOR_BLACK, COLOR_WHITE);
    for (short color = 0; color < view->colorCount; ++color) {
        init_pair((short)(kPairIconFirst + color), color, color);
    }
}

attr_t Look(const TerminalView* view, ColorPair pair) {
    if (view->colors) {
        attr_t extra = pair == kPairCaption ? A_BOLD : pair == kPairDisabled ? A_DIM : A_NORMAL;
        return COLOR_PAIR(pair) | extra;
    }
    switch (pair) {
    case kPairCaption:
    case kPairField:
        return A_REVERSE;
    case kPairFocus:
        return A_REVERSE | A_BOLD;
    case kPairDisabled:
        return A_DIM;
    default:
        return A_NORMAL;
    }
}

void Fill(int top, int left, int height, int width, attr_t look) {
    attrset(look);
    for (int row = top; row < top + height; ++row) {
        mvhline(row, left, ' ', width);
    }
}

// One line of text, at most width characters; the mnemonic underlined.
void PutText(int row, int column, const char* text, int length, int mnemonic, attr_t look) {
    for (int i = 0; i < length; ++i) {
        chtype underline = i == mnemonic ? A_UNDERLINE : A_NORMAL;
        mvaddch(row, column + i, (chtype)(unsigned char)text[i] | look | underline);
    }
}

// Text wrapped at word boundaries into at most height rows of width cells.
void PutWrapped(int top, int left, int width, int height, const char* text, int mnemonic,
                attr_t look) {
    int offset = 0;
    for (int row = 0; row < height && text[offset] != '\0'; ++row) {
        int next;
        int length = WrapLine(text + offset, width, &next);
        PutText(top + row, left, text + offset, length, mnemonic - offset, look);
        offset += next > 0 ? next : length;
    }
}

void DrawFrame(const TerminalView* view, const Dialog* dialog) {
    const RECT* rect = &dialog->rect;
    int width = rect->right - rect->left;
    int height = rect->bottom - rect->top;
    attr_t face = Look(view, kPairFace);
    Fill(rect->top, rect->left, height, width, face);
    attrset(face);
    mvhline(rect->top, rect->left + 1, ACS_HLINE, width - 2);
    mvhline(rect->bottom - 1, rect->left + 1, ACS_HLINE, width - 2);
    mvvline(rect->top + 1, rect->left, ACS_VLINE, height - 2);
    mvvline(rect->top + 1, rect->right - 1, ACS_VLINE, height - 2);
    mvaddch(rect->top, rect->left, ACS_ULCORNER);
    mvaddch(rect->top, rect->right - 1, ACS_URCORNER);
    mvaddch(rect->bottom - 1, rect->left, ACS_LLCORNER);
    mvaddch(rect->bottom - 1, rect->right - 1, ACS_LRCORNER);
    char caption[kDialogTextSize + 2];
    std::snprintf(caption, sizeof(caption), " %s ", dialog->caption);
    int length = (int)std::strlen(caption);
    int room = DialogCloseBoxLeft(dialog) - rect->left - 3;
    PutText(rect->top, rect->left + 2, caption, length < room ? length : room, -1,
            Look(view, kPairCaption));
    PutText(rect->top, DialogCloseBoxLeft(dialog), "[X]", 3, -1, face);
}

// Buttons: the caption between brackets, centred; the focused one marked
// with '>' and '<' and in reverse, a disabled one dimmed.
void DrawButton(const TerminalView* view, const Dialog* dialog, int control, int top, int left) {
    const DialogControl* button = &dialog->controls[control];
    char shown[kControlTextSize];
    int mnemonic;
    ShownText(button->text, true, shown, sizeof(shown), &mnemonic);
    int width = button->cells.width;
    int length = (int)std::strlen(shown);
    if (length > width - kButtonDecoration) {
        length = width - kButtonDecoration > 0 ? width - kButtonDecoration : 0;
    }
    bool focused = dialog->focus == control;
    attr_t look = Look(view, focused ? kPairFocus : button->enabled ? kPairFace : kPairDisabled);
    Fill(top, left, 1, width, look);
    mvaddch(top, left, '[' | look);
    mvaddch(top, left + width - 1, ']' | look);
    int start = left + (width - length) / 2;
    PutText(top, start, shown, length, button->enabled ? mnemonic : -1, look);
    if (focused) {
        mvaddch(top, start - 1, '>' | look);
        mvaddch(top, start + length, '<' | look);
    }
}

// Static text wrapped at word boundaries inside its cells, which it covers
// whole; a sunken one on the field colour.
void DrawText(const TerminalView* view, const DialogControl* control, int top, int left) {
    const CellRect* cells = &control->cells;
    bool sunken = (control->item.window.style & SS_SUNKEN) != 0;
    attr_t look = Look(view, sunken ? kPairField : kPairFace);
    Fill(top, left, cells->height, cells->width, look);
    char shown[kControlTextSize];
    int mnemonic;
    ShownText(control->text, (control->item.window.style & SS_NOPREFIX) == 0, shown, sizeof(shown),
              &mnemonic);
    PutWrapped(top, left, cells->width, cells->height, shown, mnemonic, look);
}

void DrawIcon(const TerminalView* view, const IconCells* icon, int top, int left) {
    for (int row = 0; row < icon->rows; ++row) {
        for (int column = 0; column < icon->columns; ++column) {
            short color = icon->colors[row * icon->columns + column];
            if (color < 0) {
                continue;
            }
            attr_t look = view->colors ? COLOR_PAIR(kPairIconFirst + color) : A_REVERSE;
            mvaddch(top + row, left + column, ACS_CKBOARD | look);
        }
    }
}

void DrawControl(const TerminalView* view, const Dialog* dialog, int control) {
    const DialogControl* item = &dialog->controls[control];
    int top = dialog->rect.top + 1 + item->cells.top;
    int left = dialog->rect.left + 1 + item->cells.left;
    if ((item->item.window.style & WS_VISIBLE) == 0) {
        return;
    }
    if (IsPushButton(item)) {
        DrawButton(view, dialog, control, top, left);
        return;
    }
    if (ItemClass(&item->item) != kStaticClass) {
        return;
    }
    DWORD type = item->item.window.style & SS_TYPEMASK;
    if (type == SS_ICON) {
        DrawIcon(view, &view->icons[control], top, left);
    } else if (type == SS_BLACKRECT) {
        attrset(Look(view, kPairFace));
        mvhline(top, left, ACS_HLINE, item->cells.width);
    } else if (type <= 2) {
        DrawText(view, item, top, left);
    }
}

void DrawTooSmall(const Dialog* dialog) {
    char line[kDialogTextSize + 64];
    std::snprintf(line, sizeof(line), "%s needs a terminal of at least %d x %d characters",
                  dialog->caption, (int)(dialog->rect.right - dialog->rect.left),
                  (int)(dialog->rect.bottom - dialog->rect.top));
    PutWrapped(0, 0, COLS, LINES, line, -1, A_NORMAL);
}

void QueueInput(Dialog* dialog, DialogInputKind kind, int key, int column, int row) {
    DialogInput input;
    input.kind = kind;
    input.key = key;
    input.column = column;
    input.row = row;
    DialogQueueInput(dialog, &input);
}

// Keys as the dialog manager knows them, -1 for those it does not use.
int KeyOf(int key) {
    switch (key) {
    case '\t':
        return kKeyTab;
    case KEY_BTAB:
        return kKeyBackTab;
    case '\r':
    case '\n':
    case KEY_ENTER:
        return kKeyEnter;
    case 0x1B:
        return kKeyEscape;
    default:
        return key >= ' ' && key < 0x7F ? key : -1;
    }
}

void QueueMouse(Dialog* dialog) {
    MEVENT event;
    if (getmouse(&event) != OK) {
        return;
    }
    if (event.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)) {
        QueueInput(dialog, kInputMouseDown, 0, event.x, event.y);
    }
    if (event.bstate & (BUTTON1_RELEASED | BUTTON1_CLICKED)) {
        QueueInput(dialog, kInputMouseUp, 0, event.x, event.y);
    }
}

void Resize(TerminalView* view, Dialog* dialog) {
    int columns;
    int rows;
    TerminalScreenSize(&columns, &rows);
    resizeterm(rows, columns);
    DialogCentre(dialog, columns, rows);
    TerminalDraw(view, dialog);
}

// Everything that the terminal has for us now. Esc with a character right
// behind it is that character with Alt.
void ReadKeys(Dialog* dialog) {
    for (int key = getch(); key != ERR; key = getch()) {
        if (key == KEY_MOUSE) {
            QueueMouse(dialog);
            continue;
        }
        if (key == 0x1B) {
            int next = getch();
            if (next != ERR && KeyOf(next) > ' ') {
                key = next;
            } else if (next != ERR) {
                ungetch(next);
            }
        }
        int mapped = KeyOf(key);
        if (mapped >= 0) {
            QueueInput(dialog, kInputKey, mapped, 0, 0);
        }
    }
}

} // namespace

bool TerminalAvailable() {
    return isatty(STDIN_FILENO) && isatty(STDOUT_FILENO);
}

void TerminalScreenSize(int* columns, int* rows) {
    struct winsize size;
    if ((ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 ||
         ioctl(STDIN_FILENO, TIOCGWINSZ, &size) == 0) &&
        size.ws_col > 0 && size.ws_row > 0) {
        *columns = size.ws_col;
        *rows = size.ws_row;
        return;
    }
    *columns = kDefaultColumns;
    *rows = kDefaultRows;
}

TerminalView* TerminalOpen(const Dialog* dialog) {
    TerminalView* view = new (std::nothrow) TerminalView();
    // Caught before ncurses starts, so that it keeps its own handlers out.
    if (view == nullptr || !CatchSignals()) {
        delete view;
        return nullptr;
    }
    // Line drawing as the terminal's own characters, UTF-8 ones included.
    lstrcpynA(view->previousLocale, setlocale(LC_CTYPE, nullptr), sizeof(view->previousLocale));
    setlocale(LC_CTYPE, "");
    view->screen = newterm(nullptr, stdout, stdin);
    if (view->screen == nullptr) {
        const char* type = std::getenv("TERM");
        std::fprintf(stderr, "%s: cannot draw on a terminal of type \"%s\"\n", dialog->caption,
                     type != nullptr ? type : "");
        setlocale(LC_CTYPE, view->previousLocale);
        ReleaseSignals();
        delete view;
        return nullptr;
    }
    set_term(view->screen);
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    typeahead(-1); // keys waiting must not hold back what a run shows
    set_escdelay(kEscapeDelayMs);
    curs_set(0);
    mousemask(BUTTON1_PRESSED | BUTTON1_RELEASED | BUTTON1_CLICKED, nullptr);
    mouseinterval(0);
    StartColors(view);
    for (int i = 0; i < dialog->controlCount; ++i) {
        LoadIcon(dialog, i, view);
    }
    return view;
}

void TerminalClose(TerminalView* view) {
    endwin();
    delscreen(view->screen);
    setlocale(LC_CTYPE, view->previousLocale);
    ReleaseSignals();
    delete view;
}

void TerminalDraw(TerminalView* view, const Dialog* dialog) {
    erase();
    int columns = COLS;
    int rows = LINES;
    if (columns < dialog->rect.right - dialog->rect.left ||
        rows < dialog->rect.bottom - dialog->rect.top) {
        DrawTooSmall(dialog);
    } else {
        DrawFrame(view, dialog);
        for (int i = 0; i < dialog->controlCount; ++i) {
            DrawControl(view, dialog, i);
        }
    }
    refresh();
}

// The pipe may have been emptied by a socket wait during a run: what the
// signals told is looked at before every wait.
void TerminalWait(TerminalView* view, Dialog* dialog) {
    HoldResize(false);
    while (dialog->inputCount == 0 && !EndRequested()) {
        if (TakeResize()) {
            Resize(view, dialog);
            continue;
        }
        struct pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {SignalPipe(), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            RequestEnd();
            break;
        }
        if (fds[1].revents & POLLIN) {
            DrainSignalPipe();
        }
        if (fds[0].revents & POLLIN) {
            ReadKeys(dialog);
        }
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // The terminal is gone: nobody can answer the dialog any more.
            RequestEnd();
        }
    }
    HoldResize(true);
}
