// The values of the current saver run that the saver sets and the scene, the music and the
// quote show read: the saver window, its device context, the drawing size and the display
// modes; and the way a message of the run's set-up reaches the user.
#pragma once

#include <windows.h>

#include "core/ScreenMode.h"

extern HWND hScrWindow;           // the saver window; null until created
extern HDC hDC;                   // its device context during the run
extern int ScreenWidth;           // the drawing area
extern int ScreenHeight;
extern ScreenMode RequestedMode;  // the mode the run asked for
extern ScreenMode OriginalMode;   // the desktop mode found at start (full screen only)
extern bool DisplayModeChanged;   // the mode was switched and is restored at the end

// Shows a message box of the run's set-up (MB_OK plus `flags`) through the handler the saver
// installed; without one, as a plain message box.
typedef void (*SetUpMessageHandler)(HWND owner, const char* caption, const char* text, UINT flags);
void SetSetUpMessageHandler(SetUpMessageHandler handler);
void ShowSetUpMessage(HWND owner, const char* caption, const char* text, UINT flags = 0);
