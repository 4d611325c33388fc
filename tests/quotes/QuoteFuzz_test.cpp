// Bounded random-input test of the quote and layout entry parsers: mutated entries and
// random bytes never crash them, and whatever they accept keeps their promises (names and
// text inside the blob without NULs, every size a finite on-screen number).
#include "quotes/QuoteRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace quotes;

namespace {

const int kRuns = 20000;

std::vector<uint8_t> Seed() {
    QuoteHeader h;
    h.textWidth = 1.9f;
    h.textHeight = 0.95f;
    h.textX = 0.8f;
    std::vector<uint8_t> b(kQuoteHeaderSize);
    std::memcpy(b.data(), &h.reserved0, 4);
    std::memcpy(b.data() + 4, &h.reserved1, 16);
    std::memcpy(b.data() + 20, &h.textWidth, 36);
    const char tail[] = "harbour\0Fortune favours the bold.";
    b.insert(b.end(), tail, tail + sizeof tail);
    return b;
}

std::vector<uint8_t> Mutate(std::vector<uint8_t> b, std::mt19937& rng) {
    const int steps = 1 + int(rng() % 4);
    for (int s = 0; s < steps; ++s) {
        const size_t at = b.empty() ? 0 : rng() % b.size();
        switch (rng() % 5) {
        case 0:
            if (!b.empty()) b[at] ^= uint8_t(1 + rng() % 255);
            break;
        case 1:
            b.resize(rng() % (b.size() + 1));
            break;
        case 2:
            if (!b.empty()) b[at] = 0;
            break;
        case 3:  // a wild float or integer in the header
            if (b.size() >= 4) {
                const uint32_t v = rng();
                std::memcpy(b.data() + (at & ~size_t(3)) % (b.size() - 3), &v, 4);
            }
            break;
        default:
            b.insert(b.begin() + long(at), uint8_t(rng()));
            break;
        }
    }
    return b;
}

void Check(const std::vector<uint8_t>& b) {
    QuoteHeader h;
    std::string picture, text;
    if (ParseQuoteEntry(b.data(), b.size(), &h, &picture, &text)) {
        EXPECT_LE(kQuoteHeaderSize + picture.size() + text.size() + 2, b.size());
        EXPECT_EQ(picture.find('\0'), std::string::npos);
        EXPECT_EQ(text.find('\0'), std::string::npos);
        EXPECT_FALSE(text.empty());
        for (float f : {h.textWidth, h.textHeight, h.usedWidth, h.emptyBottom, h.textX, h.backdropWidth,
                        h.backdropHeight, h.backdropHalfWidth, h.backdropHalfHeight})
            EXPECT_TRUE(std::isfinite(f) && std::fabs(f) <= 100.0f) << f;
        // The grid of an accepted entry is finite for every tile layout.
        for (const GridCell& c : BuildGridCells(4, 2, h))
            EXPECT_TRUE(std::isfinite(c.x0 + c.x1 + c.y0 + c.y1 + c.uExtent + c.crop));
    }
    uint32_t w = 0, ht = 0;
    std::string name;
    if (ParseLayoutEntry(b.data(), b.size(), &w, &ht, &name)) {
        EXPECT_LE(8 + name.size() + 1, b.size());
        EXPECT_EQ(name.find('\0'), std::string::npos);
    }
}

}  // namespace

TEST(QuoteFuzz, MutatedAndRandomEntries) {
    std::mt19937 rng(20261207);
    const std::vector<uint8_t> seed = Seed();
    int accepted = 0;
    for (int i = 0; i < kRuns; ++i) {
        std::vector<uint8_t> b;
        if (i % 4 == 3) {
            b.resize(rng() % 120);
            for (uint8_t& byte : b) byte = uint8_t(rng());
        } else {
            b = Mutate(seed, rng);
        }
        QuoteHeader h;
        if (ParseQuoteEntry(b.data(), b.size(), &h, nullptr, nullptr)) ++accepted;
        Check(b);
        if (HasFailure()) FAIL() << "input " << i;
    }
    // The mutations leave many entries whole: the accepting path was exercised too.
    EXPECT_GT(accepted, kRuns / 10);
}
