// cFlag: the textured, optionally waving grid of the flag and of the quote show's pictures,
// and the functions that cut a picture into its cell textures. A cFlag owns its cells'
// textures and destroys them; MakeTextureFromPicture's texture belongs to the caller.
#pragma once

#include "scene/FlagCloth.h"

class Picture;
class cTexture;

class cFlag : public cFlagCloth {
public:
    cFlag() = default;
    ~cFlag();

    // Destroys every cell's texture (the cells stay, counted as not loaded).
    void ReleaseTextures();
    // Draws every cell with its texture through the graphics layer, inside its own scene.
    // Render states, material, light and world transform are the caller's.
    void Draw();
};

// Chooses the grid, allocates the cells and makes every cell's texture (see TilePlan.h).
// `depth` is the back buffer's; a depth without a texture format of its own (24 or 8
// bits) draws into the format the device offers (TextureDepthFor). False when a tile could
// not be made; the cells made so far keep their textures. Texture creation may throw
// cGameError.
bool SplitImageIntoTiles(Picture& picture, cFlag& flag, int tileWidth, int maxTextureSize, int depth,
                         bool mipmap, bool limit, int limitSize);
// Makes the texture of the next cell without one from the unscaled picture.
bool LoadNextTile(int depth, Picture& picture, cFlag& flag, int mipLevels);
// The same from the picture scaled down to limitedWidth x limitedHeight (halftone stretching).
bool LoadNextTileScaled(int depth, Picture& picture, int limitedWidth, int limitedHeight, cFlag& flag,
                        int mipLevels);
// One texture of the picture's own size holding the whole picture (depth as above); null
// for an empty picture. The caller owns the result.
cTexture* MakeTextureFromPicture(int depth, Picture& picture, int mipLevels);
