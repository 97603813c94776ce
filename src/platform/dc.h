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
};
