// Command-line grammar: "/s", "/p 1234", "/c:5678", "/a 1234", "/z" and the two words.
#include "core/CommandLine.h"

#include <cctype>
#include <climits>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

const char* SkipBlanksAndColons(const char* p) {
    while (IsBlank(*p) || *p == ':') ++p;
    return p;
}

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

}  // namespace

long DecimalToInt(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<long>(value);
}

bool ContainsNoCase(const std::string& text, const std::string& word) {
    if (word.empty()) return true;
    if (text.size() < word.size()) return false;
    for (size_t i = 0; i + word.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < word.size() && Lower(text[i + k]) == Lower(word[k])) ++k;
        if (k == word.size()) return true;
    }
    return false;
}

CommandLine ParseCommandLine(const char* line) {
    CommandLine result;
    const char* p = line ? line : "";

    // Program name: quoted up to the closing quote, otherwise up to the first blank.
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
    } else {
        while (*p && !IsBlank(*p)) ++p;
    }
    if (*p) ++p;
    while (IsBlank(*p)) ++p;

    if (!*p) {
        result.mode = ModeConfig;
        return result;
    }

    if (*p == '-' || *p == '/') ++p;
    switch (Lower(*p)) {
    case 'p':
    case 'l':
        result.windowHandle = DecimalToInt(SkipBlanksAndColons(p + 1));
        result.mode = ModePreview;
        break;
    case 's':
        result.mode = ModeSaver;
        break;
    case 'c': {
        const char* rest = SkipBlanksAndColons(p + 1);
        if (*rest)
            result.windowHandle = DecimalToInt(rest);
        else
            result.ownerIsForeground = true;
        result.mode = ModeConfig;
        break;
    }
    case 'a':
        result.windowHandle = DecimalToInt(SkipBlanksAndColons(p + 1));
        result.mode = ModeChangePassword;
        break;
    case 'z':
        result.action = StartAction::Install;
        break;
    default: {
        std::string rest(p);
        if (ContainsNoCase(rest, "uninstall"))
            result.action = StartAction::Uninstall;
        else if (ContainsNoCase(rest, "initialsecurity"))
            result.action = StartAction::InitialSecurity;
        break;
    }
    }
    return result;
}
