// Placeholder of the saver run until the window and scene code land: the run ends at once.
#include "saver/Saver.h"
#include "saver/Password.h"

void DoSaver(HWND, int) {}

float SaverAverageFps() { return 100.0f; }

void ChangePassword(HWND) {}
