// The antialiased picture, whose lines may be 20 pixels wide, is the same whether or not the
// generator skips the subtrees that lie off the canvas.
#include <gtest/gtest.h>

#include "common/renderer_test_support.h"
#include "render/smooth_renderer.h"

TEST(SmoothCullingTest, SkippingOffCanvasSubtreesChangesNoPixelOfWideLines)
{
    const CPattern koch = renderer_test::MakePattern({{-150, 0}, {-50, 0}, {0, 86.60254f}, {50, 0}, {150, 0}});
    auto r = std::make_unique<CFractalRenderer>();
    r->SetScreenSize(200, 150);
    r->SetCanvasSize(200, 150);
    r->m_bShowPattern = 0;
    r->m_nIterations = 8;
    r->m_nDrawLimit = 20000;  // room for all 65,537 points of the fill polygon
    r->m_transform.m_origin = PointF{-40.0f, 8.0f};
    r->m_transform.m_scale = 30.0f;
    CRenderStyle style;
    style.lineWidth = RENDER_MAX_LINE_WIDTH;
    style.gradient = true;
    for (int fill = 0; fill < 2; ++fill) {
        SCOPED_TRACE(fill);
        r->m_bFill = static_cast<uint8_t>(fill);
        CRgbaImage whole;
        CRgbaImage culled;
        r->m_bCullOffCanvas = 0;
        ASSERT_TRUE(DrawSmoothScene(*r, koch, style, &whole, nullptr));
        const int64_t all = r->m_nLineCount;
        ASSERT_EQ(r->m_drawOutcome, DrawOutcome::Complete);
        r->m_bCullOffCanvas = 1;
        ASSERT_TRUE(DrawSmoothScene(*r, koch, style, &culled, nullptr));
        EXPECT_LT(r->m_nLineCount, all / 4);
        EXPECT_TRUE(culled.pixels == whole.pixels);
    }
}
