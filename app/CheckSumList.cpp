// Parser of the installed-file list.
#include "app/CheckSumList.h"

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// CON, PRN, AUX, NUL, COM1..9, LPT1..9 (also CONIN$, CONOUT$), with or without an
// extension and in any case: Windows opens the device, not a file, in every folder. A
// serial port can keep the read waiting for ever.
bool IsDeviceName(const std::string& part) {
    std::string base = part.substr(0, part.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();  // "CON .txt" is CON too
    for (char& c : base)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$")
        return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

// Only plain names below the installation folder: no drive, no root, no "..", no device.
bool IsSafeRelativeName(const std::string& name) {
    if (name.empty() || name.size() > 255) return false;
    if (name[0] == '\\' || name[0] == '/' || name.find(':') != std::string::npos) return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos) end = name.size();
        std::string part = name.substr(start, end - start);
        if (part.empty() || part == ".." || IsDeviceName(part)) return false;
        start = end + 1;
    }
    for (char c : name)
        if (static_cast<unsigned char>(c) < 32) return false;
    return true;
}

}  // namespace

bool ParseCheckSumList(const std::string& text, std::vector<CheckSumEntry>& entries) {
    entries.clear();
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;

        if (line.size() < 67 || line[64] != ' ' || (line[65] != ' ' && line[65] != '*')) return false;
        CheckSumEntry entry;
        for (int i = 0; i < 32; ++i) {
            int hi = HexValue(line[2 * i]), lo = HexValue(line[2 * i + 1]);
            if (hi < 0 || lo < 0) return false;
            entry.sha256[i] = static_cast<uint8_t>(hi * 16 + lo);
        }
        entry.name = line.substr(66);
        if (!IsSafeRelativeName(entry.name)) return false;
        entries.push_back(std::move(entry));
    }
    return !entries.empty();
}
