// The configuration dialog (dialog resource 104), run modally by the start-up code.
#pragma once

#include <windows.h>

void RunConfigDialog(HWND owner);
