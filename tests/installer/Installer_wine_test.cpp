// Runs the real dist/ZephylSaverSetup.exe silently under Wine and compares the machine
// before and after: exactly the product's files, registry values, Start-menu entry and
// chk.sum appear; the installed screen saver runs through its launcher and checks its files
// after a crash; the silent uninstaller takes all of it away again and leaves the user's
// other data alone.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/WineTest.h"

namespace {

using wt::LogText;
using wt::PumpFor;
using wt::WaitExitPumping;
using wt::WaitForLog;

const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zephyl Saver";
const char* const kDesktopKey = "Control Panel\\Desktop";
const char* const kOtherKey = "Software\\Telmoro\\Other Product";
const DWORD kSetupMs = 120000;
const DWORD kStartMs = 60000;

std::string Folder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    std::string s(path);
    if (!s.empty() && s.back() != '\\') s += '\\';
    return s;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
    return s;
}

std::string LongPath(const std::string& path) {
    char buffer[MAX_PATH] = {};
    DWORD n = GetLongPathNameA(path.c_str(), buffer, MAX_PATH);
    return n && n < MAX_PATH ? std::string(buffer) : path;
}

// Every file and folder below `root` (lower case, full path), apart from the temporary
// folder, which the setup programs and Wine use for themselves, and links to elsewhere.
void Collect(const std::string& folder, const std::string& temp, std::set<std::string>& items) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string item = folder + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (Lower(item + "\\") == temp || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
            items.insert(Lower(item) + "\\");
            Collect(item + "\\", temp, items);
        } else {
            items.insert(Lower(item));
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// Where a setup program puts things: the program files, the Windows folder, the shared and
// the user's application data (with the Start menus).
std::set<std::string> Snapshot() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::set<std::string> items;
    for (int csidl : {CSIDL_PROGRAM_FILES, CSIDL_WINDOWS, CSIDL_COMMON_APPDATA, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
                      CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS})
        Collect(Folder(csidl), Lower(LongPath(temp)), items);
    return items;
}

std::vector<std::string> Added(const std::set<std::string>& before, const std::set<std::string>& after) {
    std::vector<std::string> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    return added;
}

std::string Join(const std::vector<std::string>& items) {
    std::string s;
    for (const std::string& item : items) s += "  " + item + "\n";
    return s;
}

// A path as the snapshots hold it.
std::string Item(const std::string& path) { return Lower(path); }

// The names listed in chk.sum: the installable files of dist/.
std::vector<std::string> ListedFiles(const std::string& checkSumList) {
    std::vector<std::string> names;
    for (const std::string& line : wt::Lines(checkSumList))
        if (line.size() > 66) names.push_back(line.substr(66));
    return names;
}

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + name + "\\");
            else
                DeleteFileA((folder + name).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

// The uninstaller copies itself to the temporary folder and runs from there, so that it
// can delete the original; it is done when its last step, removing the product from
// Add/Remove Programs, is.
bool WaitForUninstallEnd(DWORD ms) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms; PumpFor(100))
        if (!wt::KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) return true;
    return false;
}

TEST(Installer, SilentInstallAndUninstallChangeExactlyWhatIsOurs) {
    wt::ResetProductState(true);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic", 0);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowQuotes", 0);
    wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "DispModeWidth", "0");
    wt::DeleteValue(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE");
    wt::DeleteTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    // The user's other data under the same vendor's names.
    ASSERT_TRUE(wt::WriteString(HKEY_CURRENT_USER, kOtherKey, "Keep", "yes"));
    ASSERT_TRUE(wt::WriteString(HKEY_LOCAL_MACHINE, kOtherKey, "Keep", "yes"));
    const std::string userFolder = wt::UserDataFolder();
    const std::string vendorFolder = userFolder.substr(0, userFolder.size() - strlen("Zephyl\\"));
    const std::string otherFolder = vendorFolder + "Other Product\\";
    SHCreateDirectoryExA(nullptr, otherFolder.c_str(), nullptr);
    ASSERT_TRUE(wt::WriteFile(otherFolder + "keep.txt", "the user's own file"));
    wt::DeleteTree(HKEY_LOCAL_MACHINE, wt::kProductKey);
    const bool hadUserFolder = wt::FileExists(userFolder);
    RemoveTree(userFolder);
    // The user's data folder is made by the installer's set-up of the user's security.
    ASSERT_FALSE(wt::FileExists(userFolder)) << userFolder;

    const std::set<std::string> before = Snapshot();
    const std::string dist = wt::DistFolder();
    const std::string setup = dist + "ZephylSaverSetup.exe";
    ASSERT_TRUE(wt::FileExists(setup)) << setup;

    // Install, silently.
    {
        wt::Process process;
        ASSERT_TRUE(process.Start(setup, "/S"));
        DWORD exitCode = 1;
        ASSERT_TRUE(process.WaitExit(kSetupMs, &exitCode));
        EXPECT_EQ(0u, exitCode);
    }
    const std::string installFolder = Folder(CSIDL_PROGRAM_FILES) + "Zephyl Saver\\";
    const std::string menuFolder = Folder(CSIDL_COMMON_PROGRAMS) + "Zephyl Saver\\";
    const std::string checkSumList = wt::ReadFile(dist + "chk.sum");
    std::vector<std::string> expected;
    expected.push_back(Item(installFolder));
    for (const std::string& name : ListedFiles(checkSumList)) expected.push_back(Item(installFolder + name));
    expected.push_back(Item(installFolder + "chk.sum"));
    expected.push_back(Item(installFolder + "Uninstall.exe"));
    expected.push_back(Item(wt::WindowsFolder() + "chk.sum"));
    expected.push_back(Item(menuFolder));
    expected.push_back(Item(menuFolder + "Zephyl Saver Settings.lnk"));
    expected.push_back(Item(userFolder));
    std::sort(expected.begin(), expected.end());
    const std::vector<std::string> added = Added(before, Snapshot());
    EXPECT_EQ(Join(expected), Join(added));
    EXPECT_TRUE(Added(Snapshot(), before).empty()) << "the install removed files";

    for (const std::string& name : ListedFiles(checkSumList))
        EXPECT_EQ(wt::ReadFile(dist + name), wt::ReadFile(installFolder + name)) << name;
    EXPECT_EQ(checkSumList, wt::ReadFile(wt::WindowsFolder() + "chk.sum"));

    const std::string folderValue = installFolder.substr(0, installFolder.size() - 1);
    EXPECT_EQ(folderValue, wt::ReadValue(HKEY_LOCAL_MACHINE, wt::kProductKey, "Install_Dir_Zephyl").AsString());
    EXPECT_EQ(REG_SZ, wt::ReadValue(HKEY_LOCAL_MACHINE, wt::kProductKey, "Install_Dir_Zephyl").type);
    EXPECT_TRUE(wt::KeyExists(HKEY_LOCAL_MACHINE, wt::kAppDataKey)) << "the user's security set-up did not run";
    EXPECT_EQ("Zephyl Saver", wt::ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName").AsString());
    EXPECT_EQ("\"" + installFolder + "Uninstall.exe\"",
              wt::ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString").AsString());
    EXPECT_EQ("\"" + installFolder + "Uninstall.exe\" /S",
              wt::ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString").AsString());
    EXPECT_EQ(folderValue, wt::ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation").AsString());
    const std::string chosen = wt::ReadValue(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE").AsString();
    EXPECT_EQ(Lower(installFolder + "ZephylSaver.scr"), Lower(LongPath(chosen)));

    // The installed screen saver, started through its launcher after a crash, finds its
    // files intact and runs.
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag", 1);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "DoChecksum", 1);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowBugReport", 0);
    {
        wt::Process launcher;
        ASSERT_TRUE(launcher.Start(installFolder + "ZephylSaver.exe", "/s"));
        DWORD saver = wt::WaitForProcessNamed("ZephylSaver.scr", 20000);
        ASSERT_NE(0u, saver);
        EXPECT_NE(nullptr, wt::WaitForWindow(saver, "ZephylSaver", kStartMs)) << LogText();
        EXPECT_TRUE(WaitForLog("Entering main loop...", kStartMs)) << LogText();
        EXPECT_TRUE(wt::WindowsOf(saver, "#32770").empty()) << "a message box instead of the run";
        PumpFor(500);
        wt::PressKey(VK_ESCAPE);
        EXPECT_TRUE(WaitExitPumping(launcher, 20000)) << LogText();
        EXPECT_NE(std::string::npos, LogText().find("Path: " + installFolder + "ZephylSaver.scr")) << LogText();
    }
    // An altered file after a crash is reported, so the check really compares.
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag", 1);
    std::string flag = wt::ReadFile(installFolder + "Zephyl.gif");
    ASSERT_TRUE(wt::WriteFile(installFolder + "Zephyl.gif", flag + "x"));
    {
        wt::Process saver;
        ASSERT_TRUE(saver.Start(installFolder + "ZephylSaver.scr", "/x"));
        wt::MessageBoxInfo box;
        ASSERT_TRUE(wt::WaitForMessageBox(saver.Id(), kStartMs, box));
        EXPECT_EQ("Encountered corrupted file(s)", box.caption);
        wt::PressOk(box.window);
        EXPECT_TRUE(WaitExitPumping(saver, 20000));
    }
    ASSERT_TRUE(wt::WriteFile(installFolder + "Zephyl.gif", flag));

    // A recorded folder that is a link to another folder: the uninstaller leaves what it
    // points at alone (a Unix symbolic link reads as a reparse point under Wine).
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string planted = std::string(temp) + "zephyl-planted-" + std::to_string(GetTickCount()) + "\\";
    ASSERT_EQ(SHCreateDirectoryExA(nullptr, (planted + "target").c_str(), nullptr), ERROR_SUCCESS);
    ASSERT_EQ(SHCreateDirectoryExA(nullptr, (planted + "Telmoro").c_str(), nullptr), ERROR_SUCCESS);
    ASSERT_TRUE(wt::WriteFile(planted + "target\\keep.txt", "keep"));
    ASSERT_TRUE(wt::RunUnix("ln -s '" + wt::UnixPath(planted + "target") + "' '" + wt::UnixPath(planted + "Telmoro") + "/Zephyl'"));
    for (int i = 0; i < 100 && !wt::FileExists(planted + "Telmoro\\Zephyl\\keep.txt"); ++i) Sleep(100);
    ASSERT_TRUE(wt::FileExists(planted + "Telmoro\\Zephyl\\keep.txt"));
    ASSERT_TRUE(wt::WriteString(HKEY_LOCAL_MACHINE, wt::kAppDataKey, "planted", planted + "Telmoro\\Zephyl\\"));

    // Uninstall, silently, as Add/Remove Programs would.
    {
        wt::Process process;
        ASSERT_TRUE(process.Start(installFolder + "Uninstall.exe", "/S"));
        ASSERT_TRUE(process.WaitExit(kSetupMs));
        ASSERT_TRUE(WaitForUninstallEnd(kSetupMs));
    }
    EXPECT_EQ("", Join(Added(before, Snapshot()))) << "left behind";
    EXPECT_EQ("", Join(Added(Snapshot(), before))) << "removed";
    EXPECT_FALSE(wt::KeyExists(HKEY_LOCAL_MACHINE, wt::kProductKey));
    EXPECT_FALSE(wt::KeyExists(HKEY_CURRENT_USER, wt::kProductKey));
    EXPECT_FALSE(wt::ReadValue(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE").exists);
    EXPECT_EQ("yes", wt::ReadValue(HKEY_CURRENT_USER, kOtherKey, "Keep").AsString());
    EXPECT_EQ("yes", wt::ReadValue(HKEY_LOCAL_MACHINE, kOtherKey, "Keep").AsString());
    EXPECT_EQ("the user's own file", wt::ReadFile(otherFolder + "keep.txt"));
    EXPECT_EQ("keep", wt::ReadFile(planted + "target\\keep.txt")) << "the uninstaller followed a link";
    wt::RunUnix("rm -rf '" + wt::UnixPath(planted) + "'");

    wt::DeleteTree(HKEY_CURRENT_USER, kOtherKey);
    wt::DeleteTree(HKEY_LOCAL_MACHINE, kOtherKey);
    DeleteFileA((otherFolder + "keep.txt").c_str());
    RemoveDirectoryA(otherFolder.c_str());
    // The tests that follow find the data folder an earlier start of the program made.
    if (hadUserFolder) SHCreateDirectoryExA(nullptr, userFolder.c_str(), nullptr);
}

}  // namespace
