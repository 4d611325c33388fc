// cFlagCloth: the geometry of the waving flag, a grid of cells in the XY plane whose heights
// follow a travelling sine wave that dies away towards the right-hand (pole) edge. It owns its
// vertex, face and cell arrays; the cells' textures belong to cFlag, which frees them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class cTexture;

// One vertex as the device takes it: position, normal, one texture coordinate set (32 bytes).
struct FlagVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
static_assert(sizeof(FlagVertex) == 32, "the device reads 32-byte vertices");

struct FlagPoint {
    float x, y, z;
};

// Corner indices of a cell: A = (row + 1, col), B = (row, col), C = (row, col + 1),
// D = (row + 1, col + 1).
struct FlagFace {
    float normal[3];
    int32_t a, b, c, d;
};

struct cFlagCell {
    // Vertex 0 on corner A, 1 on B, 2 on C, 3 on D; texture (0, 0) is the cell's top left.
    FlagVertex vertices[4] = {
        {0, 0, 0, 0, 0, 0, 0.0f, 0.0f},
        {0, 0, 0, 0, 0, 0, 0.0f, 1.0f},
        {0, 0, 0, 0, 0, 0, 1.0f, 1.0f},
        {0, 0, 0, 0, 0, 0, 1.0f, 0.0f},
    };
    uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    cTexture* texture = nullptr;  // owned by the cFlag that holds the cell
    uint32_t sourceTileWidth = 0;
    uint32_t sourceTileHeight = 0;
};

class cFlagCloth {
public:
    static constexpr float kAmplitude = 0.135f;
    static constexpr int kWaveNumber = 10;
    static constexpr float kPhaseSpeed = 0.05f;  // radians per frame unit (16.666 ms)

    cFlagCloth() = default;
    cFlagCloth(const cFlagCloth&) = delete;
    cFlagCloth& operator=(const cFlagCloth&) = delete;

    // Relative proportions; the larger side becomes 1.0. A side of 0 or below leaves 1 : 1.
    void SetAspect(int w, int h);
    void SetSize(float size) { m_size = size; }
    // Sets the grid (the tiling step does this once) and allocates cols x rows empty cells;
    // the owner of the old cells' textures must free them first. A negative count is taken
    // as 0: no cells.
    void SetGrid(int cols, int rows);

    // (Re)creates vertices and faces from the grid, the aspect and the size; z = 0, normals 0.
    void Build();
    // Advances the wave by `step` frame units and refreshes every cell's vertices.
    void Update(float step);

    void AddLoadedTiles(int n) { m_loadedTiles += n; }
    int LoadedTiles() const { return m_loadedTiles; }
    bool AllTilesLoaded() const { return m_loadedTiles >= m_cols * m_rows; }

    int Cols() const { return m_cols; }
    int Rows() const { return m_rows; }
    int VertexCount() const { return m_vertexCount; }
    bool Built() const { return m_built; }
    float AspectWidth() const { return m_aspectWidth; }
    float AspectHeight() const { return m_aspectHeight; }
    float Size() const { return m_size; }
    double Phase() const { return m_phase; }
    float XMin() const { return m_xMin; }
    float XMax() const { return m_xMax; }
    float YMin() const { return m_yMin; }
    float YMax() const { return m_yMax; }

    const std::vector<FlagPoint>& Vertices() const { return m_vertices; }
    const std::vector<FlagFace>& Faces() const { return m_faces; }
    std::vector<cFlagCell>& Cells() { return m_cells; }
    const std::vector<cFlagCell>& Cells() const { return m_cells; }
    cFlagCell& Cell(int row, int col) { return m_cells[static_cast<size_t>(row * m_cols + col)]; }

protected:
    ~cFlagCloth() = default;  // only the owner of the textures (cFlag) destroys a cloth

private:
    std::vector<FlagPoint> m_vertices;
    std::vector<FlagFace> m_faces;
    std::vector<cFlagCell> m_cells;
    std::vector<float> m_columnZ;  // this frame's height of each column
    int32_t m_vertexCount = 0;
    int32_t m_loadedTiles = 0;
    int32_t m_cols = 0;
    int32_t m_rows = 0;
    float m_aspectWidth = 1.0f;
    float m_aspectHeight = 1.0f;
    float m_xMin = 0, m_xMax = 0, m_yMax = 0, m_yMin = 0;
    float m_size = 1.0f;
    double m_phase = 0.0;
    bool m_built = false;
};
