// Native microbenchmark of the program's portable per-frame work: the flag cloth's update
// (height field, face normals, cell vertices) and the frame clock's bookkeeping (frame-rate
// window and step filter), for the grids the flag gets at high and low quality.
// tools/bench.sh builds it with optimisation and runs it; it is not a test.
#include <chrono>
#include <cstdio>

#include "scene/FlagCloth.h"
#include "scene/FrameRate.h"
#include "scene/StepFilter.h"

namespace {

class Cloth : public cFlagCloth {};

double MicrosecondsPerFrame(int cols, int rows, int frames) {
    Cloth cloth;
    cloth.SetSize(1.4f);
    cloth.SetAspect(11, 7);
    cloth.SetGrid(cols, rows);
    cStepFilter filter;
    filter.SetLength(20);
    FrameRateBook book;
    cloth.Update(0.0f);
    float sink = 0.0f;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        const double ms = 10.0 + (i % 7);
        book.AddFrame(ms);
        const float step = static_cast<float>(filter.Push(ms * kStepPerMillisecond));
        cloth.Update(step);
        sink += cloth.Cells()[static_cast<size_t>(i % (cols * rows))].vertices[0].z;
    }
    const auto end = std::chrono::steady_clock::now();
    if (sink == 12345.0f) std::puts("");  // keeps the work from being optimised away
    return std::chrono::duration<double, std::micro>(end - start).count() / frames;
}

}  // namespace

int main() {
    const int frames = 20000;
    std::printf("cloth update + frame clock, 80 x 3 cells (High/Med.): %.2f us/frame\n",
                MicrosecondsPerFrame(80, 3, frames));
    std::printf("cloth update + frame clock, 128 x 3 cells (Low):      %.2f us/frame\n",
                MicrosecondsPerFrame(128, 3, frames));
    return 0;
}
