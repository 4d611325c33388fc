// How a picture is cut into the flag's cell textures: the grid size, whether the picture is
// scaled down first, and each cell's source and texture rectangles. No platform calls.
#pragma once

#include <cstdint>

// The tile size rule: a requested size below 256 is used as it is; otherwise the requested
// size and each half of it down to 256 are tried and the one leaving the smallest remainder
// of `extent` wins (the larger one on a tie). A size of 0 or below yields 0.
int ChooseTileSize(int requested, int extent);

struct TilePlan {
    int pictureWidth = 0, pictureHeight = 0;  // Wp, Hp
    int width = 0, height = 0;                // W, H: the size that is tiled
    bool scaled = false;                      // the picture is scaled down to W x H
    int tileWidth = 0, tileHeight = 0;        // tw, th
    int cols = 0, rows = 0;

    int Cells() const { return cols * rows; }
};

// tileWidth is the requested tile width (8 or 16 in the scene), maxTextureSize the device's
// largest texture side. With `limit` set, a picture wider or higher than limitSize is scaled
// down to at most limitSize on each side (a limit below 0 counts as 0: no cells).
TilePlan PlanTiles(int pictureWidth, int pictureHeight, int tileWidth, int maxTextureSize, bool limit,
                   int limitSize);

struct TileRect {
    int x, y, width, height;
};

// The part of the picture that cell `index` shows (row 0 is the bottom strip) and the size of
// the cell's texture. Unscaled: (Wp / cols) x (Hp / rows) pixels, copied 1 : 1. Scaled: a
// source of (Wp / cols) x (Hp / rows) drawn into a (W / cols) x (H / rows) texture. The last
// Wp mod cols columns and Hp mod rows rows of pixels are not shown.
struct TileJob {
    int row, col;
    TileRect source;
    int textureWidth, textureHeight;
};
// False when the index is outside the grid.
bool PlanTile(const TilePlan& plan, int index, TileJob* job);

// Mip levels asked for tile textures.
inline int TileMipLevels(bool mipmap) { return mipmap ? 4 : 1; }
