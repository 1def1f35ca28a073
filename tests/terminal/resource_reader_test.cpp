// The resource reader against the program's own compiled resource file: the
// template, the strings and the icons that the Windows program carries.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/resource.h"
#include "terminal/module.h"
#include "terminal/resources.h"
#include "terminal/user32.h"
#include "expected_texts.h"

namespace {

const WORD kUsEnglish = 1033;
const DWORD kChild = WS_CHILD | WS_VISIBLE;

struct Control {
    WORD id;
    WORD cls;
    const char* text;
    WORD icon;
    short x, y, cx, cy;
    DWORD style;
};

const Control kControls[] = {
    {IDOK, kButtonClass, "&Refresh", 0, 178, 173, 50, 14, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {IDCANCEL, kButtonClass, "E&xit", 0, 234, 173, 50, 14, kChild | WS_TABSTOP | BS_PUSHBUTTON},
    {IDC_MAKER_LINK, kButtonClass, "www.&tolvaric.com", 0, 206, 112, 78, 14,
     kChild | WS_TABSTOP | BS_PUSHBUTTON},
    {IDC_PRODUCTS_LINK, kButtonClass, "www.&pelorin.com", 0, 206, 146, 78, 14,
     kChild | WS_TABSTOP | BS_PUSHBUTTON},
    {65535, kStaticClass, "", IDI_PRODUCTS, 13, 140, 20, 20, kChild | SS_ICON},
    {IDC_LOCAL_IP, kStaticClass, "", 0, 118, 12, 166, 12, kChild | WS_GROUP | SS_LEFT | SS_SUNKEN},
    {65535, kStaticClass, "Local IP address:", 0, 50, 13, 56, 8, kChild | WS_GROUP | SS_LEFT},
    {IDC_INTERNET_IP, kStaticClass, "", 0, 118, 29, 166, 12,
     kChild | WS_GROUP | SS_LEFT | SS_SUNKEN},
    {65535, kStaticClass, "Internet IP address:", 0, 50, 30, 62, 8, kChild | WS_GROUP | SS_LEFT},
    {65535, kStaticClass, "H.323 notes:", 0, 50, 47, 50, 8, kChild | WS_GROUP | SS_LEFT},
    {IDC_NOTES, kStaticClass, "", 0, 118, 46, 166, 42, kChild | WS_GROUP | SS_LEFT | SS_SUNKEN},
    {65535, kStaticClass,
     "For more information on other Pelorin products, click on \"www.pelorin.com\"", 0, 50, 143,
     143, 24, kChild | WS_GROUP | SS_LEFT},
    {65535, kStaticClass,
     "For more information on Tolvaric's H.323 applications, click on \"www.tolvaric.com\"", 0, 50,
     109, 134, 24, kChild | WS_GROUP | SS_LEFT},
    {65535, kStaticClass, "", IDI_MAKER, 13, 107, 20, 20, kChild | SS_ICON},
    {65535, kStaticClass, "", IDI_ADDRESSES, 13, 13, 20, 20, kChild | SS_ICON},
    {65535, kStaticClass, "", 0, 13, 95, 271, 1, kChild | SS_BLACKRECT | SS_SUNKEN},
    {65535, kStaticClass, "Tolvaric Software Product Information", 0, 13, 91, 134, 8,
     kChild | WS_GROUP | SS_LEFT},
};

HINSTANCE Program() {
    return GetModuleHandleA(nullptr);
}

TEST(ResourceReader, ReadsTheMainDialogTemplate) {
    static DialogTemplate dialog;
    ASSERT_TRUE(ResourceLoadDialog(Program(), IDD_MAIN, &dialog));
    EXPECT_EQ(
        (DWORD)(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT),
        dialog.window.style);
    EXPECT_EQ(0u, dialog.window.exStyle);
    EXPECT_EQ(0, dialog.window.x);
    EXPECT_EQ(0, dialog.window.y);
    EXPECT_EQ(291, dialog.window.cx);
    EXPECT_EQ(194, dialog.window.cy);
    EXPECT_STREQ("Marvoly", dialog.caption);
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_STREQ("MS Sans Serif", dialog.fontName);
    ASSERT_EQ(17, dialog.itemCount);
    for (int i = 0; i < dialog.itemCount; ++i) {
        const Control& want = kControls[i];
        const DialogItemTemplate& item = dialog.items[i];
        SCOPED_TRACE("control " + std::to_string(i + 1));
        EXPECT_EQ(want.id, item.id);
        EXPECT_EQ(want.cls, item.classOrdinal);
        EXPECT_STREQ(want.text, item.text);
        EXPECT_EQ(want.icon, item.textOrdinal);
        EXPECT_EQ(want.x, item.window.x);
        EXPECT_EQ(want.y, item.window.y);
        EXPECT_EQ(want.cx, item.window.cx);
        EXPECT_EQ(want.cy, item.window.cy);
        EXPECT_EQ(want.style, item.window.style);
        EXPECT_EQ(0u, item.window.exStyle);
    }
    EXPECT_FALSE(ResourceLoadDialog(Program(), IDD_MAIN + 1, &dialog));
}

TEST(ResourceReader, LoadsTheEightStringsAndNoOther) {
    const char* const texts[] = {kNotBehind, kBehind,          kDetecting,    kNoInternet,
                                 kNoLocal,   kInternetUnknown, kLocalUnknown, kNeitherKnown};
    char buffer[300];
    for (UINT id = 100; id <= 107; ++id) {
        const char* want = texts[id - 100];
        EXPECT_EQ((int)std::strlen(want), LoadStringA(Program(), id, buffer, sizeof(buffer)));
        EXPECT_STREQ(want, buffer) << "string " << id;
    }
    for (UINT id : {0u, 95u, 99u, 108u, 111u, 112u, 65535u, 65536u}) {
        std::strcpy(buffer, "kept");
        EXPECT_EQ(0, LoadStringA(Program(), id, buffer, sizeof(buffer))) << "string " << id;
    }
}

TEST(ResourceReader, CutsAStringToItsBuffer) {
    char buffer[16];
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(12, LoadStringA(Program(), 102, buffer, 13));
    EXPECT_STREQ("Detecting...", buffer);
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(4, LoadStringA(Program(), 102, buffer, 5));
    EXPECT_STREQ("Dete", buffer);
    EXPECT_EQ('x', buffer[5]) << "nothing written past the buffer";
    EXPECT_EQ(0, LoadStringA(Program(), 102, buffer, 1));
    EXPECT_STREQ("", buffer);
    buffer[0] = 'x';
    EXPECT_EQ(0, LoadStringA(Program(), 102, buffer, 0));
    EXPECT_EQ('x', buffer[0]) << "a buffer of no size is left alone";
}

struct Image {
    int side;
    int bits;
};

std::vector<std::pair<int, int>> GroupImages(WORD id) {
    std::vector<std::pair<int, int>> images;
    IconGroup group;
    EXPECT_TRUE(ResourceLoadIconGroup(Program(), id, &group)) << "group " << id;
    for (int i = 0; i < group.count; ++i) {
        EXPECT_EQ(group.entries[i].width, group.entries[i].height);
        images.push_back({group.entries[i].width, group.entries[i].bitCount});
    }
    return images;
}

TEST(ResourceReader, IconGroupsHoldTheirImageSets) {
    const std::vector<std::pair<int, int>> products = {{16, 4}, {32, 4}, {48, 4},
                                                       {16, 8}, {32, 8}, {48, 8}};
    EXPECT_EQ(products, GroupImages(IDI_PRODUCTS));
    const std::vector<std::pair<int, int>> single = {{32, 4}};
    EXPECT_EQ(single, GroupImages(IDI_ADDRESSES));
    EXPECT_EQ(single, GroupImages(IDI_MAKER));
}

// How many pixels of an image are opaque; the art has some of both kinds.
int OpaquePixels(const IconImage* image) {
    int opaque = 0;
    for (int i = 0; i < image->width * image->height; ++i) {
        opaque += image->pixels[i] >> 24 != 0;
    }
    return opaque;
}

TEST(ResourceReader, DecodesTheImageNearestInSizeAndDeepest) {
    static IconImage image;
    const Image wanted[] = {{16, 8}, {32, 8}, {48, 8}};
    for (const Image& want : wanted) {
        ASSERT_TRUE(ResourceLoadIcon(Program(), IDI_PRODUCTS, want.side, &image));
        EXPECT_EQ(want.side, image.width);
        EXPECT_EQ(want.side, image.height);
        EXPECT_EQ(want.bits, image.bitCount);
        int opaque = OpaquePixels(&image);
        EXPECT_GT(opaque, 0);
        EXPECT_LT(opaque, want.side * want.side);
    }
    for (WORD id : {IDI_ADDRESSES, IDI_MAKER}) {
        ASSERT_TRUE(ResourceLoadIcon(Program(), id, 16, &image)) << "icon " << id;
        EXPECT_EQ(32, image.width);
        EXPECT_EQ(4, image.bitCount);
        EXPECT_GT(OpaquePixels(&image), 0);
    }
    EXPECT_FALSE(ResourceLoadIcon(Program(), 103, 32, &image));
}

TEST(ResourceReader, EverythingIsUsEnglish) {
    ResourceBlock block;
    const std::pair<WORD, WORD> resources[] = {{RT_DIALOG, IDD_MAIN},
                                               {RT_STRING, 100 / 16 + 1},
                                               {RT_GROUP_ICON, IDI_PRODUCTS},
                                               {RT_GROUP_ICON, IDI_ADDRESSES},
                                               {RT_GROUP_ICON, IDI_MAKER}};
    for (const auto& resource : resources) {
        ASSERT_TRUE(ResourceFind(Program(), resource.first, resource.second, &block));
        EXPECT_EQ(kUsEnglish, block.language) << resource.first << "/" << resource.second;
    }
    EXPECT_EQ(nullptr, GetModuleHandleA("other"));
}

TEST(ResourceReader, ReadsTheVersionRecord) {
    VersionRecord version;
    ASSERT_TRUE(ResourceLoadVersion(Program(), &version));
    const WORD expected[] = {1, 0, 0, 1};
    EXPECT_EQ(0, std::memcmp(expected, version.fileVersion, sizeof(expected)));
    EXPECT_STREQ("Marvoly", version.productName);
}

// Every cut of the file, each copy in a heap block of exactly that size (so
// that the address sanitizer sees any read past it): what lies whole inside
// the cut is still found, the rest is not.
TEST(ResourceReader, ACutFileGivesWhatLiesWholeInside) {
    const HINSTANCE__* full = Program();
    ResourceBlock dialogBlock;
    ASSERT_TRUE(ResourceFind(full, RT_DIALOG, IDD_MAIN, &dialogBlock));
    std::size_t dialogEnd = (std::size_t)(dialogBlock.data - full->data) + dialogBlock.size;
    ResourceBlock versionBlock;
    ASSERT_TRUE(ResourceFind(full, RT_VERSION, VS_VERSION_INFO, &versionBlock));
    std::size_t versionEnd = (std::size_t)(versionBlock.data - full->data) + versionBlock.size;
    VersionRecord version;
    static DialogTemplate dialog;
    static IconImage image;
    char text[256];
    for (std::size_t size = 0; size < full->size; size += 3) {
        std::unique_ptr<unsigned char[]> copy(new unsigned char[size + 1]);
        std::memcpy(copy.get(), full->data, size);
        HINSTANCE__ cut = {copy.get(), size};
        EXPECT_EQ(size >= dialogEnd, ResourceLoadDialog(&cut, IDD_MAIN, &dialog)) << size;
        EXPECT_EQ(size >= versionEnd, ResourceLoadVersion(&cut, &version)) << size;
        ResourceLoadString(&cut, 101, text, sizeof(text));
        ResourceLoadIcon(&cut, IDI_PRODUCTS, 32, &image);
    }
}

TEST(ResourceReader, AnEntryThatClaimsMoreThanTheFileIsNotRead) {
    const HINSTANCE__* full = Program();
    std::vector<unsigned char> copy(full->data, full->data + full->size);
    ResourceBlock block;
    ASSERT_TRUE(ResourceFind(full, RT_ICON, 1, &block));
    // The data size of the second entry, the first icon image.
    std::size_t entry = (std::size_t)(block.data - full->data) - 32;
    copy[entry + 3] = 0x7F;
    HINSTANCE__ damaged = {copy.data(), copy.size()};
    EXPECT_FALSE(ResourceFind(&damaged, RT_ICON, 1, &block));
    EXPECT_FALSE(ResourceFind(&damaged, RT_DIALOG, IDD_MAIN, &block));
}

// An item's creation data size counts its own word: the last item of the
// template saying 2 (its word alone) ends exactly where the block does, and
// one saying 4 claims two bytes that the block does not have.
TEST(ResourceReader, CreationDataSizeCountsItsOwnWord) {
    const HINSTANCE__* full = Program();
    ResourceBlock block;
    ASSERT_TRUE(ResourceFind(full, RT_DIALOG, IDD_MAIN, &block));
    std::size_t lastWord = (std::size_t)(block.data - full->data) + block.size - 2;
    for (unsigned char size : {2, 4}) {
        std::vector<unsigned char> copy(full->data, full->data + full->size);
        ASSERT_EQ(0, copy[lastWord] | copy[lastWord + 1]);
        copy[lastWord] = size;
        HINSTANCE__ changed = {copy.data(), copy.size()};
        static DialogTemplate dialog;
        EXPECT_EQ(size == 2, ResourceLoadDialog(&changed, IDD_MAIN, &dialog)) << (int)size;
    }
}

} // namespace
