// CDC state, rectangles and the line entry points. The line stepper lives in dc_line.cpp,
// the polygon filler in dc_polygon.cpp.
#include "platform/dc.h"

#include <algorithm>
#include <utility>

const CBrush& GrayBrush()
{
    static const CBrush brush{RGB(128, 128, 128)};
    return brush;
}

void CDC::Attach(CBitmap* bitmap)
{
    m_bitmap = bitmap;
}

void CDC::Detach()
{
    m_bitmap = nullptr;
}

void CDC::SelectPen(const CPen& pen)
{
    m_pen = pen;
    m_penPhase = 0;
}

void CDC::SelectBrush(const CBrush& brush)
{
    m_brush = brush;
}

void CDC::MoveTo(int32_t x, int32_t y)
{
    m_pos = POINT{x, y};
    m_penPhase = 0;
}

void CDC::LineTo(int32_t x, int32_t y)
{
    const POINT from = m_pos;
    m_pos = POINT{x, y};
    // Most lines of a picture are short and lie wholly on the bitmap (an empty bitmap has
    // width 0, so nothing passes the test).
    if (m_bitmap != nullptr) {
        const uint32_t w = static_cast<uint32_t>(m_bitmap->Width());
        const uint32_t h = static_cast<uint32_t>(m_bitmap->Height());
        if (static_cast<uint32_t>(from.x) < w && static_cast<uint32_t>(x) < w && static_cast<uint32_t>(from.y) < h &&
            static_cast<uint32_t>(y) < h) {
            InsideSegment(from.x, from.y, x, y, m_penPhase);
            return;
        }
    }
    PenSegment(from.x, from.y, x, y, m_penPhase);
}

void CDC::FillPixels(int64_t l, int64_t t, int64_t r, int64_t b, uint32_t pixel)
{
    if (m_bitmap == nullptr || m_bitmap->IsEmpty())
        return;
    l = std::max<int64_t>(l, 0);
    t = std::max<int64_t>(t, 0);
    r = std::min<int64_t>(r, m_bitmap->Width());
    b = std::min<int64_t>(b, m_bitmap->Height());
    if (l >= r || t >= b)
        return;
    for (int64_t y = t; y < b; ++y) {
        uint32_t* row = m_bitmap->Row(static_cast<int32_t>(y));
        std::fill(row + l, row + r, pixel);
    }
}

void CDC::FillSolidRect(int32_t x, int32_t y, int32_t width, int32_t height, COLORREF color)
{
    // Width and height are sizes: zero or negative leaves nothing to fill.
    if (width <= 0 || height <= 0)
        return;
    FillPixels(x, y, int64_t{x} + width, int64_t{y} + height, PixelFromColor(color));
}

void CDC::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    // Corners given in either order describe the same rectangle.
    int64_t l = left, t = top, r = right, b = bottom;
    if (l > r)
        std::swap(l, r);
    if (t > b)
        std::swap(t, b);
    if (l == r || t == b)
        return;

    FillPixels(l, t, r, b, PixelFromColor(m_brush.color));

    // The outline is the outer ring of the filled pixels, walked clockwise from the top-left
    // corner. Each segment leaves out its end pixel, which is the next one's start, so every
    // ring pixel is drawn once and a dash pattern runs on unbroken around the corners.
    uint32_t phase = 0;
    if (b - t == 1) {
        PenSegment(l, t, r, t, phase);
    } else if (r - l == 1) {
        PenSegment(l, t, l, b, phase);
    } else {
        PenSegment(l, t, r - 1, t, phase);
        PenSegment(r - 1, t, r - 1, b - 1, phase);
        PenSegment(r - 1, b - 1, l, b - 1, phase);
        PenSegment(l, b - 1, l, t, phase);
    }
}
