// The path rule of the uninstall: which recorded user folders may be removed.
#include "app/UninstallRules.h"

#include "core/Paths.h"

namespace {

bool IsSlash(char c) { return c == '\\' || c == '/'; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// The parts after "X:\", split at either slash; empty parts (doubled slashes) are dropped.
std::vector<std::string> PartsAfterRoot(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 3;
    while (start < path.size()) {
        size_t stop = start;
        while (stop < path.size() && !IsSlash(path[stop])) ++stop;
        if (stop > start) parts.push_back(path.substr(start, stop - start));
        start = stop + 1;
    }
    return parts;
}

bool IsDriveRoot(const std::string& path) {
    const char d = LowerAscii(path.size() >= 3 ? path[0] : '\0');
    return d >= 'a' && d <= 'z' && path[1] == ':' && IsSlash(path[2]);
}

bool IsPlainPart(const std::string& part) {
    if (part == "." || part == "..") return false;
    if (part.back() == '.' || part.back() == ' ') return false;
    for (char c : part) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|')
            return false;
    }
    return true;
}

std::string Normalized(const std::string& path) {
    std::string s;
    for (char c : path) s += IsSlash(c) ? '\\' : LowerAscii(c);
    while (s.size() > 3 && s.back() == '\\') s.pop_back();
    return s;
}

}  // namespace

bool IsLocalDrivePath(const std::string& path) {
    if (!IsDriveRoot(path)) return false;
    for (const std::string& part : PartsAfterRoot(path))
        if (!IsPlainPart(part)) return false;
    return true;
}

std::vector<std::string> FolderChain(const std::string& path) {
    if (!IsLocalDrivePath(path)) return {};
    std::vector<std::string> chain;
    std::string folder = path.substr(0, 2) + "\\";
    chain.push_back(folder);
    for (const std::string& part : PartsAfterRoot(path)) {
        if (folder.back() != '\\') folder += '\\';
        folder += part;
        chain.push_back(folder);
    }
    return chain;
}

bool IsBelowAnyFolder(const std::string& path, const std::vector<std::string>& folders) {
    const std::string p = Normalized(path);
    for (const std::string& folder : folders) {
        std::string f = Normalized(folder);
        if (f.size() <= 3) continue;  // a drive's root is no profile folder
        f += '\\';
        if (p.size() > f.size() && p.compare(0, f.size(), f) == 0) return true;
    }
    return false;
}

bool MayRemoveUserFolder(const std::string& path, const std::vector<std::string>& profiles) {
    if (!IsRecordedUserFolder(path) || !IsLocalDrivePath(path)) return false;
    return profiles.empty() || IsBelowAnyFolder(path, profiles);
}
