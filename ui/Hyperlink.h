// Static text controls turned into hyperlinks by subclassing: dark blue text, the hand
// cursor, underlined while the pointer is over them. Their state lives in window properties.
#pragma once

#include <windows.h>

// Converts control `controlId` of `dialog`; clicks reach the dialog as WM_COMMAND.
bool MakeHyperlink(HWND dialog, int controlId);
