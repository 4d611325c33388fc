// Parsing of the screen saver's command line (the whole line, program name included).
#pragma once

#include <string>

#include "core/RunMode.h"

enum class StartAction {
    Run,              // dispatch by mode
    Install,          // "z": make this the system's screen saver
    Uninstall,        // the word "uninstall" anywhere in an unknown switch
    InitialSecurity,  // the word "initialsecurity" anywhere in an unknown switch
};

struct CommandLine {
    int mode = ModeNone;
    long windowHandle = 0;              // hparwnd as given (decimal)
    bool ownerIsForeground = false;     // "/c" with nothing after: use the foreground window
    StartAction action = StartAction::Run;
};

CommandLine ParseCommandLine(const char* line);

// The C library's lenient decimal conversion (leading white space, optional sign, digits
// up to the first non-digit, 0 when there are none), saturating instead of overflowing.
long DecimalToInt(const char* text);

// Case-insensitive (ASCII) substring search.
bool ContainsNoCase(const std::string& text, const std::string& word);
