// A long full-screen run of the installed ZephylSaver.scr with music and quotations on,
// driven the way hours on a desk drive it: songs skipped, paused and resumed with the arrow
// keys, the session locked and unlocked, the display switched off and on, the machine
// suspended and resumed; every few seconds the saver process is sampled. Win32; uses the
// Wine test support to install, start and answer the program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/SoakSeries.h"

struct SoakOptions {
    std::string folder;              // an installed copy (wt::InstallCopy), trailing backslash
    std::vector<std::string> songs;  // the user playlist's songs (Windows paths)
    DWORD seconds = 180;             // length of the run after its main loop started
    DWORD sampleMs = 10000;
    DWORD musicKeyMs = 15000;        // an arrow key this often
    DWORD powerMs = 180000;          // a dark stretch (lock, display off, suspend) this often
    DWORD darkMs = 15000;            // how long each dark stretch lasts
    DWORD settleMs = 3000;           // no samples while dark and this long after
    bool debugLog = true;
    std::string csvPath;             // each sample appended as it is taken; "" for none
};

struct SoakResult {
    std::vector<SoakSample> samples;
    bool started = false;         // the main loop was entered
    bool ranToEnd = false;        // still running when the time was up
    bool endedOnKey = false;      // and ended on the closing key press
    DWORD exitCode = 0;
    uint32_t musicKeys = 0;       // arrow keys sent
    uint32_t darkStretches = 0;   // lock/off/suspend ... unlock/on/resume pairs delivered
    std::string failure;          // what went wrong, "" when nothing did
};

// Settings, playlist, the run and its samples; `result.failure` says what stopped it early.
bool RunSoak(const SoakOptions& options, SoakResult& result);

// One sample of a process opened with PROCESS_QUERY_INFORMATION, PROCESS_VM_READ,
// PROCESS_VM_OPERATION, PROCESS_VM_WRITE and PROCESS_CREATE_THREAD. Where the system reports
// no private bytes, handle count or GUI resources of another process (Wine), they are counted
// otherwise: committed private regions, the system handle list, the process's windows, and
// its GDI table walked by gdiprobe.dll loaded into it for the moment. `unixPid` (under Wine, 0 elsewhere) is the
// Unix process whose anonymous memory is sampled too.
bool SampleProcess(HANDLE process, DWORD processId, unsigned unixPid, double seconds, SoakSample& sample);
