// Drives the real ZephylSaver.scr in preview mode under Wine: a child of a 152x112 window
// made by the test, drawn into, with no mode switch and no saver-running notice, deaf to
// input, and gone soon after its host window is destroyed.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/SoundRecorder.h"
#include "support/WineTest.h"

namespace {

using wt::LogText;
using wt::PumpFor;
using wt::RunningOnWine;
using wt::WaitExitPumping;
using wt::WaitForLog;

const DWORD kStartMs = 60000;
const COLORREF kHostColour = RGB(255, 0, 255);
const int kHostWidth = 152;
const int kHostHeight = 112;

HWND WaitForChild(HWND parent, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND child = FindWindowExA(parent, nullptr, "ZephylSaver", nullptr);
        if (child) return child;
        if (GetTickCount() - start >= ms) return nullptr;
        PumpFor(50);
    }
}

std::string ModeString() {
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    return std::to_string(mode.dmPelsWidth) + "x" + std::to_string(mode.dmPelsHeight) + "x" +
           std::to_string(mode.dmBitsPerPel);
}

// Share of the window's client pixels on screen that are not the host's colour.
double ShareNotHostColour(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    HDC screen = GetDC(nullptr);
    int total = 0, other = 0;
    for (int y = 2; y < client.bottom; y += 4)
        for (int x = 2; x < client.right; x += 4) {
            ++total;
            if (GetPixel(screen, origin.x + x, origin.y + y) != kHostColour) ++other;
        }
    ReleaseDC(nullptr, screen);
    return total ? static_cast<double>(other) / total : 0.0;
}

// The frame count the run logs when its main loop ends; -1 when the line is missing.
long FramesDrawn(const std::string& log) {
    const std::string marker = "Frames drawn: ";
    size_t at = log.find(marker);
    if (at == std::string::npos) return -1;
    return std::strtol(log.c_str() + at + marker.size(), nullptr, 10);
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

class SaverPreview : public ::testing::Test {
protected:
    void SetUp() override {
        wt::ResetProductState(true);
        // Music on in the settings: a preview must stay silent anyway.
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic", 1);
        DeleteFileA(wt::LogPath().c_str());
        m_folder = wt::InstallCopy("preview");
        m_exe = m_folder + "ZephylSaver.scr";
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = HostProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hbrBackground = CreateSolidBrush(kHostColour);
        windowClass.lpszClassName = "PreviewHost";
        RegisterClassA(&windowClass);
        m_host = CreateWindowExA(0, "PreviewHost", "Display settings", WS_POPUP | WS_VISIBLE, 200, 200,
                                 kHostWidth, kHostHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, m_host);
        PumpFor(200);
    }

    void TearDown() override {
        if (m_host && IsWindow(m_host)) DestroyWindow(m_host);
        m_process.Kill();
        DeleteFileA(wt::UserPlaylist().c_str());
    }

    HWND m_host = nullptr;
    std::string m_folder;
    std::string m_exe;
    wt::Process m_process;
};

TEST_F(SaverPreview, DrawsInsideTheHostWithoutTouchingTheDisplayAndEndsWithTheHost) {
    std::string args = "/p " + std::to_string(reinterpret_cast<UINT_PTR>(m_host));
    ASSERT_TRUE(m_process.Start(m_exe, args));
    HWND child = WaitForChild(m_host, kStartMs);
    ASSERT_NE(nullptr, child) << LogText();
    ASSERT_TRUE(WaitForLog("Entering main loop...", kStartMs)) << LogText();
    PumpFor(1500);

    EXPECT_EQ(m_host, GetParent(child));
    EXPECT_TRUE(GetWindowLongA(child, GWL_STYLE) & WS_CHILD);
    RECT client = {};
    GetClientRect(child, &client);
    EXPECT_EQ(kHostWidth, client.right);
    EXPECT_EQ(kHostHeight, client.bottom);
    char title[64] = {};
    GetWindowTextA(child, title, sizeof title);
    EXPECT_STREQ("Zephyl Saver", title);

    EXPECT_EQ("1024x768x32", ModeString());
    // Wine keeps the notice in its volatile registry key (and caches it per process).
    EXPECT_NE("1", wt::ReadValue(HKEY_CURRENT_USER,
                                 "Software\\Wine\\Temporary System Parameters\\Control Panel\\Desktop",
                                 "WINE_ScreenSaverRunning").AsString());
    EXPECT_TRUE(wt::WindowsOf(m_process.Id(), "ZephylSaver").empty()) << "no top-level saver window";
    // Known platform difference: under Wine the drawing of a child window that belongs to
    // another process does not reach the screen (the host's background shows), so the
    // frames are counted from the log at the end instead.
    if (!RunningOnWine())
        EXPECT_GT(ShareNotHostColour(child), 0.5) << "the preview's frames do not show on the screen";

    std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("Creating preview window via CreateWindow()"));
    EXPECT_EQ(std::string::npos, log.find("ChangeDisplaySettings"));
    EXPECT_EQ(std::string::npos, log.find("Requested mode:"));
    // The registry's music setting is left as it was.
    EXPECT_EQ(1u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic").AsDword());

    // Input never ends a preview.
    PostMessageA(child, WM_KEYDOWN, 'A', 0);
    PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    PostMessageA(child, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    SetCursorPos(900, 700);
    PumpFor(1000);
    EXPECT_TRUE(m_process.Running());

    DestroyWindow(m_host);
    m_host = nullptr;
    EXPECT_TRUE(WaitExitPumping(m_process, 3000)) << "the preview outlived its host by 3 s";
    EXPECT_EQ(0u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError").AsDword());
    EXPECT_EQ(0u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag").AsDword());
    EXPECT_GT(FramesDrawn(LogText()), 10) << LogText();
}

TEST_F(SaverPreview, AHandleThatIsNotAWindowEndsTheRunQuietly) {
    DestroyWindow(m_host);
    HWND gone = m_host;
    m_host = nullptr;
    ASSERT_TRUE(m_process.Start(m_exe, "/p " + std::to_string(reinterpret_cast<UINT_PTR>(gone))));
    EXPECT_TRUE(WaitExitPumping(m_process, 20000)) << LogText();
    EXPECT_TRUE(wt::WindowsOf(m_process.Id(), "#32770").empty());
    EXPECT_EQ(0u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError").AsDword());
    EXPECT_NE(std::string::npos, LogText().find("Preview parent window is not a window"));
}

TEST_F(SaverPreview, NeverPlaysMusic) {
    // Music on, from the user's playlist and the bundle: a full-screen run would start the
    // tone at once.
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CustomMusic", 1);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "DefaultMusic", 1);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShuffleMusic", 0);
    wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "MusicVol", "255");
    std::string song = m_folder + "tone.wav";
    ASSERT_TRUE(wt::WriteFile(song, wt::ToneWav(3.0, 440)));
    ASSERT_TRUE(wt::WriteFile(wt::UserPlaylist(), song + "\r\n"));

    wt::SoundRecorder recorder;
    ASSERT_TRUE(recorder.Start(m_folder)) << "parec did not start recording";
    ASSERT_TRUE(m_process.Start(m_exe, "/p " + std::to_string(reinterpret_cast<UINT_PTR>(m_host))));
    ASSERT_NE(nullptr, WaitForChild(m_host, kStartMs)) << LogText();
    ASSERT_TRUE(WaitForLog("Entering main loop...", kStartMs)) << LogText();
    PumpFor(2500);
    wt::PressKey(VK_RIGHT);  // the arrow keys cannot start it either
    PumpFor(500);
    wt::Recording recording;
    ASSERT_TRUE(recorder.Stop(recording)) << "nothing was recorded";

    std::vector<wt::Section> heard = wt::Sections(recording, {440});
    ASSERT_EQ(1u, heard.size()) << wt::Describe(heard, {440});
    EXPECT_EQ(wt::kSilent, heard[0].tone) << wt::Describe(heard, {440});
    EXPECT_LT(wt::Peak(recording), 0.01);
    std::string log = LogText();
    EXPECT_EQ(std::string::npos, log.find("initSound")) << log;
    EXPECT_EQ(std::string::npos, log.find("Attempting to open file"));

    DestroyWindow(m_host);
    m_host = nullptr;
    EXPECT_TRUE(WaitExitPumping(m_process, 3000)) << "the preview outlived its host by 3 s";
    // The setting itself stays on.
    EXPECT_EQ(1u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic").AsDword());
}

}  // namespace
