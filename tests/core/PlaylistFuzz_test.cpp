// Bounded random-input test of the playlist readers: mutations of the files in
// tests/corpus/playlist, read under every format, must never crash or hang, and every
// entry read must be a non-empty line-free value that a PLS save and load gives back.
#include "core/Playlist.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "content/ScratchFolder.h"

namespace {

const int kMutationsPerFile = 60;
const char* const kExtensions[] = {".m3u", ".pls", ".b4s", ".asx", ".wpl", ".bpl", ".txt"};

std::vector<uint8_t> Mutate(std::vector<uint8_t> b, std::mt19937& rng) {
    static const char* const kTokens[] = {"\"", "\n", "\r\n", "=", ":", "\\\\", "/", "#", "[playlist]",
                                          "Version=2", "file:", "Playstring", "href", "media src",
                                          "&apos;", "&quot;", "&nbsp;", "&amp;", " ", ""};
    auto pick = [&](size_t n) { return n ? size_t(rng() % n) : 0; };
    int steps = 1 + int(rng() % 5);
    for (int s = 0; s < steps; ++s) {
        switch (rng() % 4) {
        case 0:
            if (!b.empty()) b[pick(b.size())] = uint8_t(rng());
            break;
        case 1:
            b.resize(pick(b.size() + 1));
            break;
        case 2: {
            std::string t = kTokens[pick(sizeof kTokens / sizeof kTokens[0])];
            b.insert(b.begin() + long(pick(b.size() + 1)), t.begin(), t.end());
            break;
        }
        default:
            if (!b.empty()) {
                size_t at = pick(b.size());
                b.erase(b.begin() + long(at), b.begin() + long(std::min(b.size(), at + 1 + pick(16))));
            }
            break;
        }
    }
    return b;
}

TEST(PlaylistFuzz, MutatedPlaylistsUnderEveryReader) {
    ScratchFolder dir;
    ASSERT_TRUE(dir.Ok());
    std::vector<std::vector<uint8_t>> corpus;
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator(ZEPHYL_CORPUS_DIR "/playlist", ec))
        corpus.push_back(ScratchFolder::Read(item.path().string()));
    ASSERT_GE(corpus.size(), 6u) << "corpus missing in " ZEPHYL_CORPUS_DIR "/playlist";

    std::mt19937 rng(1966);
    int entriesSeen = 0;
    for (size_t i = 0; i < corpus.size(); ++i) {
        for (int m = 0; m < kMutationsPerFile; ++m) {
            std::vector<uint8_t> bytes = Mutate(corpus[i], rng);
            for (const char* ext : kExtensions) {
                std::string path = dir.Write(std::string("fuzz") + ext, bytes);
                Playlist p;
                ASSERT_TRUE(p.Load(path)) << path;
                entriesSeen += p.Count();
                for (int e = 0; e < p.Count(); ++e) {
                    const std::string& entry = p.Entry(e);
                    ASSERT_FALSE(entry.empty());
                    ASSERT_EQ(entry.find_first_of("\r\n"), std::string::npos);
                    ASSERT_EQ(entry.find('\0'), std::string::npos);
                }
                if (p.Count() == 0) continue;
                // Absolute entries (drive, URL or network path) survive a PLS round trip.
                Playlist absolute;
                for (int e = 0; e < p.Count(); ++e) {
                    const std::string& entry = p.Entry(e);
                    bool keep = entry.find(':') != std::string::npos &&
                                entry.front() != ' ';
                    if (keep) absolute.AddEntries(std::vector<std::string>{entry});
                }
                if (absolute.Count() == 0) continue;
                std::string saved = dir.Path("saved.pls");
                ASSERT_TRUE(absolute.Save(saved, Playlist::TypePLS));
                Playlist back;
                ASSERT_TRUE(back.Load(saved));
                ASSERT_EQ(back.Count(), absolute.Count()) << "mutation " << m << " of corpus file " << i;
                for (int e = 0; e < back.Count(); ++e) ASSERT_EQ(back.Entry(e), absolute.Entry(e));
            }
        }
    }
    EXPECT_GT(entriesSeen, 500);
}

}  // namespace
