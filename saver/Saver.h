// The saver run: full screen or as a preview inside a window of the display settings.
// Owns the saver window, its device context and the display-mode switch for the run.
#pragma once

#include <windows.h>

#include "core/RunWindow.h"
#include "saver/SaverRules.h"

// The whole run; returns when the run is over or has failed (CriticalError tells which).
void DoSaver(HWND parent, int showCommand);

// A message box of the run's set-up (MB_OK plus `flags`). In a full-screen run the saver
// window and the blanking windows are hidden first and the box comes to the top, so that
// the user sees it; the run shows its windows again when it goes on. DoSaver installs it as
// the set-up message handler of core/RunWindow.h.
void ShowRunSetUpMessage(HWND owner, const char* caption, const char* text, UINT flags);

// Average frame rate measured during the last run (100 when nothing was measured).
float SaverAverageFps();

extern const char* const kSaverClassName;  // "ZephylSaver"
extern const char* const kChildClassName;  // "ZephylChildClass"
extern const char* const kSaverTitle;      // "Zephyl Saver"

extern bool QuitRequested;  // ends the main loop
