// The real ZephylSaver.scr, started as a user or the system starts it: its log, the check
// after a crashed or failed run with its message boxes, the single-instance rule, the
// per-user folder record and the uninstall.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <regex>

#include "support/WineTest.h"

namespace {

const char* const kCorruptedCaption = "Encountered corrupted file(s)";
const char* const kCorruptedText =
    "One or more of the screensaver files appears to have been corrupted.\n\n"
    "It is strongly advised that you re-install the screensaver.";
const char* const kInitErrorCaption = "Error initializing";
const char* const kInitErrorText =
    "The screen saver recently encountered an error while initializing.\n"
    "You may need to reinstall the screensaver.\n\n"
    "If the problem persists, please contact technical support.";

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        wt::ResetProductState(true);
        install_ = wt::InstallCopy("program");
        scr_ = install_ + "ZephylSaver.scr";
        ASSERT_TRUE(wt::FileExists(scr_)) << "dist/ holds no ZephylSaver.scr";
        log_ = wt::LogPath();
        DeleteFileA(log_.c_str());
    }
    void TearDown() override { wt::ResetProductState(true); }

    // Runs the program to its end; fails the test when it does not end in time.
    void Run(const std::string& args, DWORD ms = 30000, const std::string& exe = std::string()) {
        wt::Process p;
        ASSERT_TRUE(p.Start(exe.empty() ? scr_ : exe, args));
        DWORD code = 99;
        bool ended = p.WaitExit(ms, &code);
        if (!ended) p.Kill();
        ASSERT_TRUE(ended) << args << " did not end";
        EXPECT_EQ(code, 0u) << args;
    }

    std::vector<std::string> LogLines() { return wt::Lines(wt::ReadFile(log_)); }

    static bool HasMessage(const std::vector<std::string>& lines, const std::string& message) {
        for (const std::string& line : lines)
            if (line.size() >= message.size() && line.compare(line.size() - message.size(), message.size(), message) == 0)
                return true;
        return false;
    }

    uint32_t UserDword(const char* name) {
        return wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, name).AsDword();
    }

    std::string install_;
    std::string scr_;
    std::string log_;
};

// What a machine key's access list grants, read back as the system stores it.
struct KeyAccess {
    bool read = false;
    bool hasDacl = false;  // false: a null access list, full access for everyone
    DWORD aceCount = 0;
    bool everyoneWrites = false;  // an allowing entry for WD or BU with any right to change
    bool usersWrite = false;
    std::string sddl;
};

KeyAccess ReadKeyAccess(const char* path) {
    KeyAccess access;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, READ_CONTROL, &key) != ERROR_SUCCESS) return access;
    DWORD size = 0;
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    const bool got = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, buffer.data(), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (!got) return access;
    PSECURITY_DESCRIPTOR sd = buffer.data();
    char* text = nullptr;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                             &text, nullptr)) {
        access.sddl = text;
        LocalFree(text);
    }
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted)) return access;
    access.read = true;
    access.hasDacl = present && dacl;
    if (!access.hasDacl) return access;
    access.aceCount = dacl->AceCount;
    BYTE everyone[SECURITY_MAX_SID_SIZE], users[SECURITY_MAX_SID_SIZE];
    DWORD everyoneSize = sizeof everyone, usersSize = sizeof users;
    CreateWellKnownSid(WinWorldSid, nullptr, everyone, &everyoneSize);
    CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &usersSize);
    const ACCESS_MASK change = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC |
                               WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace) || static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (!(allowed->Mask & change)) continue;
        PSID sid = &allowed->SidStart;
        if (EqualSid(sid, everyone)) access.everyoneWrites = true;
        if (EqualSid(sid, users)) access.usersWrite = true;
    }
    return access;
}

TEST_F(Program, LogLinesFollowTheFormatAndEachRunReplacesTheFile) {
    Run("/x");
    std::vector<std::string> lines = LogLines();
    ASSERT_GE(lines.size(), 11u);
    const std::regex begins(std::string(46, '-') + " Log begins on [A-Z][a-z]{2} [A-Z][a-z]{2} \\d{2} \\d{2}:\\d{2}:\\d{2} \\d{4} " + std::string(46, '-'));
    const std::regex ends(std::string(47, '-') + " Log ends on [A-Z][a-z]{2} [A-Z][a-z]{2} \\d{2} \\d{2}:\\d{2}:\\d{2} \\d{4} " + std::string(47, '-'));
    const std::regex line("(I |F |E |! |W |D |> |< |A |  ) *[^ \\[]+\\[\\d{4,}\\]\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}[ |]*\\S.*");
    EXPECT_TRUE(std::regex_match(lines.front(), begins)) << lines.front();
    size_t last = lines.size() - 5;
    EXPECT_TRUE(std::regex_match(lines[last], ends)) << lines[last];
    for (size_t i = last + 1; i < lines.size(); ++i) EXPECT_EQ(lines[i], "");
    for (size_t i = 1; i < last; ++i) EXPECT_TRUE(std::regex_match(lines[i], line)) << lines[i];

    EXPECT_NE(lines[1].find("Main.cpp["), std::string::npos) << lines[1];
    EXPECT_TRUE(HasMessage(lines, "Zephyl Saver started."));
    EXPECT_TRUE(HasMessage(lines, "Version: 1"));
    EXPECT_TRUE(HasMessage(lines, "OS is Win2k/XP"));
    EXPECT_TRUE(HasMessage(lines, "Path: " + scr_));
    EXPECT_TRUE(HasMessage(lines, "Exiting configuration"));
    EXPECT_TRUE(HasMessage({lines[last - 1]}, "Successfully exiting WinMain()"));

    ASSERT_TRUE(wt::WriteFile(log_, "left from an older run\n"));
    Run("/x");
    lines = LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(std::regex_match(lines.front(), begins)) << lines.front();
    EXPECT_FALSE(HasMessage(lines, "left from an older run"));
}

TEST_F(Program, NoLogFileWhenLoggingIsOff) {
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "DebugLog", 0);
    Run("/x");
    EXPECT_FALSE(wt::FileExists(log_));
}

TEST_F(Program, AnUnwritableLogDoesNotStopTheProgram) {
    ASSERT_TRUE(CreateDirectoryA(log_.c_str(), nullptr));  // a folder where the file would go
    Run("/x");
    RemoveDirectoryA(log_.c_str());
}

// Waits for the settings dialog of `p`, closes it with Cancel and waits for the end.
bool CancelSettings(wt::Process& p) {
    HWND dialog = wt::WaitForWindow(p.Id(), "#32770", 30000);
    if (!dialog) return false;
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return p.WaitExit(15000);
}

TEST_F(Program, ConfigurationModesAreLogged) {
    wt::Process settings;
    ASSERT_TRUE(settings.Start(scr_, ""));
    ASSERT_TRUE(CancelSettings(settings)) << "no settings dialog";
    EXPECT_TRUE(HasMessage(LogLines(), "In config mode...Initializing dialog structures."));
    EXPECT_TRUE(HasMessage(LogLines(), "Opening dialog box"));

    // Started by a name with ".exe", the program opens its settings even when asked to run.
    std::string exe = install_ + "ZephylSaver.exe";
    ASSERT_TRUE(CopyFileA(scr_.c_str(), exe.c_str(), FALSE));
    wt::Process asked;
    ASSERT_TRUE(asked.Start(exe, "/s"));
    ASSERT_TRUE(CancelSettings(asked)) << "no settings dialog";
    std::vector<std::string> lines = LogLines();
    EXPECT_TRUE(HasMessage(lines, "In config mode...Initializing dialog structures."));
    EXPECT_FALSE(HasMessage(lines, "Running in normal Screensaver mode."));
}

TEST_F(Program, LongAndOddCommandLinesEndNormally) {
    Run("/x" + std::string(32000, 'w'));
    Run("/p " + std::string(30000, '9'));
    Run("\x01\x7f\xff /\xe9");
    EXPECT_EQ(UserDword("CrashFlag"), 0u);
}

TEST_F(Program, AfterANormalRunTheCrashValuesAreClear) {
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag", 1);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "DoChecksum", 1);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowBugReport", 0);
    ASSERT_TRUE(wt::InstallCheckSumList(install_));
    Run("/x");
    EXPECT_EQ(UserDword("CrashFlag"), 0u);
    EXPECT_EQ(UserDword("DoChecksum"), 0u);
    EXPECT_EQ(UserDword("CriticalError"), 0u);
    std::vector<std::string> lines = LogLines();
    EXPECT_TRUE(HasMessage(lines, "Zephyl Saver started.")) << "intact files pass the check";
    // The check ran before the log was open; its result is in the log all the same.
    bool checked = false;
    for (const std::string& line : lines)
        checked |= std::regex_search(line, std::regex("Installed files intact: [1-9]\\d* checked against .*chk\\.sum$"));
    EXPECT_TRUE(checked) << wt::ReadFile(log_);
}

// Presses a key until the process ends (a full-screen run ends on a key press).
bool EndWithKeys(wt::Process& p, DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        if (p.WaitExit(500)) return true;
        if (!wt::WindowsOf(p.Id()).empty()) wt::PressKey(VK_SPACE);
    }
    return p.WaitExit(0);
}

TEST_F(Program, InstallRequestStartsTheSettingsOfAFreshInstance) {
    Run("/z");
    EXPECT_EQ(UserDword("CrashFlag"), 0u);
    EXPECT_EQ(UserDword("DoChecksum"), 0u);
    // The fresh instance ("/c") shows the settings and writes its own log once closed.
    wt::Process fresh;
    DWORD id = wt::WaitForProcessNamed("ZephylSaver.scr", 20000);
    ASSERT_NE(id, 0u) << "no fresh instance";
    ASSERT_TRUE(fresh.Attach(id));
    ASSERT_TRUE(CancelSettings(fresh)) << "the fresh instance shows no settings dialog";
    bool configured = false;
    for (int i = 0; i < 100 && !configured; ++i) {
        Sleep(200);
        configured = HasMessage(LogLines(), "Successfully exiting WinMain()") &&
                     HasMessage(LogLines(), "In config mode...Initializing dialog structures.");
    }
    EXPECT_TRUE(configured);
}

TEST_F(Program, FullScreenRunStoresTheFrameRate) {
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic", 0);
    wt::Process p;
    ASSERT_TRUE(p.Start(scr_, "/s"));
    Sleep(3000);
    ASSERT_TRUE(EndWithKeys(p, 60000));
    wt::RegValue fps = wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "AvgFps");
    ASSERT_TRUE(fps.exists);
    EXPECT_EQ(fps.type, static_cast<DWORD>(REG_SZ));
    std::string text = fps.AsString();
    EXPECT_EQ(fps.data.size(), text.size() + 1);
    EXPECT_TRUE(std::regex_match(text, std::regex("\\d+(\\.\\d+)?"))) << text;
    size_t digits = 0;
    for (char c : text) digits += c >= '0' && c <= '9';
    EXPECT_LE(digits, 6u) << text;
    EXPECT_GT(atof(text.c_str()), 0.0) << text;
    std::vector<std::string> lines = LogLines();
    EXPECT_TRUE(HasMessage(lines, "Running in normal Screensaver mode."));
    EXPECT_TRUE(HasMessage(lines, "Average FPS: " + text));
    EXPECT_TRUE(HasMessage(lines, "Exiting screensaver."));
    EXPECT_EQ(UserDword("CrashFlag"), 0u);
    EXPECT_EQ(UserDword("DoChecksum"), 0u);
    EXPECT_EQ(UserDword("CriticalError"), 0u);
}

TEST_F(Program, AlteredInstalledFileShowsTheCorruptedFilesMessage) {
    ASSERT_TRUE(wt::InstallCheckSumList(install_));
    std::string bytes = wt::ReadFile(scr_);
    ASSERT_TRUE(wt::WriteFile(scr_, bytes + "x"));
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag", 1);

    wt::Process p;
    ASSERT_TRUE(p.Start(scr_, "/x"));
    wt::MessageBoxInfo box;
    ASSERT_TRUE(wt::WaitForMessageBox(p.Id(), 20000, box));
    EXPECT_EQ(box.caption, kCorruptedCaption);
    EXPECT_EQ(box.text, kCorruptedText);
    EXPECT_TRUE(box.hasIcon);
    wt::PressOk(box.window);
    EXPECT_TRUE(p.WaitExit(20000));
    EXPECT_FALSE(wt::FileExists(log_)) << "nothing runs after a failed check";
    EXPECT_EQ(UserDword("CrashFlag"), 0u);
    EXPECT_EQ(UserDword("DoChecksum"), 0u);
}

TEST_F(Program, MissingOrMalformedListFailsTheCheckAfterACrash) {
    for (const char* list : {"", "not a checksum list\n"}) {
        wt::ResetProductState(true);
        if (*list) ASSERT_TRUE(wt::WriteFile(wt::WindowsFolder() + "chk.sum", list));
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "DoChecksum", 1);
        wt::Process p;
        ASSERT_TRUE(p.Start(scr_, "/x"));
        wt::MessageBoxInfo box;
        ASSERT_TRUE(wt::WaitForMessageBox(p.Id(), 20000, box)) << (*list ? "malformed" : "missing");
        EXPECT_EQ(box.caption, kCorruptedCaption);
        wt::PressOk(box.window);
        EXPECT_TRUE(p.WaitExit(20000));
    }
}

TEST_F(Program, FailedStartIsReportedByTheNextStart) {
    ASSERT_TRUE(wt::InstallCheckSumList(install_));
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError", 1);
    wt::Process p;
    ASSERT_TRUE(p.Start(scr_, "/x"));
    wt::MessageBoxInfo box;
    ASSERT_TRUE(wt::WaitForMessageBox(p.Id(), 20000, box));
    EXPECT_EQ(box.caption, kInitErrorCaption);
    EXPECT_EQ(box.text, kInitErrorText);
    EXPECT_FALSE(box.hasIcon);
    wt::PressOk(box.window);
    // Then the error report is offered; "No" goes on.
    HWND offer = nullptr;
    for (int i = 0; i < 200 && !offer; ++i, Sleep(50))
        for (HWND w : wt::WindowsOf(p.Id(), "#32770"))
            if (w != box.window && IsWindowVisible(w) && GetDlgItem(w, 1108)) offer = w;
    ASSERT_NE(offer, nullptr) << "the error report offer";
    PostMessageA(offer, WM_COMMAND, IDCANCEL, 0);
    DWORD code = 99;
    ASSERT_TRUE(p.WaitExit(20000, &code));
    EXPECT_EQ(UserDword("CriticalError"), 0u);
    EXPECT_TRUE(HasMessage(LogLines(), "Successfully exiting WinMain()")) << "the start goes on";

    // A failure inside the main loop (2) shows no box before going on.
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError", 2);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowBugReport", 0);
    Run("/x");
    EXPECT_EQ(UserDword("CriticalError"), 0u);
}

TEST_F(Program, SecondFullScreenStartGivesUpAfterFifteenSeconds) {
    HANDLE held = CreateMutexA(nullptr, TRUE, "ZephylSaver");
    ASSERT_NE(held, nullptr);
    wt::Process p;
    DWORD start = GetTickCount();
    ASSERT_TRUE(p.Start(scr_, "/s"));
    EXPECT_FALSE(p.WaitExit(12000)) << "it waits for the running instance";
    DWORD code = 99;
    EXPECT_TRUE(p.WaitExit(15000, &code));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 14500u);
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(wt::FileExists(log_)) << "it ends silently before anything else";
    EXPECT_TRUE(wt::WindowsOf(p.Id()).empty());
    ReleaseMutex(held);
    CloseHandle(held);
}

// Two full-screen starts wait behind a running instance: when it ends, one of them runs,
// and the other waits for that one in turn. They never run together. Each start stops at
// message boxes (the report of a failed run, then a display mode the card does not offer),
// so that how long a start takes does not matter.
TEST_F(Program, WaitingFullScreenStartsRunOneAfterTheOther) {
    ASSERT_TRUE(wt::InstallCheckSumList(install_));
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError", 1);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowBugReport", 0);
    wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "DispModeWidth", "1234");
    wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "DispModeHeight", "567");
    wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "DispModeBits", "16");
    HANDLE held = CreateMutexA(nullptr, TRUE, "ZephylSaver");
    ASSERT_NE(held, nullptr);
    wt::Process starts[2];
    struct EndLeftovers {  // a failed check must not leave a start holding the mutex
        wt::Process* starts;
        ~EndLeftovers() {
            for (int i = 0; i < 2; ++i)
                if (starts[i].Running()) starts[i].Kill();
        }
    } leftovers{starts};
    ASSERT_TRUE(starts[0].Start(scr_, "/s"));
    ASSERT_TRUE(starts[1].Start(scr_, "/s"));
    wt::PumpFor(1500);
    EXPECT_TRUE(wt::WindowsOf(starts[0].Id()).empty() && wt::WindowsOf(starts[1].Id()).empty())
        << "a start went past the running instance";
    ReleaseMutex(held);
    CloseHandle(held);

    // Whichever start gets the mutex reports the failed run; the other one waits.
    int first = -1;
    for (DWORD waited = 0; first < 0 && waited < 20000; waited += 100)
        for (int i = 0; i < 2 && first < 0; ++i)
            if (wt::WaitForWindow(starts[i].Id(), "#32770", 50)) first = i;
    ASSERT_GE(first, 0) << "no start went on";
    wt::Process& second = starts[1 - first];
    wt::MessageBoxInfo box;
    ASSERT_TRUE(wt::WaitForMessageBox(starts[first].Id(), 5000, box));
    EXPECT_EQ(box.caption, kInitErrorCaption);
    wt::PumpFor(1500);
    EXPECT_TRUE(wt::WindowsOf(second.Id()).empty()) << "two starts run together";
    EXPECT_TRUE(second.Running());
    wt::PressOk(box.window);
    ASSERT_TRUE(wt::WaitForMessageBox(starts[first].Id(), 20000, box));
    EXPECT_EQ(box.caption, "Error");
    wt::PumpFor(1000);
    EXPECT_TRUE(wt::WindowsOf(second.Id()).empty()) << "two starts run together";
    wt::PressOk(box.window);
    EXPECT_TRUE(starts[first].WaitExit(20000));

    // Now the second one runs, after the first cleared the failed run it reported.
    ASSERT_TRUE(wt::WaitForMessageBox(second.Id(), 20000, box)) << "the second start never ran";
    EXPECT_EQ(box.caption, "Error");
    wt::PressOk(box.window);
    EXPECT_TRUE(second.WaitExit(20000));
    EXPECT_EQ(UserDword("CrashFlag"), 0u);
    EXPECT_EQ(UserDword("CriticalError"), 0u);
}

TEST_F(Program, PreviewWaitsForTheRunningInstanceThenGoesOn) {
    HANDLE held = CreateMutexA(nullptr, TRUE, "ZephylSaver");
    ASSERT_NE(held, nullptr);
    wt::Process p;
    ASSERT_TRUE(p.Start(scr_, "/p 0"));
    EXPECT_FALSE(p.WaitExit(3000)) << "the preview waits while the other instance runs";
    ReleaseMutex(held);
    CloseHandle(held);
    EXPECT_TRUE(p.WaitExit(15000));
    EXPECT_TRUE(HasMessage(LogLines(), "Running in Preview mode."));
}

TEST_F(Program, FirstStartRecordsTheUserFolder) {
    std::string folder = wt::UserDataFolder();
    DeleteFileA(log_.c_str());
    RemoveDirectoryA(folder.c_str());
    ASSERT_FALSE(wt::FileExists(folder));
    Run("/initialsecurity");
    EXPECT_TRUE(wt::FileExists(folder));
    EXPECT_FALSE(wt::FileExists(log_)) << "the word ends the start at once";

    char login[257] = {};
    DWORD size = sizeof login;
    ASSERT_TRUE(GetUserNameA(login, &size));
    wt::RegValue recorded = wt::ReadValue(HKEY_LOCAL_MACHINE, wt::kAppDataKey, login);
    ASSERT_TRUE(recorded.exists);
    EXPECT_EQ(recorded.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(recorded.data.size(), folder.size() + 1) << "stored with its terminating zero";
    EXPECT_EQ(recorded.AsString(), folder);
    EXPECT_TRUE(wt::KeyExists(HKEY_LOCAL_MACHINE, wt::kProductKey));

    // Both machine keys keep an access list that lets no standard user change them: the
    // launcher of every account runs what "Install_Dir_Zephyl" names. (Wine keeps the list
    // but does not enforce it: that a standard user's write is refused is not tried here.)
    for (const char* path : {wt::kAppDataKey, wt::kProductKey}) {
        const KeyAccess access = ReadKeyAccess(path);
        ASSERT_TRUE(access.read) << path;
        EXPECT_TRUE(access.hasDacl) << path << ": " << access.sddl;
        EXPECT_GT(access.aceCount, 0u) << path << ": " << access.sddl;
        EXPECT_FALSE(access.everyoneWrites) << path << ": " << access.sddl;
        EXPECT_FALSE(access.usersWrite) << path << ": " << access.sddl;
        EXPECT_EQ(access.sddl.find("NO_ACCESS_CONTROL"), std::string::npos) << path << ": " << access.sddl;
    }
}

// Puts a registry value back as it was when the test ends.
class SavedValue {
public:
    SavedValue(HKEY root, std::string key, std::string name)
        : root_(root), key_(std::move(key)), name_(std::move(name)), saved_(wt::ReadValue(root_, key_, name_)) {}
    ~SavedValue() {
        if (saved_.exists)
            wt::WriteRaw(root_, key_, name_, saved_.type, saved_.data.data(), DWORD(saved_.data.size()));
        else
            wt::DeleteValue(root_, key_, name_);
    }

private:
    HKEY root_;
    std::string key_, name_;
    wt::RegValue saved_;
};

// Without an application-data folder the user's folder (and the log) goes below the
// temporary folder, never to the root of the current drive.
TEST_F(Program, WithoutAnApplicationDataFolderTheTemporaryFolderServes) {
    const char* const shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    char temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string fallback = std::string(temp) + "Telmoro\\Zephyl\\";
    DeleteFileA((fallback + "ZephylLog.txt").c_str());
    RemoveDirectoryA(fallback.c_str());  // the first start in it records it
    {
        SavedValue appData(HKEY_CURRENT_USER, shellFolders, "AppData");
        const char unreachable[] = "Q:\\zephyl-no-such-drive\\Application Data";
        ASSERT_TRUE(wt::WriteRaw(HKEY_CURRENT_USER, shellFolders, "AppData", REG_EXPAND_SZ, unreachable,
                                 sizeof unreachable));
        Run("/x");
    }
    const std::string log = wt::ReadFile(fallback + "ZephylLog.txt");
    EXPECT_NE(log.find("Zephyl Saver started."), std::string::npos) << "no log in " << fallback;
    for (const char* root : {"C:\\Telmoro", "Z:\\Telmoro"}) EXPECT_FALSE(wt::FileExists(root)) << root;
    char login[257] = {};
    DWORD size = sizeof login;
    ASSERT_TRUE(GetUserNameA(login, &size));
    EXPECT_EQ(wt::ReadValue(HKEY_LOCAL_MACHINE, wt::kAppDataKey, login).AsString(), fallback)
        << "the folder is recorded for the uninstall";
    DeleteFileA((fallback + "ZephylLog.txt").c_str());
    RemoveDirectoryA(fallback.c_str());
}

TEST_F(Program, UninstallRemovesEveryRecordedFolder) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string a = std::string(temp) + "zephyl-user-a\\Telmoro\\Zephyl\\";
    std::string b = std::string(temp) + "zephyl-user-b\\Telmoro\\Zephyl\\";
    // The record is writable by every user: a folder there that is not a user folder of
    // this program (here one standing for "C:\" or the Windows folder) is left alone.
    std::string other = std::string(temp) + "zephyl-not-a-user-folder\\";
    CreateDirectoryA(other.c_str(), nullptr);
    ASSERT_TRUE(wt::WriteFile(other + "precious.txt", "keep me"));
    for (const std::string& f : {a, b}) {
        CreateDirectoryA(f.substr(0, f.size() - 16).c_str(), nullptr);
        CreateDirectoryA(f.substr(0, f.size() - 8).c_str(), nullptr);
        CreateDirectoryA(f.c_str(), nullptr);
        CreateDirectoryA((f + "nested").c_str(), nullptr);
        ASSERT_TRUE(wt::WriteFile(f + "ZephylLog.txt", "log"));
        ASSERT_TRUE(wt::WriteFile(f + "nested\\anna.M3U", "song.ogg\r\n"));
    }
    ASSERT_TRUE(SetFileAttributesA((a + "ZephylLog.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA((b + "nested\\anna.M3U").c_str(), FILE_ATTRIBUTE_READONLY));
    wt::WriteString(HKEY_LOCAL_MACHINE, wt::kAppDataKey, "anna", a);
    wt::WriteString(HKEY_LOCAL_MACHINE, wt::kAppDataKey, "gone", std::string(temp) + "zephyl-no-such-folder\\");
    wt::WriteString(HKEY_LOCAL_MACHINE, wt::kAppDataKey, "bert", b);
    wt::WriteDword(HKEY_LOCAL_MACHINE, wt::kAppDataKey, "not a folder", 5);
    wt::WriteString(HKEY_LOCAL_MACHINE, wt::kAppDataKey, "mallory", other);
    wt::WriteString(HKEY_LOCAL_MACHINE, wt::kAppDataKey, "relative", "zephyl-not-a-user-folder\\");
    wt::WriteDword(HKEY_LOCAL_MACHINE, wt::kProductKey, "Kept", 1);

    Run("/UNINSTALL");
    EXPECT_FALSE(wt::FileExists(a));
    EXPECT_FALSE(wt::FileExists(b));
    EXPECT_TRUE(wt::FileExists(other + "precious.txt")) << "only the program's own user folders are removed";
    EXPECT_FALSE(wt::KeyExists(HKEY_LOCAL_MACHINE, wt::kAppDataKey));
    EXPECT_TRUE(wt::ReadValue(HKEY_LOCAL_MACHINE, wt::kProductKey, "Kept").exists);
    EXPECT_TRUE(wt::KeyExists(HKEY_CURRENT_USER, wt::kProductKey)) << "per-user settings stay";

    Run("uninstall");  // nothing recorded any more: nothing to do

    DeleteFileA((other + "precious.txt").c_str());
    RemoveDirectoryA(other.c_str());
    for (const std::string& f : {a, b}) {
        RemoveDirectoryA(f.substr(0, f.size() - 8).c_str());
        RemoveDirectoryA(f.substr(0, f.size() - 16).c_str());
    }
}

// The record of user folders is the uninstall's only input: what a planted value names is
// removed only when it verifies as a user's own data folder. Under Wine a Unix symbolic link
// to a folder of the drive reads as a folder with FILE_ATTRIBUTE_REPARSE_POINT, as a
// junction does on Windows; a UNC path reaches dosdevices/unc/SERVER/SHARE.
TEST_F(Program, UninstallRemovesOnlyFoldersItCanVerify) {
    char profileText[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableA("USERPROFILE", profileText, MAX_PATH), 0u);
    const std::string tag = std::to_string(GetTickCount());
    const std::string base = std::string(profileText) + "\\zephyl-uninstall-" + tag + "\\";
    const std::string outside = "C:\\zephyl-outside-" + tag + "\\";
    const std::string share = "\\\\zserver" + tag + "\\zshare\\";
    struct CleanUp {
        std::string script;
        ~CleanUp() { wt::RunUnix(script); }
    } cleanUp;
    auto makeFolders = [](const std::string& path) { return SHCreateDirectoryExA(nullptr, path.c_str(), nullptr) == ERROR_SUCCESS; };
    auto unixOf = [](const std::string& path) { return wt::UnixPath(path); };
    auto link = [&](const std::string& target, const std::string& parent, const std::string& name) {
        const std::string t = unixOf(target), p = unixOf(parent);
        ASSERT_FALSE(t.empty() || p.empty());
        ASSERT_TRUE(wt::RunUnix("ln -s '" + t + "' '" + p + "/" + name + "'"));
        for (int i = 0; i < 100 && !wt::FileExists(parent + name); ++i) Sleep(100);
        ASSERT_NE(GetFileAttributesA((parent + name).c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << parent + name;
    };

    cleanUp.script = "rm -rf '" + unixOf(std::string(profileText)) + "/zephyl-uninstall-" + tag + "' '" +
                     unixOf("C:\\") + "/zephyl-outside-" + tag + "'";
    // Valid user folders, one with a link inside it to a folder that is not its own.
    const std::string valid = base + "valid\\Telmoro\\Zephyl\\";
    const std::string validWithLink = base + "valid-link\\Telmoro\\Zephyl\\";
    for (const std::string& folder : {valid, validWithLink}) {
        ASSERT_TRUE(makeFolders(folder + "nested"));
        ASSERT_TRUE(wt::WriteFile(folder + "ZephylLog.txt", "log"));
        ASSERT_TRUE(wt::WriteFile(folder + "nested\\anna.M3U", "a.ogg\r\n"));
    }
    ASSERT_TRUE(makeFolders(base + "inside-target"));
    ASSERT_TRUE(wt::WriteFile(base + "inside-target\\keep.txt", "keep"));
    link(base + "inside-target", validWithLink, "linked-inside");
    // "...\Telmoro\Zephyl" itself a link to another folder.
    ASSERT_TRUE(makeFolders(base + "linked\\Telmoro") && makeFolders(base + "target-a"));
    ASSERT_TRUE(wt::WriteFile(base + "target-a\\keep.txt", "keep"));
    link(base + "target-a", base + "linked\\Telmoro\\", "Zephyl");
    // A link in the middle of the path: "...\Telmoro" leads elsewhere.
    ASSERT_TRUE(makeFolders(base + "middle") && makeFolders(base + "target-b\\Zephyl"));
    ASSERT_TRUE(wt::WriteFile(base + "target-b\\Zephyl\\keep.txt", "keep"));
    link(base + "target-b", base + "middle\\", "Telmoro");
    // A local folder below no profile folder.
    ASSERT_TRUE(makeFolders(outside + "Telmoro\\Zephyl"));
    ASSERT_TRUE(wt::WriteFile(outside + "Telmoro\\Zephyl\\keep.txt", "keep"));
    // A network path.
    const std::string drive = unixOf("C:\\");
    const std::string prefix = drive.substr(0, std::min(drive.find("/dosdevices/"), drive.find("/drive_c")));
    const std::string uncServer = prefix + "/dosdevices/unc/zserver" + tag;
    const std::string uncFolder = uncServer + "/zshare/Telmoro/Zephyl";
    cleanUp.script += " '" + uncServer + "'";
    ASSERT_TRUE(wt::RunUnix("mkdir -p '" + uncFolder + "' && echo keep > '" + uncFolder + "/keep.txt'"));
    for (int i = 0; i < 100 && !wt::FileExists(share + "Telmoro\\Zephyl\\keep.txt"); ++i) Sleep(100);
    ASSERT_TRUE(wt::FileExists(share + "Telmoro\\Zephyl\\keep.txt")) << "Wine does not reach " << share;

    struct Row {
        const char* name;
        std::string recorded;
        std::string probe;  // a file that tells whether the folder (or its target) is still there
        bool removed;
    } rows[] = {
        {"valid", valid, valid + "ZephylLog.txt", true},
        {"valid, holding a link", validWithLink, validWithLink + "nested\\anna.M3U", true},
        {"the link's target", "", base + "inside-target\\keep.txt", false},
        {"linked", base + "linked\\Telmoro\\Zephyl\\", base + "target-a\\keep.txt", false},
        {"middle", base + "middle\\Telmoro\\Zephyl\\", base + "target-b\\Zephyl\\keep.txt", false},
        {"outside", outside + "Telmoro\\Zephyl\\", outside + "Telmoro\\Zephyl\\keep.txt", false},
        {"network", share + "Telmoro\\Zephyl\\", share + "Telmoro\\Zephyl\\keep.txt", false},
    };
    for (const Row& row : rows)
        if (!row.recorded.empty()) ASSERT_TRUE(wt::WriteString(HKEY_LOCAL_MACHINE, wt::kAppDataKey, row.name, row.recorded));

    Run("uninstall");
    for (const Row& row : rows) EXPECT_EQ(!wt::FileExists(row.probe), row.removed) << row.name << ": " << row.probe;
    EXPECT_FALSE(wt::FileExists(base + "valid\\Telmoro")) << "the emptied Telmoro folder goes too";
    // (Wine cannot remove a Unix symbolic link through RemoveDirectory, so the folder that
    // held one stays there; Windows removes a junction itself that way.)
    EXPECT_TRUE(wt::FileExists(base + "valid")) << "nothing above it";
    EXPECT_FALSE(wt::KeyExists(HKEY_LOCAL_MACHINE, wt::kAppDataKey));

}

}  // namespace
