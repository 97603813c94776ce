// The mapping between pattern coordinates and canvas pixels, and the navigation that
// changes it: pan, zoom about a point, reset to the default view, bake the view into the points.
#pragma once

#include <cmath>
#include <cstdint>

#include "document/point_f.h"
#include "platform/win_types.h"

class CArchive;
class CPattern;

class CViewTransform {
public:
    PointF m_origin{0.0f, 0.0f};  // pattern point shown at the screen centre
    float m_scale = 1.0f;         // pixels per pattern unit
    POINT m_center{0, 0};         // pixel of the screen centre; set by the canvas
    bool m_flipY = false;         // true only while a bitmap export draws upside down

    // Bounds that zooming keeps the scale within.
    static constexpr float kMinScale = 1e-6f;
    static constexpr float kMaxScale = 1e9f;

    void Reset();
    // Inline: the generator maps every point it produces through it.
    POINT WorldToScreen(float x, float y) const
    {
        const int32_t ox = RoundOffset((x - m_origin.x) * m_scale);
        const int32_t oy = RoundOffset(-(y - m_origin.y) * m_scale);
        return POINT{m_center.x + ox, m_flipY ? m_center.y - oy : m_center.y + oy};
    }
    POINT WorldToScreen(PointF p) const { return WorldToScreen(p.x, p.y); }
    PointF ScreenToWorld(int32_t x, int32_t y) const;
    PointF ScreenToWorld(POINT p) const { return ScreenToWorld(p.x, p.y); }

    // Middle-button panning. The pan state (origin and pattern point at the press) is one
    // for the whole program.
    void Pan(POINT pointer, bool start);
    // Zooms by e^(0.1 * notches) keeping the pattern point (x, y) on its pixel. A zoom that
    // would take the scale out of [kMinScale, kMaxScale] changes nothing.
    void ZoomAt(float x, float y, float notches);
    // Rewrites points 0..n so that the identity view shows what the current view shows, then
    // resets the view and recomputes the knees. Refused (false, nothing changed, the view
    // kept) when a rewritten coordinate would not be a finite float.
    bool BakeIntoPoints(CPattern& pattern, int n);

    void Serialize(CArchive& ar);

    // A pixel offset from the centre: v + 0.5 truncated toward zero. Offsets are kept within
    // +-2^30 pixels before they become integers (such pixels lie far outside any canvas, and
    // the centre added to them cannot overflow); NaN gives 0.
    static int32_t RoundOffset(float v)
    {
        constexpr double kMaxOffset = 1073741824.0;
        double r = static_cast<double>(v) + 0.5;
        if (!(r > -kMaxOffset))
            r = std::isnan(r) ? 0.0 : -kMaxOffset;
        else if (r > kMaxOffset)
            r = kMaxOffset;
        return static_cast<int32_t>(r);
    }

    // The program-wide pan state, exposed for tests.
    static PointF s_panOrigin;
    static PointF s_panAnchor;
};
