// Tooltips: one top-most tooltip window per control, watching the control's mouse itself.
// The configuration dialog keeps its tooltips in one process-wide list and destroys them
// all at once; other dialogs keep theirs in variables of their own.
#pragma once

#include <windows.h>

// The caller destroys the returned window together with its dialog.
HWND AddTooltip(HWND control, const char* text);

// The process-wide tooltip list: AddListedTooltip adds the new tooltip to it;
// DestroyListedTooltips destroys every window in it and empties it.
HWND AddListedTooltip(HWND control, const char* text);
int ListedTooltipCount();
void DestroyListedTooltips();
