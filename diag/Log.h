// The diagnostic log "ZephylLog.txt": cLog, the process-wide pointer gLog (null while
// logging is off) and the macros every log statement of the program goes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

enum LogLevel : uint32_t {
    LogEnter = 1,
    LogLeave = 2,
    LogFunction = 4,
    LogDebug = 16,
    LogInfo = 18,
    LogWarning = 20,
    LogError = 24,
    LogCritical = 32,
    LogException = 64,
    LogAll = 0xFFFFFFFFu,
};

class cLog {
public:
    explicit cLog(const std::string& fileName);
    virtual ~cLog();  // calls Stop

    virtual void Start();
    virtual void Stop();
    virtual void Write(const std::string& message, uint32_t level);
    virtual void WriteRaw(const std::string& message);
    virtual void HexDump(const void* data, size_t length, uint32_t level);
    virtual void Enter(const std::string& text, uint32_t level);
    virtual void Exit(const std::string& text, uint32_t level);
    // The returned buffer is shared: the next call overwrites it.
    virtual const char* Prefix(uint32_t level);

    // Set before every call by the log macros.
    void SetSource(const char* source, int line) { m_source = source ? source : ""; m_line = line; }

    int Indent() const { return m_indent; }
    bool Started() const { return m_started; }
    uint32_t Mask() const { return m_mask; }
    void SetMask(uint32_t mask) { m_mask = mask; }
    void SetLineDrawing(bool on) { m_lineDrawing = on; }

    static const char* LevelTag(uint32_t level);

private:
    void Append(const std::string& text);

    std::string m_fileName;
    std::string m_source;
    int m_line = 0;
    int m_indent = 0;
    int m_indentStep = 4;
    uint32_t m_mask = 0xFFFFFFFFu;
    bool m_started = false;
    bool m_lineDrawing = false;
    char m_prefix[1100] = {};
};

extern cLog* gLog;

// The file name part of a compiler-supplied source path, so that the log shows
// "Main.cpp" whichever way the build spelled the path.
constexpr const char* LogSourceName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') name = p + 1;
    return name;
}

// Every log statement: when the log exists, set its source and line, then write.
// The message is a stream expression: ZLOG(LogInfo, "Num Monitors: " << n);
#define ZLOG_CALL(method, level, expr)                                   \
    do {                                                                  \
        if (gLog) {                                                       \
            std::ostringstream zlogText_;                                 \
            zlogText_ << expr;                                            \
            gLog->SetSource(LogSourceName(__FILE__), __LINE__);           \
            gLog->method(zlogText_.str(), (level));                       \
        }                                                                 \
    } while (0)

#define ZLOG(level, expr) ZLOG_CALL(Write, level, expr)
#define ZLOG_ENTER(level, expr) ZLOG_CALL(Enter, level, expr)
#define ZLOG_EXIT(level, expr) ZLOG_CALL(Exit, level, expr)

// Function trace: "Enter function: name()" here, "Exit function: name()" on every way out.
// The exit line carries the line of the ZLOG_RETURN the function left by, so that the
// reader of the log can tell which way out was taken; a function left by an exception
// carries the line of its entry.
class LogFunctionTrace {
public:
    LogFunctionTrace(const char* name, const char* source, int line);
    ~LogFunctionTrace();
    LogFunctionTrace(const LogFunctionTrace&) = delete;
    LogFunctionTrace& operator=(const LogFunctionTrace&) = delete;

    void Leaving(int line) { m_exitLine = line; }

private:
    const char* m_name;
    const char* m_source;
    int m_line;
    int m_exitLine = 0;
};

#define ZLOG_FUNCTION(name) LogFunctionTrace zlogTrace_(name, LogSourceName(__FILE__), __LINE__)
// Every return of a function traced with ZLOG_FUNCTION, including the last one of a
// function that returns nothing: ZLOG_RETURN(); or ZLOG_RETURN(true);
#define ZLOG_RETURN(...)                \
    do {                                \
        zlogTrace_.Leaving(__LINE__);   \
        return __VA_ARGS__;             \
    } while (0)
