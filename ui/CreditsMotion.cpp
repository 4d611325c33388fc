// The motion of the about box's credits (see CreditsMotion.h) and the credits text.
#include "ui/CreditsMotion.h"

void CreditsMotion::Start(int width, int height, int lineCount) {
    m_width = width;
    m_height = height;
    m_rand.Seed(kSeed);
    for (int i = 0; i < kLayers; ++i) {
        m_stars[i].clear();
        for (int s = 0; s < kFirstLayerStars + i; ++s) {
            float x = float(RandomBelow(width));
            float y = float(RandomBelow(height));
            m_stars[i].push_back({x, y});
        }
    }
    m_lineTops.clear();
    for (int k = 0; k < lineCount; ++k) m_lineTops.push_back(float(kLinePitch * k + height));
}

void CreditsMotion::Advance(float frames) {
    const float w = float(m_width);
    const float h = float(m_height);
    for (int i = kLayers - 1; i >= 0; --i) {
        const float factor = LayerFactor(i);
        for (StarPoint& star : m_stars[i]) {
            star.x += factor * kStarSpeedX * frames;
            star.y += factor * frames * kStarSpeedY;
            if (star.x > w) {
                star.x -= w;
                star.y = float(RandomBelow(m_height));
            }
            if (star.y > h) {
                star.y -= h;
                star.x = float(RandomBelow(m_width));
            }
            if (star.x < 0) {
                star.x += w;
                star.y = float(RandomBelow(m_height));
            }
            if (star.y < 0) {
                star.y += h;
                star.x = float(RandomBelow(m_width));
            }
        }
    }
    const float cycle = float(kLinePitch) * float(m_lineTops.size()) + h;
    for (float& top : m_lineTops) {
        top += frames * kTextSpeed;
        if (top + float(kLineHeight) <= 0) top += cycle;
    }
}

int64_t CreditsMotion::ElapsedMs(int64_t now, int64_t last, int64_t frequency) {
    if (frequency <= 0 || now < last) return 0;
    return int64_t(double(now - last) / double(frequency) * 1000.0);
}

// rand() % 0 would fault: an empty area puts every star at 0.
int CreditsMotion::RandomBelow(int limit) { return limit > 0 ? m_rand.Next() % limit : 0; }

// Every line fits the credits box at its 20-pixel bold italic font: at most 36 characters.
std::vector<const char*> CreditsLines() {
    return {
        "Zephyl Saver",
        "Version 1.0",
        "", "", "Written by:",
        "The Zephyl Saver team",
        "Telmoro Software",
        "www.telmoro.com",
        "", "", "Audio Library:",
        "Our own FMOD 3 compatible library",
        "stb_vorbis by Sean Barrett",
        "", "", "Installer:",
        "The Zephyl Saver team",
        "Nullsoft Scriptable Install System",
        "", "", "Timing Code:",
        "The Zephyl Saver team",
        "", "", "String search code:",
        "The Zephyl Saver team",
        "", "", "Logging class:",
        "The Zephyl Saver team",
        "", "", "Hyperlink code:",
        "The Zephyl Saver team",
        "", "", "Special thanks to:",
        "Caption font: Impallari, Marini",
        "~~~",
        "The songs: composed for this saver",
        "~~~",
        "Pictures: ImageMagick, URW Gothic",
        "~~~",
        "MinGW-w64, GCC, Debian and Wine",
    };
}
