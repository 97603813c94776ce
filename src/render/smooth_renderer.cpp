// The antialiased scene: background, the pattern's construction lines when asked for, and the
// fractal from the generator's sub-pixel points, in lines or, in fill mode, as an even-odd
// filled polygon with its outline.
#include "render/smooth_renderer.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "document/pattern.h"
#include "render/smooth_raster.h"
#include "view/fractal_renderer.h"

namespace {

constexpr RgbColor kSquareLine{207, 223, 207};
constexpr int64_t kKeptPixels = int64_t{3840} * 2160;
constexpr RgbColor kWhite{255, 255, 255};
// The construction line colours and dash patterns by pen, as the canvas draws them: plain,
// reverse, mirror, reverse and mirror, hidden; a static knee is drawn in the line colour.
struct OverlayPen {
    RgbColor color;
    float on;   // dash length in pixels, 0 for solid
    float off;
};
constexpr OverlayPen kOverlayPens[5] = {
    {{207, 223, 207}, 0.0f, 0.0f}, {{207, 223, 207}, 18.0f, 6.0f}, {{223, 207, 207}, 0.0f, 0.0f},
    {{223, 207, 207}, 18.0f, 6.0f}, {{239, 239, 239}, 3.0f, 3.0f},
};

struct ScreenPoint {
    double x;
    double y;
    float position;  // along the fractal's path, 0..1
};

// The generator's points: in line mode drawn at once as segments, in fill mode kept as the
// polygon.
class SceneSink : public CScreenPointSink {
public:
    SceneSink(CSmoothRaster& raster, bool fill, bool positions, int segments, int topDepth)
        : m_raster(raster), m_fill(fill), m_positions(positions)
    {
        // share[d]: the part of the path a segment at depth d left covers, n^-(top - d).
        double share = 1.0;
        for (int d = topDepth; d >= 0; --d) {
            if (d < 256)
                m_share[d] = share;
            share /= std::max(segments, 1);
        }
    }

    void AddPoints(const ScreenSinkPoint* points, size_t count) override
    {
        if (m_fill || m_positions) {
            for (size_t i = 0; i < count; ++i)
                AddPoint(points[i].x, points[i].y, points[i].kind, points[i].depth);
            return;
        }
        // Lines in one colour: no place along the path. Thin lines are drawn a run of line
        // points at a time.
        const bool thin = m_raster.ThinLines();
        size_t i = 0;
        while (i < count) {
            const ScreenSinkPoint& q = points[i];
            if ((q.kind & 1) != 0 || !m_started) {
                m_continues = false;
                m_x = q.x;
                m_y = q.y;
                m_started = true;
                ++i;
                continue;
            }
            size_t end = i + 1;
            while (end < count && (points[end].kind & 1) == 0)
                ++end;
            if (thin) {
                m_raster.StrokeThinPath(m_x, m_y, &points[i].x, sizeof(ScreenSinkPoint), end - i);
            } else {
                for (size_t k = i; k < end; ++k) {
                    m_raster.StrokeSegment(m_x, m_y, points[k].x, points[k].y, 0.0f, !m_continues);
                    m_continues = true;
                    m_x = points[k].x;
                    m_y = points[k].y;
                }
            }
            m_continues = true;
            m_x = points[end - 1].x;
            m_y = points[end - 1].y;
            i = end;
        }
    }

    void AddPoint(double x, double y, uint8_t kind, uint8_t depth)
    {
        // The place along the path matters only to a gradient.
        float position = 0.0f;
        if (m_positions) {
            const double before = m_along;
            if (!(kind & EMIT_CLOSING) && kind != EMIT_START)
                m_along = std::min(1.0, m_along + m_share[depth]);
            position = (kind & EMIT_CLOSING) ? 1.0f : static_cast<float>((before + m_along) * 0.5);
        }
        if (m_fill) {
            m_polygon.push_back(ScreenPoint{x, y, position});
            return;
        }
        const bool line = (kind & 1) == 0 && m_started;
        if (line)
            m_raster.StrokeSegment(m_x, m_y, x, y, position, !m_continues);
        m_continues = line;
        m_x = x;
        m_y = y;
        m_started = true;
    }

    std::vector<ScreenPoint> m_polygon;

private:
    CSmoothRaster& m_raster;
    bool m_fill;
    bool m_positions;
    double m_share[256] = {};
    double m_along = 0.0;
    double m_x = 0.0;
    double m_y = 0.0;
    bool m_started = false;
    bool m_continues = false;  // the last point ended a drawn segment
};

// The middle of the canvas pixel of a pattern point: the overlay sits exactly where the
// canvas draws it and where the editor finds the points.
std::pair<double, double> ToCanvas(const CViewTransform& t, PointF p)
{
    const POINT pixel = t.WorldToScreen(p);
    return {pixel.x + 0.5, pixel.y + 0.5};
}

// Strokes a line of the overlay, solid or dashed (dashes restart at the line's start).
void StrokeDashed(CSmoothRaster& raster, double x0, double y0, double x1, double y1, float on, float off)
{
    if (on <= 0.0f) {
        raster.StrokeSegment(x0, y0, x1, y1, 0.0f);
        return;
    }
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double length = std::sqrt(dx * dx + dy * dy);
    if (!(length > 0.0) || length > 1e5)  // a far-reaching construction line is drawn solid
        return raster.StrokeSegment(x0, y0, x1, y1, 0.0f);
    const double ux = dx / length;
    const double uy = dy / length;
    // The stroke adds half a pixel at both ends, so a dash's centre line is one pixel shorter.
    for (double s = 0.0; s < length; s += on + off) {
        const double a = s + 0.5;
        const double b = std::min(s + on, length) - 0.5;
        if (b > a)
            raster.StrokeSegment(x0 + ux * a, y0 + uy * a, x0 + ux * b, y0 + uy * b, 0.0f);
    }
}

void DrawOverlay(CSmoothRaster& raster, CRgbaImage& image, const CFractalRenderer& renderer, const CPattern& pattern,
                 const CRenderStyle& style)
{
    const int n = pattern.m_count;
    const int last = n < 0 ? -1 : std::min(n, PATTERN_MAX_SEGMENTS);
    const CViewTransform& t = renderer.m_transform;
    raster.SetLineWidth(1.0f);
    raster.SetRecordPosition(false);

    // Point squares, 6 pixels a side, white inside and outlined, placed as on the canvas:
    // from 3 pixels before the point's pixel to 2 after it.
    for (int i = 0; i <= last; ++i) {
        const auto [x, y] = ToCanvas(t, pattern.m_points[i]);
        if (x + 4.0 < 0.0 || y + 4.0 < 0.0 || x - 4.0 > image.width || y - 4.0 > image.height)
            continue;
        CSmoothRaster::CompositeRect(image, x - 3.5, y - 3.5, x + 2.5, y + 2.5, kWhite);
        raster.StrokeSegment(x - 3.0, y - 3.0, x + 2.0, y - 3.0, 0.0f);
        raster.StrokeSegment(x + 2.0, y - 3.0, x + 2.0, y + 2.0, 0.0f);
        raster.StrokeSegment(x + 2.0, y + 2.0, x - 3.0, y + 2.0, 0.0f);
        raster.StrokeSegment(x - 3.0, y + 2.0, x - 3.0, y - 3.0, 0.0f);
    }
    raster.CompositeLines(image, kSquareLine);

    // The knee lines, one pen at a time; a static knee is drawn last in the line colour.
    for (int pen = 0; pen <= 5; ++pen) {
        bool any = false;
        for (int i = 1; i <= last; ++i) {
            const uint8_t f = pattern.m_kneeFlags[i - 1];
            const int kneePen = (f & KNEE_HIDE) ? 4 : ((f & KNEE_STATIC) ? 5 : (f & (KNEE_REVERSE | KNEE_MIRROR)));
            if (kneePen != pen)
                continue;
            const auto [x0, y0] = ToCanvas(t, pattern.m_points[i - 1]);
            const auto [x1, y1] = ToCanvas(t, pattern.m_points[i]);
            if (pen == 5)
                raster.StrokeSegment(x0, y0, x1, y1, 0.0f);
            else
                StrokeDashed(raster, x0, y0, x1, y1, kOverlayPens[pen].on, kOverlayPens[pen].off);
            any = true;
        }
        if (any)
            raster.CompositeLines(image, pen == 5 ? style.lineColor : kOverlayPens[pen].color);
    }
}

}  // namespace

bool DrawSmoothScene(CFractalRenderer& renderer, const CPattern& pattern, const CRenderStyle& style,
                     CRgbaImage* image, std::string* error)
{
    auto fail = [&](const char* why) {
        if (error)
            *error = why;
        return false;
    };
    if (image == nullptr)
        return fail("No image to draw into");
    const int32_t width = renderer.m_nWidth;
    const int32_t height = renderer.m_nHeight;
    // One raster device per thread, kept between pictures so that a redraw allocates nothing.
    thread_local CSmoothRaster raster;
    raster.SetRecordPosition(false);
    if (!raster.Reset(width, height))
        return fail(width > 0 && height > 0 ? "The picture is too large to draw" : "The picture has no size");
    CSmoothRaster::Clear(*image, width, height, style.background, style.transparent ? 0 : 255);

    const int n = pattern.m_count;
    renderer.m_nSegments = n;
    if (style.showPattern)
        DrawOverlay(raster, *image, renderer, pattern, style);

    bool cancelled = false;
    if (renderer.m_bShowFractal) {
        const bool fill = renderer.m_bFill != 0;
        const float widthPx = std::clamp(style.lineWidth, RENDER_MIN_LINE_WIDTH, RENDER_MAX_LINE_WIDTH);
        raster.SetLineWidth(std::isfinite(style.lineWidth) ? widthPx : 1.0f);
        if (style.gradient) {
            raster.SetRecordPosition(true);
            if (!raster.Reset(width, height)) {
                raster.SetRecordPosition(false);
                return fail("Not enough memory to draw the picture");
            }
        }
        SceneSink sink(raster, fill, style.gradient, n, renderer.m_nIterations & 0xFF);
        if (fill)
            renderer.m_nPolygonCount = 0;
        CScreenPointSink* const previous = renderer.m_pScreenSink;
        renderer.m_pScreenSink = &sink;
        renderer.Generate(pattern, pattern.m_kneeFlags);
        if (fill)
            renderer.CloseFill(pattern);
        renderer.m_pScreenSink = previous;
        cancelled = renderer.m_bCancelled;

        if (fill && !cancelled && sink.m_polygon.size() > 1) {
            const std::vector<ScreenPoint>& poly = sink.m_polygon;
            for (size_t i = 0; i < poly.size(); ++i) {
                const ScreenPoint& a = poly[i];
                const ScreenPoint& b = poly[(i + 1) % poly.size()];
                raster.FillEdge(a.x, a.y, b.x, b.y);
            }
            raster.CompositeFill(*image, style.fillColor);
            for (size_t i = 0; i < poly.size(); ++i) {
                const ScreenPoint& a = poly[i];
                const ScreenPoint& b = poly[(i + 1) % poly.size()];
                raster.StrokeSegment(a.x, a.y, b.x, b.y, b.position, i == 0);
            }
        }
        if (!cancelled)
            raster.CompositeLines(*image, style.gradient ? style.gradientFrom : style.lineColor, style.gradient,
                                  style.gradientTo);
        raster.SetRecordPosition(false);
    }
    renderer.m_bRedraw = 0;
    const bool outOfMemory = raster.OutOfMemory();
    // The buffers of a picture larger than a big screen are not kept for the next one.
    if (static_cast<int64_t>(width) * height > kKeptPixels)
        raster.Release();
    if (cancelled)
        return fail("The drawing was cancelled");
    if (outOfMemory)
        return fail("Not enough memory to draw the picture");
    return true;
}
