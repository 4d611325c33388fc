// Tooltips: one top-most tooltip window per control, watching the control's mouse itself.
#pragma once

#include <windows.h>

// The caller destroys the returned window together with its dialog.
HWND AddTooltip(HWND control, const char* text);
