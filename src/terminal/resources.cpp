// Compiled resource files (.res) and the Win32 resource formats in them.
#include "terminal/resources.h"

#include <strings.h>

#include <cstring>

namespace {

const DWORD kExtendedDialogSignature = 0xFFFF0001;
const int kStringsPerBlock = 16;
const std::size_t kEntryHeaderMinimum = 32;
const DWORD kDibHeaderSize = 40;
const int kIconUnits = 20; // 32 pixels of an 8 point font's dialog units
const DWORD kFixedVersionSignature = 0xFEEF04BD;
const std::size_t kFixedVersionSize = 52;

// A bounds-checked little-endian reader over one block of bytes. A read past
// the end sets ok to false and gives zeros from then on.
struct Reader {
    const unsigned char* data;
    std::size_t size;
    std::size_t offset;
    bool ok;
};

Reader MakeReader(const unsigned char* data, std::size_t size) {
    Reader reader = {data, size, 0, true};
    return reader;
}

bool Have(Reader* reader, std::size_t count) {
    if (!reader->ok || count > reader->size || reader->offset > reader->size - count) {
        reader->ok = false;
        return false;
    }
    return true;
}

unsigned ReadByte(Reader* reader) {
    if (!Have(reader, 1)) {
        return 0;
    }
    return reader->data[reader->offset++];
}

WORD ReadWord(Reader* reader) {
    unsigned low = ReadByte(reader);
    unsigned high = ReadByte(reader);
    return (WORD)(low | high << 8);
}

DWORD ReadDword(Reader* reader) {
    DWORD low = ReadWord(reader);
    DWORD high = ReadWord(reader);
    return low | high << 16;
}

void Skip(Reader* reader, std::size_t count) {
    if (Have(reader, count)) {
        reader->offset += count;
    }
}

void AlignDword(Reader* reader) {
    Skip(reader, (4 - reader->offset % 4) % 4);
}

// UTF-16 to 8-bit text: the first 256 code points map to themselves (ASCII
// and Latin-1), anything else becomes '?'.
char AnsiOf(WORD unit) {
    return unit < 0x100 ? (char)unit : '?';
}

// A NUL-terminated UTF-16 string, cut to what the buffer holds.
void ReadString(Reader* reader, char* text, int textSize) {
    int length = 0;
    for (WORD unit = ReadWord(reader); reader->ok && unit != 0; unit = ReadWord(reader)) {
        if (length < textSize - 1) {
            text[length++] = AnsiOf(unit);
        }
    }
    if (textSize > 0) {
        text[length] = '\0';
    }
}

// A name-or-ordinal field: 0xFFFF and a number, or a string.
void ReadNameOrOrdinal(Reader* reader, WORD* ordinal, char* text, int textSize) {
    *ordinal = 0;
    if (textSize > 0) {
        text[0] = '\0';
    }
    if (Have(reader, 2) && reader->data[reader->offset] == 0xFF &&
        reader->data[reader->offset + 1] == 0xFF) {
        Skip(reader, 2);
        *ordinal = ReadWord(reader);
        return;
    }
    ReadString(reader, text, textSize);
}

// One entry of the resource file: its header and where its data lies.
struct ResourceEntry {
    WORD type;
    WORD name;
    WORD language;
    std::size_t dataOffset;
    std::size_t dataSize;
    std::size_t next;
};

bool ReadEntry(const HINSTANCE__* module, std::size_t offset, ResourceEntry* entry) {
    Reader reader = MakeReader(module->data, module->size);
    Skip(&reader, offset);
    std::size_t dataSize = ReadDword(&reader);
    std::size_t headerSize = ReadDword(&reader);
    if (!reader.ok || headerSize < kEntryHeaderMinimum || headerSize > module->size - offset ||
        dataSize > module->size - offset - headerSize) {
        return false;
    }
    Reader header = MakeReader(module->data + offset, headerSize);
    Skip(&header, 8);
    char ignored[2];
    ReadNameOrOrdinal(&header, &entry->type, ignored, sizeof(ignored));
    ReadNameOrOrdinal(&header, &entry->name, ignored, sizeof(ignored));
    AlignDword(&header);
    Skip(&header, 4 + 2); // data version, memory flags
    entry->language = ReadWord(&header);
    entry->dataOffset = offset + headerSize;
    entry->dataSize = dataSize;
    std::size_t end = entry->dataOffset + dataSize;
    entry->next = end + (4 - end % 4) % 4;
    return header.ok;
}

void CopyUtf16(Reader* reader, int units, char* buffer, int bufferSize) {
    int length = 0;
    for (int i = 0; i < units; ++i) {
        WORD unit = ReadWord(reader);
        if (length < bufferSize - 1) {
            buffer[length++] = AnsiOf(unit);
        }
    }
    buffer[length] = '\0';
}

// A template's window comes in two parts: the dialog's own keeps its item
// count between the styles and the place.
void ReadStyles(Reader* reader, WindowTemplate* window) {
    window->style = ReadDword(reader);
    window->exStyle = ReadDword(reader);
}

void ReadPlace(Reader* reader, WindowTemplate* window) {
    window->x = (short)ReadWord(reader);
    window->y = (short)ReadWord(reader);
    window->cx = (short)ReadWord(reader);
    window->cy = (short)ReadWord(reader);
}

void ReadItem(Reader* reader, DialogItemTemplate* item) {
    AlignDword(reader);
    ReadStyles(reader, &item->window);
    ReadPlace(reader, &item->window);
    item->id = ReadWord(reader);
    ReadNameOrOrdinal(reader, &item->classOrdinal, item->className, sizeof(item->className));
    ReadNameOrOrdinal(reader, &item->textOrdinal, item->text, sizeof(item->text));
    // The creation data's size counts its own word as well.
    WORD creationSize = ReadWord(reader);
    Skip(reader, creationSize > sizeof(WORD) ? creationSize - sizeof(WORD) : 0);
}

void ReadIconEntry(Reader* reader, IconEntry* entry) {
    int width = (int)ReadByte(reader);
    int height = (int)ReadByte(reader);
    entry->width = width == 0 ? 256 : width;
    entry->height = height == 0 ? 256 : height;
    entry->colorCount = (int)ReadByte(reader);
    Skip(reader, 1 + 2); // reserved, planes
    entry->bitCount = ReadWord(reader);
    Skip(reader, 4); // bytes in the image
    entry->imageId = ReadWord(reader);
}

// The colour depth of an entry, also for directories that give only a
// colour count.
int DepthOf(const IconEntry* entry) {
    if (entry->bitCount != 0) {
        return entry->bitCount;
    }
    int depth = 0;
    while (depth < 8 && (1 << depth) < entry->colorCount) {
        ++depth;
    }
    return depth;
}

int Distance(int a, int b) {
    return a > b ? a - b : b - a;
}

const IconEntry* BestEntry(const IconGroup* group, int side) {
    const IconEntry* best = nullptr;
    for (int i = 0; i < group->count; ++i) {
        const IconEntry* entry = &group->entries[i];
        if (best == nullptr || Distance(entry->width, side) < Distance(best->width, side) ||
            (entry->width == best->width && DepthOf(entry) > DepthOf(best))) {
            best = entry;
        }
    }
    return best;
}

// The DIB fields that decoding needs.
struct DibHeader {
    DWORD headerSize;
    int width;
    int height;
    int bitCount;
    DWORD compression;
    DWORD colorsUsed;
};

void ReadDibHeader(Reader* reader, DibHeader* header) {
    header->headerSize = ReadDword(reader);
    header->width = (int)(std::int32_t)ReadDword(reader);
    header->height = (int)(std::int32_t)ReadDword(reader) / 2; // colour and mask bitmaps
    Skip(reader, 2);                                           // planes
    header->bitCount = ReadWord(reader);
    header->compression = ReadDword(reader);
    Skip(reader, 4 * 3); // image size, resolution
    header->colorsUsed = ReadDword(reader);
}

bool DibIsSupported(const DibHeader* header) {
    int depth = header->bitCount;
    bool known = depth == 1 || depth == 4 || depth == 8 || depth == 24 || depth == 32;
    return known && header->headerSize >= kDibHeaderSize && header->compression == 0 &&
           header->width > 0 && header->width <= kMaxIconSide && header->height > 0 &&
           header->height <= kMaxIconSide && (depth > 8 || header->colorsUsed <= 256u);
}

std::uint32_t PaletteColor(const ResourceBlock* block, std::size_t paletteOffset, int colors,
                           int index) {
    if (index >= colors) {
        return 0xFF000000u;
    }
    Reader reader = MakeReader(block->data, block->size);
    Skip(&reader, paletteOffset + 4 * (std::size_t)index);
    DWORD quad = ReadDword(&reader); // blue, green, red, reserved
    return 0xFF000000u | (quad & 0x00FFFFFFu);
}

// The colour of pixel x in a row of the colour bitmap.
std::uint32_t PixelColor(const ResourceBlock* block, const DibHeader* header,
                         std::size_t paletteOffset, int colors, std::size_t rowOffset, int x) {
    Reader reader = MakeReader(block->data, block->size);
    int depth = header->bitCount;
    Skip(&reader, rowOffset + (std::size_t)x * depth / 8);
    if (depth <= 8) {
        unsigned byte = ReadByte(&reader);
        int shift = 8 - depth - (x * depth) % 8;
        int index = (int)((byte >> shift) & ((1u << depth) - 1));
        return PaletteColor(block, paletteOffset, colors, index);
    }
    DWORD blue = ReadByte(&reader);
    DWORD green = ReadByte(&reader);
    DWORD red = ReadByte(&reader);
    DWORD alpha = depth == 32 ? ReadByte(&reader) : 0xFF;
    return alpha << 24 | red << 16 | green << 8 | blue;
}

bool MaskBit(const ResourceBlock* block, std::size_t rowOffset, int x) {
    Reader reader = MakeReader(block->data, block->size);
    Skip(&reader, rowOffset + (std::size_t)x / 8);
    return (ReadByte(&reader) >> (7 - x % 8) & 1) != 0;
}

bool DecodeDib(const ResourceBlock* block, IconImage* image) {
    Reader reader = MakeReader(block->data, block->size);
    DibHeader header;
    ReadDibHeader(&reader, &header);
    if (!reader.ok || !DibIsSupported(&header)) {
        return false;
    }
    int colors = 0;
    if (header.bitCount <= 8) {
        colors = header.colorsUsed != 0 ? (int)header.colorsUsed : 1 << header.bitCount;
    }
    std::size_t paletteOffset = header.headerSize;
    std::size_t colorStride = (((std::size_t)header.width * header.bitCount + 31) / 32) * 4;
    std::size_t maskStride = (((std::size_t)header.width + 31) / 32) * 4;
    std::size_t colorOffset = paletteOffset + 4 * (std::size_t)colors;
    std::size_t maskOffset = colorOffset + colorStride * header.height;
    if (maskOffset + maskStride * header.height > block->size) {
        return false;
    }
    image->width = header.width;
    image->height = header.height;
    image->bitCount = header.bitCount;
    for (int row = 0; row < header.height; ++row) {
        int fileRow = header.height - 1 - row; // bottom row first in the file
        for (int x = 0; x < header.width; ++x) {
            std::uint32_t color = PixelColor(block, &header, paletteOffset, colors,
                                             colorOffset + colorStride * fileRow, x);
            if (header.bitCount != 32 && MaskBit(block, maskOffset + maskStride * fileRow, x)) {
                color &= 0x00FFFFFFu;
            }
            image->pixels[row * header.width + x] = color;
        }
    }
    return true;
}

// One node of a version record: its length, value length and type, its key,
// then its value and its children, each DWORD-aligned from the record's start.
struct VersionNode {
    char key[64];
    std::size_t value;
    std::size_t children;
    std::size_t end;
};

bool ReadVersionNode(const ResourceBlock* block, std::size_t offset, std::size_t limit,
                     VersionNode* node) {
    Reader reader = MakeReader(block->data, limit);
    Skip(&reader, offset);
    std::size_t length = ReadWord(&reader);
    std::size_t valueLength = ReadWord(&reader);
    bool text = ReadWord(&reader) == 1; // a text value counts UTF-16 units
    ReadString(&reader, node->key, sizeof(node->key));
    AlignDword(&reader);
    node->value = reader.offset;
    node->end = offset + length;
    if (!reader.ok || length < 6 || node->end > limit || node->value > node->end) {
        return false;
    }
    std::size_t children = node->value + (text ? 2 * valueLength : valueLength);
    children += (4 - children % 4) % 4;
    node->children = children < node->end ? children : node->end;
    return true;
}

// The child of parent with that key, or with any key for null.
bool FindVersionChild(const ResourceBlock* block, const VersionNode* parent, const char* key,
                      VersionNode* child) {
    std::size_t offset = parent->children;
    while (offset < parent->end && ReadVersionNode(block, offset, parent->end, child)) {
        if (key == nullptr || std::strcmp(child->key, key) == 0) {
            return true;
        }
        offset = child->end + (4 - child->end % 4) % 4;
    }
    return false;
}

bool ReadFixedVersion(const ResourceBlock* block, const VersionNode* root, VersionRecord* version) {
    if (root->children - root->value < kFixedVersionSize) {
        return false;
    }
    Reader reader = MakeReader(block->data, root->end);
    Skip(&reader, root->value);
    DWORD signature = ReadDword(&reader);
    Skip(&reader, 4); // structure version
    DWORD high = ReadDword(&reader);
    DWORD low = ReadDword(&reader);
    version->fileVersion[0] = (WORD)(high >> 16);
    version->fileVersion[1] = (WORD)high;
    version->fileVersion[2] = (WORD)(low >> 16);
    version->fileVersion[3] = (WORD)low;
    return reader.ok && signature == kFixedVersionSignature;
}

bool ReadProductName(const ResourceBlock* block, const VersionNode* root, VersionRecord* version) {
    VersionNode strings;
    VersionNode table;
    VersionNode name;
    if (!FindVersionChild(block, root, "StringFileInfo", &strings) ||
        !FindVersionChild(block, &strings, nullptr, &table) ||
        !FindVersionChild(block, &table, "ProductName", &name)) {
        return false;
    }
    Reader reader = MakeReader(block->data, name.end);
    Skip(&reader, name.value);
    ReadString(&reader, version->productName, sizeof(version->productName));
    return reader.ok && version->productName[0] != '\0';
}

bool IsIconWithoutSize(const DialogItemTemplate* item) {
    return ItemClass(item) == kStaticClass && (item->window.style & SS_TYPEMASK) == SS_ICON;
}

} // namespace

WORD ItemClass(const DialogItemTemplate* item) {
    if (item->classOrdinal != 0) {
        return item->classOrdinal;
    }
    if (strcasecmp(item->className, "Button") == 0) {
        return kButtonClass;
    }
    return strcasecmp(item->className, "Static") == 0 ? kStaticClass : 0;
}

int ItemWidth(const DialogItemTemplate* item) {
    return item->window.cx == 0 && IsIconWithoutSize(item) ? kIconUnits : item->window.cx;
}

int ItemHeight(const DialogItemTemplate* item) {
    return item->window.cy == 0 && IsIconWithoutSize(item) ? kIconUnits : item->window.cy;
}

bool ResourceFind(const HINSTANCE__* module, WORD type, WORD id, ResourceBlock* block) {
    if (module == nullptr) {
        return false;
    }
    ResourceEntry entry;
    for (std::size_t offset = 0; offset < module->size; offset = entry.next) {
        if (!ReadEntry(module, offset, &entry)) {
            return false;
        }
        if (entry.type == type && entry.name == id) {
            block->data = module->data + entry.dataOffset;
            block->size = entry.dataSize;
            block->language = entry.language;
            return true;
        }
    }
    return false;
}

int ResourceLoadString(const HINSTANCE__* module, UINT id, char* buffer, int bufferSize) {
    if (buffer == nullptr || bufferSize <= 0) {
        return 0;
    }
    buffer[0] = '\0';
    ResourceBlock block;
    if (id > 0xFFFF ||
        !ResourceFind(module, RT_STRING, (WORD)(id / kStringsPerBlock + 1), &block)) {
        return 0;
    }
    Reader reader = MakeReader(block.data, block.size);
    for (UINT index = 0; index < id % kStringsPerBlock; ++index) {
        Skip(&reader, 2 * (std::size_t)ReadWord(&reader));
    }
    WORD length = ReadWord(&reader);
    if (!reader.ok || !Have(&reader, 2 * (std::size_t)length)) {
        return 0;
    }
    CopyUtf16(&reader, length, buffer, bufferSize);
    return (int)std::strlen(buffer);
}

bool ResourceLoadDialog(const HINSTANCE__* module, WORD id, DialogTemplate* dialog) {
    ResourceBlock block;
    if (!ResourceFind(module, RT_DIALOG, id, &block)) {
        return false;
    }
    Reader reader = MakeReader(block.data, block.size);
    ReadStyles(&reader, &dialog->window);
    if (dialog->window.style == kExtendedDialogSignature) {
        return false;
    }
    dialog->itemCount = ReadWord(&reader);
    ReadPlace(&reader, &dialog->window);
    WORD ordinal;
    char name[64];
    ReadNameOrOrdinal(&reader, &ordinal, name, sizeof(name)); // menu
    ReadNameOrOrdinal(&reader, &ordinal, name, sizeof(name)); // window class
    ReadString(&reader, dialog->caption, sizeof(dialog->caption));
    dialog->pointSize = 0;
    dialog->fontName[0] = '\0';
    if (dialog->window.style & DS_SETFONT) {
        dialog->pointSize = ReadWord(&reader);
        ReadString(&reader, dialog->fontName, sizeof(dialog->fontName));
    }
    if (dialog->itemCount > kMaxDialogItems) {
        return false;
    }
    for (int i = 0; i < dialog->itemCount; ++i) {
        ReadItem(&reader, &dialog->items[i]);
    }
    return reader.ok;
}

bool ResourceLoadIconGroup(const HINSTANCE__* module, WORD id, IconGroup* group) {
    ResourceBlock block;
    if (!ResourceFind(module, RT_GROUP_ICON, id, &block)) {
        return false;
    }
    Reader reader = MakeReader(block.data, block.size);
    Skip(&reader, 2); // reserved
    WORD type = ReadWord(&reader);
    group->count = ReadWord(&reader);
    if (type != 1 || group->count > kMaxIconImages) {
        return false;
    }
    for (int i = 0; i < group->count; ++i) {
        ReadIconEntry(&reader, &group->entries[i]);
    }
    return reader.ok;
}

bool ResourceLoadIcon(const HINSTANCE__* module, WORD groupId, int side, IconImage* image) {
    IconGroup group;
    if (!ResourceLoadIconGroup(module, groupId, &group)) {
        return false;
    }
    const IconEntry* entry = BestEntry(&group, side);
    ResourceBlock block;
    return entry != nullptr && ResourceFind(module, RT_ICON, entry->imageId, &block) &&
           DecodeDib(&block, image);
}

bool ResourceLoadVersion(const HINSTANCE__* module, VersionRecord* version) {
    ResourceBlock block;
    VersionNode root;
    return ResourceFind(module, RT_VERSION, VS_VERSION_INFO, &block) &&
           ReadVersionNode(&block, 0, block.size, &root) &&
           std::strcmp(root.key, "VS_VERSION_INFO") == 0 &&
           ReadFixedVersion(&block, &root, version) && ReadProductName(&block, &root, version);
}
