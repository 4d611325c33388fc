// The command-line grammar: every example a user or the system may give.
#include <gtest/gtest.h>

#include <string>

#include "core/CommandLine.h"
#include "core/Paths.h"

namespace {

struct Case {
    const char* line;
    int mode;
    long window;
    StartAction action;
    bool foreground;
};

class CommandLineExamples : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLineExamples, SelectsModeAndWindow) {
    const Case& c = GetParam();
    CommandLine parsed = ParseCommandLine(c.line);
    EXPECT_EQ(parsed.mode, c.mode) << c.line;
    EXPECT_EQ(parsed.windowHandle, c.window) << c.line;
    EXPECT_EQ(parsed.action, c.action) << c.line;
    EXPECT_EQ(parsed.ownerIsForeground, c.foreground) << c.line;
}

const StartAction R = StartAction::Run;

INSTANTIATE_TEST_SUITE_P(
    Examples, CommandLineExamples,
    ::testing::Values(
        Case{"ZephylSaver.scr /s", ModeSaver, 0, R, false},
        Case{"ZephylSaver.scr -S", ModeSaver, 0, R, false},
        Case{"ZephylSaver.scr /S", ModeSaver, 0, R, false},
        Case{"ZephylSaver.scr /s 1234", ModeSaver, 0, R, false},
        Case{"ZephylSaver.scr /p 1234", ModePreview, 1234, R, false},
        Case{"ZephylSaver.scr /p:1234", ModePreview, 1234, R, false},
        Case{"ZephylSaver.scr /p:0012", ModePreview, 12, R, false},
        Case{"ZephylSaver.scr /p", ModePreview, 0, R, false},
        Case{"ZephylSaver.scr /l1234", ModePreview, 1234, R, false},
        Case{"ZephylSaver.scr /P  ::  77", ModePreview, 77, R, false},
        Case{"ZephylSaver.scr /c", ModeConfig, 0, R, true},
        Case{"ZephylSaver.scr /c:5678", ModeConfig, 5678, R, false},
        Case{"ZephylSaver.scr /C 5678", ModeConfig, 5678, R, false},
        Case{"ZephylSaver.scr /a 1234", ModeChangePassword, 1234, R, false},
        Case{"ZephylSaver.scr /screensaver", ModeSaver, 0, R, false},
        Case{"ZephylSaver.scr /x", ModeNone, 0, R, false},
        Case{"ZephylSaver.scr /z", ModeNone, 0, StartAction::Install, false},
        Case{"ZephylSaver.scr /UNINSTALL", ModeNone, 0, StartAction::Uninstall, false},
        Case{"ZephylSaver.scr /x-uninstall-now", ModeNone, 0, StartAction::Uninstall, false},
        Case{"ZephylSaver.scr uninstall", ModeNone, 0, StartAction::Uninstall, false},
        Case{"ZephylSaver.scr /sun-uninstall", ModeSaver, 0, R, false},
        Case{"ZephylSaver.scr /InitialSecurity", ModeNone, 0, StartAction::InitialSecurity, false},
        Case{"\"C:\\Program Files\\Zephyl Saver\\ZephylSaver.scr\" /p 99", ModePreview, 99, R, false},
        Case{"\"C:\\Program Files\\Zephyl Saver\\ZephylSaver.scr\" /s", ModeSaver, 0, R, false},
        Case{"\"C:\\Program Files\\Zephyl Saver\\ZephylSaver.scr\"", ModeConfig, 0, R, false},
        Case{"ZephylSaver.scr", ModeConfig, 0, R, false},
        Case{"ZephylSaver.scr    ", ModeConfig, 0, R, false},
        Case{"", ModeConfig, 0, R, false},
        Case{"\"unterminated /s", ModeConfig, 0, R, false},
        Case{"ZephylSaver.scr /p 99999999999999999999", ModePreview, 2147483647, R, false},
        Case{"ZephylSaver.scr /p -5", ModePreview, -5, R, false}));

TEST(CommandLine, NullLineIsConfiguration) {
    CommandLine parsed = ParseCommandLine(nullptr);
    EXPECT_EQ(parsed.mode, ModeConfig);
}

TEST(CommandLine, HugeLinesAreParsedWithoutHarm) {
    std::string saver = "ZephylSaver.scr /s" + std::string(100000, 'x');
    EXPECT_EQ(ParseCommandLine(saver.c_str()).mode, ModeSaver);

    std::string word = "ZephylSaver.scr /" + std::string(100000, 'q') + "uninstall";
    EXPECT_EQ(ParseCommandLine(word.c_str()).action, StartAction::Uninstall);

    std::string digits = "ZephylSaver.scr /p " + std::string(100000, '9');
    CommandLine parsed = ParseCommandLine(digits.c_str());
    EXPECT_EQ(parsed.mode, ModePreview);
    EXPECT_EQ(parsed.windowHandle, 2147483647);

    std::string name(100000, 'n');
    EXPECT_EQ(ParseCommandLine(name.c_str()).mode, ModeConfig);
}

TEST(CommandLine, DecimalConversionIsLenient) {
    EXPECT_EQ(DecimalToInt("  42abc"), 42);
    EXPECT_EQ(DecimalToInt("-17"), -17);
    EXPECT_EQ(DecimalToInt("+8"), 8);
    EXPECT_EQ(DecimalToInt("abc"), 0);
    EXPECT_EQ(DecimalToInt(""), 0);
    EXPECT_EQ(DecimalToInt(nullptr), 0);
    EXPECT_EQ(DecimalToInt("-99999999999999"), -2147483647 - 1);
}

TEST(Paths, SplitsLikeTheRuntime) {
    PathParts p = SplitPath("C:\\Program Files\\Zephyl\\ZephylSaver.scr");
    EXPECT_EQ(p.drive, "C:");
    EXPECT_EQ(p.folder, "\\Program Files\\Zephyl\\");
    EXPECT_EQ(p.name, "ZephylSaver");
    EXPECT_EQ(p.extension, ".scr");

    p = SplitPath("Z:\\work\\my.saver.dir\\Saver");
    EXPECT_EQ(p.folder, "\\work\\my.saver.dir\\");
    EXPECT_EQ(p.name, "Saver");
    EXPECT_EQ(p.extension, "");

    p = SplitPath("plain.exe");
    EXPECT_EQ(p.drive, "");
    EXPECT_EQ(p.folder, "");
    EXPECT_EQ(p.extension, ".exe");
}

TEST(Paths, ExeExtensionMeansConfiguration) {
    EXPECT_TRUE(ExtensionMeansConfig(".exe"));
    EXPECT_TRUE(ExtensionMeansConfig(".EXE"));
    EXPECT_TRUE(ExtensionMeansConfig(".exe2"));
    EXPECT_FALSE(ExtensionMeansConfig(".scr"));
    EXPECT_FALSE(ExtensionMeansConfig(""));
}

TEST(Paths, ContentAndPlaylistPaths) {
    ContentPaths p = MakeContentPaths("C:\\Zephyl\\", "C:\\Data\\Telmoro\\Zephyl\\", "anna");
    EXPECT_EQ(p.flagPicture, "C:\\Zephyl\\Zephyl.gif");
    EXPECT_EQ(p.musicBundle, "C:\\Zephyl\\music.bdl");
    EXPECT_EQ(p.imageBundle, "C:\\Zephyl\\images.bdl");
    EXPECT_EQ(p.quoteBundle, "C:\\Zephyl\\quotes.bdl");
    EXPECT_EQ(p.fontFile, "C:\\Zephyl\\VIVALDII.TTF");
    EXPECT_EQ(p.helpFile, "C:\\Zephyl\\ZEPHYL.HLP");
    EXPECT_EQ(p.customPlaylist, "C:\\Data\\Telmoro\\Zephyl\\anna.M3U");
    EXPECT_EQ(p.logFile, "C:\\Data\\Telmoro\\Zephyl\\ZephylLog.txt");

    p = MakeContentPaths("C:\\Zephyl\\", "C:\\Data\\", "");
    EXPECT_EQ(p.customPlaylist, "C:\\Data\\ZEPHYL.M3U");

    // Without a user folder there is no log and no playlist, rather than files in the
    // current folder.
    p = MakeContentPaths("C:\\Zephyl\\", "", "anna");
    EXPECT_EQ(p.logFile, "");
    EXPECT_EQ(p.customPlaylist, "");
    EXPECT_EQ(p.flagPicture, "C:\\Zephyl\\Zephyl.gif");
}

// The application-data folder first, then the temporary folder; never the drive's root.
TEST(Paths, UserFolderFallsBackToTheTemporaryFolder) {
    const struct {
        const char *appData, *temp, *expected;
    } cases[] = {
        {"C:\\Users\\anna\\AppData\\Roaming", "C:\\Temp\\", "C:\\Users\\anna\\AppData\\Roaming\\Telmoro\\Zephyl\\"},
        {"C:\\Data\\", "C:\\Temp\\", "C:\\Data\\Telmoro\\Zephyl\\"},
        {"", "C:\\Users\\anna\\Temp\\", "C:\\Users\\anna\\Temp\\Telmoro\\Zephyl\\"},
        {"", "", ""},
        {"", "\\", ""},
        {"\\", "", ""},
        {"\\", "D:\\Tmp", "D:\\Tmp\\Telmoro\\Zephyl\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseUserFolder(c.appData, c.temp), c.expected) << "[" << c.appData << "] [" << c.temp << "]";
}

}  // namespace

namespace {

TEST(RecordedUserFolder, AcceptsTheProgramsUserFolders) {
    EXPECT_TRUE(IsRecordedUserFolder("C:\\Documents and Settings\\anna\\Application Data\\Telmoro\\Zephyl\\"));
    EXPECT_TRUE(IsRecordedUserFolder("c:\\users\\bert\\appdata\\roaming\\TELMORO\\ZEPHYL"));
    EXPECT_TRUE(IsRecordedUserFolder("\\\\server\\profiles\\anna\\Telmoro\\Zephyl\\"));
    EXPECT_TRUE(IsRecordedUserFolder("C:/Users/anna/AppData/Roaming/Telmoro/Zephyl/"));
}

TEST(RecordedUserFolder, RefusesFoldersThatAreNotOnesOwn) {
    for (const char* path : {"", "C:", "C:\\", "\\", "C:\\Windows", "C:\\Windows\\",
                             "D:\\Data\\Zephyl\\", "Telmoro\\Zephyl\\", "\\Telmoro\\Zephyl\\",
                             "C:\\Users\\anna\\Telmoro\\ZephylX\\", "C:\\Users\\anna\\XTelmoro\\Zephyl",
                             "C:\\Users\\anna\\Telmoro\\Zephyl\\..\\..\\",
                             "C:\\Users\\..\\Telmoro\\Zephyl\\", "\\\\.\\Telmoro\\Zephyl",
                             "C:\\Users\\anna\\Telmoro\\Zephyl\\Music"}) {
        EXPECT_FALSE(IsRecordedUserFolder(path)) << path;
    }
}

}  // namespace
