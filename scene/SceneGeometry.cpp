// Scene constants turned into matrices, the fade-in decision and the fade-in clock.
#include "scene/SceneGeometry.h"

#include <cmath>
#include <limits>

namespace scene {

void NearPlaneSize(int width, int height, float* w, float* h) {
    *w = kNearWidth;
    *h = kNearHeight;
    if (width <= 0 || height <= 0) return;
    const float r = static_cast<float>(height) / static_cast<float>(width);
    if (r < kReferenceAspect) *h = r * kNearWidth;
    if (r > kReferenceAspect) *w = static_cast<float>(width) / static_cast<float>(height) * kNearHeight;
}

Matrix4 ProjectionFor(int width, int height) {
    float w, h;
    NearPlaneSize(width, height, &w, &h);
    Matrix4 m;
    Perspective(m, w, h, kNearPlane, kFarPlane);
    return m;
}

Matrix4 FlagWorldMatrix() {
    Matrix4 m;
    Identity(m);
    SetTranslation(m, kFlagX, kFlagY, kFlagZ);
    Rotate(m, kFlagTiltX, kFlagTiltY, kFlagTiltZ);
    return m;
}

void LightDirection(float out[3]) {
    const float len = std::sqrt(kLightX * kLightX + kLightY * kLightY + kLightZ * kLightZ);
    out[0] = kLightX / len;
    out[1] = kLightY / len;
    out[2] = kLightZ / len;
}

bool ShouldFadeIn(bool displayModeChanged, int drawWidth, int drawHeight, int desktopWidth,
                  int desktopHeight, bool preview) {
    if (preview) return false;
    return !displayModeChanged || (drawWidth == desktopWidth && drawHeight == desktopHeight);
}

bool FadeInClock::Advance(int ms) {
    // Saturating: a stalled machine must not wrap the fade back to transparent.
    const int64_t t = static_cast<int64_t>(time) + ms;
    time = t > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                   : static_cast<int32_t>(t < 0 ? 0 : t);
    if (frames < 2) {
        ++frames;
        time = 0;
    }
    return alpha > kEndAlpha;
}

}  // namespace scene
