// Colours as red, green, blue floats in 0..1, and the named colours the scene uses.
#pragma once

struct Colour3 {
    float r, g, b;
};

inline Colour3 operator*(float k, const Colour3& c) { return {k * c.r, k * c.g, k * c.b}; }

constexpr Colour3 kWhite = {1.0f, 1.0f, 1.0f};
constexpr Colour3 kBlack = {0.0f, 0.0f, 0.0f};
constexpr Colour3 kGrey = {0.5f, 0.5f, 0.5f};
constexpr Colour3 kRed = {1.0f, 0.0f, 0.0f};
constexpr Colour3 kGreen = {0.0f, 1.0f, 0.0f};
constexpr Colour3 kBlue = {0.0f, 0.0f, 1.0f};
constexpr Colour3 kYellow = {1.0f, 1.0f, 0.0f};
constexpr Colour3 kCyan = {0.0f, 1.0f, 1.0f};
constexpr Colour3 kMagenta = {1.0f, 0.0f, 1.0f};
