// Running one of the program's modal dialogs on a thread of the test, with the templates
// of the built ZephylSaver.scr, and finding the windows it opens.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace uitest {

// Points the program's resource lookups at dist/ZephylSaver.scr (once per process).
bool UseProgramResources();

// Runs `run` (a modal dialog) on its own thread; on destruction answers whatever is still
// open so that the thread ends.
class DialogThread {
public:
    explicit DialogThread(std::function<void()> run);
    ~DialogThread();
    bool WaitDone(DWORD ms);
    bool Done() const { return m_done; }

private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

std::string TextOf(HWND window);
// A visible dialog-class window of this process with that caption (and, for message
// boxes, a text control), or null after `ms`.
HWND WaitForDialog(const std::string& caption, DWORD ms = 5000);
HWND WaitForMessageBox(const std::string& caption, DWORD ms = 5000);
// Clicks button `id` of `dialog` without waiting for what the click does.
void PostClick(HWND dialog, int id);
// Clicks button `id` and returns when the dialog has handled it.
void Click(HWND dialog, int id);
// A control's pixels as the screen shows them, row by row.
std::vector<COLORREF> CaptureScreen(HWND control);
// The text of the tooltip (of this process) that watches `control`; "" when none.
std::string TooltipText(HWND control);
// Rests the pointer on `control`; true when a tooltip of the process then shows.
bool TooltipShownOver(HWND control, DWORD processId);
// A PNG of the whole screen into $ZEPHYL_SHOTS/<name>.png when that variable is set.
void Screenshot(const std::string& name);

}  // namespace uitest
