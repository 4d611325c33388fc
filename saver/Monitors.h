// The table of display devices and the black blanking windows that cover the further
// monitors during a full-screen run. The table owns its windows; DestroyBlankingWindows
// (or the table's teardown at exit) destroys them.
#pragma once

#include <windows.h>

#include <cstdint>

struct MonitorEntry {
    HMONITOR Monitor = nullptr;  // null when the device is not part of the desktop
    RECT Rect = {0, 0, 0, 0};    // desktop coordinates
    HWND Window = nullptr;       // its blanking window, null when none
    bool IsPrimary = false;
};

struct MonitorTable {
    static const uint32_t kMaxEntries = 9;
    MonitorEntry Entries[kMaxEntries];
    uint32_t EntryCount = 0;
    ~MonitorTable();
};

extern MonitorTable Monitors;

void EnumerateMonitors();
// 0 on success, E_FAIL when a window could not be created (later monitors get none).
HRESULT CreateBlankingWindows(HWND owner, HINSTANCE instance, const char* className, const char* title);
void PositionBlankingWindows();
void ShowBlankingWindows(int showCommand);
void DestroyBlankingWindows();

LRESULT CALLBACK BlankingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
