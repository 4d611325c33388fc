// The launcher's portable rules: the screen saver's path from the installation folder
// (never longer than the launcher's buffer), the switch letter and the wait decision from
// the command line, and when the forwarding screen saver reports a missing screen saver.
#include "launcher/LaunchRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(BuildSaverPath, AppendsTheProgramFileToTheFolder) {
    std::string path;
    ASSERT_TRUE(BuildSaverPath("C:\\Program Files\\Zephyl Saver", path));
    EXPECT_EQ("C:\\Program Files\\Zephyl Saver\\ZephylSaver.scr", path);
    ASSERT_TRUE(BuildSaverPath("C:\\Program Files\\Zephyl Saver\\", path));
    EXPECT_EQ("C:\\Program Files\\Zephyl Saver\\ZephylSaver.scr", path);
}

TEST(BuildSaverPath, RefusesAnEmptyFolderAndAPathLongerThanTheBuffer) {
    std::string path = "unchanged";
    EXPECT_FALSE(BuildSaverPath("", path));
    // 1007 characters + "\ZephylSaver.scr" (16) + the terminating zero fill the buffer exactly.
    const std::string longest = "C:\\" + std::string(1004, 'a');
    ASSERT_TRUE(BuildSaverPath(longest, path));
    EXPECT_EQ(kLauncherPathSize - 1, path.size());
    path = "unchanged";
    EXPECT_FALSE(BuildSaverPath(longest + "a", path));
    EXPECT_FALSE(BuildSaverPath("C:\\" + std::string(1020, 'a'), path));
    EXPECT_FALSE(BuildSaverPath(std::string(5000, 'x'), path));
    EXPECT_EQ("unchanged", path);
}

TEST(ShouldWait, CommandLines) {
    struct Case {
        const char* line;
        bool wait;
    };
    const Case cases[] = {
        {"ZephylSaver.exe", true},
        {"ZephylSaver.exe ", true},
        {"ZephylSaver.exe    ", true},
        {"\"C:\\Program Files\\Zephyl Saver\\ZephylSaver.exe\"", true},
        {"\"C:\\Program Files\\Zephyl Saver\\ZephylSaver.exe\" /s", true},
        {"\"C:\\Program Files\\Zephyl Saver\\ZephylSaver.exe\" /p 1234", false},
        {"\"C:\\Program Files\\Zephyl Saver\\ZephylSaver.exe\"/c", true},
        {"\"C:\\Program Files\\Zephyl Saver\\ZephylSaver.exe\"   -S", true},
        {"\"C:\\Program Files\\Zephyl Saver\\ZephylSaver.exe", true},
        {"ZephylSaver.exe /s", true},
        {"ZephylSaver.exe -S", true},
        {"ZephylSaver.exe s", true},
        {"ZephylSaver.exe /c", true},
        {"ZephylSaver.exe /C:1234", true},
        {"ZephylSaver.exe /p 1234", false},
        {"ZephylSaver.exe /P:1234", false},
        {"ZephylSaver.exe -l 99", false},
        {"ZephylSaver.exe /L", false},
        {"ZephylSaver.exe /a 1234", false},
        {"ZephylSaver.exe /x", false},
        {"ZephylSaver.exe uninstall", false},
        {"ZephylSaver.exe //s", false},
        {"", true},
    };
    for (const Case& c : cases) EXPECT_EQ(c.wait, ShouldWait(c.line)) << c.line;
    EXPECT_TRUE(ShouldWait(nullptr));
}

TEST(SwitchLetter, IsTheLowerCaseLetterAfterTheProgramPath) {
    struct Case {
        const char* line;
        char letter;
    };
    const Case cases[] = {
        {"\"C:\\Windows\\SysWOW64\\Zephyl Saver.scr\" /p 1234", 'p'},
        {"C:\\WINDOWS\\SYSWOW64\\ZEPHYL~1.SCR /s", 's'},
        {"C:\\WINDOWS\\SYSWOW64\\ZEPHYL~1.SCR /c:4567", 'c'},
        {"ZEPHYL~1.SCR -L 99", 'l'},
        {"ZEPHYL~1.SCR A 5", 'a'},
        {"ZEPHYL~1.SCR", '\0'},
        {"\"Zephyl Saver.scr\"", '\0'},
        {"ZEPHYL~1.SCR //s", '/'},
        {"", '\0'},
    };
    for (const Case& c : cases) EXPECT_EQ(c.letter, SwitchLetter(c.line)) << c.line;
    EXPECT_EQ('\0', SwitchLetter(nullptr));
}

TEST(ForwarderReportsMissingSaver, EverywhereButInThePreview) {
    struct Case {
        const char* line;
        bool reports;
    };
    const Case cases[] = {
        {"ZEPHYL~1.SCR /p 1234", false}, {"ZEPHYL~1.SCR /P:1234", false}, {"ZEPHYL~1.SCR -l 5", false},
        {"ZEPHYL~1.SCR /s", true},       {"ZEPHYL~1.SCR /c:77", true},    {"ZEPHYL~1.SCR", true},
        {"ZEPHYL~1.SCR /a 5", true},
    };
    for (const Case& c : cases) EXPECT_EQ(c.reports, ForwarderReportsMissingSaver(c.line)) << c.line;
}

}  // namespace
