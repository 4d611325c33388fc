// Installation housekeeping on the registry and the file system. Every failure is silent.
#include "app/Housekeeping.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <vector>

#include "app/CheckSumList.h"
#include "core/Globals.h"
#include "core/Paths.h"
#include "app/Sha256.h"
#include "core/SaverState.h"
#include "app/UninstallRules.h"
#include "diag/Log.h"

namespace {

const char* const kAppDataKey = "Software\\Telmoro\\Zephyl\\AppData";
const char* const kCheckSumFile = "chk.sum";

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer<HKEY>::type, KeyCloser>;

// The machine keys keep the access list they inherit (administrators write, users read):
// the launcher, the installer and the uninstaller of every account trust what they hold.
UniqueKey CreateMachineKey(const char* path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return UniqueKey();
    return UniqueKey(key);
}

const char* const kProfileListKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// The profile folders the system knows (ProfileImagePath of every profile); empty where it
// keeps no list (Windows 95/98/ME).
std::vector<std::string> ProfileFolders() {
    std::vector<std::string> folders;
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProfileListKey, 0, KEY_READ, &raw) != ERROR_SUCCESS)
        return folders;
    UniqueKey list(raw);
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(list.get(), i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY profile = nullptr;
        if (RegOpenKeyExA(list.get(), name, 0, KEY_QUERY_VALUE, &profile) != ERROR_SUCCESS) continue;
        char data[MAX_PATH + 1] = {};
        DWORD size = MAX_PATH, type = 0;
        const LONG r = RegQueryValueExA(profile, "ProfileImagePath", nullptr, &type,
                                        reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(profile);
        if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) continue;
        char expanded[MAX_PATH] = {};
        const DWORD n = ExpandEnvironmentStringsA(data, expanded, MAX_PATH);
        if (n == 0 || n > MAX_PATH) continue;
        folders.emplace_back(expanded);
    }
    return folders;
}

bool OnLocalDrive(const std::string& path) {
    const std::string root = path.substr(0, 3);
    const UINT kind = GetDriveTypeA(root.c_str());
    return kind == DRIVE_FIXED || kind == DRIVE_REMOVABLE || kind == DRIVE_RAMDISK;
}

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

bool IsLinkOrMissing(DWORD attributes) {
    return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Opens `folder` without sharing delete access, so that while the handle lives nobody can
// rename it or put a link in its place; null when it is no real folder (a junction, a
// symbolic link, a file, missing) or cannot be held.
UniqueHandle HoldRealFolder(const std::string& folder) {
    if (IsLinkOrMissing(GetFileAttributesA(folder.c_str()))) return UniqueHandle();
    HANDLE h = CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return UniqueHandle();
    UniqueHandle held(h);
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(h, &info) || IsLinkOrMissing(info.dwFileAttributes)) return UniqueHandle();
    // Looked at once more now that it cannot change: the name must still be no link.
    if (IsLinkOrMissing(GetFileAttributesA(folder.c_str()))) return UniqueHandle();
    return held;
}

void DeleteTreeBelow(const std::string& path);

// Empties a real folder that it holds while doing so, then removes it. A link is removed
// itself, never followed.
void RemoveFolder(const std::string& folder) {
    if (UniqueHandle held = HoldRealFolder(folder)) DeleteTreeBelow(folder);
    RemoveDirectoryA(folder.c_str());
}

void DeleteTreeBelow(const std::string& path) {
    if (path.empty()) return;
    std::string base = path;
    if (base.back() != '\\') base += '\\';
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + "*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..")) continue;
        std::string item = base + found.cFileName;
        const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) && !link)
            SetFileAttributesA(item.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (link)
                RemoveDirectoryA(item.c_str());
            else
                RemoveFolder(item);
        } else {
            DeleteFileA(item.c_str());
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// Removes one recorded user folder when it can be verified as one: a local folder below a
// profile folder the system knows, no folder on the way to it nor itself a link. Every
// folder of the chain is held while the tree goes, so none can be swapped for a link in
// between. Then its "Telmoro" folder goes too, when nothing else is left in it.
void RemoveUserFolder(const std::string& folder, const std::vector<std::string>& profiles) {
    if (!MayRemoveUserFolder(folder, profiles) || !OnLocalDrive(folder)) return;
    const std::vector<std::string> chain = FolderChain(folder);
    if (chain.size() < 3) return;
    std::vector<UniqueHandle> held;
    for (size_t i = 1; i < chain.size(); ++i) {
        held.push_back(HoldRealFolder(chain[i]));
        if (!held.back()) return;
    }
    DeleteTreeBelow(folder);
    held.pop_back();
    RemoveDirectoryA(chain.back().c_str());
    held.pop_back();
    RemoveDirectoryA(chain[chain.size() - 2].c_str());
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
    std::string name = LoginName();
    if (name.empty()) name = folder;
    RegSetValueExA(appData.get(), name.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>(folder.size() + 1));
    appData.reset();
    CreateMachineKey(kProductKey);
}

void DeleteFolderTree(const std::string& path) {
    if (UniqueHandle held = HoldRealFolder(path)) DeleteTreeBelow(path);
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
    const std::vector<std::string> profiles = ProfileFolders();
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
        RemoveUserFolder(reinterpret_cast<const char*>(data.data()), profiles);
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
