// The tile-size rules and the per-cell rectangles of the flag picture.
#include "scene/TilePlan.h"

#include <algorithm>

int ChooseTileSize(int requested, int extent) {
    if (requested <= 0) return 0;
    if (requested < 256) return requested;
    int best = requested;
    int bestRemainder = extent % requested;
    for (int candidate = requested / 2; candidate >= 256; candidate /= 2) {
        const int remainder = extent % candidate;
        if (remainder < bestRemainder) {
            best = candidate;
            bestRemainder = remainder;
        }
    }
    return best;
}

TilePlan PlanTiles(int pictureWidth, int pictureHeight, int tileWidth, int maxTextureSize, bool limit,
                   int limitSize) {
    TilePlan plan;
    plan.pictureWidth = std::max(pictureWidth, 0);
    plan.pictureHeight = std::max(pictureHeight, 0);
    plan.width = plan.pictureWidth;
    plan.height = plan.pictureHeight;
    if (limit && (limitSize < plan.pictureWidth || limitSize < plan.pictureHeight)) {
        const int l = std::max(limitSize, 0);
        plan.width = std::min(plan.pictureWidth, l);
        plan.height = std::min(plan.pictureHeight, l);
        plan.scaled = true;
    }
    plan.tileWidth = ChooseTileSize(tileWidth, plan.width);
    plan.tileHeight = ChooseTileSize(maxTextureSize, plan.height);
    if (plan.tileWidth > 0 && plan.tileHeight > 0) {
        plan.cols = plan.width / plan.tileWidth;
        plan.rows = plan.height / plan.tileHeight;
    }
    if (plan.cols == 0 || plan.rows == 0) plan.cols = plan.rows = 0;
    return plan;
}

bool PlanTile(const TilePlan& plan, int index, TileJob* job) {
    if (!job || index < 0 || index >= plan.Cells()) return false;
    job->row = index / plan.cols;
    job->col = index % plan.cols;
    const int sw = plan.pictureWidth / plan.cols;
    const int sh = plan.pictureHeight / plan.rows;
    job->source = TileRect{sw * job->col, (plan.rows - job->row - 1) * sh, sw, sh};
    if (plan.scaled) {
        job->textureWidth = plan.width / plan.cols;
        job->textureHeight = plan.height / plan.rows;
    } else {
        job->textureWidth = sw;
        job->textureHeight = sh;
    }
    return true;
}
