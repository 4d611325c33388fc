// Reading the installed-file list "chk.sum".
#include <gtest/gtest.h>

#include "app/CheckSumList.h"

namespace {

const std::string kHash = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

TEST(CheckSumList, ReadsTheSha256sumFormat) {
    std::vector<CheckSumEntry> entries;
    ASSERT_TRUE(ParseCheckSumList(kHash + "  ZephylSaver.scr\n" + kHash + " *fmod.dll\r\n\n", entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "ZephylSaver.scr");
    EXPECT_EQ(entries[1].name, "fmod.dll");
    EXPECT_EQ(entries[0].sha256[0], 0x9f);
    EXPECT_EQ(entries[0].sha256[31], 0x08);
}

TEST(CheckSumList, RejectsMalformedLists) {
    std::vector<CheckSumEntry> entries;
    EXPECT_FALSE(ParseCheckSumList("", entries));
    EXPECT_FALSE(ParseCheckSumList("\n\n", entries));
    EXPECT_FALSE(ParseCheckSumList(kHash.substr(1) + "  a.dll\n", entries));
    EXPECT_FALSE(ParseCheckSumList(kHash + "x  a.dll\n", entries));
    EXPECT_FALSE(ParseCheckSumList(kHash + "  \n", entries));
    EXPECT_FALSE(ParseCheckSumList(kHash + "a.dll\n", entries));
    std::string bad = kHash;
    bad[10] = 'g';
    EXPECT_FALSE(ParseCheckSumList(bad + "  a.dll\n", entries));
    EXPECT_FALSE(ParseCheckSumList(std::string("\0\xff\x01 junk", 8), entries));
}

TEST(CheckSumList, RefusesNamesOutsideTheInstallationFolder) {
    std::vector<CheckSumEntry> entries;
    EXPECT_FALSE(ParseCheckSumList(kHash + "  ..\\..\\windows\\win.ini\n", entries));
    EXPECT_FALSE(ParseCheckSumList(kHash + "  C:\\boot.ini\n", entries));
    EXPECT_FALSE(ParseCheckSumList(kHash + "  \\autoexec.bat\n", entries));
    EXPECT_FALSE(ParseCheckSumList(kHash + "  /etc/passwd\n", entries));
    EXPECT_TRUE(ParseCheckSumList(kHash + "  sub\\file..name.bdl\n", entries));
}

// Device names open the device in every folder (reading COM1 can wait for ever).
TEST(CheckSumList, RefusesDeviceNames) {
    std::vector<CheckSumEntry> entries;
    for (const char* name : {"CON", "con", "NUL", "nul.txt", "AUX", "Aux.dll", "PRN", "COM1", "com9.scr", "LPT1",
                             "lpt9", "CON.tar.gz", "NUL .bdl", "sub\\COM3", "COM4\\file.bdl", "CONIN$", "conout$.x"})
        EXPECT_FALSE(ParseCheckSumList(kHash + "  " + name + "\n", entries)) << name;
    // Names that only look alike are ordinary files.
    for (const char* name : {"COM0", "COM10", "LPT", "CONSOLE.bdl", "NULL", "icon.ico", "sub\\aux1.bdl", "com1x.dll"})
        EXPECT_TRUE(ParseCheckSumList(kHash + "  " + name + "\n", entries)) << name;
}

}  // namespace
