// The pattern record and its editing operations, and the program's random numbers that
// the start pattern draws from.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "common/test_util.h"
#include "document/pattern.h"
#include "document/zarnix4_doc.h"
#include "platform/random.h"

namespace {

const PointF kUnused{999.0f, -999.0f};
constexpr uint8_t kUnusedFlag = 0xEE;

// A pattern with the given points and flags; entries beyond the live ones carry markers,
// so that writes outside the pattern show.
CPattern MakePattern(const std::vector<PointF>& points, const std::vector<uint8_t>& flags)
{
    CPattern p;
    for (auto& pt : p.m_points)
        pt = kUnused;
    for (auto& f : p.m_kneeFlags)
        f = kUnusedFlag;
    p.m_count = static_cast<int32_t>(flags.size());
    for (size_t i = 0; i < points.size(); ++i)
        p.m_points[i] = points[i];
    for (size_t i = 0; i < flags.size(); ++i)
        p.m_kneeFlags[i] = flags[i];
    p.UpdateKnees();
    return p;
}

// A pattern of `count` segments along a line, point i at (10 i, i * i), flag i = i.
CPattern LinePattern(int count)
{
    std::vector<PointF> points;
    std::vector<uint8_t> flags;
    for (int i = 0; i <= count; ++i)
        points.push_back(PointF{10.0f * i, static_cast<float>(i * i)});
    for (int i = 0; i < count; ++i)
        flags.push_back(static_cast<uint8_t>(i));
    return MakePattern(points, flags);
}

std::vector<uint8_t> Flags(const CPattern& p)
{
    return std::vector<uint8_t>(p.m_kneeFlags, p.m_kneeFlags + p.m_count);
}

std::vector<PointF> Points(const CPattern& p)
{
    return std::vector<PointF>(p.m_points, p.m_points + p.m_count + 1);
}

// Every knee is its segment's midpoint, and nothing beyond the live entries was touched.
void ExpectConsistent(const CPattern& p)
{
    ASSERT_GE(p.m_count, PATTERN_MIN_SEGMENTS);
    ASSERT_LE(p.m_count, PATTERN_MAX_SEGMENTS);
    for (int i = 0; i < p.m_count; ++i) {
        PointF a = p.m_points[i], b = p.m_points[i + 1];
        PointF mid{(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f};
        EXPECT_EQ(p.m_knees[i], mid) << "knee " << i;
    }
    for (int i = p.m_count + 1; i <= PATTERN_MAX_SEGMENTS; ++i)
        EXPECT_EQ(p.m_points[i], kUnused) << "point " << i << " beyond the pattern";
    for (int i = p.m_count; i < PATTERN_MAX_SEGMENTS; ++i)
        EXPECT_EQ(p.m_kneeFlags[i], kUnusedFlag) << "flag " << i << " beyond the pattern";
}

bool SameRecord(const CPattern& a, const CPattern& b)
{
    return std::memcmp(&a, &b, sizeof(CPattern)) == 0;
}

}  // namespace

TEST(ProgramRandomTest, TheClassicRuntimeSequence)
{
    // The sequence of the classic C runtime's rand() from its unseeded start.
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    CRandom fresh;
    for (int v : expected)
        EXPECT_EQ(fresh.Next(), v);
    fresh.Reset();
    EXPECT_EQ(fresh.Next(), 41);

    // Always within 0 to 32767.
    CRandom r;
    for (int i = 0; i < 100000; ++i) {
        int v = r.Next();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }

    // One generator for the program.
    EXPECT_EQ(&ProgramRandom(), &ProgramRandom());
    ProgramRandom().Reset();
    EXPECT_EQ(ProgramRandom().Next(), 41);
    EXPECT_EQ(ProgramRandom().Next(), 18467);
}

TEST(NewPattern, StartPatternFromAFreshGenerator)
{
    ProgramRandom().Reset();
    CPattern p = MakePattern({{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}}, {9, 9, 9, 9});
    p.NewPattern();
    EXPECT_EQ(p.m_count, 2);
    EXPECT_EQ(p.m_points[0], (PointF{-100.0f, 0.0f}));
    EXPECT_EQ(p.m_points[1], (PointF{-11.8f, -100.0f}));
    EXPECT_EQ(p.m_points[2], (PointF{100.0f, 0.0f}));
    EXPECT_EQ(p.m_kneeFlags[0], KNEE_REVERSE);
    EXPECT_EQ(p.m_kneeFlags[1], 0);
    EXPECT_POINT_NEAR(p.m_knees[0], (PointF{(-100.0f - 11.8f) / 2, -50.0f}), 1e-5);
    EXPECT_POINT_NEAR(p.m_knees[1], (PointF{(-11.8f + 100.0f) / 2, -50.0f}), 1e-5);
    // Points 3 on and flags 2 on are left as they were.
    EXPECT_EQ(p.m_points[3], (PointF{7, 8}));
    EXPECT_EQ(p.m_points[4], (PointF{9, 10}));
    EXPECT_EQ(p.m_points[5], kUnused);
    EXPECT_EQ(p.m_kneeFlags[2], 9);
    EXPECT_EQ(p.m_kneeFlags[3], 9);

    // The next ones follow the sequence: 18467, 6334, 26500, 19169 give these middle points.
    for (float x : {-6.6f, 6.8f, 0.0f, 13.8f}) {
        p.NewPattern();
        EXPECT_EQ(p.m_points[1], (PointF{x, -100.0f}));
    }
}

TEST(NewPattern, MiddlePointIsAMultipleOfAFifthInRange)
{
    CPattern p;
    for (int i = 0; i < 2000; ++i) {
        p.NewPattern();
        float x = p.m_points[1].x;
        ASSERT_GE(x, -20.0f);
        ASSERT_LE(x, 19.8f + 1e-5f);
        float steps = x / 0.2f;
        ASSERT_NEAR(steps, std::round(steps), 1e-3) << x;
        ASSERT_EQ(p.m_points[1].y, -100.0f);
    }
    CZarnix4Doc doc;
    ProgramRandom().Reset();
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.m_pattern.m_count, 2);
    EXPECT_EQ(doc.m_pattern.m_points[1].x, -11.8f);
}

TEST(PatternEdit, SetPointMovesThePointAndItsKnees)
{
    CPattern p = LinePattern(3);
    p.SetPoint(1, PointF{-5.0f, 7.5f});
    EXPECT_EQ(p.m_points[1], (PointF{-5.0f, 7.5f}));
    EXPECT_EQ(p.m_knees[0], (PointF{-2.5f, 3.75f}));
    EXPECT_EQ(p.m_knees[1], (PointF{7.5f, 5.75f}));
    p.SetPoint(3, PointF{100.0f, 0.0f});
    EXPECT_EQ(p.m_points[3], (PointF{100.0f, 0.0f}));
    ExpectConsistent(p);
    EXPECT_EQ(Flags(p), (std::vector<uint8_t>{0, 1, 2}));
}

TEST(PatternEdit, InsertPointPlacesPointAndCopiesTheRightFlag)
{
    const PointF a{0, 0}, b{10, 0}, c{20, 5}, d{30, 0};
    const PointF n{-7.0f, 3.0f};
    const std::vector<uint8_t> flags{0x10, 0x21, 0x32};
    struct Case {
        int after;
        int expectedIndex;
        std::vector<PointF> points;
        std::vector<uint8_t> flags;
    };
    const Case cases[] = {
        {0, 1, {a, n, b, c, d}, {0x10, 0x21, 0x21, 0x32}},   // splits segment 0
        {1, 2, {a, b, n, c, d}, {0x10, 0x21, 0x32, 0x32}},   // splits segment 1
        {2, 3, {a, b, c, n, d}, {0x10, 0x21, 0x32, 0x32}},   // splits the last segment
        {-1, 0, {n, a, b, c, d}, {0x10, 0x10, 0x21, 0x32}},  // prepends
        {3, 4, {a, b, c, d, n}, {0x10, 0x21, 0x32, 0x32}},   // appends
    };
    for (const Case& c0 : cases) {
        CPattern p = MakePattern({a, b, c, d}, flags);
        EXPECT_EQ(p.InsertPoint(c0.after, n), c0.expectedIndex) << "after " << c0.after;
        EXPECT_EQ(p.m_count, 4);
        EXPECT_EQ(Points(p), c0.points) << "after " << c0.after;
        EXPECT_EQ(Flags(p), c0.flags) << "after " << c0.after;
        ExpectConsistent(p);
    }
}

TEST(PatternEdit, InsertionStopsAtThirtyTwoSegments)
{
    CPattern p = LinePattern(31);
    const std::vector<PointF> before = Points(p);
    EXPECT_EQ(p.InsertPoint(30, PointF{305.0f, -1.0f}), 31);
    EXPECT_EQ(p.m_count, 32);
    std::vector<PointF> points = Points(p);
    for (int i = 0; i <= 31; ++i)
        EXPECT_EQ(points[i < 31 ? i : i + 1], before[i]) << "point " << i;
    EXPECT_EQ(p.m_points[31], (PointF{305.0f, -1.0f}));
    std::vector<uint8_t> expectedFlags;
    for (int i = 0; i < 31; ++i)
        expectedFlags.push_back(static_cast<uint8_t>(i));
    expectedFlags.push_back(30);
    EXPECT_EQ(Flags(p), expectedFlags);
    for (int i = 0; i < 32; ++i) {
        PointF a = p.m_points[i], b = p.m_points[i + 1];
        EXPECT_EQ(p.m_knees[i], (PointF{(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f}));
    }

    // Full: every kind of insertion is refused and nothing changes.
    const CPattern full = p;
    for (int after : {-1, 0, 15, 31, 32}) {
        EXPECT_EQ(p.InsertPoint(after, PointF{1.0f, 1.0f}), -1) << after;
        EXPECT_TRUE(SameRecord(p, full)) << after;
    }
}

TEST(PatternEdit, RemovePointJoinsSegmentsAndKeepsTheEarlierFlag)
{
    const PointF a{0, 0}, b{10, 0}, c{20, 5}, d{30, 0};
    const std::vector<uint8_t> flags{0x10, 0x21, 0x32};
    struct Case {
        int index;
        int expectedResult;
        std::vector<PointF> points;
        std::vector<uint8_t> flags;
    };
    const Case cases[] = {
        {1, 0, {a, c, d}, {0x10, 0x32}},
        {2, 1, {a, b, d}, {0x10, 0x21}},
        {0, 0, {b, c, d}, {0x21, 0x32}},
        {3, 2, {a, b, c}, {0x10, 0x21}},
    };
    for (const Case& c0 : cases) {
        CPattern p = MakePattern({a, b, c, d}, flags);
        EXPECT_EQ(p.RemovePoint(c0.index), c0.expectedResult) << "index " << c0.index;
        EXPECT_EQ(p.m_count, 2);
        EXPECT_EQ(Points(p), c0.points) << "index " << c0.index;
        EXPECT_EQ(Flags(p), c0.flags) << "index " << c0.index;
        // The freed entries carry no meaning; only the live part is checked.
        for (int i = 0; i < p.m_count; ++i) {
            PointF s = p.m_points[i], e = p.m_points[i + 1];
            EXPECT_EQ(p.m_knees[i], (PointF{(s.x + e.x) * 0.5f, (s.y + e.y) * 0.5f}));
        }
    }

    CPattern big = LinePattern(8);
    EXPECT_EQ(big.RemovePoint(5), 4);
    EXPECT_EQ(big.m_count, 7);
    EXPECT_EQ(big.m_points[5], (PointF{60.0f, 36.0f}));
    EXPECT_EQ(big.RemovePoint(0), 0);
    EXPECT_EQ(big.m_points[0], (PointF{10.0f, 1.0f}));
}

TEST(PatternEdit, RemovalStopsAtTwoSegments)
{
    CPattern p = LinePattern(3);
    EXPECT_EQ(p.RemovePoint(2), 1);
    ASSERT_EQ(p.m_count, 2);
    const CPattern minimal = p;
    for (int index : {0, 1, 2}) {
        EXPECT_EQ(p.RemovePoint(index), -1) << index;
        EXPECT_TRUE(SameRecord(p, minimal)) << index;
    }
}

TEST(PatternEdit, OutOfRangeIndicesNeverWriteOutsideThePattern)
{
    CPattern p = LinePattern(4);
    const CPattern before = p;
    EXPECT_EQ(p.InsertPoint(-2, PointF{}), -1);
    EXPECT_EQ(p.InsertPoint(5, PointF{}), -1);
    EXPECT_EQ(p.InsertPoint(1000, PointF{}), -1);
    EXPECT_EQ(p.RemovePoint(-1), -1);
    EXPECT_EQ(p.RemovePoint(5), -1);
    p.SetPoint(-1, PointF{});
    p.SetPoint(40, PointF{});
    p.ChangeKneeFlags(-1, 1);
    p.ChangeKneeFlags(4, 1);
    p.ChangeKneeFlags(1000, 0);
    EXPECT_TRUE(SameRecord(p, before));
}

TEST(PatternEdit, ChangeKneeFlags)
{
    CPattern p = MakePattern({{0, 0}, {10, 0}, {20, 0}}, {0, 0});
    const PointF knee0 = p.m_knees[0];
    // bits 0 steps reverse/mirror and clears hide and static.
    struct Step {
        uint8_t from, to;
    };
    for (Step s : {Step{0, 1}, Step{1, 2}, Step{2, 3}, Step{3, 0}, Step{5, 2}, Step{12, 1},
                   Step{0xFF, 0}, Step{0xF4, 1}}) {
        p.m_kneeFlags[0] = s.from;
        p.ChangeKneeFlags(0, 0);
        EXPECT_EQ(p.m_kneeFlags[0], s.to) << "from " << int(s.from);
    }
    // Other bits toggle.
    p.m_kneeFlags[0] = KNEE_REVERSE;
    p.ChangeKneeFlags(0, KNEE_HIDE);
    EXPECT_EQ(p.m_kneeFlags[0], KNEE_REVERSE | KNEE_HIDE);
    p.ChangeKneeFlags(0, KNEE_STATIC);
    EXPECT_EQ(p.m_kneeFlags[0], KNEE_REVERSE | KNEE_HIDE | KNEE_STATIC);
    p.ChangeKneeFlags(0, KNEE_HIDE);
    EXPECT_EQ(p.m_kneeFlags[0], KNEE_REVERSE | KNEE_STATIC);
    p.ChangeKneeFlags(0, KNEE_REVERSE);
    EXPECT_EQ(p.m_kneeFlags[0], KNEE_STATIC);
    // Only the named segment, and the knees stay.
    EXPECT_EQ(p.m_kneeFlags[1], 0);
    p.ChangeKneeFlags(1, KNEE_MIRROR);
    EXPECT_EQ(p.m_kneeFlags[1], KNEE_MIRROR);
    EXPECT_EQ(p.m_kneeFlags[0], KNEE_STATIC);
    EXPECT_EQ(p.m_knees[0], knee0);
}

TEST(PatternHitTest, PointsAndKneesWithinTheRadius)
{
    // Points (0,0) (1000,0) (2000,0) (3000,0): knees at 500, 1500, 2500.
    CPattern p = MakePattern({{0, 0}, {1000, 0}, {2000, 0}, {3000, 0}}, {0, 0, 0});
    uint8_t kind = 99;

    EXPECT_EQ(p.HitTest(PointF{3.0f, -4.0f}, 1.0f, kind), 0);
    EXPECT_EQ(kind, HIT_POINT);
    EXPECT_EQ(p.HitTest(PointF{3010.0f, 5.0f}, 1.0f, kind), 3);
    EXPECT_EQ(kind, HIT_POINT);
    EXPECT_EQ(p.HitTest(PointF{1990.0f, 0.0f}, 1.0f, kind), 2);
    EXPECT_EQ(kind, HIT_POINT);
    EXPECT_EQ(p.HitTest(PointF{1500.0f, 19.0f}, 1.0f, kind), 1);
    EXPECT_EQ(kind, HIT_KNEE);
    EXPECT_EQ(p.HitTest(PointF{2490.0f, -3.0f}, 1.0f, kind), 2);
    EXPECT_EQ(kind, HIT_KNEE);
}

TEST(PatternHitTest, RadiusIsTwentyPixelsInPatternUnits)
{
    // Points (0,0) (10000,0) (20000,0): knee 0 at (5000,0), far from every other candidate.
    CPattern p = MakePattern({{0, 0}, {10000, 0}, {20000, 0}}, {0, 0});
    uint8_t kind = 99;
    struct Case {
        float scale, distance;
        bool hit;
    };
    // At scale 2 the radius is 10 units, at 0.5 it is 40, at 1 it is 20; the edge is outside.
    for (Case c : {Case{2.0f, 9.9f, true}, Case{2.0f, 10.0f, false}, Case{2.0f, 10.1f, false},
                   Case{0.5f, 39.9f, true}, Case{0.5f, 40.0f, false}, Case{0.5f, 40.5f, false},
                   Case{1.0f, 19.9f, true}, Case{1.0f, 20.0f, false}, Case{0.05f, 399.0f, true}}) {
        // Around the interior point 1, and around the knee of segment 0.
        int32_t index = p.HitTest(PointF{10000.0f, c.distance}, c.scale, kind);
        EXPECT_EQ(kind, c.hit ? HIT_POINT : HIT_NONE) << c.scale << " " << c.distance;
        if (c.hit) {
            EXPECT_EQ(index, 1);
        }
        index = p.HitTest(PointF{5000.0f - c.distance, 0.0f}, c.scale, kind);
        EXPECT_EQ(kind, c.hit ? HIT_KNEE : HIT_NONE) << c.scale << " " << c.distance;
        EXPECT_EQ(index, 0) << c.scale << " " << c.distance;
    }
}

TEST(PatternHitTest, TiesGoToTheCandidateExaminedFirst)
{
    // Points (0,0) (20,0) (40,0): knees (10,0) and (30,0).
    CPattern p = MakePattern({{0, 0}, {20, 0}, {40, 0}}, {0, 0});
    uint8_t kind = 99;
    // Exactly between knee 0 and interior point 1.
    EXPECT_EQ(p.HitTest(PointF{15.0f, 0.0f}, 1.0f, kind), 0);
    EXPECT_EQ(kind, HIT_KNEE);
    // Exactly between knee 1 and interior point 1.
    EXPECT_EQ(p.HitTest(PointF{25.0f, 0.0f}, 1.0f, kind), 1);
    EXPECT_EQ(kind, HIT_KNEE);
    // Exactly between point 0 and knee 0.
    EXPECT_EQ(p.HitTest(PointF{5.0f, 0.0f}, 1.0f, kind), 0);
    EXPECT_EQ(kind, HIT_KNEE);
    // Exactly between knee 1 and the last point.
    EXPECT_EQ(p.HitTest(PointF{35.0f, 0.0f}, 1.0f, kind), 1);
    EXPECT_EQ(kind, HIT_KNEE);
    // Knees tie: the lower segment wins.
    CPattern v = MakePattern({{-10, 0}, {0, 0}, {10, 0}}, {0, 0});
    EXPECT_EQ(v.HitTest(PointF{0.0f, 5.0f}, 1.0f, kind), 1);  // interior point 1 is nearest
    EXPECT_EQ(kind, HIT_POINT);
    CPattern w = MakePattern({{-20, 0}, {0, 50}, {20, 0}}, {0, 0});
    EXPECT_EQ(w.HitTest(PointF{0.0f, 45.0f}, 0.1f, kind), 1);  // point 1 nearer than the knees
    EXPECT_EQ(kind, HIT_POINT);
    EXPECT_EQ(w.HitTest(PointF{0.0f, 12.5f}, 0.1f, kind), 0);  // knees equally near; point 1 farther
    EXPECT_EQ(kind, HIT_KNEE);
}

TEST(PatternHitTest, NothingHitNamesTheInsertionPosition)
{
    CPattern p = MakePattern({{0, 0}, {1000, 0}, {2000, 0}, {3000, 0}}, {0, 0, 0});
    uint8_t kind = 99;
    // Outside every radius, nearest to point 0: -1.
    EXPECT_EQ(p.HitTest(PointF{-50.0f, 0.0f}, 1.0f, kind), -1);
    EXPECT_EQ(kind, HIT_NONE);
    // Nearest to the last point: m_count.
    EXPECT_EQ(p.HitTest(PointF{3100.0f, 10.0f}, 1.0f, kind), 3);
    EXPECT_EQ(kind, HIT_NONE);
    // Nearest to a knee: its segment.
    EXPECT_EQ(p.HitTest(PointF{1400.0f, 300.0f}, 1.0f, kind), 1);
    EXPECT_EQ(kind, HIT_NONE);
    // Interior points never decide the index: just outside point 1's radius, the knees of
    // segments 0 and 1 are equally near and the lower one wins.
    EXPECT_EQ(p.HitTest(PointF{1000.0f, 25.0f}, 1.0f, kind), 0);
    EXPECT_EQ(kind, HIT_NONE);
}

TEST(PatternHitTest, FarProbesGiveAValidInsertionIndex)
{
    CPattern p = MakePattern({{0, 0}, {10, 0}, {20, 0}}, {1, 2});
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        PointF probe;
        int expected;  // -2: any valid index
    };
    for (Case c : {Case{{1e6f, 1e6f}, 2}, Case{{-1e6f, 5.0f}, -1}, Case{{5.0f, 1e7f}, 0},
                   Case{{1e30f, 0.0f}, -2}, Case{{-3e38f, -3e38f}, -2}, Case{{inf, 0.0f}, -2},
                   Case{{nan, nan}, -2}, Case{{-inf, inf}, -2}}) {
        for (float scale : {1.0f, 2.0f, 1e-3f}) {
            uint8_t kind = 99;
            CPattern q = p;
            int32_t index = q.HitTest(c.probe, scale, kind);
            EXPECT_EQ(kind, HIT_NONE) << c.probe.x << "," << c.probe.y << " scale " << scale;
            ASSERT_GE(index, -1) << c.probe.x << "," << c.probe.y;
            ASSERT_LE(index, q.m_count) << c.probe.x << "," << c.probe.y;
            if (c.expected != -2) {
                EXPECT_EQ(index, c.expected) << c.probe.x << "," << c.probe.y << " scale " << scale;
            }
            // The caller inserts there: that must work and keep the pattern whole.
            EXPECT_EQ(q.InsertPoint(index, PointF{1.0f, 1.0f}), index + 1);
            EXPECT_EQ(q.m_count, 3);
        }
    }
}
