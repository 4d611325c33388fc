// ReplaceFile: the write-beside-and-move of a file, with the platform's one-step replace
// (MoveFileEx on Windows, rename elsewhere).
#include "core/ReplaceFile.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>

#include <vector>

namespace {

// The path in UTF-16 for the wide file functions; beyond MAX_PATH with the "\\?\" prefix
// that lifts the limit (it wants an absolute path with back slashes, as saved lists have).
std::wstring WidePath(const std::string& path) {
    int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::vector<wchar_t> wide(size_t(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), n);
    std::wstring out(wide.data());
    if (out.size() < MAX_PATH) return out;
    if (out.size() > 2 && out[0] == L'\\' && out[1] == L'\\') return L"\\\\?\\UNC\\" + out.substr(2);
    return L"\\\\?\\" + out;
}

bool WriteAll(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
    ok = FlushFileBuffers(h) && ok;
    ok = CloseHandle(h) && ok;
    if (!ok) DeleteFileW(path.c_str());
    return ok;
}

}  // namespace

bool WriteReplacing(const std::string& path, const std::string& bytes) {
    std::wstring target = WidePath(path);
    std::wstring temporary = WidePath(path + ".new");
    if (target.empty() || temporary.empty() || !WriteAll(temporary, bytes)) return false;
    return MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#else
#include <unistd.h>

bool WriteReplacing(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".new";
    FILE* f = fopen(temporary.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = fflush(f) == 0 && ok;
    ok = fsync(fileno(f)) == 0 && ok;
    ok = fclose(f) == 0 && ok;
    if (!ok) {
        remove(temporary.c_str());
        return false;
    }
    return rename(temporary.c_str(), path.c_str()) == 0;
}
#endif
