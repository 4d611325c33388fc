// Messages for the debugger: the graphics layer's per-frame failures and cGameError's
// announcement go here. Tests may install a hook that sees every message.
#pragma once

#include <functional>
#include <string>

// Sends the text to the debugger (OutputDebugString on Windows, stderr elsewhere) and to
// the hook, when one is installed.
void DebugOutput(const std::string& text);

// Installs (or, with an empty function, removes) the hook; returns the previous one.
using DebugOutputHook = std::function<void(const std::string&)>;
DebugOutputHook SetDebugOutputHook(DebugOutputHook hook);
