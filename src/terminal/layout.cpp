// Dialog units to character cells, text shown with mnemonics, word wrap.
#include "terminal/layout.h"

#include <cstring>

namespace {

const int kUnitsPerColumn = 4;
const int kUnitsPerRow = 8;
const int kOneLineUnits = 16;
const int kMaxEdges = 2 * kMaxDialogItems + 2;

// The sorted distinct x positions of the dialog's edges and the column
// where each one lies.
struct Edges {
    int count;
    int units[kMaxEdges];
    int column[kMaxEdges];
};

int Clamp(int value, int low, int high) {
    return value < low ? low : value > high ? high : value;
}

void AddEdge(Edges* edges, int units) {
    int at = 0;
    while (at < edges->count && edges->units[at] < units) {
        ++at;
    }
    if (at < edges->count && edges->units[at] == units) {
        return;
    }
    for (int i = edges->count; i > at; --i) {
        edges->units[i] = edges->units[i - 1];
        edges->column[i] = edges->column[i - 1];
    }
    edges->units[at] = units;
    edges->column[at] = (units + kUnitsPerColumn / 2) / kUnitsPerColumn;
    ++edges->count;
}

int ColumnOf(const Edges* edges, int units) {
    for (int i = 0; i < edges->count; ++i) {
        if (edges->units[i] == units) {
            return edges->column[i];
        }
    }
    return 0;
}

void ShiftColumnsFrom(Edges* edges, int units, int amount) {
    for (int i = 0; i < edges->count; ++i) {
        if (edges->units[i] >= units) {
            edges->column[i] += amount;
        }
    }
}

int LeftUnits(const DialogTemplate* dialog, int item) {
    return Clamp(dialog->items[item].window.x, 0, dialog->window.cx);
}

int RightUnits(const DialogTemplate* dialog, int item) {
    const DialogItemTemplate* it = &dialog->items[item];
    return Clamp(it->window.x + ItemWidth(it), LeftUnits(dialog, item), dialog->window.cx);
}

bool IsButton(const DialogItemTemplate* item) {
    return ItemClass(item) == kButtonClass;
}

bool IsTextStatic(const DialogItemTemplate* item) {
    DWORD type = item->window.style & SS_TYPEMASK;
    return ItemClass(item) == kStaticClass && type <= 2; // left, centred, right
}

// The columns an item needs: its whole text when it has one line.
int ColumnsNeeded(const DialogItemTemplate* item) {
    char shown[kDialogTextSize];
    int mnemonic;
    if (IsButton(item)) {
        ShownText(item->text, true, shown, sizeof(shown), &mnemonic);
        return (int)std::strlen(shown) + kButtonDecoration;
    }
    if (IsTextStatic(item) && item->window.cy <= kOneLineUnits) {
        ShownText(item->text, (item->window.style & SS_NOPREFIX) == 0, shown, sizeof(shown),
                  &mnemonic);
        return (int)std::strlen(shown);
    }
    return 1;
}

// Widens columns where an item's text needs it: every edge at or right of
// the item's right edge moves, items in order of their right edges.
void WidenForTexts(const DialogTemplate* dialog, Edges* edges) {
    int order[kMaxDialogItems];
    for (int i = 0; i < dialog->itemCount; ++i) {
        int at = i;
        while (at > 0 && RightUnits(dialog, order[at - 1]) > RightUnits(dialog, i)) {
            order[at] = order[at - 1];
            --at;
        }
        order[at] = i;
    }
    for (int i = 0; i < dialog->itemCount; ++i) {
        int item = order[i];
        int right = RightUnits(dialog, item);
        int width = ColumnOf(edges, right) - ColumnOf(edges, LeftUnits(dialog, item));
        int missing = ColumnsNeeded(&dialog->items[item]) - width;
        if (missing > 0) {
            ShiftColumnsFrom(edges, right, missing);
        }
    }
}

bool CoveredBy(const DialogCells* cells, int count, int cell, bool columns) {
    for (int i = 0; i < count; ++i) {
        const CellRect* rect = &cells->items[i];
        int start = columns ? rect->left : rect->top;
        int length = columns ? rect->width : rect->height;
        if (cell >= start && cell < start + length) {
            return true;
        }
    }
    return false;
}

// The last column or row that no item covers, or -1.
int LastEmpty(const DialogCells* cells, int count, int size, bool columns) {
    for (int cell = size - 1; cell >= 0; --cell) {
        if (!CoveredBy(cells, count, cell, columns)) {
            return cell;
        }
    }
    return -1;
}

void RemoveCell(DialogCells* cells, int count, int cell, bool columns) {
    for (int i = 0; i < count; ++i) {
        int* start = columns ? &cells->items[i].left : &cells->items[i].top;
        if (*start > cell) {
            --*start;
        }
    }
    --*(columns ? &cells->columns : &cells->rows);
}

// Takes empty columns or rows out, the last first, until the client fits.
void Squeeze(DialogCells* cells, int count, bool columns, int limit) {
    while ((columns ? cells->columns : cells->rows) > limit) {
        int empty = LastEmpty(cells, count, columns ? cells->columns : cells->rows, columns);
        if (empty < 0) {
            return;
        }
        RemoveCell(cells, count, empty, columns);
    }
}

void LayOutColumns(const DialogTemplate* dialog, DialogCells* cells) {
    Edges edges;
    edges.count = 0;
    AddEdge(&edges, 0);
    AddEdge(&edges, dialog->window.cx);
    for (int i = 0; i < dialog->itemCount; ++i) {
        AddEdge(&edges, LeftUnits(dialog, i));
        AddEdge(&edges, RightUnits(dialog, i));
    }
    WidenForTexts(dialog, &edges);
    for (int i = 0; i < dialog->itemCount; ++i) {
        int left = ColumnOf(&edges, LeftUnits(dialog, i));
        int right = ColumnOf(&edges, RightUnits(dialog, i));
        cells->items[i].left = left;
        cells->items[i].width = right > left ? right - left : 1;
    }
    cells->columns = ColumnOf(&edges, dialog->window.cx);
}

void LayOutRows(const DialogTemplate* dialog, DialogCells* cells) {
    cells->rows = dialog->window.cy / kUnitsPerRow;
    for (int i = 0; i < dialog->itemCount; ++i) {
        const DialogItemTemplate* item = &dialog->items[i];
        int units = ItemHeight(item);
        int height = units <= kOneLineUnits ? 1 : (units + kUnitsPerRow - 1) / kUnitsPerRow;
        cells->items[i].top = Clamp(item->window.y, 0, dialog->window.cy) / kUnitsPerRow;
        cells->items[i].height = height;
        if (cells->items[i].top + height > cells->rows) {
            cells->rows = cells->items[i].top + height;
        }
    }
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool EndsLine(char c) {
    return c == '\0' || c == '\n' || c == '\r';
}

} // namespace

void LayoutDialog(const DialogTemplate* dialog, DialogCells* cells) {
    LayOutColumns(dialog, cells);
    LayOutRows(dialog, cells);
    Squeeze(cells, dialog->itemCount, true, kMaxClientColumns);
    Squeeze(cells, dialog->itemCount, false, kMaxClientRows);
}

void ShownText(const char* text, bool prefix, char* shown, int shownSize, int* mnemonic) {
    *mnemonic = -1;
    int length = 0;
    for (int i = 0; text[i] != '\0' && length < shownSize - 1; ++i) {
        if (prefix && text[i] == '&' && text[i + 1] != '\0') {
            ++i;
            if (text[i] != '&' && *mnemonic < 0) {
                *mnemonic = length;
            }
        }
        shown[length++] = text[i];
    }
    shown[length] = '\0';
}

int WrapLine(const char* text, int width, int* next) {
    int end = 0;
    while (end < width && !EndsLine(text[end])) {
        ++end;
    }
    int shown = end;
    if (!EndsLine(text[end]) && !IsBlank(text[end])) {
        int blank = end;
        while (blank > 0 && !IsBlank(text[blank - 1])) {
            --blank;
        }
        if (blank > 0) {
            shown = end = blank;
        }
    }
    while (shown > 0 && IsBlank(text[shown - 1])) {
        --shown;
    }
    while (IsBlank(text[end])) {
        ++end;
    }
    if (text[end] == '\r') {
        ++end;
    }
    if (text[end] == '\n') {
        ++end;
    }
    *next = end;
    return shown;
}
