// One step of a point drag on the picture at default settings: the pointer editor moves the
// point, then the next paint regenerates and draws the whole picture (pattern overlay and
// fractal) on a 1920 x 1080 canvas with the time budget on, as the window does.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <random>

#include "document/pattern.h"
#include "render/smooth_renderer.h"
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

// 33 points on a circle of radius 100, from its leftmost point almost all the way round:
// every segment is as long as the baseline, so no copy ever shrinks and only the draw limit
// ends the picture.
CPattern Circle32()
{
    CPattern p;
    p.m_count = 32;
    for (int i = 0; i <= 32; ++i) {
        const double a = std::numbers::pi + 2.0 * std::numbers::pi * i / 33.0;
        p.m_points[i] = PointF{static_cast<float>(100.0 * std::cos(a)), static_cast<float>(100.0 * std::sin(a))};
    }
    p.UpdateKnees();
    return p;
}

// 32 segments between (-400, 0) and (400, 0) through random points within 250 units of the
// baseline, with random knee flags.
CPattern Random32(uint32_t seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> x(-400.0f, 400.0f), y(-250.0f, 250.0f);
    CPattern p;
    p.m_count = 32;
    p.m_points[0] = PointF{-400.0f, 0.0f};
    p.m_points[32] = PointF{400.0f, 0.0f};
    for (int i = 1; i < 32; ++i)
        p.m_points[i] = PointF{x(rng), y(rng)};
    for (int i = 0; i < 32; ++i)
        p.m_kneeFlags[i] = static_cast<uint8_t>(rng() % 4);
    p.UpdateKnees();
    return p;
}

// Drags point 16 of `pattern` down by a pixel per step, 20 steps back and forth, redrawing
// the whole scene after each: on the canvas, or, with `smooth`, antialiased as Smooth Drawing
// draws the window's picture (construction lines included).
void RunDrag(benchmark::State& state, CPattern pattern, bool smooth = false)
{
    CRenderStyle style;
    style.showPattern = true;
    CRgbaImage picture;
    auto r = std::make_unique<CFractalRenderer>();
    r->SetScreenSize(1920, 1080);
    r->SetCanvasSize(1920, 1080);
    // The press grabbed point 16; every step moves it by a pixel and redraws.
    const PointF grabbed = pattern.m_points[16];
    r->m_pointer = grabbed;
    r->UpdateHit(pattern);
    r->BeginDraw();
    float step = 0.0f;
    int64_t lines = 0;
    for (auto _ : state) {
        step = step > 20.0f ? 0.0f : step + 1.0f;
        r->m_pointer = PointF{grabbed.x, grabbed.y + step / r->m_transform.m_scale};
        r->OnEditEvent(WM_MOUSEMOVE, MK_LBUTTON, pattern);
        r->m_bRedraw = 1;
        if (smooth)
            DrawSmoothScene(*r, pattern, style, &picture, nullptr);
        else
            r->DrawScene(pattern);
        lines += r->m_nLineCount;
        benchmark::DoNotOptimize(r->m_bitmap.Bits());
        benchmark::DoNotOptimize(picture.pixels.data());
    }
    r->EndDraw();
    state.counters["counted_lines_per_step"] =
        benchmark::Counter(static_cast<double>(lines) / static_cast<double>(state.iterations()));
}

void DragStep(benchmark::State& state)
{
    RunDrag(state, ZigZag32(static_cast<float>(state.range(0))));
}

void DragStepCircle(benchmark::State& state)
{
    RunDrag(state, Circle32());
}

void DragStepRandom(benchmark::State& state)
{
    RunDrag(state, Random32(static_cast<uint32_t>(state.range(0))));
}

void DragStepSmooth(benchmark::State& state)
{
    RunDrag(state, ZigZag32(static_cast<float>(state.range(0))), true);
}

void DragStepCircleSmooth(benchmark::State& state)
{
    RunDrag(state, Circle32(), true);
}

}  // namespace

// Amplitudes 10, 25 and 40 pattern units: gentle to strongly folded zig-zags; 80 is dense.
BENCHMARK(DragStep)->Arg(10)->Arg(25)->Arg(40)->Arg(80)->Unit(benchmark::kMillisecond);
BENCHMARK(DragStepCircle)->Unit(benchmark::kMillisecond);
// Random patterns, by seed.
BENCHMARK(DragStepRandom)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
// The same drags with Smooth Drawing on.
BENCHMARK(DragStepSmooth)->Arg(10)->Arg(25)->Arg(40)->Arg(80)->Unit(benchmark::kMillisecond);
BENCHMARK(DragStepCircleSmooth)->Unit(benchmark::kMillisecond);
