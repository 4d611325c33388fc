// The real ZephylSaver.scr /c under Wine: the settings dialog shows the registry's values,
// OK stores what the controls say, Cancel stores nothing, the skin picture and its failures,
// F1 through the keyboard hook, tooltips, and a following full-screen run that uses what the
// dialog saved.
#include <windows.h>
#include <commctrl.h>
#include <ddraw.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "content/Bundle.h"
#include "content/BundleWriter.h"
#include "support/SoundRecorder.h"
#include "support/SoundSections.h"
#include "support/WineTest.h"

namespace {

const char kCaption[] = "Zephyl Saver  v 1.0";
const DWORD kOpenMs = 30000;
const DWORD kEndMs = 15000;
const char kProgramDllOverrides[] = "Software\\Wine\\AppDefaults\\ZephylSaver.scr\\DllOverrides";

enum {
    kModes = 1024, kPlayMusic = 1059, kShuffle = 1060, kVolume = 1112, kQuality = 1118,
    kShowQuotes = 1113, kDuration = 1114, kInterval = 1115, kDurationLabel = 1116,
    kIntervalLabel = 1117, kSkin = 1120
};

using Mode = std::tuple<int, int, int>;  // bits, width, height: the list's order

HRESULT WINAPI AddMode(LPDDSURFACEDESC2 d, LPVOID context) {
    static_cast<std::vector<Mode>*>(context)->push_back(
        {int(d->ddpfPixelFormat.dwRGBBitCount), int(d->dwWidth), int(d->dwHeight)});
    return DDENUMRET_OK;
}

// What DirectDraw offers this desktop, as the dialog should list it: every enumerated mode
// of at least 640x480 with 16 or 32 bits, by bits, width and height.
std::vector<std::string> ExpectedModeRows() {
    std::vector<std::string> rows = {"No change"};
    LPDIRECTDRAW7 dd = nullptr;
    if (FAILED(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr))) return rows;
    std::vector<Mode> modes;
    dd->EnumDisplayModes(0, nullptr, &modes, AddMode);
    dd->Release();
    std::stable_sort(modes.begin(), modes.end());
    for (const Mode& m : modes) {
        auto [bits, width, height] = m;
        if (width >= 640 && height >= 480 && bits >= 16 && bits != 24)
            rows.push_back(std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bits));
    }
    return rows;
}

std::string Text(HWND window) {
    char text[512] = {};
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// Every value of the product's key, as type and bytes.
std::map<std::string, std::pair<DWORD, std::string>> Snapshot() {
    std::map<std::string, std::pair<DWORD, std::string>> values;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, wt::kProductKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof name, type = 0, size = 2048;
        BYTE data[2048];
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        values[name] = {type, std::string(reinterpret_cast<char*>(data), size)};
    }
    RegCloseKey(key);
    return values;
}

class ConfigDialog : public ::testing::Test {
protected:
    void SetUp() override {
        wt::ResetProductState(true);
        // Every start writes the crash values as 0; seeded so, they compare unchanged.
        Seed({{"ShowSpeedTip", 0}, {"ShowBugReport", 0}, {"CrashFlag", 0}, {"DoChecksum", 0}, {"CriticalError", 0}});
        folder_ = wt::InstallCopy("config");
        scr_ = folder_ + "ZephylSaver.scr";
        ASSERT_TRUE(wt::FileExists(scr_)) << scr_;
    }
    void TearDown() override {
        if (process_.Running()) process_.Kill();
        wt::DeleteValue(HKEY_CURRENT_USER, kProgramDllOverrides, "ddraw");
        wt::ResetProductState(true);
    }

    void Seed(const std::vector<std::pair<const char*, uint32_t>>& dwords,
              const std::vector<std::pair<const char*, const char*>>& texts = {}) {
        for (const auto& v : dwords) wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, v.first, v.second);
        for (const auto& v : texts) wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, v.first, v.second);
    }
    uint32_t Dword(const char* name) { return wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, name).AsDword(); }
    std::string String(const char* name) { return wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, name).AsString(); }

    // The settings OK stores, as the registry holds them.
    struct Stored {
        uint32_t playMusic, shuffleMusic, showQuotes;
        std::string musicVol;
        uint32_t quality, quoteDuration, quoteInterval;
        std::string width, height, bits;
    };
    void ExpectStored(const Stored& s) {
        EXPECT_EQ(Dword("PlayMusic"), s.playMusic);
        EXPECT_EQ(Dword("ShuffleMusic"), s.shuffleMusic);
        EXPECT_EQ(Dword("ShowQuotes"), s.showQuotes);
        EXPECT_EQ(String("MusicVol"), s.musicVol);
        EXPECT_EQ(Dword("Quality"), s.quality);
        EXPECT_EQ(Dword("QuoteDuration"), s.quoteDuration);
        EXPECT_EQ(Dword("QuoteInterval"), s.quoteInterval);
        EXPECT_EQ(String("DispModeWidth"), s.width);
        EXPECT_EQ(String("DispModeHeight"), s.height);
        EXPECT_EQ(String("DispModeBits"), s.bits);
    }

    // The settings dialog once it is on screen (not a message box before it), or null.
    HWND WaitForSettings() {
        for (DWORD start = GetTickCount(); GetTickCount() - start < kOpenMs; wt::PumpFor(100)) {
            for (HWND window : wt::WindowsOf(process_.Id(), "#32770")) {
                if (IsWindowVisible(window) && Text(window) == kCaption) {
                    wt::PumpFor(300);
                    return window;
                }
            }
        }
        return nullptr;
    }
    // The skin picture sits in the top left corner, reaches almost to the controls beside
    // it and down to the dialog's foot, and no visible control overlaps it.
    void ExpectSkinFillsItsColumn() {
        RECT skin, client;
        GetWindowRect(Item(kSkin), &skin);
        MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&skin), 2);
        GetClientRect(dialog_, &client);
        EXPECT_EQ(skin.left, 0);
        EXPECT_EQ(skin.top, 0);
        EXPECT_GE(skin.bottom, client.bottom - 2) << "the picture stops short of the dialog's foot";
        EXPECT_NE(SendMessageA(Item(kSkin), BM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "no picture on the button";
        LONG nearest = client.right;
        for (HWND c = GetWindow(dialog_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            if (c == Item(kSkin) || !IsWindowVisible(c)) continue;
            RECT r, overlap;
            GetWindowRect(c, &r);
            MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
            nearest = std::min(nearest, r.left);
            EXPECT_FALSE(IntersectRect(&overlap, &r, &skin)) << "control " << GetDlgCtrlID(c) << " (" << Text(c)
                                                              << ") sits on the skin picture";
            EXPECT_LE(r.right, client.right) << "control " << GetDlgCtrlID(c) << " is cut off";
            EXPECT_LE(r.bottom, client.bottom) << "control " << GetDlgCtrlID(c) << " is cut off";
        }
        EXPECT_GE(skin.right, nearest * 9 / 10) << "the picture leaves a wide gap beside it";
    }

    // Starts /c and returns the settings dialog.
    HWND Open() { return process_.Start(scr_, "/c") ? WaitForSettings() : nullptr; }
    HWND Item(int id) { return GetDlgItem(dialog_, id); }
    int Position(int id) { return int(SendMessageA(Item(id), TBM_GETPOS, 0, 0)); }
    bool Checked(int id) { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        const int count = int(SendMessageA(Item(kModes), LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            // Wine hands list box text to another process in the list's own (wide) form.
            wchar_t text[64] = {};
            SendMessageW(Item(kModes), LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            rows.push_back(std::string(text, text + wcslen(text)));
        }
        return rows;
    }
    std::string SelectedRow() {
        const int row = int(SendMessageA(Item(kModes), LB_GETCURSEL, 0, 0));
        std::vector<std::string> rows = Rows();
        return row >= 0 && row < int(rows.size()) ? rows[row] : "(none)";
    }
    // What a click on a row does: select it and tell the dialog.
    void SelectRow(int row) {
        SendMessageA(Item(kModes), LB_SETCURSEL, row, 0);
        SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(kModes, LBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(kModes)));
    }
    // Moves a duration bar the way dragging its thumb does.
    void Drag(int id, int position) {
        SendMessageA(Item(id), TBM_SETPOS, TRUE, position);
        SendMessageA(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), reinterpret_cast<LPARAM>(Item(id)));
        SendMessageA(dialog_, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(Item(id)));
    }
    void Press(int id) { PostMessageA(Item(id), BM_CLICK, 0, 0); }
    void ExpectEnds() {
        DWORD code = 99;
        ASSERT_TRUE(process_.WaitExit(kEndMs, &code)) << "the dialog did not end";
        EXPECT_EQ(code, 0u);
    }

    std::string folder_, scr_;
    wt::Process process_;
    HWND dialog_ = nullptr;
};

TEST_F(ConfigDialog, ShowsTheRegistryAndOkWithoutChangesSavesItNormalised) {
    Seed({{"PlayMusic", 0}, {"ShuffleMusic", 1}, {"ShowQuotes", 1}, {"Quality", 512}, {"QuoteDuration", 12},
          {"QuoteInterval", 3}},
         {{"MusicVol", "200"}, {"DispModeWidth", "800"}, {"DispModeHeight", "600"}, {"DispModeBits", "16"}});
    ASSERT_TRUE(dialog_ = Open()) << "no dialog captioned \"" << kCaption << "\"";

    EXPECT_FALSE(Checked(kPlayMusic));
    EXPECT_TRUE(Checked(kShuffle));
    EXPECT_TRUE(Checked(kShowQuotes));
    EXPECT_EQ(Position(kVolume), 55);
    EXPECT_EQ(Position(kQuality), 0);
    EXPECT_EQ(Position(kDuration), 2);
    EXPECT_EQ(Position(kInterval), 0);
    EXPECT_EQ(Text(Item(kDurationLabel)), "Show each quote for 10 secs");
    EXPECT_EQ(Text(Item(kIntervalLabel)), "Time between quotes: 0 secs");
    for (int id : {kShowQuotes, kDuration, kInterval, kDurationLabel, kIntervalLabel})
        EXPECT_FALSE(IsWindowVisible(Item(id))) << "quote control " << id << " is shown";
    EXPECT_EQ(Rows(), ExpectedModeRows());
    EXPECT_EQ(SelectedRow(), "800x600x16");

    ExpectSkinFillsItsColumn();

    // One tooltip per control, each with its text; the pointer resting on "Help!" shows one.
    const struct {
        int id;
        const char* text;
    } kTips[] = {
        {1087, "Click here to select custom music"},
        {1059, "Play music when the screensaver runs"},
        {1060, "Randomly shuffle the order of the music"},
        {1112, "Adjusts music volume"},
        {1024, "Display modes (smaller numbers are faster, higher numbers look better)"},
        {1048, "View help on configuring this screensaver"},
        {1034, "Click to obtain support for this product"},
        {1118, "Changes the visual quality of the flag"},
        {1049, "About Zephyl Saver1.0"},
        {1120, "Click to visit Telmoro Software's website"},
        {1089, "Click to see Telmoro Software's current special offers!"},
        {1095, "Click to check for updates to this product"},
        {IDOK, "Click to save your settings and exit"},
        {IDCANCEL, "Click to discard your changes and exit"},
    };
    EXPECT_EQ(wt::WindowsOf(process_.Id(), "tooltips_class32").size(), 14u);
    const std::map<HWND, std::string> tips = wt::TooltipTextsOf(process_.Id());
    EXPECT_EQ(tips.size(), 14u);
    for (const auto& tip : kTips) {
        auto found = tips.find(Item(tip.id));
        EXPECT_TRUE(found != tips.end() && found->second == tip.text)
            << "control " << tip.id << ": expected \"" << tip.text << "\", got "
            << (found == tips.end() ? std::string("no tooltip") : "\"" + found->second + "\"");
    }
    RECT help;
    GetWindowRect(Item(1048), &help);
    SetCursorPos((help.left + help.right) / 2, (help.top + help.bottom) / 2);
    INPUT nudge = {};
    nudge.type = INPUT_MOUSE;
    nudge.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &nudge, sizeof nudge);
    HWND shown = nullptr;
    for (int i = 0; i < 40 && !shown; ++i) {
        wt::PumpFor(100);
        for (HWND tip : wt::WindowsOf(process_.Id(), "tooltips_class32"))
            if (IsWindowVisible(tip)) shown = tip;
    }
    EXPECT_NE(shown, nullptr) << "no tooltip appeared over Help!";
    SetCursorPos(5, 5);

    SelectRow(0);
    Press(IDOK);
    ExpectEnds();
    ExpectStored({0, 1, 1, "200", 2048, 10, 0, "0", "0", "0"});
}

TEST_F(ConfigDialog, TheLayoutHoldsAtEachScreenDpi) {
    const char* const desktop = "Control Panel\\Desktop";
    const wt::RegValue before = wt::ReadValue(HKEY_CURRENT_USER, desktop, "LogPixels");
    for (uint32_t dpi : {96u, 120u, 144u}) {
        SCOPED_TRACE(std::to_string(dpi) + " DPI");
        ASSERT_TRUE(wt::WriteDword(HKEY_CURRENT_USER, desktop, "LogPixels", dpi));
        ASSERT_TRUE(dialog_ = Open());
        ExpectSkinFillsItsColumn();
        Press(IDCANCEL);
        ExpectEnds();
    }
    if (before.exists)
        wt::WriteRaw(HKEY_CURRENT_USER, desktop, "LogPixels", before.type, before.data.data(), DWORD(before.data.size()));
    else
        wt::DeleteValue(HKEY_CURRENT_USER, desktop, "LogPixels");
}

TEST_F(ConfigDialog, OkStoresEveryChangedControl) {
    Seed({{"PlayMusic", 1}, {"ShuffleMusic", 0}, {"ShowQuotes", 0}, {"Quality", 1024}, {"QuoteDuration", 300},
          {"QuoteInterval", 150}},
         {{"MusicVol", "255"}, {"DispModeWidth", "0"}, {"DispModeHeight", "0"}, {"DispModeBits", "0"}});
    ASSERT_TRUE(dialog_ = Open());
    EXPECT_EQ(Position(kQuality), 2);
    EXPECT_EQ(Position(kVolume), 0);
    EXPECT_EQ(Text(Item(kDurationLabel)), "Show each quote for 5 mins");
    EXPECT_EQ(Text(Item(kIntervalLabel)), "Time between quotes: 2 mins, 30 secs");
    EXPECT_EQ(SelectedRow(), "No change");

    Press(kPlayMusic);
    Press(kShuffle);
    SendMessageA(Item(kShowQuotes), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(Item(kVolume), TBM_SETPOS, TRUE, 100);
    SendMessageA(Item(kQuality), TBM_SETPOS, TRUE, 1);
    Drag(kDuration, 1);
    Drag(kInterval, 13);
    EXPECT_EQ(Text(Item(kDurationLabel)), "Show each quote for 5 secs");
    EXPECT_EQ(Text(Item(kIntervalLabel)), "Time between quotes: 1 min, 5 secs");
    const std::vector<std::string> rows = Rows();
    ASSERT_GT(rows.size(), 1u) << "no display modes listed";
    SelectRow(int(rows.size()) - 1);
    unsigned width = 0, height = 0, bits = 0;
    ASSERT_EQ(sscanf(rows.back().c_str(), "%ux%ux%u", &width, &height, &bits), 3) << rows.back();
    wt::PumpFor(200);
    Press(IDOK);
    ExpectEnds();

    ExpectStored({0, 1, 1, "155", 1536, 5, 65, std::to_string(width), std::to_string(height), std::to_string(bits)});
}

TEST_F(ConfigDialog, CancelLeavesTheRegistryAlone) {
    Seed({{"PlayMusic", 1}, {"Quality", 1536}, {"QuoteDuration", 12}},
         {{"MusicVol", "200"}, {"DispModeWidth", "800"}, {"DispModeHeight", "600"}, {"DispModeBits", "16"}});
    const auto before = Snapshot();
    ASSERT_TRUE(dialog_ = Open());
    Press(kPlayMusic);
    SendMessageA(Item(kVolume), TBM_SETPOS, TRUE, 0);
    Drag(kDuration, 30);
    SelectRow(0);
    wt::PumpFor(200);
    Press(IDCANCEL);
    ExpectEnds();
    const auto after = Snapshot();
    EXPECT_EQ(after.size(), before.size());
    for (const auto& v : before) {
        auto found = after.find(v.first);
        ASSERT_NE(found, after.end()) << v.first << " disappeared";
        EXPECT_EQ(found->second, v.second) << v.first << " changed";
    }
}

// Sends what the shell opens for ".htm" files and "http" addresses to a file. Wine reads
// file types and protocols from the machine's classes key only: the handlers are put there
// and the earlier ones restored afterwards.
class ShellOpenRecorder {
public:
    explicit ShellOpenRecorder(const std::string& folder) : out_(folder + "opened.txt") {
        DeleteFileA(out_.c_str());
        const std::string command = "C:\\windows\\system32\\cmd.exe /c echo %1>>\"" + out_ + "\"";
        htmExisted_ = wt::KeyExists(HKEY_LOCAL_MACHINE, kHtm);
        htm_ = wt::ReadValue(HKEY_LOCAL_MACHINE, kHtm, "");
        http_ = wt::ReadValue(HKEY_LOCAL_MACHINE, kHttpCommand, "");
        wt::WriteString(HKEY_LOCAL_MACHINE, kHtm, "", "ZephylTest.Page");
        wt::WriteString(HKEY_LOCAL_MACHINE, kPageCommand, "", command);
        wt::WriteString(HKEY_LOCAL_MACHINE, kHttpCommand, "", command);
    }
    ~ShellOpenRecorder() {
        wt::DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Classes\\ZephylTest.Page");
        if (!htmExisted_) wt::DeleteTree(HKEY_LOCAL_MACHINE, kHtm);
        Restore(kHtm, htm_);
        Restore(kHttpCommand, http_);
    }
    // Waits for the `count`th line the handler writes; "" when none comes.
    std::string Line(size_t count) {
        for (int i = 0; i < 100; ++i) {
            std::vector<std::string> lines = wt::Lines(wt::ReadFile(out_));
            while (!lines.empty() && lines.back().empty()) lines.pop_back();
            if (lines.size() >= count) {
                std::string line = lines[count - 1];
                while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
                return line;
            }
            wt::PumpFor(100);
        }
        return "";
    }

private:
    static constexpr const char* kHtm = "Software\\Classes\\.htm";
    static constexpr const char* kPageCommand = "Software\\Classes\\ZephylTest.Page\\shell\\open\\command";
    static constexpr const char* kHttpCommand = "Software\\Classes\\http\\shell\\open\\command";
    static void Restore(const char* key, const wt::RegValue& value) {
        if (value.exists)
            wt::WriteRaw(HKEY_LOCAL_MACHINE, key, "", value.type, value.data.data(), DWORD(value.data.size()));
        else
            wt::DeleteValue(HKEY_LOCAL_MACHINE, key, "");
    }
    std::string out_;
    bool htmExisted_ = false;
    wt::RegValue htm_, http_;
};

TEST_F(ConfigDialog, HelpAndWebPagesOpenAndF1ReachesTheDialogWhileAButtonHasTheFocus) {
    // A help file in the old format is opened with the system's help viewer; without one,
    // the HTML help beside the program opens.
    const std::string oldHelp = folder_ + "ZEPHYL.HLP";
    ASSERT_TRUE(wt::WriteFile(oldHelp, "?_\x03\x00 not a real help file"));
    ShellOpenRecorder shell(folder_);
    ASSERT_TRUE(dialog_ = Open());

    auto pressF1 = [&](const char* when) {
        SetForegroundWindow(dialog_);
        SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDOK)), TRUE);
        wt::PumpFor(300);
        std::vector<DWORD> before;
        if (DWORD earlier = wt::WaitForProcessNamed("winhlp32.exe", 0)) before.push_back(earlier);
        wt::PressKey(VK_F1);
        DWORD viewer = wt::WaitForProcessNamed("winhlp32.exe", 10000, before);
        EXPECT_NE(viewer, 0u) << "F1 did not open the help " << when;
        wt::Process help;
        if (viewer && help.Attach(viewer)) help.Kill();
    };
    pressF1("at first");
    // The custom music dialog takes the keyboard hook over; F1 works again after it.
    PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(1087, BN_CLICKED), reinterpret_cast<LPARAM>(Item(1087)));
    wt::PumpFor(500);
    if (HWND nested = GetLastActivePopup(dialog_); nested != dialog_) {
        PostMessageA(nested, WM_COMMAND, IDCANCEL, 0);
        wt::PumpFor(500);  // Cancel there asks "Are you sure?": Yes
        if (HWND box = GetLastActivePopup(nested); box != nested) PostMessageA(box, WM_COMMAND, IDYES, 0);
    }
    wt::PumpFor(500);
    pressF1("after the custom music dialog");

    ASSERT_TRUE(DeleteFileA(oldHelp.c_str()));
    Press(1048);
    EXPECT_EQ(shell.Line(1), folder_ + "ZephylSaver.htm");
    Press(1034);
    EXPECT_EQ(shell.Line(2), "http://www.telmoro.com/support/");
    Press(1089);
    EXPECT_EQ(shell.Line(3), "http://www.telmoro.com/specials.htm");
    Press(kSkin);
    EXPECT_EQ(shell.Line(4), "http://www.telmoro.com/");

    EXPECT_TRUE(IsWindow(dialog_));
    Press(IDCANCEL);
    ExpectEnds();
}

// The program file with its appended bundle replaced by `bundle` (none when empty).
bool RewriteSkin(const std::string& scr, const std::vector<uint8_t>& picture, const char* name) {
    uint32_t imageSize = 0;
    {
        Bundle bundle;
        if (!bundle.Open(scr)) return false;
        imageSize = UINT32_MAX;
        for (size_t c = 0; c < bundle.CategoryCount(); ++c)
            for (size_t e = 0; e < bundle.Category(c)->EntryCount(); ++e)
                imageSize = std::min(imageSize, bundle.Category(c)->Entry(e)->Offset());
    }
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(scr, bytes) || imageSize >= bytes.size()) return false;
    bytes.resize(imageSize);
    if (name) {
        BundleWriter writer(imageSize);
        writer.BeginCategory("skin");
        writer.AddEntry(name, picture);
        std::vector<uint8_t> bundle = writer.Finish();
        bytes.insert(bytes.end(), bundle.begin(), bundle.end());
    }
    return WriteWholeFile(scr, bytes);
}

TEST_F(ConfigDialog, SkinFailuresShowTheirBoxThenAWorkingDialogUnlessThePictureIsDamaged) {
    const std::vector<uint8_t> notAPicture = {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'};
    const struct {
        const char* entry;  // null: no bundle at all
        const char* text;
        bool dialogFollows;
    } cases[] = {
        {nullptr, "Error opening menu graphic! File probably corrupt.\nTry re-installing or re-downloading this screensaver", true},
        {"other.jpg", "Error reading menu graphic! File probably corrupt.\nTry re-installing or re-downloading this screensaver", true},
        {"menuskin.jpg", "Error loading menu graphic! File probably corrupt.\nTry re-installing or re-downloading this screensaver", false},
    };
    const std::string pristine = wt::ReadFile(scr_);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry ? c.entry : "no bundle");
        ASSERT_TRUE(wt::WriteFile(scr_, pristine));
        ASSERT_TRUE(RewriteSkin(scr_, notAPicture, c.entry));
        const auto before = Snapshot();
        ASSERT_TRUE(process_.Start(scr_, "/c"));
        wt::MessageBoxInfo box;
        ASSERT_TRUE(wt::WaitForMessageBox(process_.Id(), kOpenMs, box));
        EXPECT_EQ(box.caption, "ERROR");
        EXPECT_EQ(box.text, c.text);
        wt::PressOk(box.window);
        if (c.dialogFollows) {
            ASSERT_TRUE(dialog_ = WaitForSettings());
            wt::PumpFor(300);
                    EXPECT_EQ(Rows(), ExpectedModeRows());
            EXPECT_EQ(SendMessageA(Item(kSkin), BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
            Press(IDOK);
            ExpectEnds();
        } else {
            ExpectEnds();
            EXPECT_EQ(Snapshot(), before) << "the ended dialog saved settings";
        }
    }
}


TEST_F(ConfigDialog, WithoutDirectDrawTheListOffersOnlyNoChange) {
    Seed({}, {{"DispModeWidth", "800"}, {"DispModeHeight", "600"}, {"DispModeBits", "16"}});
    ASSERT_TRUE(CopyFileA((wt::WindowsPath(ZEPHYL_FAILING_DDRAW_DIR) + "ddraw.dll").c_str(), (folder_ + "ddraw.dll").c_str(), FALSE));
    // Wine takes a program's DLL load order from its registry, not from the environment
    // a parent passes on: the program prefers the DLL beside it while this test runs.
    ASSERT_TRUE(wt::WriteString(HKEY_CURRENT_USER, kProgramDllOverrides, "ddraw", "native,builtin"));
    const bool started = process_.Start(scr_, "/c");
    ASSERT_TRUE(started);

    wt::MessageBoxInfo box;
    ASSERT_TRUE(wt::WaitForMessageBox(process_.Id(), kOpenMs, box));
    EXPECT_EQ(box.caption, "ERROR");
    EXPECT_EQ(box.text, "There was a problem initializing DirectDraw.");
    wt::PressOk(box.window);
    ASSERT_TRUE(dialog_ = WaitForSettings());
    wt::PumpFor(300);
    EXPECT_EQ(Rows(), std::vector<std::string>{"No change"});
    EXPECT_EQ(SelectedRow(), "No change");
    Press(IDOK);
    ExpectEnds();
    EXPECT_NE(wt::LogText().find("DirectDrawCreateEx failed"), std::string::npos) << wt::LogText();
    EXPECT_EQ(String("DispModeWidth"), "800") << "OK changed a mode nobody chose";
}

// The dialog's choices reach the next full-screen run: its display mode, the music on and
// at the chosen volume, then (after a second visit to the dialog) no music.
TEST_F(ConfigDialog, TheNextRunUsesWhatTheDialogSaved) {
    const double amplitude = 0.5;
    const std::string song = folder_ + "tone.wav";
    ASSERT_TRUE(wt::WriteFile(song, wt::ToneWav(6.0, 440, amplitude)));
    ASSERT_TRUE(wt::WriteFile(wt::UserPlaylist(), "#EXTM3U\r\n" + song + "\r\n"));
    Seed({{"PlayMusic", 0}, {"DefaultMusic", 0}, {"CustomMusic", 1}, {"ShowQuotes", 0}},
         {{"MusicVol", "255"}, {"DispModeWidth", "0"}, {"DispModeHeight", "0"}, {"DispModeBits", "0"}});
    DEVMODEA desktop = {};
    desktop.dmSize = sizeof desktop;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &desktop));
    const std::string wanted = desktop.dmPelsWidth == 640 ? "800x600x16" : "640x480x16";

    ASSERT_TRUE(dialog_ = Open());
    const std::vector<std::string> rows = Rows();
    int row = -1;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i] == wanted) row = int(i);
    ASSERT_GE(row, 0) << wanted << " is not offered";
    SelectRow(row);
    Press(kPlayMusic);
    SendMessageA(Item(kVolume), TBM_SETPOS, TRUE, 191);  // a quarter of full volume
    wt::PumpFor(200);
    Press(IDOK);
    ExpectEnds();
    ASSERT_EQ(String("MusicVol"), "64");

    auto run = [&](double* peak, DWORD* width) {
        wt::SoundRecorder recorder;
        ASSERT_TRUE(recorder.Start(folder_));
        wt::Process saver;
        ASSERT_TRUE(saver.Start(scr_, "/s"));
        ASSERT_TRUE(wt::WaitForLog("Entering main loop...", 60000)) << wt::LogText();
        wt::PumpFor(2500);
        DEVMODEA now = {};
        now.dmSize = sizeof now;
        EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &now);
        *width = now.dmPelsWidth;
        wt::Recording recording;
        EXPECT_TRUE(recorder.Stop(recording));
        *peak = wt::Peak(recording);
        printf("run: %lu pixels wide, peak %.3f of full scale\n", static_cast<unsigned long>(*width), *peak);
        wt::PressKey(VK_ESCAPE);
        ASSERT_TRUE(wt::WaitExitPumping(saver, kEndMs)) << wt::LogText();
    };
    double peak = 0;
    DWORD width = 0;
    run(&peak, &width);
    EXPECT_EQ(std::to_string(width), wanted.substr(0, wanted.find('x'))) << "the run kept the desktop's mode";
    // Volume 64 of 255: a quarter of the song's own level (less when panned to the middle).
    EXPECT_GT(peak, amplitude * 0.1) << "no music was heard";
    EXPECT_LT(peak, amplitude * 0.32) << "the music played louder than the chosen volume";

    ASSERT_TRUE(dialog_ = Open());
    EXPECT_TRUE(Checked(kPlayMusic));
    Press(kPlayMusic);
    wt::PumpFor(200);
    Press(IDOK);
    ExpectEnds();
    run(&peak, &width);
    EXPECT_LT(peak, 0.01) << "music played although it was switched off";
    DeleteFileA(wt::UserPlaylist().c_str());
}

}  // namespace
