// Runs the real dist/ZephylSaverSetup.exe silently under Wine and compares the machine
// before and after: exactly the product's files, registry values, Start-menu entry,
// chk.sum and the forwarding screen saver of the system folder appear; the installed screen
// saver runs through its launcher and through the forwarder and checks its files after a
// crash; the silent uninstaller takes all of it away again and leaves the user's other data
// alone. Installing over a running screen saver asks first, or, silently, replaces the
// whole set at the next start of Windows; installing over an older version leaves exactly
// the new set and the users' data.
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
const char* const kSessionKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char* const kPendingValue = "PendingFileRenameOperations";
const char* const kForwarderName = "Zephyl Saver.scr";
const char* const kRunningText =
    "Zephyl Saver is running, as your screen saver or as the preview of the Screen Saver Settings.\n\n"
    "End the screen saver and close the Screen Saver Settings, then click Retry.";
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

bool IsWow64() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// Where the display settings find the forwarder: SysWOW64 on 64-bit Windows.
std::string ForwarderPath() {
    return wt::WindowsFolder() + (IsWow64() ? "SysWOW64\\" : "System32\\") + kForwarderName;
}

std::string WithoutCr(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    return s;
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

// The display settings' three uses of the forwarder: full screen, the preview (which they
// end by terminating the forwarder) and the settings. Each runs the installed screen saver.
// Ends a process of the test when the scope ends, so that a failed check leaves no setup
// program waiting for a click (and holding the test's output open), and no screen saver
// holding the installed files for the next step.
struct EndsWithScope {
    wt::Process& process;
    ~EndsWithScope() {
        if (process.Running()) process.Kill();
    }
};

// A full-screen run on a loaded machine may measure under 10 frames a second, and the next
// settings dialog then opens the speed-up tips over itself: these runs are about the files,
// not the speed.
void ForgetTheFrameRate() { wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "AvgFps", "100"); }

// One use of the forwarder and the screen saver it starts, both ended with the scope.
struct ForwarderRun {
    wt::Process process, saver;
    bool started = false;
    explicit ForwarderRun(const std::string& arguments) {
        DeleteFileA(wt::LogPath().c_str());
        started = process.Start(ForwarderPath(), arguments) &&
                  saver.Attach(wt::WaitForProcessNamed("ZephylSaver.scr", 20000));
    }
    ~ForwarderRun() {
        for (wt::Process* p : {&saver, &process})
            if (p->Running()) p->Kill();
    }
};

void RunThroughTheForwarder(const std::string& installFolder) {
    const std::string saverPath = "Path: " + installFolder + "ZephylSaver.scr";
    {
        SCOPED_TRACE("/s");
        ForwarderRun run("/s");
        ASSERT_TRUE(run.started) << "no forwarder, or no screen saver from it";
        wt::Process &process = run.process, &saver = run.saver;
        EXPECT_NE(nullptr, wt::WaitForWindow(saver.Id(), "ZephylSaver", kStartMs)) << LogText();
        EXPECT_TRUE(WaitForLog("Entering main loop...", kStartMs)) << LogText();
        PumpFor(500);
        EXPECT_TRUE(process.Running()) << "the forwarder did not wait";
        wt::PressKey(VK_ESCAPE);
        EXPECT_TRUE(WaitExitPumping(saver, 20000)) << LogText();
        EXPECT_TRUE(process.WaitExit(10000)) << "the forwarder outlived the screen saver";
        EXPECT_NE(std::string::npos, LogText().find("Running in normal Screensaver mode.")) << LogText();
        EXPECT_NE(std::string::npos, LogText().find(saverPath)) << LogText();
    }
    {
        SCOPED_TRACE("/p");
        DeleteFileA(wt::LogPath().c_str());
        HWND host = CreateWindowExA(0, "STATIC", "Screen Saver Settings", WS_POPUP | WS_VISIBLE, 200, 200, 152, 112,
                                    nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, host);
        ForwarderRun run("/p " + std::to_string(reinterpret_cast<UINT_PTR>(host)));
        ASSERT_TRUE(run.started) << "no forwarder, or no screen saver from it";
        wt::Process &process = run.process, &saver = run.saver;
        HWND child = nullptr;
        for (DWORD start = GetTickCount(); !child && GetTickCount() - start < kStartMs; PumpFor(50))
            child = FindWindowExA(host, nullptr, "ZephylSaver", nullptr);
        EXPECT_NE(nullptr, child) << LogText();
        EXPECT_TRUE(WaitForLog("Entering main loop...", kStartMs)) << LogText();
        EXPECT_TRUE(process.Running()) << "the forwarder did not wait for the preview";
        // What the display settings do when the user picks another screen saver.
        process.Kill();
        EXPECT_TRUE(saver.WaitExit(1000)) << "the preview outlived its forwarder by more than a second";
        PumpFor(200);
        EXPECT_EQ(nullptr, FindWindowExA(host, nullptr, "ZephylSaver", nullptr));
        EXPECT_NE(std::string::npos, LogText().find("Running in Preview mode.")) << LogText();
        EXPECT_NE(std::string::npos, LogText().find(saverPath)) << LogText();
        DestroyWindow(host);
    }
    {
        SCOPED_TRACE("/c");
        ForgetTheFrameRate();
        ForwarderRun run("/c");
        ASSERT_TRUE(run.started) << "no forwarder, or no screen saver from it";
        wt::Process &process = run.process, &saver = run.saver;
        HWND dialog = wt::WaitForWindow(saver.Id(), "#32770", kStartMs);
        ASSERT_NE(nullptr, dialog) << LogText();
        PumpFor(500);
        EXPECT_TRUE(process.Running()) << "the forwarder did not wait for the settings";
        char title[128] = {};
        GetWindowTextA(dialog, title, sizeof title);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(WaitExitPumping(saver, 60000)) << "the window \"" << title << "\" did not end the settings\n"
                                                   << LogText();
        EXPECT_TRUE(process.WaitExit(10000));
        EXPECT_NE(std::string::npos, LogText().find("In config mode...Initializing dialog structures.")) << LogText();
    }
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag", 0);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "DoChecksum", 0);
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
    // This 32-bit test sees SysWOW64's files in System32 too.
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    expected.push_back(Item(std::string(system) + "\\" + kForwarderName));
    if (IsWow64()) expected.push_back(Item(ForwarderPath()));
    std::sort(expected.begin(), expected.end());
    const std::vector<std::string> added = Added(before, Snapshot());
    EXPECT_EQ(Join(expected), Join(added));
    EXPECT_TRUE(Added(Snapshot(), before).empty()) << "the install removed files";

    for (const std::string& name : ListedFiles(checkSumList))
        EXPECT_EQ(wt::ReadFile(dist + name), wt::ReadFile(installFolder + name)) << name;
    EXPECT_EQ(checkSumList, wt::ReadFile(wt::WindowsFolder() + "chk.sum"));
    EXPECT_EQ(wt::ReadFile(dist + kForwarderName), wt::ReadFile(ForwarderPath()));

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
    EXPECT_EQ(Lower(ForwarderPath()), Lower(LongPath(chosen)));

    RunThroughTheForwarder(installFolder);

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

// The strings of PendingFileRenameOperations: pairs of a file and its new name ("" to
// delete it), as Windows carries them out at its next start.
std::vector<std::string> PendingOperations() {
    std::vector<std::string> items;
    const wt::RegValue value = wt::ReadValue(HKEY_LOCAL_MACHINE, kSessionKey, kPendingValue);
    std::string item;
    for (uint8_t c : value.data) {
        if (c) {
            item.push_back(static_cast<char>(c));
        } else {
            items.push_back(item);
            item.clear();
        }
    }
    // A trailing pair of zeros ends the list.
    while (!items.empty() && items.back().empty() && items.size() % 2) items.pop_back();
    return items;
}

std::string WithoutPrefix(std::string path) {
    if (!path.empty() && path[0] == '!') path.erase(0, 1);
    if (path.compare(0, 4, "\\??\\") == 0) path.erase(0, 4);
    return path;
}

// What the next start of Windows does with the registered operations.
void Reboot() {
    const std::vector<std::string> items = PendingOperations();
    for (size_t i = 0; i + 1 < items.size(); i += 2) {
        const std::string from = WithoutPrefix(items[i]);
        if (items[i + 1].empty()) {
            if (!DeleteFileA(from.c_str())) RemoveDirectoryA(from.c_str());
        } else {
            MoveFileExA(from.c_str(), WithoutPrefix(items[i + 1]).c_str(), MOVEFILE_REPLACE_EXISTING);
        }
    }
    wt::DeleteValue(HKEY_LOCAL_MACHINE, kSessionKey, kPendingValue);
}

bool PendingRenameTo(const std::string& target) {
    const std::vector<std::string> items = PendingOperations();
    for (size_t i = 0; i + 1 < items.size(); i += 2)
        if (Lower(WithoutPrefix(items[i + 1])) == Lower(target)) return true;
    return false;
}

bool PendingDeleteOf(const std::string& path) {
    const std::vector<std::string> items = PendingOperations();
    for (size_t i = 0; i + 1 < items.size(); i += 2)
        if (items[i + 1].empty() && Lower(WithoutPrefix(items[i])) == Lower(path)) return true;
    return false;
}

// Clicks through the installer's pages (Next, Install, Finish), answers Yes to its question
// and leaves the settings unopened at the end; false when it is still running after `ms`.
bool ClickThroughSetup(wt::Process& setup, DWORD ms) {
    for (DWORD start = GetTickCount(); setup.Running() && GetTickCount() - start < ms; PumpFor(300)) {
        for (HWND window : wt::WindowsOf(setup.Id(), "#32770")) {
            if (!IsWindowVisible(window)) continue;
            // A message box keeps its text in the static control 0xFFFF.
            if (GetDlgItem(window, 0xFFFF)) {
                EXPECT_EQ(nullptr, GetDlgItem(window, IDRETRY)) << "asked to close the screen saver again";
                if (!wt::PressButton(window, IDYES)) wt::PressOk(window);
                continue;
            }
            HWND next = GetDlgItem(window, IDOK);
            if (!next || !IsWindowEnabled(next)) continue;
            HWND run = FindWindowExA(FindWindowExA(window, nullptr, "#32770", nullptr), nullptr, "Button",
                                     "Open the Zephyl Saver settings");
            if (run) SendMessageA(run, BM_SETCHECK, BST_UNCHECKED, 0);
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(next));
        }
    }
    return !setup.Running();
}

// A full-screen run of the installed screen saver, music off, in its main loop.
// The installed program runs with its settings dialog open, holding its files and its
// mutex as a full-screen run does. (A full-screen run would end by itself as soon as the
// setup program took the activation.)
bool StartSaver(wt::Process& saver, const std::string& installFolder) {
    ForgetTheFrameRate();
    return saver.Start(installFolder + "ZephylSaver.scr", "/c") && wt::WaitForWindow(saver.Id(), "#32770", kStartMs);
}

void EndSaver(wt::Process& saver) {
    saver.Kill();
    saver.WaitExit(20000);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag", 0);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "DoChecksum", 0);
}

TEST(Installer, InstallOverARunningOlderVersionAsksOrWaitsForTheRebootAndKeepsTheUsersData) {
    wt::ResetProductState(true);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic", 0);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowQuotes", 0);
    wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "DispModeWidth", "0");
    wt::DeleteValue(HKEY_LOCAL_MACHINE, kSessionKey, kPendingValue);
    const std::string dist = wt::DistFolder();
    const std::string checkSumList = wt::ReadFile(dist + "chk.sum");
    {
        wt::Process setup;
        ASSERT_TRUE(setup.Start(dist + "ZephylSaverSetup.exe", "/S"));
        ASSERT_TRUE(setup.WaitExit(kSetupMs));
    }
    const std::string installFolder = Folder(CSIDL_PROGRAM_FILES) + "Zephyl Saver\\";
    const std::string outside = Folder(CSIDL_PROGRAM_FILES) + "outside.txt";
    // An older version: a file the new one does not have, listed in its chk.sum with a name
    // that leads out of the folder, and an older file of the set. Each user's data.
    auto makeOlderVersion = [&] {
        ASSERT_TRUE(wt::WriteFile(installFolder + "Old Songs.bdl", "old"));
        ASSERT_TRUE(wt::WriteFile(outside, "not ours"));
        ASSERT_TRUE(wt::WriteFile(installFolder + "chk.sum",
                                  checkSumList + std::string(64, '0') + "  Old Songs.bdl\r\n" +
                                      std::string(64, '0') + "  ..\\outside.txt\n"));
        ASSERT_TRUE(wt::WriteFile(installFolder + "CREDITS.txt", "older credits"));
    };
    makeOlderVersion();
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "MusicVol", 37);
    ASSERT_TRUE(wt::WriteFile(wt::UserPlaylist(), "#EXTM3U\r\nC:\\song.ogg\r\n"));
    auto expectTheNewSetAndTheUsersData = [&] {
        for (const std::string& name : ListedFiles(checkSumList))
            EXPECT_EQ(wt::ReadFile(dist + name), wt::ReadFile(installFolder + name)) << name;
        EXPECT_EQ(checkSumList, wt::ReadFile(installFolder + "chk.sum"));
        EXPECT_EQ(checkSumList, wt::ReadFile(wt::WindowsFolder() + "chk.sum"));
        EXPECT_EQ(wt::ReadFile(dist + kForwarderName), wt::ReadFile(ForwarderPath()));
        EXPECT_FALSE(wt::FileExists(installFolder + "Old Songs.bdl")) << "a file of the older version stayed";
        EXPECT_FALSE(wt::FileExists(installFolder + "Update")) << "the update's folder stayed";
        EXPECT_EQ("not ours", wt::ReadFile(outside));
        EXPECT_EQ(37u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "MusicVol").AsDword());
        EXPECT_EQ("#EXTM3U\r\nC:\\song.ogg\r\n", wt::ReadFile(wt::UserPlaylist()));
        EXPECT_TRUE(wt::FileExists(wt::LogPath()));
    };

    // Interactive: the user is asked to close the screen saver, as often as it runs.
    {
        wt::Process saver;
        ASSERT_TRUE(StartSaver(saver, installFolder)) << LogText();
        EndsWithScope saverEnds{saver};
        wt::Process setup;
        EndsWithScope setupEnds{setup};
        ASSERT_TRUE(setup.Start(dist + "ZephylSaverSetup.exe", ""));
        for (int retry = 0; retry < 2; ++retry) {
            wt::MessageBoxInfo box;
            ASSERT_TRUE(wt::WaitForMessageBox(setup.Id(), kSetupMs, box));
            EXPECT_EQ(kRunningText, WithoutCr(box.text));
            EXPECT_NE(nullptr, GetDlgItem(box.window, IDCANCEL));
            if (retry == 1) EndSaver(saver);
            ASSERT_TRUE(wt::PressButton(box.window, IDRETRY));
        }
        EXPECT_EQ("older credits", wt::ReadFile(installFolder + "CREDITS.txt")) << "changed before the user agreed";
        ASSERT_TRUE(ClickThroughSetup(setup, kSetupMs));
        EXPECT_EQ(0u, wt::WaitForProcessNamed("ZephylSaver.scr", 2000)) << "the settings were opened";
        expectTheNewSetAndTheUsersData();
    }
    // Cancel leaves everything as it was.
    makeOlderVersion();
    {
        wt::Process saver;
        ASSERT_TRUE(StartSaver(saver, installFolder)) << LogText();
        EndsWithScope saverEnds{saver};
        wt::Process setup;
        EndsWithScope setupEnds{setup};
        ASSERT_TRUE(setup.Start(dist + "ZephylSaverSetup.exe", ""));
        wt::MessageBoxInfo box;
        ASSERT_TRUE(wt::WaitForMessageBox(setup.Id(), kSetupMs, box));
        ASSERT_TRUE(wt::PressButton(box.window, IDCANCEL));
        EXPECT_TRUE(setup.WaitExit(20000));
        EXPECT_EQ("older credits", wt::ReadFile(installFolder + "CREDITS.txt"));
        EXPECT_TRUE(wt::FileExists(installFolder + "Old Songs.bdl"));
        EndSaver(saver);
    }
    // Silent: nothing changes under the running screen saver; the whole set is registered
    // to replace the old one at the next start of Windows.
    {
        wt::Process saver;
        ASSERT_TRUE(StartSaver(saver, installFolder)) << LogText();
        EndsWithScope saverEnds{saver};
        wt::Process setup;
        EndsWithScope setupEnds{setup};
        ASSERT_TRUE(setup.Start(dist + "ZephylSaverSetup.exe", "/S"));
        DWORD exitCode = 1;
        ASSERT_TRUE(setup.WaitExit(kSetupMs, &exitCode));
        EXPECT_EQ(0u, exitCode);
        EXPECT_TRUE(saver.Running());
        EXPECT_EQ("older credits", wt::ReadFile(installFolder + "CREDITS.txt")) << "half an update";
        for (const std::string& name : ListedFiles(checkSumList))
            EXPECT_TRUE(PendingRenameTo(installFolder + name)) << name;
        EXPECT_TRUE(PendingRenameTo(installFolder + "chk.sum"));
        EXPECT_TRUE(PendingRenameTo(wt::WindowsFolder() + "chk.sum"));
        EXPECT_TRUE(PendingRenameTo(ForwarderPath()));
        EndSaver(saver);
        Reboot();
        expectTheNewSetAndTheUsersData();
    }
    // A silent uninstall under a running screen saver removes its files at the next start;
    // another screen saver the user chose stays chosen.
    {
        const std::string other = "C:\\Windows\\System32\\other.scr";
        ASSERT_TRUE(wt::WriteString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE", other));
        wt::Process saver;
        ASSERT_TRUE(StartSaver(saver, installFolder)) << LogText();
        EndsWithScope saverEnds{saver};
        wt::Process process;
        ASSERT_TRUE(process.Start(installFolder + "Uninstall.exe", "/S"));
        ASSERT_TRUE(process.WaitExit(kSetupMs));
        ASSERT_TRUE(WaitForUninstallEnd(kSetupMs));
        EXPECT_TRUE(PendingDeleteOf(installFolder + "ZephylSaver.scr"));
        EXPECT_EQ(other, wt::ReadValue(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE").AsString());
        EndSaver(saver);
        Reboot();
        EXPECT_FALSE(wt::FileExists(installFolder)) << "the program folder stayed";
        EXPECT_FALSE(wt::FileExists(ForwarderPath()));
        EXPECT_FALSE(wt::KeyExists(HKEY_LOCAL_MACHINE, wt::kProductKey));
    }
    wt::DeleteValue(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE");
    DeleteFileA(outside.c_str());
}

}  // namespace
