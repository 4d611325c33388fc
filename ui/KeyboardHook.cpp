// Placeholder until the keyboard hook lands.
#include "ui/KeyboardHook.h"

void InstallDialogKeyHook(HWND) {}
void RemoveDialogKeyHook() {}
