// The quote show's arithmetic: entry parsers, fade timeline, order, caption grid, tiles,
// alpha from brightness and the shadow frame.
#include "quotes/QuoteRules.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quotes {

namespace {

// World sizes beyond this cannot be on screen; larger or non-finite values mark a damaged entry.
constexpr float kLargestWorldSize = 100.0f;

uint32_t ReadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

float ReadFloat(const uint8_t* p) {
    const uint32_t bits = ReadU32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool Sane(float v, float low, float high) { return std::isfinite(v) && v >= low && v <= high; }

// The NUL-terminated string starting at `at`; false when no NUL follows within the blob.
bool ReadString(const uint8_t* blob, size_t size, size_t at, std::string* out, size_t* next) {
    if (at >= size) return false;
    const void* nul = std::memchr(blob + at, 0, size - at);
    if (!nul) return false;
    const size_t end = static_cast<size_t>(static_cast<const uint8_t*>(nul) - blob);
    out->assign(reinterpret_cast<const char*>(blob + at), end - at);
    *next = end + 1;
    return true;
}

}  // namespace

bool ParseQuoteEntry(const uint8_t* blob, size_t size, QuoteHeader* header, std::string* picture,
                     std::string* text) {
    if (!blob || size < kQuoteHeaderSize) return false;
    QuoteHeader h;
    h.reserved0 = static_cast<int32_t>(ReadU32(blob));
    h.reserved1 = ReadU32(blob + 4);
    h.reserved2 = ReadU32(blob + 8);
    h.reserved3 = ReadU32(blob + 12);
    h.reserved4 = ReadU32(blob + 16);
    float* floats[9] = {&h.textWidth,         &h.textHeight,         &h.usedWidth,
                        &h.emptyBottom,       &h.textX,              &h.backdropHalfWidth,
                        &h.backdropHalfHeight, &h.backdropWidth,     &h.backdropHeight};
    for (int i = 0; i < 9; ++i) *floats[i] = ReadFloat(blob + 20 + 4 * i);
    for (float* f : floats)
        if (!Sane(*f, -kLargestWorldSize, kLargestWorldSize)) return false;
    if (!Sane(h.usedWidth, 0.0f, 1.0f) || !Sane(h.emptyBottom, 0.0f, 1.0f)) return false;
    std::string name, words;
    size_t next = 0;
    if (!ReadString(blob, size, kQuoteHeaderSize, &name, &next)) return false;
    if (!ReadString(blob, size, next, &words, &next) || words.empty()) return false;
    if (header) *header = h;
    if (picture) *picture = std::move(name);
    if (text) *text = std::move(words);
    return true;
}

bool ParseLayoutEntry(const uint8_t* blob, size_t size, uint32_t* width, uint32_t* height, std::string* name) {
    if (!blob || size < 9) return false;
    std::string n;
    size_t next = 0;
    if (!ReadString(blob, size, 8, &n, &next)) return false;
    if (width) *width = ReadU32(blob);
    if (height) *height = ReadU32(blob + 4);
    if (name) *name = std::move(n);
    return true;
}

bool AdvanceQuote(QuoteTimeline& t, int dt, int duration) {
    const int d = std::max(duration, 1);
    const float f = static_cast<float>(kFadeTime);
    t.quoteTime += dt;
    const int now = t.quoteTime;
    bool ended = false;
    if (t.fading) {
        if (now <= kFadeTime) {
            t.alpha = static_cast<float>(now) / f;
        } else if (d - now > kFadeTime) {
            t.fading = false;
            t.alpha = 1.0f;
        } else {
            t.alpha = static_cast<float>(d - now) / f;
            ended = now >= d;
        }
    } else if (d - now <= kFadeTime) {
        t.fading = true;
        t.alpha = static_cast<float>(d - now) / f;
    }
    // A frame longer than the whole fade-out would otherwise hand the device a negative alpha.
    t.alpha = std::min(1.0f, std::max(0.0f, t.alpha));
    t.progress = static_cast<float>(now) / static_cast<float>(d);
    return ended;
}

int ShowDurationMs(int64_t seconds) {
    return int(std::min<int64_t>(std::max<int64_t>(seconds, kShortestDurationSeconds), kLongestDurationSeconds)) *
           1000;
}

int ShowIntervalMs(int64_t seconds) {
    return int(std::min<int64_t>(std::max<int64_t>(seconds, 0), kLongestIntervalSeconds)) * 1000;
}

float TextDepth(float progress) { return kTextStartDepth - (kTextStartDepth - kTextEndDepth) * progress; }

float TextShift(float progress) { return -(TextDepth(progress) - kTextStartDepth) * 0.5f; }

void QuoteOrder::Shuffle(int count) {
    m_cycle.clear();
    m_cursor = 0;
    if (count <= 0) return;
    for (int i = 0; i < count; ++i) m_cycle.push_back(i);
    for (int pass = 0; pass < kShufflePasses; ++pass)
        for (int i = 0; i < count; ++i) std::swap(m_cycle[size_t(i)], m_cycle[size_t(m_rand.Next() % count)]);
}

int QuoteOrder::Next(int count) {
    if (count <= 0) return -1;
    if (m_cursor >= m_cycle.size() || m_cycle.size() != size_t(count)) Shuffle(count);
    return m_cycle[m_cursor++];
}

std::vector<GridCell> BuildGridCells(int cols, int rows, const QuoteHeader& h) {
    std::vector<GridCell> cells;
    if (cols <= 0 || rows <= 0) return cells;
    cells.resize(size_t(cols) * size_t(rows));
    const float w = h.textWidth, ht = h.textHeight, u = h.usedWidth, e = h.emptyBottom;
    const float fc = static_cast<float>(cols), fr = static_cast<float>(rows);
    for (int x = 0; x < cols; ++x) {
        for (int y = 0; y < rows; ++y) {
            GridCell& c = cells[size_t(y * cols + x)];
            c.x0 = w / fc * static_cast<float>(x) - w * 0.5f;
            c.x1 = w / fc * static_cast<float>(x + 1) - w * 0.5f;
            c.y0 = ht / fr * static_cast<float>(y) - ht * 0.5f - e * ht * 0.5f;
            c.y1 = ht / fr * static_cast<float>(y + 1) - ht * 0.5f - e * ht * 0.5f;
            c.uExtent = std::min(1.0f, fc / static_cast<float>(x + 1) - 1.0f + u);
            const float cut = fr * e;
            c.crop = static_cast<float>(y) >= cut ? 0.0f : std::min(1.0f, cut - static_cast<float>(y));
            c.y0 = c.y0 - (c.y0 - c.y1) * c.crop;
            c.texture = y * cols + x;
        }
    }
    return cells;
}

int CaptionTileSide(int side, int maxTexture) {
    int d = maxTexture, best = maxTexture, bestRemainder = 999999;
    while (d >= 2) {
        const int r = side % d;
        if (r < bestRemainder) {
            best = d;
            bestRemainder = r;
        }
        d /= 2;
    }
    return best;
}

// Stored through a volatile float: the x87 unit of 32-bit builds would otherwise keep the
// products at a higher precision than the 32-bit floats the alpha rule is defined with.
float BrightnessScale(float n) {
    volatile float scale = n * (1.0f / 255.0f);
    return scale;
}

float BrightnessDivisor(float scale) {
    volatile float divisor = scale * 765.0f;
    return divisor;
}

uint8_t AlphaFromBrightness(int sum, float divisor) {
    if (divisor <= 0.0f) return 255;
    const double a = double(sum) * 255.0 / double(divisor);
    return a >= 255.0 ? 255 : static_cast<uint8_t>(a);
}

namespace {

// A quad from x a..b, y bottom..top, u ua..ub, v vTop at the top to vBottom at the bottom;
// corners top left, bottom left, bottom right, top right.
FrameQuad Quad(float a, float b, float bottom, float top, float ua, float ub, float vTop, float vBottom) {
    FrameQuad q;
    const float xs[4] = {a, a, b, b}, ys[4] = {top, bottom, bottom, top};
    const float us[4] = {ua, ua, ub, ub}, vs[4] = {vTop, vBottom, vBottom, vTop};
    for (int i = 0; i < 4; ++i) {
        q.x[i] = xs[i];
        q.y[i] = ys[i];
        q.u[i] = us[i];
        q.v[i] = vs[i];
    }
    return q;
}

}  // namespace

void ShadowFrameQuads(float l, float r, float t, float b, float w, FrameQuad out[8]) {
    const float lo = 0.2f, hi = 0.8f;
    out[0] = Quad(l - w, l, t, t + w, 0, lo, 0, lo);
    out[1] = Quad(l - w, l, b - w, b, 0, lo, hi, 1);
    out[2] = Quad(r, r + w, b - w, b, hi, 1, hi, 1);
    out[3] = Quad(r, r + w, t, t + w, hi, 1, 0, lo);
    out[4] = Quad(l, r, t, t + w, lo, hi, 0, lo);
    out[5] = Quad(l - w, l, b, t, 0, lo, lo, hi);
    out[6] = Quad(l, r, b - w, b, lo, hi, hi, 1);
    out[7] = Quad(r, r + w, b, t, hi, 1, lo, hi);
}

}  // namespace quotes
