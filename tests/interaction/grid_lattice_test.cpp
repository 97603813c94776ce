// The lattices of the editing grid: nearest points and the lines that draw them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/test_util.h"
#include "interaction/grid_lattice.h"

namespace {

TEST(GridLatticeTest, SquareLatticeSnapsToMultiplesOfTheSpacing)
{
    const GridSettings grid{GridKind::Square, 10.0f};
    EXPECT_EQ(NearestLatticePoint(grid, PointF{14.9f, -15.1f}), (PointF{10.0f, -20.0f}));
    EXPECT_EQ(NearestLatticePoint(grid, PointF{-4.0f, 4.0f}), (PointF{0.0f, 0.0f}));
    const GridSettings fine{GridKind::Square, 0.25f};
    EXPECT_EQ(NearestLatticePoint(fine, PointF{1.13f, -2.9f}), (PointF{1.25f, -3.0f}));
}

TEST(GridLatticeTest, TriangularLatticeGivesSixtyDegreeTriangles)
{
    const GridSettings grid{GridKind::Triangular, 10.0f};
    const double h = 10.0 * std::sqrt(3.0) / 2.0;
    // Near the apex of the first triangle: (5, h).
    const PointF apex = NearestLatticePoint(grid, PointF{4.0f, 8.0f});
    EXPECT_NEAR(apex.x, 5.0, 1e-5);
    EXPECT_NEAR(apex.y, h, 1e-5);
    // Rows alternate their offset: row -1 sits at x = 5 + 10k.
    const PointF below = NearestLatticePoint(grid, PointF{-6.0f, -9.0f});
    EXPECT_NEAR(below.x, -5.0, 1e-5);
    EXPECT_NEAR(below.y, -h, 1e-5);
    EXPECT_EQ(NearestLatticePoint(grid, PointF{19.0f, 1.0f}), (PointF{20.0f, 0.0f}));
    // Whatever the probe, the answer is a lattice point and no other lattice point is nearer.
    for (float x = -23.0f; x < 23.0f; x += 1.7f) {
        for (float y = -23.0f; y < 23.0f; y += 1.3f) {
            const PointF q = NearestLatticePoint(grid, PointF{x, y});
            const double v = q.y / h;
            const double u = q.x / 10.0 - v / 2.0;
            EXPECT_NEAR(v, std::round(v), 1e-4);
            EXPECT_NEAR(u, std::round(u), 1e-4);
            const double d = std::hypot(q.x - x, q.y - y);
            for (int i = -4; i <= 4; ++i) {
                for (int j = -4; j <= 4; ++j) {
                    const double lx = i * 10.0 + j * 5.0;
                    const double ly = j * h;
                    EXPECT_LE(d, std::hypot(lx - x, ly - y) + 1e-4) << x << " " << y;
                }
            }
        }
    }
}

TEST(GridLatticeTest, InvalidInputComesBackUnchanged)
{
    const PointF p{3.3f, 4.4f};
    EXPECT_EQ(NearestLatticePoint(GridSettings{GridKind::Square, 0.0f}, p), p);
    EXPECT_EQ(NearestLatticePoint(GridSettings{GridKind::Triangular, std::nanf("")}, p), p);
    const PointF inf{std::numeric_limits<float>::infinity(), 1.0f};
    EXPECT_TRUE(std::isinf(NearestLatticePoint(GridSettings{}, inf).x));
    EXPECT_FALSE(IsValidGridSpacing(-1.0f));
    EXPECT_TRUE(IsValidGridSpacing(10.0f));
}

TEST(GridLatticeTest, LinesCoverTheBoxAndStopWhenTooDense)
{
    const std::vector<GridLine> square = GridLines(GridSettings{GridKind::Square, 10.0f}, -25, -5, 25, 35, 100);
    // x = -20 ... 20 (5 lines), y = 0 ... 30 (4 lines).
    ASSERT_EQ(square.size(), 9u);
    EXPECT_EQ(square[0].from, (PointF{-20.0f, -5.0f}));
    EXPECT_EQ(square[8].to, (PointF{25.0f, 30.0f}));
    EXPECT_TRUE(GridLines(GridSettings{GridKind::Square, 0.01f}, -500, -500, 500, 500, 1000).empty());

    // Every triangular line runs through lattice points: horizontal at multiples of h, slanted
    // at 60 degrees.
    const std::vector<GridLine> tri = GridLines(GridSettings{GridKind::Triangular, 10.0f}, -20, -20, 20, 20, 100);
    ASSERT_FALSE(tri.empty());
    const double h = 10.0 * std::sqrt(3.0) / 2.0;
    int rows = 0, rising = 0, falling = 0;
    for (const GridLine& line : tri) {
        const double angle = std::atan2(line.to.y - line.from.y, line.to.x - line.from.x) * 180.0 / 3.14159265358979;
        if (std::fabs(angle) < 1e-3) {
            ++rows;
            EXPECT_NEAR(line.from.y / h, std::round(line.from.y / h), 1e-4);
        } else {
            const bool up = std::fabs(angle - 60.0) < 1e-3;
            EXPECT_TRUE(up || std::fabs(angle - 120.0) < 1e-3) << angle;
            ++(up ? rising : falling);
            // Where the line crosses the x axis: a multiple of the spacing.
            const double x0 = line.from.x - (up ? 1.0 : -1.0) * line.from.y / std::sqrt(3.0);
            EXPECT_NEAR(x0 / 10.0, std::round(x0 / 10.0), 1e-4);
        }
    }
    // Rows at -2h ... 2h; slanted lines crossing the 40 x 40 box.
    EXPECT_EQ(rows, 5);
    EXPECT_EQ(rising, falling);
    EXPECT_GE(rising, 6);
}

}  // namespace
