// The bundle appended to a program file, read back through the program's own module path
// (this test program gets one appended by the build, as ZephylSaver.scr does).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "content/Bundle.h"

namespace {

std::string OwnPath() {
    char path[1024] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, n);
}

std::vector<unsigned char> ReadFile(const char* path);

// The end of what the linker wrote: the image's last section, or the COFF string table
// that MinGW keeps after it (for section names longer than 8 characters, also in a
// stripped program). The appended payload starts there.
uint32_t LinkerOutputEnd(const std::vector<unsigned char>& file) {
    auto base = reinterpret_cast<const BYTE*>(GetModuleHandleA(nullptr));
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* s = IMAGE_FIRST_SECTION(nt);
    uint32_t end = 0;
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i)
        if (s[i].SizeOfRawData && s[i].PointerToRawData + s[i].SizeOfRawData > end)
            end = s[i].PointerToRawData + s[i].SizeOfRawData;
    uint32_t symbols = nt->FileHeader.PointerToSymbolTable;
    if (symbols) {
        uint32_t strings = symbols + nt->FileHeader.NumberOfSymbols * 18;
        if (strings + 4 <= file.size()) {
            uint32_t size = file[strings] | (file[strings + 1] << 8) | (file[strings + 2] << 16) |
                            (uint32_t(file[strings + 3]) << 24);
            if (strings + size > end) end = strings + size;
        }
    }
    return end;
}

std::vector<unsigned char> ReadFile(const char* path) {
    std::vector<unsigned char> out;
    FILE* f = fopen(path, "rb");
    if (!f) return out;
    int c;
    while ((c = fgetc(f)) != EOF) out.push_back(static_cast<unsigned char>(c));
    fclose(f);
    return out;
}

TEST(BundleSelf, ProgramFileCarriesItsSkinBundle) {
    std::string path = OwnPath();
    ASSERT_FALSE(path.empty());
    Bundle b;
    ASSERT_TRUE(b.Open(path)) << path;
    ASSERT_GE(b.CategoryCount(), 1u);
    EXPECT_EQ(b.Category(0)->Name(), "skin");

    std::vector<unsigned char> skin = ReadFile(ZEPHYL_SOURCE_DIR "/tests/content/data/menuskin.jpg");
    ASSERT_GT(skin.size(), 4u);
    EXPECT_EQ(b.EntrySize("menuskin.jpg"), skin.size());
    const uint8_t* data = b.EntryData("menuskin.jpg");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data[0], 0xFF);
    EXPECT_EQ(data[1], 0xD8);
    EXPECT_EQ(data[skin.size() - 2], 0xFF);
    EXPECT_EQ(data[skin.size() - 1], 0xD9);
    EXPECT_EQ(std::vector<unsigned char>(data, data + skin.size()), skin);

    // The skin sits in the first category, so the bundle-wide lookup finds it there and
    // not the entry of the same name (other case) in category "extra".
    EXPECT_EQ(b.EntryData("MENUSKIN.JPG"), data);
    EXPECT_NE(b.EntryData("extra", "menuskin.jpg"), data);
}

TEST(BundleSelf, PayloadStartsRightAfterTheImage) {
    Bundle b;
    ASSERT_TRUE(b.Open(OwnPath()));
    BundleEntry* skin = b.FindCategory("skin")->FindEntry("menuskin.jpg");
    ASSERT_NE(skin, nullptr);
    std::vector<unsigned char> file = ReadFile(OwnPath().c_str());
    uint32_t end = LinkerOutputEnd(file);
    EXPECT_GT(end, 0u);
    EXPECT_EQ(skin->Offset(), end);
    EXPECT_GT(b.DirectoryOffset(), int32_t(end));
    // The trailer is the last four bytes of the program file.
    size_t t = file.size() - 4;
    EXPECT_EQ(int32_t(file[t] | (file[t + 1] << 8) | (file[t + 2] << 16) | (uint32_t(file[t + 3]) << 24)),
              b.DirectoryOffset());
}

}  // namespace
