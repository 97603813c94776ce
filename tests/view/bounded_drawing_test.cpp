// A paint is bounded whatever the zoom: subtrees off the canvas are skipped without changing a
// pixel, every point counts towards the Draw Limit, and the renderer says how a picture ended.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <vector>

#include "common/renderer_test_support.h"

using namespace renderer_test;

namespace {

// The canvas-sized part of the bitmap after one paint.
std::vector<uint32_t> PaintPixels(CFractalRenderer& r, const CPattern& pattern)
{
    Paint(r, pattern);
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < r.m_nHeight; ++y)
        pixels.insert(pixels.end(), r.m_bitmap.Row(y), r.m_bitmap.Row(y) + r.m_nWidth);
    return pixels;
}

CPattern Koch()
{
    return MakePattern({{-150, 0}, {-50, 0}, {0, 86.60254f}, {50, 0}, {150, 0}});
}

struct View {
    float originX, originY, scale;
    bool flipY;
};

}  // namespace

TEST(CullingTest, SkippingOffCanvasSubtreesChangesNoPixel)
{
    struct Case {
        CPattern pattern;
        int depth;
    };
    const Case cases[] = {
        {Koch(), 7},
        // A dragon (reverse), a mirrored twin dragon, hidden and static knees.
        {MakePattern({{-100, 0}, {0, 100}, {100, 0}}, {0, KNEE_REVERSE}), 15},
        {MakePattern({{-100, 0}, {0, 100}, {100, 0}}, {KNEE_MIRROR, KNEE_REVERSE | KNEE_MIRROR}), 14},
        {MakePattern({{0, 0}, {30, 20}, {55, -10}, {100, 0}}, {KNEE_HIDE, KNEE_MIRROR, KNEE_STATIC}), 8},
        {MakePattern({{0, 0}, {30, 40}, {70, -20}, {100, 0}}, {KNEE_REVERSE, 0, KNEE_MIRROR | KNEE_REVERSE}), 8},
        // Children longer than the baseline: the fractal grows with the depth.
        {MakePattern({{0, 0}, {-40, 90}, {140, 90}, {100, 0}}), 6},
    };
    // Whole, zoomed into a part of the curve, panned half off the canvas, upside down, and
    // zoomed in far enough for float rounding to move points by a good part of a pixel.
    const View views[] = {
        {0, 20, 2.0f, false},   {-40, 10, 40.0f, false},  {60, -5, 400.0f, false},
        {-150, 0, 3.0f, false}, {-60, 30, 25.0f, true},   {-50, 0.01f, 20000.0f, false},
    };
    int skipped = 0;
    for (size_t c = 0; c < std::size(cases); ++c) {
        for (size_t v = 0; v < std::size(views); ++v) {
            for (int fill = 0; fill < 2; ++fill) {
                SCOPED_TRACE(testing::Message() << "case " << c << ", view " << v << ", fill " << fill);
                auto r = MakeRenderer(301, 200);
                r->m_transform.m_center = POINT{150, 100};
                r->m_transform.m_origin = PointF{views[v].originX, views[v].originY};
                r->m_transform.m_scale = views[v].scale;
                r->m_transform.m_flipY = views[v].flipY;
                r->m_nIterations = cases[c].depth;
                r->m_bFill = static_cast<uint8_t>(fill);
                // The time budget on, but far away: a picture stopped by it would differ.
                r->m_nDrawLimit = 1000000;
                r->m_bCullOffCanvas = 0;
                const std::vector<uint32_t> whole = PaintPixels(*r, cases[c].pattern);
                const int64_t all = r->m_nLineCount;
                ASSERT_EQ(r->m_drawOutcome, DrawOutcome::Complete);
                ASSERT_LT(r->m_nPolygonCount, POLYGON_CAPACITY);

                r->m_bCullOffCanvas = 1;
                EXPECT_EQ(PaintPixels(*r, cases[c].pattern), whole);
                EXPECT_EQ(r->m_drawOutcome, DrawOutcome::Complete);
                EXPECT_LE(r->m_nLineCount, all);
                skipped += r->m_nLineCount < all;
            }
        }
    }
    // Most views leave much of the fractal off the canvas: the test compared real skipping.
    EXPECT_GT(skipped, 30);
}

TEST(CullingTest, ZoomedInPaintEndsWithinTheDrawLimit)
{
    // A Koch curve at 20 iterations seen at 30,000 pixels per unit: the whole fractal spans
    // nine million pixels, the canvas a thousand.
    const CPattern koch = Koch();
    auto r = MakeRenderer(1000, 700);
    r->m_transform.m_center = POINT{500, 350};
    r->m_transform.m_origin = PointF{-50.0f, 0.0f};
    r->m_transform.m_scale = 30000.0f;
    r->m_bShowPattern = 0;
    r->m_nIterations = 20;
    r->m_nDrawLimit = 100;

    // Skipping what lies off the canvas leaves only the visible part to draw.
    auto started = std::chrono::steady_clock::now();
    Paint(*r, koch);
    const auto culled = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(r->m_drawOutcome, DrawOutcome::Complete);
    EXPECT_GT(r->m_nLineCount, 1000);
    EXPECT_LT(r->m_nLineCount, 1000000);

    // Without it, the moves off the canvas count too: the paint stops at the Draw Limit, and
    // says so, instead of walking four thousand billion leaves.
    r->m_bCullOffCanvas = 0;
    started = std::chrono::steady_clock::now();
    Paint(*r, koch);
    const auto counted = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(r->m_drawOutcome, DrawOutcome::TimeLimit);
    // Generous bounds: the figures belong to the benchmark; a fault here takes hours.
    EXPECT_LT(culled, std::chrono::seconds(5));
    EXPECT_LT(counted, std::chrono::seconds(5));
}

TEST(DrawOutcomeTest, TextSaysWhereAndAfterHowMuchThePictureStopped)
{
    auto r = MakeRenderer(800, 600);
    r->m_nDetail = 0;
    const CPattern dragon = MakePattern({Px(200, 300), Px(400, 100), Px(600, 300)}, {KNEE_REVERSE, 0});
    r->m_nIterations = 16;

    Paint(*r, dragon);
    EXPECT_EQ(r->m_drawOutcome, DrawOutcome::Complete);
    EXPECT_EQ(r->DrawOutcomeText(), "");

    // A deadline already passed: the 256th point finds it.
    r->m_nDrawLimit = -1;
    Paint(*r, dragon);
    EXPECT_EQ(r->m_drawOutcome, DrawOutcome::TimeLimit);
    EXPECT_EQ(r->m_nLineCount, 256);
    EXPECT_EQ(r->DrawOutcomeText(), "Drawing stopped at the Draw Limit after 256 lines");

    // Fill mode at a budget of 8,000 points.
    r->m_nDrawLimit = 1000;
    r->m_bFill = 1;
    Paint(*r, dragon);
    EXPECT_EQ(r->m_drawOutcome, DrawOutcome::PointBudget);
    EXPECT_EQ(r->DrawOutcomeText(), "Drawing stopped at the fill point budget after 8,000 points");

    // A scene without the fractal is complete again.
    r->m_bShowFractal = 0;
    Paint(*r, dragon);
    EXPECT_EQ(r->m_drawOutcome, DrawOutcome::Complete);
    EXPECT_EQ(r->DrawOutcomeText(), "");
}
