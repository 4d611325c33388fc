// The soak run's driver and sampler: settings, the run, the keys and power messages it
// sends, and the samples of the saver process.
#include "tools/soak/SoakRun.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>

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

bool SampleProcess(HANDLE process, DWORD processId, double seconds, SoakSample& sample) {
    sample = SoakSample();
    sample.seconds = seconds;
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        return false;
    sample.privateKb = double(memory.PrivateUsage) / 1024;
    DWORD handles = 0;
    if (GetProcessHandleCount(process, &handles)) sample.handles = handles;
    sample.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
    sample.userObjects = GetGuiResources(process, GR_USEROBJECTS);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof thread;
    for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread))
        if (thread.th32OwnerProcessID == processId) ++sample.threads;
    CloseHandle(snapshot);
    return true;
}

bool RunSoak(const SoakOptions& options, SoakResult& result) {
    result = SoakResult();
    WriteSettings(options);
    DeleteFileA(wt::LogPath().c_str());
    std::string playlist = "#EXTM3U\r\n";
    for (const std::string& song : options.songs) playlist += song + "\r\n";
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
                                           PROCESS_VM_WRITE, FALSE, saver.Id()))) {
        result.failure = "cannot open the saver process";
    }
    result.started = result.failure.empty();

    const ULONGLONG start = GetTickCount64();
    ULONGLONG nextSample = 0, nextKey = options.musicKeyMs, nextDark = options.powerMs, lightAt = 0;
    size_t keyIndex = 0, darkIndex = 0;
    bool dark = false;
    Dark darkKind = Dark::Lock;
    while (result.failure.empty()) {
        const ULONGLONG now = GetTickCount64() - start;
        if (!saver.Running()) {
            saver.WaitExit(0, &result.exitCode);
            char text[80];
            std::snprintf(text, sizeof text, "the saver ended by itself after %.0f s (exit code %lu)", now / 1000.0,
                          static_cast<unsigned long>(result.exitCode));
            result.failure = text;
            break;
        }
        if (now >= nextSample) {
            SoakSample sample;
            if (!SampleProcess(process, saver.Id(), now / 1000.0, sample)) {
                result.failure = "cannot sample the saver process";
                break;
            }
            result.samples.push_back(sample);
            if (csv) {
                std::fprintf(csv, "%s\n", SoakCsvLine(sample).c_str());
                std::fflush(csv);
            }
            nextSample += options.sampleMs;
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
