// The matrix functions: identity, translations, the rotation order and the perspective.
#include "gfx/Matrix.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
constexpr float kPi = 3.14159265f;

void ExpectPoint(const Matrix4& m, float x, float y, float z, float ex, float ey, float ez) {
    float out[3];
    TransformPoint(m, x, y, z, out);
    EXPECT_NEAR(out[0], ex, 1e-5f) << "x of (" << x << "," << y << "," << z << ")";
    EXPECT_NEAR(out[1], ey, 1e-5f) << "y of (" << x << "," << y << "," << z << ")";
    EXPECT_NEAR(out[2], ez, 1e-5f) << "z of (" << x << "," << y << "," << z << ")";
}
}  // namespace

TEST(Matrix, IdentityLeavesPointsAlone) {
    Matrix4 m;
    for (auto& row : m.m)
        for (float& v : row) v = 7;
    Identity(m);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(m.m[r][c], r == c ? 1.0f : 0.0f);
    ExpectPoint(m, 1, 2, 3, 1, 2, 3);
}

TEST(Matrix, SetTranslationWritesAndAddTranslationAdds) {
    Matrix4 m = kIdentityMatrix;
    SetTranslation(m, 0.2f, 0.08f, 0.9f);
    EXPECT_EQ(m.m[3][0], 0.2f);
    EXPECT_EQ(m.m[3][1], 0.08f);
    EXPECT_EQ(m.m[3][2], 0.9f);
    SetTranslation(m, 1, 2, 3);
    AddTranslation(m, 1, 1, -1);
    ExpectPoint(m, 0, 0, 0, 2, 3, 2);
    EXPECT_EQ(m.m[3][3], 1.0f);
}

TEST(Matrix, RotateAboutEachAxisIsRightHanded) {
    Matrix4 m = kIdentityMatrix;
    Rotate(m, kPi / 2, 0, 0);  // y -> z
    ExpectPoint(m, 0, 1, 0, 0, 0, 1);
    m = kIdentityMatrix;
    Rotate(m, 0, kPi / 2, 0);  // z -> x
    ExpectPoint(m, 0, 0, 1, 1, 0, 0);
    m = kIdentityMatrix;
    Rotate(m, 0, 0, kPi / 2);  // x -> y
    ExpectPoint(m, 1, 0, 0, 0, 1, 0);
}

TEST(Matrix, RotateAppliesXThenYThenZThenTranslation) {
    Matrix4 m = kIdentityMatrix;
    SetTranslation(m, 10, 20, 30);
    Rotate(m, kPi / 2, kPi / 2, 0);
    // (0,1,0): about x -> (0,0,1); about y -> (1,0,0); then translated.
    ExpectPoint(m, 0, 1, 0, 11, 20, 30);
    m = kIdentityMatrix;
    Rotate(m, kPi / 2, 0, kPi / 2);
    // (0,1,0): about x -> (0,0,1); about z unchanged.
    ExpectPoint(m, 0, 1, 0, 0, 0, 1);
    // (1,0,0): about x unchanged; about z -> (0,1,0).
    ExpectPoint(m, 1, 0, 0, 0, 1, 0);
}

TEST(Matrix, RotateOfTheFlagKeepsLengthsAndTranslation) {
    Matrix4 m = kIdentityMatrix;
    SetTranslation(m, 0.2f, 0.08f, 0.9f);
    Rotate(m, 0.2094395f, -0.2617994f, 0.2094395f);
    for (int r = 0; r < 3; ++r) {
        const float len = std::sqrt(m.m[r][0] * m.m[r][0] + m.m[r][1] * m.m[r][1] + m.m[r][2] * m.m[r][2]);
        EXPECT_NEAR(len, 1.0f, 1e-5f);
    }
    EXPECT_EQ(m.m[3][0], 0.2f);
    EXPECT_EQ(m.m[3][2], 0.9f);
    // The same as rotating a point step by step with the textbook formulas.
    const float ax = 0.2094395f, ay = -0.2617994f, az = 0.2094395f;
    float x = 0.3f, y = -0.4f, z = 0.5f;
    float y1 = y * std::cos(ax) - z * std::sin(ax), z1 = y * std::sin(ax) + z * std::cos(ax);
    float x2 = x * std::cos(ay) + z1 * std::sin(ay), z2 = -x * std::sin(ay) + z1 * std::cos(ay);
    float x3 = x2 * std::cos(az) - y1 * std::sin(az), y3 = x2 * std::sin(az) + y1 * std::cos(az);
    ExpectPoint(m, x, y, z, x3 + 0.2f, y3 + 0.08f, z2 + 0.9f);
}

TEST(Matrix, PerspectiveMapsNearAndFarPlanes) {
    Matrix4 m;
    Perspective(m, 0.154f, 0.115f, 0.1f, 20.0f);
    EXPECT_FLOAT_EQ(m.m[0][0], 2 * 0.1f / 0.154f);
    EXPECT_FLOAT_EQ(m.m[1][1], 2 * 0.1f / 0.115f);
    EXPECT_FLOAT_EQ(m.m[2][2], 20.0f / 19.9f);
    EXPECT_EQ(m.m[2][3], 1.0f);
    EXPECT_FLOAT_EQ(m.m[3][2], -0.1f * 20.0f / 19.9f);
    EXPECT_EQ(m.m[0][1], 0.0f);
    EXPECT_EQ(m.m[3][3], 0.0f);
    // The near plane's right edge lands on x = 1, depth 0; the far plane on depth 1.
    ExpectPoint(m, 0.077f, 0, 0.1f, 1, 0, 0);
    ExpectPoint(m, 0, -0.0575f, 0.1f, 0, -1, 0);
    float out[3];
    TransformPoint(m, 0, 0, 20.0f, out);
    EXPECT_NEAR(out[2], 1.0f, 1e-5f);
}
