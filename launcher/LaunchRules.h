// The decisions of the launcher and of the forwarding screen saver that need no Windows
// API: where the screen saver is, which switch a command line carries, and whether to wait
// for the screen saver. Plain text in, plain values out.
#pragma once

#include <cstddef>
#include <string>

// Size of the launcher's folder and program-path buffers, terminating zero included.
constexpr size_t kLauncherPathSize = 1024;

// The screen saver's path from the installation folder: folder + "\ZephylSaver.scr".
// False when the folder is empty or the path would not fit into kLauncherPathSize.
bool BuildSaverPath(const std::string& folder, std::string& path);

// The switch letter of a command line, lower case: the first token (the program's path) is
// skipped, then blanks and one optional "-" or "/"; '\0' when nothing follows.
char SwitchLetter(const char* commandLine);

// Whether the launcher waits for the screen saver, from its own command line: the first
// token (the launcher's path) is skipped, then the switch decides. No switch, "s" and "c"
// wait (the saver runs in the foreground); "p", "l" and anything else do not.
bool ShouldWait(const char* commandLine);

// Whether the forwarding screen saver tells the user that the screen saver cannot be
// found: not for a preview ("p", "l"), which draws into the display settings unasked.
bool ForwarderReportsMissingSaver(const char* commandLine);
