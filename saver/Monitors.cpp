// Blanking windows for the further monitors of a full-screen run.
// The device enumeration is not wired in yet: the table stays empty, so no monitor gets a
// blanking window and the other operations find nothing to do.
#include "saver/Monitors.h"

#include "saver/SaverWindow.h"

MonitorTable Monitors;

namespace {
bool TakesPart(const MonitorEntry& entry) { return !entry.IsPrimary && entry.Monitor != nullptr; }
}  // namespace

MonitorTable::~MonitorTable() {
    for (uint32_t i = 0; i < EntryCount; ++i) {
        if (!Entries[i].IsPrimary && Entries[i].Window) {
            DestroyWindow(Entries[i].Window);
            Entries[i].Window = nullptr;
        }
    }
}

void EnumerateMonitors() {}

HRESULT CreateBlankingWindows(HWND owner, HINSTANCE instance, const char* className, const char* title) {
    for (uint32_t i = 0; i < Monitors.EntryCount; ++i) {
        MonitorEntry& entry = Monitors.Entries[i];
        if (!TakesPart(entry)) continue;
        entry.Window = CreateWindowExA(WS_EX_TOPMOST, className, title, WS_POPUP | WS_VISIBLE,
                                       entry.Rect.left, entry.Rect.top,
                                       entry.Rect.right - entry.Rect.left,
                                       entry.Rect.bottom - entry.Rect.top, owner, nullptr,
                                       instance, &Monitors);
        if (!entry.Window) return E_FAIL;
    }
    return S_OK;
}

void PositionBlankingWindows() {
    for (uint32_t i = 0; i < Monitors.EntryCount; ++i) {
        MonitorEntry& entry = Monitors.Entries[i];
        if (!TakesPart(entry)) continue;
        MONITORINFO info = {};
        info.cbSize = sizeof info;
        // Without the monitor's information the window stays where it was created.
        if (!GetMonitorInfoA(entry.Monitor, &info)) continue;
        entry.Rect = info.rcMonitor;
        SetWindowPos(entry.Window, HWND_TOPMOST, entry.Rect.left, entry.Rect.top,
                     entry.Rect.right - entry.Rect.left, entry.Rect.bottom - entry.Rect.top,
                     SWP_NOACTIVATE);
    }
}

void ShowBlankingWindows(int showCommand) {
    for (uint32_t i = 0; i < Monitors.EntryCount; ++i) {
        MonitorEntry& entry = Monitors.Entries[i];
        if (TakesPart(entry) && entry.Window) ShowWindow(entry.Window, showCommand);
    }
}

void DestroyBlankingWindows() {
    for (uint32_t i = 0; i < Monitors.EntryCount; ++i) {
        MonitorEntry& entry = Monitors.Entries[i];
        if (!entry.IsPrimary && entry.Window) {
            DestroyWindow(entry.Window);
            entry.Window = nullptr;
        }
    }
}

LRESULT CALLBACK BlankingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(window, &paint);
        return 0;
    }
    case WM_KEYDOWN:
        HandleKeyDown(wParam);
        break;
    case WM_MOUSEMOVE:
        HandleMouseMove();
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
