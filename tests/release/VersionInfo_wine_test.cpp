// The version blocks of the shipped programs and of the installer, as Windows shows them in
// a file's properties: all from the build's one version (core/Product.h). Our own programs
// carry no link time and no path of the checkout, so that a release builds to the same bytes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/Product.h"
#include "support/WineTest.h"

namespace {

std::string StringValue(std::vector<char>& block, const char* name) {
    char* text = nullptr;
    UINT size = 0;
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &size) || !text) return "<none>";
    return text;
}

TEST(VersionInfo, EveryShippedProgramCarriesTheBuildsVersionAndNoBuildTimeOrPath) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    ASSERT_EQ(sscanf(ZEPHYL_VERSION_QUAD, "%u.%u.%u.%u", &a, &b, &c, &d), 4);
    const struct {
        const char* file;
        const char* fileVersion;
        bool linkedHere;  // by our build, not by makensis
    } cases[] = {
        {"ZephylSaver.scr", ZEPHYL_VERSION_QUAD, true},
        {"ZephylSaver.exe", ZEPHYL_VERSION_QUAD, true},
        {"Zephyl Saver.scr", ZEPHYL_VERSION_QUAD, true},
        {"fmod.dll", nullptr, true},
        {"ZephylSaverSetup.exe", ZEPHYL_VERSION_TEXT, false},
    };
    for (const auto& c_ : cases) {
        SCOPED_TRACE(c_.file);
        const std::string path = wt::DistFolder() + c_.file;
        if (c_.linkedHere) {
            const std::string bytes = wt::ReadFile(path);
            ASSERT_GT(bytes.size(), 0x200u);
            const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
            ASSERT_LT(size_t(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32), bytes.size());
            const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos->e_lfanew);
            EXPECT_EQ(0u, nt->FileHeader.TimeDateStamp) << "the link time is in the header";
            EXPECT_EQ(std::string::npos, bytes.find(ZEPHYL_SOURCE_DIR "/")) << "the checkout's path is in the file";
        }
        if (!c_.fileVersion) continue;
        DWORD handle = 0;
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
        ASSERT_GT(size, 0u) << "no version block";
        std::vector<char> block(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT fixedSize = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize));
        EXPECT_EQ(fixed->dwFileVersionMS, DWORD(MAKELONG(b, a)));
        EXPECT_EQ(fixed->dwFileVersionLS, DWORD(MAKELONG(d, c)));
        EXPECT_EQ(fixed->dwProductVersionMS, DWORD(MAKELONG(b, a)));
        EXPECT_EQ(fixed->dwProductVersionLS, DWORD(MAKELONG(d, c)));
        EXPECT_EQ(StringValue(block, "FileVersion"), c_.fileVersion);
        EXPECT_EQ(StringValue(block, "ProductVersion"), ZEPHYL_VERSION_TEXT);
        EXPECT_EQ(StringValue(block, "ProductName"), ZEPHYL_PRODUCT_NAME);
    }
}

}  // namespace
