// The saver run: full screen or as a preview inside a window of the display settings.
// Owns the saver window, its device context and the display-mode switch for the run.
#pragma once

#include <windows.h>

#include "saver/SaverRules.h"

// The whole run; returns when the run is over or has failed (CriticalError tells which).
void DoSaver(HWND parent, int showCommand);

// A message box of the run's set-up (MB_OK plus `flags`). In a full-screen run the saver
// window and the blanking windows are hidden first and the box comes to the top, so that
// the user sees it; the run shows its windows again when it goes on.
void ShowSetUpMessage(HWND owner, const char* caption, const char* text, UINT flags = 0);

// Average frame rate measured during the last run (100 when nothing was measured).
float SaverAverageFps();

extern const char* const kSaverClassName;  // "ZephylSaver"
extern const char* const kChildClassName;  // "ZephylChildClass"
extern const char* const kSaverTitle;      // "Zephyl Saver"

// Values of the current run that the scene reads.
extern HWND hScrWindow;            // the saver window; null until created
extern HDC hDC;                    // its device context during the run
extern int ScreenWidth;            // the drawing area
extern int ScreenHeight;
extern ScreenMode RequestedMode;  // the mode the run asked for
extern ScreenMode OriginalMode;   // the desktop mode found at start (full screen only)
extern bool DisplayModeChanged;    // the mode was switched and is restored at the end
extern bool QuitRequested;         // ends the main loop
