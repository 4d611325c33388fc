// The quote show's arithmetic without platform calls: the quote and layout entry parsers,
// a quote's fade timeline, the shuffled order, the caption's cell grid, the caption tile
// rule, alpha from brightness and the picture's shadow frame. Everything returned is a value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/MsvcRand.h"

namespace quotes {

constexpr size_t kQuoteHeaderSize = 56;
constexpr int kFadeTime = 1500;           // ms of each fade
constexpr int kFirstInterval = 5000;      // ms before the first quote, until set
constexpr float kTextStartDepth = 3.0f;
constexpr float kTextEndDepth = 2.5f;
constexpr float kPictureX = -1.2f;
constexpr float kFrameWidth = 0.35f;
constexpr int kShufflePasses = 50;
// The caption surface the quote show renders into.
constexpr int kCaptionWidth = 512;
constexpr int kCaptionHeight = 256;

// The 14 header values of a quote entry, in file order.
struct QuoteHeader {
    int32_t reserved0 = -30;
    uint32_t reserved1 = 512;
    uint32_t reserved2 = 512;
    uint32_t reserved3 = 8000;
    uint32_t reserved4 = 0xFFFFFF;
    float textWidth = 1.0f;
    float textHeight = 1.0f;
    float usedWidth = 1.0f;
    float emptyBottom = 0.0f;
    float textX = 0.0f;
    float backdropHalfWidth = 0.0f;
    float backdropHalfHeight = 0.0f;
    float backdropWidth = 1.0f;
    float backdropHeight = 1.0f;
};

// A quote entry: the 56-byte header, the picture name and the text, each NUL-terminated.
// False for an entry that is cut short, lacks either NUL, has an empty text, or whose
// sizes are not finite numbers a screen can show (world sizes within +-100, the used width
// and empty bottom fractions within 0..1).
bool ParseQuoteEntry(const uint8_t* blob, size_t size, QuoteHeader* header, std::string* picture,
                     std::string* text);
// A layout ("dims") entry: u32 width, u32 height, NUL-terminated picture name. False when
// it is cut short or has no NUL.
bool ParseLayoutEntry(const uint8_t* blob, size_t size, uint32_t* width, uint32_t* height, std::string* name);

// One quote's life: fade in over kFadeTime, stay, fade out over the last kFadeTime.
struct QuoteTimeline {
    int quoteTime = 0;  // ms since the quote started
    bool fading = true;
    float alpha = 0.0f;
    float progress = 0.0f;
};
// Advances by dt ms of a quote lasting `duration` ms; true on the frame the quote ends.
bool AdvanceQuote(QuoteTimeline& t, int dt, int duration);

// The settings' seconds as the show's milliseconds, bounded to what the configuration
// dialog can store (its track bars: 1..60 and 0..60 steps of 5 seconds): a duration below
// the fade-in would cut the quote off, and a value beyond the range could overflow.
constexpr int kDurationStepSeconds = 5;
constexpr int kShortestDurationSeconds = 1 * kDurationStepSeconds;
constexpr int kLongestDurationSeconds = 60 * kDurationStepSeconds;
constexpr int kLongestIntervalSeconds = 60 * kDurationStepSeconds;
int ShowDurationMs(int64_t seconds);
int ShowIntervalMs(int64_t seconds);

// Depth of the text and how far it has moved right, for a progress of 0..1.
float TextDepth(float progress);
float TextShift(float progress);

// The order of the quotes: shuffled cycles in which every index comes once.
class QuoteOrder {
public:
    explicit QuoteOrder(uint32_t seed = 1) : m_rand(seed) {}
    void Seed(uint32_t seed) { m_rand.Seed(seed); }
    // The next index of the cycle for `count` quotes (a new cycle after the last); -1 for none.
    int Next(int count);
    // A new cycle: 0..count-1 shuffled in kShufflePasses passes of rand() swaps.
    void Shuffle(int count);
    const std::vector<int>& Cycle() const { return m_cycle; }

private:
    MsvcRand m_rand;
    std::vector<int> m_cycle;
    size_t m_cursor = 0;
};

// One cell of a caption grid (row 0 is the bottom); texture is the cell's index.
struct GridCell {
    float x0, x1, y0, y1;
    float uExtent;
    float crop;  // fraction of the cell's bottom that is cut off
    int texture;
};
std::vector<GridCell> BuildGridCells(int cols, int rows, const QuoteHeader& h);

// The tile side for a surface side: the power-of-two step down from maxTexture that
// leaves the smallest remainder (the larger one on a tie).
int CaptionTileSide(int side, int maxTexture);

// The brightness scale of SetBrightnessScale(n) and the divisor the alpha pass uses,
// both as the 32-bit floats the renderer keeps.
float BrightnessScale(float n);
float BrightnessDivisor(float scale);
// Alpha for a pixel whose blue + green + red is `sum`.
uint8_t AlphaFromBrightness(int sum, float divisor);

// One quad of the shadow frame: corners in drawing order with their texture coordinates.
struct FrameQuad {
    float x[4], y[4], u[4], v[4];
};
// The eight quads of the soft frame around (left, right, top, bottom): four corners (top
// left, bottom left, bottom right, top right), then the top, left, bottom and right edges.
void ShadowFrameQuads(float left, float right, float top, float bottom, float width, FrameQuad out[8]);

}  // namespace quotes
