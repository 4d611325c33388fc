// Placeholder until the custom music dialog lands.
#include "ui/CustomMusicDialog.h"

void PrepareSongOpenDialogs(HWND) {}
void RunCustomMusicDialog(HWND) {}
