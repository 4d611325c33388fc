// Placeholder until the configuration dialog lands: configuration mode shows nothing yet.
#include "ui/ConfigDialog.h"

void RunConfigDialog(HWND) {}
