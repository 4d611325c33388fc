// SaverState: the one record of settings and run-time state (reached through `ss`),
// and its registry store under Software\Telmoro\Zephyl.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/Playlist.h"

extern const char* const kProductKey;       // per user and per machine
extern const char* const kSystemSaverKey;   // the system's own screen-saver values

struct SaverState {
    HWND Window = nullptr;
    uint32_t PasswordDelay = 15;
    int32_t MouseThreshold = 50;
    uint32_t MuteSound = 0;
    POINT CursorStart = {0, 0};
    uint32_t InitTime = 0;
    int32_t PasswordDialogUp = 0;
    int32_t MessageBoxUp = 0;
    int32_t CloseRequested = 0;
    int32_t MipMap = 1;
    int32_t PlayMusic = 1;
    int32_t ShuffleMusic = 1;
    int32_t DebugLog = 1;
    int32_t BitmapText = 0;
    int32_t InputArmed = 0;
    int32_t CrashFlag = 0;
    int32_t DoChecksum = 0;
    int32_t CriticalError = 0;
    int32_t BlankAllScreens = 1;
    int32_t ShowQuotes = 0;
    int32_t Quality = 2048;
    int32_t DispModeWidth = 800;
    int32_t DispModeHeight = 600;
    int32_t DispModeBits = 16;
    int32_t MusicVol = 255;
    int32_t QuoteInterval = 5;
    int32_t QuoteDuration = 10;
    float AvgFps = 100.0f;
    int32_t ShowSpeedTip = 1;
    int32_t ShowBugReport = 1;
    int32_t RandomOrder = 1;
    int32_t DefaultMusic = 1;
    int32_t CustomMusic = 0;
    int32_t AutoPerformance = 0;
    Playlist MusicList;
    uint8_t VideoGUID[16] = {};

    void LoadSystemSaverSettings();
    void LoadSettings();
    void SaveSettings();
    void SetCrashFlag(int32_t value);
    void SetDoChecksum(int32_t value);
    void SetCriticalError(int32_t value);
};

extern SaverState* ss;

bool WriteUserString(const char* subkey, const char* valueName, const char* text);
bool WriteMachineBinary(const char* subkey, const char* valueName, const void* data, DWORD length);
// Stores the 16-byte adapter identifier as "VideoGUID" under `subkey` of HKEY_LOCAL_MACHINE;
// where this account may not write there (a standard user), under the same subkey of
// HKEY_CURRENT_USER instead, which LoadSettings reads first, so that the next run does not
// meet a "new" adapter again. A per-user copy goes once the machine key takes the value.
// False when neither store succeeded.
bool RememberVideoGuid(const char* subkey, const void* guid);
