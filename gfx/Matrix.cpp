// The matrix functions of the scene's transforms.
#include "gfx/Matrix.h"

#include <cmath>
#include <cstring>

const Matrix4 kIdentityMatrix = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

void Identity(Matrix4& mat) { mat = kIdentityMatrix; }

void SetTranslation(Matrix4& mat, float x, float y, float z) {
    mat.m[3][0] = x;
    mat.m[3][1] = y;
    mat.m[3][2] = z;
}

void AddTranslation(Matrix4& mat, float x, float y, float z) {
    mat.m[3][0] += x;
    mat.m[3][1] += y;
    mat.m[3][2] += z;
}

void Rotate(Matrix4& mat, float ax, float ay, float az) {
    const float cx = std::cos(ax), sx = std::sin(ax);
    const float cy = std::cos(ay), sy = std::sin(ay);
    const float cz = std::cos(az), sz = std::sin(az);
    for (int row = 0; row < 3; ++row) {
        float x = mat.m[row][0], y = mat.m[row][1], z = mat.m[row][2];
        float t = y * cx - z * sx;  // about x
        z = y * sx + z * cx;
        y = t;
        t = x * cy + z * sy;  // about y
        z = -x * sy + z * cy;
        x = t;
        t = x * cz - y * sz;  // about z
        y = x * sz + y * cz;
        x = t;
        mat.m[row][0] = x;
        mat.m[row][1] = y;
        mat.m[row][2] = z;
    }
}

void Perspective(Matrix4& mat, float w, float h, float zn, float zf) {
    std::memset(&mat, 0, sizeof mat);
    mat.m[0][0] = 2 * zn / w;
    mat.m[1][1] = 2 * zn / h;
    mat.m[2][2] = zf / (zf - zn);
    mat.m[2][3] = 1;
    mat.m[3][2] = -zn * zf / (zf - zn);
}

void TransformPoint(const Matrix4& mat, float x, float y, float z, float out[3]) {
    const float in[4] = {x, y, z, 1};
    float r[4];
    for (int col = 0; col < 4; ++col) {
        r[col] = 0;
        for (int i = 0; i < 4; ++i) r[col] += in[i] * mat.m[i][col];
    }
    const float w = r[3] != 0 ? r[3] : 1;
    for (int i = 0; i < 3; ++i) out[i] = r[i] / w;
}
