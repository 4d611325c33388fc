// The scene's projection for any screen shape, the flag's placement (it must cover the whole
// screen), the light, the fade-in decision and the fade-in clock.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "scene/SceneGeometry.h"

using namespace scene;

TEST(SceneGeometry, NearPlaneOfCommonScreens) {
    float w, h;
    NearPlaneSize(1024, 768, &w, &h);
    EXPECT_FLOAT_EQ(w, 0.154f);
    EXPECT_FLOAT_EQ(h, 0.115f);
    NearPlaneSize(1280, 720, &w, &h);
    EXPECT_FLOAT_EQ(w, 0.154f);
    EXPECT_NEAR(h, 0.0866f, 1e-4);
    NearPlaneSize(1280, 1024, &w, &h);
    EXPECT_NEAR(w, 0.14375f, 1e-6);
    EXPECT_FLOAT_EQ(h, 0.115f);
}

TEST(SceneGeometry, EmptyAreaIsTreatedAsFourByThree) {
    float w, h;
    NearPlaneSize(0, 0, &w, &h);
    EXPECT_FLOAT_EQ(w, 0.154f);
    EXPECT_FLOAT_EQ(h, 0.115f);
    NearPlaneSize(800, 0, &w, &h);
    EXPECT_FALSE(std::isnan(h));
    NearPlaneSize(-3, 600, &w, &h);
    EXPECT_FLOAT_EQ(w, 0.154f);
}

TEST(SceneGeometry, ProjectionIsLeftHandedPerspective) {
    const Matrix4 p = ProjectionFor(1024, 768);
    EXPECT_NEAR(p.m[0][0], 2 * 0.1 / 0.154, 1e-4);
    EXPECT_NEAR(p.m[1][1], 2 * 0.1 / 0.115, 1e-4);
    EXPECT_NEAR(p.m[2][2], 20.0 / 19.9, 1e-5);
    EXPECT_FLOAT_EQ(p.m[2][3], 1.0f);
    EXPECT_NEAR(p.m[3][2], -0.1 * 20.0 / 19.9, 1e-5);
}

namespace {

// Where the ray from the camera through the screen point (ndcX, ndcY) meets the flag's plane,
// in the flag's own coordinates (origin at its centre, x to the right, y up).
void HitOnFlag(int width, int height, float ndcX, float ndcY, double* fx, double* fy) {
    float w, h;
    NearPlaneSize(width, height, &w, &h);
    const double d[3] = {ndcX * w / 2, ndcY * h / 2, kNearPlane};
    const Matrix4 m = FlagWorldMatrix();
    const double t[3] = {m.m[3][0], m.m[3][1], m.m[3][2]};
    const double n[3] = {m.m[2][0], m.m[2][1], m.m[2][2]};
    const double s = (t[0] * n[0] + t[1] * n[1] + t[2] * n[2]) / (d[0] * n[0] + d[1] * n[1] + d[2] * n[2]);
    const double p[3] = {s * d[0] - t[0], s * d[1] - t[1], s * d[2] - t[2]};
    *fx = p[0] * m.m[0][0] + p[1] * m.m[0][1] + p[2] * m.m[0][2];
    *fy = p[0] * m.m[1][0] + p[1] * m.m[1][1] + p[2] * m.m[1][2];
}

}  // namespace

TEST(SceneGeometry, FlagCoversEveryCornerOfTheScreen) {
    const int screens[][2] = {{800, 600}, {1024, 768}, {1280, 720}, {1280, 1024}, {1920, 1080}};
    for (const auto& s : screens) {
        for (float cx : {-1.0f, 1.0f}) {
            for (float cy : {-1.0f, 1.0f}) {
                double fx, fy;
                HitOnFlag(s[0], s[1], cx, cy, &fx, &fy);
                // The flag is 2.2 x 1.4; keep a margin for the wave's sideways give.
                EXPECT_LT(std::fabs(fx), 1.1 - 0.02) << s[0] << "x" << s[1] << " corner " << cx << "," << cy;
                EXPECT_LT(std::fabs(fy), 0.7 - 0.02) << s[0] << "x" << s[1] << " corner " << cx << "," << cy;
            }
        }
    }
}

TEST(SceneGeometry, FlagIsTiltedTowardsTheViewer) {
    const Matrix4 m = FlagWorldMatrix();
    EXPECT_FLOAT_EQ(m.m[3][0], 0.2f);
    EXPECT_FLOAT_EQ(m.m[3][1], 0.08f);
    EXPECT_FLOAT_EQ(m.m[3][2], 0.9f);
    // The free left edge swings towards the camera (-15 degrees about y) ...
    float right[3], left[3];
    TransformPoint(m, 1.1f, 0, 0, right);
    TransformPoint(m, -1.1f, 0, 0, left);
    EXPECT_LT(left[2], right[2]);
    // ... and the bottom edge is nearer than the top (12 degrees about x).
    float top[3], bottom[3];
    TransformPoint(m, 0, 0.7f, 0, top);
    TransformPoint(m, 0, -0.7f, 0, bottom);
    EXPECT_GT(top[2], bottom[2]);
    // 12 degrees about z: the right edge rises.
    EXPECT_GT(right[1], left[1]);
}

TEST(SceneGeometry, LightDirection) {
    float d[3];
    LightDirection(d);
    EXPECT_NEAR(d[0], -0.5198, 1e-4);
    EXPECT_NEAR(d[1], -0.5198, 1e-4);
    EXPECT_NEAR(d[2], 0.6780, 1e-4);
}

TEST(SceneGeometry, FadeInDecision) {
    EXPECT_TRUE(ShouldFadeIn(false, 1024, 768, 1024, 768, false));
    EXPECT_TRUE(ShouldFadeIn(false, 800, 600, 1024, 768, false));   // no switch at all
    EXPECT_TRUE(ShouldFadeIn(true, 1024, 768, 1024, 768, false));   // only the depth changed
    EXPECT_FALSE(ShouldFadeIn(true, 800, 600, 1024, 768, false));   // the desktop is gone
    EXPECT_FALSE(ShouldFadeIn(false, 152, 112, 152, 112, true));    // preview
}

TEST(SceneGeometry, FadeInIgnoresTheFirstTwoFrames) {
    FadeInClock f;
    EXPECT_FALSE(f.Advance(5000));
    f.FrameDrawn();
    EXPECT_FLOAT_EQ(f.alpha, 0.0f);
    EXPECT_FALSE(f.Advance(5000));
    f.FrameDrawn();
    EXPECT_FLOAT_EQ(f.alpha, 0.0f);
    EXPECT_FALSE(f.Advance(100));
    f.FrameDrawn();
    EXPECT_FLOAT_EQ(f.alpha, 0.04f);
}

TEST(SceneGeometry, FadeInAtTwentyMillisecondsEndsAfter2625) {
    FadeInClock f;
    int frame = 0;
    int drawn = 0;
    int timeWhenDone = 0;
    while (frame < 1000) {
        ++frame;
        if (f.Advance(20)) break;
        ++drawn;
        timeWhenDone = f.time;
        f.FrameDrawn();
    }
    // Frames 1 and 2 do not count; 20 ms from frame 3 on: the last drawn frame is the first
    // whose counted time passed 2625 ms (2640 at frame 134), the next frame ends the fade.
    EXPECT_EQ(drawn, 134);
    EXPECT_EQ(timeWhenDone, 2640);
    EXPECT_EQ(frame, 135);
}

TEST(SceneGeometry, FadeInSurvivesAbsurdFrameTimes) {
    FadeInClock f;
    f.Advance(0);
    f.Advance(0);
    f.Advance(INT_MAX);
    f.Advance(INT_MAX);
    EXPECT_EQ(f.time, INT_MAX);
    f.FrameDrawn();
    EXPECT_TRUE(f.Advance(1));
    FadeInClock g;
    g.Advance(0);
    g.Advance(0);
    g.Advance(-50);
    EXPECT_EQ(g.time, 0);
}
