// Helpers for tests of the generator and the scene drawing: a renderer on a canvas whose
// pixels are easy to name, patterns from lists of points, and the generator's output read
// back through the fill polygon (which stores every emitted point in path order).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "document/pattern.h"
#include "platform/bitmap.h"
#include "platform/win_types.h"
#include "view/fractal_renderer.h"

namespace renderer_test {

// A renderer on a width x height canvas whose screen size is the canvas size, viewing the
// pattern plane at scale 1 with the pattern's origin on pixel (0, 0), so that Px names pattern
// points by their pixels. Both budgets are left as constructed.
inline std::unique_ptr<CFractalRenderer> MakeRenderer(int32_t width, int32_t height)
{
    auto renderer = std::make_unique<CFractalRenderer>();
    renderer->SetCanvasSize(width, height);
    renderer->SetScreenSize(width, height);
    renderer->m_transform.m_center = POINT{0, 0};
    return renderer;
}

// The pattern point that a renderer from MakeRenderer shows on pixel (x, y). Pixel offsets
// are rounded by adding 0.5 and truncating toward zero, so negative pixels take a point half a
// unit further out.
inline PointF Px(int32_t x, int32_t y)
{
    const float px = static_cast<float>(x);
    const float py = static_cast<float>(y);
    return PointF{x >= 0 ? px : px - 0.5f, y >= 0 ? -py : 0.5f - py};
}

inline CPattern MakePattern(std::initializer_list<PointF> points, std::initializer_list<uint8_t> flags = {})
{
    CPattern pattern;
    int i = 0;
    for (const PointF& p : points)
        pattern.m_points[i++] = p;
    pattern.m_count = i - 1;
    i = 0;
    for (uint8_t f : flags)
        pattern.m_kneeFlags[i++] = f;
    pattern.UpdateKnees();
    return pattern;
}

// Runs the generator in fill mode without the screen budgets and without skipping what lies
// off the canvas, and returns the points it emitted, in order (at most the polygon's
// capacity). `result` receives Generate's answer.
inline std::vector<POINT> Record(CFractalRenderer& renderer, const CPattern& pattern, int iterations,
                                 bool* result = nullptr)
{
    renderer.m_bFill = 1;
    renderer.m_bTimeLimit = 0;
    renderer.m_bCullOffCanvas = 0;
    renderer.m_nIterations = iterations;
    renderer.m_nPolygonCount = 0;
    renderer.m_nSegments = pattern.m_count;
    const bool complete = renderer.Generate(pattern, pattern.m_kneeFlags);
    if (result != nullptr)
        *result = complete;
    return std::vector<POINT>(renderer.m_pPolygon, renderer.m_pPolygon + renderer.m_nPolygonCount);
}

// Draws one picture: BeginDraw, DrawScene, EndDraw.
inline void Paint(CFractalRenderer& renderer, const CPattern& pattern)
{
    renderer.BeginDraw();
    renderer.DrawScene(pattern);
    renderer.EndDraw();
}

inline uint32_t PixelAt(const CFractalRenderer& renderer, int32_t x, int32_t y)
{
    return renderer.m_bitmap.Pixel(x, y);
}

constexpr uint32_t kWhitePixel = PixelFromColor(RGB(255, 255, 255));
constexpr uint32_t kBlackPixel = PixelFromColor(RGB(0, 0, 0));
constexpr uint32_t kGrayPixel = PixelFromColor(RGB(128, 128, 128));
constexpr uint32_t kLightGreenPixel = PixelFromColor(RGB(207, 223, 207));
constexpr uint32_t kLightRedPixel = PixelFromColor(RGB(223, 207, 207));
constexpr uint32_t kLightGreyPixel = PixelFromColor(RGB(239, 239, 239));

}  // namespace renderer_test
