// The Win32 side of the monitor table: the system's display devices and monitors, and the
// blanking windows with their window procedure.
#include "saver/Monitors.h"

#include "core/Globals.h"
#include "core/SaverState.h"
#include "saver/SaverWindow.h"

ProcessMonitorTable Monitors;

namespace {

HWND WindowOf(const MonitorEntry& entry) { return static_cast<HWND>(entry.Window); }

MonitorRect FromRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

class SystemDisplays : public DisplaySystem {
public:
    bool Device(uint32_t index, DisplayDevice& device) override {
        DISPLAY_DEVICEA info = {};
        info.cb = sizeof info;
        if (!EnumDisplayDevicesA(nullptr, index, &info, 0)) return false;
        device.name = info.DeviceName;
        device.mirroring = (info.StateFlags & DISPLAY_DEVICE_MIRRORING_DRIVER) != 0;
        device.attached = (info.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) != 0;
        device.primary = (info.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) != 0;
        if (!device.attached || device.mirroring) return true;
        DEVMODEA mode = {};
        mode.dmSize = sizeof mode;
        if (EnumDisplaySettingsA(info.DeviceName, ENUM_CURRENT_SETTINGS, &mode)) {
            device.modeKnown = true;
            device.x = mode.dmPosition.x;
            device.y = mode.dmPosition.y;
            device.width = static_cast<int32_t>(mode.dmPelsWidth);
            device.height = static_cast<int32_t>(mode.dmPelsHeight);
        }
        return true;
    }

    std::vector<DisplayMonitor> Monitors() override {
        std::vector<DisplayMonitor> monitors;
        EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
        return monitors;
    }

private:
    static BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT rect, LPARAM param) {
        MONITORINFOEXA info = {};
        info.cbSize = sizeof info;
        std::string device;
        if (GetMonitorInfoA(monitor, &info)) device = info.szDevice;
        reinterpret_cast<std::vector<DisplayMonitor>*>(param)->push_back({monitor, FromRect(*rect), device});
        return TRUE;
    }
};

void DestroyWindows(MonitorTable& table) {
    for (uint32_t i = 0; i < table.EntryCount; ++i) {
        MonitorEntry& entry = table.Entries[i];
        if (!entry.IsPrimary && entry.Window) {
            DestroyWindow(WindowOf(entry));
            entry.Window = nullptr;
        }
    }
}

}  // namespace

ProcessMonitorTable::~ProcessMonitorTable() { DestroyWindows(*this); }

void EnumerateMonitors() {
    DestroyWindows(Monitors);
    SystemDisplays system;
    FillMonitorTable(Monitors, system);
}

HRESULT CreateBlankingWindows(HWND owner, HINSTANCE instance, const char* className, const char* title) {
    for (uint32_t i = 0; i < Monitors.EntryCount; ++i) {
        MonitorEntry& entry = Monitors.Entries[i];
        if (!TakesPart(entry)) continue;
        entry.Window = CreateWindowExA(WS_EX_TOPMOST, className, title, WS_POPUP | WS_VISIBLE,
                                       entry.Rect.left, entry.Rect.top,
                                       entry.Rect.right - entry.Rect.left,
                                       entry.Rect.bottom - entry.Rect.top, owner, nullptr,
                                       instance, static_cast<MonitorTable*>(&Monitors));
        if (!entry.Window) return E_FAIL;
    }
    return S_OK;
}

void PositionBlankingWindows() {
    for (uint32_t i = 0; i < Monitors.EntryCount; ++i) {
        MonitorEntry& entry = Monitors.Entries[i];
        if (!TakesPart(entry) || !entry.Window) continue;
        MONITORINFO info = {};
        info.cbSize = sizeof info;
        // Without the monitor's information the window keeps the device's rectangle.
        if (GetMonitorInfoA(static_cast<HMONITOR>(entry.Monitor), &info)) entry.Rect = FromRect(info.rcMonitor);
        SetWindowPos(WindowOf(entry), HWND_TOPMOST, entry.Rect.left, entry.Rect.top,
                     entry.Rect.right - entry.Rect.left, entry.Rect.bottom - entry.Rect.top,
                     SWP_NOACTIVATE);
    }
}

void ShowBlankingWindows(int showCommand) {
    for (uint32_t i = 0; i < Monitors.EntryCount; ++i) {
        MonitorEntry& entry = Monitors.Entries[i];
        if (TakesPart(entry) && entry.Window) ShowWindow(WindowOf(entry), showCommand);
    }
}

void DestroyBlankingWindows() { DestroyWindows(Monitors); }

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
    case WM_MOUSEACTIVATE:
        // A click here is not an exit, and it must not take the activation away from the
        // saver window either: losing activation ends the run.
        return MA_NOACTIVATE;
    case WM_SETCURSOR:
        // The pointer stays hidden over the black monitors as over the saver window.
        if (RunMode == ModeSaver && ss && !ss->PasswordDialogUp) {
            SetCursor(nullptr);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
