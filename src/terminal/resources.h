// Reads the program's resources from a compiled resource file (.res, as
// windres writes it) held in memory: dialog templates, string tables and
// icons in their Win32 binary formats. Every read is bounds-checked, so a
// damaged file gives "not found", never a read outside it.
#pragma once

#include <cstddef>

#include "platform/posix/windef.h"
#include "terminal/styles.h"

// A module is the resource file that the program carries.
struct HINSTANCE__ {
    const unsigned char* data;
    std::size_t size;
};

#define RT_ICON 3
#define RT_DIALOG 5
#define RT_STRING 6
#define RT_GROUP_ICON 14
#define RT_VERSION 16
#define VS_VERSION_INFO 1

const int kMaxDialogItems = 64;
const int kDialogTextSize = 512;
const int kMaxIconImages = 16;
const int kMaxIconSide = 64;

// One resource's bytes inside the module.
struct ResourceBlock {
    const unsigned char* data;
    std::size_t size;
    WORD language;
};

// What a dialog template says alike of the dialog and of each item: the
// window's styles, and its place and size in dialog units.
struct WindowTemplate {
    DWORD style;
    DWORD exStyle;
    short x;
    short y;
    short cx;
    short cy;
};

struct DialogItemTemplate {
    WindowTemplate window;
    WORD id;
    WORD classOrdinal;          // 0x0080 Button, 0x0082 Static; 0 for a named class
    char className[64];         // the name of a named class
    WORD textOrdinal;           // an icon's resource id; 0 when the text is a string
    char text[kDialogTextSize]; // the text, when it is a string
};

struct DialogTemplate {
    WindowTemplate window;
    char caption[kDialogTextSize];
    WORD pointSize;
    char fontName[64];
    int itemCount;
    DialogItemTemplate items[kMaxDialogItems];
};

// What a version record says of the program: FILEVERSION's four numbers,
// most significant first, and the first string table's ProductName.
struct VersionRecord {
    WORD fileVersion[4];
    char productName[64];
};

// One image of an icon group, as the group's directory lists it.
struct IconEntry {
    int width;
    int height;
    int colorCount;
    int bitCount;
    WORD imageId;
};

struct IconGroup {
    int count;
    IconEntry entries[kMaxIconImages];
};

// A decoded icon image: 0xAARRGGBB per pixel, top row first; alpha 0 is
// transparent.
struct IconImage {
    int width;
    int height;
    int bitCount;
    std::uint32_t pixels[kMaxIconSide * kMaxIconSide];
};

const WORD kButtonClass = 0x0080;
const WORD kStaticClass = 0x0082;

// An item's predefined class, given by ordinal or by name ("Button",
// "Static", in any case); 0 for any other class.
WORD ItemClass(const DialogItemTemplate* item);

// An item's size in dialog units. An icon given without a size takes the
// size of a 32 by 32 pixel icon in the template's font, as Windows does.
int ItemWidth(const DialogItemTemplate* item);
int ItemHeight(const DialogItemTemplate* item);

bool ResourceFind(const HINSTANCE__* module, WORD type, WORD id, ResourceBlock* block);

// LoadStringA: at most bufferSize - 1 characters and the terminator; gives
// the length copied, 0 when there is no such string.
int ResourceLoadString(const HINSTANCE__* module, UINT id, char* buffer, int bufferSize);

// A standard (not extended) dialog template; texts in 8-bit ANSI.
bool ResourceLoadDialog(const HINSTANCE__* module, WORD id, DialogTemplate* dialog);

// The version record VS_VERSION_INFO; false without one, or without a fixed
// part or a product name in it.
bool ResourceLoadVersion(const HINSTANCE__* module, VersionRecord* version);

bool ResourceLoadIconGroup(const HINSTANCE__* module, WORD id, IconGroup* group);

// The group's image nearest to side pixels square, the deepest colour on a tie.
bool ResourceLoadIcon(const HINSTANCE__* module, WORD groupId, int side, IconImage* image);
