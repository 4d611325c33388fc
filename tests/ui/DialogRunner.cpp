// Running the program's modal dialogs on a thread of the test (see DialogRunner.h).
#include "DialogRunner.h"

#include <commctrl.h>

#include <cstdlib>
#include <vector>

#include "core/Globals.h"
#include "support/WineTest.h"

namespace uitest {

bool UseProgramResources() {
    static HMODULE program = LoadLibraryExA((wt::DistFolder() + "ZephylSaver.scr").c_str(), nullptr,
                                            LOAD_LIBRARY_AS_DATAFILE);
    if (program) InstanceHandle = program;
    return program != nullptr;
}

DialogThread::DialogThread(std::function<void()> run)
    : m_thread([this, run] {
          run();
          m_done = true;
      }) {}

DialogThread::~DialogThread() {
    // Answer boxes first (Yes), then the dialogs themselves (OK), until the run ends.
    for (int round = 0; round < 100 && !m_done; ++round) {
        for (HWND w : wt::WindowsOf(GetCurrentProcessId(), "#32770")) {
            if (!IsWindowVisible(w)) continue;
            int answer = GetDlgItem(w, IDYES) ? IDYES : IDOK;
            if (GetDlgItem(w, 0x480) || GetDlgItem(w, 0x47C)) answer = IDCANCEL;  // the open-file dialog
            PostMessageA(w, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
        }
        Sleep(50);
    }
    if (m_done)
        m_thread.join();
    else
        m_thread.detach();
}

bool DialogThread::WaitDone(DWORD ms) {
    DWORD start = GetTickCount();
    while (!m_done && GetTickCount() - start < ms) Sleep(20);
    return m_done;
}

std::string TextOf(HWND window) {
    int n = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    GetWindowTextA(window, &text[0], n + 1);
    text.resize(n);
    return text;
}

namespace {
HWND FindDialog(const std::string& caption, bool messageBox, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND w : wt::WindowsOf(GetCurrentProcessId(), "#32770"))
            if (IsWindowVisible(w) && TextOf(w) == caption && (!messageBox || GetDlgItem(w, 0xFFFF))) {
                Sleep(50);  // let it finish its layout
                return w;
            }
        if (GetTickCount() - start >= ms) return nullptr;
        Sleep(20);
    }
}
}  // namespace

HWND WaitForDialog(const std::string& caption, DWORD ms) { return FindDialog(caption, false, ms); }
HWND WaitForMessageBox(const std::string& caption, DWORD ms) { return FindDialog(caption, true, ms); }

void PostClick(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void Click(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::vector<COLORREF> CaptureScreen(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) pixels.push_back(GetPixel(memory, x, y));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

std::string TooltipText(HWND control) {
    for (HWND tip : wt::WindowsOf(GetCurrentProcessId(), "tooltips_class32")) {
        char text[256] = {};
        TOOLINFOA tool = {};
        tool.cbSize = sizeof tool;
        tool.lpszText = text;
        for (int i = 0; SendMessageA(tip, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&tool)); ++i)
            if (tool.hwnd == control) return text;
    }
    return std::string();
}

bool TooltipShownOver(HWND control, DWORD processId) {
    RECT r;
    GetWindowRect(control, &r);
    SetForegroundWindow(GetParent(control));
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    // Wine reports a movement to the window under the pointer only after real input.
    INPUT nudge = {};
    nudge.type = INPUT_MOUSE;
    nudge.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &nudge, sizeof nudge);
    for (int i = 0; i < 60; ++i) {
        wt::PumpFor(50);
        for (HWND w : wt::WindowsOf(processId, "tooltips_class32"))
            if (IsWindowVisible(w)) return true;
    }
    return false;
}

void Screenshot(const std::string& name) {
    const char* folder = std::getenv("ZEPHYL_SHOTS");
    if (!folder || !*folder) return;
    Sleep(300);
    // Wine cannot wait for a Unix program: the picture appears under its name once taken.
    const std::string path = std::string(folder) + "/" + name + ".png";
    const std::string windowsPath = "Z:" + path;
    DeleteFileA(windowsPath.c_str());
    wt::RunUnix("import -window root '" + path + ".part.png' && mv '" + path + ".part.png' '" + path + "'");
    for (int i = 0; i < 100 && !wt::FileExists(windowsPath); ++i) Sleep(50);
}

}  // namespace uitest
