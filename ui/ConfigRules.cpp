// Control positions, label texts and the offered display modes of the configuration dialog.
#include "ui/ConfigRules.h"

#include <algorithm>
#include <tuple>

namespace {

constexpr int32_t kQualityHigh = 2048;
constexpr int32_t kQualityMedium = 1536;
constexpr int32_t kQualityLow = 1024;

auto SortKey(const DisplayModeRecord& m) { return std::make_tuple(m.bits, m.width, m.height); }

}  // namespace

int VolumePosition(int32_t musicVol) { return 255 - musicVol; }
int32_t MusicVolFromPosition(int position) { return 255 - position; }

int QualityPosition(int32_t quality) {
    if (quality == kQualityLow) return 2;
    if (quality == kQualityMedium) return 1;
    return 0;
}

int32_t QualityFromPosition(int position) {
    if (position == 2) return kQualityLow;
    if (position == 1) return kQualityMedium;
    return kQualityHigh;
}

int DurationPosition(int32_t seconds) { return seconds / kDurationStep; }
int32_t SecondsFromPosition(int position) { return position * kDurationStep; }

std::string DurationLabel(const char* prefix, int32_t seconds) {
    const int32_t minutes = seconds / 60;
    const int32_t rest = seconds % 60;
    std::string text = prefix;
    if (minutes > 0) {
        text += std::to_string(minutes) + " min";
        if (minutes > 1) text += "s";
        if (rest != 0) text += ", " + std::to_string(rest) + " secs";
    } else {
        text += std::to_string(rest) + " secs";
    }
    return text;
}

SkinFit FitSkin(int pictureWidth, int pictureHeight, int columnWidth, int dialogHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || columnWidth <= 0 || dialogHeight <= 0 ||
        (pictureWidth == columnWidth && pictureHeight == dialogHeight))
        return {pictureWidth, pictureHeight, 0, pictureWidth, pictureHeight, false};
    // The larger of the two scales, so that the picture leaves no gap in either direction.
    const int64_t acrossScaled = int64_t(pictureHeight) * columnWidth;  // height at the column's width
    SkinFit fit = {columnWidth, dialogHeight, 0, columnWidth, 0, true};
    if (acrossScaled >= int64_t(dialogHeight) * pictureWidth) {
        fit.drawHeight = static_cast<int>(acrossScaled / pictureWidth);
    } else {
        fit.drawHeight = dialogHeight;
        fit.drawWidth = static_cast<int>(int64_t(pictureWidth) * dialogHeight / pictureHeight);
        fit.drawX = (columnWidth - fit.drawWidth) / 2;
    }
    return fit;
}

bool OfferDisplayMode(const DisplayModeRecord& mode) {
    return mode.width >= 640 && mode.height >= 480 && mode.bits >= 16 && mode.bits != 24;
}

std::vector<DisplayModeRecord> OfferedDisplayModes(const std::vector<DisplayModeRecord>& found) {
    std::vector<DisplayModeRecord> modes;
    for (const DisplayModeRecord& mode : found)
        if (OfferDisplayMode(mode)) modes.push_back(mode);
    // Enumerated without refresh rates, DirectDraw names each mode once: nothing to merge.
    std::stable_sort(modes.begin(), modes.end(),
                     [](const DisplayModeRecord& a, const DisplayModeRecord& b) { return SortKey(a) < SortKey(b); });
    return modes;
}

std::string DisplayModeText(const DisplayModeRecord& mode) {
    return std::to_string(mode.width) + "x" + std::to_string(mode.height) + "x" + std::to_string(mode.bits);
}

int FindDisplayMode(const std::vector<DisplayModeRecord>& modes, int32_t width, int32_t height, int32_t bits) {
    for (size_t i = 0; i < modes.size(); ++i)
        if (modes[i].width == width && modes[i].height == height && modes[i].bits == bits)
            return static_cast<int>(i);
    return -1;
}
