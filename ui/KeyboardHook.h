// The thread keyboard hook that forwards every key of the dialog thread to one dialog,
// so that dialog procedures see F1 and Delete whichever control has the focus.
// A nested dialog takes the hook over; the outer dialog installs it again afterwards.
#pragma once

#include <windows.h>

// Installs the hook (replacing any earlier one) with `target` receiving the keys.
void InstallDialogKeyHook(HWND target);
void RemoveDialogKeyHook();
