// The canvas's bitmap and the drawing of a scene: background, pattern overlay, fractal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <vector>

#include "common/renderer_test_support.h"

using namespace renderer_test;

namespace {

// The colours met along the inside of a horizontal or vertical line, its ends left out.
std::set<uint32_t> ColoursAlong(const CFractalRenderer& r, POINT a, POINT b)
{
    std::set<uint32_t> colours;
    const int dx = (b.x > a.x) - (b.x < a.x);
    const int dy = (b.y > a.y) - (b.y < a.y);
    const int steps = std::max(std::abs(b.x - a.x), std::abs(b.y - a.y));
    for (int k = 5; k <= steps - 5; ++k)
        colours.insert(PixelAt(r, a.x + k * dx, a.y + k * dy));
    return colours;
}

}  // namespace

TEST(CanvasTest, BitmapSizeFollowsTheScreenButNeverShrinksBelowTheCanvas)
{
    CMemoryCanvas canvas;
    canvas.m_nWidth = 800;
    canvas.m_nHeight = 600;
    canvas.SetScreenSize(1024, 768);
    canvas.BeginDraw();
    EXPECT_TRUE(canvas.m_dc.IsAttached());
    EXPECT_EQ(canvas.m_bitmap.Width(), 1024);
    EXPECT_EQ(canvas.m_bitmap.Height(), 768);
    EXPECT_EQ(canvas.m_nRecreateBitmap, 0);
    canvas.m_dc.FillSolidRect(0, 0, 10, 10, RGB(1, 2, 3));
    canvas.EndDraw();
    EXPECT_FALSE(canvas.m_dc.IsAttached());

    // The next picture reuses the bitmap and finds the last picture in it.
    canvas.BeginDraw();
    EXPECT_EQ(canvas.m_bitmap.Pixel(5, 5), PixelFromColor(RGB(1, 2, 3)));
    canvas.EndDraw();

    // A screen smaller than the canvas: the canvas size wins, per axis.
    canvas.SetScreenSize(640, 900);
    canvas.m_nRecreateBitmap = 1;
    canvas.BeginDraw();
    EXPECT_EQ(canvas.m_bitmap.Width(), 800);
    EXPECT_EQ(canvas.m_bitmap.Height(), 900);
    canvas.EndDraw();

    // A window that grew beyond the bitmap gets a new one at its size.
    canvas.m_nWidth = 1200;
    canvas.BeginDraw();
    EXPECT_EQ(canvas.m_bitmap.Width(), 1200);
    EXPECT_EQ(canvas.m_bitmap.Height(), 900);
    canvas.EndDraw();

    // The bitmap export's request: exactly the canvas size.
    canvas.m_nWidth = 300;
    canvas.m_nHeight = 200;
    canvas.m_nRecreateBitmap = 2;
    canvas.BeginDraw();
    EXPECT_EQ(canvas.m_bitmap.Width(), 300);
    EXPECT_EQ(canvas.m_bitmap.Height(), 200);
    canvas.EndDraw();

    canvas.DeleteBitmap();
    EXPECT_TRUE(canvas.m_bitmap.IsEmpty());
}

TEST(CanvasTest, ABitmapThatCannotBeCreatedLeavesNothingToDrawOn)
{
    auto r = MakeRenderer(0, 0);
    r->SetScreenSize(0, 0);
    r->m_nRecreateBitmap = 2;
    const CPattern pattern = MakePattern({{-100, 0}, {0, 100}, {100, 0}});
    r->BeginDraw();
    EXPECT_TRUE(r->m_bitmap.IsEmpty());
    EXPECT_FALSE(r->m_dc.IsAttached());
    r->DrawScene(pattern);
    EXPECT_EQ(r->m_bRedraw, 0);
    r->EndDraw();

    // A later request with a usable size brings the canvas back.
    r->SetCanvasSize(40, 30);
    r->m_nRecreateBitmap = 1;
    r->m_bShowPattern = 0;
    r->m_bShowFractal = 0;
    Paint(*r, pattern);
    ASSERT_FALSE(r->m_bitmap.IsEmpty());
    EXPECT_EQ(PixelAt(*r, 39, 29), kWhitePixel);
}

TEST(RendererTest, CanvasSizeSetsTheCentreAndAsksForARedraw)
{
    auto r = std::make_unique<CFractalRenderer>();
    EXPECT_EQ(r->m_nPolygonMax, POLYGON_CAPACITY);
    ASSERT_NE(r->m_pPolygon, nullptr);

    // Odd sizes put the centre on the pixel below the half.
    r->SetCanvasSize(801, 601);
    EXPECT_EQ(r->m_transform.m_center, (POINT{400, 300}));
    EXPECT_EQ(r->m_rcClient.right, 801);
    EXPECT_EQ(r->m_rcClient.bottom, 601);
    EXPECT_EQ(r->m_nWidth, 801);

    // The same size again changes nothing and asks for no redraw.
    r->m_bRedraw = 0;
    r->m_transform.m_center = POINT{1, 1};
    r->SetCanvasSize(801, 601);
    EXPECT_EQ(r->m_bRedraw, 0);
    EXPECT_EQ(r->m_transform.m_center, (POINT{1, 1}));
    r->SetCanvasSize(801, 600);
    EXPECT_EQ(r->m_bRedraw, 1);
    EXPECT_EQ(r->m_transform.m_center, (POINT{400, 300}));
}

TEST(SceneTest, OverlayPensFollowTheKneeFlags)
{
    auto r = MakeRenderer(400, 260);
    r->m_bShowFractal = 0;
    // A staircase of long segments, one per flag combination.
    const std::vector<POINT> pixels = {{20, 20}, {320, 20}, {320, 80}, {20, 80}, {20, 140}, {320, 140}, {320, 200}, {20, 200}};
    const uint8_t flags[] = {5, 12, 10, 3, 0, 1, 2};
    CPattern pattern;
    pattern.m_count = 7;
    for (int i = 0; i <= 7; ++i)
        pattern.m_points[i] = Px(pixels[i].x, pixels[i].y);
    for (int i = 0; i < 7; ++i)
        pattern.m_kneeFlags[i] = flags[i];
    Paint(*r, pattern);
    EXPECT_EQ(r->m_bRedraw, 0);

    using Colours = std::set<uint32_t>;
    // Hide first, then static, then reverse (dashed) and mirror (red).
    EXPECT_EQ(ColoursAlong(*r, pixels[0], pixels[1]), (Colours{kLightGreyPixel, kWhitePixel}));  // 5: dotted grey
    EXPECT_EQ(ColoursAlong(*r, pixels[1], pixels[2]), (Colours{kLightGreyPixel, kWhitePixel}));  // 12: dotted grey
    EXPECT_EQ(ColoursAlong(*r, pixels[2], pixels[3]), (Colours{kBlackPixel}));                  // 10: black
    EXPECT_EQ(ColoursAlong(*r, pixels[3], pixels[4]), (Colours{kLightRedPixel, kWhitePixel}));   // 3: dashed red
    EXPECT_EQ(ColoursAlong(*r, pixels[4], pixels[5]), (Colours{kLightGreenPixel}));             // 0: solid green
    EXPECT_EQ(ColoursAlong(*r, pixels[5], pixels[6]), (Colours{kLightGreenPixel, kWhitePixel})); // 1: dashed green
    EXPECT_EQ(ColoursAlong(*r, pixels[6], pixels[7]), (Colours{kLightRedPixel}));               // 2: solid red

    // Every point has a 6 x 6 square outlined in light green and filled white; its right and
    // bottom edges stop short of x+3 and y+3.
    for (const POINT& p : pixels) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
        EXPECT_EQ(PixelAt(*r, p.x - 3, p.y - 3), kLightGreenPixel);
        EXPECT_EQ(PixelAt(*r, p.x + 2, p.y + 2), kLightGreenPixel);
        EXPECT_EQ(PixelAt(*r, p.x - 2, p.y - 2), kWhitePixel);
        EXPECT_EQ(PixelAt(*r, p.x + 3, p.y + 3), kWhitePixel);
        EXPECT_EQ(PixelAt(*r, p.x - 4, p.y - 4), kWhitePixel);
    }
}

TEST(SceneTest, FillModePaintsBelowTheCurveAndKeepsTheSquaresWhite)
{
    auto r = MakeRenderer(400, 300);
    r->m_bFill = 1;
    r->m_nIterations = 0;
    // The pattern's point lies above the baseline, its square outside the filled region.
    const CPattern pattern = MakePattern({Px(100, 150), Px(200, 50), Px(300, 150)});
    Paint(*r, pattern);

    EXPECT_EQ(PixelAt(*r, 200, 150), kBlackPixel);  // the fractal, here the baseline, outlines
    EXPECT_EQ(PixelAt(*r, 200, 250), kGrayPixel);   // below it: filled
    EXPECT_EQ(PixelAt(*r, 5, 295), kGrayPixel);     // down to the border
    EXPECT_EQ(PixelAt(*r, 200, 100), kWhitePixel);  // above it: background
    EXPECT_EQ(PixelAt(*r, 197, 47), kLightGreenPixel);
    EXPECT_EQ(PixelAt(*r, 198, 48), kWhitePixel);  // the square's inside

    // A second fill picture on the same renderer starts its squares white again.
    Paint(*r, pattern);
    EXPECT_EQ(PixelAt(*r, 198, 48), kWhitePixel);
    EXPECT_EQ(PixelAt(*r, 200, 250), kGrayPixel);

    // Without a polygon buffer fill mode draws nothing of the fractal.
    POINT* const buffer = r->m_pPolygon;
    r->m_pPolygon = nullptr;
    r->m_nPolygonMax = 0;
    Paint(*r, pattern);
    EXPECT_EQ(PixelAt(*r, 200, 250), kWhitePixel);
    EXPECT_EQ(PixelAt(*r, 200, 150), kWhitePixel);
    EXPECT_EQ(r->m_nPolygonCount, 0);
    r->m_pPolygon = buffer;
    r->m_nPolygonMax = POLYGON_CAPACITY;
}

TEST(SceneTest, BackgroundAloneIsPlainWhite)
{
    auto r = MakeRenderer(64, 48);
    const CPattern pattern = MakePattern({Px(5, 40), Px(32, 5), Px(60, 40)}, {KNEE_REVERSE, 0});
    Paint(*r, pattern);
    int dark = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            dark += PixelAt(*r, x, y) == kBlackPixel;
    EXPECT_GT(dark, 20);

    r->m_bShowPattern = 0;
    r->m_bShowFractal = 0;
    r->m_bRedraw = 1;
    Paint(*r, pattern);
    EXPECT_EQ(r->m_bRedraw, 0);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(PixelAt(*r, x, y), kWhitePixel) << x << "," << y;
}
