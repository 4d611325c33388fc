// The custom music dialog, the about box and the speed-up tips reached the way a user
// reaches them: through the settings dialog of the real ZephylSaver.scr started with /c,
// at 96 and at 144 DPI.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "DialogRunner.h"
#include "support/WineTest.h"

namespace {

const char kSettingsCaption[] = "Zephyl Saver  v 1.0";
const char kMusicCaption[] = "Select Custom Music";
const char kAboutCaption[] = "About Zephyl Saver  v 1.0";
const char kTipsCaption[] = "Speed-Up Tips!";
const char kDesktopKey[] = "Control Panel\\Desktop";
enum { kAbout = 1049, kCustomMusic = 1087, kList = 1103, kAdd = 3, kClear = 5, kUp = 1011, kCredits = 1011 };

std::string Text(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return std::string(text, text + wcslen(text));
}

void Shot(const std::string& name) { uitest::Screenshot(name); }

class DialogsInProgram : public ::testing::Test {
protected:
    void SetUp() override {
        wt::ResetProductState(true);
        for (const char* name : {"ShowSpeedTip", "ShowBugReport", "CrashFlag", "DoChecksum", "CriticalError"})
            wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, name, 0);
        folder_ = wt::InstallCopy("dialogs");
        scr_ = folder_ + "ZephylSaver.scr";
        playlist_ = wt::UserPlaylist();
        SHCreateDirectoryExA(nullptr, wt::UserDataFolder().c_str(), nullptr);
        DeleteFileA(playlist_.c_str());
    }
    void TearDown() override {
        if (process_.Running()) process_.Kill();
        wt::DeleteValue(HKEY_CURRENT_USER, kDesktopKey, "LogPixels");
        DeleteFileA(playlist_.c_str());
        wt::ResetProductState(true);
    }

    // A visible dialog-class window of the program with that caption (a message box when
    // `box`), or null after 20 s.
    HWND WaitFor(const std::string& caption, bool box = false) {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; wt::PumpFor(50))
            for (HWND w : wt::WindowsOf(process_.Id(), "#32770"))
                if (IsWindowVisible(w) && Text(w) == caption && (!box || GetDlgItem(w, 0xFFFF))) {
                    wt::PumpFor(300);
                    return w;
                }
        return nullptr;
    }
    static void Post(HWND dialog, int id) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }
    static void Send(HWND dialog, int id) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }
    static std::vector<std::string> Rows(HWND list) {
        std::vector<std::string> rows;
        const int count = int(SendMessageA(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[300] = {};  // Wine hands list text to another process in wide form
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            rows.push_back(std::string(text, text + wcslen(text)));
        }
        return rows;
    }
    static std::vector<int> Selected(HWND list) {
        std::vector<int> rows;
        const int count = int(SendMessageA(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i)
            if (SendMessageA(list, LB_GETSEL, i, 0) > 0) rows.push_back(i);
        return rows;
    }
    void ExpectEnds() {
        DWORD code = 99;
        ASSERT_TRUE(wt::WaitExitPumping(process_, 15000)) << "the settings dialog did not end";
        process_.WaitExit(0, &code);
        EXPECT_EQ(code, 0u);
    }

    std::string folder_, scr_, playlist_;
    wt::Process process_;
};

TEST_F(DialogsInProgram, CustomMusicFromTheSettingsDialogEditsAndSavesThePlaylist) {
    ASSERT_TRUE(wt::WriteFile(playlist_, "C:\\m\\a.ogg\r\nC:\\m\\b.ogg\r\nC:\\m\\c.ogg\r\n"));
    const std::string mix = folder_ + "mix.m3u";
    ASSERT_TRUE(wt::WriteFile(mix, "#EXTM3U\r\none.ogg\r\ntwo.mp3\r\nthree.ogg\r\n"));
    ASSERT_TRUE(process_.Start(scr_, "/c"));
    HWND settings = WaitFor(kSettingsCaption);
    ASSERT_NE(settings, nullptr) << "no settings dialog";

    Post(settings, kCustomMusic);
    HWND music = WaitFor(kMusicCaption);
    ASSERT_NE(music, nullptr) << "Select Custom Music did not open the dialog";
    HWND list = GetDlgItem(music, kList);
    ASSERT_EQ(Rows(list), (std::vector<std::string>{"a.ogg", "b.ogg", "c.ogg"}));

    // Rows A, B, C with B and C selected: Up gives B, C, A with B and C still selected.
    SendMessageA(list, LB_SETSEL, TRUE, 1);
    SendMessageA(list, LB_SETSEL, TRUE, 2);
    Send(music, kUp);
    EXPECT_EQ(Rows(list), (std::vector<std::string>{"b.ogg", "c.ogg", "a.ogg"}));
    EXPECT_EQ(Selected(list), (std::vector<int>{0, 1}));

    // Delete reaches the dialog through the keyboard hook while a button has the focus.
    SendMessageA(list, LB_SETSEL, FALSE, -1);
    SendMessageA(list, LB_SETSEL, TRUE, 2);
    SetForegroundWindow(music);
    SendMessageA(music, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(music, kClear)), TRUE);
    wt::PumpFor(200);
    wt::PressKey(VK_DELETE);
    for (int i = 0; i < 40 && Rows(list).size() != 2; ++i) wt::PumpFor(50);
    EXPECT_EQ(Rows(list), (std::vector<std::string>{"b.ogg", "c.ogg"}));

    // An .m3u with two .ogg lines and one .mp3 line adds two rows.
    Post(music, kAdd);
    HWND open = WaitFor("Select a song or playlist");
    ASSERT_NE(open, nullptr) << "no open-file dialog";
    SetDlgItemTextA(open, 0x47C, mix.c_str());
    SetDlgItemTextA(open, 0x480, mix.c_str());
    Post(open, IDOK);
    for (int i = 0; i < 100 && IsWindow(open); ++i) wt::PumpFor(50);
    ASSERT_FALSE(IsWindow(open));
    EXPECT_EQ(Rows(list), (std::vector<std::string>{"b.ogg", "c.ogg", "one.ogg", "three.ogg"}));
    EXPECT_EQ(Text(GetDlgItem(music, 1106)), "4\nFiles");
    EXPECT_TRUE(uitest::TooltipShownOver(GetDlgItem(music, kAdd), process_.Id())) << "no tooltip over Add File(s)";
    Shot("program-custom-music");

    // Cancel asks; No keeps the dialog with its changes.
    Post(music, IDCANCEL);
    HWND box = WaitFor("Are you sure?", true);
    ASSERT_NE(box, nullptr) << "Cancel did not ask";
    EXPECT_EQ(Text(GetDlgItem(box, 0xFFFF)), "Are you sure you want to lose your changes?");
    Post(box, IDNO);
    for (int i = 0; i < 40 && IsWindow(box); ++i) wt::PumpFor(50);
    EXPECT_TRUE(IsWindowVisible(music));
    EXPECT_EQ(Rows(list).size(), 4u);

    Post(music, IDOK);
    for (int i = 0; i < 100 && IsWindow(music); ++i) wt::PumpFor(50);
    ASSERT_FALSE(IsWindow(music));
    EXPECT_EQ(wt::ReadFile(playlist_),
              "#EXTM3U\r\n#EXTINF:-1,b\r\nC:\\m\\b.ogg\r\n#EXTINF:-1,c\r\nC:\\m\\c.ogg\r\n"
              "#EXTINF:-1,one\r\n" + folder_ + "one.ogg\r\n#EXTINF:-1,three\r\n" + folder_ + "three.ogg\r\n");

    // Again, emptied: OK deletes the file.
    Post(settings, kCustomMusic);
    music = WaitFor(kMusicCaption);
    ASSERT_NE(music, nullptr);
    Send(music, kClear);
    EXPECT_EQ(Text(GetDlgItem(music, 1106)), "0\nFiles");
    Post(music, IDOK);
    for (int i = 0; i < 100 && IsWindow(music); ++i) wt::PumpFor(50);
    EXPECT_FALSE(wt::FileExists(playlist_)) << "an empty list left the playlist file";

    Post(settings, IDCANCEL);
    ExpectEnds();
}

SIZE SizeOf(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

TEST_F(DialogsInProgram, SlowRunShowsTheTipsThenAboutAndMusicScaleWithTheDpi) {
    struct Sizes {
        SIZE tips, music, about;
    } sizes[2] = {};
    const DWORD dpis[2] = {96, 144};
    for (int d = 0; d < 2; ++d) {
        const std::string dpi = std::to_string(dpis[d]);
        SCOPED_TRACE(dpi + " DPI");
        wt::WriteDword(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", dpis[d]);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowSpeedTip", 1);
        wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "AvgFps", "9.5");
        ASSERT_TRUE(process_.Start(scr_, "/c"));

        // AvgFps 9.5 with ShowSpeedTip 1: the tips come first; Escape switches them off.
        HWND tips = WaitFor(kTipsCaption);
        ASSERT_NE(tips, nullptr) << "a slow last run did not show the tips";
        sizes[d].tips = SizeOf(tips);
        Shot("program-tips-" + dpi);
        SetForegroundWindow(tips);
        wt::PumpFor(200);
        wt::PressKey(VK_ESCAPE);
        HWND settings = WaitFor(kSettingsCaption);
        ASSERT_NE(settings, nullptr);
        EXPECT_FALSE(IsWindow(tips)) << "Escape did not close the tips";
        EXPECT_EQ(wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "ShowSpeedTip").AsDword(), 0u);

        Post(settings, kCustomMusic);
        HWND music = WaitFor(kMusicCaption);
        ASSERT_NE(music, nullptr);
        sizes[d].music = SizeOf(music);
        Shot("program-custom-music-" + dpi);
        Post(music, IDCANCEL);
        HWND box = WaitFor("Are you sure?", true);
        ASSERT_NE(box, nullptr);
        Post(box, IDYES);
        for (int i = 0; i < 100 && IsWindow(music); ++i) wt::PumpFor(50);
        EXPECT_FALSE(IsWindow(music)) << "Yes did not close the dialog";

        Post(settings, kAbout);
        HWND about = WaitFor(kAboutCaption);
        ASSERT_NE(about, nullptr) << "About did not open the about box";
        sizes[d].about = SizeOf(about);
        SetForegroundWindow(about);
        wt::PumpFor(1500);  // the first credit lines rise into view
        std::vector<COLORREF> before = uitest::CaptureScreen(GetDlgItem(about, kCredits));
        Shot("program-about-" + dpi + "-a");
        wt::PumpFor(700);
        std::vector<COLORREF> after = uitest::CaptureScreen(GetDlgItem(about, kCredits));
        Shot("program-about-" + dpi + "-b");
        int changed = 0, text = 0;
        for (size_t i = 0; i < before.size(); ++i) {
            changed += before[i] != after[i];
            text += GetBValue(after[i]) > GetRValue(after[i]) + 40;
        }
        EXPECT_GT(changed, 200) << "the credits stand still";
        EXPECT_GT(text, 100) << "no credits text";
        Post(about, IDOK);
        for (int i = 0; i < 100 && IsWindow(about); ++i) wt::PumpFor(50);
        EXPECT_FALSE(IsWindow(about));

        Post(settings, IDCANCEL);
        ExpectEnds();
        EXPECT_EQ(wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "ShowSpeedTip").AsDword(), 0u)
            << "Cancel in the settings undid the tips' choice";
    }
    // Laid out in dialog units, every box grows with the DPI (144 / 96 = 1.5).
    auto ratio = [](LONG big, LONG small) { return double(big) / double(small); };
    for (auto pick : {&Sizes::tips, &Sizes::music, &Sizes::about}) {
        EXPECT_NEAR(ratio((sizes[1].*pick).cx, (sizes[0].*pick).cx), 1.5, 0.12);
        EXPECT_NEAR(ratio((sizes[1].*pick).cy, (sizes[0].*pick).cy), 1.5, 0.2);
    }
}

}  // namespace
