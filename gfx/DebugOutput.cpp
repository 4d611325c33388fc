// Messages for the debugger, and the hook that tests use to read them.
#include "gfx/DebugOutput.h"

#include <cstdio>
#include <mutex>
#include <utility>

#ifdef _WIN32
// Declared here so that this portable file needs no <windows.h>.
extern "C" __declspec(dllimport) void __stdcall OutputDebugStringA(const char* text);
#endif

namespace {
std::mutex& HookMutex() {
    static std::mutex mutex;
    return mutex;
}
DebugOutputHook& Hook() {
    static DebugOutputHook hook;
    return hook;
}
}  // namespace

void DebugOutput(const std::string& text) {
#ifdef _WIN32
    OutputDebugStringA(text.c_str());
#else
    std::fputs(text.c_str(), stderr);
#endif
    DebugOutputHook hook;
    {
        std::lock_guard<std::mutex> lock(HookMutex());
        hook = Hook();
    }
    if (hook) hook(text);
}

DebugOutputHook SetDebugOutputHook(DebugOutputHook hook) {
    std::lock_guard<std::mutex> lock(HookMutex());
    return std::exchange(Hook(), std::move(hook));
}
