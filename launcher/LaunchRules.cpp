// The launcher's portable decisions (see LaunchRules.h).
#include "launcher/LaunchRules.h"

namespace {
const char* const kSaverFile = "\\ZephylSaver.scr";
}

bool BuildSaverPath(const std::string& folder, std::string& path) {
    if (folder.empty()) return false;
    std::string candidate = folder;
    // A folder written with a trailing back slash still names the same place.
    if (candidate.back() == '\\') candidate.pop_back();
    candidate += kSaverFile;
    if (candidate.size() + 1 > kLauncherPathSize) return false;
    path = candidate;
    return true;
}

char SwitchLetter(const char* commandLine) {
    const char* p = commandLine ? commandLine : "";
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
    } else {
        while (*p && *p != ' ') ++p;
    }
    if (*p) ++p;
    while (*p == ' ') ++p;
    if (*p == '-' || *p == '/') ++p;
    return (*p >= 'A' && *p <= 'Z') ? static_cast<char>(*p - 'A' + 'a') : *p;
}

bool ShouldWait(const char* commandLine) {
    switch (SwitchLetter(commandLine)) {
    case '\0':
    case 's':
    case 'c':
        return true;
    default:
        return false;
    }
}

bool ForwarderReportsMissingSaver(const char* commandLine) {
    const char letter = SwitchLetter(commandLine);
    return letter != 'p' && letter != 'l';
}
