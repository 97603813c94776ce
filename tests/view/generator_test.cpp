// The fractal generator: child placement, the recursion with its flags, the detail test, the
// time and point budgets, the closing of the fill polygon and export progress.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "common/renderer_test_support.h"
#include "export/illustrator_writer.h"
#include "platform/text_format.h"
#include "platform/tick_count.h"

using namespace renderer_test;

namespace {

constexpr float kPi = 3.14159265358979f;

::testing::AssertionResult SamePixels(const std::vector<POINT>& actual, const std::vector<POINT>& expected)
{
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << actual.size() << " points, expected " << expected.size();
    for (size_t i = 0; i < actual.size(); ++i) {
        if (!(actual[i] == expected[i]))
            return ::testing::AssertionFailure() << "point " << i << " is (" << actual[i].x << ", " << actual[i].y
                                                 << "), expected (" << expected[i].x << ", " << expected[i].y << ")";
    }
    return ::testing::AssertionSuccess();
}

// The generator's recursion written out with the trigonometric child placement
// (ComputeChildPoint), collecting every leaf's end point in pattern coordinates. It reads the
// child tables that the renderer's last Generate filled.
class TrigonometricReference {
public:
    explicit TrigonometricReference(const CFractalRenderer& renderer) : m_r(renderer) {}

    void Segment(PointF start, PointF end, uint8_t flags, int depth)
    {
        if ((flags & (KNEE_HIDE | KNEE_STATIC)) || depth == 0) {
            points.push_back(end);
            return;
        }
        const double dx = static_cast<double>(end.x) - start.x;
        const double dy = static_cast<double>(end.y) - start.y;
        const float len = static_cast<float>(std::sqrt(dx * dx + dy * dy));
        const float ang = static_cast<float>(std::atan2(dy, dx));
        const int row = (flags & KNEE_REVERSE) ? 1 : 0;
        const int n = m_r.m_nSegments;
        PointF cur = start;
        for (int i = 1; i < n; ++i) {
            const PointF prev = cur;
            cur = m_r.ComputeChildPoint(start, len, ang, i, flags);
            Segment(prev, cur, m_r.m_childFlags[row][i - 1] ^ flags, depth - 1);
        }
        Segment(cur, end, m_r.m_childFlags[row][n - 1] ^ flags, depth - 1);
    }

    std::vector<PointF> points;

private:
    const CFractalRenderer& m_r;
};

struct Case {
    CPattern pattern;
    int depth;
};

// Patterns near a straight line, each segment shorter than the baseline, so that the fractal
// stays within a few baseline lengths at any depth.
CPattern RandomPattern(std::mt19937& random)
{
    std::uniform_int_distribution<int> segments(2, 6);
    std::uniform_real_distribution<float> offset(-0.35f, 0.35f);
    std::uniform_int_distribution<int> flags(0, 15);
    std::uniform_real_distribution<float> angle(-kPi, kPi);
    CPattern pattern;
    const int n = segments(random);
    pattern.m_count = n;
    const float a = angle(random);
    const float length = 150.0f;
    const PointF s{-20.0f, 35.0f};
    const PointF d{length * std::cos(a), length * std::sin(a)};
    for (int i = 0; i <= n; ++i) {
        const float t = static_cast<float>(i) / n;
        float u = 0.0f;
        float v = 0.0f;
        if (i != 0 && i != n) {
            u = offset(random) / n;
            v = offset(random) / n;
        }
        pattern.m_points[i] = PointF{s.x + (t + u) * d.x - v * d.y, s.y + (t + u) * d.y + v * d.x};
    }
    for (int i = 0; i < n; ++i) {
        // Hidden and static knees are kept rarer than reverse and mirror, so that most cases
        // still recurse to the full depth.
        const int f = flags(random);
        pattern.m_kneeFlags[i] = static_cast<uint8_t>(f < 12 ? (f & 3) : f);
    }
    pattern.UpdateKnees();
    return pattern;
}

}  // namespace

TEST(GeneratorChildTest, StepsAndChildPointsOfTheSymmetricBump)
{
    auto r = MakeRenderer(100, 100);
    const CPattern bump = MakePattern({{-100, 0}, {0, 100}, {100, 0}});
    Record(*r, bump, 1);

    EXPECT_NEAR(r->m_childSteps[0][1].ratio, 0.70711f, 1e-5f);
    EXPECT_NEAR(r->m_childSteps[0][1].angle, kPi / 4, 1e-5f);
    EXPECT_NEAR(r->m_childSteps[1][1].ratio, 0.70711f, 1e-5f);
    EXPECT_NEAR(r->m_childSteps[1][1].angle, -kPi / 4, 1e-5f);

    struct {
        uint8_t flags;
        PointF expected;
    } const cases[] = {
        {0, {5, 5}},
        {KNEE_MIRROR, {5, -5}},
        {KNEE_REVERSE, {5, -5}},
        {KNEE_REVERSE | KNEE_MIRROR, {5, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.flags));
        const PointF p = r->ComputeChildPoint(PointF{0, 0}, 10.0f, 0.0f, 1, c.flags);
        EXPECT_NEAR(p.x, c.expected.x, 1e-4f);
        EXPECT_NEAR(p.y, c.expected.y, 1e-4f);
    }
}

TEST(GeneratorChildTest, ReverseAndMirrorDifferOnAnAsymmetricPattern)
{
    // Up, then diagonally down to the end. Mirrored, the copy goes down first; reversed, it
    // is the pattern run backwards and turned by half a turn: diagonally down, then up.
    auto r = MakeRenderer(100, 100);
    const CPattern corner = MakePattern({{0, 0}, {0, 100}, {100, 0}});
    Record(*r, corner, 1);

    struct {
        uint8_t flags;
        PointF expected;
    } const cases[] = {
        {0, {0, 100}},
        {KNEE_MIRROR, {0, -100}},
        {KNEE_REVERSE, {100, -100}},
        {KNEE_REVERSE | KNEE_MIRROR, {100, 100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.flags));
        const PointF p = r->ComputeChildPoint(PointF{0, 0}, 100.0f, 0.0f, 1, c.flags);
        EXPECT_NEAR(p.x, c.expected.x, 1e-3f);
        EXPECT_NEAR(p.y, c.expected.y, 1e-3f);
    }
}

TEST(GeneratorRecursionTest, DepthZeroIsTheBaselineAndDepthOneThePattern)
{
    auto r = MakeRenderer(400, 400);
    r->m_nDetail = 0;
    // Flags of every kind: at depth 1 each segment still ends on its pattern point.
    const CPattern pattern = MakePattern({Px(20, 300), Px(100, 120), Px(200, 260), Px(310, 40), Px(380, 300)},
                                         {KNEE_REVERSE, KNEE_HIDE, KNEE_STATIC | KNEE_MIRROR, KNEE_MIRROR});
    bool complete = false;
    EXPECT_TRUE(SamePixels(Record(*r, pattern, 0, &complete), {{20, 300}, {380, 300}}));
    EXPECT_TRUE(complete);
    EXPECT_TRUE(SamePixels(Record(*r, pattern, 1, &complete),
                           {{20, 300}, {100, 120}, {200, 260}, {310, 40}, {380, 300}}));
    EXPECT_TRUE(complete);
    // Only the low 8 bits of the iterations count: 256 is depth 0.
    EXPECT_TRUE(SamePixels(Record(*r, pattern, 256), {{20, 300}, {380, 300}}));
}

TEST(GeneratorRecursionTest, SecondLevelOfAReversedKnee)
{
    // The corner pattern with its first knee reversed: the reversed copy on the upward first
    // segment bends to the right of it, the plain copy on the second to the left.
    auto r = MakeRenderer(1000, 1000);
    r->m_nDetail = 0;
    const CPattern corner = MakePattern({Px(300, 600), Px(300, 500), Px(400, 600)}, {KNEE_REVERSE, 0});
    EXPECT_TRUE(SamePixels(Record(*r, corner, 2), {{300, 600}, {400, 500}, {300, 500}, {400, 400}, {400, 600}}));
}

TEST(GeneratorRecursionTest, MatchesTheTrigonometricPlacementForManyPatterns)
{
    std::vector<Case> cases;
    // The Koch curve, a dragon, and patterns whose knees take every flag combination.
    const float h = 0.28867513f;
    cases.push_back({MakePattern({{0, 0}, {1.0f / 3, 0}, {0.5f, h}, {2.0f / 3, 0}, {1, 0}}), 7});
    cases.push_back({MakePattern({{-100, 0}, {0, -100}, {100, 0}}, {KNEE_REVERSE, 0}), 14});
    cases.push_back({MakePattern({{-100, 0}, {0, -100}, {100, 0}}, {KNEE_MIRROR, KNEE_REVERSE}), 15});
    for (uint8_t f = 0; f < 16; ++f)
        cases.push_back({MakePattern({{0, 0}, {30, 20}, {55, -10}, {100, 0}}, {f, static_cast<uint8_t>(f ^ 3), 1}), 6});
    std::mt19937 random(20240611);
    for (int k = 0; k < 40; ++k) {
        CPattern p = RandomPattern(random);
        int depth = 1;
        double leaves = p.m_count;
        while (leaves * p.m_count <= 40000.0) {
            leaves *= p.m_count;
            ++depth;
        }
        cases.push_back({p, depth});
    }

    double worst = 0.0;
    for (size_t c = 0; c < cases.size(); ++c) {
        SCOPED_TRACE(c);
        const CPattern& pattern = cases[c].pattern;
        auto r = MakeRenderer(1000, 1000);
        r->m_nDetail = 0;
        // A baseline of ten million pixels, so that pixels resolve far below 1e-5 of it.
        const PointF s = pattern.m_points[0];
        const PointF e = pattern.m_points[pattern.m_count];
        const double baseline = std::hypot(static_cast<double>(e.x) - s.x, static_cast<double>(e.y) - s.y);
        r->m_transform.m_scale = static_cast<float>(1e7 / baseline);
        r->m_transform.m_origin = PointF{(s.x + e.x) / 2, (s.y + e.y) / 2};

        bool complete = false;
        const std::vector<POINT> fast = Record(*r, pattern, cases[c].depth, &complete);
        EXPECT_TRUE(complete);

        TrigonometricReference reference(*r);
        reference.points.push_back(s);
        reference.Segment(s, e, 0, cases[c].depth);
        ASSERT_EQ(fast.size(), reference.points.size());
        for (size_t i = 0; i < fast.size(); ++i) {
            const POINT expected = r->m_transform.WorldToScreen(reference.points[i]);
            const double off = std::hypot(static_cast<double>(fast[i].x) - expected.x,
                                          static_cast<double>(fast[i].y) - expected.y);
            worst = std::max(worst, off / 1e7);
            ASSERT_LE(off, 1e-5 * 1e7 + 2.0) << "point " << i;
        }
    }
    RecordProperty("worst_deviation_over_baseline", ::testing::PrintToString(worst));
    EXPECT_LT(worst, 1e-5);
}

TEST(GeneratorRecursionTest, HiddenKneesAreGapsAndStaticKneesStayStraight)
{
    // Three collinear segments, the middle one hidden: at depth 2 every third of every
    // visible third is a gap as well.
    auto r = MakeRenderer(400, 100);
    r->m_nDetail = 0;
    r->m_bShowPattern = 0;
    r->m_bTimeLimit = 0;
    const CPattern hidden = MakePattern({Px(20, 50), Px(110, 50), Px(200, 50), Px(290, 50)}, {0, KNEE_HIDE, 0});
    r->m_nIterations = 1;
    Paint(*r, hidden);
    EXPECT_EQ(PixelAt(*r, 60, 50), kBlackPixel);
    EXPECT_EQ(PixelAt(*r, 150, 50), kWhitePixel);
    EXPECT_EQ(PixelAt(*r, 250, 50), kBlackPixel);
    r->m_nIterations = 2;
    Paint(*r, hidden);
    EXPECT_EQ(PixelAt(*r, 30, 50), kBlackPixel);
    EXPECT_EQ(PixelAt(*r, 65, 50), kWhitePixel);
    EXPECT_EQ(PixelAt(*r, 100, 50), kBlackPixel);
    EXPECT_EQ(PixelAt(*r, 150, 50), kWhitePixel);
    EXPECT_EQ(PixelAt(*r, 245, 50), kWhitePixel);
    EXPECT_EQ(PixelAt(*r, 280, 50), kBlackPixel);

    // A static second knee: at every depth the last top-level point before the end is the
    // pattern's middle point, and the copy's static halves add one point per level.
    const CPattern withStatic = MakePattern({Px(100, 300), Px(200, 200), Px(300, 300)}, {0, KNEE_STATIC});
    auto big = MakeRenderer(400, 400);
    big->m_nDetail = 0;
    const std::vector<POINT> points = Record(*big, withStatic, 3);
    ASSERT_EQ(points.size(), 5u);
    EXPECT_EQ(points[3], (POINT{200, 200}));
    EXPECT_EQ(points[4], (POINT{300, 300}));
    // Drawn, the static segment is one straight line at depth 3.
    big->m_bShowPattern = 0;
    big->m_bTimeLimit = 0;
    big->m_bFill = 0;
    big->m_nIterations = 3;
    Paint(*big, withStatic);
    for (int x = 205; x < 295; x += 10)
        EXPECT_EQ(PixelAt(*big, x, x), kBlackPixel) << x;
}

TEST(GeneratorDetailTest, DistanceTableAndTheLessThanRule)
{
    auto r = MakeRenderer(2000, 2000);
    CFractalRenderer::PrepareDistanceTable();
    // The table is filled without square roots: every entry as the truncated root.
    int wrong = 0;
    for (int i = 0; i < DISTANCE_TABLE_SIZE; ++i) {
        for (int j = 0; j < DISTANCE_TABLE_SIZE; ++j)
            wrong += r->m_nDistance[i][j] != static_cast<int32_t>(std::sqrt(static_cast<double>(i * i + j * j)));
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(r->m_nDistance[3][4], 5);
    EXPECT_EQ(r->m_nDistance[4][3], 5);
    EXPECT_EQ(r->m_nDistance[1][1], 1);
    EXPECT_EQ(r->m_nDistance[999][999], 1412);
    EXPECT_EQ(r->m_nDistance[0][999], 999);

    // A baseline of the given pixel span is replaced when its length reaches the detail,
    // and drawn straight when it is shorter: 3 points against 2 at depth 1.
    struct {
        POINT span;
        int length;
    } const spans[] = {{{3, 4}, 5}, {{0, 1}, 1}, {{999, 999}, 1412}, {{1000, 0}, 1000}, {{1000, 5}, 1005}, {{5, 1000}, 1005}};
    for (const auto& s : spans) {
        SCOPED_TRACE(s.length);
        const CPattern p = MakePattern({Px(10, 10), Px(10 + s.span.x / 2, 10), Px(10 + s.span.x, 10 + s.span.y)});
        r->m_nDetail = s.length;
        EXPECT_EQ(Record(*r, p, 1).size(), 3u);
        r->m_nDetail = s.length + 1;
        EXPECT_EQ(Record(*r, p, 1).size(), 2u);
    }
}

TEST(GeneratorBudgetTest, TheClockIsReadAtEvery256thCountedLine)
{
    while (GetTickCount64() < 2) {
    }
    auto r = MakeRenderer(1000, 1000);
    r->m_nDetail = 0;
    const CPattern pattern = MakePattern({Px(400, 600), Px(500, 500), Px(600, 600)});
    // Every leaf end, in order, from a generation without budgets.
    const std::vector<POINT> all = Record(*r, pattern, 9);
    ASSERT_EQ(all.size(), 513u);

    // A deadline that has already passed when the generation starts.
    r->m_bFill = 0;
    r->m_bTimeLimit = 1;
    r->m_nDrawLimit = -1;
    r->m_nSegments = 2;
    r->BeginDraw();

    // 128 counted lines: the clock is never read, the picture is complete.
    r->m_nIterations = 7;
    EXPECT_TRUE(r->Generate(pattern, pattern.m_kneeFlags));
    EXPECT_EQ(r->m_nLineCount, 128);

    // 512 leaves: the 256th counted line finds the deadline passed and is not drawn, so the
    // last point emitted is the end of the 255th.
    r->m_nIterations = 9;
    EXPECT_FALSE(r->Generate(pattern, pattern.m_kneeFlags));
    EXPECT_EQ(r->m_nLineCount, 256);
    EXPECT_EQ(r->m_ptLast, all[255]);

    // With the deadline ahead, the same picture completes.
    r->m_nDrawLimit = 100000;
    EXPECT_TRUE(r->Generate(pattern, pattern.m_kneeFlags));
    EXPECT_EQ(r->m_nLineCount, 512);
    EXPECT_EQ(r->m_ptLast, all[512]);
    r->EndDraw();
}

TEST(GeneratorBudgetTest, LeavesWithBothEndsOffTheCanvasAreMovesOnScreen)
{
    auto r = MakeRenderer(100, 100);
    r->m_bShowPattern = 0;
    r->m_nIterations = 0;
    // A leaf that crosses the canvas from left to right with both ends outside it.
    const CPattern across = MakePattern({Px(-10, 50), Px(50, 50), Px(110, 50)});

    r->m_bTimeLimit = 1;
    Paint(*r, across);
    for (int x = 0; x < 100; x += 7)
        EXPECT_EQ(PixelAt(*r, x, 50), kWhitePixel) << x;
    // Not drawn, but counted towards the time check like every point emitted.
    EXPECT_EQ(r->m_nLineCount, 1);

    r->m_bTimeLimit = 0;
    Paint(*r, across);
    for (int x = 0; x < 100; x += 7)
        EXPECT_EQ(PixelAt(*r, x, 50), kBlackPixel) << x;

    // One end inside: a counted line.
    r->m_bTimeLimit = 1;
    const CPattern half = MakePattern({Px(-10, 50), Px(20, 50), Px(50, 50)});
    Paint(*r, half);
    EXPECT_EQ(PixelAt(*r, 10, 50), kBlackPixel);
    EXPECT_EQ(r->m_nLineCount, 1);
}

TEST(GeneratorBudgetTest, FillPointBudgetAndCapacity)
{
    auto r = MakeRenderer(800, 600);
    r->m_nDetail = 0;
    const CPattern dragon = MakePattern({Px(200, 300), Px(400, 100), Px(600, 300)}, {KNEE_REVERSE, 0});
    r->m_bFill = 1;
    r->m_nSegments = dragon.m_count;
    r->m_nIterations = 17;

    auto run = [&](bool timeLimit, int drawLimit) {
        r->m_bTimeLimit = timeLimit ? 1 : 0;
        r->m_nDrawLimit = drawLimit;
        r->m_nPolygonCount = 0;
        const bool complete = r->Generate(dragon, dragon.m_kneeFlags);
        EXPECT_FALSE(complete);
        return r->m_nPolygonCount;
    };
    // Eight points per millisecond of the draw limit, the first point included.
    EXPECT_EQ(run(true, 1000), 8000);
    const POINT last = r->m_ptLast;
    EXPECT_EQ(last, r->m_pPolygon[7999]);
    // Closing a full polygon adds nothing either.
    r->CloseFill(dragon);
    EXPECT_EQ(r->m_nPolygonCount, 8000);
    EXPECT_EQ(r->m_ptLast, last);

    EXPECT_EQ(run(true, 20000), 100000);
    EXPECT_EQ(run(false, 1000), 100000);
}

TEST(GeneratorCloseFillTest, ClosesAlongTheBorderOnTheRightSide)
{
    auto r = MakeRenderer(800, 600);
    r->m_transform.Reset();
    r->m_transform.m_center = POINT{400, 300};  // the pattern's origin on the centre pixel
    r->m_bFill = 1;
    r->m_nSegments = 2;

    auto close = [&](PointF s, PointF e) {
        const CPattern p = MakePattern({s, {(s.x + e.x) / 2, (s.y + e.y) / 2}, e});
        r->m_nPolygonCount = 0;
        r->CloseFill(p);
        return std::vector<POINT>(r->m_pPolygon, r->m_pPolygon + r->m_nPolygonCount);
    };
    // The corners lie 2 pixels outside the canvas: x -2 and 802, y -2 and 602. Mapped back to
    // pixels, offsets below the centre round toward zero, so the left and top ones come out
    // at -1.
    // Left to right: out on the right, round the bottom corners, back in on the left.
    EXPECT_TRUE(SamePixels(close({-100, 0}, {100, 0}), {{802, 300}, {802, 602}, {-1, 602}, {-1, 300}}));
    // Right to left: the mirror image over the top.
    EXPECT_TRUE(SamePixels(close({100, 0}, {-100, 0}), {{-1, 300}, {-1, -1}, {802, -1}, {802, 300}}));
    // Downward on the screen: out at the bottom, round the left corners, in at the top.
    EXPECT_TRUE(SamePixels(close({0, 100}, {0, -100}), {{400, 602}, {-1, 602}, {-1, -1}, {400, -1}}));
    // Diagonal from the bottom left towards the top right, through the centre: out on the
    // top edge at (302, 302), round the two right-hand corners, back in on the bottom edge.
    EXPECT_TRUE(SamePixels(close({-100, -100}, {100, 100}), {{702, -1}, {802, -1}, {802, 602}, {99, 602}}));
    // A line that misses the canvas adds nothing.
    EXPECT_TRUE(close({-100, 1000}, {100, 1000}).empty());
    // So does a baseline of length 0.
    EXPECT_TRUE(close({5, 5}, {5, 5}).empty());
}

TEST(GeneratorSafetyTest, UnplaceablePatternsDrawOnlyTheirStartPoint)
{
    auto r = MakeRenderer(400, 400);
    r->m_nDetail = 0;
    bool complete = false;

    // The last point on the first: a baseline of length 0.
    const CPattern closed = MakePattern({Px(100, 100), Px(200, 50), Px(100, 100)});
    EXPECT_TRUE(SamePixels(Record(*r, closed, 5, &complete), {{100, 100}}));
    EXPECT_TRUE(complete);

    // A point that is not a number.
    const CPattern broken = MakePattern({Px(100, 100), {std::nanf(""), 3}, Px(300, 100)});
    EXPECT_TRUE(SamePixels(Record(*r, broken, 5, &complete), {{100, 100}}));

    // Child points that overflow the float range stop the generation before they are used.
    const CPattern huge = MakePattern({{-1e38f, 0}, {0, 3e38f}, {1e38f, 0}});
    r->m_transform.m_scale = 1e-36f;
    EXPECT_EQ(Record(*r, huge, 1).size(), 3u);
    EXPECT_EQ(Record(*r, huge, 3, &complete).size(), 1u);
    EXPECT_FALSE(complete);

    // Drawn, the closed pattern leaves the canvas white.
    r->m_transform.m_scale = 1.0f;
    r->m_bFill = 0;
    r->m_bShowPattern = 0;
    r->m_nIterations = 5;
    Paint(*r, closed);
    for (int y = 0; y < 400; y += 5)
        for (int x = 0; x < 400; x += 5)
            ASSERT_EQ(PixelAt(*r, x, y), kWhitePixel) << x << "," << y;
}

namespace {

class RecordingProgress : public CExportProgress {
public:
    bool Continue(double fraction) override
    {
        fractions.push_back(fraction);
        return static_cast<int>(fractions.size()) != stopAt;
    }
    std::vector<double> fractions;
    int stopAt = -1;
};

}  // namespace

TEST(GeneratorProgressTest, ReportsEvery4096PointsAndStopsWhenCancelled)
{
    auto r = MakeRenderer(800, 600);
    r->m_nDetail = 0;
    const CPattern dragon = MakePattern({Px(200, 300), Px(400, 100), Px(600, 300)}, {KNEE_REVERSE, 0});
    RecordingProgress progress;
    r->m_pProgress = &progress;
    r->m_bCancelled = false;

    bool complete = false;
    EXPECT_EQ(Record(*r, dragon, 16, &complete).size(), 65537u);
    EXPECT_TRUE(complete);
    ASSERT_EQ(progress.fractions.size(), 16u);
    for (size_t k = 0; k < progress.fractions.size(); ++k) {
        // After 4096 (k + 1) points, that share of the 65536 leaves is done, to within the
        // resolution of the top eight levels.
        const double done = 4096.0 * static_cast<double>(k + 1) / 65536.0;
        EXPECT_NEAR(progress.fractions[k], done, 1.0 / 256 + 1e-9) << k;
        if (k > 0) {
            EXPECT_GT(progress.fractions[k], progress.fractions[k - 1]);
        }
        EXPECT_LT(progress.fractions[k], 1.0);
    }
    EXPECT_FALSE(r->m_bCancelled);

    // Cancelled at the second report: the 8192nd point is not emitted, nor anything after.
    progress.fractions.clear();
    progress.stopAt = 2;
    EXPECT_EQ(Record(*r, dragon, 16, &complete).size(), 8191u);
    EXPECT_FALSE(complete);
    EXPECT_TRUE(r->m_bCancelled);
    EXPECT_EQ(progress.fractions.size(), 2u);
    r->CloseFill(dragon);
    EXPECT_EQ(r->m_nPolygonCount, 8191);

    // Without a progress object nothing is reported and nothing stops.
    r->m_pProgress = nullptr;
    EXPECT_EQ(Record(*r, dragon, 16, &complete).size(), 65537u);
    EXPECT_TRUE(complete);
}

TEST(GeneratorPixelTest, PixelsAreThoseOfTheViewTransform)
{
    // The generator maps its points itself; they must land where the view transform puts
    // them, for any view, including points far beyond the integer range and a flipped view.
    auto r = MakeRenderer(640, 480);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(-3, 38);
    auto value = [&] { return unit(random) * std::pow(10.0f, static_cast<float>(exponent(random))); };
    for (int k = 0; k < 3000; ++k) {
        SCOPED_TRACE(k);
        r->m_transform.m_origin = PointF{value(), value()};
        r->m_transform.m_scale = std::pow(10.0f, static_cast<float>(exponent(random) % 10));
        r->m_transform.m_center = POINT{static_cast<int32_t>(random() % 2000) - 1000, static_cast<int32_t>(random() % 2000) - 1000};
        r->m_transform.m_flipY = (k & 1) != 0;
        const PointF s{value(), value()};
        const PointF e{value(), value()};
        const CPattern p = MakePattern({s, {(s.x + e.x) / 2, (s.y + e.y) / 2}, e});
        const std::vector<POINT> points = Record(*r, p, 0);
        ASSERT_EQ(points.size(), 2u);
        ASSERT_EQ(points[0], r->m_transform.WorldToScreen(s));
        ASSERT_EQ(points[1], r->m_transform.WorldToScreen(e));
    }
}

namespace {

// The kinds ('m' or 'L') of the point lines of an Illustrator file, in order, and whether any
// number in them is not finite.
std::string PointKinds(const std::string& text, bool* nonFinite)
{
    std::string kinds;
    *nonFinite = text.find("nan") != std::string::npos || text.find("inf") != std::string::npos;
    size_t pos = 0;
    while ((pos = text.find("\r\n", pos)) != std::string::npos) {
        pos += 2;
        const size_t end = text.find("\r\n", pos);
        const std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        CScanner scan(line);
        float x = 0;
        float y = 0;
        if (scan.ScanFloat(x) && scan.ScanFloat(y) && line.size() >= 2 && line[line.size() - 2] == ' ' &&
            (line.back() == 'm' || line.back() == 'L'))
            kinds += line.back();
    }
    return kinds;
}

std::string ExportKinds(CFractalRenderer& r, const CPattern& pattern, int iterations, bool* nonFinite)
{
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("zarnix-generator-" + std::to_string(std::random_device{}()) + ".ai");
    r.m_nIterations = iterations;
    std::string error;
    EXPECT_EQ(ExportIllustrator(r, pattern, path.string().c_str(), &error), 1) << error;
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    in.close();
    std::filesystem::remove(path);
    return PointKinds(text, nonFinite);
}

}  // namespace

TEST(GeneratorIllustratorTest, FullDepthInPatternCoordinatesAndSafeForUnplaceablePatterns)
{
    auto r = MakeRenderer(800, 600);
    r->m_bShowPattern = 0;
    r->m_bFill = 0;
    bool nonFinite = true;

    // No detail test: at a scale where the whole fractal is one pixel, the path still has
    // every leaf. A hidden knee ends the stroked path and moves on.
    r->m_transform.m_scale = 1e-6f;
    const CPattern hidden = MakePattern({{0, 0}, {10, 5}, {20, 5}, {30, 0}}, {0, KNEE_HIDE, 0});
    EXPECT_EQ(ExportKinds(*r, hidden, 1, &nonFinite), "mLmL");
    // Leaves: L(d) = 2 L(d - 1) + 1 with L(0) = 1, so 31 at depth 4, and the start point.
    EXPECT_EQ(ExportKinds(*r, hidden, 4, &nonFinite).size(), 32u);
    EXPECT_FALSE(nonFinite);
    r->m_transform.m_scale = 1.0f;

    // A baseline of length 0: the path is its start point alone.
    const CPattern closed = MakePattern({{10, 10}, {40, 30}, {10, 10}});
    EXPECT_EQ(ExportKinds(*r, closed, 6, &nonFinite), "m");
    EXPECT_FALSE(nonFinite);

    // Child points beyond the float range: the path stops before them.
    const CPattern huge = MakePattern({{-1e38f, 0}, {0, 3e38f}, {1e38f, 0}});
    EXPECT_EQ(ExportKinds(*r, huge, 1, &nonFinite), "mLL");
    EXPECT_EQ(ExportKinds(*r, huge, 4, &nonFinite), "m");
    EXPECT_FALSE(nonFinite);
}
