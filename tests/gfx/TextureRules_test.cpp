// Mip-level rule, format matching, the shared format list and the mipmap arithmetic.
#include "gfx/TextureRules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {
PixelFormat Rgb(uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a = 0, uint32_t flags = 0) {
    PixelFormat f{};
    f.size = 32;
    f.flags = flags ? flags : (kPfRGB | (a ? kPfAlphaPixels : 0));
    f.bitCount = bits;
    f.rMask = r;
    f.gMask = g;
    f.bMask = b;
    f.aMask = a;
    return f;
}

// A w x h level with `pad` spare bytes at the end of each row.
struct Level {
    std::vector<uint8_t> bytes;
    TexelBlock block;
    Level(int w, int h, const PixelFormat& format, int pad = 0) {
        const int pitch = w * int(format.bitCount / 8) + pad;
        bytes.assign(size_t(pitch) * h + 16, 0xCD);
        block = {bytes.data(), pitch, w, h, format};
    }
    uint16_t Get16(int x, int y) const {
        uint16_t v;
        std::memcpy(&v, bytes.data() + y * block.pitch + x * 2, 2);
        return v;
    }
    void Set16(int x, int y, uint16_t v) { std::memcpy(bytes.data() + y * block.pitch + x * 2, &v, 2); }
    uint32_t Get32(int x, int y) const {
        uint32_t v;
        std::memcpy(&v, bytes.data() + y * block.pitch + x * 4, 4);
        return v;
    }
    void Set32(int x, int y, uint32_t v) { std::memcpy(bytes.data() + y * block.pitch + x * 4, &v, 4); }
};
}  // namespace

TEST(MipLevels, ChainsThatStayAtLeastTwoWideAreKept) {
    EXPECT_EQ(MipLevelCount(16, 266, 4), 4);  // 16, 8, 4, 2
    EXPECT_EQ(MipLevelCount(266, 16, 4), 4);
    EXPECT_EQ(MipLevelCount(256, 256, 1), 1);
    EXPECT_EQ(MipLevelCount(256, 256, 3), 3);
}

TEST(MipLevels, TooLongChainsBecomeTheFullChain) {
    EXPECT_EQ(MipLevelCount(8, 266, 4), 4);  // 8, 4, 2, 1
    EXPECT_EQ(MipLevelCount(4, 266, 4), 3);  // 4, 2, 1
    EXPECT_EQ(MipLevelCount(256, 256, 20), 9);
    EXPECT_EQ(MipLevelCount(255, 300, 20), 8);  // floor(log2 255) + 1
    EXPECT_EQ(MipLevelCount(3, 3, 2), 2);       // 3 >> 1 = 1: full chain 3, 1
}

TEST(MipLevels, TinyAndOddRequests) {
    EXPECT_EQ(MipLevelCount(1, 1, 1), 1);
    EXPECT_EQ(MipLevelCount(1, 1, 8), 1);
    EXPECT_EQ(MipLevelCount(1, 500, 3), 1);
    EXPECT_EQ(MipLevelCount(64, 64, 0), 1);
    EXPECT_EQ(MipLevelCount(64, 64, -5), 1);
    EXPECT_EQ(MipLevelCount(0, 64, 4), 1);
    EXPECT_EQ(MipLevelCount(-8, 64, 4), 1);
    EXPECT_EQ(MipLevelCount(1 << 30, 1 << 30, 1000), 31);
    EXPECT_EQ(MipLevelCount(64, 64, 2147483647), 7);
}

TEST(FormatList, MatchingComparesMaskBitCountsAndSkipsFourCC) {
    const std::vector<PixelFormat> list = {
        Rgb(16, 0x7C00, 0x03E0, 0x001F, 0x8000),                 // 1555
        Rgb(32, 0, 0, 0, 0, kPfFourCC),                          // DXT-like
        Rgb(16, 0xF800, 0x07E0, 0x001F),                         // 565
        Rgb(32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000),  // ABGR: same counts
        Rgb(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)};
    EXPECT_EQ(FindMatchingFormat(list, kTextureFormat16), 2);
    EXPECT_EQ(FindMatchingFormat(list, kTextureFormat32), 3);
    EXPECT_EQ(FindMatchingFormat({list[0], list[1]}, kTextureFormat16), -1);
    PixelFormat fourCCWithMasks = list[2];
    fourCCWithMasks.flags |= kPfFourCC;
    EXPECT_EQ(FindMatchingFormat({fourCCWithMasks}, kTextureFormat16), -1);
}

TEST(FormatList, RGBAndAlphaQueries) {
    const std::vector<PixelFormat> only16 = {Rgb(16, 0xF800, 0x07E0, 0x001F), Rgb(16, 0x7C00, 0x03E0, 0x001F)};
    EXPECT_TRUE(ListHasRGBFormat(only16, 16));
    EXPECT_FALSE(ListHasRGBFormat(only16, 32));
    EXPECT_FALSE(ListHasAlphaFormat(only16));
    std::vector<PixelFormat> with32 = only16;
    with32.push_back(Rgb(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000));
    EXPECT_TRUE(ListHasRGBFormat(with32, 32));
    EXPECT_TRUE(ListHasAlphaFormat(with32));
    // Bits without the RGB flag do not count.
    EXPECT_FALSE(ListHasRGBFormat({Rgb(32, 0, 0, 0, 0, kPfFourCC)}, 32));
    EXPECT_FALSE(ListHasRGBFormat({}, 16));
}

TEST(FormatList, TextureDepthForEveryDisplayDepth) {
    const std::vector<PixelFormat> only16 = {Rgb(16, 0xF800, 0x07E0, 0x001F)};
    const std::vector<PixelFormat> with32 = {Rgb(16, 0xF800, 0x07E0, 0x001F),
                                             Rgb(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)};
    const struct {
        int display;
        const std::vector<PixelFormat>* formats;
        int expected;
    } cases[] = {{32, &with32, 32}, {16, &with32, 16}, {32, &only16, 32}, {16, &only16, 16},
                 {24, &with32, 32}, {24, &only16, 16}, {8, &with32, 32},  {8, &only16, 16},
                 {15, &only16, 16}, {0, &with32, 32},  {-1, &only16, 16}};
    for (const auto& c : cases)
        EXPECT_EQ(TextureDepthFor(c.display, *c.formats), c.expected) << c.display << " bits, " << c.formats->size();
}

TEST(FormatList, SharedListIsFilledOnceAndReadEverywhere) {
    TextureFormats::Reset();
    EXPECT_TRUE(TextureFormats::Empty());
    EXPECT_FALSE(TextureFormats::MipmapCapable());
    TextureFormats::Fill({kTextureFormat16, kTextureFormat32}, true);
    EXPECT_FALSE(TextureFormats::Empty());
    EXPECT_TRUE(TextureFormats::MipmapCapable());
    std::vector<PixelFormat> seen;
    std::thread reader([&] { seen = TextureFormats::List(); });
    reader.join();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].aMask, 0xFF000000u);
    TextureFormats::Reset();
    EXPECT_TRUE(TextureFormats::Empty());
}

TEST(Mipmaps, SixteenBitRedHalves) {
    Level parent(2, 2, kTextureFormat16), child(1, 1, kTextureFormat16);
    parent.Set16(0, 0, 0xF800);
    parent.Set16(1, 0, 0xF800);
    parent.Set16(0, 1, 0x0000);
    parent.Set16(1, 1, 0x0000);
    DownsampleLevel(parent.block, child.block);
    EXPECT_EQ(child.Get16(0, 0), 0x7800);  // red 31, 31, 0, 0 -> 15
}

TEST(Mipmaps, SixteenBitChannelsAverageSeparately) {
    Level parent(4, 2, kTextureFormat16, 6), child(2, 1, kTextureFormat16, 2);
    // Block 0: white, black, pure green, pure blue.
    parent.Set16(0, 0, 0xFFFF);
    parent.Set16(1, 0, 0x0000);
    parent.Set16(0, 1, 0x07E0);
    parent.Set16(1, 1, 0x001F);
    // Block 1: all the same colour stays that colour.
    for (int x = 2; x < 4; ++x)
        for (int y = 0; y < 2; ++y) parent.Set16(x, y, 0x1234);
    DownsampleLevel(parent.block, child.block);
    const uint16_t red = ((4u * 0 + 0xF800u) >> 2) & 0xF800u;               // 31 / 4 -> 7
    const uint16_t green = ((0x07E0u + 0x07E0u) >> 2) & 0x07E0u;            // 63*2 / 4 -> 31
    const uint16_t blue = ((0x001Fu + 0x001Fu) >> 2) & 0x001Fu;             // 31*2 / 4 -> 15
    EXPECT_EQ(child.Get16(0, 0), uint16_t(red | green | blue));
    EXPECT_EQ(child.Get16(0, 0), 0x3BEF);
    EXPECT_EQ(child.Get16(1, 0), 0x1234);
    // The row padding of the child is untouched.
    EXPECT_EQ(child.bytes[4], 0xCD);
}

TEST(Mipmaps, SixteenBitUnusedBitsOfTheChildAreZero) {
    const PixelFormat rgb555 = Rgb(16, 0x7C00, 0x03E0, 0x001F);
    Level parent(2, 2, rgb555), child(1, 1, rgb555);
    for (int x = 0; x < 2; ++x)
        for (int y = 0; y < 2; ++y) parent.Set16(x, y, 0xFFFF);  // top bit set in the parent
    DownsampleLevel(parent.block, child.block);
    EXPECT_EQ(child.Get16(0, 0), 0x7FFF);
}

TEST(Mipmaps, ThirtyTwoBitAveragesEveryByteIncludingAlpha) {
    Level parent(2, 2, kTextureFormat32), child(1, 1, kTextureFormat32);
    parent.Set32(0, 0, 0xFF102030);
    parent.Set32(1, 0, 0x00102030);
    parent.Set32(0, 1, 0x80FFFFFF);
    parent.Set32(1, 1, 0x01000001);
    DownsampleLevel(parent.block, child.block);
    const uint32_t a = (0xFF + 0x00 + 0x80 + 0x01) >> 2;
    const uint32_t r = (0x10 + 0x10 + 0xFF + 0x00) >> 2;
    const uint32_t g = (0x20 + 0x20 + 0xFF + 0x00) >> 2;
    const uint32_t b = (0x30 + 0x30 + 0xFF + 0x01) >> 2;
    EXPECT_EQ(child.Get32(0, 0), (a << 24) | (r << 16) | (g << 8) | b);
}

TEST(Mipmaps, ThirtyTwoBitLevelOfANonSquareTexture) {
    Level parent(16, 266, kTextureFormat32, 64), child(8, 133, kTextureFormat32, 32);
    for (int y = 0; y < 266; ++y)
        for (int x = 0; x < 16; ++x) parent.Set32(x, y, uint32_t(y & 0xFF) << 8 | uint32_t(x * 16));
    DownsampleLevel(parent.block, child.block);
    for (int y = 0; y < 133; ++y)
        for (int x = 0; x < 8; ++x) {
            const uint32_t green = ((2 * y & 0xFF) * 2 + ((2 * y + 1) & 0xFF) * 2) >> 2;
            const uint32_t blue = (2 * x * 16 * 2 + (2 * x + 1) * 16 * 2) >> 2;
            ASSERT_EQ(child.Get32(x, y), green << 8 | blue) << x << "," << y;
        }
}

TEST(Mipmaps, OtherDepthsAndMissingBitsLeaveTheChildAlone) {
    const PixelFormat eight = Rgb(8, 0xE0, 0x1C, 0x03);
    Level parent(2, 2, eight), child(1, 1, eight);
    DownsampleLevel(parent.block, child.block);
    EXPECT_EQ(child.bytes[0], 0xCD);
    Level p16(2, 2, kTextureFormat16), c32(1, 1, kTextureFormat32);
    DownsampleLevel(p16.block, c32.block);
    EXPECT_EQ(c32.Get32(0, 0), 0xCDCDCDCDu);
    TexelBlock none{nullptr, 0, 2, 2, kTextureFormat16};
    DownsampleLevel(none, child.block);
    DownsampleLevel(p16.block, none);
}

TEST(Mipmaps, ParentsOddEdgeIsNotReadPast) {
    // A 1 x 3 parent with a 1 x 2 child: the child's last row would need parent row 3.
    Level parent(1, 3, kTextureFormat32), child(1, 2, kTextureFormat32);
    parent.bytes.resize(parent.block.pitch * 3);  // exact size: ASan sees any overrun
    parent.block.bits = parent.bytes.data();
    parent.Set32(0, 0, 0x04040404);
    parent.Set32(0, 1, 0x08080808);
    parent.Set32(0, 2, 0x10101010);
    DownsampleLevel(parent.block, child.block);
    EXPECT_EQ(child.Get32(0, 0), 0x06060606u);
    EXPECT_EQ(child.Get32(0, 1), 0x10101010u);
}

// A picture's 32-bit B, G, R, x pixels (bottom-up, as a DIB section holds them) into a
// texture level: rows turned top-down, colours placed in the level's masks, alpha opaque.
TEST(PixelCopy, BgrxIntoThirtyTwoAndSixteenBitLevels) {
    // 2 x 2, bottom row first: bottom-left red, bottom-right white, top-left green, top-right blue.
    const uint8_t dib[16] = {0, 0, 255, 7, 255, 255, 255, 7, 0, 255, 0, 7, 255, 0, 0, 7};
    const struct {
        PixelFormat format;
        uint32_t topLeft, topRight, bottomLeft, bottomRight;
    } cases[] = {
        {kTextureFormat32, 0xFF00FF00, 0xFF0000FF, 0xFFFF0000, 0xFFFFFFFF},
        {kTextureFormat16, 0x07E0, 0x001F, 0xF800, 0xFFFF},
        {Rgb(16, 0x7C00, 0x03E0, 0x001F), 0x03E0, 0x001F, 0x7C00, 0x7FFF},
        {Rgb(16, 0x0F00, 0x00F0, 0x000F, 0xF000), 0xF0F0, 0xF00F, 0xFF00, 0xFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format.rMask);
        Level level(2, 2, c.format, 3);
        CopyBgrxPixels(dib, 8, true, level.block);
        auto at = [&](int x, int y) { return c.format.bitCount == 16 ? level.Get16(x, y) : level.Get32(x, y); };
        EXPECT_EQ(at(0, 0), c.topLeft);
        EXPECT_EQ(at(1, 0), c.topRight);
        EXPECT_EQ(at(0, 1), c.bottomLeft);
        EXPECT_EQ(at(1, 1), c.bottomRight);
        EXPECT_EQ(level.bytes[size_t(level.block.pitch) - 1], 0xCD) << "the row's padding is left alone";
    }
    Level topDown(2, 2, kTextureFormat32);
    CopyBgrxPixels(dib, 8, false, topDown.block);
    EXPECT_EQ(topDown.Get32(0, 0), 0xFFFF0000u) << "a top-down source keeps its order";
}
