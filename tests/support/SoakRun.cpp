// The soak run's driver and sampler: settings, the run, the keys and power messages it
// sends, and the samples of the saver process.
#include "support/SoakRun.h"

#include <psapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "support/WineTest.h"

namespace {

const DWORD kStartMs = 120000;  // Direct3D on llvmpipe and the mode switch take a while under a loaded Wine
const DWORD kEndMs = 60000;
const DWORD kSendMs = 20000;

// The console display state notification, written into the saver's memory as the system does.
const GUID kConsoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
struct PowerSetting {
    GUID setting;
    DWORD dataLength;
    DWORD data;
};

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kSendMs, &result) != 0;
}

bool SendDisplayState(HANDLE process, HWND window, DWORD state) {
    void* remote = VirtualAllocEx(process, nullptr, sizeof(PowerSetting), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return false;
    const PowerSetting setting = {kConsoleDisplayState, sizeof(DWORD), state};
    const bool ok = WriteProcessMemory(process, remote, &setting, sizeof setting, nullptr) &&
                    Send(window, WM_POWERBROADCAST, 0x8013 /* PBT_POWERSETTINGCHANGE */, reinterpret_cast<LPARAM>(remote));
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return ok;
}

// The dark stretches in turn: each darkens the run and lights it again.
enum class Dark { Lock, DisplayState, MonitorPower, Suspend, Count };

bool SendDark(HANDLE process, HWND window, Dark kind, bool dark) {
    switch (kind) {
    case Dark::Lock:
        return Send(window, WM_WTSSESSION_CHANGE, dark ? 0x7 /* WTS_SESSION_LOCK */ : 0x8 /* WTS_SESSION_UNLOCK */, 0);
    case Dark::DisplayState:
        return SendDisplayState(process, window, dark ? 0 : 1);
    case Dark::MonitorPower:
        // Heeded only where the display state is not reported; sent for the path all the same.
        return Send(window, WM_SYSCOMMAND, SC_MONITORPOWER, dark ? 2 : -1);
    case Dark::Suspend:
        return Send(window, WM_POWERBROADCAST, dark ? 0x4 /* PBT_APMSUSPEND */ : 0x12 /* PBT_APMRESUMEAUTOMATIC */, 0);
    case Dark::Count: break;
    }
    return false;
}

// Next, next, previous, pause, resume (down again), next, up (resume when not paused: nothing).
const WORD kMusicKeys[] = {VK_RIGHT, VK_RIGHT, VK_LEFT, VK_DOWN, VK_DOWN, VK_RIGHT, VK_UP};

void WriteSettings(const SoakOptions& options) {
    wt::ResetProductState(options.debugLog);
    const char* key = wt::kProductKey;
    wt::WriteDword(HKEY_CURRENT_USER, key, "PlayMusic", 1);
    wt::WriteDword(HKEY_CURRENT_USER, key, "ShuffleMusic", 1);
    wt::WriteDword(HKEY_CURRENT_USER, key, "DefaultMusic", 1);
    wt::WriteDword(HKEY_CURRENT_USER, key, "CustomMusic", options.songs.empty() ? 0 : 1);
    wt::WriteString(HKEY_CURRENT_USER, key, "MusicVol", "255");
    wt::WriteDword(HKEY_CURRENT_USER, key, "ShowQuotes", 1);
    // The shortest the settings dialog offers: a quotation shown for 5 s, none between them.
    wt::WriteDword(HKEY_CURRENT_USER, key, "QuoteDuration", 5);
    wt::WriteDword(HKEY_CURRENT_USER, key, "QuoteInterval", 0);
}

}  // namespace

namespace {

// Committed private memory by a walk over the process's address space: what PrivateUsage
// says where the system reports it (Wine reports 0 for another process).
double PrivateBytesByWalk(HANDLE process) {
    double total = 0;
    MEMORY_BASIC_INFORMATION region = {};
    for (const char* at = nullptr; VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += double(region.RegionSize);
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return total;
}

// The process's handles in the system's handle list (Wine reports no handle count for
// another process).
struct SystemHandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};
using QuerySystemFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
double HandlesFromSystemList(DWORD processId) {
    static const auto query = reinterpret_cast<QuerySystemFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    std::vector<BYTE> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        const LONG status = query(16 /* SystemHandleInformation */, buffer.data(), ULONG(buffer.size()), &needed);
        if (status == LONG(0xC0000004) /* STATUS_INFO_LENGTH_MISMATCH */ && buffer.size() < (64u << 20)) {
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
            continue;
        }
        if (status != 0) return 0;
        break;
    }
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const SystemHandleEntry*>(buffer.data() + sizeof(ULONG_PTR));
    const size_t room = (buffer.size() - sizeof(ULONG_PTR)) / sizeof(SystemHandleEntry);
    double handles = 0;
    for (ULONG i = 0; i < count && i < room; ++i)
        if (entries[i].ownerPid == processId) ++handles;
    return handles;
}

// The process's windows, message-only ones and children included: the USER objects one
// can count from outside where the system reports no GUI resources.
struct WindowCount {
    DWORD processId;
    double count;
};
BOOL CALLBACK CountChild(HWND window, LPARAM param) {
    ++reinterpret_cast<WindowCount*>(param)->count;
    return TRUE;
}
void CountWindow(HWND window, WindowCount& counted) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != counted.processId) return;
    ++counted.count;
    EnumChildWindows(window, CountChild, reinterpret_cast<LPARAM>(&counted));
}
BOOL CALLBACK CountTopLevel(HWND window, LPARAM param) {
    CountWindow(window, *reinterpret_cast<WindowCount*>(param));
    return TRUE;
}
double WindowsOfProcess(DWORD processId) {
    WindowCount counted = {processId, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&counted));
    for (HWND w = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
         w = FindWindowExA(HWND_MESSAGE, w, nullptr, nullptr))
        CountWindow(w, counted);
    return counted.count;
}

std::string ReadWhole(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
    CloseHandle(file);
    return text;
}

// Runs the thread procedure at address `start` of `process` on a new thread there, with
// `parameter`, and gives its exit code; false when the thread cannot be made or does not end
// within a few seconds.
bool RunRemote(HANDLE process, ULONG_PTR start, LPVOID parameter, DWORD& exitCode) {
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start),
                                       parameter, 0, nullptr);
    if (!thread) return false;
    const bool ended = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &exitCode);
    CloseHandle(thread);
    return ended;
}

// The GDI objects of another process, counted inside it: gdiprobe.dll is loaded there, its
// CountGdiObjects runs on a thread of that process, and the library is unloaded again.
// Every system DLL sits at the same address in both processes, and so does the probe's
// entry point relative to where the library was loaded. 0 when it cannot be done.
double GdiObjectsByProbe(HANDLE process) {
    static const std::string path = wt::WindowsPath(ZEPHYL_GDI_PROBE_DIR) + "gdiprobe.dll";
    static const HMODULE local = LoadLibraryA(path.c_str());
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto address = [](HMODULE module, const char* name) {
        return module ? reinterpret_cast<ULONG_PTR>(GetProcAddress(module, name)) : 0;
    };
    const ULONG_PTR count = address(local, "CountGdiObjects");
    if (!count) return 0;
    void* remotePath = VirtualAllocEx(process, nullptr, path.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    if (!remotePath) return 0;
    DWORD module = 0, objects = 0, freed = 0;
    if (WriteProcessMemory(process, remotePath, path.c_str(), path.size() + 1, nullptr) &&
        RunRemote(process, address(kernel, "LoadLibraryA"), remotePath, module) &&
        module) {
        const ULONG_PTR offset = count - reinterpret_cast<ULONG_PTR>(local);
        if (!RunRemote(process, module + offset, nullptr, objects)) objects = 0;
        RunRemote(process, address(kernel, "FreeLibrary"), reinterpret_cast<LPVOID>(ULONG_PTR(module)), freed);
    }
    VirtualFreeEx(process, remotePath, 0, MEM_RELEASE);
    return objects;
}

// Under Wine: the Unix process that runs `processId`'s program in this Wine prefix (its
// command line holds the program's file name), found through Z:\proc; 0 when none is.
unsigned FindUnixProcess(const std::string& programName) {
    char prefix[1024] = {};
    if (!wt::RunningOnWine() || !GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix)) return 0;
    const std::string wanted = std::string("WINEPREFIX=") + prefix + '\0';
    WIN32_FIND_DATAA found = {};
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    unsigned pid = 0;
    do {
        const unsigned candidate = std::strtoul(found.cFileName, nullptr, 10);
        if (!candidate || !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        const std::string folder = std::string("Z:\\proc\\") + found.cFileName + "\\";
        if (ReadWhole(folder + "cmdline").find(programName) == std::string::npos) continue;
        if (ReadWhole(folder + "environ").find(wanted) == std::string::npos) continue;
        pid = candidate;
    } while (!pid && FindNextFileA(find, &found));
    FindClose(find);
    return pid;
}

// Its anonymous resident memory in KiB (RssAnon of /proc/PID/status): what the Unix side of
// Wine (the X11 driver, OpenGL, PulseAudio) takes, which no Windows counter shows.
double UnixAnonKb(unsigned unixPid) {
    if (!unixPid) return 0;
    const std::string status = ReadWhole("Z:\\proc\\" + std::to_string(unixPid) + "\\status");
    const size_t at = status.find("RssAnon:");
    return at == std::string::npos ? 0 : std::strtod(status.c_str() + at + 8, nullptr);
}

}  // namespace

bool SampleProcess(HANDLE process, DWORD processId, unsigned unixPid, double seconds, SoakSample& sample) {
    sample = SoakSample();
    sample.seconds = seconds;
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        return false;
    sample.privateKb = double(memory.PrivateUsage ? memory.PrivateUsage : PrivateBytesByWalk(process)) / 1024;
    DWORD handles = 0;
    if (GetProcessHandleCount(process, &handles)) sample.handles = handles;
    if (!sample.handles) sample.handles = HandlesFromSystemList(processId);
    sample.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
    sample.userObjects = GetGuiResources(process, GR_USEROBJECTS);
    if (!sample.userObjects) sample.userObjects = WindowsOfProcess(processId);
    sample.unixAnonKb = UnixAnonKb(unixPid);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof thread;
    for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread))
        if (thread.th32OwnerProcessID == processId) ++sample.threads;
    CloseHandle(snapshot);
    // After the threads were counted: the probe runs on a thread of its own in the process.
    if (!sample.gdiObjects) sample.gdiObjects = GdiObjectsByProbe(process);
    return true;
}

bool RunSoak(const SoakOptions& options, SoakResult& result) {
    result = SoakResult();
    WriteSettings(options);
    DeleteFileA(wt::LogPath().c_str());
    std::string playlist = "#EXTM3U\r\n";
    for (const std::string& song : options.songs) playlist += song + "\r\n";
    SHCreateDirectoryExA(nullptr, wt::UserDataFolder().c_str(), nullptr);
    if (!options.songs.empty() && !wt::WriteFile(wt::UserPlaylist(), playlist)) {
        result.failure = "cannot write the playlist " + wt::UserPlaylist();
        return false;
    }
    FILE* csv = nullptr;
    if (!options.csvPath.empty()) {
        csv = std::fopen(options.csvPath.c_str(), "w");
        if (!csv) {
            result.failure = "cannot write " + options.csvPath;
            return false;
        }
        std::fprintf(csv, "%s\n", SoakCsvHeader().c_str());
        std::fflush(csv);
    }

    wt::Process saver;
    HWND window = nullptr;
    HANDLE process = nullptr;
    if (!saver.Start(options.folder + "ZephylSaver.scr", "/s")) {
        result.failure = "cannot start " + options.folder + "ZephylSaver.scr";
    } else if (!(window = wt::WaitForWindow(saver.Id(), "ZephylSaver", kStartMs)) ||
               !wt::WaitForLog("Entering main loop...", kStartMs)) {
        result.failure = "the run did not reach its main loop";
    } else if (!(process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_VM_OPERATION |
                                           PROCESS_VM_WRITE | PROCESS_CREATE_THREAD, FALSE, saver.Id()))) {
        result.failure = "cannot open the saver process";
    }
    result.started = result.failure.empty();

    const unsigned unixPid = result.started ? FindUnixProcess("ZephylSaver.scr") : 0;
    const DWORD start = GetTickCount();
    ULONGLONG nextSample = 0, nextKey = options.musicKeyMs, nextDark = options.powerMs, lightAt = 0;
    size_t keyIndex = 0, darkIndex = 0;
    bool dark = false;
    Dark darkKind = Dark::Lock;
    while (result.failure.empty()) {
        const ULONGLONG now = DWORD(GetTickCount() - start);
        if (!saver.Running()) {
            saver.WaitExit(0, &result.exitCode);
            char text[80];
            std::snprintf(text, sizeof text, "the saver ended by itself after %.0f s (exit code %lu)", now / 1000.0,
                          static_cast<unsigned long>(result.exitCode));
            result.failure = text;
            break;
        }
        // A dark stretch closes the sound output and the drawing, and memory falls for a
        // while: samples are taken lit, once the run has settled again.
        if (now >= nextSample && !dark && now >= lightAt + options.settleMs) {
            SoakSample sample;
            if (!SampleProcess(process, saver.Id(), unixPid, now / 1000.0, sample)) {
                result.failure = "cannot sample the saver process";
                break;
            }
            result.samples.push_back(sample);
            if (csv) {
                std::fprintf(csv, "%s\n", SoakCsvLine(sample).c_str());
                std::fflush(csv);
            }
            nextSample = std::max(nextSample + options.sampleMs, now + options.sampleMs / 2);
        }
        if (now >= options.seconds * 1000ULL && !dark) break;
        if (now >= nextKey) {
            wt::PressKey(kMusicKeys[keyIndex++ % (sizeof kMusicKeys / sizeof kMusicKeys[0])]);
            ++result.musicKeys;
            nextKey += options.musicKeyMs;
        }
        if (!dark && now >= nextDark) {
            darkKind = static_cast<Dark>(darkIndex++ % static_cast<size_t>(Dark::Count));
            if (!SendDark(process, window, darkKind, true)) result.failure = "the saver window did not take a dark message";
            dark = true;
            lightAt = now + options.darkMs;
            nextDark += options.powerMs;
        } else if (dark && now >= lightAt) {
            if (!SendDark(process, window, darkKind, false)) result.failure = "the saver window did not take a light message";
            dark = false;
            ++result.darkStretches;
        }
        wt::PumpFor(100);
    }
    result.ranToEnd = result.started && result.failure.empty();
    if (saver.Running()) {
        // The last arrow key may have paused the music: Escape ends the run all the same.
        wt::PressKey(VK_ESCAPE);
        result.endedOnKey = wt::WaitExitPumping(saver, kEndMs);
        if (result.endedOnKey) {
            saver.WaitExit(0, &result.exitCode);
        } else {
            if (result.failure.empty()) result.failure = "the saver did not end on a key press";
            saver.Kill();
        }
    }
    if (process) CloseHandle(process);
    if (csv) std::fclose(csv);
    ChangeDisplaySettingsA(nullptr, 0);
    if (!options.songs.empty()) DeleteFileA(wt::UserPlaylist().c_str());
    return result.failure.empty();
}
