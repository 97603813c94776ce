// The generator's screen points handed to a point sink at sub-pixel precision, for the
// antialiased picture, under the same budgets as the points drawn on the canvas.
#include <cmath>

#include "view/fractal_renderer.h"

namespace {

// A pixel offset from the centre as the canvas's rounding would see it, before rounding:
// kept within +-2^30 pixels, NaN as 0.
double Offset(double v)
{
    constexpr double kMaxOffset = 1073741824.0;
    if (std::isnan(v))
        return 0.0;
    return v < -kMaxOffset ? -kMaxOffset : (v > kMaxOffset ? kMaxOffset : v);
}

}  // namespace

bool CFractalRenderer::EmitToSink(PointF world, POINT p, bool inside, uint8_t kind, uint8_t depth)
{
    if (m_pProgress != nullptr && !CheckProgress())
        return false;
    if (m_bFill && !AddPolygonPoint(p))
        return false;

    // The continuous position whose pixel is p: the centre plus the unrounded offset, and
    // half a pixel to the pixel's middle.
    const CViewTransform& t = m_transform;
    const double ox = Offset((static_cast<double>(world.x) - t.m_origin.x) * t.m_scale);
    const double oy = Offset(-(static_cast<double>(world.y) - t.m_origin.y) * t.m_scale);
    const double x = t.m_center.x + ox + 0.5;
    const double y = (t.m_flipY ? t.m_center.y - oy : t.m_center.y + oy) + 0.5;
    m_pScreenSink->AddPoint(x, y, kind, depth);

    m_ptLast = p;
    m_bLastInside = inside ? 1 : 0;
    return true;
}
