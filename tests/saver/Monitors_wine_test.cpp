// Drives the real ZephylSaver.scr full screen under Wine and looks at the further monitors.
// OneMonitor runs in the shared test desktop (one 1024x768 monitor). TwoMonitors runs on
// Xorg's dummy driver with a second 1024x768 monitor right of the primary, in a prefix of
// its own without a virtual desktop (tests/saver/two-monitors.sh starts both): a black
// blanking window covers the second monitor, takes movement and ignores clicks, and
// BlankAllScreens 0 leaves that monitor showing the desktop.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/WineTest.h"

namespace {

using wt::ClickLeft;
using wt::LogText;
using wt::MovePointer;
using wt::PumpFor;
using wt::WaitExitPumping;
using wt::WaitForLog;

const char* const kSystemSaverKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers";
const char* const kChildClass = "ZephylChildClass";
const DWORD kStartMs = 90000;
const DWORD kEndMs = 15000;

std::string Describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

BOOL CALLBACK AddMonitorRect(HMONITOR, HDC, LPRECT rect, LPARAM param) {
    reinterpret_cast<std::vector<RECT>*>(param)->push_back(*rect);
    return TRUE;
}

std::vector<RECT> MonitorRects() {
    std::vector<RECT> rects;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitorRect, reinterpret_cast<LPARAM>(&rects));
    return rects;
}

// Where the screenshots are kept: ZEPHYL_SCREENSHOTS (a Unix folder) when set, else the
// test's install folder.
std::string ShotFolder(const std::string& installFolder) {
    const char* folder = std::getenv("ZEPHYL_SCREENSHOTS");
    return folder && *folder ? wt::WindowsPath(folder) : installFolder;
}

// Grey-level statistics of a region of the X screen.
struct Region {
    bool ok = false;
    double mean = 0;    // 0..1
    double spread = 0;  // standard deviation
};

// Takes a screenshot of the X screen with ImageMagick, keeps it in `folder` as NAME.png and
// measures the regions `rects` in it.
std::vector<Region> ScreenRegions(const std::string& folder, const std::string& name, const std::vector<RECT>& rects) {
    std::vector<Region> regions(rects.size());
    const std::string shot = wt::UnixPath(folder + name + ".png");
    const std::string statsFile = folder + name + ".txt";
    const std::string stats = wt::UnixPath(statsFile);
    if (shot.empty() || stats.empty()) return regions;
    DeleteFileA(statsFile.c_str());
    std::string script = "import -window root '" + shot + "' && (";
    for (const RECT& r : rects) {
        std::string geometry = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
                               std::to_string(r.left) + "+" + std::to_string(r.top);
        script += "convert '" + shot + "' -crop " + geometry +
                  " +repage -colorspace gray -format '%[fx:mean] %[fx:standard_deviation]\\n' info:;";
    }
    script += ") > '" + stats + ".tmp' && mv '" + stats + ".tmp' '" + stats + "'";
    if (!wt::RunUnix(script)) return regions;
    // The Unix side cannot be waited for through its handle: wait for its output instead.
    for (DWORD start = GetTickCount(); !wt::FileExists(statsFile) && GetTickCount() - start < 20000;) PumpFor(100);
    std::vector<std::string> lines = wt::Lines(wt::ReadFile(statsFile));
    for (size_t i = 0; i < regions.size() && i < lines.size(); ++i) {
        char* end = nullptr;
        regions[i].mean = std::strtod(lines[i].c_str(), &end);
        regions[i].spread = std::strtod(end, nullptr);
        regions[i].ok = end != lines[i].c_str();
    }
    return regions;
}

class SaverMonitors : public ::testing::Test {
protected:
    void SetUp() override {
        wt::ResetProductState(true);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic", 0);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowQuotes", 0);
        wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "DispModeWidth", "0");
        wt::WriteDword(HKEY_LOCAL_MACHINE, kSystemSaverKey, "Mouse Threshold", 50);
        DeleteFileA(wt::LogPath().c_str());
        m_folder = wt::InstallCopy("monitors");
        m_exe = m_folder + "ZephylSaver.scr";
        ASSERT_TRUE(wt::FileExists(m_exe)) << m_exe;
    }

    void TearDown() override {
        m_process.Kill();
        wt::DeleteValue(HKEY_LOCAL_MACHINE, kSystemSaverKey, "Mouse Threshold");
    }

    // Starts a full-screen run and waits until its main loop runs.
    bool StartFullScreen() {
        if (!m_process.Start(m_exe, "/s")) return false;
        if (!wt::WaitForWindow(m_process.Id(), "ZephylSaver", kStartMs)) return false;
        if (!WaitForLog("Entering main loop...", kStartMs)) return false;
        PumpFor(1000);
        return true;
    }

    void ExpectCleanEnd() {
        ASSERT_TRUE(WaitExitPumping(m_process, kEndMs)) << "the run did not end; log:\n" << LogText();
        EXPECT_EQ(0u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag").AsDword());
        EXPECT_EQ(0u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError").AsDword());
    }

    std::string m_folder;
    std::string m_exe;
    wt::Process m_process;
};

using OneMonitor = SaverMonitors;
using TwoMonitors = SaverMonitors;

TEST_F(OneMonitor, CountsOneDisplayAndMakesNoBlankingWindow) {
    ASSERT_EQ(1u, MonitorRects().size()) << "this test needs a desktop with one monitor";
    ASSERT_TRUE(StartFullScreen()) << LogText();
    EXPECT_TRUE(wt::WindowsOf(m_process.Id(), kChildClass).empty());
    EXPECT_NE(std::string::npos, LogText().find("Num Monitors: 1")) << LogText();
    wt::PressKey(VK_ESCAPE);
    ExpectCleanEnd();
}

TEST_F(TwoMonitors, TheSecondMonitorIsBlackAndEndsTheRunOnMovementButNotOnAClick) {
    std::vector<RECT> monitors = MonitorRects();
    ASSERT_EQ(2u, monitors.size()) << "this test needs the two-monitor X server";
    const RECT second = {1024, 0, 2048, 768};
    ASSERT_EQ(Describe(second), Describe(monitors[0].left == 0 ? monitors[1] : monitors[0]));
    const RECT primary = {0, 0, 1024, 768};
    const std::string shots = ShotFolder(m_folder);
    const Region desktop = ScreenRegions(shots, "before", {second})[0];
    ASSERT_TRUE(desktop.ok);
    EXPECT_GT(desktop.mean, 0.3) << "the desktop of the second monitor should be grey";

    // The pointer rests over the second monitor when the run starts.
    MovePointer(1400, 300);
    ASSERT_TRUE(StartFullScreen()) << LogText();
    std::vector<HWND> blanking = wt::WindowsOf(m_process.Id(), kChildClass);
    ASSERT_EQ(1u, blanking.size());
    HWND window = blanking[0];
    RECT rect = {};
    GetWindowRect(window, &rect);
    EXPECT_EQ(Describe(second), Describe(rect));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_POPUP);
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ("Zephyl Multimonitor window", title);
    HWND saver = wt::WaitForWindow(m_process.Id(), "ZephylSaver", 0);
    EXPECT_EQ(saver, GetWindow(window, GW_OWNER));
    EXPECT_NE(std::string::npos, LogText().find("Num Monitors: 2")) << LogText();

    // A click over the second monitor does not end the run; nor does a small movement.
    ClickLeft();
    PumpFor(1500);
    EXPECT_TRUE(m_process.Running()) << "a click on the blanking window ended the run";
    MovePointer(1450, 340);
    PumpFor(1500);
    EXPECT_TRUE(m_process.Running()) << "moved 50 px: within the threshold";
    EXPECT_EQ(std::string::npos, LogText().find("Quitting screensaver")) << LogText();

    // The flag fades in on the primary monitor (on a loaded machine's first run, with the
    // renderer's caches still empty, its first frames take seconds); the second monitor is
    // black where the grey desktop was.
    std::vector<Region> shot;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000 && m_process.Running();) {
        shot = ScreenRegions(shots, "two-monitors", {primary, second});
        if (shot[0].ok && shot[0].spread > 0.1) break;
        PumpFor(500);
    }
    ASSERT_EQ(2u, shot.size());
    ASSERT_TRUE(shot[0].ok && shot[1].ok);
    EXPECT_LT(shot[1].mean, 0.01) << "the second monitor is not black";
    EXPECT_GT(shot[0].spread, 0.1) << "no flag on the primary monitor";
    EXPECT_GT(std::abs(shot[0].mean - desktop.mean), 0.1) << "the primary monitor still shows the desktop";
    EXPECT_TRUE(m_process.Running());

    MovePointer(1451, 300);
    ExpectCleanEnd();
    EXPECT_NE(std::string::npos, LogText().find("Mouse moved -- Quitting screensaver")) << LogText();
}

TEST_F(TwoMonitors, BlankAllScreensZeroLeavesTheSecondMonitorShowingTheDesktop) {
    ASSERT_EQ(2u, MonitorRects().size()) << "this test needs the two-monitor X server";
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "BlankAllScreens", 0);
    const RECT second = {1024, 0, 2048, 768};
    MovePointer(500, 400);
    ASSERT_TRUE(StartFullScreen()) << LogText();
    EXPECT_TRUE(wt::WindowsOf(m_process.Id(), kChildClass).empty());
    EXPECT_EQ(std::string::npos, LogText().find("Num Monitors:")) << LogText();
    const Region desktop = ScreenRegions(ShotFolder(m_folder), "blank-all-screens-0", {second})[0];
    ASSERT_TRUE(desktop.ok);
    EXPECT_GT(desktop.mean, 0.3) << "the second monitor should still show the grey desktop";
    wt::PressKey(VK_ESCAPE);
    ExpectCleanEnd();
}

}  // namespace
