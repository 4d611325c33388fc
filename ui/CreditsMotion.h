// The motion of the about box's credits: star layers drifting left and credit lines rising
// over them, each step scaled by the real elapsed time. Knows nothing of drawing.
#pragma once

#include <cstdint>
#include <vector>

#include "core/MsvcRand.h"

struct StarPoint {
    float x;
    float y;
};

class CreditsMotion {
public:
    static constexpr int kLayers = 4;
    static constexpr int kFirstLayerStars = 25;  // layer i holds 25 + i stars
    static constexpr int kLineHeight = 30;
    static constexpr int kLinePitch = 70;         // line height + a 40-pixel gap
    static constexpr float kTextSpeed = -0.5f;    // pixels per 1/60 s, upward
    static constexpr float kStarSpeedX = -1.0f;   // before the layer's factor
    static constexpr float kStarSpeedY = 0.0f;
    static constexpr uint32_t kSeed = 69;

    // Places the stars at random (seed 69) and the lines below the visible area.
    void Start(int width, int height, int lineCount);
    // Moves everything by `frames` sixtieths of a second; stars and lines that leave the
    // area come back on the other side (lines at the end of the cycle).
    void Advance(float frames);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    static int LayerGrey(int layer) { return 255 - 50 * layer; }
    // Layer 0 moves 1.5, the last layer 0.5 times the star speed.
    static float LayerFactor(int layer) { return 1.5f - float(layer) / float(kLayers - 1); }
    const std::vector<StarPoint>& Stars(int layer) const { return m_stars[layer]; }
    std::vector<StarPoint>& Stars(int layer) { return m_stars[layer]; }
    const std::vector<float>& LineTops() const { return m_lineTops; }
    std::vector<float>& LineTops() { return m_lineTops; }
    bool LineVisible(int line) const { return m_lineTops[line] <= float(m_height); }

    // Whole milliseconds between two performance-counter readings.
    static int64_t ElapsedMs(int64_t now, int64_t last, int64_t frequency);
    // Sixtieths of a second in `ms` milliseconds.
    static float FramesIn(int64_t ms) { return float(ms) * 0.060002398f; }

private:
    int RandomBelow(int limit);

    int m_width = 0;
    int m_height = 0;
    std::vector<StarPoint> m_stars[kLayers];
    std::vector<float> m_lineTops;
    MsvcRand m_rand;
};

// The credits in the order they scroll.
std::vector<const char*> CreditsLines();
