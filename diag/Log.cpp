// cLog: appends one line at a time to the log file, opening and closing it for each
// line so that the file is complete up to the last line even if the process dies.
#include "diag/Log.h"

#include <cstdio>
#include <cstring>
#include <ctime>

cLog* gLog = nullptr;

namespace {

constexpr int kIndentRoom = 1023;

std::tm LocalNow() {
    std::time_t now = std::time(nullptr);
    std::tm result{};
#ifdef _WIN32
    std::tm* local = std::localtime(&now);
    if (local) result = *local;
#else
    localtime_r(&now, &result);
#endif
    return result;
}

// asctime's 24-character form without its line break.
std::string TimeText() {
    std::tm local = LocalNow();
    char text[64] = {};
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::snprintf(text, sizeof text, "%.3s %.3s %02d %02d:%02d:%02d %d",
                  kDays[local.tm_wday % 7], kMonths[local.tm_mon % 12], local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec, 1900 + local.tm_year);
    return text;
}

}  // namespace

cLog::cLog(const std::string& fileName) : m_fileName(fileName) {}

cLog::~cLog() { Stop(); }

const char* cLog::LevelTag(uint32_t level) {
    switch (level) {
    case LogEnter: return "> ";
    case LogLeave: return "< ";
    case LogFunction: return "F ";
    case LogDebug: return "D ";
    case LogInfo: return "I ";
    case LogWarning: return "W ";
    case LogError: return "E ";
    case LogCritical: return "! ";
    case LogAll: return "A ";
    default: return "  ";
    }
}

void cLog::Append(const std::string& text) {
    FILE* file = std::fopen(m_fileName.c_str(), "a");
    if (!file) return;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

void cLog::Start() {
    if (m_started) return;
    m_started = true;
    std::string when = TimeText();
    std::remove(m_fileName.c_str());
    Append(std::string(46, '-') + " Log begins on " + when + " " + std::string(46, '-') + "\n");
}

void cLog::Stop() {
    if (!m_started) return;
    std::string when = TimeText();
    Append(std::string(47, '-') + " Log ends on " + when + " " + std::string(47, '-') + "\n\n\n\n\n");
    m_started = false;
}

const char* cLog::Prefix(uint32_t level) {
    const char* source = m_source.c_str();
    const char* slash = std::strrchr(source, '\\');
    if (slash) source = slash + 1;

    std::tm local = LocalNow();
    int used = std::snprintf(m_prefix, sizeof m_prefix - kIndentRoom - 1,
                             "%s%12s[%04d]%02d/%02d %02d:%02d:%02d", LevelTag(level), source, m_line,
                             local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                             local.tm_sec);
    if (used < 0) used = 0;
    // snprintf reports the length it wanted; a cut head holds one character less than its
    // room (the terminating zero), and the indent follows right after what was written.
    const size_t headRoom = sizeof m_prefix - kIndentRoom - 1;
    size_t pos = static_cast<size_t>(used);
    if (pos > headRoom - 1) pos = headRoom - 1;

    int indent = m_indent < kIndentRoom ? m_indent : kIndentRoom;
    for (int i = 0; i < indent; ++i) {
        bool bar = i % m_indentStep == 1;
        m_prefix[pos++] = bar ? (m_lineDrawing ? '\xB3' : '|') : ' ';
    }
    m_prefix[pos] = '\0';
    return m_prefix;
}

void cLog::Write(const std::string& message, uint32_t level) {
    if ((level & m_mask) == 0) return;
    std::string line = Prefix(level);
    line += message;
    line += '\n';
    Append(line);
}

void cLog::WriteRaw(const std::string& message) { Append(message); }

void cLog::HexDump(const void* data, size_t length, uint32_t level) {
    if (!data || (level & m_mask) == 0) return;
    static const char kHex[] = "0123456789ABCDEF";
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t start = 0; start < length; start += 20) {
        char row[81];
        for (int i = 0; i < 20; ++i) std::memcpy(row + 3 * i, "-- ", 3);
        std::memset(row + 60, '.', 20);
        row[80] = '\0';
        for (size_t i = 0; i < 20 && start + i < length; ++i) {
            unsigned char b = bytes[start + i];
            row[3 * i] = kHex[b >> 4];
            row[3 * i + 1] = kHex[b & 15];
            row[60 + i] = (b >= 32 && b <= 127) ? static_cast<char>(b) : '.';
        }
        std::string line = Prefix(level);
        line.append(row, 80);
        line += '\n';
        Append(line);
    }
}

void cLog::Enter(const std::string& text, uint32_t level) {
    if ((level & m_mask) == 0) return;
    std::string line = Prefix(level);
    line += m_lineDrawing ? std::string(" \xDA ") : std::string(" +- ");
    line += text;
    line += '\n';
    Append(line);
    if (m_indent + m_indentStep <= kIndentRoom) m_indent += m_indentStep;
}

void cLog::Exit(const std::string& text, uint32_t level) {
    if ((level & m_mask) == 0) return;
    m_indent -= m_indentStep;
    if (m_indent < 0) m_indent = 0;
    std::string line = Prefix(level);
    line += m_lineDrawing ? std::string(" \xC0 ") : std::string(" +- ");
    line += text;
    line += '\n';
    Append(line);
}

LogFunctionTrace::LogFunctionTrace(const char* name, const char* source, int line)
    : m_name(name), m_source(source), m_line(line) {
    if (gLog) {
        gLog->SetSource(m_source, m_line);
        gLog->Enter(std::string("Enter function: ") + m_name + "()", LogFunction);
    }
}

LogFunctionTrace::~LogFunctionTrace() {
    if (gLog) {
        gLog->SetSource(m_source, m_exitLine > 0 ? m_exitLine : m_line);
        gLog->Exit(std::string("Exit function: ") + m_name + "()", LogFunction);
    }
}
