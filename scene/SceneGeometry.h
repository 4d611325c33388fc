// The fixed geometry of the flag scene (projection for any screen shape, the flag's place,
// the light), the decision to fade in from the desktop and the fade-in's clock. No platform
// calls; the Win32 scene hands these to the device.
#pragma once

#include <cstdint>

#include "gfx/Matrix.h"

namespace scene {

constexpr float kNearWidth = 0.154f;   // near-plane size of the 4 : 3 reference screen
constexpr float kNearHeight = 0.115f;
constexpr float kReferenceAspect = 0.75f;  // height / width
constexpr float kNearPlane = 0.1f;
constexpr float kFarPlane = 20.0f;
constexpr float kFlagX = 0.2f, kFlagY = 0.08f, kFlagZ = 0.9f;
constexpr float kFlagTiltX = 0.2094395f;   // 12 degrees
constexpr float kFlagTiltY = -0.2617994f;  // -15 degrees
constexpr float kFlagTiltZ = 0.2094395f;
constexpr float kFlagSize = 1.4f;
constexpr int kFlagAspectW = 11, kFlagAspectH = 7;
constexpr float kLightX = -2.3f, kLightY = -2.3f, kLightZ = 3.0f;
constexpr float kLightDiffuse = 0.9f;
constexpr uint32_t kFlagAmbient = 0x0C0C0C;
constexpr uint32_t kQuoteAmbient = 0xFFFFFF;
constexpr int kStepFilterLength = 20;

// The near plane's width and height for a drawing area: wider screens keep the horizontal
// field of view, narrower ones the vertical. An empty area counts as 4 : 3.
void NearPlaneSize(int width, int height, float* w, float* h);
// The projection of the scene for the drawing area.
Matrix4 ProjectionFor(int width, int height);
// Translation and tilt of the flag.
Matrix4 FlagWorldMatrix();
// The light's direction, normalised.
void LightDirection(float out[3]);

// The desktop is faded from only where it is what the user saw: no mode switch, or a switch
// that kept the desktop's width and height; and never in a preview.
bool ShouldFadeIn(bool displayModeChanged, int drawWidth, int drawHeight, int desktopWidth,
                  int desktopHeight, bool preview);

// The fade-in's clock: alpha grows by 0.0004 per counted millisecond; the first two frames
// do not count (they carry the set-up's hiccups). The fade is over once alpha exceeds 1.05.
struct FadeInClock {
    static constexpr float kAlphaPerMs = 0.0004f;
    static constexpr float kEndAlpha = 1.05f;

    int32_t time = 0;
    int32_t frames = 0;
    float alpha = 0.0f;

    // Counts a frame of `ms`; true when the fade is over (nothing more is drawn by it).
    bool Advance(int ms);
    // After the frame is drawn with `alpha`: the alpha of the next frame.
    void FrameDrawn() { alpha = static_cast<float>(time) * kAlphaPerMs; }
};

}  // namespace scene
