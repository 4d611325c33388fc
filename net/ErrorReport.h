// The error report dialog (dialog resource 155) offered after a crashed or failed run.
#pragma once

#include <windows.h>

void ShowErrorReportDialog(HWND owner);
