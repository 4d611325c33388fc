// The real ZephylSaver.scr under Wine with quotations on: a full-screen run (its default
// 800 x 600 x 16 mode) shows three quotes in a row, each found in grabs of the screen while
// it is fully visible and gone in the pause after it (the grabs are timed by the log's
// "Showing quote" lines), without adding its caption font to other programs' font tables,
// then ends cleanly on a key; and a run
// whose picture bundle is missing tells the user and fails its start-up cleanly.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "support/ScreenShot.h"
#include "support/WineTest.h"

namespace {

using wt::Shot;

const DWORD kStartMs = 60000;
const char* const kShowing = "Showing quote ";

std::string ShotPath(const std::string& name) { return wt::WindowsPath(QUOTE_SHOT_DIR) + name; }

int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Waits until the log holds `count` lines with `what`; false on time-out.
bool WaitForCount(const std::string& what, int count, DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        if (CountOf(wt::LogText(), what) >= count) return true;
        wt::PumpFor(20);
    }
    return false;
}

Shot GrabScreen() {
    HDC screen = GetDC(nullptr);
    Shot s = wt::GrabDC(screen, 0, 0, 800, 600);
    ReleaseDC(nullptr, screen);
    return s;
}

// Mean difference per channel between two grabs inside r.
double MeanDifference(const Shot& a, const Shot& b, const RECT& r) {
    double sum = 0;
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x, ++n) {
            const uint32_t p = a.At(x, y), q = b.At(x, y);
            sum += std::abs(Shot::R(p) - Shot::R(q)) + std::abs(Shot::G(p) - Shot::G(q)) +
                   std::abs(Shot::B(p) - Shot::B(q));
        }
    return n ? sum / (3.0 * n) : 0;
}

class QuoteProgram : public ::testing::Test {
protected:
    void SetUp() override {
        wt::ResetProductState(true);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic", 0);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowQuotes", 1);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "QuoteInterval", 3);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "QuoteDuration", 6);
        DeleteFileA(wt::LogPath().c_str());
        folder = wt::InstallCopy("quotes");
        SetCursorPos(300, 300);
    }
    void TearDown() override {
        if (process.Running()) process.Kill();
        ChangeDisplaySettingsA(nullptr, 0);
    }
    std::string folder;
    wt::Process process;
};

}  // namespace

TEST_F(QuoteProgram, ShowsThreeQuotesInARowThenEndsCleanly) {
    ASSERT_TRUE(process.Start(folder + "ZephylSaver.scr", "/s"));
    ASSERT_TRUE(wt::WaitForLog("Entering main loop...", kStartMs)) << wt::LogText();
    // The picture's place in an 800 x 600 frame (the picture at -1.2, 3 units deep), inset,
    // and the caption's.
    const RECT picture = {110, 230, 280, 370};
    const RECT caption = {470, 250, 700, 350};
    int found = 0;
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(WaitForCount(kShowing, i, 30000)) << "quote " << i << "; log:\n" << wt::LogText();
        // Fully visible from 1.5 s to 4.5 s of its 6 s: the middle, with 1.5 s on each side
        // (the show's time never runs ahead of the wall clock).
        wt::PumpFor(3000);
        const Shot full = GrabScreen();
        ASSERT_EQ(CountOf(wt::LogText(), kShowing), i) << "quote " << i << " was over before its grab";
        // The pause: 3 s between the end of the fade-out and the next "Showing quote" line.
        // The last grab taken before that line is in the pause, the quote gone for seconds.
        Shot pause;
        for (const DWORD start = GetTickCount(); GetTickCount() - start < 40000;) {
            wt::PumpFor(250);
            Shot grab = GrabScreen();
            if (CountOf(wt::LogText(), kShowing) > i) break;
            pause = grab;
        }
        ASSERT_GT(CountOf(wt::LogText(), kShowing), i) << "no quote followed quote " << i;
        wt::SaveBmp(full, ShotPath("program-quote" + std::to_string(i) + "-full.bmp"));
        wt::SaveBmp(pause, ShotPath("program-quote" + std::to_string(i) + "-pause.bmp"));
        if (full.width == 0 || pause.width == 0) continue;
        const double pictureChange = MeanDifference(full, pause, picture);
        const double captionChange = MeanDifference(full, pause, caption);
        EXPECT_GT(pictureChange, 25.0) << "quote " << i << ": the picture covers the flag";
        EXPECT_GT(captionChange, 4.0) << "quote " << i << ": the caption and its backdrop";
        if (pictureChange > 25.0) ++found;
    }
    EXPECT_EQ(found, 3);
    wt::PressKey('A');
    DWORD exitCode = 1;
    ASSERT_TRUE(wt::WaitExitPumping(process, 15000)) << wt::LogText();
    process.WaitExit(0, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(0u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag").AsDword());
    EXPECT_EQ(0u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError").AsDword());
    const std::string log = wt::LogText();
    for (const char* line : {"Getting images", "Getting quotes", "Loading shadow texture", "Setting up quote show",
                             "Calling quoteShow->SetImages()", "Calling quoteShow->Init()",
                             "Successfully exiting CleanUp()"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_EQ(log.find("Could not"), std::string::npos) << log;
    EXPECT_EQ(log.find("(no picture)"), std::string::npos) << log;
}

TEST_F(QuoteProgram, MissingPictureBundleTellsTheUserAndFailsTheStart) {
    // The failed start is not offered as an error report here: that has tests of its own.
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowBugReport", 0);
    ASSERT_TRUE(DeleteFileA((folder + "images.bdl").c_str()));
    ASSERT_TRUE(process.Start(folder + "ZephylSaver.scr", "/s"));
    std::vector<wt::MessageBoxInfo> boxes;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 90000 && !process.WaitExit(0)) {
        wt::MessageBoxInfo info;
        if (wt::WaitForMessageBox(process.Id(), 500, info)) {
            boxes.push_back(info);
            wt::PressOk(info.window);
            Sleep(300);
        }
    }
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "ERROR");
    EXPECT_EQ(boxes[0].text, "Could not open image bundle!");
    EXPECT_EQ(boxes[1].text, "Problem encountered in initStates().");
    const std::string log = wt::LogText();
    EXPECT_NE(log.find("Could not open the image bundle!"), std::string::npos) << log;
    EXPECT_NE(log.find("Deleting graphics object"), std::string::npos) << log;
    EXPECT_TRUE(process.WaitExit(5000)) << "the program ends after the failed start";
}
