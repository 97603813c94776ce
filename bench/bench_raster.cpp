// Raster device throughput: short pen lines (the bulk of drawing a fractal's outline), lines
// that must be clipped from far away, long lines across the canvas, and the fill plus outline
// of 100,000-point polygons (a noisy circle and a fractal) on a full-HD canvas.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

#include "platform/bitmap.h"
#include "platform/dc.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

struct Surface {
    CBitmap bitmap;
    CDC dc;
    explicit Surface(PenStyle style = PS_SOLID)
    {
        bitmap.Create(kWidth, kHeight);
        dc.Attach(&bitmap);
        CPen pen;
        pen.CreatePen(style, 1, RGB(255, 255, 255));
        dc.SelectPen(pen);
        dc.SelectBrush(GrayBrush());
    }
};

// A random walk of short steps (1 to `reach` pixels each way) that stays on the canvas.
std::vector<POINT> ShortWalk(size_t count, int reach, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> step(-reach, reach);
    std::vector<POINT> pts;
    POINT p{kWidth / 2, kHeight / 2};
    while (pts.size() < count) {
        p.x = std::clamp(p.x + step(rng), 0, kWidth - 1);
        p.y = std::clamp(p.y + step(rng), 0, kHeight - 1);
        pts.push_back(p);
    }
    return pts;
}

// A closed, self-crossing curve of short edges: points around a circle whose radius wanders
// by a random walk, with independent jitter on top.
std::vector<POINT> NoisyCircle(size_t count, double jitter, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> walk(0.0, 1.0);
    std::uniform_real_distribution<double> noise(-jitter, jitter);
    std::vector<POINT> pts(count);
    double radius = 450.0;
    for (size_t i = 0; i < count; ++i) {
        radius = std::clamp(radius + walk(rng), 300.0, 530.0);
        const double a = 2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(count);
        pts[i] = {static_cast<int32_t>(std::lround(kWidth / 2 + (radius + noise(rng)) * std::cos(a))),
                  static_cast<int32_t>(std::lround(kHeight / 2 + (radius + noise(rng)) * std::sin(a)))};
    }
    return pts;
}

void ShortLines(benchmark::State& state, PenStyle style)
{
    Surface s(style);
    const auto pts = ShortWalk(1 << 16, static_cast<int>(state.range(0)), 1);
    for (auto _ : state) {
        s.dc.MoveTo(pts[0].x, pts[0].y);
        for (size_t i = 1; i < pts.size(); ++i)
            s.dc.LineTo(pts[i].x, pts[i].y);
        benchmark::DoNotOptimize(s.bitmap.Bits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size() - 1));
}

void BM_ShortLinesSolid(benchmark::State& state)
{
    ShortLines(state, PS_SOLID);
}
BENCHMARK(BM_ShortLinesSolid)->Arg(2)->Arg(8)->Arg(32);

void BM_ShortLinesDashed(benchmark::State& state)
{
    ShortLines(state, PS_DASH);
}
BENCHMARK(BM_ShortLinesDashed)->Arg(8);

// Lines from 2^29 pixels away across a corner of the canvas, at about 45 degrees and at most
// 64 pixels from the corner: half of them miss the canvas, the others cut a few dozen pixels
// off it. The cost is the clipping, not the stepping.
void BM_FarLinesClipped(benchmark::State& state)
{
    Surface s;
    std::mt19937 rng(3);
    std::vector<std::pair<POINT, POINT>> lines;
    constexpr int32_t kReach = 1 << 29;
    while (lines.size() < 4096) {
        // Near the top left corner, x + y = k, then mirrored to one of the four corners.
        const int32_t k = static_cast<int32_t>(rng() % 129) - 64;
        const int32_t skew = static_cast<int32_t>(rng() % 2001) - 1000;
        const POINT c{k / 2, k - k / 2};
        const POINT d{kReach + skew * 1000, -kReach + skew * 1000};
        POINT a{c.x - d.x, c.y - d.y}, b{c.x + d.x, c.y + d.y};
        const unsigned corner = rng() % 4;
        for (POINT* p : {&a, &b}) {
            if (corner & 1)
                p->x = kWidth - 1 - p->x;
            if (corner & 2)
                p->y = kHeight - 1 - p->y;
        }
        lines.push_back({a, b});
    }
    for (auto _ : state) {
        for (const auto& [a, b] : lines) {
            s.dc.MoveTo(a.x, a.y);
            s.dc.LineTo(b.x, b.y);
        }
        benchmark::DoNotOptimize(s.bitmap.Bits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(lines.size()));
}
BENCHMARK(BM_FarLinesClipped);

// Long lines between random points of the canvas (about 700 pixels on average).
void BM_LongLines(benchmark::State& state)
{
    Surface s;
    std::mt19937 rng(5);
    std::vector<std::pair<POINT, POINT>> lines;
    while (lines.size() < 4096) {
        const POINT a{static_cast<int32_t>(rng() % kWidth), static_cast<int32_t>(rng() % kHeight)};
        const POINT b{static_cast<int32_t>(rng() % kWidth), static_cast<int32_t>(rng() % kHeight)};
        lines.push_back({a, b});
    }
    for (auto _ : state) {
        for (const auto& [a, b] : lines) {
            s.dc.MoveTo(a.x, a.y);
            s.dc.LineTo(b.x, b.y);
        }
        benchmark::DoNotOptimize(s.bitmap.Bits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(lines.size()));
}
BENCHMARK(BM_LongLines);

// The first `count` points of a dragon curve turned by 30 degrees and fitted into the canvas:
// edges of 2 to 3 pixels in every direction, crossing and touching each other as a fractal's do.
std::vector<POINT> DragonPolygon(size_t count)
{
    std::vector<double> xs(count), ys(count);
    int64_t x = 0, y = 0, dx = 1, dy = 0;
    for (size_t i = 0; i < count; ++i) {
        const double c = std::cos(std::numbers::pi / 6), s = std::sin(std::numbers::pi / 6);
        xs[i] = static_cast<double>(x) * c - static_cast<double>(y) * s;
        ys[i] = static_cast<double>(x) * s + static_cast<double>(y) * c;
        x += dx, y += dy;
        // Paper folding: the turn after step i + 1 is given by the bit above its lowest set bit.
        const uint64_t k = i + 1;
        const bool left = ((k & (0 - k)) << 1 & k) == 0;
        const int64_t t = dx;
        dx = left ? -dy : dy;
        dy = left ? t : -t;
    }
    const auto [minX, maxX] = std::minmax_element(xs.begin(), xs.end());
    const auto [minY, maxY] = std::minmax_element(ys.begin(), ys.end());
    const double scale = 0.95 * std::min(kWidth / (*maxX - *minX), kHeight / (*maxY - *minY));
    const double midX = (*minX + *maxX) / 2, midY = (*minY + *maxY) / 2;
    std::vector<POINT> pts(count);
    for (size_t i = 0; i < count; ++i)
        pts[i] = {static_cast<int32_t>(std::lround(kWidth / 2 + (xs[i] - midX) * scale)),
                  static_cast<int32_t>(std::lround(kHeight / 2 + (ys[i] - midY) * scale))};
    return pts;
}

// Fill and outline of a 100,000-point fractal polygon.
void BM_FractalPolygon100k(benchmark::State& state)
{
    Surface s;
    const auto pts = DragonPolygon(100000);
    s.dc.Polygon(pts.data(), static_cast<int>(pts.size()));  // grows the work space once
    for (auto _ : state) {
        s.dc.Polygon(pts.data(), static_cast<int>(pts.size()));
        benchmark::DoNotOptimize(s.bitmap.Bits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}
BENCHMARK(BM_FractalPolygon100k)->Unit(benchmark::kMillisecond);

// Fill and outline of a 100,000-point closed curve; range(0) is the jitter in pixels.
void BM_Polygon100k(benchmark::State& state)
{
    Surface s;
    const auto pts = NoisyCircle(100000, static_cast<double>(state.range(0)), 7);
    s.dc.Polygon(pts.data(), static_cast<int>(pts.size()));  // grows the work space once
    for (auto _ : state) {
        s.dc.Polygon(pts.data(), static_cast<int>(pts.size()));
        benchmark::DoNotOptimize(s.bitmap.Bits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}
BENCHMARK(BM_Polygon100k)->Arg(2)->Arg(30)->Unit(benchmark::kMillisecond);

// The same curve blown up so that most of it lies far off the canvas.
void BM_Polygon100kMostlyOffCanvas(benchmark::State& state)
{
    Surface s;
    auto pts = NoisyCircle(100000, 2.0, 7);
    for (POINT& p : pts) {
        p.x = (p.x - kWidth / 2) * 200 + kWidth / 2;
        p.y = (p.y - kHeight / 2) * 200 + kHeight / 2 + 90000;
    }
    for (auto _ : state) {
        s.dc.Polygon(pts.data(), static_cast<int>(pts.size()));
        benchmark::DoNotOptimize(s.bitmap.Bits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
}
BENCHMARK(BM_Polygon100kMostlyOffCanvas)->Unit(benchmark::kMillisecond);

}  // namespace
