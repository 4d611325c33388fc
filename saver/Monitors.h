// The process-wide table of display devices and the black blanking windows that cover the
// further monitors during a full-screen run. The table owns its windows;
// DestroyBlankingWindows (or the table's teardown at exit) destroys them.
#pragma once

#include <windows.h>

#include "saver/MonitorTable.h"

struct ProcessMonitorTable : MonitorTable {
    ~ProcessMonitorTable();
};

extern ProcessMonitorTable Monitors;

// Fills the table from the system's display devices; once per full-screen run.
void EnumerateMonitors();
// 0 on success, E_FAIL when a window could not be created (later monitors get none).
HRESULT CreateBlankingWindows(HWND owner, HINSTANCE instance, const char* className, const char* title);
void PositionBlankingWindows();
void ShowBlankingWindows(int showCommand);
void DestroyBlankingWindows();

// The window procedure of class "ZephylChildClass".
LRESULT CALLBACK BlankingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
