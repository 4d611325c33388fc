// The Windows 95/98/ME screen-saver password: checking it and changing it. Both load the
// system library they need at run time and unload it before returning.
#pragma once

#include <windows.h>

// True when the saver may close: the password was right, none is set, or the platform has
// no such password (NT, or the password library or its entry point is missing).
bool VerifyPassword(HWND window);
// The system's password-change dialog for the screen saver (MPR.DLL), owned by `owner`.
void ChangePassword(HWND owner);
