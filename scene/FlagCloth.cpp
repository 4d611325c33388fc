// cFlagCloth: closed-form height field, face normals and per-cell vertices of the flag.
#include "scene/FlagCloth.h"

#include <cmath>
#include <cstddef>

void cFlagCloth::SetAspect(int w, int h) {
    m_aspectWidth = 1.0f;
    m_aspectHeight = 1.0f;
    if (w <= 0 || h <= 0 || w == h) return;
    if (w < h)
        m_aspectWidth = static_cast<float>(w) / static_cast<float>(h);
    else
        m_aspectHeight = static_cast<float>(h) / static_cast<float>(w);
}

void cFlagCloth::SetGrid(int cols, int rows) {
    m_cols = cols > 0 ? cols : 0;
    m_rows = rows > 0 ? rows : 0;
    if (m_cols == 0 || m_rows == 0) m_cols = m_rows = 0;
    m_cells.assign(static_cast<size_t>(m_cols) * static_cast<size_t>(m_rows), cFlagCell());
    // A new grid starts without textures and is built afresh on its first update or draw.
    m_loadedTiles = 0;
    m_built = false;
    m_vertices.clear();
    m_faces.clear();
    m_vertexCount = 0;
}

void cFlagCloth::Build() {
    float w, h;
    if (m_aspectWidth >= m_aspectHeight) {
        w = m_aspectWidth / m_aspectHeight * m_size;
        h = m_size;
    } else {
        w = m_size;
        h = m_aspectHeight / m_aspectWidth * m_size;
    }
    const float x0 = -w / 2, y0 = -h / 2;
    m_built = true;
    m_xMin = x0;
    m_yMin = y0;
    m_xMax = w + x0;
    m_yMax = h + y0;
    const int cols = m_cols, rows = m_rows;
    if (cols <= 0 || rows <= 0) {
        // An empty grid (a picture too small for one tile) has nothing to draw.
        m_vertices.clear();
        m_faces.clear();
        m_vertexCount = 0;
        return;
    }
    const float dx = w / static_cast<float>(cols), dy = h / static_cast<float>(rows);
    m_xMax = static_cast<float>(cols) * dx + x0;
    m_yMax = static_cast<float>(rows) * dy + y0;

    m_columnZ.assign(static_cast<size_t>(cols) + 1, 0.0f);
    m_vertexCount = (cols + 1) * (rows + 1);
    m_vertices.assign(static_cast<size_t>(m_vertexCount), FlagPoint{0, 0, 0});
    for (int row = 0; row <= rows; ++row)
        for (int col = 0; col <= cols; ++col)
            m_vertices[static_cast<size_t>(row * (cols + 1) + col)] =
                FlagPoint{static_cast<float>(col) * dx + x0, static_cast<float>(row) * dy + y0, 0.0f};

    m_faces.assign(static_cast<size_t>(cols) * static_cast<size_t>(rows), FlagFace{{0, 0, 0}, 0, 0, 0, 0});
    for (int row = 0; row < rows; ++row) {
        for (int col = 0; col < cols; ++col) {
            FlagFace& f = m_faces[static_cast<size_t>(row * cols + col)];
            f.a = (row + 1) * (cols + 1) + col;
            f.b = row * (cols + 1) + col;
            f.c = row * (cols + 1) + col + 1;
            f.d = (row + 1) * (cols + 1) + col + 1;
            cFlagCell& cell = m_cells[static_cast<size_t>(row * cols + col)];
            const int32_t corners[4] = {f.a, f.b, f.c, f.d};
            for (int k = 0; k < 4; ++k) {
                const FlagPoint& p = m_vertices[static_cast<size_t>(corners[k])];
                cell.vertices[k].x = p.x;
                cell.vertices[k].y = p.y;
                cell.vertices[k].z = p.z;
            }
        }
    }
}

void cFlagCloth::Update(float step) {
    if (!m_built) Build();
    const int cols = m_cols, rows = m_rows;
    if (cols > 0 && rows > 0) {
        // Height field from the phase before this step. The height depends on the column
        // alone: it is worked out once per column and copied down the rows.
        const double k = kWaveNumber;
        for (int j = 0; j <= cols; ++j) {
            const double falloff = static_cast<double>(cols + 1 - j) / static_cast<double>(cols + 1);
            m_columnZ[static_cast<size_t>(j)] =
                static_cast<float>(kAmplitude * std::sin(k * m_vertices[static_cast<size_t>(j)].x - m_phase) * falloff);
        }
        for (int row = 0; row <= rows; ++row) {
            FlagPoint* line = &m_vertices[static_cast<size_t>(row * (cols + 1))];
            for (int j = 0; j <= cols; ++j) line[j].z = m_columnZ[static_cast<size_t>(j)];
        }
        // Face normals n = (A - C) x (A - B), normalised; an undisturbed cell faces -z.
        for (FlagFace& f : m_faces) {
            const FlagPoint& a = m_vertices[static_cast<size_t>(f.a)];
            const FlagPoint& b = m_vertices[static_cast<size_t>(f.b)];
            const FlagPoint& c = m_vertices[static_cast<size_t>(f.c)];
            const float ux = a.x - c.x, uy = a.y - c.y, uz = a.z - c.z;
            const float vx = a.x - b.x, vy = a.y - b.y, vz = a.z - b.z;
            float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
            const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
            if (len > 0.0f) {
                const float inv = 1.0f / len;
                nx *= inv;
                ny *= inv;
                nz *= inv;
            }
            f.normal[0] = nx;
            f.normal[1] = ny;
            f.normal[2] = nz;
        }
    }
    m_phase += static_cast<double>(step) * kPhaseSpeed;
    if (cols <= 0 || rows <= 0) return;

    // Cell vertices: the left pair shares the normal averaged with the previous cell by index,
    // the right pair the one averaged with the next cell; the ends average with themselves.
    const int last = rows * cols - 1;
    for (int c = 0; c <= last; ++c) {
        const FlagFace& f = m_faces[static_cast<size_t>(c)];
        const int p = c - 1 <= 0 ? 0 : c - 1;
        const int q = c + 1 < last ? c + 1 : last;
        const FlagFace& fp = m_faces[static_cast<size_t>(p)];
        const FlagFace& fq = m_faces[static_cast<size_t>(q)];
        float left[3], right[3];
        for (int i = 0; i < 3; ++i) {
            left[i] = (f.normal[i] + fp.normal[i]) * 0.5f;
            right[i] = (f.normal[i] + fq.normal[i]) * 0.5f;
        }
        cFlagCell& cell = m_cells[static_cast<size_t>(c)];
        const int32_t corners[4] = {f.a, f.b, f.c, f.d};
        for (int k = 0; k < 4; ++k) {
            const FlagPoint& pt = m_vertices[static_cast<size_t>(corners[k])];
            FlagVertex& v = cell.vertices[k];
            v.x = pt.x;
            v.y = pt.y;
            v.z = pt.z;
            const float* n = k < 2 ? left : right;
            v.nx = n[0];
            v.ny = n[1];
            v.nz = n[2];
        }
    }
}
