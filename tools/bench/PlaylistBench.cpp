// Benchmark of loading large playlists: a .b4s whose value is 2.4 MB of "&nbsp;" (entity
// decoding must stay linear) and an M3U of 100000 lines.
//   playlist_bench [folder for the scratch files, default the current one]
#include "core/Playlist.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

void Time(const char* what, const std::string& path, const std::string& text)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size()) {
        std::printf("%s: cannot write %s\n", what, path.c_str());
        return;
    }
    std::fclose(f);
    Playlist list;
    auto t0 = std::chrono::steady_clock::now();
    bool ok = list.Load(path);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%-30s %8zu bytes: %s, %d entries, %.3f s\n", what, text.size(), ok ? "loaded" : "failed",
                list.Count(), s);
    std::remove(path.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    std::string folder = argc > 1 ? std::string(argv[1]) + "/" : std::string();
    std::string nbsp;
    while (nbsp.size() < 2400000)
        nbsp += "&nbsp;";
    Time(".b4s of &nbsp;", folder + "bench-nbsp.b4s", "<entry Playstring=\"file:" + nbsp + "x.ogg\"/>\n");
    std::string lines = "#EXTM3U\r\n";
    for (int i = 0; i < 100000; ++i)
        lines += "#EXTINF:-1,Song " + std::to_string(i) + "\r\nC:\\Music\\Song " + std::to_string(i) + ".ogg\r\n";
    Time("M3U of 100000 songs", folder + "bench-lines.m3u", lines);
    return 0;
}
