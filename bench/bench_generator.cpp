// Throughput of the fractal generator on a 1920 x 1080 canvas at detail 2, without the time
// budget (as an export runs): items are leaf lines, or polygon points in fill mode.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "document/pattern.h"
#include "reference_generator.h"
#include "view/fractal_renderer.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

CPattern Koch()
{
    CPattern p;
    p.m_count = 4;
    p.m_points[0] = {0.0f, 0.0f};
    p.m_points[1] = {1.0f / 3.0f, 0.0f};
    p.m_points[2] = {0.5f, 0.28867513f};
    p.m_points[3] = {2.0f / 3.0f, 0.0f};
    p.m_points[4] = {1.0f, 0.0f};
    p.UpdateKnees();
    return p;
}

// The start pattern of a new document with its middle point centred: a dragon curve.
CPattern Dragon()
{
    CPattern p;
    p.m_count = 2;
    p.m_points[0] = {-100.0f, 0.0f};
    p.m_points[1] = {0.0f, -100.0f};
    p.m_points[2] = {100.0f, 0.0f};
    p.m_kneeFlags[0] = KNEE_REVERSE;
    p.m_kneeFlags[1] = 0;
    p.UpdateKnees();
    return p;
}

// A renderer whose view fits the fractal of `pattern` into the canvas with a small margin.
// The extent is measured from the polygon of a generation at `probeDepth` (at most 100,000
// points).
std::unique_ptr<CFractalRenderer> FittedRenderer(const CPattern& pattern, int probeDepth)
{
    auto r = std::make_unique<CFractalRenderer>();
    r->SetScreenSize(kWidth, kHeight);
    r->SetCanvasSize(kWidth, kHeight);
    r->m_nSegments = pattern.m_count;
    r->m_bShowPattern = 0;

    // Probe at a fine scale around the baseline's midpoint.
    const PointF s = pattern.m_points[0];
    const PointF e = pattern.m_points[pattern.m_count];
    const float probeScale = 1e5f / std::max(std::abs(e.x - s.x) + std::abs(e.y - s.y), 1e-6f);
    r->m_transform.m_scale = probeScale;
    r->m_transform.m_origin = PointF{(s.x + e.x) / 2, (s.y + e.y) / 2};
    r->m_bFill = 1;
    r->m_bTimeLimit = 0;
    r->m_nDetail = 0;
    r->m_nIterations = probeDepth;
    r->m_nPolygonCount = 0;
    r->m_bCullOffCanvas = 0;  // the probe wants every point, most of them off the canvas
    r->Generate(pattern, pattern.m_kneeFlags);
    r->m_bCullOffCanvas = 1;
    int32_t minX = INT32_MAX, maxX = INT32_MIN, minY = INT32_MAX, maxY = INT32_MIN;
    for (int i = 0; i < r->m_nPolygonCount; ++i) {
        minX = std::min(minX, r->m_pPolygon[i].x);
        maxX = std::max(maxX, r->m_pPolygon[i].x);
        minY = std::min(minY, r->m_pPolygon[i].y);
        maxY = std::max(maxY, r->m_pPolygon[i].y);
    }
    const PointF low = r->m_transform.ScreenToWorld(minX, maxY);
    const PointF high = r->m_transform.ScreenToWorld(maxX, minY);
    const float fit = 0.95f * std::min(kWidth / std::max(high.x - low.x, 1e-9f), kHeight / std::max(high.y - low.y, 1e-9f));
    r->m_transform.m_scale = fit;
    r->m_transform.m_origin = PointF{(low.x + high.x) / 2, (low.y + high.y) / 2};

    r->m_bFill = 0;
    r->m_nDetail = 2;
    return r;
}

// The leaf lines of one picture: a generation with the time budget switched on but far
// away, where every leaf is counted.
int64_t CountLeafLines(CFractalRenderer& r, const CPattern& pattern)
{
    r.m_bTimeLimit = 1;
    r.m_bCullOffCanvas = 0;  // the leaves off the canvas count as well, as the reference's do
    const int32_t drawLimit = r.m_nDrawLimit;
    r.m_nDrawLimit = INT_MAX;
    r.BeginDraw();
    r.m_dc.SelectPen(r.m_pens[5]);
    r.Generate(pattern, pattern.m_kneeFlags);
    r.EndDraw();
    r.m_nDrawLimit = drawLimit;
    r.m_bTimeLimit = 0;
    r.m_bCullOffCanvas = 1;
    return r.m_nLineCount;
}

// Generation plus drawing of the lines, in line mode.
void RunLines(benchmark::State& state, const CPattern& pattern, int depth, int probeDepth)
{
    auto r = FittedRenderer(pattern, probeDepth);
    r->m_nIterations = depth;
    const int64_t leaves = CountLeafLines(*r, pattern);
    r->BeginDraw();
    r->m_dc.FillSolidRect(0, 0, kWidth, kHeight, RGB(255, 255, 255));
    r->m_dc.SelectPen(r->m_pens[5]);
    for (auto _ : state) {
        const bool complete = r->Generate(pattern, pattern.m_kneeFlags);
        benchmark::DoNotOptimize(complete);
    }
    r->EndDraw();
    state.SetItemsProcessed(state.iterations() * leaves);
    state.counters["leaf_lines"] = static_cast<double>(leaves);
}

void BM_KochLines(benchmark::State& state)
{
    RunLines(state, Koch(), 7, 7);
}

void BM_DragonLines(benchmark::State& state)
{
    RunLines(state, Dragon(), 18, 16);
}

// The straightforward reference drawing the same scene: the program should keep up with it.
void RunReference(benchmark::State& state, const CPattern& pattern, int depth, int probeDepth)
{
    auto r = FittedRenderer(pattern, probeDepth);
    ReferenceGenerator reference(pattern, r->m_transform, r->m_nDetail, kWidth, kHeight);
    int64_t leaves = 0;
    for (auto _ : state) {
        leaves = reference.Draw(depth);
        benchmark::DoNotOptimize(reference.Pixels().data());
    }
    state.SetItemsProcessed(state.iterations() * leaves);
    state.counters["leaf_lines"] = static_cast<double>(leaves);
}

void BM_ReferenceKochLines(benchmark::State& state)
{
    RunReference(state, Koch(), 7, 7);
}

void BM_ReferenceDragonLines(benchmark::State& state)
{
    RunReference(state, Dragon(), 18, 16);
}

// Generation alone: the points go to the fill polygon, nothing is drawn.
void BM_KochGenerationOnly(benchmark::State& state)
{
    const CPattern pattern = Koch();
    auto r = FittedRenderer(pattern, 7);
    r->m_nIterations = 7;
    r->m_bFill = 1;
    int64_t points = 0;
    for (auto _ : state) {
        r->m_nPolygonCount = 0;
        const bool complete = r->Generate(pattern, pattern.m_kneeFlags);
        benchmark::DoNotOptimize(complete);
        points = r->m_nPolygonCount;
    }
    state.SetItemsProcessed(state.iterations() * points);
}

// A whole picture as a paint draws it: background, overlay and fractal.
void BM_DragonScene(benchmark::State& state)
{
    const CPattern pattern = Dragon();
    auto r = FittedRenderer(pattern, 16);
    r->m_nIterations = 18;
    r->m_bShowPattern = 1;
    const int64_t leaves = CountLeafLines(*r, pattern);
    for (auto _ : state) {
        r->BeginDraw();
        r->DrawScene(pattern);
        r->EndDraw();
    }
    state.SetItemsProcessed(state.iterations() * leaves);
}

// Fill mode with the whole dragon at depth 16 (at most 65,537 points, fewer where parts off
// the canvas are skipped; depth 18 would overflow the polygon and stop early): generation,
// closing along the border and filling the polygon.
void BM_DragonFill(benchmark::State& state)
{
    const CPattern pattern = Dragon();
    auto r = FittedRenderer(pattern, 16);
    r->m_nIterations = 16;
    r->m_bFill = 1;
    r->m_bTimeLimit = 0;
    int64_t points = 0;
    for (auto _ : state) {
        r->BeginDraw();
        r->DrawScene(pattern);
        r->EndDraw();
        points = r->m_nPolygonCount;
    }
    if (r->m_drawOutcome != DrawOutcome::Complete)
        state.SkipWithError("the dragon was not generated whole");
    state.SetItemsProcessed(state.iterations() * points);
    state.counters["polygon_points"] = static_cast<double>(points);
}

// A paint as the window makes it (time budget on, Draw Limit 1000 ms) of a Koch curve at 20
// iterations, zoomed in on a point of the curve at state.range(0) pixels per unit on a
// 1000 x 700 view: almost all of the fractal lies off the canvas. Items are the points the
// generator emitted; "complete" is 1 when the paint was not stopped by the Draw Limit.
// state.range(1) = 0 turns the skipping of off-canvas subtrees off, to compare.
void BM_ZoomedKochPaint(benchmark::State& state)
{
    CPattern koch;
    koch.m_count = 4;
    const PointF kochPoints[] = {{-150, 0}, {-50, 0}, {0, 86.60254f}, {50, 0}, {150, 0}};
    for (int i = 0; i <= 4; ++i)
        koch.m_points[i] = kochPoints[i];
    koch.UpdateKnees();
    auto r = std::make_unique<CFractalRenderer>();
    r->SetScreenSize(1000, 700);
    r->SetCanvasSize(1000, 700);
    r->m_transform.m_origin = PointF{-50.0f, 0.0f};
    r->m_transform.m_scale = static_cast<float>(state.range(0));
    r->m_nIterations = 20;
    r->m_bCullOffCanvas = static_cast<uint8_t>(state.range(1));
    int64_t points = 0;
    for (auto _ : state) {
        r->BeginDraw();
        r->DrawScene(koch);
        r->EndDraw();
        points = r->m_nLineCount;
    }
    state.SetItemsProcessed(state.iterations() * points);
    state.counters["points"] = static_cast<double>(points);
    state.counters["complete"] = r->m_drawOutcome == DrawOutcome::Complete ? 1.0 : 0.0;
}

// The dragon in fill mode at 24 iterations, zoomed in 500 times on a view of 1000 x 700.
void BM_ZoomedDragonFill(benchmark::State& state)
{
    const CPattern pattern = Dragon();
    auto r = std::make_unique<CFractalRenderer>();
    r->SetScreenSize(1000, 700);
    r->SetCanvasSize(1000, 700);
    r->m_transform.m_origin = PointF{-20.0f, -40.0f};
    r->m_transform.m_scale = 500.0f;
    r->m_nIterations = 24;
    r->m_bFill = 1;
    r->m_nDrawLimit = 20000;  // the polygon's capacity governs
    int64_t points = 0;
    for (auto _ : state) {
        r->BeginDraw();
        r->DrawScene(pattern);
        r->EndDraw();
        points = r->m_nPolygonCount;
    }
    state.SetItemsProcessed(state.iterations() * points);
    state.counters["polygon_points"] = static_cast<double>(points);
    state.counters["complete"] = r->m_drawOutcome == DrawOutcome::Complete ? 1.0 : 0.0;
}

}  // namespace

BENCHMARK(BM_ZoomedKochPaint)
    ->Args({30000, 1})
    ->Args({3000000, 1})
    ->Args({30000, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_ZoomedDragonFill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KochLines)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DragonLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceKochLines)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceDragonLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KochGenerationOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DragonScene)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragonFill)->Unit(benchmark::kMillisecond);
