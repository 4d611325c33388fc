// The about box and the speed-up tips on a thread of the test, with the program's own
// templates: the caption, the links and tooltip, the credits moving over the stars, and
// every way out of the tips with what it stores.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "DialogRunner.h"
#include "core/SaverState.h"
#include "core/Vendor.h"
#include "support/WineTest.h"
#include "ui/AboutBox.h"

namespace {

enum { kLink = 1073, kCredits = 1011, kWebsite = 1012 };

struct Census {
    int black = 0, grey = 0, text = 0, other = 0;
};
Census Count(const std::vector<COLORREF>& pixels) {
    Census c;
    for (COLORREF p : pixels) {
        int r = GetRValue(p), g = GetGValue(p), b = GetBValue(p);
        if (p == 0) ++c.black;
        else if (r == g && g == b && (r == 255 || r == 205 || r == 155 || r == 105)) ++c.grey;
        else if (b > r + 40 && b > g + 40) ++c.text;  // the blue-violet credits, antialiased
        else ++c.other;
    }
    return c;
}

TEST(AboutBox, ShowsCaptionLinksAndCreditsMovingOverTheStars) {
    ASSERT_TRUE(uitest::UseProgramResources());
    uitest::DialogThread run([] { RunAboutBox(nullptr); });
    HWND box = uitest::WaitForDialog("About Zephyl Saver  v 1.0");
    ASSERT_NE(box, nullptr) << "no about box with the product's caption";
    EXPECT_EQ(uitest::TextOf(GetDlgItem(box, kLink)), kVendorHost);
    EXPECT_EQ(uitest::TextOf(GetDlgItem(box, kWebsite)), kVendorHost);
    EXPECT_EQ(GetPropA(GetDlgItem(box, kLink), "_Hyperlink_From_Static_"), reinterpret_cast<HANDLE>(1));

    EXPECT_EQ(uitest::TooltipText(GetDlgItem(box, kWebsite)), "Click to visit Telmoro Software's website");

    SetForegroundWindow(box);
    HWND credits = GetDlgItem(box, kCredits);
    Sleep(1500);  // the first lines rise into view
    std::vector<COLORREF> first = uitest::CaptureScreen(credits);
    uitest::Screenshot("about-1");
    Sleep(700);
    std::vector<COLORREF> second = uitest::CaptureScreen(credits);
    uitest::Screenshot("about-2");
    Census a = Count(first);
    Census b = Count(second);
    EXPECT_GT(a.black, int(first.size()) * 7 / 10) << "the credits are not drawn on black";
    EXPECT_GE(a.grey, 40) << "too few stars";
    EXPECT_LE(a.grey, 106);
    EXPECT_GT(a.text, 100) << "no credits text";
    EXPECT_GT(b.text, 100);
    EXPECT_EQ(a.other + b.other < int(first.size()) / 20, true) << "unexpected colours";
    int changed = 0;
    for (size_t i = 0; i < first.size(); ++i) changed += first[i] != second[i];
    EXPECT_GT(changed, 200) << "the credits did not move";

    uitest::PostClick(box, IDOK);
    EXPECT_TRUE(run.WaitDone(3000)) << "OK did not close the about box";
}

TEST(SpeedTips, EscapeNeverAgainAndTheCloseBoxSwitchTheTipsOffContinueKeepsThem) {
    ASSERT_TRUE(uitest::UseProgramResources());
    const struct {
        const char* way;
        int expected;
    } ways[] = {{"Escape", 0}, {"Never show this window again!", 0}, {"close box", 0}, {"Continue", 1}};
    for (const auto& w : ways) {
        SCOPED_TRACE(w.way);
        wt::ResetProductState(false);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowSpeedTip", 1);
        ss = new SaverState;
        ss->LoadSettings();
        {
            uitest::DialogThread run([] { RunSpeedTips(nullptr); });
            HWND tips = uitest::WaitForDialog("Speed-Up Tips!");
            ASSERT_NE(tips, nullptr);
            EXPECT_EQ(uitest::TextOf(GetDlgItem(tips, IDCANCEL)), "Never show this window again!");
            EXPECT_EQ(uitest::TextOf(GetDlgItem(tips, IDOK)), "Continue");
            if (std::string(w.way) == "Escape") {
                uitest::Screenshot("speed-tips");
                SetForegroundWindow(tips);
                Sleep(200);
                wt::PressKey(VK_ESCAPE);
            } else if (std::string(w.way) == "close box") {
                PostMessageA(tips, WM_SYSCOMMAND, SC_CLOSE, 0);
            } else {
                uitest::PostClick(tips, std::string(w.way) == "Continue" ? IDOK : IDCANCEL);
            }
            EXPECT_TRUE(run.WaitDone(3000)) << "the tips stayed open";
        }
        EXPECT_EQ(ss->ShowSpeedTip, w.expected);
        wt::RegValue stored = wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "ShowSpeedTip");
        EXPECT_EQ(stored.AsDword(), uint32_t(w.expected));
        delete ss;
        ss = nullptr;
    }
    wt::ResetProductState(true);
}

}  // namespace
