// soak.exe: the soak run as a program (tools/soak.sh runs it under Wine).
//   soak.exe --seconds N --csv FILE [--songs FOLDER] [--sample-ms N] [--key-ms N]
//            [--power-ms N] [--dark-ms N] [--no-log]
//   soak.exe --analyse FILE      the trend report of a CSV written before
// Prints the trend of each series over the last 90 minutes (or the last three quarters of
// a shorter run); exits 0 when the run went to its end and ended on the closing key.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/WineTest.h"
#include "support/SoakRun.h"

namespace {

std::vector<std::string> SongsIn(const std::string& folder) {
    std::vector<std::string> songs;
    WIN32_FIND_DATAA found = {};
    HANDLE find = FindFirstFileA((folder + "*.ogg").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return songs;
    do songs.push_back(folder + found.cFileName);
    while (FindNextFileA(find, &found));
    FindClose(find);
    return songs;
}

int Analyse(const std::string& path) {
    bool ok = false;
    const std::string text = wt::ReadFile(path, &ok);
    std::vector<SoakSample> samples;
    if (!ok || !ParseSoakCsv(text, samples) || samples.empty()) {
        std::fprintf(stderr, "cannot read the samples of %s\n", path.c_str());
        return 2;
    }
    std::printf("%s", SoakTrendReport(samples, SoakTrendStart(samples.back().seconds)).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    SoakOptions options;
    std::string songFolder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--no-log") {
            options.debugLog = false;
            continue;
        }
        if (!value) {
            std::fprintf(stderr, "%s needs a value\n", arg.c_str());
            return 2;
        }
        ++i;
        if (arg == "--analyse") return Analyse(value);
        if (arg == "--seconds") options.seconds = std::strtoul(value, nullptr, 10);
        else if (arg == "--csv") options.csvPath = value;
        else if (arg == "--songs") songFolder = value;
        else if (arg == "--sample-ms") options.sampleMs = std::strtoul(value, nullptr, 10);
        else if (arg == "--key-ms") options.musicKeyMs = std::strtoul(value, nullptr, 10);
        else if (arg == "--power-ms") options.powerMs = std::strtoul(value, nullptr, 10);
        else if (arg == "--dark-ms") options.darkMs = std::strtoul(value, nullptr, 10);
        else {
            std::fprintf(stderr, "unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    if (!songFolder.empty()) {
        if (songFolder.back() != '\\') songFolder += '\\';
        options.songs = SongsIn(songFolder);
        if (options.songs.empty()) {
            std::fprintf(stderr, "no .ogg songs in %s\n", songFolder.c_str());
            return 2;
        }
    }
    options.folder = wt::InstallCopy("soak");
    std::printf("soak: %lu s from %s, %zu playlist songs, samples to %s\n",
                static_cast<unsigned long>(options.seconds), options.folder.c_str(), options.songs.size(),
                options.csvPath.c_str());
    std::fflush(stdout);
    SoakResult result;
    const bool ok = RunSoak(options, result);
    std::printf("soak: %zu samples, %u music keys, %u dark stretches, exit code %lu%s%s\n", result.samples.size(),
                result.musicKeys, result.darkStretches, static_cast<unsigned long>(result.exitCode),
                ok ? "" : "; failed: ", result.failure.c_str());
    const std::string log = wt::LogText();
    size_t quotes = 0;
    for (size_t at = log.find("Showing quote "); at != std::string::npos; at = log.find("Showing quote ", at + 1))
        ++quotes;
    std::printf("soak: %zu quotations shown (log), critical error %u\n", quotes,
                wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError").AsDword());
    // The run's log beside the samples.
    const size_t slash = options.csvPath.find_last_of('\\');
    if (slash != std::string::npos)
        CopyFileA(wt::LogPath().c_str(), (options.csvPath.substr(0, slash + 1) + "ZephylLog.txt").c_str(), FALSE);
    if (!result.samples.empty())
        std::printf("%s", SoakTrendReport(result.samples, SoakTrendStart(result.samples.back().seconds)).c_str());
    return ok ? 0 : 1;
}
