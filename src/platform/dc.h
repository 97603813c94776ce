// A drawing surface over a CBitmap with the classic desktop drawing conventions:
// - LineTo draws from the current position up to, not including, the end pixel, then moves there;
// - Rectangle(l, t, r, b) outlines with the pen and fills with the brush the pixels l..r-1 by t..b-1;
// - Polygon fills its interior with the brush by the even-odd rule, then outlines it, closed, with the pen;
// - pens are one pixel wide: solid, dash (18 on, 6 off) or dot (3 on, 3 off).
// Lines are clipped to the bitmap before they are stepped, so a line whose ends lie millions of
// pixels away costs only its visible pixels. Coordinates may be any 32-bit values.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/bitmap.h"
#include "platform/win_types.h"

enum PenStyle : uint8_t { PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2 };

struct CPen {
    PenStyle style = PS_SOLID;
    COLORREF color = RGB(0, 0, 0);
    bool created = false;
    bool CreatePen(PenStyle s, int width, COLORREF c)
    {
        (void)width;  // every pen of the program is one pixel wide
        style = s;
        color = c;
        created = true;
        return true;
    }
};

struct CBrush {
    COLORREF color = RGB(255, 255, 255);
};

// The stock gray brush, (128, 128, 128).
const CBrush& GrayBrush();

class CDC {
public:
    // Attaches the surface to a bitmap (not owned). A new surface has a black solid pen,
    // a white brush and the current position (0, 0).
    void Attach(CBitmap* bitmap);
    void Detach();
    bool IsAttached() const { return m_bitmap != nullptr; }
    CBitmap* Bitmap() const { return m_bitmap; }

    void SelectPen(const CPen& pen);
    void SelectBrush(const CBrush& brush);

    void MoveTo(int32_t x, int32_t y);
    void LineTo(int32_t x, int32_t y);
    // LineTo for a line whose two ends the caller knows to lie on the bitmap: the same pixels
    // and pen pattern, without the clipping set-up.
    void LineToInside(int32_t x, int32_t y)
    {
        const POINT from = m_pos;
        m_pos = POINT{x, y};
        InsideSegment(from.x, from.y, x, y, m_penPhase);
    }
    POINT CurrentPosition() const { return m_pos; }

    void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void Polygon(const POINT* points, int count);
    void FillSolidRect(int32_t x, int32_t y, int32_t width, int32_t height, COLORREF color);

private:
    CBitmap* m_bitmap = nullptr;
    POINT m_pos;
    CPen m_pen;
    CBrush m_brush;
    // Work space of the polygon filler, kept between calls so filling allocates nothing
    // once it has grown to the canvas size.
    std::vector<uint8_t> m_edgeFlags;
    // Position in the pen's dash or dot pattern along the current path: MoveTo and SelectPen
    // restart it, LineTo carries it on so that a path of short segments keeps its pattern.
    uint32_t m_penPhase = 0;

    // A line whose two ends lie on the bitmap: the same pixels and pattern as PenSegment,
    // with only the set-up a short line needs (no bounding box, no clipping).
    void InsideSegment(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t& phase);
    // Steps the pen from (x0, y0) towards (x1, y1), the end pixel excluded, drawing only the
    // part inside the bitmap. phase is the pattern position of the first pixel; it comes back
    // advanced by the length of the whole line, visible or not.
    void PenSegment(int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t& phase);
    // Sets the pixels l..r-1 by t..b-1 that lie inside the bitmap.
    void FillPixels(int64_t l, int64_t t, int64_t r, int64_t b, uint32_t pixel);
    // Fills the interior of a closed polygon by the even-odd rule.
    void FillPolygonEvenOdd(const POINT* points, int count, uint32_t pixel);
};
