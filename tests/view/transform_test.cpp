// The view transform: mapping between pattern coordinates and pixels, zoom about a point,
// panning with the program-wide pan state, reset, and baking the view into the points.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "common/test_util.h"
#include "document/pattern.h"
#include "platform/archive.h"
#include "view/view_transform.h"

namespace {

CViewTransform Transform(PointF origin, float scale, POINT center, bool flip = false)
{
    CViewTransform t;
    t.m_origin = origin;
    t.m_scale = scale;
    t.m_center = center;
    t.m_flipY = flip;
    return t;
}

// The exact (unrounded) pixel offset of a pattern point from the centre, in double.
double OffsetX(const CViewTransform& t, float x) { return (double(x) - t.m_origin.x) * t.m_scale; }
double OffsetY(const CViewTransform& t, float y) { return -(double(y) - t.m_origin.y) * t.m_scale; }

constexpr int32_t kClamp = 1 << 30;

}  // namespace

TEST(ViewTransform, StartsAtTheDefaultView)
{
    CViewTransform t;
    EXPECT_EQ(t.m_origin, (PointF{0.0f, 0.0f}));
    EXPECT_EQ(t.m_scale, 1.0f);
    EXPECT_EQ(t.m_center, (POINT{0, 0}));
    EXPECT_FALSE(t.m_flipY);
}

TEST(ViewTransform, OriginAndCentreCorrespond)
{
    for (bool flip : {false, true}) {
        CViewTransform t = Transform({3.5f, -2.25f}, 4.0f, {320, 240}, flip);
        EXPECT_EQ(t.WorldToScreen(3.5f, -2.25f), (POINT{320, 240}));
        EXPECT_EQ(t.ScreenToWorld(320, 240), (PointF{3.5f, -2.25f}));
        CViewTransform odd = Transform({-1000.0f, 77.0f}, 0.001f, {399, 0}, flip);
        EXPECT_EQ(odd.WorldToScreen(odd.m_origin), odd.m_center);
        EXPECT_EQ(odd.ScreenToWorld(odd.m_center), odd.m_origin);
    }
}

TEST(ViewTransform, DocumentedExamples)
{
    CViewTransform t = Transform({0, 0}, 1.0f, {100, 100});
    EXPECT_EQ(t.WorldToScreen(10.0f, 10.0f), (POINT{110, 91}));
    EXPECT_EQ(t.WorldToScreen(10.0f, -10.0f), (POINT{110, 110}));
    EXPECT_EQ(t.WorldToScreen(-0.7f, 0.0f), (POINT{100, 100}));
    EXPECT_EQ(t.WorldToScreen(-1.7f, 0.0f), (POINT{99, 100}));
    EXPECT_EQ(t.ScreenToWorld(110, 91), (PointF{10.0f, 9.0f}));
    EXPECT_EQ(t.ScreenToWorld(110, 110), (PointF{10.0f, -10.0f}));

    t.m_flipY = true;
    EXPECT_EQ(t.WorldToScreen(10.0f, 10.0f), (POINT{110, 109}));
    EXPECT_EQ(t.WorldToScreen(10.0f, -10.0f), (POINT{110, 90}));
    EXPECT_EQ(t.ScreenToWorld(110, 109), (PointF{10.0f, 9.0f}));
    EXPECT_EQ(t.ScreenToWorld(110, 90), (PointF{10.0f, -10.0f}));
}

TEST(ViewTransform, OffsetsRoundHalfUpThenTowardZero)
{
    // x offsets map directly; y offsets are negated (pattern y up, pixels down).
    CViewTransform t = Transform({0, 0}, 1.0f, {0, 0});
    struct Case {
        float offset;
        int32_t pixel;
    };
    for (Case c : {Case{2.5f, 3}, Case{2.4f, 2}, Case{0.5f, 1}, Case{0.0f, 0}, Case{-0.4f, 0},
                   Case{-0.5f, 0}, Case{-0.7f, 0}, Case{-1.7f, -1}, Case{-2.5f, -2}, Case{-10.0f, -9},
                   Case{10.0f, 10}, Case{123456.0f, 123456}, Case{-123456.0f, -123455}}) {
        EXPECT_EQ(t.WorldToScreen(c.offset, 0.0f).x, c.pixel) << "x offset " << c.offset;
        EXPECT_EQ(t.WorldToScreen(0.0f, -c.offset).y, c.pixel) << "y offset " << c.offset;
    }
    // Scale and origin enter before the rounding.
    CViewTransform s = Transform({1.0f, 1.0f}, 2.0f, {50, 60});
    EXPECT_EQ(s.WorldToScreen(2.25f, 0.0f), (POINT{50 + 3, 60 + 2}));   // offsets 2.5, 2
    EXPECT_EQ(s.WorldToScreen(0.15f, 2.35f), (POINT{50 - 1, 60 - 2}));  // -1.7, -2.7
}

TEST(ViewTransform, HugeOffsetsAreClampedNotOverflowed)
{
    const float inf = std::numeric_limits<float>::infinity();
    for (bool flip : {false, true}) {
        CViewTransform t = Transform({0, 0}, 1.0f, {400, 300}, flip);
        const int32_t up = flip ? 1 : -1;  // pixel direction of a positive pattern y
        POINT p = t.WorldToScreen(1e20f, 1e20f);
        EXPECT_EQ(p.x, 400 + kClamp);
        EXPECT_EQ(p.y, 300 + up * kClamp);
        p = t.WorldToScreen(-1e20f, -1e20f);
        EXPECT_EQ(p.x, 400 - kClamp);
        EXPECT_EQ(p.y, 300 - up * kClamp);
        p = t.WorldToScreen(inf, -inf);
        EXPECT_EQ(p.x, 400 + kClamp);
        EXPECT_EQ(p.y, 300 - up * kClamp);
        // Just below and above the bound: the bound is where clamping starts.
        p = t.WorldToScreen(1.0e9f, -1.0e9f);
        EXPECT_EQ(p.x, 400 + 1000000000);
        p = t.WorldToScreen(3.0e9f, 0.0f);
        EXPECT_EQ(p.x, 400 + kClamp);

        // A large scale makes ordinary points far away.
        CViewTransform zoomed = Transform({0, 0}, 1e9f, {400, 300}, flip);
        EXPECT_EQ(zoomed.WorldToScreen(-50.0f, 0.0f).x, 400 - kClamp);
        EXPECT_EQ(zoomed.WorldToScreen(0.0f, 0.0f).x, 400);

        // Not a number: some pixel, without undefined behaviour.
        const float nan = std::numeric_limits<float>::quiet_NaN();
        p = t.WorldToScreen(nan, nan);
        EXPECT_LE(std::abs(static_cast<int64_t>(p.x) - 400), kClamp);
        EXPECT_LE(std::abs(static_cast<int64_t>(p.y) - 300), kClamp);
    }
}

TEST(ViewTransform, ScreenToWorldInvertsTheMapping)
{
    for (bool flip : {false, true}) {
        CViewTransform t = Transform({-12.5f, 40.0f}, 2.5f, {400, 300}, flip);
        // Pixels right of and below the centre (above it when flipped) come back exactly;
        // on the other sides the truncation toward zero moves them one pixel nearer.
        for (POINT d : {POINT{0, 0}, POINT{399, 299}, POINT{1, 17}, POINT{1000, 3}}) {
            POINT px{400 + d.x, flip ? 300 - d.y : 300 + d.y};
            PointF w = t.ScreenToWorld(px);
            EXPECT_EQ(t.WorldToScreen(w), px) << px.x << "," << px.y << " flip " << flip;
            POINT mirrored{400 - d.x - 1, flip ? 300 + d.y + 1 : 300 - d.y - 1};
            POINT back = t.WorldToScreen(t.ScreenToWorld(mirrored));
            EXPECT_EQ(back, (POINT{mirrored.x + 1, flip ? mirrored.y - 1 : mirrored.y + 1}))
                << mirrored.x << "," << mirrored.y << " flip " << flip;
        }
        // One pixel is 1 / scale pattern units; y grows upward unless flipped.
        PointF a = t.ScreenToWorld(400, 300);
        PointF b = t.ScreenToWorld(405, 310);
        EXPECT_FLOAT_CLOSE(b.x - a.x, 2.0, 1e-5);
        EXPECT_FLOAT_CLOSE(b.y - a.y, flip ? 4.0 : -4.0, 1e-5);
    }
}

TEST(ViewTransform, ZoomAtKeepsThePointOnItsPixel)
{
    const double e = std::exp(1.0);
    struct Case {
        float notches;
        double factor;
    };
    // Wheel deltas +120, -120, +240 and 60 are 1, -1, 2 and 0.5 notches.
    for (Case c : {Case{1.0f, std::pow(e, 0.1)}, Case{-1.0f, std::pow(e, -0.1)},
                   Case{2.0f, std::pow(e, 0.2)}, Case{0.5f, std::pow(e, 0.05)}}) {
        CViewTransform t = Transform({13.0f, -7.0f}, 3.0f, {400, 300});
        const PointF fixed{37.3f, -12.1f};  // offsets 72.9 and 15.3 pixels: no rounding ties
        const double beforeX = OffsetX(t, fixed.x), beforeY = OffsetY(t, fixed.y);
        const POINT pixel = t.WorldToScreen(fixed);
        t.ZoomAt(fixed.x, fixed.y, c.notches);
        EXPECT_FLOAT_CLOSE(t.m_scale, 3.0 * c.factor, 3.0 * c.factor * 1e-6) << c.notches << " notches";
        EXPECT_FLOAT_CLOSE(OffsetX(t, fixed.x), beforeX, 1e-3) << c.notches << " notches";
        EXPECT_FLOAT_CLOSE(OffsetY(t, fixed.y), beforeY, 1e-3) << c.notches << " notches";
        EXPECT_EQ(t.WorldToScreen(fixed), pixel) << c.notches << " notches";
        // Other points move away from (or toward) the fixed point by the factor.
        EXPECT_FLOAT_CLOSE(OffsetX(t, fixed.x + 10.0f) - OffsetX(t, fixed.x), 10.0 * 3.0 * c.factor, 1e-3);
    }

    // In and out again comes back.
    CViewTransform t = Transform({1.0f, 2.0f}, 1.0f, {0, 0});
    t.ZoomAt(100.0f, -50.0f, 3.0f);
    t.ZoomAt(100.0f, -50.0f, -3.0f);
    EXPECT_FLOAT_CLOSE(t.m_scale, 1.0, 1e-5);
    EXPECT_POINT_NEAR(t.m_origin, (PointF{1.0f, 2.0f}), 1e-3);
    // Zero notches change nothing.
    CViewTransform z = Transform({1.0f, 2.0f}, 5.0f, {0, 0});
    z.ZoomAt(9.0f, 9.0f, 0.0f);
    EXPECT_EQ(z.m_scale, 5.0f);
    EXPECT_EQ(z.m_origin, (PointF{1.0f, 2.0f}));
}

TEST(ViewTransform, ZoomOutOfRangeChangesNothing)
{
    struct Case {
        float scale, notches;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (Case c : {Case{1e9f, 1.0f}, Case{1e-6f, -1.0f}, Case{1.0f, 1000.0f}, Case{1.0f, -1000.0f},
                   Case{1.0f, 1e30f}, Case{1.0f, inf}, Case{1.0f, -inf}, Case{1.0f, nan},
                   Case{5e8f, 10.0f}, Case{2e-6f, -10.0f}}) {
        CViewTransform t = Transform({4.0f, 5.0f}, c.scale, {10, 20});
        t.ZoomAt(100.0f, 100.0f, c.notches);
        EXPECT_EQ(t.m_scale, c.scale) << c.scale << " by " << c.notches;
        EXPECT_EQ(t.m_origin, (PointF{4.0f, 5.0f})) << c.scale << " by " << c.notches;
    }
    // Inside the range the zoom is taken, up to the bounds.
    CViewTransform in = Transform({0, 0}, 9e8f, {0, 0});
    in.ZoomAt(0.0f, 0.0f, 1.0f);
    EXPECT_GT(in.m_scale, 9e8f);
    EXPECT_LE(in.m_scale, 1e9f);
    CViewTransform out = Transform({0, 0}, 1.2e-6f, {0, 0});
    out.ZoomAt(0.0f, 0.0f, -1.0f);
    EXPECT_LT(out.m_scale, 1.2e-6f);
    EXPECT_GE(out.m_scale, 1e-6f);
    // However far the user zooms, the scale stays finite and positive.
    CViewTransform far = Transform({0, 0}, 1.0f, {0, 0});
    for (int i = 0; i < 1000; ++i)
        far.ZoomAt(1.0f, 1.0f, 7.0f);
    EXPECT_TRUE(std::isfinite(far.m_scale));
    EXPECT_LE(far.m_scale, 1e9f);
    EXPECT_TRUE(std::isfinite(far.m_origin.x) && std::isfinite(far.m_origin.y));
    for (int i = 0; i < 2000; ++i)
        far.ZoomAt(1.0f, 1.0f, -7.0f);
    EXPECT_GE(far.m_scale, 1e-6f);
}

TEST(ViewTransform, PanKeepsThePressedPointUnderThePointer)
{
    CViewTransform t = Transform({0, 0}, 2.0f, {100, 100});
    t.Pan(POINT{50, 50}, true);
    // The press changes nothing.
    EXPECT_EQ(t.m_origin, (PointF{0.0f, 0.0f}));
    EXPECT_EQ(t.m_scale, 2.0f);
    const PointF anchor = t.ScreenToWorld(50, 50);

    // 10 pixels right and 10 down at scale 2: origin.x lowers by 5, origin.y rises by 5.
    t.Pan(POINT{60, 60}, false);
    EXPECT_POINT_NEAR(t.m_origin, (PointF{-5.0f, 5.0f}), 1e-6);
    EXPECT_POINT_NEAR(t.ScreenToWorld(60, 60), anchor, 1e-5);
    // Each move is computed from the press, not from the previous move.
    t.Pan(POINT{60, 60}, false);
    EXPECT_POINT_NEAR(t.m_origin, (PointF{-5.0f, 5.0f}), 1e-6);
    t.Pan(POINT{30, 80}, false);
    EXPECT_POINT_NEAR(t.m_origin, (PointF{10.0f, 15.0f}), 1e-6);
    EXPECT_POINT_NEAR(t.ScreenToWorld(30, 80), anchor, 1e-5);
    t.Pan(POINT{50, 50}, false);
    EXPECT_POINT_NEAR(t.m_origin, (PointF{0.0f, 0.0f}), 1e-6);

    // A new press starts from the current origin.
    t.Pan(POINT{60, 60}, false);
    t.Pan(POINT{0, 0}, true);
    t.Pan(POINT{4, 0}, false);
    EXPECT_POINT_NEAR(t.m_origin, (PointF{-7.0f, 5.0f}), 1e-6);
}

TEST(ViewTransform, PanStateIsOneForTheProgram)
{
    CViewTransform a = Transform({10.0f, 10.0f}, 1.0f, {100, 100});
    CViewTransform b = Transform({-500.0f, 3.0f}, 1.0f, {100, 100});
    a.Pan(POINT{100, 100}, true);  // pan origin (10, 10), anchor (10, 10)
    b.Pan(POINT{110, 100}, false);
    // b starts from a's press: origin (10, 10), and the anchor follows the pointer.
    EXPECT_POINT_NEAR(b.m_origin, (PointF{0.0f, 10.0f}), 1e-6);
}

TEST(ViewTransform, PanMoveBeforeAnyPressUsesTheStartState)
{
    // The pan state is program-wide; only a fresh process shows its state before any press.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CViewTransform t = Transform({7.0f, 7.0f}, 1.0f, {100, 100});
            t.Pan(POINT{110, 90}, false);
            // From pan origin (0, 0) and anchor (0, 0): the pointer is at (10, 10).
            bool ok = std::fabs(t.m_origin.x + 10.0f) < 1e-6f && std::fabs(t.m_origin.y + 10.0f) < 1e-6f;
            std::fprintf(stderr, "origin after the move: (%.9g, %.9g)\n", t.m_origin.x, t.m_origin.y);
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(ViewTransform, ResetKeepsCentreAndFlip)
{
    CViewTransform t = Transform({3.0f, 4.0f}, 7.5f, {321, 123}, true);
    t.Reset();
    EXPECT_EQ(t.m_origin, (PointF{0.0f, 0.0f}));
    EXPECT_EQ(t.m_scale, 1.0f);
    EXPECT_EQ(t.m_center, (POINT{321, 123}));
    EXPECT_TRUE(t.m_flipY);
}

TEST(ViewTransform, BakeIntoPointsKeepsThePicture)
{
    CPattern p;
    for (auto& pt : p.m_points)
        pt = PointF{999.0f, 999.0f};
    p.m_count = 3;
    const PointF points[] = {{11.0f, 21.0f}, {-3.25f, 40.5f}, {10.0f, 20.0f}, {123.456f, -78.9f}};
    for (int i = 0; i <= 3; ++i)
        p.m_points[i] = points[i];
    p.UpdateKnees();

    CViewTransform t = Transform({10.0f, 20.0f}, 2.0f, {200, 150});
    std::vector<POINT> pixels;
    for (int i = 0; i <= 3; ++i)
        pixels.push_back(t.WorldToScreen(p.m_points[i]));
    std::vector<POINT> kneePixels;
    for (int i = 0; i < 3; ++i)
        kneePixels.push_back(t.WorldToScreen(p.m_knees[i]));

    t.BakeIntoPoints(p, p.m_count);
    EXPECT_EQ(p.m_points[0], (PointF{2.0f, 2.0f}));
    EXPECT_EQ(p.m_points[2], (PointF{0.0f, 0.0f}));
    EXPECT_EQ(t.m_origin, (PointF{0.0f, 0.0f}));
    EXPECT_EQ(t.m_scale, 1.0f);
    EXPECT_EQ(t.m_center, (POINT{200, 150}));
    for (int i = 0; i <= 3; ++i) {
        EXPECT_EQ(t.WorldToScreen(p.m_points[i]), pixels[i]) << "point " << i;
        EXPECT_POINT_NEAR(p.m_points[i], (PointF{(points[i].x - 10.0f) * 2.0f, (points[i].y - 20.0f) * 2.0f}), 1e-4);
    }
    // The knees moved with the points.
    for (int i = 0; i < 3; ++i) {
        PointF a = p.m_points[i], b = p.m_points[i + 1];
        EXPECT_EQ(p.m_knees[i], (PointF{(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f})) << "knee " << i;
        POINT k = t.WorldToScreen(p.m_knees[i]);
        EXPECT_LE(std::abs(k.x - kneePixels[i].x), 1) << "knee " << i;
        EXPECT_LE(std::abs(k.y - kneePixels[i].y), 1) << "knee " << i;
    }
    // Points beyond the pattern are not touched.
    EXPECT_EQ(p.m_points[4], (PointF{999.0f, 999.0f}));

    // Restore Default View afterwards changes nothing.
    const CPattern baked = p;
    t.Reset();
    EXPECT_EQ(t.m_origin, (PointF{0.0f, 0.0f}));
    EXPECT_EQ(t.m_scale, 1.0f);
    for (int i = 0; i <= 3; ++i)
        EXPECT_EQ(p.m_points[i], baked.m_points[i]);

    // Baking the default view changes no point.
    t.BakeIntoPoints(p, p.m_count);
    for (int i = 0; i <= 3; ++i)
        EXPECT_EQ(p.m_points[i], baked.m_points[i]);

    // A coordinate that would overflow refuses the whole command: no point and not the
    // view change.
    p.m_points[3] = PointF{3.0e38f, 0.0f};
    const CPattern before = p;
    t = Transform({-3.0e38f, 0.0f}, 4.0f, {1, 2});
    EXPECT_FALSE(t.BakeIntoPoints(p, p.m_count));
    EXPECT_TRUE(p.SameAs(before));
    EXPECT_EQ(t.m_origin, (PointF{-3.0e38f, 0.0f}));
    EXPECT_EQ(t.m_scale, 4.0f);
}

TEST(ViewTransform, SerializeWritesOriginAndScaleLines)
{
    CViewTransform t = Transform({-0.0f, 12.5f}, 0.25f, {1, 2});
    CArchive ar(CArchive::store);
    t.Serialize(ar);
    EXPECT_EQ(ar.Bytes(), "Origin: -0.000000 12.500000\r\nScale: 0.250000\r\n");
}
