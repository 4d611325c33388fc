// The window procedure of the saver window (class "ZephylSaver") and the close request
// that every window of a run shares.
#pragma once

#include <windows.h>

#include "saver/SaverRules.h"

LRESULT CALLBACK ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Asks the saver window to close; the close is decided when the message arrives.
void RequestClose();
// The pointer shows while the password dialog is up, and is hidden again afterwards.
void ShowCursorForPassword();
void HideCursorAfterPassword();

// The input rules' view of the settings record and run mode right now.
InputState CurrentInputState();
// The input rules shared by the saver window and the blanking windows: an arrow key is
// handed to the music, another key and movement beyond the threshold ask to close.
void HandleKeyDown(WPARAM virtualKey);
void HandleMouseMove();
// Arms the run's input: the pointer's position now is where movement is measured from, and
// reports in the next moment move that start point (see PointerSettling).
void ArmInput();
