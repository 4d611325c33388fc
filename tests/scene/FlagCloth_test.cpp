// The flag's geometry: aspect, grid layout, the wave's height field, normals and cell vertices.
#include <gtest/gtest.h>

#include <cmath>

#include "scene/FlagCloth.h"

namespace {

class TestCloth : public cFlagCloth {};

// The flag as the scene makes it: 11 : 7, size 1.4.
void MakeFlag(TestCloth& f, int cols, int rows) {
    f.SetSize(1.4f);
    f.SetAspect(11, 7);
    f.SetGrid(cols, rows);
}

const FlagPoint& V(const cFlagCloth& f, int row, int col) {
    return f.Vertices()[static_cast<size_t>(row * (f.Cols() + 1) + col)];
}

}  // namespace

TEST(FlagCloth, DefaultsBeforeTiling) {
    TestCloth f;
    EXPECT_EQ(f.Cols(), 0);
    EXPECT_EQ(f.Rows(), 0);
    EXPECT_FLOAT_EQ(f.AspectWidth(), 1.0f);
    EXPECT_FLOAT_EQ(f.AspectHeight(), 1.0f);
    EXPECT_FLOAT_EQ(f.Size(), 1.0f);
    EXPECT_EQ(f.LoadedTiles(), 0);
    EXPECT_DOUBLE_EQ(f.Phase(), 0.0);
    EXPECT_TRUE(f.Vertices().empty());
}

TEST(FlagCloth, SetAspectMakesTheLargerSideOne) {
    TestCloth f;
    f.SetAspect(11, 7);
    EXPECT_FLOAT_EQ(f.AspectWidth(), 1.0f);
    EXPECT_FLOAT_EQ(f.AspectHeight(), 7.0f / 11.0f);
    f.SetAspect(3, 4);
    EXPECT_FLOAT_EQ(f.AspectWidth(), 0.75f);
    EXPECT_FLOAT_EQ(f.AspectHeight(), 1.0f);
    f.SetAspect(5, 5);
    EXPECT_FLOAT_EQ(f.AspectWidth(), 1.0f);
    EXPECT_FLOAT_EQ(f.AspectHeight(), 1.0f);
    f.SetAspect(0, 7);
    EXPECT_FLOAT_EQ(f.AspectWidth(), 1.0f);
    EXPECT_FLOAT_EQ(f.AspectHeight(), 1.0f);
}

TEST(FlagCloth, BuildLaysOutTheFlagAroundTheOrigin) {
    TestCloth f;
    MakeFlag(f, 80, 3);
    f.Build();
    EXPECT_EQ(f.VertexCount(), 81 * 4);
    EXPECT_EQ(f.Vertices().size(), 81u * 4u);
    EXPECT_EQ(f.Faces().size(), 240u);
    EXPECT_NEAR(f.XMin(), -1.1f, 1e-5);
    EXPECT_NEAR(f.XMax(), 1.1f, 1e-5);
    EXPECT_NEAR(f.YMin(), -0.7f, 1e-5);
    EXPECT_NEAR(f.YMax(), 0.7f, 1e-5);
    // Row 0 is the bottom edge, column 0 the left edge.
    EXPECT_NEAR(V(f, 0, 0).x, -1.1f, 1e-5);
    EXPECT_NEAR(V(f, 0, 0).y, -0.7f, 1e-5);
    EXPECT_NEAR(V(f, 3, 80).x, 1.1f, 1e-5);
    EXPECT_NEAR(V(f, 3, 80).y, 0.7f, 1e-5);
    EXPECT_NEAR(V(f, 1, 1).x, -1.1f + 2.2f / 80, 1e-5);
    EXPECT_NEAR(V(f, 1, 1).y, -0.7f + 1.4f / 3, 1e-5);
    for (const FlagPoint& p : f.Vertices()) EXPECT_EQ(p.z, 0.0f);
}

TEST(FlagCloth, PortraitAspectMakesAHigherFlag) {
    TestCloth f;
    f.SetSize(2.0f);
    f.SetAspect(1, 2);
    f.SetGrid(2, 2);
    f.Build();
    EXPECT_NEAR(f.XMax() - f.XMin(), 2.0f, 1e-5);
    EXPECT_NEAR(f.YMax() - f.YMin(), 4.0f, 1e-5);
}

TEST(FlagCloth, FacesAndCellsUseCornersABCD) {
    TestCloth f;
    MakeFlag(f, 4, 2);
    f.Build();
    // Cell (row 1, col 2): A = (2, 2), B = (1, 2), C = (1, 3), D = (2, 3).
    const FlagFace& face = f.Faces()[1 * 4 + 2];
    EXPECT_EQ(face.a, 2 * 5 + 2);
    EXPECT_EQ(face.b, 1 * 5 + 2);
    EXPECT_EQ(face.c, 1 * 5 + 3);
    EXPECT_EQ(face.d, 2 * 5 + 3);
    const cFlagCell& cell = f.Cell(1, 2);
    EXPECT_FLOAT_EQ(cell.vertices[0].x, V(f, 2, 2).x);
    EXPECT_FLOAT_EQ(cell.vertices[0].y, V(f, 2, 2).y);
    EXPECT_FLOAT_EQ(cell.vertices[2].x, V(f, 1, 3).x);
    EXPECT_FLOAT_EQ(cell.vertices[2].y, V(f, 1, 3).y);
    // Texture (0, 0) at the top left (A), (1, 1) at the bottom right (C).
    EXPECT_EQ(cell.vertices[0].u, 0.0f);
    EXPECT_EQ(cell.vertices[0].v, 0.0f);
    EXPECT_EQ(cell.vertices[1].v, 1.0f);
    EXPECT_EQ(cell.vertices[2].u, 1.0f);
    EXPECT_EQ(cell.vertices[3].u, 1.0f);
    EXPECT_EQ(cell.vertices[3].v, 0.0f);
    const uint16_t expected[6] = {0, 1, 2, 0, 2, 3};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(cell.indices[i], expected[i]);
    // Normals are not set by Build.
    for (const FlagFace& fc : f.Faces()) EXPECT_EQ(fc.normal[2], 0.0f);
    EXPECT_EQ(cell.vertices[0].nz, 0.0f);
}

TEST(FlagCloth, HeightFieldFallsOffTowardsThePole) {
    TestCloth f;
    MakeFlag(f, 80, 3);
    f.Update(0.0f);
    for (int row = 0; row <= 3; ++row) {
        for (int j = 0; j <= 80; ++j) {
            const FlagPoint& p = V(f, row, j);
            const double want = 0.135 * std::sin(10.0 * p.x) * (81 - j) / 81.0;
            ASSERT_NEAR(p.z, want, 1e-6) << row << "," << j;
        }
    }
    // x and y never change.
    EXPECT_NEAR(V(f, 0, 0).x, -1.1f, 1e-5);
}

TEST(FlagCloth, OneColumnSwingsFullyOnTheLeftAndHalfOnTheRight) {
    TestCloth f;
    f.SetSize(1.0f);
    f.SetGrid(1, 1);  // square 1 x 1 from x = -0.5 to 0.5
    f.Update(0.0f);
    EXPECT_NEAR(V(f, 0, 0).z, 0.135 * std::sin(10.0 * -0.5), 1e-6);
    EXPECT_NEAR(V(f, 0, 1).z, 0.135 * std::sin(10.0 * 0.5) * 0.5, 1e-6);
}

TEST(FlagCloth, PhaseAdvancesAfterTheHeightsAreTaken) {
    TestCloth f;
    MakeFlag(f, 8, 2);
    f.Update(2.0f);
    EXPECT_NEAR(f.Phase(), 0.1, 1e-7);
    // Heights of the first update used phase 0.
    EXPECT_NEAR(V(f, 0, 0).z, 0.135 * std::sin(10.0 * V(f, 0, 0).x), 1e-6);
    f.Update(1.0f);
    EXPECT_NEAR(f.Phase(), 0.15, 1e-7);
    EXPECT_NEAR(V(f, 0, 0).z, 0.135 * std::sin(10.0 * V(f, 0, 0).x - 0.1), 1e-6);
}

TEST(FlagCloth, ZeroStepKeepsPhaseButRefreshesCells) {
    TestCloth f;
    MakeFlag(f, 8, 2);
    f.Update(3.0f);
    f.Update(0.0f);
    const double phase = f.Phase();
    f.Cells()[5].vertices[0].z = 99.0f;
    f.Cells()[5].vertices[0].nz = 99.0f;
    f.Update(0.0f);
    EXPECT_DOUBLE_EQ(f.Phase(), phase);
    EXPECT_NE(f.Cells()[5].vertices[0].z, 99.0f);
    EXPECT_NE(f.Cells()[5].vertices[0].nz, 99.0f);
}

TEST(FlagCloth, NormalsAreUnitLengthAndFaceTheViewer) {
    TestCloth f;
    MakeFlag(f, 4, 2);
    f.Update(0.0f);
    for (const FlagFace& fc : f.Faces()) {
        const double len = std::sqrt(fc.normal[0] * fc.normal[0] + fc.normal[1] * fc.normal[1] +
                                     fc.normal[2] * fc.normal[2]);
        EXPECT_NEAR(len, 1.0, 1e-5);
        EXPECT_LT(fc.normal[2], 0.0f);
    }
}

TEST(FlagCloth, FaceNormalFollowsTheSlope) {
    TestCloth f;
    MakeFlag(f, 80, 3);
    f.Update(0.0f);
    // Cell (0, c): n = (A - C) x (A - B) normalised; compute it independently.
    for (int c : {0, 17, 79}) {
        const FlagFace& fc = f.Faces()[static_cast<size_t>(c)];
        const FlagPoint& a = f.Vertices()[static_cast<size_t>(fc.a)];
        const FlagPoint& b = f.Vertices()[static_cast<size_t>(fc.b)];
        const FlagPoint& cc = f.Vertices()[static_cast<size_t>(fc.c)];
        const double u[3] = {a.x - cc.x, a.y - cc.y, a.z - cc.z};
        const double v[3] = {a.x - b.x, a.y - b.y, a.z - b.z};
        double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(fc.normal[i], n[i] / len, 1e-5) << c << " " << i;
    }
    // Where the cloth goes away from the viewer towards the right (z grows with x), its
    // viewer-facing normal leans to +x.
    const FlagFace& f0 = f.Faces()[0];
    const FlagPoint& b0 = f.Vertices()[static_cast<size_t>(f0.b)];
    const FlagPoint& c0 = f.Vertices()[static_cast<size_t>(f0.c)];
    if (c0.z > b0.z) EXPECT_GT(f0.normal[0], 0.0f);
    if (c0.z < b0.z) EXPECT_LT(f0.normal[0], 0.0f);
}

TEST(FlagCloth, CellNormalsAverageNeighboursByIndex) {
    TestCloth f;
    MakeFlag(f, 5, 3);
    f.Update(7.0f);
    f.Update(1.0f);
    const auto& faces = f.Faces();
    const int last = 5 * 3 - 1;
    for (int c = 0; c <= last; ++c) {
        const int p = c - 1 <= 0 ? 0 : c - 1;
        const int q = c + 1 < last ? c + 1 : last;
        const cFlagCell& cell = f.Cells()[static_cast<size_t>(c)];
        for (int i = 0; i < 3; ++i) {
            const float left = (faces[static_cast<size_t>(c)].normal[i] + faces[static_cast<size_t>(p)].normal[i]) * 0.5f;
            const float right = (faces[static_cast<size_t>(c)].normal[i] + faces[static_cast<size_t>(q)].normal[i]) * 0.5f;
            const float got0[3] = {cell.vertices[0].nx, cell.vertices[0].ny, cell.vertices[0].nz};
            const float got1[3] = {cell.vertices[1].nx, cell.vertices[1].ny, cell.vertices[1].nz};
            const float got2[3] = {cell.vertices[2].nx, cell.vertices[2].ny, cell.vertices[2].nz};
            const float got3[3] = {cell.vertices[3].nx, cell.vertices[3].ny, cell.vertices[3].nz};
            EXPECT_FLOAT_EQ(got0[i], left);
            EXPECT_FLOAT_EQ(got1[i], left);
            EXPECT_FLOAT_EQ(got2[i], right);
            EXPECT_FLOAT_EQ(got3[i], right);
        }
    }
    // The first cell averages its left normal with itself: exactly its own face normal.
    EXPECT_FLOAT_EQ(f.Cells()[0].vertices[0].nz, faces[0].normal[2]);
    EXPECT_FLOAT_EQ(f.Cells()[static_cast<size_t>(last)].vertices[2].nz, faces[static_cast<size_t>(last)].normal[2]);
    // A cell's vertex positions follow the moved grid.
    const FlagFace& face = faces[7];
    EXPECT_FLOAT_EQ(f.Cells()[7].vertices[3].z, f.Vertices()[static_cast<size_t>(face.d)].z);
}

TEST(FlagCloth, EmptyGridUpdatesWithoutCells) {
    TestCloth f;
    MakeFlag(f, 0, 0);
    EXPECT_TRUE(f.AllTilesLoaded());
    f.Update(1.0f);
    f.Update(1.0f);
    EXPECT_TRUE(f.Cells().empty());
    EXPECT_EQ(f.VertexCount(), 0);
    EXPECT_NEAR(f.Phase(), 0.1, 1e-7);
}

TEST(FlagCloth, NegativeGridIsEmpty) {
    TestCloth f;
    MakeFlag(f, -5, 3);
    EXPECT_EQ(f.Cols(), 0);
    EXPECT_EQ(f.Rows(), 0);
    f.Update(1.0f);
    EXPECT_TRUE(f.Cells().empty());
}

TEST(FlagCloth, LoadedTilesCount) {
    TestCloth f;
    MakeFlag(f, 4, 3);
    EXPECT_FALSE(f.AllTilesLoaded());
    f.AddLoadedTiles(11);
    EXPECT_FALSE(f.AllTilesLoaded());
    f.AddLoadedTiles(1);
    EXPECT_TRUE(f.AllTilesLoaded());
    EXPECT_EQ(f.LoadedTiles(), 12);
}

TEST(FlagCloth, ZeroSizeGivesZeroNormalsNotNaN) {
    TestCloth f;
    f.SetSize(0.0f);
    f.SetGrid(3, 2);
    f.Update(1.0f);
    for (const FlagFace& fc : f.Faces())
        for (float n : fc.normal) EXPECT_FALSE(std::isnan(n));
}

TEST(FlagCloth, NewGridStartsAfresh) {
    TestCloth f;
    MakeFlag(f, 4, 3);
    f.AddLoadedTiles(12);
    f.Update(1.0f);
    f.SetGrid(8, 2);
    EXPECT_EQ(f.LoadedTiles(), 0);
    EXPECT_FALSE(f.AllTilesLoaded());
    EXPECT_EQ(f.Cells().size(), 16u);
    f.Update(1.0f);
    EXPECT_EQ(f.VertexCount(), 9 * 3);
    EXPECT_EQ(f.Faces().size(), 16u);
}
