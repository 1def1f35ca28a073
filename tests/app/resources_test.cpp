// The resources of the built program, read back from Marvoly.exe itself: the
// dialog template, the string table, the icons and the version record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/resource.h"
#include "platform/platform.h"
#include "expected_texts.h"

namespace {

const WORD kUsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const WORD kButton = 0x0080;
const WORD kStatic = 0x0082;

struct Bytes {
    const unsigned char* data;
    DWORD size;
};

HMODULE g_program;

// The US English resource of that type and name; empty when missing.
Bytes Find(LPCSTR type, LPCSTR name) {
    HRSRC found = FindResourceExA(g_program, type, name, kUsEnglish);
    if (found == NULL) {
        return {nullptr, 0};
    }
    HGLOBAL loaded = LoadResource(g_program, found);
    return {static_cast<const unsigned char*>(LockResource(loaded)),
            SizeofResource(g_program, found)};
}

class ProgramResources : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        g_program = LoadLibraryExA(MARVOLY_PROGRAM, NULL, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite() {
        FreeLibrary(g_program);
    }
    void SetUp() override {
        ASSERT_NE(nullptr, g_program) << "cannot open " << MARVOLY_PROGRAM;
    }
};

// Reads a resource's fields in order, as the template and icon formats lay
// them out: little-endian words, UTF-16 strings, ordinals.
struct Reader {
    const unsigned char* data;
    DWORD size;
    DWORD pos;
};

Reader ReaderOf(Bytes bytes) {
    return {bytes.data, bytes.size, 0};
}

unsigned Word(Reader* reader) {
    if (reader->pos + 2 > reader->size) {
        ADD_FAILURE() << "read past the end at " << reader->pos;
        return 0;
    }
    unsigned value = reader->data[reader->pos] | reader->data[reader->pos + 1] << 8;
    reader->pos += 2;
    return value;
}

unsigned long Dword(Reader* reader) {
    unsigned long low = Word(reader);
    return low | static_cast<unsigned long>(Word(reader)) << 16;
}

int Short(Reader* reader) {
    return static_cast<short>(Word(reader));
}

// A UTF-16 string as 8-bit text; every character must be plain ASCII.
std::string Text(Reader* reader) {
    std::string text;
    for (unsigned c = Word(reader); c != 0; c = Word(reader)) {
        EXPECT_LT(c, 0x80u) << "in \"" << text << "\"";
        text += static_cast<char>(c);
    }
    return text;
}

// A name-or-ordinal field: "#n" for an ordinal, the text otherwise.
std::string TextOrOrdinal(Reader* reader) {
    Reader peek = *reader;
    if (Word(&peek) != 0xFFFF) {
        return Text(reader);
    }
    reader->pos += 2;
    return "#" + std::to_string(Word(reader));
}

void AlignToDword(Reader* reader) {
    reader->pos = (reader->pos + 3) & ~3u;
}

const unsigned long kChild = WS_CHILD | WS_VISIBLE;

struct Control {
    int id;
    unsigned cls;
    std::string text;
    int x, y, cx, cy;
    unsigned long style;
};

const Control kControls[] = {
    {IDOK, kButton, "&Refresh", 178, 173, 50, 14, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {IDCANCEL, kButton, "E&xit", 234, 173, 50, 14, kChild | WS_TABSTOP | BS_PUSHBUTTON},
    {IDC_MAKER_LINK, kButton, "www.&tolvaric.com", 206, 112, 78, 14,
     kChild | WS_TABSTOP | BS_PUSHBUTTON},
    {IDC_PRODUCTS_LINK, kButton, "www.&pelorin.com", 206, 146, 78, 14,
     kChild | WS_TABSTOP | BS_PUSHBUTTON},
    {65535, kStatic, "#101", 13, 140, 20, 20, kChild | SS_ICON},
    {IDC_LOCAL_IP, kStatic, "", 118, 12, 166, 12, kChild | WS_GROUP | SS_LEFT | SS_SUNKEN},
    {65535, kStatic, "Local IP address:", 50, 13, 56, 8, kChild | WS_GROUP | SS_LEFT},
    {IDC_INTERNET_IP, kStatic, "", 118, 29, 166, 12, kChild | WS_GROUP | SS_LEFT | SS_SUNKEN},
    {65535, kStatic, "Internet IP address:", 50, 30, 62, 8, kChild | WS_GROUP | SS_LEFT},
    {65535, kStatic, "H.323 notes:", 50, 47, 50, 8, kChild | WS_GROUP | SS_LEFT},
    {IDC_NOTES, kStatic, "", 118, 46, 166, 42, kChild | WS_GROUP | SS_LEFT | SS_SUNKEN},
    {65535, kStatic, "For more information on other Pelorin products, click on \"www.pelorin.com\"",
     50, 143, 143, 24, kChild | WS_GROUP | SS_LEFT},
    {65535, kStatic,
     "For more information on Tolvaric's H.323 applications, click on \"www.tolvaric.com\"", 50,
     109, 134, 24, kChild | WS_GROUP | SS_LEFT},
    {65535, kStatic, "#105", 13, 107, 20, 20, kChild | SS_ICON},
    {65535, kStatic, "#104", 13, 13, 20, 20, kChild | SS_ICON},
    {65535, kStatic, "", 13, 95, 271, 1, kChild | SS_BLACKRECT | SS_SUNKEN},
    {65535, kStatic, "Tolvaric Software Product Information", 13, 91, 134, 8,
     kChild | WS_GROUP | SS_LEFT},
};

TEST_F(ProgramResources, DialogTemplateIsTheStandardOneAsDesigned) {
    Reader reader = ReaderOf(Find(RT_DIALOG, MAKEINTRESOURCEA(IDD_MAIN)));
    ASSERT_NE(nullptr, reader.data);
    unsigned long style = Dword(&reader);
    EXPECT_NE(0xFFFF0001ul, style) << "an extended template";
    EXPECT_EQ(static_cast<unsigned long>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                                         DS_MODALFRAME | DS_SETFONT),
              style);
    EXPECT_EQ(0ul, Dword(&reader)) << "extended style";
    ASSERT_EQ(17u, Word(&reader));
    EXPECT_EQ(0, Short(&reader));
    EXPECT_EQ(0, Short(&reader));
    EXPECT_EQ(291, Short(&reader));
    EXPECT_EQ(194, Short(&reader));
    EXPECT_EQ("", TextOrOrdinal(&reader)) << "menu";
    EXPECT_EQ("", TextOrOrdinal(&reader)) << "class";
    EXPECT_EQ("Marvoly", Text(&reader));
    EXPECT_EQ(8u, Word(&reader));
    EXPECT_EQ("MS Sans Serif", Text(&reader));

    for (const Control& want : kControls) {
        SCOPED_TRACE(want.text + " #" + std::to_string(want.id));
        AlignToDword(&reader);
        EXPECT_EQ(want.style, Dword(&reader));
        EXPECT_EQ(0ul, Dword(&reader)) << "extended style";
        EXPECT_EQ(want.x, Short(&reader));
        EXPECT_EQ(want.y, Short(&reader));
        EXPECT_EQ(want.cx, Short(&reader));
        EXPECT_EQ(want.cy, Short(&reader));
        EXPECT_EQ(static_cast<unsigned>(want.id), Word(&reader));
        EXPECT_EQ("#" + std::to_string(want.cls), TextOrOrdinal(&reader));
        EXPECT_EQ(want.text, TextOrOrdinal(&reader));
        EXPECT_EQ(0u, Word(&reader)) << "creation data";
    }
    AlignToDword(&reader);
    EXPECT_EQ(reader.size, reader.pos) << "bytes after the last control";
}

TEST_F(ProgramResources, StringTableHoldsExactlyTheEightTexts) {
    // Ids 96 to 111 share one block of 16 counted UTF-16 strings.
    Reader reader = ReaderOf(Find(RT_STRING, MAKEINTRESOURCEA(100 / 16 + 1)));
    ASSERT_NE(nullptr, reader.data);
    const char* const want[16] = {"",
                                  "",
                                  "",
                                  "",
                                  kNotBehind,
                                  kBehind,
                                  kDetecting,
                                  kNoInternet,
                                  kNoLocal,
                                  kInternetUnknown,
                                  kLocalUnknown,
                                  kNeitherKnown,
                                  "",
                                  "",
                                  "",
                                  ""};
    for (int i = 0; i < 16; i++) {
        unsigned length = Word(&reader);
        std::string text;
        for (unsigned k = 0; k < length; k++) {
            unsigned c = Word(&reader);
            EXPECT_LT(c, 0x80u);
            text += static_cast<char>(c);
        }
        EXPECT_EQ(want[i], text) << "string " << 96 + i;
    }
    EXPECT_EQ(232u, std::strlen(kBehind)) << "the longest text";
}

struct IconImage {
    unsigned size;
    unsigned bits;
};

bool operator==(const IconImage& a, const IconImage& b) {
    return a.size == b.size && a.bits == b.bits;
}

void PrintTo(const IconImage& image, std::ostream* out) {
    *out << image.size << "x" << image.size << "x" << image.bits;
}

// The images of an icon group as its directory lists them; each image's own
// bitmap header must say the same.
std::vector<IconImage> GroupImages(Bytes group) {
    std::vector<IconImage> images;
    Reader reader = ReaderOf(group);
    EXPECT_EQ(0u, Word(&reader));
    EXPECT_EQ(1u, Word(&reader)) << "an icon group";
    unsigned count = Word(&reader);
    for (unsigned i = 0; i < count; i++) {
        unsigned width = reader.data[reader.pos];
        unsigned height = reader.data[reader.pos + 1];
        unsigned colours = reader.data[reader.pos + 2];
        reader.pos += 4;
        EXPECT_EQ(1u, Word(&reader)) << "planes";
        unsigned bits = Word(&reader);
        unsigned long bytes = Dword(&reader);
        unsigned id = Word(&reader);
        EXPECT_EQ(width, height);
        EXPECT_EQ(bits == 4 ? 16u : 0u, colours);
        Reader image = ReaderOf(Find(RT_ICON, MAKEINTRESOURCEA(id)));
        EXPECT_EQ(bytes, image.size) << "image " << id;
        if (image.data == nullptr) {
            continue;
        }
        EXPECT_EQ(40ul, Dword(&image)) << "a BITMAPINFOHEADER";
        EXPECT_EQ(width, Dword(&image));
        EXPECT_EQ(2 * height, Dword(&image)) << "colour bits and mask";
        EXPECT_EQ(1u, Word(&image));
        EXPECT_EQ(bits, Word(&image));
        images.push_back({width, bits});
    }
    return images;
}

TEST_F(ProgramResources, IconGroupsHoldTheirImageSets) {
    const std::vector<IconImage> products = {{16, 4}, {32, 4}, {48, 4}, {16, 8}, {32, 8}, {48, 8}};
    EXPECT_EQ(products, GroupImages(Find(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_PRODUCTS))));
    const std::vector<IconImage> single = {{32, 4}};
    EXPECT_EQ(single, GroupImages(Find(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_ADDRESSES))));
    EXPECT_EQ(single, GroupImages(Find(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_MAKER))));
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(found)->push_back(reinterpret_cast<ULONG_PTR>(name));
    return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(found)->push_back(language);
    return TRUE;
}

std::vector<ULONG_PTR> Names(HMODULE module, LPCSTR type) {
    std::vector<ULONG_PTR> names;
    EnumResourceNamesA(module, type, CollectName, reinterpret_cast<LONG_PTR>(&names));
    return names;
}

TEST_F(ProgramResources, EverythingIsUsEnglishAndTheProductsIconComesFirst) {
    const std::vector<ULONG_PTR> groups = {IDI_PRODUCTS, IDI_ADDRESSES, IDI_MAKER};
    EXPECT_EQ(groups, Names(g_program, RT_GROUP_ICON)) << "the first group is the file's icon";
    EXPECT_EQ(std::vector<ULONG_PTR>{IDD_MAIN}, Names(g_program, RT_DIALOG));
    EXPECT_EQ(std::vector<ULONG_PTR>{100 / 16 + 1}, Names(g_program, RT_STRING));
    EXPECT_EQ(std::vector<ULONG_PTR>{1}, Names(g_program, RT_VERSION));

    const LPCSTR types[] = {RT_GROUP_ICON, RT_ICON, RT_DIALOG, RT_STRING, RT_VERSION};
    for (LPCSTR type : types) {
        for (ULONG_PTR name : Names(g_program, type)) {
            std::vector<ULONG_PTR> languages;
            EnumResourceLanguagesA(g_program, type, reinterpret_cast<LPCSTR>(name), CollectLanguage,
                                   reinterpret_cast<LONG_PTR>(&languages));
            EXPECT_EQ(std::vector<ULONG_PTR>{kUsEnglish}, languages)
                << "type " << reinterpret_cast<ULONG_PTR>(type) << " name " << name;
        }
    }
}

std::string VersionText(void* info, const char* name) {
    char* text = nullptr;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(info, path.c_str(), reinterpret_cast<void**>(&text), &length)) {
        return "(missing)";
    }
    return text;
}

TEST_F(ProgramResources, VersionRecordNamesProductAndMaker) {
    DWORD size = GetFileVersionInfoSizeA(MARVOLY_PROGRAM, NULL);
    ASSERT_NE(0u, size);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(MARVOLY_PROGRAM, 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwProductVersionLS);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length) << "one translation";
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(0x04B0, translation[1]);

    EXPECT_EQ("1.0", VersionText(info.data(), "FileVersion"));
    EXPECT_EQ("1.0", VersionText(info.data(), "ProductVersion"));
    EXPECT_EQ("Marvoly", VersionText(info.data(), "FileDescription"));
    EXPECT_EQ("Marvoly", VersionText(info.data(), "ProductName"));
    EXPECT_EQ("Tolvaric Software", VersionText(info.data(), "CompanyName"));
}

} // namespace
