// Process-wide values set once by the start-up code and read by the rest of the program.
#pragma once

#include <windows.h>

#include <string>

#include "core/Paths.h"
#include "core/RunMode.h"

extern int RunMode;                // RunModeValue
extern HWND hparwnd;               // window handle from the command line, 0 when none
extern HINSTANCE InstanceHandle;
extern char ModulePath[1024];
extern std::string ProgramFolder;  // ends with a backslash
extern std::string UserFolder;     // application data + "\Telmoro\Zephyl\"
extern bool IsWin2kOrLater;
extern ContentPaths Paths;

// The user's login name, empty when it cannot be read.
std::string LoginName();
