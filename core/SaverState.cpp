// Loading and storing SaverState in the registry. Every failure is silent: an
// unopenable key keeps the defaults, a failed write is ignored. Nothing is clamped on
// load; the code that uses a value copes with what it finds.
#include "core/SaverState.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/CommandLine.h"

const char* const kProductKey = "Software\\Telmoro\\Zephyl";
const char* const kSystemSaverKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers";
const char* const kVideoGuidValue = "VideoGUID";

SaverState* ss = nullptr;

namespace {

// Owns an open registry key.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() {
        if (m_key) RegCloseKey(m_key);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    bool Open(HKEY root, const char* path, REGSAM access) {
        return RegOpenKeyExA(root, path, 0, access, &m_key) == ERROR_SUCCESS;
    }
    bool Create(HKEY root, const char* path) {
        return RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                               &m_key, nullptr) == ERROR_SUCCESS;
    }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

template <typename T>
void QueryDword(HKEY key, const char* name, T& field) {
    static_assert(sizeof(T) == 4, "registry DWORD fields are 32-bit");
    uint8_t buffer[4] = {};
    DWORD size = sizeof buffer;
    if (RegQueryValueExA(key, name, nullptr, nullptr, buffer, &size) == ERROR_SUCCESS)
        std::memcpy(&field, buffer, sizeof field);
}

// Text values are read into a zeroed 1024-byte buffer; one extra byte keeps the text
// terminated even when the stored data fills the buffer.
bool QueryText(HKEY key, const char* name, char (&buffer)[1025]) {
    std::memset(buffer, 0, sizeof buffer);
    DWORD size = 1024;
    return RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) ==
           ERROR_SUCCESS;
}

void WriteDword(HKEY key, const char* name, int32_t value) {
    DWORD data = static_cast<DWORD>(value);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

// "%d" into a zeroed 64-byte buffer; all 64 bytes are stored.
void WritePaddedNumber(HKEY key, const char* name, int32_t value) {
    char buffer[64] = {};
    std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(value));
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(buffer), sizeof buffer);
}

// "VideoGUID" into a zeroed 1024-byte buffer; its first 16 bytes when the query succeeds.
bool QueryGuid(HKEY key, uint8_t (&guid)[16]) {
    uint8_t buffer[1024] = {};
    DWORD size = sizeof buffer;
    if (RegQueryValueExA(key, kVideoGuidValue, nullptr, nullptr, buffer, &size) != ERROR_SUCCESS) return false;
    std::memcpy(guid, buffer, sizeof guid);
    return true;
}

void WriteUserDword(const char* name, int32_t value, bool* opened = nullptr) {
    RegKey key;
    bool ok = key.Create(HKEY_CURRENT_USER, kProductKey);
    if (opened) *opened = ok;
    if (ok) WriteDword(key.get(), name, value);
}

}  // namespace

void SaverState::LoadSystemSaverSettings() {
    PasswordDelay = 15;
    MouseThreshold = 50;
    PasswordDialogUp = 0;

    RegKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, kSystemSaverKey, KEY_READ)) return;
    QueryDword(key.get(), "Password Delay", PasswordDelay);
    QueryDword(key.get(), "Mouse Threshold", MouseThreshold);
    QueryDword(key.get(), "Mute Sound", MuteSound);
    if (MuteSound) PlayMusic = 0;
}

void SaverState::LoadSettings() {
    {
        RegKey key;
        if (!key.Open(HKEY_CURRENT_USER, kProductKey, KEY_READ)) return;
        HKEY k = key.get();
        QueryDword(k, "MipMap", MipMap);
        QueryDword(k, "PlayMusic", PlayMusic);
        QueryDword(k, "ShuffleMusic", ShuffleMusic);
        QueryDword(k, "DebugLog", DebugLog);
        QueryDword(k, "BitmapText", BitmapText);
        QueryDword(k, "RandomOrder", RandomOrder);
        QueryDword(k, "DefaultMusic", DefaultMusic);
        QueryDword(k, "CustomMusic", CustomMusic);
        QueryDword(k, "ShowSpeedtip", ShowSpeedTip);
        QueryDword(k, "ShowBugReport", ShowBugReport);
        QueryDword(k, "CrashFlag", CrashFlag);
        QueryDword(k, "DoChecksum", DoChecksum);
        QueryDword(k, "CriticalError", CriticalError);
        QueryDword(k, "BlankAllScreens", BlankAllScreens);
        QueryDword(k, "AutoPerformance", AutoPerformance);
        QueryDword(k, "ShowQuotes", ShowQuotes);
        QueryDword(k, "Quality", Quality);
        QueryDword(k, "QuoteInterval", QuoteInterval);
        QueryDword(k, "QuoteDuration", QuoteDuration);

        char text[1025];
        if (QueryText(k, "MusicVol", text)) MusicVol = static_cast<int32_t>(DecimalToInt(text));
        if (QueryText(k, "AvgFps", text)) AvgFps = static_cast<float>(std::strtod(text, nullptr));
        if (QueryText(k, "DispModeWidth", text)) DispModeWidth = static_cast<int32_t>(DecimalToInt(text));
        if (QueryText(k, "DispModeHeight", text)) DispModeHeight = static_cast<int32_t>(DecimalToInt(text));
        if (QueryText(k, "DispModeBits", text)) DispModeBits = static_cast<int32_t>(DecimalToInt(text));
        // An account that may not write the machine key keeps its adapter here.
        if (QueryGuid(k, VideoGUID)) return;
    }

    RegKey machine;
    if (!machine.Open(HKEY_LOCAL_MACHINE, kProductKey, KEY_READ)) return;
    QueryGuid(machine.get(), VideoGUID);
}

void SaverState::SaveSettings() {
    RegKey key;
    if (!key.Create(HKEY_CURRENT_USER, kProductKey)) return;
    HKEY k = key.get();
    WriteDword(k, "MipMap", MipMap);
    WriteDword(k, "PlayMusic", PlayMusic);
    WriteDword(k, "ShuffleMusic", ShuffleMusic);
    WriteDword(k, "DebugLog", DebugLog);
    WriteDword(k, "BitmapText", BitmapText);
    WriteDword(k, "ShowSpeedTip", ShowSpeedTip);
    WriteDword(k, "ShowBugReport", ShowBugReport);
    WriteDword(k, "RandomOrder", RandomOrder);
    WriteDword(k, "DefaultMusic", DefaultMusic);
    WriteDword(k, "CustomMusic", CustomMusic);
    WriteDword(k, "BlankAllScreens", BlankAllScreens);
    WriteDword(k, "AutoPerformance", AutoPerformance);
    WriteDword(k, "ShowQuotes", ShowQuotes);
    WriteDword(k, "Quality", Quality);
    WriteDword(k, "QuoteInterval", QuoteInterval);
    WriteDword(k, "QuoteDuration", QuoteDuration);
    WritePaddedNumber(k, "MusicVol", MusicVol);
    WritePaddedNumber(k, "DispModeWidth", DispModeWidth);
    WritePaddedNumber(k, "DispModeHeight", DispModeHeight);
    WritePaddedNumber(k, "DispModeBits", DispModeBits);
}

void SaverState::SetCrashFlag(int32_t value) { WriteUserDword("CrashFlag", value); }

void SaverState::SetDoChecksum(int32_t value) { WriteUserDword("DoChecksum", value); }

void SaverState::SetCriticalError(int32_t value) {
    bool opened = false;
    WriteUserDword("CriticalError", value, &opened);
    if (opened) CriticalError = value;
}

bool WriteUserString(const char* subkey, const char* valueName, const char* text) {
    RegKey key;
    if (!key.Create(HKEY_CURRENT_USER, subkey)) return false;
    return RegSetValueExA(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

bool WriteMachineBinary(const char* subkey, const char* valueName, const void* data, DWORD length) {
    RegKey key;
    if (!key.Create(HKEY_LOCAL_MACHINE, subkey)) return false;
    return RegSetValueExA(key.get(), valueName, 0, REG_BINARY, static_cast<const BYTE*>(data),
                          length) == ERROR_SUCCESS;
}

bool RememberVideoGuid(const char* subkey, const void* guid) {
    if (WriteMachineBinary(subkey, kVideoGuidValue, guid, 16)) {
        RegKey user;
        if (user.Open(HKEY_CURRENT_USER, subkey, KEY_SET_VALUE)) RegDeleteValueA(user.get(), kVideoGuidValue);
        return true;
    }
    RegKey user;
    return user.Create(HKEY_CURRENT_USER, subkey) &&
           RegSetValueExA(user.get(), kVideoGuidValue, 0, REG_BINARY, static_cast<const BYTE*>(guid), 16) ==
               ERROR_SUCCESS;
}
