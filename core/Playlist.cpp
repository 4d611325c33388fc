// Playlist readers and writers. The readers are text scanners: each looks for one keyword
// and takes the line or quoted value behind it; relative values are resolved against the
// folder of the playlist file.
#include "core/Playlist.h"

#include "core/ReplaceFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

const size_t kMaxLoadPath = 1024;
const size_t kMaxSavePath = 260;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool StartsWithNoCase(const std::string& s, size_t at, const char* prefix) {
    size_t n = strlen(prefix);
    if (at > s.size() || s.size() - at < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (Lower(s[at + i]) != Lower(prefix[i])) return false;
    return true;
}

size_t FindNoCase(const std::string& s, const char* needle, size_t from) {
    size_t n = strlen(needle);
    for (size_t i = from; i + n <= s.size(); ++i)
        if (StartsWithNoCase(s, i, needle)) return i;
    return std::string::npos;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsWhiteSpace(char c) { return IsBlank(c) || c == '\r' || c == '\n'; }
bool IsAlnum(char c) { return (c >= '0' && c <= '9') || (Lower(c) >= 'a' && Lower(c) <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Players indent with tabs as well as spaces.
size_t SkipBlanks(const std::string& s, size_t at) {
    while (at < s.size() && IsBlank(s[at])) ++at;
    return at;
}

// A numeric character reference at s[at] ("&#39;" or "&#x27;") naming a byte 1..255: its
// value, and its length in len; 0 when there is none.
int NumericReference(const std::string& s, size_t at, size_t& len) {
    size_t i = at + 2;
    if (i > s.size() || s[at] != '&' || s[at + 1] != '#') return 0;
    int base = 10;
    if (i < s.size() && Lower(s[i]) == 'x') {
        base = 16;
        ++i;
    }
    int value = 0;
    size_t digits = 0;
    for (; i < s.size(); ++i, ++digits) {
        char c = Lower(s[i]);
        int d = IsDigit(c) ? c - '0' : (base == 16 && c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
        if (d < 0) break;
        value = value * base + d;
        if (value > 255) return 0;
    }
    if (digits == 0 || i >= s.size() || s[i] != ';' || value == 0) return 0;
    len = i + 1 - at;
    return value;
}

// One pass for "&apos;", "&quot;", "&nbsp;" and numeric references, then one for "&amp;":
// the same result as decoding each entity in turn over the whole value, "&amp;" last (so
// "&amp;apos;" gives "&apos;"), in time linear in the value's length.
std::string DecodeEntities(const std::string& s) {
    static const struct { const char* name; char c; } kNamed[] = {{"&apos;", '\''}, {"&quot;", '"'}, {"&nbsp;", ' '}};
    std::string first;
    first.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        if (s[i] == '&') {
            bool done = false;
            for (const auto& e : kNamed) {
                if (s.compare(i, strlen(e.name), e.name) == 0) {
                    first += e.c;
                    i += strlen(e.name);
                    done = true;
                    break;
                }
            }
            size_t len = 0;
            int byte = done ? 0 : NumericReference(s, i, len);
            if (byte) {
                first += char(byte);
                i += len;
                done = true;
            }
            if (done) continue;
        }
        first += s[i++];
    }
    std::string out;
    out.reserve(first.size());
    for (size_t i = 0; i < first.size();) {
        if (first.compare(i, 5, "&amp;") == 0) {
            out += '&';
            i += 5;
        } else {
            out += first[i++];
        }
    }
    return out;
}

// Where the quoted value of a playlist element begins: the position just after the keyword
// (or attribute name) that introduces it, found at or after 'from'; npos when none is left.
size_t FindPlaystring(const std::string& text, size_t from) {
    size_t at = FindNoCase(text, "Playstring", from);
    return at == std::string::npos ? at : at + strlen("Playstring");
}

// WPL: "media", any run of white space (line ends included), "src".
size_t FindMediaSrc(const std::string& text, size_t from) {
    for (size_t at = from; (at = FindNoCase(text, "media", at)) != std::string::npos; ++at) {
        size_t i = at + strlen("media");
        size_t gap = i;
        while (i < text.size() && IsWhiteSpace(text[i])) ++i;
        if (i > gap && StartsWithNoCase(text, i, "src")) return i + strlen("src");
    }
    return std::string::npos;
}

// ASX: the "href" of REF and ENTRYREF elements; other elements (MoreInfo, Banner, LogURL)
// carry web pages and pictures, not songs.
size_t FindRefHref(const std::string& text, size_t from) {
    for (size_t at = from; (at = text.find('<', at)) != std::string::npos; ++at) {
        size_t name = at + 1;
        size_t end = name;
        while (end < text.size() && IsAlnum(text[end])) ++end;
        size_t n = end - name;
        bool isRef = (n == 3 && StartsWithNoCase(text, name, "ref")) || (n == 8 && StartsWithNoCase(text, name, "entryref"));
        if (!isRef) continue;
        size_t close = text.find_first_of("<>", end);
        if (close == std::string::npos) close = text.size();
        for (size_t href = end; href + 4 <= close; ++href)
            if (StartsWithNoCase(text, href, "href")) return href + strlen("href");
    }
    return std::string::npos;
}

// PLS: a "KEY=value" line whose key is a plain word (letters and digits) is a field.
bool PlsField(const std::string& line, size_t at, size_t& eq) {
    size_t i = at;
    while (i < line.size() && IsAlnum(line[i])) ++i;
    if (i == at || i >= line.size() || line[i] != '=') return false;
    eq = i;
    return true;
}

bool IsPlsFileKey(const std::string& line, size_t at, size_t eq) {
    if (!StartsWithNoCase(line, at, "file")) return false;
    for (size_t i = at + 4; i < eq; ++i)
        if (!IsDigit(line[i])) return false;
    return true;
}

// Lines at LF; empty lines are left out.
std::vector<std::string> Lines(const std::string& text, size_t from) {
    std::vector<std::string> out;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        if (end > from) out.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return out;
}

// The path made absolute against the current directory, up to maxLength characters.
bool MakeAbsolute(const char* path, size_t maxLength, std::string& out) {
#ifdef _WIN32
    char buffer[kMaxLoadPath];
    if (!_fullpath(buffer, path, sizeof buffer)) return false;
    out = buffer;
#else
    if (path[0] == '/') {
        out = path;
    } else {
        char cwd[kMaxLoadPath];
        if (!getcwd(cwd, sizeof cwd)) return false;
        out = std::string(cwd) + "/" + path;
    }
#endif
    return !out.empty() && out.size() < maxLength;
}

class FileCloser {
public:
    explicit FileCloser(FILE* f) : m_f(f) {}
    ~FileCloser() { if (m_f) fclose(m_f); }
    FILE* get() const { return m_f; }
    bool Close() {
        bool ok = fclose(m_f) == 0;
        m_f = nullptr;
        return ok;
    }

private:
    FILE* m_f;
};

}  // namespace

int Playlist::TypeOfPath(const std::string& path) {
    size_t dot = path.rfind('.');
    if (dot == std::string::npos) return TypeM3U;
    std::string ext;
    for (size_t i = dot; i < path.size(); ++i) ext += Lower(path[i]);
    if (ext == ".m3u") return TypeM3U;
    if (ext == ".b4s") return TypeB4S;
    if (ext == ".pls") return TypePLS;
    if (ext == ".asx") return TypeASX;
    if (ext == ".wpl") return TypeWPL;
    if (ext == ".bpl") return TypeBPL;
    return TypeM3U;
}

std::string Playlist::Title(const std::string& entry) {
    size_t slash = entry.find_last_of("\\/");
    std::string name = slash == std::string::npos ? entry : entry.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

const std::string& Playlist::Entry(int i) const {
    static const std::string kNone;
    return (i >= 0 && i < Count()) ? m_entries[size_t(i)] : kNone;
}

void Playlist::AddEntries(const char* const* entries, int n) {
    if (!entries || n <= 0) return;
    for (int i = 0; i < n; ++i)
        if (entries[i]) m_entries.emplace_back(entries[i]);
}

void Playlist::AddEntries(const std::vector<std::string>& entries) {
    m_entries.insert(m_entries.end(), entries.begin(), entries.end());
}

void Playlist::Shuffle(uint32_t seed, int passes) {
    MsvcRand rng(seed);
    size_t count = m_entries.size();
    if (count == 0) return;
    for (int pass = 0; pass < passes; ++pass)
        for (size_t i = 0; i < count; ++i)
            std::swap(m_entries[i], m_entries[size_t(rng.Next()) % count]);
}

bool Playlist::Load(const char* path) {
    m_entries.clear();
    if (!path || !*path) {
        m_error = ErrorNoPath;
        return false;
    }
    std::string full;
    if (!MakeAbsolute(path, kMaxLoadPath, full)) {
        m_error = ErrorNotAbsolute;
        return false;
    }
    m_path = full;

    FileCloser file(fopen(full.c_str(), "rb"));
    if (!file.get()) {
        m_error = ErrorCannotOpen;
        return false;
    }
    std::string raw;
    char buffer[16384];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file.get())) > 0) raw.append(buffer, n);
    file.Close();

    // Text-mode reading: a CR LF pair is one LF. The text ends at its first NUL byte, as
    // a C string would. A UTF-8 byte order mark (some players write one) is no text.
    std::string text;
    text.reserve(raw.size());
    size_t first = raw.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (size_t i = first; i < raw.size() && raw[i] != '\0'; ++i)
        if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) text += raw[i];

    // The folder is where the last separator is; _fullpath gives only back slashes on
    // Windows, other platforms use "/".
    size_t sep = full.find_last_of(std::string(1, m_primarySeparator) + m_secondarySeparator);
    m_folder = sep == std::string::npos ? std::string() : full.substr(0, sep + 1);

    m_type = TypeOfPath(full);
    switch (m_type) {
    case TypeB4S:
    case TypeBPL: ReadQuoted(text, FindPlaystring, true); break;
    case TypePLS: ReadPLS(text); break;
    case TypeASX: ReadQuoted(text, FindRefHref, false); break;
    case TypeWPL: ReadQuoted(text, FindMediaSrc, false); break;
    default: ReadM3U(text); break;
    }
    m_error = ErrorNone;
    return true;
}

std::string Playlist::Resolve(const std::string& value) const {
    bool network = value.size() >= 2 && value[0] == '\\' && value[1] == '\\';
    if (network || value.find(':') != std::string::npos) return value;
    // "?" cannot begin a file name: such a value names a song of the music bundle, and
    // stays as it is so that a saved list with bundle songs reads back the same.
    if (value[0] == '?') return value;
    size_t skip = (!value.empty() && (value[0] == m_primarySeparator || value[0] == m_secondarySeparator)) ? 1 : 0;
    return m_folder + value.substr(skip);
}

void Playlist::Append(const std::string& value) {
    // An empty value would resolve to the playlist's folder, which is no song; a quoted
    // value running over a line end names no file either, and written back into an M3U
    // or PLS file it would split into bogus lines.
    if (value.empty() || value.find_first_of("\r\n") != std::string::npos) return;
    m_entries.push_back(Resolve(value));
}

void Playlist::ReadM3U(const std::string& text) {
    for (const std::string& line : Lines(text, 0)) {
        size_t at = SkipBlanks(line, 0);
        if (at < line.size() && line[at] == '#') continue;  // #EXTM3U, #EXTINF: and comments
        Append(line.substr(at));
    }
}

void Playlist::ReadQuoted(const std::string& text, KeywordFinder find, bool dropFileScheme) {
    size_t at = 0;
    while ((at = find(text, at)) != std::string::npos) {
        size_t open = text.find('"', at);
        if (open == std::string::npos) return;
        size_t start = SkipBlanks(text, open + 1);
        if (dropFileScheme && StartsWithNoCase(text, start, "file:"))
            start = SkipBlanks(text, start + 5);
        size_t close = text.find('"', start);
        if (close == std::string::npos) return;  // unterminated value: nothing more to take
        std::string value = text.substr(start, close - start);
        Append(m_decodeEntities ? DecodeEntities(value) : value);
        at = close + 1;
    }
}

void Playlist::ReadPLS(const std::string& text) {
    static const char kVersion2[] = "Version=2";
    size_t tail = text.size() > 15 ? text.size() - 15 : 0;
    bool version2 = FindNoCase(text, kVersion2, tail) != std::string::npos;

    static const char kHeader[] = "[playlist]";
    size_t start = FindNoCase(text, kHeader, 0);
    // One character after the header (its line end), never past the end of the text.
    start = start == std::string::npos ? 0 : std::min(text.size(), start + strlen(kHeader) + 1);

    for (const std::string& line : Lines(text, start)) {
        size_t at = SkipBlanks(line, 0);
        if (version2) {
            if (!StartsWithNoCase(line, at, "file")) continue;
            size_t eq = line.find('=', at);
            if (eq == std::string::npos) continue;
            Append(line.substr(SkipBlanks(line, eq + 1)));
            continue;
        }
        // Without the version line (station lists often lack it) the fields are still
        // fields: only File-keys name songs. Other lines are paths, "=" or not.
        size_t eq = 0;
        if (at < line.size() && (line[at] == '#' || line[at] == ';')) continue;
        if (StartsWithNoCase(line, at, kHeader) && SkipBlanks(line, at + strlen(kHeader)) == line.size()) continue;
        if (PlsField(line, at, eq)) {
            if (IsPlsFileKey(line, at, eq)) Append(line.substr(SkipBlanks(line, eq + 1)));
            continue;
        }
        Append(line.substr(at));
    }
}

bool Playlist::Save(const char* path, int type) const {
    if (m_entries.empty() || !path || !*path) return false;
    if (type != TypeM3U && type != TypePLS) return false;
    std::string full;
    if (!MakeAbsolute(path, kMaxSavePath, full)) return false;

    // An entry that the reader would take for a comment or trim (it begins with "#", a blank
    // or a tab: values kept from other players' lists) is written as its full path, the file
    // opening it would reach, which reads back as it is written.
    auto written = [](const std::string& e) {
        std::string full;
        if (!e.empty() && (e[0] == '#' || IsBlank(e[0])) && MakeAbsolute(e.c_str(), kMaxLoadPath, full)) return full;
        return e;
    };
    std::string out;
    if (type == TypeM3U) {
        out = "#EXTM3U\r\n";
        for (const std::string& e : m_entries) out += "#EXTINF:-1," + Title(e) + "\r\n" + written(e) + "\r\n";
    } else {
        out = "[playlist]\r\nPlaylistName=Telmoro playlist\r\n";
        for (size_t i = 0; i < m_entries.size(); ++i) {
            std::string n = std::to_string(i + 1);
            out += "File" + n + "=" + written(m_entries[i]) + "\r\n";
            out += "Title" + n + "=" + Title(m_entries[i]) + "\r\n";
        }
        out += "NumberOfEntries=" + std::to_string(m_entries.size()) + "\r\nVersion=2";
    }
    // The old list stays whole until the new one is complete, and is replaced in one step.
    return WriteReplacing(full, out);
}
