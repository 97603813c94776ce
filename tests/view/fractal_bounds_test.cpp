// The fractal's bounding box in pattern coordinates, against the points the generator emits,
// and the view that frames a box.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "common/renderer_test_support.h"
#include "view/fractal_bounds.h"
#include "view/view_transform.h"

using namespace renderer_test;

namespace {

struct Case {
    const char* name;
    CPattern pattern;
    int iterations;
};

CPattern Dragon()
{
    return MakePattern({{-100, 0}, {0, -100}, {100, 0}}, {KNEE_REVERSE, 0});
}

// The generator's points in fill mode (every emitted point, moves included) at `scale` pixels
// per unit with the pattern's origin on pixel (0, 0), and the box computed for the same pattern
// mapped to the same pixels: they must agree within a pixel on every side.
void ExpectBoxMatchesGenerator(const Case& c, float scale)
{
    SCOPED_TRACE(c.name);
    auto r = MakeRenderer(100, 100);
    r->m_nDetail = 0;
    r->m_transform.m_scale = scale;
    const std::vector<POINT> points = Record(*r, c.pattern, c.iterations);
    ASSERT_FALSE(points.empty());
    ASSERT_LT(points.size(), static_cast<size_t>(POLYGON_CAPACITY));
    int32_t left = INT32_MAX, right = INT32_MIN, top = INT32_MAX, bottom = INT32_MIN;
    for (const POINT& p : points) {
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }

    FractalBoundsResult result;
    ASSERT_TRUE(ComputeFractalBounds(c.pattern, c.iterations, result));
    EXPECT_TRUE(result.exact);
    const POINT topLeft = r->m_transform.WorldToScreen(static_cast<float>(result.box.minX),
                                                       static_cast<float>(result.box.maxY));
    const POINT bottomRight = r->m_transform.WorldToScreen(static_cast<float>(result.box.maxX),
                                                           static_cast<float>(result.box.minY));
    EXPECT_NEAR(topLeft.x, left, 1);
    EXPECT_NEAR(bottomRight.x, right, 1);
    EXPECT_NEAR(topLeft.y, top, 1);
    EXPECT_NEAR(bottomRight.y, bottom, 1);
}

CPattern Zigzag()
{
    CPattern zigzag;
    zigzag.m_count = 32;
    for (int i = 0; i <= 32; ++i)
        zigzag.m_points[i] = PointF{static_cast<float>(i) * 10.0f, (i % 2) ? 6.0f : (i % 4 == 0 ? 0.0f : -3.0f)};
    for (int i = 0; i < 32; ++i)
        zigzag.m_kneeFlags[i] = static_cast<uint8_t>(i % 4);
    zigzag.UpdateKnees();
    return zigzag;
}

TEST(FractalBoundsTest, MatchesTheGeneratorsPointsWithEveryKindOfKnee)
{
    const std::vector<Case> cases = {
        {"dragon", Dragon(), 14},
        {"koch", MakePattern({{0, 0}, {100, 0}, {150, 86.60254f}, {200, 0}, {300, 0}}), 7},
        {"levy", MakePattern({{0, 0}, {50, 50}, {100, 0}}), 14},
        // Reversed and mirrored copies inside each other.
        {"reverse mirror", MakePattern({{0, 0}, {30, 40}, {60, -20}, {100, 0}}, {3, 2, 1}), 9},
        // A hidden knee whose copy would reach far out: only its ends count.
        {"hidden", MakePattern({{0, 0}, {10, 80}, {90, 80}, {100, 0}}, {0, KNEE_HIDE, 0}), 8},
        // A static knee stays straight while the others grow.
        {"static", MakePattern({{0, 0}, {40, -60}, {60, -60}, {100, 0}}, {KNEE_REVERSE, KNEE_STATIC, KNEE_MIRROR}), 8},
        // A child longer than the baseline: the disks grow with every level.
        {"long child", MakePattern({{0, 0}, {-30, 90}, {100, 0}}, {0, KNEE_REVERSE}), 13},
        // Segments of length 0 and a baseline that is not horizontal.
        {"32 segments", Zigzag(), 3},
        {"zero segments", MakePattern({{5, 5}, {5, 5}, {40, 70}, {40, 70}, {-20, 90}}), 5},
    };
    for (const Case& c : cases)
        ExpectBoxMatchesGenerator(c, 40.0f);
}

TEST(FractalBoundsTest, HiddenCopiesDoNotCountAndDepthZeroIsTheBaseline)
{
    const CPattern open = MakePattern({{0, 0}, {10, 80}, {90, 80}, {100, 0}});
    CPattern gap = open;
    gap.m_kneeFlags[1] = KNEE_HIDE;
    FractalBoundsResult withCopy, withGap, baseline;
    ASSERT_TRUE(ComputeFractalBounds(open, 2, withCopy));
    ASSERT_TRUE(ComputeFractalBounds(gap, 2, withGap));
    ASSERT_TRUE(ComputeFractalBounds(open, 256, baseline));  // the low 8 bits: depth 0
    // The copy of the top segment would rise to 80 + 80 * 0.8 = 144.
    EXPECT_NEAR(withCopy.box.maxY, 144.0, 1e-3);
    EXPECT_NEAR(withGap.box.maxY, 80.0, 1e-3);
    EXPECT_LT(withGap.box.maxY, withCopy.box.maxY);
    EXPECT_DOUBLE_EQ(baseline.box.minY, 0.0);
    EXPECT_DOUBLE_EQ(baseline.box.maxY, 0.0);
    EXPECT_DOUBLE_EQ(baseline.box.maxX, 100.0);
}

TEST(FractalBoundsTest, DegenerateAndNonFinitePatterns)
{
    // Baseline of length 0: the fractal is the start point, as the generator draws it.
    FractalBoundsResult result;
    ASSERT_TRUE(ComputeFractalBounds(MakePattern({{3, 4}, {50, 60}, {3, 4}}), 8, result));
    EXPECT_DOUBLE_EQ(result.box.minX, 3.0);
    EXPECT_DOUBLE_EQ(result.box.maxX, 3.0);
    EXPECT_DOUBLE_EQ(result.box.minY, 4.0);
    EXPECT_DOUBLE_EQ(result.box.maxY, 4.0);

    FractalBoundsResult untouched;
    untouched.box.Add(7, 7);
    CPattern bad = Dragon();
    bad.m_points[1].x = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(ComputeFractalBounds(bad, 4, untouched));
    EXPECT_DOUBLE_EQ(untouched.box.minX, 7.0);
    // Children three times the baseline: the coordinates leave the floats' range.
    EXPECT_FALSE(ComputeFractalBounds(MakePattern({{0, 0}, {0, 300}, {100, 0}}), 200, untouched));
}

TEST(FractalBoundsTest, WideDeepPatternsStayWithinTheBudget)
{
    // 32 segments zig-zagging along the baseline, at 10 iterations: 32^10 leaves, of which the
    // culled walk visits only those near the box's edges.
    const CPattern zigzag = Zigzag();
    FractalBoundsResult deep, shallow;
    ASSERT_TRUE(ComputeFractalBounds(zigzag, 10, deep));
    EXPECT_TRUE(deep.exact);
    ASSERT_TRUE(ComputeFractalBounds(zigzag, 3, shallow));
    // Every point of the shallow path is on the deep one too; each side may be off by the
    // tolerance (ten millionths of the pattern's size).
    const double slack = 1e-5 * 320.0;
    EXPECT_LE(deep.box.minY, shallow.box.minY + slack);
    EXPECT_GE(deep.box.maxY, shallow.box.maxY - slack);
    EXPECT_LE(deep.box.minX, shallow.box.minX + slack);
    EXPECT_GE(deep.box.maxX, shallow.box.maxX - slack);
    EXPECT_LT(deep.box.Height(), 40.0);

    // Past the budget the remaining subtrees are bounded by their disks: still finite and
    // holding the whole fractal.
    const CPattern growing = MakePattern({{0, 0}, {0, 300}, {100, 0}});
    FractalBoundsResult bounded, exact;
    ASSERT_TRUE(ComputeFractalBounds(growing, 30, bounded));
    EXPECT_FALSE(bounded.exact);
    ASSERT_TRUE(ComputeFractalBounds(growing, 13, exact));
    EXPECT_TRUE(exact.exact);
    EXPECT_LE(bounded.box.minX, exact.box.minX);
    EXPECT_GE(bounded.box.maxY, exact.box.maxY);
}

TEST(FractalBoundsTest, FitShowsTheBoxCentredWithinTheMargin)
{
    FractalBox box;
    box.Add(-50, 10);
    box.Add(150, 60);
    CViewTransform t;
    t.m_center = POINT{800 >> 1, 600 >> 1};
    ASSERT_TRUE(FitBoxToView(box, 800, 600, 20, 1.0f, CViewTransform::kMinScale, CViewTransform::kMaxScale,
                             t.m_origin, t.m_scale));
    const POINT low = t.WorldToScreen(-50, 10);
    const POINT high = t.WorldToScreen(150, 60);
    // The width governs: 760 pixels for 200 units; the height is centred.
    EXPECT_FLOAT_EQ(t.m_scale, 3.8f);
    EXPECT_NEAR(low.x, 20, 1);
    EXPECT_NEAR(high.x, 780, 1);
    EXPECT_NEAR(low.y + high.y, 600, 2);

    // A horizontal line is fitted by its width; a point keeps the scale; nothing to fit fails.
    FractalBox line;
    line.Add(0, 5);
    line.Add(10, 5);
    float scale = 0;
    PointF origin;
    ASSERT_TRUE(FitBoxToView(line, 100, 100, 10, 2.0f, 1e-6f, 1e9f, origin, scale));
    EXPECT_FLOAT_EQ(scale, 8.0f);
    EXPECT_EQ(origin, (PointF{5, 5}));
    FractalBox point;
    point.Add(1, 2);
    ASSERT_TRUE(FitBoxToView(point, 100, 100, 10, 2.0f, 1e-6f, 1e9f, origin, scale));
    EXPECT_FLOAT_EQ(scale, 2.0f);
    // A view smaller than its margins still shows the box, and the scale stays within bounds.
    ASSERT_TRUE(FitBoxToView(line, 10, 10, 50, 2.0f, 1e-6f, 1e9f, origin, scale));
    EXPECT_FLOAT_EQ(scale, 0.2f);
    ASSERT_TRUE(FitBoxToView(line, 100, 100, 10, 2.0f, 1e-6f, 0.5f, origin, scale));
    EXPECT_FLOAT_EQ(scale, 0.5f);
    EXPECT_FALSE(FitBoxToView(FractalBox{}, 100, 100, 10, 2.0f, 1e-6f, 1e9f, origin, scale));
    EXPECT_FALSE(FitBoxToView(line, 0, 100, 10, 2.0f, 1e-6f, 1e9f, origin, scale));
}

}  // namespace

namespace {

TEST(FractalBoundsTest, FitFractalFramesTheDragonAndItsPattern)
{
    // The dragon pokes out of its pattern's box; the fitted view shows both, filling the view
    // in one direction up to the margin of 600 / 25 = 24 pixels.
    const CPattern dragon = Dragon();
    auto r = MakeRenderer(800, 600);
    r->m_nIterations = 12;
    CViewTransform& t = r->m_transform;
    t.m_center = POINT{400, 300};
    t.m_origin = PointF{5000, -3000};
    t.m_scale = 0.01f;
    ASSERT_TRUE(FitViewToFractal(dragon, 12, 800, 600, t));

    r->m_nDetail = 0;
    const std::vector<POINT> points = Record(*r, dragon, 12);
    int32_t left = INT32_MAX, right = INT32_MIN, top = INT32_MAX, bottom = INT32_MIN;
    for (const POINT& p : points) {
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    EXPECT_GE(left, 23);
    EXPECT_GE(top, 23);
    EXPECT_LE(right, 800 - 23);
    EXPECT_LE(bottom, 600 - 23);
    EXPECT_TRUE(std::abs(left - 24) <= 1 || std::abs(top - 24) <= 1) << left << " " << top;
    for (int i = 0; i <= dragon.m_count; ++i) {
        const POINT p = t.WorldToScreen(dragon.m_points[i]);
        EXPECT_TRUE(p.x >= 23 && p.x <= 777 && p.y >= 23 && p.y <= 577) << i;
    }
    // A pattern that cannot be framed leaves the view alone.
    CPattern bad = dragon;
    bad.m_points[1].x = std::numeric_limits<float>::quiet_NaN();
    const CViewTransform before = t;
    EXPECT_FALSE(FitViewToFractal(bad, 12, 800, 600, t));
    EXPECT_EQ(t.m_origin, before.m_origin);
    EXPECT_EQ(t.m_scale, before.m_scale);
}

}  // namespace
