// The power side of a full-screen run: the display switched off, the session locked or the
// machine suspending make the run stop drawing until the display is back; around a suspend
// the sound output is closed and reopened. Holds the run's notification registrations.
#pragma once

#include <windows.h>

// Asks the system for the console display state and session changes where it offers them
// (both looked up at run time: older systems have neither). Called for the full-screen
// window when it is created.
void StartPowerWatch(HWND window);
// Gives the registrations back; called when the window is destroyed.
void StopPowerWatch();
// WM_POWERBROADCAST, WM_WTSSESSION_CHANGE and WM_SYSCOMMAND of the saver window.
void HandlePowerMessage(UINT message, WPARAM wParam, LPARAM lParam);
// True while nothing is to be drawn.
bool DisplayDark();
// Sleeps until a message arrives or `ms` milliseconds pass.
void WaitForMessageOrTimeout(DWORD ms);
