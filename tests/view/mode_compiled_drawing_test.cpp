// The screen generation compiled per mode (line or fill, time budget or none, export progress
// or none, canvas or point sink) draws exactly what the general generation draws: the same
// pixels or sink points, polygon points, counted points and progress reports, for every
// example and for every kind of knee.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/renderer_test_support.h"
#include "document/zarnix4_doc.h"

using namespace renderer_test;

namespace {

class CountingProgress : public CExportProgress {
public:
    bool Continue(double fraction) override
    {
        fractions.push_back(fraction);
        return true;
    }
    std::vector<double> fractions;
};

class PointRecorder : public CScreenPointSink {
public:
    void AddPoints(const ScreenSinkPoint* batch, size_t count) override { points.insert(points.end(), batch, batch + count); }
    std::vector<ScreenSinkPoint> points;
};

struct Picture {
    std::vector<uint32_t> pixels;
    std::vector<ScreenSinkPoint> sinkPoints;
    std::vector<POINT> polygon;
    int64_t counted = 0;
    bool complete = false;
    std::vector<double> fractions;
};

// One picture: a white canvas, then Generate with the fractal pen, and CloseFill plus the
// polygon in fill mode (as DrawScene does, with progress attached as an export does); or,
// with `sink`, the points handed to a point sink instead.
Picture Draw(CFractalRenderer& r, const CPattern& pattern, bool compiled, bool progress, bool sink)
{
    CountingProgress counter;
    PointRecorder recorder;
    r.m_pScreenSink = sink ? &recorder : nullptr;
    r.m_bModeCompiled = compiled ? 1 : 0;
    r.m_pProgress = progress ? &counter : nullptr;
    r.m_bCancelled = false;
    r.m_nSegments = pattern.m_count;
    r.m_nPolygonCount = 0;
    r.BeginDraw();
    r.m_dc.FillSolidRect(0, 0, r.m_nWidth, r.m_nHeight, RGB(255, 255, 255));
    r.m_dc.SelectPen(r.m_pens[5]);
    r.m_dc.SelectBrush(GrayBrush());
    Picture p;
    p.complete = r.Generate(pattern, pattern.m_kneeFlags);
    if (r.m_bFill) {
        r.CloseFill(pattern);
        r.m_dc.Polygon(r.m_pPolygon, r.m_nPolygonCount);
    }
    r.EndDraw();
    for (int32_t y = 0; y < r.m_nHeight; ++y)
        p.pixels.insert(p.pixels.end(), r.m_bitmap.Row(y), r.m_bitmap.Row(y) + r.m_nWidth);
    p.polygon.assign(r.m_pPolygon, r.m_pPolygon + r.m_nPolygonCount);
    p.counted = r.m_nLineCount;
    p.fractions = counter.fractions;
    p.sinkPoints = recorder.points;
    r.m_pProgress = nullptr;
    r.m_pScreenSink = nullptr;
    return p;
}

void ExpectSamePictures(CFractalRenderer& r, const CPattern& pattern)
{
    for (int mode = 0; mode < 16; ++mode) {
        SCOPED_TRACE(testing::Message() << "fill " << (mode & 1) << ", time budget " << (mode >> 1 & 1) << ", progress "
                                        << (mode >> 2 & 1) << ", sink " << (mode >> 3));
        r.m_bFill = static_cast<uint8_t>(mode & 1);
        r.m_bTimeLimit = static_cast<uint8_t>(mode >> 1 & 1);
        r.m_nDrawLimit = 1000000;  // on, but far away: a picture stopped by it would differ
        const bool progress = mode >> 2 & 1;
        const bool sink = mode >> 3;
        const Picture general = Draw(r, pattern, false, progress, sink);
        const Picture compiled = Draw(r, pattern, true, progress, sink);
        ASSERT_EQ(compiled.complete, general.complete);
        ASSERT_EQ(compiled.counted, general.counted);
        ASSERT_EQ(compiled.fractions, general.fractions);
        ASSERT_EQ(compiled.polygon.size(), general.polygon.size());
        for (size_t i = 0; i < general.polygon.size(); ++i)
            ASSERT_TRUE(compiled.polygon[i].x == general.polygon[i].x && compiled.polygon[i].y == general.polygon[i].y) << i;
        ASSERT_TRUE(compiled.pixels == general.pixels);
        ASSERT_EQ(compiled.sinkPoints.size(), general.sinkPoints.size());
        EXPECT_EQ(general.sinkPoints.empty(), !sink);
        for (size_t i = 0; i < general.sinkPoints.size(); ++i) {
            const ScreenSinkPoint& a = compiled.sinkPoints[i];
            const ScreenSinkPoint& b = general.sinkPoints[i];
            ASSERT_TRUE(a.x == b.x && a.y == b.y && a.kind == b.kind && a.depth == b.depth) << i;
        }
    }
}

}  // namespace

TEST(ModeCompiledDrawingTest, EveryExampleInEveryModeAndView)
{
    const std::filesystem::path examples = std::filesystem::path(ZARNIX_TEST_DATA_DIR) / ".." / ".." / "examples";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(examples)) {
        if (entry.path().extension() != ".zarnix")
            continue;
        ++count;
        auto r = MakeRenderer(320, 240);
        r->m_transform.m_center = POINT{160, 120};
        CZarnix4Doc doc;
        std::string error;
        ASSERT_TRUE(doc.Load(entry.path().string(), r.get(), error)) << error;
        // Framed, then zoomed in so that lines leave the canvas and get clipped or culled.
        for (const float zoom : {0.4f, 3.0f}) {
            SCOPED_TRACE(testing::Message() << entry.path().filename().string() << " zoom " << zoom);
            const float scale = r->m_transform.m_scale;
            r->m_transform.m_scale = scale * zoom;
            ExpectSamePictures(*r, doc.m_pattern);
            r->m_transform.m_scale = scale;
        }
    }
    EXPECT_GE(count, 6);
}

TEST(ModeCompiledDrawingTest, HiddenStaticReversedAndMirroredKnees)
{
    const CPattern patterns[] = {
        MakePattern({{0, 0}, {30, 20}, {55, -10}, {100, 0}}, {KNEE_HIDE, KNEE_MIRROR, KNEE_STATIC}),
        MakePattern({{0, 0}, {30, 40}, {70, -20}, {100, 0}}, {KNEE_REVERSE, 0, KNEE_MIRROR | KNEE_REVERSE}),
        MakePattern({{0, 0}, {-40, 90}, {140, 90}, {100, 0}}, {KNEE_STATIC | KNEE_REVERSE, KNEE_HIDE | KNEE_MIRROR, 0}),
    };
    for (const CPattern& pattern : patterns) {
        auto r = MakeRenderer(301, 200);
        r->m_transform.m_center = POINT{150, 100};
        r->m_transform.m_origin = PointF{50, 10};
        r->m_nIterations = 7;
        for (const float scale : {1.5f, 9.0f}) {
            for (const bool flip : {false, true}) {
                SCOPED_TRACE(testing::Message() << "scale " << scale << (flip ? " upside down" : ""));
                r->m_transform.m_scale = scale;
                r->m_transform.m_flipY = flip;
                ExpectSamePictures(*r, pattern);
            }
        }
    }
}
