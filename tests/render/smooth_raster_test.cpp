// The antialiased raster device: coverage of lines and their joints, the even-odd fill,
// blending in linear light and over a transparent background.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "render/smooth_raster.h"

namespace {

constexpr RgbColor kBlack{0, 0, 0};
constexpr RgbColor kWhite{255, 255, 255};
constexpr RgbColor kRed{255, 0, 0};

const uint8_t* PixelOf(const CRgbaImage& image, int x, int y)
{
    return image.pixels.data() + (static_cast<size_t>(y) * image.width + x) * 4;
}

TEST(SmoothRasterTest, LineCoverageIsTheAreaOfTheStroke)
{
    CSmoothRaster raster;
    ASSERT_TRUE(raster.Reset(64, 64));

    // A horizontal line along the middle of row 10 covers that row fully, nothing above or
    // below; its square ends reach half the width beyond the end points, for thin and wide
    // lines alike.
    for (float width : {1.0f, 2.0f}) {
        ASSERT_TRUE(raster.Reset(64, 64));
        raster.SetLineWidth(width);
        raster.StrokeSegment(10.0, 10.5, 40.0, 10.5, 0.0f);
        int sum = 0;
        for (int x = 0; x < 64; ++x) {
            if (x >= 10 && x < 40) {
                EXPECT_EQ(raster.LineCoverage(x, 10), 255) << x;
            }
            EXPECT_EQ(raster.LineCoverage(x, 8), 0) << x;
            EXPECT_EQ(raster.LineCoverage(x, 12), 0) << x;
            sum += raster.LineCoverage(x, 10);
        }
        EXPECT_NEAR(sum, (30 + width) * 255, 2) << width;
    }
    raster.SetLineWidth(1.0f);

    // On a pixel border it shares itself between the two rows: intermediate greys whose
    // column sums are the full line.
    ASSERT_TRUE(raster.Reset(64, 64));
    raster.StrokeSegment(10.0, 30.0, 40.0, 30.0, 0.0f);
    for (int x = 12; x < 38; ++x) {
        EXPECT_EQ(raster.LineCoverage(x, 29), 128) << x;
        EXPECT_EQ(raster.LineCoverage(x, 30), 128) << x;
    }

    // A diagonal line of length L and width w covers about L * w pixels in all (plus its ends).
    for (float width : {1.0f, 3.0f}) {
        ASSERT_TRUE(raster.Reset(64, 64));
        raster.SetLineWidth(width);
        raster.StrokeSegment(10.2, 12.7, 50.2, 42.7, 0.0f);
        double total = 0.0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                total += raster.LineCoverage(x, y) / 255.0;
        const double expected = (50.0 + width) * width;
        EXPECT_NEAR(total, expected, 0.06 * expected) << width;
    }
}

TEST(SmoothRasterTest, JointsAreSeamless)
{
    // A line cut into many short pieces is the same line as one long segment: no darker or
    // lighter spots at the joints.
    CSmoothRaster whole;
    CSmoothRaster pieces;
    ASSERT_TRUE(whole.Reset(80, 80));
    ASSERT_TRUE(pieces.Reset(80, 80));
    whole.StrokeSegment(5.3, 7.1, 70.9, 61.4, 0.0f);
    constexpr int kPieces = 97;
    for (int i = 0; i < kPieces; ++i) {
        const double a = static_cast<double>(i) / kPieces;
        const double b = static_cast<double>(i + 1) / kPieces;
        pieces.StrokeSegment(5.3 + 65.6 * a, 7.1 + 54.3 * a, 5.3 + 65.6 * b, 7.1 + 54.3 * b, 0.0f);
    }
    int worst = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x)
            worst = std::max(worst, std::abs(whole.LineCoverage(x, y) - pieces.LineCoverage(x, y)));
    EXPECT_LE(worst, 2);

    // At a sharp turn of a wide line the outer corner is rounded, not left open: the pixels
    // around the turning point are covered as fully as the line itself, and the pixel beyond
    // it on the outer side nearly so.
    CSmoothRaster corner;
    ASSERT_TRUE(corner.Reset(40, 40));
    corner.SetLineWidth(4.0f);
    corner.StrokeSegment(5.0, 20.0, 20.0, 20.0, 0.0f);
    corner.StrokeSegment(20.0, 20.0, 8.0, 8.0, 0.0f);
    for (int y = 19; y < 21; ++y)
        for (int x = 19; x < 21; ++x)
            EXPECT_EQ(corner.LineCoverage(x, y), 255) << x << "," << y;
    EXPECT_GT(corner.LineCoverage(21, 20), 200);
}

TEST(SmoothRasterTest, ThinLinesCoverTheSameSegmentBySegmentOrAsAPath)
{
    // Recording positions (a gradient) walks every pixel of a thin line's column on its own;
    // without, the pixels of a column are worked out together, and a polyline's segments set
    // up four at a time. All give the same coverage and picture, at every width a thin line
    // can have, at any slope, across the picture's edges and with ends far outside it.
    struct Point {
        double x;
        double y;
    };
    // A few separate short strokes, flat and steep, each on rows of its own; and a long
    // tangle with far excursions and segments of no length.
    std::vector<Point> sparse = {{3.2, 2.7},   {5.9, 3.1},   {9.4, 14.2},  {12.1, 13.6}, {20.5, 24.9},
                                 {21.1, 27.3}, {30.8, 35.2}, {31.3, 38.9}, {40.2, 43.6}};
    std::vector<Point> tangle;
    uint32_t state = 12345;
    auto next = [&state](double range) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) * (range / 16777216.0) - 3.0;
    };
    for (int i = 0; i < 403; ++i) {
        const Point last = tangle.empty() ? Point{30.0, 20.0} : tangle.back();
        if (i % 50 == 17)
            tangle.push_back({last.x * 4000.0, -last.y * 3000.0});  // far away, then back
        else if (i % 9 == 4)
            tangle.push_back(last);
        else if (i % 13 == 0)
            tangle.push_back({next(67.0), next(53.0)});
        else
            tangle.push_back({last.x + next(12.0), last.y + next(12.0)});
    }
    for (const std::vector<Point>& points : {sparse, tangle}) {
        for (float width : {0.3f, 1.0f, 1.3f, 1.5f}) {
            CSmoothRaster walked;
            CSmoothRaster together;
            CSmoothRaster path;
            walked.SetRecordPosition(true);
            for (CSmoothRaster* raster : {&walked, &together, &path}) {
                ASSERT_TRUE(raster->Reset(61, 47));
                raster->SetLineWidth(width);
            }
            for (size_t i = 1; i < points.size(); ++i) {
                walked.StrokeSegment(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y, 0.5f);
                together.StrokeSegment(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y, 0.0f);
            }
            path.StrokeThinPath(points[0].x, points[0].y, &points[1].x, sizeof(Point), points.size() - 1);
            for (int y = 0; y < 47; ++y) {
                for (int x = 0; x < 61; ++x) {
                    ASSERT_EQ(walked.LineCoverage(x, y), together.LineCoverage(x, y)) << width << ": " << x << "," << y;
                    ASSERT_EQ(path.LineCoverage(x, y), together.LineCoverage(x, y)) << width << ": " << x << "," << y;
                }
            }
            // Compositing reads every row drawn on, and clears it.
            CRgbaImage a;
            CRgbaImage b;
            CSmoothRaster::Clear(a, 61, 47, kWhite, 255);
            CSmoothRaster::Clear(b, 61, 47, kWhite, 255);
            together.CompositeLines(a, kBlack);
            path.CompositeLines(b, kBlack);
            EXPECT_TRUE(a.pixels == b.pixels) << width;
            for (int y = 0; y < 47; ++y)
                for (int x = 0; x < 61; ++x)
                    ASSERT_EQ(path.LineCoverage(x, y), 0) << width << ": " << x << "," << y;
        }
    }
}

TEST(SmoothRasterTest, FillFollowsTheEvenOddRule)
{
    // A square with a square hole wound the same way: by the even-odd rule the hole stays
    // empty (a non-zero fill would cover it). The outer square crosses the picture's left
    // and top borders, and its far corner lies thousands of pixels away.
    CSmoothRaster raster;
    CRgbaImage image;
    ASSERT_TRUE(raster.Reset(50, 50));
    CSmoothRaster::Clear(image, 50, 50, kWhite, 255);
    const double outer[5][2] = {{-10, -10}, {5000, -10}, {40, 40}, {-10, 40}, {-10, -10}};
    const double inner[5][2] = {{10, 10}, {30, 10}, {30, 30}, {10, 30}, {10, 10}};
    for (int i = 0; i < 4; ++i) {
        raster.FillEdge(outer[i][0], outer[i][1], outer[i + 1][0], outer[i + 1][1]);
        raster.FillEdge(inner[i][0], inner[i][1], inner[i + 1][0], inner[i + 1][1]);
    }
    raster.CompositeFill(image, kBlack);
    EXPECT_EQ(PixelOf(image, 20, 20)[0], 255);  // the hole
    EXPECT_EQ(PixelOf(image, 5, 5)[0], 0);      // the ring
    EXPECT_EQ(PixelOf(image, 0, 0)[0], 0);      // beyond the left and top borders
    EXPECT_EQ(PixelOf(image, 35, 35)[0], 0);
    EXPECT_EQ(PixelOf(image, 20, 45)[0], 255);  // below the polygon
    // Edges on pixel borders are sharp.
    EXPECT_EQ(PixelOf(image, 9, 20)[0], 0);
    EXPECT_EQ(PixelOf(image, 10, 20)[0], 255);

    // A triangle edge through pixels gives intermediate values (blended in linear light).
    ASSERT_TRUE(raster.Reset(50, 50));
    CSmoothRaster::Clear(image, 50, 50, kWhite, 255);
    raster.FillEdge(0, 0, 50, 50);
    raster.FillEdge(50, 50, 0, 50);
    raster.FillEdge(0, 50, 0, 0);
    raster.CompositeFill(image, kBlack);
    EXPECT_EQ(PixelOf(image, 5, 30)[0], 0);
    EXPECT_EQ(PixelOf(image, 30, 5)[0], 255);
    // The diagonal halves pixel (20, 20): half the light of white is sRGB 188, not 128.
    EXPECT_NEAR(PixelOf(image, 20, 20)[0], 188, 2);
}

TEST(SmoothRasterTest, BlendsInLinearLightAndOverTransparency)
{
    CSmoothRaster raster;
    CRgbaImage image;
    ASSERT_TRUE(raster.Reset(20, 20));
    CSmoothRaster::Clear(image, 20, 20, kWhite, 255);
    raster.StrokeSegment(2.0, 10.0, 18.0, 10.0, 0.0f);  // half of rows 9 and 10
    raster.CompositeLines(image, kBlack);
    EXPECT_NEAR(PixelOf(image, 10, 9)[0], 188, 2);
    EXPECT_EQ(PixelOf(image, 10, 9)[3], 255);
    // The mask is cleared by compositing.
    EXPECT_EQ(raster.LineCoverage(10, 9), 0);

    // Over a transparent background the colour stays the line's own and the coverage
    // becomes the alpha.
    CSmoothRaster::Clear(image, 20, 20, kWhite, 0);
    raster.StrokeSegment(2.0, 10.0, 18.0, 10.0, 0.0f);
    raster.StrokeSegment(10.5, 2.0, 10.5, 8.0, 0.0f);
    raster.CompositeLines(image, kRed);
    const uint8_t* half = PixelOf(image, 6, 9);
    EXPECT_EQ(half[0], 255);
    EXPECT_EQ(half[1], 0);
    EXPECT_NEAR(half[3], 128, 1);
    const uint8_t* full = PixelOf(image, 10, 5);
    EXPECT_EQ(full[0], 255);
    EXPECT_EQ(full[3], 255);
    EXPECT_EQ(PixelOf(image, 15, 3)[3], 0);
}

}  // namespace
