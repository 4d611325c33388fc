// The custom music dialog (dialog resource 154): builds and saves the user's playlist.
#pragma once

#include <windows.h>

// Prepares the narrow and wide open-file descriptors used by "Add File(s)";
// called once by the start-up code in configuration mode.
void PrepareSongOpenDialogs(HWND owner);

// Runs the dialog modally; the caller removes its own keyboard hook first.
void RunCustomMusicDialog(HWND owner);
