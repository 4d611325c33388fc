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

// The end of the last section of the program's image: where the appended payload starts.
uint32_t ImageEnd() {
    auto base = reinterpret_cast<const BYTE*>(GetModuleHandleA(nullptr));
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* s = IMAGE_FIRST_SECTION(nt);
    uint32_t end = 0;
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i)
        if (s[i].SizeOfRawData && s[i].PointerToRawData + s[i].SizeOfRawData > end)
            end = s[i].PointerToRawData + s[i].SizeOfRawData;
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
    // The linker writes no overlay of its own, so the first blob is the first byte past
    // the image's last section.
    EXPECT_EQ(skin->Offset(), ImageEnd());
    EXPECT_GT(b.DirectoryOffset(), int32_t(ImageEnd()));
}

}  // namespace
