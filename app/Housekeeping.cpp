// Installation housekeeping on the registry and the file system. Every failure is silent.
#include "app/Housekeeping.h"

#include <windows.h>
#include <aclapi.h>

#include <cstring>
#include <memory>
#include <vector>

#include "app/CheckSumList.h"
#include "core/Globals.h"
#include "core/Paths.h"
#include "app/Sha256.h"
#include "core/SaverState.h"
#include "diag/Log.h"

namespace {

const char* const kAppDataKey = "Software\\Telmoro\\Zephyl\\AppData";
const char* const kCheckSumFile = "chk.sum";

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer<HKEY>::type, KeyCloser>;

UniqueKey CreateMachineKey(const char* path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE | KEY_READ | WRITE_DAC, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return UniqueKey();
    return UniqueKey(key);
}

bool IsNtPlatform() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// A null access list (full access for everyone), protected from inheritance.
void OpenKeyToEveryone(HKEY key) {
    if (!IsNtPlatform()) return;
    SetSecurityInfo(key, SE_REGISTRY_KEY,
                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                    nullptr, nullptr, nullptr);
}

std::string WindowsFolder() {
    char folder[MAX_PATH] = {};
    UINT n = GetWindowsDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    std::string s(folder);
    if (s.back() != '\\') s += '\\';
    return s;
}

bool ReadWholeFile(const std::string& path, std::string& text, size_t limit) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    DWORD size = GetFileSize(f, &high);
    bool ok = size != INVALID_FILE_SIZE && high == 0 && size <= limit;
    if (ok) {
        text.assign(size, '\0');
        DWORD got = 0;
        ok = size == 0 || (ReadFile(f, &text[0], size, &got, nullptr) && got == size);
    }
    CloseHandle(f);
    return ok;
}

}  // namespace

void InitialSecurity(const std::string& folder) {
    UniqueKey appData = CreateMachineKey(kAppDataKey);
    if (!appData) return;
    OpenKeyToEveryone(appData.get());
    std::string name = LoginName();
    if (name.empty()) name = folder;
    RegSetValueExA(appData.get(), name.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>(folder.size() + 1));
    appData.reset();
    if (UniqueKey product = CreateMachineKey(kProductKey)) OpenKeyToEveryone(product.get());
}

void DeleteFolderTree(const std::string& path) {
    if (path.empty()) return;
    std::string base = path;
    if (base.back() != '\\') base += '\\';
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + "*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..")) continue;
        std::string item = base + found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesA(item.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A junction or folder link goes itself; what it points at is not the user's
            // folder and is left alone.
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) DeleteFolderTree(item);
            RemoveDirectoryA(item.c_str());
        } else {
            DeleteFileA(item.c_str());
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void Uninstall() {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppDataKey, 0, KEY_READ | KEY_WRITE, &raw) != ERROR_SUCCESS)
        return;
    UniqueKey key(raw);
    DWORD count = 0, longestName = 0, longestData = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::vector<char> name(longestName + 2);
    std::vector<BYTE> data(longestData + 2);
    for (DWORD i = 0; i < count; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size() - 1);
        DWORD type = 0;
        std::fill(data.begin(), data.end(), 0);
        LONG r = RegEnumValueA(key.get(), i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
        if (r != ERROR_SUCCESS && r != ERROR_MORE_DATA) break;
        if (type != REG_SZ) continue;
        std::string folder(reinterpret_cast<const char*>(data.data()));
        if (!IsRecordedUserFolder(folder)) continue;  // only a user folder of this program
        DeleteFolderTree(folder);
        RemoveDirectoryA(folder.c_str());
    }
    key.reset();
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAppDataKey);
}

bool Sha256OfFile(const std::string& path, unsigned char digest[32]) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    Sha256 hash;
    std::vector<BYTE> buffer(64 * 1024);
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(f, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) != FALSE) && got)
        hash.Add(buffer.data(), got);
    CloseHandle(f);
    if (!ok) return false;
    const std::array<uint8_t, 32> result = hash.Finish();
    std::memcpy(digest, result.data(), result.size());
    return true;
}

bool CheckInstalledFiles(const std::string& listPath, const std::string& installFolder, std::string* result) {
    std::string note;
    const bool intact = [&] {
        std::string text;
        if (!ReadWholeFile(listPath, text, 1 << 20)) {
            note = "Checksum list missing: " + listPath;
            return false;
        }
        std::vector<CheckSumEntry> entries;
        if (!ParseCheckSumList(text, entries)) {
            note = "Checksum list malformed: " + listPath;
            return false;
        }
        for (const CheckSumEntry& entry : entries) {
            unsigned char digest[32];
            if (!Sha256OfFile(installFolder + entry.name, digest) ||
                memcmp(digest, entry.sha256.data(), 32) != 0) {
                note = "Installed file missing or altered: " + entry.name;
                return false;
            }
        }
        note = "Installed files intact: " + std::to_string(entries.size()) + " checked against " + listPath;
        return true;
    }();
    if (result) *result = note;
    return intact;
}

bool InstalledFileCheck(std::string* result) {
    std::string windows = WindowsFolder();
    if (windows.empty()) {
        if (result) *result = "Checksum list missing: no Windows folder";
        return false;
    }
    return CheckInstalledFiles(windows + kCheckSumFile, ProgramFolder, result);
}
