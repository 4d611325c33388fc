// Texture formats, mip-level rule and the mipmap arithmetic.
#include "gfx/TextureRules.h"

#include <algorithm>
#include <cstring>
#include <mutex>

const PixelFormat kTextureFormat32 = {32, kPfRGB | kPfAlphaPixels, 0, 32,
                                      0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
const PixelFormat kTextureFormat16 = {32, kPfRGB, 0, 16, 0xF800, 0x07E0, 0x001F, 0};

int MipLevelCount(int width, int height, int requested) {
    int n = requested < 1 ? 1 : requested;
    const int m = std::min(width, height);
    // m >> (n - 1), without shifting by 31 or more
    const int lowest = (n - 1) >= 31 || m < 0 ? 0 : (m >> (n - 1));
    if (lowest < 2) {
        if (m < 2) return 1;
        int log2 = 0;
        while ((m >> (log2 + 1)) != 0) ++log2;
        n = log2 + 1;
    }
    return n;
}

namespace {
int Bits(uint32_t mask) {
    int count = 0;
    for (; mask; mask &= mask - 1) ++count;
    return count;
}
}  // namespace

int FindMatchingFormat(const std::vector<PixelFormat>& formats, const PixelFormat& requested) {
    for (size_t i = 0; i < formats.size(); ++i) {
        const PixelFormat& f = formats[i];
        if (f.flags & kPfFourCC) continue;
        if (Bits(f.aMask) == Bits(requested.aMask) && Bits(f.rMask) == Bits(requested.rMask) &&
            Bits(f.gMask) == Bits(requested.gMask) && Bits(f.bMask) == Bits(requested.bMask))
            return int(i);
    }
    return -1;
}

bool ListHasRGBFormat(const std::vector<PixelFormat>& formats, uint32_t bits) {
    return std::any_of(formats.begin(), formats.end(), [bits](const PixelFormat& f) {
        return (f.flags & kPfRGB) && f.bitCount == bits;
    });
}

bool ListHasAlphaFormat(const std::vector<PixelFormat>& formats) {
    return std::any_of(formats.begin(), formats.end(),
                       [](const PixelFormat& f) { return (f.flags & kPfAlphaPixels) != 0; });
}

int TextureDepthFor(int displayDepth, const std::vector<PixelFormat>& formats) {
    if (displayDepth == 32 || displayDepth == 16) return displayDepth;
    return FindMatchingFormat(formats, kTextureFormat32) >= 0 ? 32 : 16;
}

namespace TextureFormats {
namespace {
std::mutex gMutex;
std::vector<PixelFormat> gList;
bool gMipmapCapable = false;
}  // namespace

bool Empty() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gList.empty();
}

void Fill(const std::vector<PixelFormat>& formats, bool mipmapCapable) {
    std::lock_guard<std::mutex> lock(gMutex);
    gList.reserve(100);
    gList = formats;
    gMipmapCapable = mipmapCapable;
}

std::vector<PixelFormat> List() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gList;
}

bool MipmapCapable() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gMipmapCapable;
}

void Reset() {
    std::lock_guard<std::mutex> lock(gMutex);
    gList.clear();
    gMipmapCapable = false;
}
}  // namespace TextureFormats

namespace {
template <typename T>
T Load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <typename T>
void Store(uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}
}  // namespace

void DownsampleLevel(const TexelBlock& parent, TexelBlock& child) {
    if (!parent.bits || !child.bits || parent.width < 1 || parent.height < 1) return;
    const uint32_t bits = parent.format.bitCount;
    if (bits != child.format.bitCount || (bits != 16 && bits != 32)) return;
    const int bytes = int(bits / 8);
    for (int y = 0; y < child.height; ++y) {
        const int y0 = std::min(2 * y, parent.height - 1);
        const int y1 = std::min(2 * y + 1, parent.height - 1);
        const uint8_t* row0 = parent.bits + ptrdiff_t(y0) * parent.pitch;
        const uint8_t* row1 = parent.bits + ptrdiff_t(y1) * parent.pitch;
        uint8_t* out = child.bits + ptrdiff_t(y) * child.pitch;
        for (int x = 0; x < child.width; ++x) {
            const int x0 = std::min(2 * x, parent.width - 1) * bytes;
            const int x1 = std::min(2 * x + 1, parent.width - 1) * bytes;
            if (bits == 16) {
                const uint32_t t[4] = {Load<uint16_t>(row0 + x0), Load<uint16_t>(row0 + x1),
                                       Load<uint16_t>(row1 + x0), Load<uint16_t>(row1 + x1)};
                const uint32_t parentMasks[3] = {parent.format.rMask, parent.format.gMask,
                                                 parent.format.bMask};
                const uint32_t childMasks[3] = {child.format.rMask, child.format.gMask,
                                                child.format.bMask};
                uint32_t texel = 0;
                for (int c = 0; c < 3; ++c) {
                    const uint32_t mask = parentMasks[c];
                    const uint32_t sum = (t[0] & mask) + (t[1] & mask) + (t[2] & mask) + (t[3] & mask);
                    texel |= (sum >> 2) & childMasks[c];
                }
                Store<uint16_t>(out + x * 2, uint16_t(texel));
            } else {
                for (int b = 0; b < 4; ++b) {
                    const unsigned sum = row0[x0 + b] + row0[x1 + b] + row1[x0 + b] + row1[x1 + b];
                    out[x * 4 + b] = uint8_t(sum >> 2);
                }
            }
        }
    }
}

namespace {

// An 8-bit channel value placed into a mask (its top bits, where the mask is narrower).
uint32_t ToMask(uint32_t value, uint32_t mask) {
    if (!mask) return 0;
    int shift = 0, width = 0;
    while (!(mask >> shift & 1)) ++shift;
    while (shift + width < 32 && (mask >> (shift + width) & 1)) ++width;
    const uint32_t scaled = width >= 8 ? value << (width - 8) : value >> (8 - width);
    return (scaled << shift) & mask;
}

}  // namespace

void CopyBgrxPixels(const uint8_t* pixels, int pitch, bool bottomUp, TexelBlock& out) {
    if (!pixels || !out.bits || out.width < 1 || out.height < 1) return;
    const uint32_t bits = out.format.bitCount;
    if (bits != 16 && bits != 32) return;
    const PixelFormat& f = out.format;
    const uint32_t alpha = ToMask(255, f.aMask);
    for (int y = 0; y < out.height; ++y) {
        const uint8_t* in = pixels + ptrdiff_t(bottomUp ? out.height - 1 - y : y) * pitch;
        uint8_t* row = out.bits + ptrdiff_t(y) * out.pitch;
        for (int x = 0; x < out.width; ++x, in += 4) {
            const uint32_t texel = ToMask(in[2], f.rMask) | ToMask(in[1], f.gMask) | ToMask(in[0], f.bMask) | alpha;
            if (bits == 16)
                Store<uint16_t>(row + x * 2, uint16_t(texel));
            else
                Store<uint32_t>(row + x * 4, texel);
        }
    }
}
