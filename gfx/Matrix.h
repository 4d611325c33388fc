// 4 x 4 float matrices in row-vector convention (a point v becomes v x M; the fourth row is
// the translation) and the functions that build the scene's transforms. Same memory layout
// as Direct3D's D3DMATRIX: m[row][column].
#pragma once

struct Matrix4 {
    float m[4][4];
};

extern const Matrix4 kIdentityMatrix;

void Identity(Matrix4& mat);
// Writes the fourth row.
void SetTranslation(Matrix4& mat, float x, float y, float z);
// Adds to the fourth row.
void AddTranslation(Matrix4& mat, float x, float y, float z);
// Rotates the first three rows in place: about x by ax, then y by ay, then z by az.
void Rotate(Matrix4& mat, float ax, float ay, float az);
// Left-handed perspective with a near plane of width w and height h.
void Perspective(Matrix4& mat, float w, float h, float zn, float zf);

// Point (x, y, z, 1) times the matrix, divided by w when w is not 0.
void TransformPoint(const Matrix4& mat, float x, float y, float z, float out[3]);
