// One step of a point drag on the picture at default settings: the pointer editor moves the
// point, then the next paint regenerates and draws the whole picture (pattern overlay and
// fractal) on a 1920 x 1080 canvas with the time budget on, as the window does.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "document/pattern.h"
#include "view/fractal_renderer.h"

namespace {

// A 32-segment zig-zag across the view, as a user might draw one: 33 points from x = -400
// to 400, alternately above and below the baseline.
CPattern ZigZag32(float amplitude)
{
    CPattern p;
    p.m_count = 32;
    for (int i = 0; i <= 32; ++i) {
        float x = -400.0f + 25.0f * static_cast<float>(i);
        float y = (i == 0 || i == 32) ? 0.0f : ((i % 2) ? amplitude : -amplitude);
        p.m_points[i] = PointF{x, y};
    }
    for (int i = 0; i < 32; ++i)
        p.m_kneeFlags[i] = static_cast<uint8_t>(i % 4 == 1 ? KNEE_REVERSE : i % 4 == 3 ? KNEE_MIRROR : 0);
    p.UpdateKnees();
    return p;
}

void DragStep(benchmark::State& state)
{
    auto r = std::make_unique<CFractalRenderer>();
    r->SetScreenSize(1920, 1080);
    r->SetCanvasSize(1920, 1080);
    CPattern pattern = ZigZag32(static_cast<float>(state.range(0)));
    // The press grabbed point 16; every step moves it by a pixel and redraws.
    r->m_pointer = pattern.m_points[16];
    r->UpdateHit(pattern);
    r->BeginDraw();
    float step = 0.0f;
    int64_t lines = 0;
    for (auto _ : state) {
        step = step > 20.0f ? 0.0f : step + 1.0f;
        r->m_pointer = PointF{pattern.m_points[16].x, static_cast<float>(state.range(0)) + step};
        r->OnEditEvent(WM_MOUSEMOVE, MK_LBUTTON, pattern);
        r->m_bRedraw = 1;
        r->DrawScene(pattern);
        lines += r->m_nLineCount;
        benchmark::DoNotOptimize(r->m_bitmap.Bits());
    }
    r->EndDraw();
    state.counters["counted_lines_per_step"] =
        benchmark::Counter(static_cast<double>(lines) / static_cast<double>(state.iterations()));
}

}  // namespace

// Amplitudes 10, 25 and 40 pattern units: gentle to strongly folded zig-zags.
BENCHMARK(DragStep)->Arg(10)->Arg(25)->Arg(40)->Unit(benchmark::kMillisecond);
