// The signed release's screen saver under Wine (run by signed-release.sh with
// ZEPHYL_TEST_DIST naming the signed build's dist/): its settings dialog still finds the
// skin bundle in front of the certificate, and its installed-file check, written after
// signing, passes after a crashed run.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/ScreenShot.h"
#include "support/WineTest.h"

namespace {

const char kCaption[] = "Zephyl Saver  v 1.0";
const int kSkinButton = 1120;

std::string Text(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

class SignedRelease : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(GetEnvironmentVariableA("ZEPHYL_TEST_DIST", nullptr, 0), 0u) << "run by signed-release.sh";
        wt::ResetProductState(true);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowSpeedTip", 0);
        folder_ = wt::InstallCopy("signed");
        scr_ = folder_ + "ZephylSaver.scr";
        ASSERT_TRUE(wt::FileExists(scr_)) << scr_;
    }
    void TearDown() override {
        if (process_.Running()) process_.Kill();
        wt::ResetProductState(true);
    }
    std::string folder_, scr_;
    wt::Process process_;
};

TEST_F(SignedRelease, SettingsDialogShowsTheSkin) {
    ASSERT_TRUE(process_.Start(scr_, "/c"));
    HWND dialog = nullptr;
    wt::MessageBoxInfo box;
    for (DWORD start = GetTickCount(); !dialog && GetTickCount() - start < 60000; wt::PumpFor(100)) {
        for (HWND w : wt::WindowsOf(process_.Id(), "#32770")) {
            if (!IsWindowVisible(w)) continue;
            if (Text(w) == kCaption) dialog = w;
            else if (wt::ReadMessageBox(w, box) && !box.text.empty()) FAIL() << box.caption << ": " << box.text;
        }
    }
    ASSERT_NE(dialog, nullptr) << "no settings dialog";
    wt::PumpFor(500);
    HWND skin = GetDlgItem(dialog, kSkinButton);
    EXPECT_NE(SendMessageA(skin, BM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "no picture on the button";
    RECT r;
    GetWindowRect(skin, &r);
    EXPECT_GT(r.right - r.left, 100) << "the button keeps its template size: no picture was fitted";
    // What the user sees there: the skin's night blue and the gold of its sun.
    SetForegroundWindow(dialog);
    wt::PumpFor(500);
    HDC screen = GetDC(nullptr);
    const wt::Shot shot = wt::GrabDC(screen, r.left, r.top, r.right - r.left, r.bottom - r.top);
    ReleaseDC(nullptr, screen);
    int gold = 0, night = 0;
    for (uint32_t p : shot.pixels) {
        gold += wt::Shot::R(p) > 200 && wt::Shot::G(p) > 140 && wt::Shot::G(p) < 210 && wt::Shot::B(p) < 110;
        night += wt::Shot::R(p) < 50 && wt::Shot::G(p) < 80 && wt::Shot::B(p) > 70 && wt::Shot::B(p) < 130;
    }
    EXPECT_GT(gold, int(shot.pixels.size()) / 50) << "no gold sun in the skin";
    EXPECT_GT(night, int(shot.pixels.size()) / 4) << "no night-blue field in the skin";
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(process_.WaitExit(20000));
}

TEST_F(SignedRelease, InstalledFileCheckPassesAfterACrash) {
    ASSERT_TRUE(wt::InstallCheckSumList(folder_));
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag", 1);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "DoChecksum", 1);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowBugReport", 0);
    DeleteFileA(wt::LogPath().c_str());
    ASSERT_TRUE(process_.Start(scr_, "/x"));
    DWORD code = 99;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000 && !process_.WaitExit(200, &code);) {
        wt::MessageBoxInfo box;
        if (wt::WaitForMessageBox(process_.Id(), 0, box)) {
            wt::PressOk(box.window);
            FAIL() << box.caption << ": " << box.text;
        }
    }
    ASSERT_FALSE(process_.Running());
    EXPECT_EQ(code, 0u);
    const std::string log = wt::LogText();
    EXPECT_NE(log.find("Installed files intact: "), std::string::npos) << log;
    EXPECT_NE(log.find("Zephyl Saver started."), std::string::npos) << log;
}

}  // namespace
