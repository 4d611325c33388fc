// The custom music dialog on a thread of the test, with the program's own template: the
// rows of the user's playlist, Add File(s) through the real open-file dialog (one playlist,
// 500 files, a damaged and a huge playlist), Remove, Delete through the keyboard hook,
// Up/Down with the selection, the tooltips, OK writing the playlist and Cancel's question.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "DialogRunner.h"
#include "core/Globals.h"
#include "support/WineTest.h"
#include "ui/CustomMusicDialog.h"

namespace {

const char* const kCaption = "Select Custom Music";
const char* const kOpenCaption = "Select a song or playlist";
enum { kList = 1103, kAdd = 3, kRemove = 4, kClear = 5, kUp = 1011, kDown = 1012, kCount = 1106 };
// The explorer-style dialog's file-name box: a combo box (cmb13) or, in older layouts, an
// edit control (edt1).
void SetFileName(HWND open, const std::string& text) {
    SetDlgItemTextA(open, 0x47C, text.c_str());
    SetDlgItemTextA(open, 0x480, text.c_str());
}

class CustomMusic : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(uitest::UseProgramResources());
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "zephyl_custom_music_" + std::to_string(GetTickCount()) + "\\";
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
        Paths.customPlaylist = folder_ + "listener.M3U";
        IsWin2kOrLater = true;
        PrepareSongOpenDialogs(nullptr);
    }
    void TearDown() override {
        run_.reset();
        std::string from = folder_.substr(0, folder_.size() - 1) + '\0';
        SHFILEOPSTRUCTA remove = {};
        remove.wFunc = FO_DELETE;
        remove.pFrom = from.c_str();
        remove.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
        SHFileOperationA(&remove);
    }

    void Open() {
        run_.reset(new uitest::DialogThread([] { RunCustomMusicDialog(nullptr); }));
        dialog_ = uitest::WaitForDialog(kCaption);
        ASSERT_NE(dialog_, nullptr) << "no custom music dialog";
        list_ = GetDlgItem(dialog_, kList);
    }
    bool Ended() { return run_->WaitDone(5000); }

    // "Add File(s)": opens `folder` in the open-file dialog, which must list `count` files,
    // selects them all and presses Open; returns once the dialog is gone.
    void ChooseEveryFileIn(const std::string& folder, int count) {
        HWND open = OpenFileDialog();
        ASSERT_NE(open, nullptr);
        SetFileName(open, folder);
        uitest::PostClick(open, IDOK);  // goes into the folder
        HWND view = nullptr;
        for (int i = 0; i < 200; ++i) {
            HWND shell = FindWindowExA(open, nullptr, "SHELLDLL_DefView", nullptr);
            view = shell ? FindWindowExA(shell, nullptr, "SysListView32", nullptr) : nullptr;
            if (view && SendMessageA(view, LVM_GETITEMCOUNT, 0, 0) == count) break;
            Sleep(50);
        }
        ASSERT_NE(view, nullptr);
        ASSERT_EQ(SendMessageA(view, LVM_GETITEMCOUNT, 0, 0), count);
        LVITEMA all = {};
        all.stateMask = LVIS_SELECTED;
        all.state = LVIS_SELECTED;
        SendMessageA(view, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&all));
        Sleep(300);
        uitest::PostClick(open, IDOK);
        for (int i = 0; i < 200 && IsWindow(open); ++i) Sleep(50);
        ASSERT_FALSE(IsWindow(open));
    }

    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        int n = int(SendMessageA(list_, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            std::string text(size_t(SendMessageA(list_, LB_GETTEXTLEN, i, 0)) + 1, '\0');
            SendMessageA(list_, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
            text.resize(strlen(text.c_str()));
            rows.push_back(text);
        }
        return rows;
    }
    std::string Entry(int row) {
        LRESULT data = SendMessageA(list_, LB_GETITEMDATA, row, 0);
        if (data == LB_ERR || data == 0) return "<none>";
        return *reinterpret_cast<std::string*>(data);
    }
    std::vector<int> Selection() {
        int n = int(SendMessageA(list_, LB_GETSELCOUNT, 0, 0));
        std::vector<int> rows(size_t(n > 0 ? n : 0));
        if (n > 0) SendMessageA(list_, LB_GETSELITEMS, n, reinterpret_cast<LPARAM>(rows.data()));
        return rows;
    }
    void Select(std::initializer_list<int> rows) {
        SendMessageA(list_, LB_SETSEL, FALSE, -1);
        for (int r : rows) SendMessageA(list_, LB_SETSEL, TRUE, r);
    }
    std::string CountLabel() { return uitest::TextOf(GetDlgItem(dialog_, kCount)); }

    // Add File(s), then `choose` in the open-file dialog and press Open.
    HWND OpenFileDialog() {
        uitest::PostClick(dialog_, kAdd);
        return uitest::WaitForDialog(kOpenCaption);
    }
    void AddThroughDialog(const std::string& typed) {
        HWND open = OpenFileDialog();
        ASSERT_NE(open, nullptr) << "no open-file dialog";
        EXPECT_NE(GetPropA(open, "OFN"), nullptr) << "the hook did not mark the dialog";
        SetFileName(open, typed);
        uitest::PostClick(open, IDOK);
        for (int i = 0; i < 200 && IsWindow(open); ++i) Sleep(50);
        ASSERT_FALSE(IsWindow(open)) << "the open-file dialog stayed open";
        SendMessageA(dialog_, WM_NULL, 0, 0);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(wt::WriteFile(folder_ + name, bytes));
        return folder_ + name;
    }

    std::string folder_;
    std::unique_ptr<uitest::DialogThread> run_;
    HWND dialog_ = nullptr;
    HWND list_ = nullptr;
};

TEST_F(CustomMusic, MissingPlaylistShowsAnEmptyListAndOkLeavesNoFile) {
    Open();
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(CountLabel(), "0\nFiles");
    uitest::Screenshot("custom-music-empty");
    uitest::PostClick(dialog_, IDOK);
    ASSERT_TRUE(Ended());
    EXPECT_FALSE(wt::FileExists(Paths.customPlaylist));
}

TEST_F(CustomMusic, PlaylistChosenInEitherFileDialogAddsItsSoundEntries) {
    for (bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "wide dialog" : "narrow dialog");
        IsWin2kOrLater = wide;
        DeleteFileA(Paths.customPlaylist.c_str());
        Write("mix.m3u", "#EXTM3U\r\none.ogg\r\ntwo.mp3\r\nsub\\three.OGG\r\n");
        Open();
        AddThroughDialog(folder_ + "mix.m3u");
        EXPECT_EQ(Rows(), (std::vector<std::string>{"one.ogg", "three.OGG"}));
        EXPECT_EQ(Entry(1), folder_ + "sub\\three.OGG");
        EXPECT_EQ(CountLabel(), "2\nFiles");

        // Any other file is added as it is.
        Write("notes.txt", "x");
        AddThroughDialog(folder_ + "notes.txt");
        EXPECT_EQ(Rows(), (std::vector<std::string>{"one.ogg", "three.OGG", "notes.txt"}));
        uitest::PostClick(dialog_, IDOK);
        ASSERT_TRUE(Ended());
    }
}

TEST_F(CustomMusic, FiveHundredFilesSelectedAtOnceAreAllAdded) {
    std::string many = folder_ + "many\\";
    CreateDirectoryA(many.c_str(), nullptr);
    for (int i = 0; i < 500; ++i) Write("many\\song" + std::to_string(1000 + i) + ".ogg", "");
    Open();
    ASSERT_NO_FATAL_FAILURE(ChooseEveryFileIn(many, 500));
    EXPECT_EQ(uitest::WaitForMessageBox("Error", 300), nullptr) << "the buffer did not grow";
    SendMessageA(dialog_, WM_NULL, 0, 0);
    std::vector<std::string> rows = Rows();
    ASSERT_EQ(rows.size(), 500u);
    std::vector<std::string> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted.front(), "song1000.ogg");
    EXPECT_EQ(sorted.back(), "song1499.ogg");
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
    EXPECT_EQ(CountLabel(), "500\nFiles");
}

// A name outside the system code page (Chinese on a Western system) is kept by its short
// path, which the narrow playlist holds and which opens the file; never as "??.ogg".
TEST_F(CustomMusic, NamesTheCodePageCannotHoldAreKeptByTheirShortPath) {
    IsWin2kOrLater = true;
    const std::string songs = folder_ + "songs\\";
    ASSERT_TRUE(CreateDirectoryA(songs.c_str(), nullptr));
    const std::wstring chinese = std::wstring(songs.begin(), songs.end()) + L"\u4f60\u597d.ogg";
    HANDLE f = CreateFileW(chinese.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD wrote = 0;
    WriteFile(f, "chinese song", 12, &wrote, nullptr);
    CloseHandle(f);
    Write("songs\\plain.ogg", "plain song");
    char plainTest[8] = {};
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, 0, L"\u4f60", 1, plainTest, sizeof plainTest, nullptr, &lossy);
    ASSERT_TRUE(lossy) << "the system code page holds the name: nothing to test";

    Open();
    ASSERT_NO_FATAL_FAILURE(ChooseEveryFileIn(songs, 2));
    EXPECT_EQ(uitest::WaitForMessageBox("Error", 300), nullptr) << "a file was refused";
    SendMessageA(dialog_, WM_NULL, 0, 0);
    ASSERT_EQ(Rows().size(), 2u);
    for (const std::string& row : Rows()) EXPECT_EQ(row.find('?'), std::string::npos) << row;
    uitest::PostClick(dialog_, IDOK);
    ASSERT_TRUE(Ended());

    std::vector<std::string> contents;
    for (const std::string& line : wt::Lines(wt::ReadFile(Paths.customPlaylist))) {
        if (line.empty() || line[0] == '#') continue;
        bool opened = false;
        contents.push_back(wt::ReadFile(line, &opened));
        EXPECT_TRUE(opened) << "the playlist holds a path that opens nothing: " << line;
    }
    std::sort(contents.begin(), contents.end());
    EXPECT_EQ(contents, (std::vector<std::string>{"chinese song", "plain song"}));
}

TEST_F(CustomMusic, DamagedAndHugePlaylistsAddWhatTheyHold) {
    std::string damaged("#EXTM3U\r\nok.ogg\r\n\0\xff\xfe\x01garbage.ogg\r\n\0\0", 36);
    Write("damaged.m3u", damaged);
    Write("broken.b4s", "<entry Playstring=\"file:a.ogg\"/><entry Playstring=\"file:never");
    std::string huge = "[playlist]\n";
    for (int i = 1; i <= 20000; ++i) huge += "File" + std::to_string(i) + "=C:\\songs\\t" + std::to_string(i) + ".ogg\n";
    huge += "NumberOfEntries=20000\nVersion=2";
    Write("huge.pls", huge);
    Open();
    AddThroughDialog(folder_ + "damaged.m3u");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"ok.ogg"}));
    AddThroughDialog(folder_ + "broken.b4s");
    EXPECT_EQ(Rows().size(), 2u);
    AddThroughDialog(folder_ + "huge.pls");
    ASSERT_EQ(SendMessageA(list_, LB_GETCOUNT, 0, 0), 20002);
    EXPECT_EQ(Entry(20001), "C:\\songs\\t20000.ogg");
    EXPECT_EQ(CountLabel(), "20002\nFiles");
}

TEST_F(CustomMusic, UpDownRemoveAndDeleteKeepTheRightRowsAndSelection) {
    Write("listener.M3U", "a.ogg\r\nb.ogg\r\nc.ogg\r\nd.ogg\r\n");
    Open();
    ASSERT_EQ(Rows(), (std::vector<std::string>{"a.ogg", "b.ogg", "c.ogg", "d.ogg"}));
    EXPECT_EQ(CountLabel(), "4\nFiles");
    const struct {
        std::initializer_list<int> select;
        int button;
        std::vector<std::string> rows;
        std::vector<int> selected;
    } steps[] = {
        {{1, 2}, kUp, {"b.ogg", "c.ogg", "a.ogg", "d.ogg"}, {0, 1}},
        {{0, 1}, kUp, {"b.ogg", "c.ogg", "a.ogg", "d.ogg"}, {0, 1}},    // first row selected: nothing
        {{0}, kDown, {"c.ogg", "b.ogg", "a.ogg", "d.ogg"}, {1}},
        {{3}, kDown, {"c.ogg", "b.ogg", "a.ogg", "d.ogg"}, {3}},        // last row selected: nothing
        {{0, 2}, kDown, {"b.ogg", "c.ogg", "d.ogg", "a.ogg"}, {1, 3}},
        {{}, kUp, {"b.ogg", "c.ogg", "d.ogg", "a.ogg"}, {}},
        {{1, 3}, kRemove, {"b.ogg", "d.ogg"}, {}},
        {{}, kRemove, {"b.ogg", "d.ogg"}, {}},
    };
    for (const auto& step : steps) {
        Select(step.select);
        uitest::Click(dialog_, step.button);
        EXPECT_EQ(Rows(), step.rows) << "button " << step.button;
        EXPECT_EQ(Selection(), step.selected) << "button " << step.button;
    }
    EXPECT_EQ(Entry(1), folder_ + "d.ogg") << "a row's entry did not travel with it";
    EXPECT_EQ(CountLabel(), "2\nFiles");

    // Delete reaches the dialog through the keyboard hook while a button has the focus.
    Select({0});
    SetForegroundWindow(dialog_);
    SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog_, kClear)), TRUE);
    Sleep(200);
    wt::PressKey(VK_DELETE);
    for (int i = 0; i < 40 && Rows().size() != 1; ++i) Sleep(50);
    EXPECT_EQ(Rows(), std::vector<std::string>{"d.ogg"});
    EXPECT_EQ(CountLabel(), "1\nFiles");

    // Delete typed into the open-file dialog is the file name's, not the list's.
    Select({0});
    HWND open = OpenFileDialog();
    ASSERT_NE(open, nullptr);
    SetForegroundWindow(open);
    Sleep(200);
    wt::PressKey(VK_DELETE);
    Sleep(300);
    uitest::PostClick(open, IDCANCEL);
    for (int i = 0; i < 100 && IsWindow(open); ++i) Sleep(20);
    EXPECT_EQ(Rows(), std::vector<std::string>{"d.ogg"}) << "Delete in the open-file dialog removed a row";

    uitest::Click(dialog_, kClear);
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(CountLabel(), "0\nFiles");
}

TEST_F(CustomMusic, OkWritesTheListAsM3uWithLongEntriesWholeAndAnEmptyListDeletesIt) {
    const std::string longName = std::string(280, 'x') + ".ogg";
    Write("listener.M3U", "C:\\Music\\song one.ogg\r\n\\\\server\\share\\b.wav\r\n" + longName + "\r\n");
    Open();
    ASSERT_EQ(Rows().size(), 3u);
    uitest::PostClick(dialog_, IDOK);
    ASSERT_TRUE(Ended());
    EXPECT_EQ(wt::ReadFile(Paths.customPlaylist),
              "#EXTM3U\r\n"
              "#EXTINF:-1,song one\r\nC:\\Music\\song one.ogg\r\n"
              "#EXTINF:-1,b\r\n\\\\server\\share\\b.wav\r\n"
              "#EXTINF:-1," + std::string(280, 'x') + "\r\n" + folder_ + longName + "\r\n");

    Open();
    uitest::Click(dialog_, kClear);
    uitest::PostClick(dialog_, IDOK);
    ASSERT_TRUE(Ended());
    EXPECT_FALSE(wt::FileExists(Paths.customPlaylist));
}

TEST_F(CustomMusic, CancelAsksAndNoKeepsTheChanges) {
    const std::string before = "a.ogg\r\nb.ogg\r\n";
    Write("listener.M3U", before);
    Open();
    uitest::Click(dialog_, kClear);
    uitest::PostClick(dialog_, IDCANCEL);
    HWND box = uitest::WaitForMessageBox("Are you sure?");
    ASSERT_NE(box, nullptr) << "no question";
    EXPECT_EQ(uitest::TextOf(GetDlgItem(box, 0xFFFF)), "Are you sure you want to lose your changes?");
    EXPECT_NE(GetDlgItem(box, IDYES), nullptr);
    EXPECT_NE(GetDlgItem(box, IDNO), nullptr);
    uitest::Screenshot("custom-music-cancel");
    uitest::PostClick(box, IDNO);
    for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
    EXPECT_TRUE(IsWindowVisible(dialog_)) << "No closed the dialog";
    EXPECT_TRUE(Rows().empty()) << "No lost the changes";

    uitest::PostClick(dialog_, IDCANCEL);
    box = uitest::WaitForMessageBox("Are you sure?");
    ASSERT_NE(box, nullptr);
    uitest::PostClick(box, IDYES);
    ASSERT_TRUE(Ended());
    EXPECT_EQ(wt::ReadFile(Paths.customPlaylist), before);
}

TEST_F(CustomMusic, FiveButtonsCarryTheirTooltips) {
    Open();
    const struct {
        int id;
        const char* text;
    } tips[] = {
        {kAdd, "Click to add songs to your playlist"},
        {kClear, "Click to remove all songs from your playlist"},
        {kRemove, "Click to remove the selected songs from the playlist"},
        {kUp, "Click to move the selected files up in the play order"},
        {kDown, "Click to move the selected files down in the play order"},
    };
    for (const auto& tip : tips) EXPECT_EQ(uitest::TooltipText(GetDlgItem(dialog_, tip.id)), tip.text);

    uitest::PostClick(dialog_, IDOK);
    ASSERT_TRUE(Ended());
    EXPECT_TRUE(wt::WindowsOf(GetCurrentProcessId(), "tooltips_class32").empty()) << "tooltips outlived the dialog";
}

}  // namespace
