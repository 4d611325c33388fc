// The device-independent part of the textures: the two pixel formats, the mip-level rule,
// format matching, the process-wide list of texture formats the device offers, and the
// arithmetic that makes each smaller mipmap level from the one above.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/GraphicsRules.h"

// The two formats textures are made in.
extern const PixelFormat kTextureFormat32;  // ARGB 8888
extern const PixelFormat kTextureFormat16;  // RGB 565

// Number of mipmap levels a w x h texture gets when n are asked for: at least 1, and never
// a chain that reaches a level narrower than 2 texels unless it is the full chain down to 1.
int MipLevelCount(int width, int height, int requested);

// Index of the first format without a FourCC code whose alpha, red, green and blue masks
// have as many bits as the requested format's, or -1.
int FindMatchingFormat(const std::vector<PixelFormat>& formats, const PixelFormat& requested);
bool ListHasRGBFormat(const std::vector<PixelFormat>& formats, uint32_t bits);
bool ListHasAlphaFormat(const std::vector<PixelFormat>& formats);
// The depth (32 or 16) of the textures a picture is drawn into for a back buffer of
// `displayDepth` bits. 32 and 16 stay; any other depth (a 24- or 8-bit desktop, seen by a
// preview) has no texture format of its own and takes the 32-bit ARGB format when the
// device lists it, the 16-bit one otherwise.
int TextureDepthFor(int displayDepth, const std::vector<PixelFormat>& formats);

// The process-wide list of texture formats and the mipmap-filter flag of the device.
// Filled once (by cTexture); thread-safe.
namespace TextureFormats {
bool Empty();
// Replaces the list and the flag (room for 100 entries is reserved).
void Fill(const std::vector<PixelFormat>& formats, bool mipmapCapable);
std::vector<PixelFormat> List();
bool MipmapCapable();
// Empties the list (tests; a new device in the same process).
void Reset();
}  // namespace TextureFormats

// A locked surface level as the mipmap arithmetic sees it.
struct TexelBlock {
    uint8_t* bits;
    int pitch;  // bytes from one row to the next
    int width;
    int height;
    PixelFormat format;
};

// Fills `child` from `parent`: each child texel is the average of the 2 x 2 parent texels
// at (2x, 2y). 16-bit: per colour mask, the four masked texels summed, shifted right by 2
// and masked by the child's mask. 32-bit: per byte. Other depths: the child is untouched.
// Parent texels beyond the parent's edge are taken from its last row or column.
void DownsampleLevel(const TexelBlock& parent, TexelBlock& child);

// Fills `out` from 32-bit pixels B, G, R, x whose rows are `pitch` bytes apart (the first row
// in memory is the bottom one when `bottomUp`), `out`'s size of them: each colour scaled
// to the block's masks, alpha (when the format has it) opaque. 16- and 32-bit blocks only.
void CopyBgrxPixels(const uint8_t* pixels, int pitch, bool bottomUp, TexelBlock& out);
