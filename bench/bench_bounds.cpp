// Cost of the fractal's bounding box (Fit Fractal, --info, --fit) for wide patterns at depth.
#include <benchmark/benchmark.h>

#include <cmath>

#include "document/pattern.h"
#include "view/fractal_bounds.h"

namespace {

// 32 segments on a wavy line with every combination of reverse and mirror.
CPattern Wave32()
{
    CPattern p;
    p.m_count = 32;
    for (int i = 0; i <= 32; ++i)
        p.m_points[i] = PointF{static_cast<float>(i) * 10.0f, 12.0f * static_cast<float>(std::sin(i * 0.7))};
    for (int i = 0; i < 32; ++i)
        p.m_kneeFlags[i] = static_cast<uint8_t>(i % 4);
    p.UpdateKnees();
    return p;
}

// The start pattern with its middle point centred: a dragon curve.
CPattern Dragon()
{
    CPattern p;
    p.m_count = 2;
    p.m_points[0] = {-100.0f, 0.0f};
    p.m_points[1] = {0.0f, -100.0f};
    p.m_points[2] = {100.0f, 0.0f};
    p.m_kneeFlags[0] = KNEE_REVERSE;
    p.UpdateKnees();
    return p;
}

void BM_BoundsWave32(benchmark::State& state)
{
    const CPattern pattern = Wave32();
    for (auto _ : state) {
        FractalBoundsResult result;
        benchmark::DoNotOptimize(ComputeFractalBounds(pattern, static_cast<int>(state.range(0)), result));
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_BoundsWave32)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_BoundsDragon(benchmark::State& state)
{
    const CPattern pattern = Dragon();
    for (auto _ : state) {
        FractalBoundsResult result;
        benchmark::DoNotOptimize(ComputeFractalBounds(pattern, static_cast<int>(state.range(0)), result));
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_BoundsDragon)->Arg(20)->Arg(60)->Unit(benchmark::kMillisecond);

}  // namespace
