// Drives the real ZephylSaver.exe under Wine, installed in a folder whose path has spaces:
// the command line it hands on, when it waits, and its one message when the screen saver
// cannot be found. A stand-in program takes the screen saver's place where only the
// launcher's own behaviour is looked at; the real screen saver runs full screen, as a
// preview and in its settings mode. The forwarding screen saver "Zephyl Saver.scr" hands on
// its command line the same way, but waits in every mode, ends the screen saver when it is
// ended itself, and keeps quiet about a missing screen saver in the preview.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/WineTest.h"

namespace {

using wt::LogText;
using wt::PumpFor;
using wt::WaitExitPumping;
using wt::WaitForLog;

const char* const kInstallDirValue = "Install_Dir_Zephyl";
const char* const kReleaseEvent = "ZephylStandInRelease";
const DWORD kStartMs = 60000;

std::string WithoutTrailingBackslash(std::string folder) {
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

class Launcher : public ::testing::Test {
protected:
    void SetUp() override {
        wt::ResetProductState(true);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic", 0);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowQuotes", 0);
        DeleteFileA(wt::LogPath().c_str());
        m_folder = wt::InstallCopy("launcher with spaces");
        m_launcher = m_folder + "ZephylSaver.exe";
        ASSERT_TRUE(wt::FileExists(m_launcher)) << m_launcher;
        SetInstallFolder(WithoutTrailingBackslash(m_folder));
        m_release = CreateEventA(nullptr, TRUE, FALSE, kReleaseEvent);
        ASSERT_NE(nullptr, m_release);
    }

    void TearDown() override {
        SetEvent(m_release);
        m_launcher_process.Kill();
        m_saver.Kill();
        CloseHandle(m_release);
        wt::DeleteTree(HKEY_LOCAL_MACHINE, wt::kProductKey);
    }

    void SetInstallFolder(const std::string& folder) {
        ASSERT_TRUE(wt::WriteString(HKEY_LOCAL_MACHINE, wt::kProductKey, kInstallDirValue, folder));
    }

    void UseStandIn() {
        ASSERT_TRUE(CopyFileA(ZEPHYL_STAND_IN, (m_folder + "ZephylSaver.scr").c_str(), FALSE)) << ZEPHYL_STAND_IN;
    }

    // The command line the stand-in was started with; "" when it did not start within 20 s.
    std::string StandInCommandLine() {
        const std::string file = m_folder + "command-line.txt";
        for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; PumpFor(50)) {
            // The stand-in may still hold the file for a moment after renaming it into place.
            bool read = false;
            std::string line = wt::ReadFile(file, &read);
            if (read && !line.empty()) {
                DeleteFileA(file.c_str());
                return line;
            }
        }
        return std::string();
    }

    std::string m_folder;
    std::string m_launcher;
    HANDLE m_release = nullptr;
    wt::Process m_launcher_process;
    wt::Process m_saver;
};

TEST_F(Launcher, HandsItsCommandLineOnUnchangedAndWaitsForTheForegroundModes) {
    UseStandIn();
    struct Case {
        const char* args;
        bool waits;
    };
    const Case cases[] = {
        {"", true}, {"/c", true}, {"-S", true}, {"/s", true}, {"/c:1234", true},
        {"/p 1234", false}, {"/l 5", false}, {"-P:99", false}, {"/x", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("arguments \"") + c.args + "\"");
        ResetEvent(m_release);
        wt::Process launcher;
        ASSERT_TRUE(launcher.Start(m_launcher, c.args));
        std::string expected = "\"" + m_launcher + "\"" + (*c.args ? std::string(" ") + c.args : std::string());
        EXPECT_EQ(expected, StandInCommandLine());
        DWORD standIn = wt::WaitForProcessNamed("ZephylSaver.scr", 10000);
        ASSERT_NE(0u, standIn);
        wt::Process started;
        ASSERT_TRUE(started.Attach(standIn));
        DWORD exitCode = 1;
        if (c.waits) {
            EXPECT_FALSE(launcher.WaitExit(1500)) << "did not wait for the screen saver";
            EXPECT_TRUE(started.Running());
            SetEvent(m_release);
            EXPECT_TRUE(started.WaitExit(10000));
            EXPECT_TRUE(launcher.WaitExit(10000, &exitCode)) << "still waiting after the screen saver ended";
        } else {
            EXPECT_TRUE(launcher.WaitExit(10000, &exitCode)) << "waited for the screen saver";
            EXPECT_TRUE(started.Running()) << "the screen saver keeps running on its own";
            SetEvent(m_release);
            EXPECT_TRUE(started.WaitExit(10000));
        }
        EXPECT_EQ(0u, exitCode);
    }
}

TEST_F(Launcher, AFolderValueWithEnvironmentVariablesIsExpanded) {
    UseStandIn();
    ASSERT_TRUE(SetEnvironmentVariableA("ZEPHYL_TEST_FOLDER", WithoutTrailingBackslash(m_folder).c_str()));
    const std::string value = "%ZEPHYL_TEST_FOLDER%";
    ASSERT_TRUE(wt::WriteRaw(HKEY_LOCAL_MACHINE, wt::kProductKey, kInstallDirValue, REG_EXPAND_SZ, value.c_str(),
                             static_cast<DWORD>(value.size() + 1)));
    wt::Process launcher;
    ASSERT_TRUE(launcher.Start(m_launcher, "/p 1"));
    EXPECT_EQ("\"" + m_launcher + "\" /p 1", StandInCommandLine());
    EXPECT_TRUE(launcher.WaitExit(10000));
}

TEST_F(Launcher, WithoutTheInstallationFolderShowsOnlyItsMessage) {
    struct Case {
        const char* name;
        std::string folder;  // "" : the value is removed; "-": the whole key is removed
    };
    const std::string longFolder = WithoutTrailingBackslash(m_folder) + "\\" + std::string(1000, 'a');
    const std::vector<Case> cases = {
        {"value missing", ""},
        {"key missing", "-"},
        {"folder of 1000+ characters", longFolder},
        {"folder longer than the buffer", longFolder + std::string(600, 'b')},
        {"folder without the screen saver", "C:\\no such folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.folder == "-")
            wt::DeleteTree(HKEY_LOCAL_MACHINE, wt::kProductKey);
        else if (c.folder.empty())
            wt::DeleteValue(HKEY_LOCAL_MACHINE, wt::kProductKey, kInstallDirValue);
        else
            SetInstallFolder(c.folder);

        wt::Process launcher;
        ASSERT_TRUE(launcher.Start(m_launcher, "/s"));
        wt::MessageBoxInfo box;
        ASSERT_TRUE(wt::WaitForMessageBox(launcher.Id(), 20000, box));
        EXPECT_EQ("Error!", box.caption);
        EXPECT_EQ("Cannot find screensaver!", box.text);
        EXPECT_FALSE(box.hasIcon);
        std::vector<HWND> shown;
        for (HWND window : wt::WindowsOf(launcher.Id()))
            if (IsWindowVisible(window)) shown.push_back(window);
        ASSERT_EQ(1u, shown.size()) << "the message box is its only window";
        EXPECT_EQ(box.window, shown[0]);
        EXPECT_EQ(0u, wt::WaitForProcessNamed("ZephylSaver.scr", 0)) << "a screen saver was started";
        wt::PressOk(box.window);
        DWORD exitCode = 1;
        ASSERT_TRUE(launcher.WaitExit(10000, &exitCode));
        EXPECT_EQ(0u, exitCode);
    }
}

TEST_F(Launcher, FullScreenRunIsWaitedForUntilAKeyEndsIt) {
    wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "DispModeWidth", "0");
    ASSERT_TRUE(m_launcher_process.Start(m_launcher, "-S"));
    DWORD saver = wt::WaitForProcessNamed("ZephylSaver.scr", 20000);
    ASSERT_NE(0u, saver);
    ASSERT_TRUE(m_saver.Attach(saver));
    ASSERT_NE(nullptr, wt::WaitForWindow(saver, "ZephylSaver", kStartMs)) << LogText();
    ASSERT_TRUE(WaitForLog("Entering main loop...", kStartMs)) << LogText();
    PumpFor(500);
    EXPECT_TRUE(m_launcher_process.Running());
    EXPECT_NE(std::string::npos, LogText().find("Running in normal Screensaver mode."));
    wt::PressKey('A');
    ASSERT_TRUE(WaitExitPumping(m_saver, 15000)) << LogText();
    DWORD exitCode = 1;
    EXPECT_TRUE(m_launcher_process.WaitExit(10000, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

TEST_F(Launcher, PreviewReturnsAtOnceWhileTheScreenSaverKeepsRunning) {
    HWND host = CreateWindowExA(0, "STATIC", "Display settings", WS_POPUP | WS_VISIBLE, 200, 200, 152, 112,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, host);
    ASSERT_TRUE(m_launcher_process.Start(m_launcher, "/p " + std::to_string(reinterpret_cast<UINT_PTR>(host))));
    DWORD saver = wt::WaitForProcessNamed("ZephylSaver.scr", 20000);
    ASSERT_NE(0u, saver);
    ASSERT_TRUE(m_saver.Attach(saver));
    EXPECT_TRUE(WaitExitPumping(m_launcher_process, 10000)) << "the launcher waited for the preview";
    HWND child = nullptr;
    for (DWORD start = GetTickCount(); !child && GetTickCount() - start < kStartMs; PumpFor(50))
        child = FindWindowExA(host, nullptr, "ZephylSaver", nullptr);
    EXPECT_NE(nullptr, child) << LogText();
    EXPECT_TRUE(m_saver.Running());
    DestroyWindow(host);
    EXPECT_TRUE(WaitExitPumping(m_saver, 15000)) << "the preview outlived its host";
}

TEST_F(Launcher, WithoutArgumentsStartsTheSettingsAndReturnsOnlyWhenTheyAreOver) {
    ASSERT_TRUE(m_launcher_process.Start(m_launcher, ""));
    // Closes the settings dialog when it shows, after checking that the launcher waits for it.
    DWORD saver = wt::WaitForProcessNamed("ZephylSaver.scr", 10000);
    for (DWORD start = GetTickCount(); m_launcher_process.Running() && GetTickCount() - start < 30000; PumpFor(100)) {
        HWND dialog = saver ? wt::WaitForWindow(saver, "#32770", 0) : nullptr;
        if (!dialog) continue;
        PumpFor(1000);
        EXPECT_TRUE(m_launcher_process.Running()) << "returned while the settings dialog was open";
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    DWORD exitCode = 1;
    ASSERT_TRUE(m_launcher_process.WaitExit(0, &exitCode)) << "still running after 30 s";
    EXPECT_EQ(0u, exitCode);
    // The screen saver's settings run was over (its last log line written) when the
    // launcher returned.
    std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("In config mode...Initializing dialog structures.")) << log;
    EXPECT_NE(std::string::npos, log.find("Successfully exiting WinMain()")) << log;
}

TEST_F(Launcher, ForwarderHandsItsCommandLineOnAndWaitsInEveryMode) {
    UseStandIn();
    const std::string forwarder = m_folder + "Zephyl Saver.scr";
    for (const char* args : {"/p 1234", "/s", "/c:77", "", "/l 5"}) {
        SCOPED_TRACE(std::string("arguments \"") + args + "\"");
        ResetEvent(m_release);
        wt::Process process;
        ASSERT_TRUE(process.Start(forwarder, args));
        EXPECT_EQ("\"" + forwarder + "\"" + (*args ? std::string(" ") + args : std::string()), StandInCommandLine());
        wt::Process started;
        ASSERT_TRUE(started.Attach(wt::WaitForProcessNamed("ZephylSaver.scr", 10000)));
        EXPECT_FALSE(process.WaitExit(1500)) << "did not wait for the screen saver";
        SetEvent(m_release);
        EXPECT_TRUE(started.WaitExit(10000));
        DWORD exitCode = 1;
        EXPECT_TRUE(process.WaitExit(10000, &exitCode)) << "still waiting after the screen saver ended";
        EXPECT_EQ(0u, exitCode);
    }
}

TEST_F(Launcher, EndingTheForwarderEndsTheScreenSaverAtOnce) {
    UseStandIn();
    wt::Process process;
    ASSERT_TRUE(process.Start(m_folder + "Zephyl Saver.scr", "/p 1234"));
    wt::Process started;
    ASSERT_TRUE(started.Attach(wt::WaitForProcessNamed("ZephylSaver.scr", 10000)));
    EXPECT_FALSE(started.WaitExit(1000));
    process.Kill();
    EXPECT_TRUE(started.WaitExit(1000)) << "the screen saver outlived its forwarder by more than a second";
}

TEST_F(Launcher, ForwarderReportsAMissingScreenSaverButNotInThePreview) {
    wt::DeleteValue(HKEY_LOCAL_MACHINE, wt::kProductKey, kInstallDirValue);
    for (const char* args : {"/s", "/c", "/p 1234", "/l 5"}) {
        SCOPED_TRACE(args);
        const bool preview = args[1] == 'p' || args[1] == 'l';
        wt::Process process;
        ASSERT_TRUE(process.Start(m_folder + "Zephyl Saver.scr", args));
        wt::MessageBoxInfo box;
        if (preview) {
            DWORD exitCode = 1;
            // A message box would keep it running.
            EXPECT_TRUE(process.WaitExit(20000, &exitCode)) << "a message box in the preview";
            EXPECT_EQ(0u, exitCode);
            continue;
        }
        ASSERT_TRUE(wt::WaitForMessageBox(process.Id(), 20000, box));
        EXPECT_EQ("Error!", box.caption);
        EXPECT_EQ("Cannot find screensaver!", box.text);
        wt::PressOk(box.window);
        EXPECT_TRUE(process.WaitExit(10000));
    }
}

}  // namespace
