// Hyperlinks, tooltips and the dialog keyboard hook on real dialogs of this process.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/WineTest.h"
#include "ui/Hyperlink.h"
#include "ui/KeyboardHook.h"
#include "ui/Tooltip.h"

namespace {

enum { kLinkA = 101, kLinkB = 102, kPlain = 103, kButton = 104 };

// An in-memory dialog template: a caption, two statics to convert, a plain static, a button.
class Template {
public:
    Template() {
        DLGTEMPLATE head = {};
        head.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT | WS_VISIBLE;
        head.cdit = 4;
        head.cx = 200;
        head.cy = 100;
        Add(&head, sizeof head);
        Word(0);  // menu
        Word(0);  // class
        Text(L"Helpers");
        Word(9);
        Text(L"Arial");
        Item(kLinkA, 0x0082, SS_LEFT, 10, 10, 80, 10, L"first link");
        Item(kLinkB, 0x0082, SS_LEFT, 10, 25, 80, 10, L"second link");
        Item(kPlain, 0x0082, SS_LEFT, 10, 40, 80, 10, L"plain text");
        Item(kButton, 0x0080, BS_PUSHBUTTON | WS_TABSTOP, 10, 60, 50, 14, L"Button");
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_bytes.data()); }

private:
    void Add(const void* p, size_t n) {
        const auto* b = static_cast<const char*>(p);
        m_bytes.insert(m_bytes.end(), b, b + n);
    }
    void Word(WORD w) { Add(&w, sizeof w); }
    void Text(const wchar_t* s) { Add(s, (wcslen(s) + 1) * sizeof(wchar_t)); }
    void Align() { while (m_bytes.size() % 4) m_bytes.push_back(0); }
    void Item(WORD id, WORD cls, DWORD style, short x, short y, short cx, short cy, const wchar_t* text) {
        Align();
        DLGITEMTEMPLATE item = {};
        item.style = WS_CHILD | WS_VISIBLE | style;
        item.x = x; item.y = y; item.cx = cx; item.cy = cy; item.id = id;
        Add(&item, sizeof item);
        Word(0xFFFF);
        Word(cls);
        Text(text);
        Word(0);
    }
    std::vector<char> m_bytes;
};

struct Key { HWND to; UINT message; WPARAM key; };
std::vector<Key> g_keys;

INT_PTR CALLBACK RecordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_KEYDOWN || message == WM_KEYUP) g_keys.push_back({dialog, message, wParam});
    return message == WM_INITDIALOG;
}

// Moves the pointer; Wine reports the move to the window below only after an input event.
void MovePointer(int x, int y) {
    wt::MovePointer(x, y);
    wt::PumpFor(200);
}

class DialogHelpers : public ::testing::Test {
protected:
    void SetUp() override {
        g_keys.clear();
        dialog_ = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), tmpl_.Get(), nullptr, RecordingProc, 0);
        ASSERT_NE(dialog_, nullptr);
        originalDialogProc_ = GetWindowLongPtrA(dialog_, GWLP_WNDPROC);
        wt::PumpFor(100);
    }
    void TearDown() override {
        RemoveDialogKeyHook();
        if (IsWindow(dialog_)) DestroyWindow(dialog_);
    }
    HWND Item(int id) { return GetDlgItem(dialog_, id); }
    HFONT Font(int id) { return reinterpret_cast<HFONT>(SendMessageA(Item(id), WM_GETFONT, 0, 0)); }
    COLORREF TextColourOf(int id) {
        HDC dc = CreateCompatibleDC(nullptr);
        SetTextColor(dc, RGB(1, 2, 3));
        SendMessageA(dialog_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Item(id)));
        COLORREF colour = GetTextColor(dc);
        DeleteDC(dc);
        return colour;
    }
    // Delivers a key press the way a user makes it: through the input queue.
    void PressWithFocusOn(int id, WORD key) {
        SetForegroundWindow(dialog_);
        SetFocus(Item(id));
        wt::PumpFor(100);
        ASSERT_EQ(GetFocus(), Item(id));
        wt::PressKey(key);
        wt::PumpFor(300);
    }
    static bool Saw(HWND to, UINT message, WPARAM key) {
        for (const Key& k : g_keys)
            if (k.to == to && k.message == message && k.key == key) return true;
        return false;
    }
    bool SawKeyDown(WPARAM key) { return Saw(dialog_, WM_KEYDOWN, key); }

    Template tmpl_;
    HWND dialog_ = nullptr;
    LONG_PTR originalDialogProc_ = 0;
};

TEST_F(DialogHelpers, TwoLinksSubclassTheDialogOnceAndShowDarkBlue) {
    HFONT font = Font(kLinkA);
    ASSERT_TRUE(MakeHyperlink(dialog_, kLinkA));
    const LONG_PTR parentProc = GetWindowLongPtrA(dialog_, GWLP_WNDPROC);
    ASSERT_TRUE(MakeHyperlink(dialog_, kLinkB));
    EXPECT_NE(parentProc, originalDialogProc_);
    EXPECT_EQ(GetWindowLongPtrA(dialog_, GWLP_WNDPROC), parentProc) << "second link subclassed the dialog again";
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetPropA(dialog_, "_Hyperlink_Original_Proc_")), originalDialogProc_);

    for (int id : {kLinkA, kLinkB}) {
        HWND link = Item(id);
        EXPECT_EQ(TextColourOf(id), 0xC00000u) << id;
        EXPECT_TRUE(GetWindowLongPtrA(link, GWL_STYLE) & SS_NOTIFY) << id;
        EXPECT_EQ(GetPropA(link, "_Hyperlink_From_Static_"), reinterpret_cast<HANDLE>(1)) << id;
        EXPECT_NE(GetPropA(link, "_Hyperlink_Original_Proc_"), nullptr) << id;
        EXPECT_EQ(GetPropA(link, "_Hyperlink_Original_Font_"), font) << id;
        LOGFONTA underline = {};
        ASSERT_TRUE(GetObjectA(GetPropA(link, "_Hyperlink_Underline_Font_"), sizeof underline, &underline)) << id;
        EXPECT_TRUE(underline.lfUnderline) << id;
    }
    EXPECT_EQ(TextColourOf(kPlain), GetSysColor(COLOR_WINDOWTEXT)) << "a plain static is not in the dialog's colour";
}

TEST_F(DialogHelpers, PointerOverALinkUnderlinesItAndLeavingRestoresIt) {
    ASSERT_TRUE(MakeHyperlink(dialog_, kLinkA));
    HWND link = Item(kLinkA);
    HANDLE own = GetPropA(link, "_Hyperlink_Original_Font_");
    HANDLE underline = GetPropA(link, "_Hyperlink_Underline_Font_");

    EXPECT_EQ(SendMessageA(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, MAKEINTRESOURCEA(32649))) << "not the hand cursor";

    SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(reinterpret_cast<HANDLE>(Font(kLinkA)), underline);
    EXPECT_EQ(GetCapture(), link);
    SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(5, 4));
    EXPECT_EQ(reinterpret_cast<HANDLE>(Font(kLinkA)), underline) << "moving inside dropped the underline";

    SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(-20, 3));
    EXPECT_EQ(reinterpret_cast<HANDLE>(Font(kLinkA)), own);
    EXPECT_NE(GetCapture(), link);

    // The same with the real pointer.
    SetForegroundWindow(dialog_);
    RECT rect;
    GetWindowRect(link, &rect);
    // A loaded machine may deliver the move late: wait for the font, up to a few seconds.
    auto fontBecomes = [&](HANDLE font) {
        for (int i = 0; i < 30 && reinterpret_cast<HANDLE>(Font(kLinkA)) != font; ++i)
            wt::PumpFor(100);
        return reinterpret_cast<HANDLE>(Font(kLinkA));
    };
    // A pointer keeps moving: each step is a further move of a few pixels, in case the system
    // passed over one report.
    auto moveUntil = [&](int x, int y, HANDLE font) {
        for (int step = 0; step < 3 && reinterpret_cast<HANDLE>(Font(kLinkA)) != font; ++step) {
            MovePointer(x + step, y);
            fontBecomes(font);
        }
        return reinterpret_cast<HANDLE>(Font(kLinkA));
    };
    EXPECT_EQ(moveUntil(rect.left + 4, (rect.top + rect.bottom) / 2, underline), underline)
        << "the pointer over the link did not underline it";
    EXPECT_EQ(moveUntil(rect.left + 4, rect.bottom + 40, own), own) << "the underline stayed after the pointer left";
}

TEST_F(DialogHelpers, TooltipsAreTopMostSubclassingOnePerControlAndListed) {
    HWND tip = AddTooltip(Item(kButton), "Press me");
    ASSERT_NE(tip, nullptr);
    char cls[64] = {};
    GetClassNameA(tip, cls, sizeof cls);
    EXPECT_STREQ(cls, "tooltips_class32");
    EXPECT_TRUE(GetWindowLongPtrA(tip, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetWindowLongPtrA(tip, GWL_STYLE) & TTS_ALWAYSTIP);
    EXPECT_TRUE(GetWindowLongPtrA(tip, GWL_STYLE) & TTS_NOPREFIX);
    ASSERT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 1);

    char text[80] = {};
    TOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.lpszText = text;
    ASSERT_TRUE(SendMessageA(tip, TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(tool.hwnd, Item(kButton));
    EXPECT_TRUE(tool.uFlags & TTF_SUBCLASS);
    EXPECT_STREQ(text, "Press me");
    RECT client;
    GetClientRect(Item(kButton), &client);
    EXPECT_TRUE(EqualRect(&client, &tool.rect));
    DestroyWindow(tip);

    HWND a = AddListedTooltip(Item(kLinkA), "a");
    HWND b = AddListedTooltip(Item(kButton), "b");
    EXPECT_EQ(ListedTooltipCount(), 2);
    DestroyListedTooltips();
    EXPECT_EQ(ListedTooltipCount(), 0);
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(IsWindow(b));
}

TEST_F(DialogHelpers, HookForwardsKeysToTheTargetWhileAButtonHasTheFocus) {
    InstallDialogKeyHook(dialog_);
    PressWithFocusOn(kButton, VK_F1);
    EXPECT_TRUE(SawKeyDown(VK_F1)) << "F1 did not reach the dialog";
    EXPECT_TRUE(Saw(dialog_, WM_KEYUP, VK_F1));

    // A nested dialog takes the hook over; the outer one gets it back afterwards.
    HWND nested = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), tmpl_.Get(), dialog_, RecordingProc, 0);
    ASSERT_NE(nested, nullptr);
    InstallDialogKeyHook(nested);
    g_keys.clear();
    wt::PressKey(VK_DELETE);
    wt::PumpFor(300);
    RemoveDialogKeyHook();
    DestroyWindow(nested);
    EXPECT_TRUE(Saw(nested, WM_KEYDOWN, VK_DELETE)) << "the nested dialog did not get Delete";
    EXPECT_FALSE(SawKeyDown(VK_DELETE)) << "the outer dialog still got keys";

    g_keys.clear();
    PressWithFocusOn(kButton, VK_F1);
    EXPECT_FALSE(SawKeyDown(VK_F1)) << "keys reached the dialog with no hook installed";

    InstallDialogKeyHook(dialog_);
    PressWithFocusOn(kButton, VK_F1);
    EXPECT_TRUE(SawKeyDown(VK_F1)) << "the reinstalled hook does not forward";
}

}  // namespace
