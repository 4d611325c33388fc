// Drives the real ZephylSaver.scr under Wine: the full-screen run with its display-mode
// switch and restore, the unsupported-mode message, the input that ends (or does not end) a
// run, the run getting its surfaces back after another program took the display mode away,
// and the preview inside a window made by the test. Runs in Wine's virtual desktop
// (1024x768x32), where display-mode switches work.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/ScreenShot.h"
#include "support/WineTest.h"

namespace {

using wt::LogPath;
using wt::LogText;
using wt::PressKey;
using wt::PumpFor;
using wt::RunningOnWine;
using wt::WaitExitPumping;
using wt::WaitForLog;

const char* const kSystemSaverKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers";
const DWORD kStartMs = 60000;  // D3D on llvmpipe and the mode switch take a while under Wine
const DWORD kEndMs = 15000;

struct Mode {
    DWORD width = 0, height = 0, bits = 0;
};

Mode CurrentMode() {
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    return {mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel};
}

std::string ModeString(const Mode& m) {
    return std::to_string(m.width) + "x" + std::to_string(m.height) + "x" + std::to_string(m.bits);
}

// Whether the system was told that a screen saver runs. Wine caches system parameters per
// process after the first read, so under Wine the value is read where Wine keeps it.
bool SaverRunning() {
    wt::RegValue wine = wt::ReadValue(HKEY_CURRENT_USER,
                                      "Software\\Wine\\Temporary System Parameters\\Control Panel\\Desktop",
                                      "WINE_ScreenSaverRunning");
    if (wine.exists) return wine.AsString() == "1";
    BOOL running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    return running != FALSE;
}

// The log line that follows the first line containing `marker`, or "" when none.
std::string LineAfter(const std::string& log, const std::string& marker) {
    std::vector<std::string> lines = wt::Lines(log);
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].find(marker) != std::string::npos) return lines[i + 1];
    return std::string();
}

std::string LineWith(const std::string& log, const std::string& marker) {
    for (const std::string& line : wt::Lines(log))
        if (line.find(marker) != std::string::npos) return line;
    return std::string();
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The visible window above `box` in the z-order that overlaps it ("" when the box is
// uncovered: the top window where it stands).
std::string CoveringWindow(HWND box) {
    RECT boxRect = {};
    GetWindowRect(box, &boxRect);
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == box) return std::string();
        RECT r = {}, overlap = {};
        if (!IsWindowVisible(w) || !GetWindowRect(w, &r) || !IntersectRect(&overlap, &r, &boxRect)) continue;
        char name[64] = {}, title[64] = {};
        GetClassNameA(w, name, sizeof name);
        GetWindowTextA(w, title, sizeof title);
        return std::string(name) + " \"" + title + "\"";
    }
    return "the box is not among the top-level windows";
}

// What of the flag a grab of the screen shows: the gold of the sun and the night blue.
struct FlagPixels {
    int gold = 0, night = 0;
};
FlagPixels FlagPixelsOf(const wt::Shot& shot) {
    FlagPixels f;
    for (int y = 0; y < shot.height; y += 4)
        for (int x = 0; x < shot.width; x += 4) {
            const uint32_t p = shot.At(x, y);
            if (wt::Shot::R(p) > 120 && wt::Shot::G(p) > 80 && wt::Shot::B(p) < 90) ++f.gold;
            if (wt::Shot::B(p) > wt::Shot::R(p) + 20) ++f.night;
        }
    return f;
}

// Sampled pixels whose brightness differs clearly between two grabs of the same size.
int ChangedPixels(const wt::Shot& a, const wt::Shot& b) {
    int changed = 0;
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); i += 7)
        if (std::abs(wt::Shot::Sum(a.pixels[i]) - wt::Shot::Sum(b.pixels[i])) > 30) ++changed;
    return changed;
}

wt::Shot GrabScreen(int w, int h) {
    HDC screen = GetDC(nullptr);
    wt::Shot shot = wt::GrabDC(screen, 0, 0, w, h);
    ReleaseDC(nullptr, screen);
    return shot;
}

// Grabs the screen until it shows the flag (a loaded machine takes long for the first
// frames); the last grab when the time runs out.
wt::Shot WaitForFlag(DWORD ms) {
    const DWORD start = GetTickCount();
    wt::Shot shot = GrabScreen(800, 600);
    while (FlagPixelsOf(shot).gold <= 100 && GetTickCount() - start < ms) {
        wt::PumpFor(250);
        shot = GrabScreen(800, 600);
    }
    return shot;
}

// The number after `text` on the first log line holding it, -1 when none.
long NumberAfter(const std::string& log, const std::string& text) {
    for (const std::string& line : wt::Lines(log)) {
        const size_t at = line.find(text);
        if (at != std::string::npos) return std::strtol(line.c_str() + at + text.size(), nullptr, 10);
    }
    return -1;
}

class SaverRun : public ::testing::Test {
protected:
    void SetUp() override {
        wt::ResetProductState(true);
        // Quiet, predictable runs: no music, no quotations.
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic", 0);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowQuotes", 0);
        wt::WriteDword(HKEY_LOCAL_MACHINE, kSystemSaverKey, "Mouse Threshold", 50);
        DeleteFileA(LogPath().c_str());
        m_desktop = CurrentMode();
        ASSERT_EQ("1024x768x32", ModeString(m_desktop)) << "the tests need Wine's 1024x768 virtual desktop";
        m_folder = wt::InstallCopy("saver");
        m_exe = m_folder + "ZephylSaver.scr";
        ASSERT_TRUE(wt::FileExists(m_exe)) << m_exe;
        SetCursorPos(300, 300);
    }

    void TearDown() override {
        if (m_process.Running()) {
            m_process.Kill();
            ChangeDisplaySettingsA(nullptr, 0);
        }
        wt::DeleteValue(HKEY_LOCAL_MACHINE, kSystemSaverKey, "Mouse Threshold");
    }

    // Starts a full-screen run and waits until its main loop runs; returns the saver window.
    HWND StartFullScreen() {
        EXPECT_TRUE(m_process.Start(m_exe, "/s"));
        HWND window = wt::WaitForWindow(m_process.Id(), "ZephylSaver", kStartMs);
        EXPECT_NE(nullptr, window) << "no saver window; log:\n" << LogText();
        EXPECT_TRUE(WaitForLog("Entering main loop...", kStartMs)) << LogText();
        // Past the pointer's first second, in which a report only moves the start point.
        PumpFor(1500);
        return window;
    }

    // True when the run is still going after `ms`.
    bool StillRunningAfter(DWORD ms) {
        PumpFor(ms);
        return m_process.Running();
    }

    void ExpectCleanEnd() {
        ASSERT_TRUE(WaitExitPumping(m_process, kEndMs)) << "the run did not end; log:\n" << LogText();
        EXPECT_EQ(ModeString(m_desktop), ModeString(CurrentMode()));
        EXPECT_FALSE(SaverRunning());
        EXPECT_EQ(0u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag").AsDword());
        EXPECT_EQ(0u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "DoChecksum").AsDword());
        EXPECT_EQ(0u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError").AsDword());
    }

    Mode m_desktop;
    std::string m_folder;
    std::string m_exe;
    wt::Process m_process;
};

TEST_F(SaverRun, SwitchesTo800x600x16DuringTheRunAndRestoresTheDesktopAfter) {
    HWND window = StartFullScreen();
    ASSERT_NE(nullptr, window);
    Mode during = CurrentMode();
    EXPECT_EQ(800u, during.width);
    EXPECT_EQ(600u, during.height);
    // Known platform difference: Wine emulates the colour depth per process, so another
    // process (this test) is told 32 bits while the saver itself runs at 16.
    if (RunningOnWine())
        EXPECT_TRUE(during.bits == 16 || during.bits == 32) << during.bits;
    else
        EXPECT_EQ(16u, during.bits);
    EXPECT_EQ(800, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(600, GetSystemMetrics(SM_CYSCREEN));
    RECT rect = {};
    GetWindowRect(window, &rect);
    EXPECT_EQ(0, rect.left);
    EXPECT_EQ(0, rect.top);
    EXPECT_EQ(800, rect.right);
    EXPECT_EQ(600, rect.bottom);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_POPUP);
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ("Zephyl Saver", title);
    EXPECT_TRUE(SaverRunning());
    // The start-up wrote CrashFlag 1 and the run cleared it once the loop was entered.
    EXPECT_EQ(0u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag").AsDword());
    EXPECT_EQ(1u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "DoChecksum").AsDword());

    EXPECT_EQ(window, GetForegroundWindow());
    PressKey('A');
    ExpectCleanEnd();

    std::string log = LogText();
    EXPECT_TRUE(EndsWith(LineAfter(log, "Requested mode:"), "800x600x16")) << log;
    // The mode report is a named block: a trace line in, its lines one step deeper (inside
    // DoSaver's own step), a trace line out.
    for (const char* block : {"currentMode settings:", "Screensaver settings:"}) {
        const std::string begin = LineWith(log, std::string("Begin block: ") + block);
        const std::string end = LineWith(log, std::string("End block: ") + block);
        EXPECT_EQ(0u, begin.rfind("> ", 0)) << begin;
        EXPECT_TRUE(EndsWith(begin, std::string(" |   +- Begin block: ") + block)) << begin;
        EXPECT_EQ(0u, end.rfind("< ", 0)) << end;
        EXPECT_TRUE(EndsWith(end, std::string(" |   +- End block: ") + block)) << end;
    }
    EXPECT_NE(std::string::npos, LineWith(log, "DeviceName: ").find(" |   |  DeviceName: ")) << log;
    EXPECT_NE(std::string::npos, LineWith(log, "Flag Quality: ").find(" |   |  Flag Quality: ")) << log;
    EXPECT_NE(std::string::npos, log.find("Resolution: 1024x768"));
    EXPECT_NE(std::string::npos, log.find("BitsPerPel: 32"));
    EXPECT_NE(std::string::npos, log.find("Begin block: Screensaver settings:"));
    EXPECT_NE(std::string::npos, log.find("Play Music: 0"));
    EXPECT_NE(std::string::npos, log.find("Calling ChangeDisplaySettings()"));
    EXPECT_NE(std::string::npos, log.find("Key pressed -- Quitting screensaver"));
    EXPECT_NE(std::string::npos, log.find("WM_CLOSE: CanClose == true, Calling DestroyWindow()"));
    EXPECT_NE(std::string::npos, log.find("PostQuitMessage(0)"));
    EXPECT_NE(std::string::npos, log.find("Exited main loop."));
    EXPECT_NE(std::string::npos, log.find("Changing back display settings"));
    EXPECT_NE(std::string::npos, log.find("ChangeDisplaySettings(NULL,0)"));
    EXPECT_NE(std::string::npos, log.find("UnregisterClass()"));
    // The exit trace names the line the run returned from, below its entry.
    auto lineNumber = [](const std::string& line) {
        const size_t open = line.find('[');
        return open == std::string::npos ? -1 : std::atoi(line.c_str() + open + 1);
    };
    const int entered = lineNumber(LineWith(log, "Enter function: DoSaver()"));
    const int left = lineNumber(LineWith(log, "Exit function: DoSaver()"));
    EXPECT_GT(entered, 0) << log;
    EXPECT_GT(left, entered) << log;
    EXPECT_TRUE(wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "AvgFps").exists);
}

TEST_F(SaverRun, WidthZeroKeepsTheDesktopModeAndAClickEndsTheRun) {
    wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "DispModeWidth", "0");
    HWND window = StartFullScreen();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ("1024x768x32", ModeString(CurrentMode()));
    RECT rect = {};
    GetWindowRect(window, &rect);
    EXPECT_EQ(1024, rect.right - rect.left);
    EXPECT_EQ(768, rect.bottom - rect.top);

    wt::ClickLeft();
    ExpectCleanEnd();
    std::string log = LogText();
    EXPECT_TRUE(EndsWith(LineAfter(log, "Requested mode:"), "NO CHANGE")) << log;
    EXPECT_EQ(std::string::npos, log.find("Calling ChangeDisplaySettings()"));
    EXPECT_EQ(std::string::npos, log.find("Changing back display settings"));
}

TEST_F(SaverRun, UnsupportedModeShowsTheMessageAndCreatesNoWindow) {
    wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "DispModeWidth", "1234");
    wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "DispModeHeight", "567");
    wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "DispModeBits", "16");
    ASSERT_TRUE(m_process.Start(m_exe, "/s"));
    wt::MessageBoxInfo box;
    ASSERT_TRUE(wt::WaitForMessageBox(m_process.Id(), kStartMs, box)) << LogText();
    EXPECT_EQ("Error", box.caption);
    EXPECT_EQ("The Requested Display Mode Is Not Supported By\nYour Video Card.", box.text);
    EXPECT_FALSE(box.hasIcon);
    EXPECT_TRUE(wt::WindowsOf(m_process.Id(), "ZephylSaver").empty());
    EXPECT_EQ("1024x768x32", ModeString(CurrentMode()));
    wt::PressOk(box.window);
    ExpectCleanEnd();
    std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("Call to ChangeDisplaySettings() failed.")) << log;
    EXPECT_EQ(std::string::npos, log.find("Calling CreateWindow()"));
}

TEST_F(SaverRun, PointerMovementOfExactlyTheThresholdDoesNotEndOneMoreDoes) {
    wt::WriteDword(HKEY_LOCAL_MACHINE, kSystemSaverKey, "Mouse Threshold", 20);
    HWND window = StartFullScreen();
    ASSERT_NE(nullptr, window);
    POINT start = {};
    GetCursorPos(&start);
    ASSERT_EQ(300, start.x);
    ASSERT_EQ(300, start.y);

    SetCursorPos(320, 280);
    EXPECT_TRUE(StillRunningAfter(1500)) << "moved exactly 20 px";
    SetCursorPos(280, 320);
    EXPECT_TRUE(StillRunningAfter(1500)) << "moved exactly 20 px the other way";
    SetCursorPos(279, 300);
    ExpectCleanEnd();
    EXPECT_NE(std::string::npos, LogText().find("Mouse moved -- Quitting screensaver"));
}

TEST_F(SaverRun, CloseFromAnotherProgramSystemCommandsAndArrowKeysDoNotEndTheRun) {
    HWND window = StartFullScreen();
    ASSERT_NE(nullptr, window);

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(StillRunningAfter(1000)) << "WM_CLOSE from another program";
    for (WPARAM command : {SC_CLOSE, SC_NEXTWINDOW, SC_PREVWINDOW, SC_SCREENSAVE}) {
        PostMessageA(window, WM_SYSCOMMAND, command, 0);
        EXPECT_TRUE(StillRunningAfter(700)) << "system command " << std::hex << command;
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_FALSE(IsIconic(window));
    }
    // Music is off: the arrow keys do nothing at all.
    for (WORD key : {VK_RIGHT, VK_LEFT, VK_UP, VK_DOWN}) {
        PressKey(key);
        EXPECT_TRUE(StillRunningAfter(500)) << "arrow key " << key;
    }
    EXPECT_EQ(std::string::npos, LogText().find("Quitting screensaver"));

    PressKey(VK_ESCAPE);
    ExpectCleanEnd();
}

TEST_F(SaverRun, LosingActivationEndsTheRun) {
    HWND window = StartFullScreen();
    ASSERT_NE(nullptr, window);
    HWND other = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "other program", WS_POPUP | WS_VISIBLE, 10, 10,
                                 100, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, other);
    SetForegroundWindow(other);
    ExpectCleanEnd();
    DestroyWindow(other);
    EXPECT_NE(std::string::npos, LogText().find("Lost activation -- Quitting screensaver"));
}

TEST_F(SaverRun, SceneStartFailureRestoresTheDisplayBeforeTellingTheUser) {
    // Without the flag picture the scene cannot start.
    ASSERT_TRUE(DeleteFileA((m_folder + "Zephyl.gif").c_str()));
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowBugReport", 0);
    ASSERT_TRUE(m_process.Start(m_exe, "/s"));

    // The scene says first what it missed, in front of everything the run put up.
    wt::MessageBoxInfo box;
    ASSERT_TRUE(wt::WaitForMessageBox(m_process.Id(), kStartMs, box)) << LogText();
    EXPECT_EQ("ERROR", box.caption);
    ASSERT_EQ("Could not load flag image! Try re-installing the screensaver.", box.text);
    EXPECT_EQ("", CoveringWindow(box.window));
    // A click on the saver window meanwhile does not tear the set-up down under its messages.
    std::vector<HWND> saver = wt::WindowsOf(m_process.Id(), "ZephylSaver");
    ASSERT_EQ(1u, saver.size());
    PostMessageA(saver[0], WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 300));
    PostMessageA(saver[0], WM_LBUTTONUP, 0, MAKELPARAM(400, 300));
    PumpFor(700);
    EXPECT_TRUE(IsWindow(box.window)) << "the box went away by itself";
    wt::PressOk(box.window);
    PumpFor(500);

    // The run's own message follows.
    ASSERT_TRUE(wt::WaitForMessageBox(m_process.Id(), kStartMs, box)) << LogText();
    EXPECT_EQ("ERROR", box.caption);
    ASSERT_EQ("Problem encountered in initStates().", box.text);
    EXPECT_EQ("", CoveringWindow(box.window));
    EXPECT_EQ(ModeString(m_desktop), ModeString(CurrentMode())) << "mode not restored before the box";
    EXPECT_FALSE(SaverRunning());
    EXPECT_EQ(1u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError").AsDword());
    wt::PressOk(box.window);
    PumpFor(500);

    // The start-up code reports the failed run; the saver window is gone by then.
    ASSERT_TRUE(wt::WaitForMessageBox(m_process.Id(), kStartMs, box)) << LogText();
    EXPECT_EQ("Error initializing", box.caption);
    EXPECT_EQ("", CoveringWindow(box.window));
    EXPECT_TRUE(wt::WindowsOf(m_process.Id(), "ZephylSaver").empty());
    wt::PressOk(box.window);
    ExpectCleanEnd();
    std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("initStates() failed!")) << log;
    EXPECT_NE(std::string::npos, log.find("Changing back to original display settings..."));
    EXPECT_NE(std::string::npos, log.find("Calling SystemParametersInfo()"));
}

// The sound message holds the set-up at a known point, before input is armed: pointer
// movement then never ends the run; movement measured from where the pointer was when the
// run was armed does.
TEST_F(SaverRun, MusicThatCannotStartIsReportedAndTheRunGoesOn) {
    // No songs to play: the music bundle is not there.
    DeleteFileA((m_folder + "music.bdl").c_str());
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic", 1);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "DefaultMusic", 1);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CustomMusic", 0);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowBugReport", 0);
    ASSERT_TRUE(m_process.Start(m_exe, "/s"));

    // The music player may explain first (no sound device); the run's own message follows.
    wt::MessageBoxInfo box;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(wt::WaitForMessageBox(m_process.Id(), kStartMs, box)) << LogText();
        if (box.caption == "Error initializing sound") break;
        wt::PressOk(box.window);
        PumpFor(500);
    }
    ASSERT_EQ("Error initializing sound", box.caption);
    EXPECT_EQ("An error was encountered while initializing the sound subsystem.\n\n"
              "Possible causes include:\n"
              "-A file may be corrupt and you need to re-install the screensaver\n"
              "-You may have a corrupt music file in your playlist, try clearing your playlist\n"
              "-Your hardware drivers may be out of date, try installing the latest drivers.\n\n"
              "If all else fails, try disabling music and contact support.",
              box.text);
    // An icon shows (the box is made with the error icon; which icon it is cannot be told
    // from another process under Wine, where the icon handles are the process's own).
    EXPECT_TRUE(box.hasIcon);
    EXPECT_TRUE(IsWindowVisible(box.window));
    EXPECT_EQ("", CoveringWindow(box.window));
    EXPECT_EQ(1u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError").AsDword());
    EXPECT_EQ(std::string::npos, LogText().find("Entering main loop..."));
    // The pointer moves far while the set-up waits; the saver window is told so directly
    // (it stands aside while the box is up).
    std::vector<HWND> saver = wt::WindowsOf(m_process.Id(), "ZephylSaver");
    ASSERT_EQ(1u, saver.size());
    SetCursorPos(700, 500);
    PostMessageA(saver[0], WM_MOUSEMOVE, 0, MAKELPARAM(700, 500));
    SetCursorPos(20, 20);
    PostMessageA(saver[0], WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
    PumpFor(500);
    EXPECT_TRUE(IsWindow(box.window));
    wt::PressOk(box.window);

    // The run goes on without music, its window in front again.
    ASSERT_TRUE(WaitForLog("Entering main loop...", kStartMs)) << LogText();
    EXPECT_TRUE(StillRunningAfter(1500));
    EXPECT_EQ(std::string::npos, LogText().find("Mouse moved -- Quitting screensaver"));
    EXPECT_TRUE(IsWindowVisible(saver[0]));
    EXPECT_EQ(saver[0], GetForegroundWindow());
    // Measured from where the pointer was when the run was armed.
    SetCursorPos(20, 71);
    ASSERT_TRUE(wt::WaitForMessageBox(m_process.Id(), kEndMs, box)) << LogText();
    EXPECT_NE(std::string::npos, LogText().find("Mouse moved -- Quitting screensaver"));
    ASSERT_TRUE(wt::WaitForMessageBox(m_process.Id(), kEndMs, box)) << LogText();
    EXPECT_EQ("Error initializing", box.caption);
    wt::PressOk(box.window);
    ExpectCleanEnd();
}

// Another program switches the display to 640 x 480 and puts the desktop's mode back: the
// run's surfaces are lost. It waits, takes its 800 x 600 x 16 mode back, fills its textures
// again and draws on; a key still ends it as a good run.
TEST_F(SaverRun, SurfacesLostToAnotherProgramsModeSwitchComeBack) {
    struct Case {
        const char* what;
        DWORD showQuotes;
    };
    const Case cases[] = {{"flag alone", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileA(LogPath().c_str());
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowQuotes", c.showQuotes);
        HWND window = StartFullScreen();
        ASSERT_NE(nullptr, window);
        ASSERT_EQ("800x600", ModeString(CurrentMode()).substr(0, 7));
        const wt::Shot before = WaitForFlag(kStartMs);
        wt::SaveBmp(before, m_folder + "lost-before.bmp");
        ASSERT_GT(FlagPixelsOf(before).gold, 100) << "no flag before the loss";

        DEVMODEA small = {};
        small.dmSize = sizeof small;
        small.dmPelsWidth = 640;
        small.dmPelsHeight = 480;
        small.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
        // Both switches at once, as a program that tries a mode and goes back does it. (A
        // switch while the run is restoring costs it the activation under Wine, which ends
        // the run as any loss of activation does.)
        ASSERT_EQ(DISP_CHANGE_SUCCESSFUL, ChangeDisplaySettingsA(&small, 0));
        ASSERT_EQ(DISP_CHANGE_SUCCESSFUL, ChangeDisplaySettingsA(nullptr, 0));
        ASSERT_TRUE(WaitForLog("Surfaces lost -- waiting to restore", kStartMs)) << LogText();
        ASSERT_TRUE(WaitForLog("Surfaces restored", kStartMs)) << LogText();
        ASSERT_TRUE(m_process.Running());
        // The run's own mode is back (the restore may come between the two switches, and
        // then the second loss is restored in turn).
        const DWORD start = GetTickCount();
        while (ModeString(CurrentMode()).substr(0, 7) != "800x600" && GetTickCount() - start < kEndMs) PumpFor(100);
        EXPECT_EQ("800x600", ModeString(CurrentMode()).substr(0, 7));

        const wt::Shot first = WaitForFlag(kStartMs);
        wt::SaveBmp(first, m_folder + "lost-after-1.bmp");
        PumpFor(2000);
        const wt::Shot second = GrabScreen(800, 600);
        wt::SaveBmp(second, m_folder + "lost-after-2.bmp");
        // The flag, waving: two grabs seconds apart differ.
        EXPECT_GT(FlagPixelsOf(first).gold, 100) << "no flag after the restore";
        EXPECT_GT(FlagPixelsOf(first).night, 3000) << "no blue field after the restore";
        EXPECT_GT(FlagPixelsOf(second).gold, 100);
        EXPECT_GT(ChangedPixels(first, second), 1000) << "the frame stands still";

        PressKey('A');
        ExpectCleanEnd();
        const std::string log = LogText();
        const size_t lostAt = log.find("Surfaces lost -- waiting to restore");
        const size_t restoredAt = log.rfind("Surfaces restored");
        ASSERT_NE(std::string::npos, lostAt) << log;
        ASSERT_NE(std::string::npos, restoredAt) << log;
        EXPECT_LT(lostAt, restoredAt);
        EXPECT_EQ(std::string::npos, log.find(std::string("Surfaces could not be restored"))) << log;
        EXPECT_NE(std::string::npos, log.find("Key pressed -- Quitting screensaver")) << log;
        // Frames were drawn after the (last) restore.
        const size_t lastLoss = log.rfind("Frames drawn before the loss: ");
        ASSERT_NE(std::string::npos, lastLoss) << log;
        const long beforeLoss = NumberAfter(log.substr(lastLoss), "Frames drawn before the loss: ");
        const long total = NumberAfter(log, "Frames drawn: ");
        EXPECT_GT(beforeLoss, 0) << log;
        EXPECT_GT(total, beforeLoss) << log;
    }
}

}  // namespace
