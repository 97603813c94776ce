// The antialiased picture at 1920 x 1080: the Koch curve at depth 7 and the dragon at depth 18
// (detail 2, no time budget, as an export draws them), drawn by our coverage rasteriser and,
// for comparison, by QPainter with antialiasing from the same sub-pixel points; the aliased
// canvas for reference; and the PNG encoder's time and file size at several settings.
// Items are leaf lines.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <memory>
#include <vector>

#include "document/pattern.h"
#include "render/smooth_raster.h"
#include "render/smooth_renderer.h"
#include "view/fractal_renderer.h"

#ifdef ZARNIX_BENCH_QPAINTER
#include <QImage>
#include <QPainterPath>
#include <QPainter>
#include <QPointF>
#endif

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

CPattern Koch()
{
    CPattern p;
    p.m_count = 4;
    p.m_points[0] = {-900.0f, -250.0f};
    p.m_points[1] = {-300.0f, -250.0f};
    p.m_points[2] = {0.0f, 269.6f};
    p.m_points[3] = {300.0f, -250.0f};
    p.m_points[4] = {900.0f, -250.0f};
    p.UpdateKnees();
    return p;
}

CPattern Dragon()
{
    CPattern p;
    p.m_count = 2;
    p.m_points[0] = {-300.0f, 100.0f};
    p.m_points[1] = {0.0f, -200.0f};
    p.m_points[2] = {300.0f, 100.0f};
    p.m_kneeFlags[0] = KNEE_REVERSE;
    p.m_kneeFlags[1] = 0;
    p.UpdateKnees();
    return p;
}

struct Scene {
    CPattern pattern;
    int iterations;
};

Scene SceneOf(int which)
{
    return which == 0 ? Scene{Koch(), 7} : Scene{Dragon(), 18};
}

std::unique_ptr<CFractalRenderer> MakeRenderer(const Scene& scene)
{
    auto r = std::make_unique<CFractalRenderer>();
    r->SetScreenSize(kWidth, kHeight);
    r->SetCanvasSize(kWidth, kHeight);
    r->m_nIterations = scene.iterations;
    r->m_bShowPattern = 0;
    r->m_bTimeLimit = 0;
    return r;
}

struct Point {
    double x;
    double y;
    bool move;
};

class Recorder : public CScreenPointSink {
public:
    void AddPoints(const ScreenSinkPoint* batch, size_t count) override
    {
        for (size_t i = 0; i < count; ++i)
            points.push_back({batch[i].x, batch[i].y, (batch[i].kind & 1) != 0});
    }
    std::vector<Point> points;
};

// The sub-pixel points of a scene, in path order.
std::vector<Point> RecordScene(const Scene& scene)
{
    auto r = MakeRenderer(scene);
    Recorder recorder;
    r->m_nSegments = scene.pattern.m_count;
    r->m_pScreenSink = &recorder;
    r->Generate(scene.pattern, scene.pattern.m_kneeFlags);
    r->m_pScreenSink = nullptr;
    return recorder.points;
}

int64_t LineCount(const std::vector<Point>& points)
{
    int64_t lines = 0;
    for (size_t i = 1; i < points.size(); ++i)
        lines += points[i].move ? 0 : 1;
    return lines;
}

// The whole antialiased picture: generation, rasterising and compositing.
void BM_SmoothScene(benchmark::State& state)
{
    const Scene scene = SceneOf(static_cast<int>(state.range(0)));
    auto r = MakeRenderer(scene);
    CRenderStyle style;
    style.lineWidth = static_cast<float>(state.range(1));
    CRgbaImage image;
    for (auto _ : state) {
        DrawSmoothScene(*r, scene.pattern, style, &image, nullptr);
        benchmark::DoNotOptimize(image.pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * LineCount(RecordScene(scene)));
}
BENCHMARK(BM_SmoothScene)->ArgsProduct({{0, 1}, {1, 4}})->Unit(benchmark::kMillisecond);

// The rasteriser alone, from recorded points: stroking and compositing.
void BM_CoverageRaster(benchmark::State& state)
{
    const std::vector<Point> points = RecordScene(SceneOf(static_cast<int>(state.range(0))));
    CSmoothRaster raster;
    CRgbaImage image;
    raster.SetLineWidth(static_cast<float>(state.range(1)));
    for (auto _ : state) {
        raster.Reset(kWidth, kHeight);
        CSmoothRaster::Clear(image, kWidth, kHeight, RgbColor{255, 255, 255}, 255);
        for (size_t i = 1; i < points.size(); ++i) {
            if (!points[i].move)
                raster.StrokeSegment(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y, 0.0f);
        }
        raster.CompositeLines(image, RgbColor{0, 0, 0});
        benchmark::DoNotOptimize(image.pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * LineCount(points));
}
BENCHMARK(BM_CoverageRaster)->ArgsProduct({{0, 1}, {1, 4}})->Unit(benchmark::kMillisecond);

// The aliased canvas picture of the same scene, for reference.
void BM_AliasedScene(benchmark::State& state)
{
    const Scene scene = SceneOf(static_cast<int>(state.range(0)));
    auto r = MakeRenderer(scene);
    r->BeginDraw();
    for (auto _ : state) {
        r->DrawScene(scene.pattern);
        benchmark::DoNotOptimize(r->m_bitmap.Bits());
    }
    r->EndDraw();
    state.SetItemsProcessed(state.iterations() * LineCount(RecordScene(scene)));
}
BENCHMARK(BM_AliasedScene)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

#ifdef ZARNIX_BENCH_QPAINTER
// QPainter with antialiasing from the same points: one polyline per run between moves.
void BM_QPainter(benchmark::State& state)
{
    const std::vector<Point> points = RecordScene(SceneOf(static_cast<int>(state.range(0))));
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    QPen pen(Qt::black, static_cast<qreal>(state.range(1)));
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::RoundJoin);
    std::vector<QPointF> run;
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(pen);
        run.clear();
        for (const Point& p : points) {
            if (p.move && run.size() > 1) {
                painter.drawPolyline(run.data(), static_cast<int>(run.size()));
                run.clear();
            } else if (p.move) {
                run.clear();
            }
            run.emplace_back(p.x, p.y);
        }
        if (run.size() > 1)
            painter.drawPolyline(run.data(), static_cast<int>(run.size()));
        painter.end();
        benchmark::DoNotOptimize(image.bits());
    }
    state.SetItemsProcessed(state.iterations() * LineCount(points));
}
BENCHMARK(BM_QPainter)->ArgsProduct({{0, 1}, {1, 4}})->Unit(benchmark::kMillisecond);

// Quality figures of both rasterisers as counters (the time is irrelevant):
// half_grey: the value of a pixel half covered by a black line on white (188 when blended in
// linear light, 128 when blended in sRGB values); seam: the largest difference between a
// line drawn as one segment and as 97 pieces of one polyline (0: seamless joints);
// evenodd_hole: the centre of a square with a same-wound square hole (255: even-odd).
void BM_Quality(benchmark::State& state)
{
    const bool qt = state.range(0) != 0;
    constexpr int kSize = 80;
    auto draw = [&](int pieces, double y0, double y1) {
        std::vector<uint8_t> red(kSize * kSize);
        if (qt) {
            QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            QPen pen(Qt::black, 1.0);
            pen.setCapStyle(Qt::SquareCap);
            painter.setPen(pen);
            std::vector<QPointF> line;
            for (int i = 0; i <= pieces; ++i)
                line.emplace_back(5.3 + 65.6 * i / pieces, y0 + (y1 - y0) * i / pieces);
            painter.drawPolyline(line.data(), static_cast<int>(line.size()));
            painter.end();
            for (int y = 0; y < kSize; ++y)
                for (int x = 0; x < kSize; ++x)
                    red[y * kSize + x] = static_cast<uint8_t>(qRed(image.pixel(x, y)));
        } else {
            CSmoothRaster raster;
            CRgbaImage image;
            raster.Reset(kSize, kSize);
            CSmoothRaster::Clear(image, kSize, kSize, RgbColor{255, 255, 255}, 255);
            for (int i = 0; i < pieces; ++i)
                raster.StrokeSegment(5.3 + 65.6 * i / pieces, y0 + (y1 - y0) * i / pieces, 5.3 + 65.6 * (i + 1) / pieces,
                                     y0 + (y1 - y0) * (i + 1) / pieces, 0.0f);
            raster.CompositeLines(image, RgbColor{0, 0, 0});
            for (int i = 0; i < kSize * kSize; ++i)
                red[i] = image.pixels[4 * i];
        }
        return red;
    };
    int halfGrey = 0;
    int seam = 0;
    int hole = 0;
    for (auto _ : state) {
        halfGrey = draw(1, 40.0, 40.0)[39 * kSize + 30];
        const auto whole = draw(1, 7.1, 61.4);
        const auto pieces = draw(97, 7.1, 61.4);
        seam = 0;
        for (int i = 0; i < kSize * kSize; ++i)
            seam = std::max(seam, std::abs(whole[i] - pieces[i]));
        if (qt) {
            QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter painter(&image);
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            path.addRect(10, 10, 60, 60);
            path.addRect(30, 30, 20, 20);
            painter.fillPath(path, Qt::black);
            painter.end();
            hole = qRed(image.pixel(40, 40));
        } else {
            CSmoothRaster raster;
            CRgbaImage image;
            raster.Reset(kSize, kSize);
            CSmoothRaster::Clear(image, kSize, kSize, RgbColor{255, 255, 255}, 255);
            const double rects[2][4] = {{10, 10, 70, 70}, {30, 30, 50, 50}};
            for (const auto& r : rects) {
                raster.FillEdge(r[0], r[1], r[2], r[1]);
                raster.FillEdge(r[2], r[1], r[2], r[3]);
                raster.FillEdge(r[2], r[3], r[0], r[3]);
                raster.FillEdge(r[0], r[3], r[0], r[1]);
            }
            raster.CompositeFill(image, RgbColor{0, 0, 0});
            hole = image.pixels[4 * (40 * kSize + 40)];
        }
    }
    state.counters["half_grey"] = halfGrey;
    state.counters["seam"] = seam;
    state.counters["evenodd_hole"] = hole;
}
BENCHMARK(BM_Quality)->Arg(0)->Arg(1)->Iterations(1);
#endif

// The PNG of the Koch (0) or dragon (1) picture at level range(1), with filters and strategy
// chosen by range(2): 0 none/default, 1 up/default, 2 up/RLE, 3 all filters/default,
// 4 none/RLE, 5 sub/RLE, 6 up/filtered. The counter is the file's size.
void BM_EncodePng(benchmark::State& state)
{
    const Scene scene = SceneOf(static_cast<int>(state.range(0)));
    auto r = MakeRenderer(scene);
    CRgbaImage image;
    DrawSmoothScene(*r, scene.pattern, CRenderStyle{}, &image, nullptr);
    PngOptions options;
    options.level = static_cast<int>(state.range(1));
    const int allFilters = PngOptions::kFilterNone | PngOptions::kFilterSub | PngOptions::kFilterUp |
                           PngOptions::kFilterAverage | PngOptions::kFilterPaeth;
    const int filters[7] = {PngOptions::kFilterNone, PngOptions::kFilterUp, PngOptions::kFilterUp, allFilters,
                            PngOptions::kFilterNone, PngOptions::kFilterSub, PngOptions::kFilterUp};
    const int strategies[7] = {PngOptions::kStrategyDefault, PngOptions::kStrategyDefault, PngOptions::kStrategyRle,
                               PngOptions::kStrategyDefault, PngOptions::kStrategyRle, PngOptions::kStrategyRle,
                               PngOptions::kStrategyFiltered};
    options.filters = filters[state.range(2)];
    options.strategy = strategies[state.range(2)];
    std::vector<uint8_t> bytes;
    for (auto _ : state) {
        EncodePng(image, options, &bytes, nullptr);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_EncodePng)
    ->ArgsProduct({{0, 1}, {1, 3, 6, 9}, {0, 1, 2, 3, 4, 5, 6}})
    ->Unit(benchmark::kMillisecond);

// The PNG as WritePng writes it (default settings), file included.
void BM_WritePng(benchmark::State& state)
{
    const Scene scene = SceneOf(static_cast<int>(state.range(0)));
    auto r = MakeRenderer(scene);
    CRgbaImage image;
    DrawSmoothScene(*r, scene.pattern, CRenderStyle{}, &image, nullptr);
    const std::string path = "/tmp/zarnix-bench-smooth.png";
    for (auto _ : state)
        WritePng(image, path, nullptr);
    std::remove(path.c_str());
}
BENCHMARK(BM_WritePng)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
