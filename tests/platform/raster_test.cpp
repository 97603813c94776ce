// The raster device: bitmap allocation, the clipped line stepper and its pen patterns,
// rectangles and the even-odd polygon filler, checked against slow direct references.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/bitmap.h"
#include "platform/dc.h"

namespace {

__extension__ typedef __int128 Int128;
using Pixels = std::set<std::pair<int, int>>;
constexpr uint32_t kPen = 0xFF0000, kBrush = 0x00C800;  // RGB(255, 0, 0) and RGB(0, 200, 0)
constexpr int32_t kMin = std::numeric_limits<int32_t>::min(), kMax = std::numeric_limits<int32_t>::max();

struct Canvas {
    CBitmap bitmap;
    CDC dc;
    Canvas(int w, int h, PenStyle style = PS_SOLID)
    {
        EXPECT_TRUE(bitmap.Create(w, h));
        dc.Attach(&bitmap);
        Pen(style);
        dc.SelectBrush(CBrush{RGB(0, 200, 0)});
    }
    void Pen(PenStyle style)
    {
        CPen pen;
        pen.CreatePen(style, 1, RGB(255, 0, 0));
        dc.SelectPen(pen);
    }
    void Clear() { std::fill(bitmap.Bits(), bitmap.Bits() + bitmap.Width() * bitmap.Height(), 0u); }
    Pixels With(uint32_t v, bool equal = true) const
    {
        Pixels out;
        for (int y = 0; y < bitmap.Height(); ++y)
            for (int x = 0; x < bitmap.Width(); ++x)
                if ((bitmap.Pixel(x, y) == v) == equal)
                    out.insert({x, y});
        return out;
    }
    Pixels Lit() const { return With(0, false); }
};

Int128 FloorDiv(Int128 a, Int128 b)  // b > 0
{
    return a / b - (a % b != 0 && a < 0 ? 1 : 0);
}

// The pixels of the line a..b (end left out) on a w x h canvas whose step number passes `keep`,
// taken straight from the ideal line one major-axis column at a time: the minor coordinate is
// the exact one rounded to nearest, halves towards the larger coordinate.
template <class Keep>
Pixels ReferenceLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int w, int h, Keep keep)
{
    Pixels out;
    const bool steep = std::abs(y1 - y0) > std::abs(x1 - x0);
    if (steep) {
        std::swap(x0, y0), std::swap(x1, y1), std::swap(w, h);
    }
    const int64_t dx = x1 - x0, dy = y1 - y0, adx = std::abs(dx);
    for (int x = 0; x < w && adx > 0; ++x) {
        const int64_t i = (x - x0) * (dx < 0 ? -1 : 1);
        const Int128 y = FloorDiv(Int128{2} * y0 * adx + Int128{2} * dy * i + adx, Int128{2} * adx);
        if (i >= 0 && i < adx && y >= 0 && y < h && keep(i))
            out.insert(steep ? std::pair{static_cast<int>(y), x} : std::pair{x, static_cast<int>(y)});
    }
    return out;
}

// Even-odd test of the pixel centre (px + 0.5, py + 0.5): count the edges whose half-open vertical
// span holds it and whose crossing lies strictly left of it. Exact, by cross-multiplying.
bool Inside(const std::vector<POINT>& poly, int64_t px, int64_t py)
{
    bool inside = false;
    for (size_t i = 0; i < poly.size(); ++i) {
        POINT a = poly[i], b = poly[(i + 1) % poly.size()];
        if (a.y > b.y)
            std::swap(a, b);
        if (2 * int64_t{a.y} <= 2 * py + 1 && 2 * py + 1 < 2 * int64_t{b.y})
            inside ^= Int128{2 * int64_t{a.x}} * (int64_t{b.y} - a.y) +
                          Int128{int64_t{b.x} - a.x} * (2 * py + 1 - 2 * int64_t{a.y}) <
                      Int128{2 * px + 1} * (int64_t{b.y} - a.y);
    }
    return inside;
}

// Every pixel after Polygon: the pen where the closed outline drawn alone with LineTo lies,
// else the brush where the centre is inside, else untouched.
void ExpectPolygon(CDC& dc, CBitmap& bitmap, const std::vector<POINT>& poly)
{
    const int w = bitmap.Width(), h = bitmap.Height();
    std::fill(bitmap.Bits(), bitmap.Bits() + w * h, 0u);
    dc.Polygon(poly.data(), static_cast<int>(poly.size()));
    Canvas outline(w, h);
    outline.dc.MoveTo(poly[0].x, poly[0].y);
    for (size_t i = 1; i <= poly.size(); ++i)
        outline.dc.LineTo(poly[i % poly.size()].x, poly[i % poly.size()].y);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(bitmap.Pixel(x, y), outline.bitmap.Pixel(x, y) ? kPen : Inside(poly, x, y) ? kBrush : 0u)
                << x << "," << y << " in a " << w << "x" << h << " bitmap, polygon from " << poly[0].x << ","
                << poly[0].y;
}

// Mostly near the canvas, sometimes a million pixels away, 2^30 away or at the int32 limits.
int32_t Coordinate(std::mt19937& rng, int span)
{
    switch (rng() % 10) {
    case 0: return static_cast<int32_t>(rng() % 2000001) - 1000000;
    case 1: return (rng() & 1 ? 1 : -1) * ((1 << 30) + static_cast<int32_t>(rng() % 101) - 50);
    case 2: return rng() & 1 ? kMax - static_cast<int32_t>(rng() % 4) : kMin + static_cast<int32_t>(rng() % 4);
    default: return static_cast<int32_t>(rng() % (2 * span)) - span / 2;
    }
}

}  // namespace

TEST(RasterBitmap, CreateRefusesBadSizesAndStoresRedGreenBlue)
{
    CBitmap b;
    ASSERT_TRUE(b.Create(13, 7));
    EXPECT_EQ(b.Row(6) - b.Row(0), 6 * 13);
    EXPECT_TRUE(std::all_of(b.Bits(), b.Bits() + 13 * 7, [](uint32_t p) { return p == 0; }));
    for (auto [w, h] :
         {std::pair{0, 10}, {10, 0}, {-1, 10}, {10, -5}, {kMin, kMin}, {kMax, kMax}, {kMax, 2}, {100000, 100000}}) {
        ASSERT_TRUE(b.Create(4, 4));
        EXPECT_FALSE(b.Create(w, h)) << w << "x" << h;  // and drops what was there
        EXPECT_TRUE(b.IsEmpty() && b.Width() == 0 && b.Height() == 0);
    }
    Canvas c(4, 4);
    c.dc.FillSolidRect(0, 0, 1, 1, RGB(1, 2, 3));
    const auto* bytes = reinterpret_cast<const uint8_t*>(c.bitmap.Bits());
    EXPECT_EQ(std::vector<int>(bytes, bytes + 4), (std::vector<int>{3, 2, 1, 0}));  // blue, green, red, 0
    EXPECT_EQ(GrayBrush().color, RGB(128, 128, 128));
}

TEST(RasterLine, LineToLeavesOutTheEndPixelAndMovesThere)
{
    Canvas c(20, 10);
    c.dc.MoveTo(2, 3);
    c.dc.LineTo(7, 3);
    EXPECT_EQ(c.Lit(), (Pixels{{2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}}));
    c.dc.LineTo(7, 3);  // zero length: nothing, not even its start
    EXPECT_EQ(c.Lit().size(), 5u);
    EXPECT_EQ(c.dc.CurrentPosition(), (POINT{7, 3}));
    CDC detached;  // without a bitmap it only moves
    detached.LineTo(kMax, kMin);
    EXPECT_EQ(detached.CurrentPosition(), (POINT{kMax, kMin}));
}

TEST(RasterLine, AxisDiagonalAndSteepLinesInEveryDirection)
{
    for (auto [a, b] : {std::pair{POINT{1, 4}, POINT{9, 4}}, {{9, 4}, {1, 4}}, {{3, 0}, {3, 8}}, {{3, 8}, {3, 0}},
                        {{0, 0}, {7, 7}}, {{7, 7}, {0, 0}}, {{0, 7}, {7, 0}}, {{7, 0}, {0, 7}}}) {
        Canvas c(12, 12);
        c.dc.MoveTo(a.x, a.y);
        c.dc.LineTo(b.x, b.y);
        Pixels expected;
        for (int i = 0; i < std::max(std::abs(b.x - a.x), std::abs(b.y - a.y)); ++i)
            expected.insert({a.x + i * ((b.x > a.x) - (b.x < a.x)), a.y + i * ((b.y > a.y) - (b.y < a.y))});
        EXPECT_EQ(c.Lit(), expected) << a.x << "," << a.y << " -> " << b.x << "," << b.y;
    }
    // Steep, worked by hand: x = 2i/7 rounded to nearest for i = 0..6.
    Canvas c(5, 10);
    c.dc.MoveTo(0, 0);
    c.dc.LineTo(2, 7);
    EXPECT_EQ(c.Lit(), (Pixels{{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {2, 6}}));
}

TEST(RasterLine, ClippingDrawsExactlyTheVisiblePixelsOfTheWholeLine)
{
    Canvas c(64, 48);
    c.dc.MoveTo(-1000000, -1000000);
    c.dc.LineTo(1000000, 1000000);
    Pixels diagonal;
    for (int k = 0; k < 48; ++k)
        diagonal.insert({k, k});
    EXPECT_EQ(c.Lit(), diagonal);

    // Random lines, ends near and far, solid and dashed (the pattern phase must survive clipping).
    // Lines spanning the int32 range would take billions of steps if they were not clipped first.
    std::mt19937 rng(12345);
    for (int k = 0; k < 6000; ++k) {
        const bool dashed = k % 2;
        int32_t x0 = Coordinate(rng, 64), y0 = Coordinate(rng, 48), x1 = Coordinate(rng, 64), y1 = Coordinate(rng, 48);
        if (k % 3 == 0) {
            // Through a point near the canvas along a small direction such as (2, -1), so that
            // halfway cases fall exactly on the canvas edges where clipping starts the stepper.
            const int32_t dx = static_cast<int32_t>(rng() % 7) - 3, dy = static_cast<int32_t>(rng() % 7) - 3;
            const int32_t back = static_cast<int32_t>(rng() % 300000), ahead = static_cast<int32_t>(rng() % 300000);
            x1 = x0 % 80 + ahead * dx, y1 = y0 % 60 + ahead * dy;
            x0 = x0 % 80 - back * dx, y0 = y0 % 60 - back * dy;
        }
        c.Clear();
        c.Pen(dashed ? PS_DASH : PS_SOLID);
        c.dc.MoveTo(x0, y0);
        c.dc.LineTo(x1, y1);
        ASSERT_EQ(c.Lit(), ReferenceLine(x0, y0, x1, y1, 64, 48, [&](int64_t i) { return !dashed || i % 24 < 18; }))
            << (dashed ? "dashed " : "solid ") << x0 << "," << y0 << " -> " << x1 << "," << y1;
    }
}

TEST(RasterPattern, DashAndDotRunLengthsCarryOnAcrossLineTo)
{
    for (auto [style, on, off] : {std::tuple{PS_DASH, 18, 6}, {PS_DOT, 3, 3}}) {
        Canvas whole(150, 1, style), pieces(150, 1, style);
        whole.dc.MoveTo(0, 0);
        whole.dc.LineTo(150, 0);
        std::vector<int> runs{0};
        for (int x = 0; x < 150; ++x) {
            if ((whole.bitmap.Pixel(x, 0) != 0) != (runs.size() % 2 == 1))
                runs.push_back(0);
            ++runs.back();
        }
        ASSERT_GE(runs.size(), 4u);
        for (size_t i = 0; i + 1 < runs.size(); ++i)
            EXPECT_EQ(runs[i], i % 2 ? off : on) << "run " << i;
        pieces.dc.MoveTo(0, 0);  // short pieces of one path keep the pattern going
        for (int x = 7; x <= 150; x += 7)
            pieces.dc.LineTo(std::min(x + 4, 150), 0);
        EXPECT_EQ(pieces.Lit(), whole.Lit());
    }
    Canvas c(30, 2, PS_DASH);  // SelectPen and MoveTo start the pattern afresh
    c.dc.MoveTo(0, 0);
    c.dc.LineTo(20, 0);
    c.Pen(PS_DOT);
    c.dc.LineTo(30, 0);
    c.dc.MoveTo(0, 1);
    c.dc.LineTo(30, 1);
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(c.bitmap.Pixel(20 + x, 0) != 0, x % 6 < 3) << x;
        EXPECT_EQ(c.bitmap.Pixel(x, 1) != 0, x % 6 < 3) << x;
    }
}

TEST(RasterPattern, PathsOfShortAndClippedLinesMatchTheReferenceWithEveryPen)
{
    // Lines wholly on the canvas take a shorter set-up than clipped ones; along one path the
    // two kinds alternate and the pattern must run on across both. Polygon outlines mix them too.
    std::mt19937 rng(77);
    for (auto [style, period, on] : {std::tuple{PS_SOLID, 1, 1}, {PS_DASH, 24, 18}, {PS_DOT, 6, 3}}) {
        for (int path = 0; path < 20; ++path) {
            Canvas c(97, 61, style);
            std::vector<POINT> pts{{48, 30}};
            while (pts.size() < 2 + rng() % 60) {
                const int32_t reach = rng() % 4 == 0 ? 40 : 6;  // mostly short steps, some long ones
                const auto step = [&](int32_t from, int32_t low, int32_t high) {
                    return std::clamp(from, low, high) + static_cast<int32_t>(rng() % (2 * reach + 1)) - reach;
                };
                pts.push_back(rng() % 8 == 0 ? POINT{Coordinate(rng, 97), Coordinate(rng, 61)}
                                             : POINT{step(pts.back().x, -20, 116), step(pts.back().y, -20, 80)});
            }
            Pixels expected;
            int64_t phase = 0;
            for (size_t i = 1; i < pts.size(); ++i) {
                const POINT a = pts[i - 1], b = pts[i];
                const Pixels line = ReferenceLine(a.x, a.y, b.x, b.y, 97, 61, [&](int64_t k) { return (phase + k) % period < on; });
                expected.insert(line.begin(), line.end());
                phase = (phase + std::max(std::abs(int64_t{b.x} - a.x), std::abs(int64_t{b.y} - a.y))) % period;
            }
            c.dc.MoveTo(pts[0].x, pts[0].y);
            for (size_t i = 1; i < pts.size(); ++i)
                c.dc.LineTo(pts[i].x, pts[i].y);
            ASSERT_EQ(c.Lit(), expected) << "pen " << int{style} << ", path " << path;

            // The same points as a polygon, its black fill unseen on the black canvas: the
            // outline is the path closed back to the first point.
            c.Clear();
            c.dc.SelectBrush(CBrush{RGB(0, 0, 0)});
            c.dc.Polygon(pts.data(), static_cast<int>(pts.size()));
            const POINT a = pts.back(), b = pts[0];
            const Pixels closing = ReferenceLine(a.x, a.y, b.x, b.y, 97, 61, [&](int64_t k) { return (phase + k) % period < on; });
            expected.insert(closing.begin(), closing.end());
            ASSERT_EQ(c.Lit(), expected) << "polygon, pen " << int{style} << ", path " << path;
        }
    }
}

TEST(RasterRectangle, FillOutlineAndClipping)
{
    Canvas c(14, 12), reversed(14, 12);
    c.dc.Rectangle(2, 3, 10, 8);
    reversed.dc.Rectangle(10, 8, 2, 3);  // corners in the other order
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 14; ++x) {
            const bool in = x >= 2 && x < 10 && y >= 3 && y < 8, ring = in && (x == 2 || x == 9 || y == 3 || y == 7);
            EXPECT_EQ(c.bitmap.Pixel(x, y), ring ? kPen : in ? kBrush : 0u) << x << "," << y;
        }
    EXPECT_EQ(reversed.Lit(), c.Lit());
    // Thin rectangles are all outline; one off every edge is all fill; l, t, r, b, pen, brush.
    for (auto [l, t, r, b, pen, brush] : {std::tuple{1, 1, 2, 2, 1, 0}, {2, 5, 8, 6, 6, 0}, {4, 0, 5, 9, 9, 0},
                                          {3, 3, 3, 8, 0, 0}, {-5, -5, 1000000, 1000000, 0, 168},
                                          {kMin, 4, kMax, 6, 28, 0}}) {
        c.Clear();
        c.dc.Rectangle(l, t, r, b);
        EXPECT_EQ(c.With(kPen).size(), size_t(pen)) << l << "," << t << "," << r << "," << b;
        EXPECT_EQ(c.With(kBrush).size(), size_t(brush)) << l << "," << t << "," << r << "," << b;
    }
    Canvas dashed(60, 40, PS_DASH);  // the dash runs on round the corners of the 50 x 30 ring
    dashed.dc.Rectangle(5, 5, 55, 35);
    size_t lit = 0;
    for (int i = 0; i < 2 * 49 + 2 * 29; ++i)
        lit += i % 24 < 18;
    EXPECT_EQ(dashed.With(kPen).size(), lit);
    EXPECT_EQ(dashed.With(kPen).size() + dashed.With(kBrush).size(), 50u * 30u);

    c.Clear();
    c.dc.FillSolidRect(-3, -2, 5, 4, RGB(0, 0, 9));
    EXPECT_EQ(c.Lit(), (Pixels{{0, 0}, {1, 0}, {0, 1}, {1, 1}}));
    c.dc.FillSolidRect(12, 10, kMax, kMax, RGB(0, 0, 9));  // the far corner overflows int32
    EXPECT_EQ(c.Lit().size(), 8u);
    for (auto [x, y, w, h] :
         {std::tuple{kMin, kMin, kMax, kMax}, {2, 2, 0, 5}, {2, 2, -3, 5}, {2, 2, 5, -1}, {14, 0, 5, 5}})
        c.dc.FillSolidRect(x, y, w, h, RGB(0, 0, 9));
    EXPECT_EQ(c.Lit().size(), 8u);
}

TEST(RasterPolygon, SquarePentagramAndDegenerateCounts)
{
    Canvas c(14, 14);
    const POINT square[] = {{2, 2}, {10, 2}, {10, 10}, {2, 10}};
    c.dc.Polygon(square, 4);
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 14; ++x) {  // filled 2..9 square; the closed outline on lines 2 and 10
            const bool in = x >= 2 && x <= 10 && y >= 2 && y <= 10;
            const bool ring = in && (x == 2 || x == 10 || y == 2 || y == 10);
            EXPECT_EQ(c.bitmap.Pixel(x, y), ring ? kPen : in ? kBrush : 0u) << x << "," << y;
        }
    EXPECT_EQ(c.dc.CurrentPosition(), (POINT{0, 0}));

    Canvas star(101, 101);
    std::vector<POINT> pts;
    for (int k = 0; k < 5; ++k) {
        const double a = -std::numbers::pi / 2 + k * 4 * std::numbers::pi / 5;
        pts.push_back({static_cast<int32_t>(std::lround(50 + 45 * std::cos(a))),
                       static_cast<int32_t>(std::lround(50 + 45 * std::sin(a)))});
    }
    ExpectPolygon(star.dc, star.bitmap, pts);
    EXPECT_EQ(star.bitmap.Pixel(50, 50), 0u);  // the middle pentagon is inside twice
    EXPECT_EQ(star.bitmap.Pixel(50, 15), kBrush);

    Canvas d(10, 10);
    d.dc.Polygon(square, 0);
    d.dc.Polygon(square, 1);
    d.dc.Polygon(nullptr, 3);
    EXPECT_TRUE(d.Lit().empty());
    d.dc.Polygon(square, 2);  // just the segment, there and back: 2..10 on row 2
    EXPECT_EQ(d.Lit(), ReferenceLine(2, 2, 11, 2, 10, 10, [](int64_t) { return true; }));
}

TEST(RasterPolygon, FarVerticesAndRandomPolygonsMatchThePixelCentreTest)
{
    Canvas c(40, 30);
    c.dc.Polygon(std::vector<POINT>{{-1000000, -1000000}, {3000000, -1000000}, {-1000000, 3000000}}.data(), 3);
    EXPECT_EQ(c.With(kBrush).size(), 40u * 30u);  // covers the canvas, outline all out of view
    const std::vector<std::vector<POINT>> far = {
        {{kMin, kMin}, {kMax, kMin}, {kMax, kMax}, {kMin, kMax}},
        {{kMin, 0}, {kMax, 29}, {kMax, 0}, {kMin, 29}},
        {{-(1 << 30), 5}, {39, 5}, {20, 25}, {5, -(1 << 30)}, {60, 1 << 30}},
    };
    for (const auto& p : far)
        ExpectPolygon(c.dc, c.bitmap, p);
    Canvas wide(100, 3);  // a row of two flag words, filled from column 10 out past the right edge
    ExpectPolygon(wide.dc, wide.bitmap, {{10, 0}, {1000000, 0}, {1000000, 1}, {10, 1}});

    // One device over two bitmaps of different shapes: the filler's work space must come back clean.
    CBitmap other;
    ASSERT_TRUE(other.Create(17, 45));
    std::mt19937 rng(99);
    for (int k = 0; k < 300 && !HasFatalFailure(); ++k) {
        std::vector<POINT> poly(3 + rng() % 28);
        for (POINT& p : poly)
            p = k % 3 ? POINT{static_cast<int32_t>(rng() % 60) - 10, static_cast<int32_t>(rng() % 60) - 10}
                      : POINT{Coordinate(rng, 40), Coordinate(rng, 30)};
        c.dc.Attach(k % 2 ? &other : &c.bitmap);
        ExpectPolygon(c.dc, *c.dc.Bitmap(), poly);
    }
}

TEST(RasterPolygon, HundredThousandPointsDoNotDependOnStartOrDirection)
{
    // A noisy curve of 100,005 points, three turns crossing itself many times: fill and solid
    // outline are the same from any start and in either direction, and again when redrawn.
    std::mt19937 rng(2024);
    std::vector<POINT> pts(100005);
    for (size_t i = 0; i < pts.size(); ++i) {
        const double a = 6 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(pts.size());
        pts[i] = {static_cast<int32_t>(200 + 150 * std::cos(a)) + static_cast<int32_t>(rng() % 81) - 40,
                  static_cast<int32_t>(150 + 110 * std::sin(a * 1.0001)) + static_cast<int32_t>(rng() % 81) - 40};
    }
    Canvas a(400, 300), b(400, 300);
    a.dc.Polygon(pts.data(), static_cast<int>(pts.size()));
    std::rotate(pts.begin(), pts.begin() + 777, pts.end());
    std::reverse(pts.begin(), pts.end());
    b.dc.Polygon(pts.data(), static_cast<int>(pts.size()));
    EXPECT_TRUE(std::equal(a.bitmap.Bits(), a.bitmap.Bits() + 400 * 300, b.bitmap.Bits()));
    EXPECT_FALSE(a.With(kBrush).empty());
    b.dc.Polygon(pts.data(), static_cast<int>(pts.size()));
    EXPECT_TRUE(std::equal(a.bitmap.Bits(), a.bitmap.Bits() + 400 * 300, b.bitmap.Bits()));
}
