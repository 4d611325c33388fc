// Bounded random-input test of the bundle reader: mutations of the files in
// tests/corpus/bundle and plain random files must never crash, hang or break the reader's
// promises (entry counts, blob sizes, readable entries are those inside the file).
#include "content/Bundle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "content/ScratchFolder.h"

namespace {

const int kMutationsPerFile = 400;
const int kRandomFiles = 300;

std::vector<std::vector<uint8_t>> LoadCorpus() {
    std::vector<std::vector<uint8_t>> out;
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator(ZEPHYL_CORPUS_DIR "/bundle", ec))
        out.push_back(ScratchFolder::Read(item.path().string()));
    return out;
}

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = uint8_t(v >> (8 * i));
}

std::vector<uint8_t> Mutate(std::vector<uint8_t> b, std::mt19937& rng) {
    auto pick = [&](size_t n) { return n ? size_t(rng() % n) : 0; };
    int steps = 1 + int(rng() % 4);
    for (int s = 0; s < steps; ++s) {
        switch (rng() % 7) {
        case 0:  // flip a byte
            if (!b.empty()) b[pick(b.size())] ^= uint8_t(1 + rng() % 255);
            break;
        case 1:  // cut the file
            b.resize(pick(b.size() + 1));
            break;
        case 2:  // point the trailer anywhere near the file
            if (b.size() >= 4) PutU32(b, b.size() - 4, uint32_t(pick(b.size() + 8)));
            break;
        case 3:  // a wild number somewhere (offsets, sizes)
            if (b.size() >= 4) PutU32(b, pick(b.size() - 3), rng());
            break;
        case 4:  // drop a run of bytes from the middle
            if (!b.empty()) {
                size_t at = pick(b.size());
                b.erase(b.begin() + long(at), b.begin() + long(std::min(b.size(), at + 1 + pick(8))));
            }
            break;
        case 5:  // insert "?" or NUL bytes
            b.insert(b.begin() + long(pick(b.size() + 1)), uint8_t(rng() % 2 ? '?' : 0));
            break;
        default:  // a small number where a size may be
            if (b.size() >= 4) PutU32(b, pick(b.size() - 3), uint32_t(rng() % 64));
            break;
        }
    }
    return b;
}

// Opens the file and exercises every operation; checks what callers rely on. Returns
// whether the file opened.
bool Exercise(const std::string& path, size_t fileSize) {
    Bundle b;
    if (!b.Open(path)) {
        EXPECT_EQ(b.CategoryCount(), 0u);
        EXPECT_EQ(b.EntryCount(), 0u);
        return false;
    }
    EXPECT_GE(b.DirectoryOffset(), 0);
    EXPECT_LT(size_t(b.DirectoryOffset()), fileSize);
    size_t total = 0;
    for (size_t c = 0; c < b.CategoryCount(); ++c) {
        BundleCategory* cat = b.Category(c);
        total += cat->EntryCount();
        for (size_t e = 0; e < cat->EntryCount(); ++e) {
            BundleEntry* entry = cat->Entry(e);
            const uint8_t* data = cat->ReadEntry(entry);
            bool inside = uint64_t(entry->Offset()) + entry->Size() <= fileSize;
            EXPECT_EQ(data != nullptr, inside) << entry->Name() << " at " << entry->Offset()
                                               << " size " << entry->Size();
            if (data && entry->Size()) {
                volatile uint8_t last = data[entry->Size() - 1];  // all bytes are there
                (void)last;
            }
            b.CachedData(entry->Name().c_str());
            b.EntrySize(entry->Name().c_str());
        }
        cat->ReadAll();
        b.FindCategory(cat->Name().c_str());
    }
    EXPECT_EQ(total, b.EntryCount());
    b.FreeData();
    return true;
}

TEST(BundleFuzz, MutatedCorpusNeverBreaksTheReader) {
    ScratchFolder dir;
    ASSERT_TRUE(dir.Ok());
    std::vector<std::vector<uint8_t>> corpus = LoadCorpus();
    ASSERT_GE(corpus.size(), 3u) << "corpus missing in " ZEPHYL_CORPUS_DIR "/bundle";
    std::mt19937 rng(20240607);
    int opened = 0;
    for (size_t i = 0; i < corpus.size(); ++i) {
        for (int m = 0; m < kMutationsPerFile; ++m) {
            std::vector<uint8_t> bytes = Mutate(corpus[i], rng);
            std::string path = dir.Write("fuzz.bdl", bytes);
            opened += Exercise(path, bytes.size());
            if (HasFailure()) {
                dir.Write("failing-case.bdl", bytes);
                FAIL() << "corpus file " << i << " mutation " << m;
            }
        }
    }
    // Many mutations must still open, or the walk over the directory was never tested.
    EXPECT_GT(opened, int(corpus.size()) * kMutationsPerFile / 10);
}

TEST(BundleFuzz, RandomFilesNeverBreakTheReader) {
    ScratchFolder dir;
    ASSERT_TRUE(dir.Ok());
    std::mt19937 rng(77);
    for (int i = 0; i < kRandomFiles; ++i) {
        std::vector<uint8_t> bytes(rng() % 80);
        for (auto& v : bytes) v = uint8_t(rng() % 4 == 0 ? '?' : rng() % 3 == 0 ? 0 : rng());
        if (bytes.size() >= 4 && rng() % 2) PutU32(bytes, bytes.size() - 4, uint32_t(rng() % bytes.size()));
        std::string path = dir.Write("random.bdl", bytes);
        Exercise(path, bytes.size());
        if (HasFailure()) FAIL() << "random file " << i;
    }
}

}  // namespace
