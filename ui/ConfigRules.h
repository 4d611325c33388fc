// The configuration dialog's rules that need no window: how settings map to control
// positions and back, the text of the duration labels, and which display modes are offered
// in which order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Volume track bar 0..255, loudest at the top.
int VolumePosition(int32_t musicVol);
int32_t MusicVolFromPosition(int position);

// Flag quality track bar: 0 high (top), 1 medium, 2 low.
int QualityPosition(int32_t quality);
int32_t QualityFromPosition(int position);

// Quote track bars count in steps of 5 seconds.
constexpr int kDurationStep = 5;
int DurationPosition(int32_t seconds);
int32_t SecondsFromPosition(int position);

// "Show each quote for " + 150 -> "Show each quote for 2 mins, 30 secs".
std::string DurationLabel(const char* prefix, int32_t seconds);

// The skin picture covers the dialog's free column (its full width and the dialog's full
// height) at one scale, centred across and cut at the foot when the shapes differ.
struct SkinFit {
    int width, height;                // of the column, and of the button showing the picture
    int drawX, drawWidth, drawHeight;  // where the scaled picture is drawn in it
    bool scaled;                      // false when the picture already has the column's size
};
SkinFit FitSkin(int pictureWidth, int pictureHeight, int columnWidth, int dialogHeight);

struct DisplayModeRecord {
    int32_t width;
    int32_t height;
    int32_t bits;
};

// Modes worth offering: at least 640x480, 16 bits or more, but not 24 bits.
bool OfferDisplayMode(const DisplayModeRecord& mode);
// Filters `found` and sorts by bits, then width, then height; repeated modes are kept once.
std::vector<DisplayModeRecord> OfferedDisplayModes(const std::vector<DisplayModeRecord>& found);
// "800x600x16".
std::string DisplayModeText(const DisplayModeRecord& mode);
// Index into `modes` of the mode equal to the settings, -1 when none is.
int FindDisplayMode(const std::vector<DisplayModeRecord>& modes, int32_t width, int32_t height, int32_t bits);
