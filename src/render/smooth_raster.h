// The antialiased raster device: coverage masks the size of the picture, filled with the exact
// area a shape covers of every pixel, and composited onto an RGBA image in linear light.
//
// Lines go into the line mask. A segment covers a rectangle of the line's width around it
// with round ends (a thin line: extended by half the width), so that two segments meeting at
// any angle leave no gap; every pixel keeps the largest coverage any segment gave it, so a
// joint is neither lighter nor darker than the line on either side, and a polyline cut into
// many short segments looks exactly like one long segment.
//
// Fills go into an accumulation buffer of signed areas (each edge adds the area between it
// and the pixel row's right end), summed along the row afterwards and folded by the even-odd
// rule. Edges far off the picture cost only the rows they cross on it.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/smooth_renderer.h"

class CSmoothRaster {
public:
    // Sizes the masks for a picture of width x height and clears them. False (and nothing
    // allocated) when the size is not positive or too large to hold.
    bool Reset(int32_t width, int32_t height);
    // Gives the memory of all buffers back (after a large picture).
    void Release();
    // True when a buffer could not be allocated since the last Reset (a fill left undrawn).
    bool OutOfMemory() const { return m_outOfMemory; }
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }

    // The width of the lines that StrokeSegment draws, in pixels (clamped to 0.01 .. 1000).
    void SetLineWidth(float width);
    // Whether StrokeSegment records the position along the path of the segment that set each
    // pixel, for a gradient.
    void SetRecordPosition(bool record) { m_recordPosition = record; }

    // Adds one segment, in continuous pixel coordinates (pixel (i, j) covers i..i+1 by
    // j..j+1), to the line mask. `position` (0..1) is its place along the path, kept when
    // SetRecordPosition is on. A segment of length zero draws nothing. `startCap` false
    // leaves out a wide line's round start, for a segment that continues one which ended
    // there (its end already drew it).
    void StrokeSegment(double x0, double y0, double x1, double y1, float position, bool startCap = true)
    {
        // A thin line with both ends near the picture (every segment of a fractal on screen,
        // nearly) goes straight to the stepper.
        if (m_halfWidth <= THIN_HALF_WIDTH && !(std::fabs(x0) > FAR_COORDINATE) && !(std::fabs(y0) > FAR_COORDINATE) &&
            !(std::fabs(x1) > FAR_COORDINATE) && !(std::fabs(y1) > FAR_COORDINATE)) [[likely]]
            StrokeThin(x0, y0, x1, y1, position);
        else
            StrokeAnySegment(x0, y0, x1, y1, position, startCap);
    }

    // True when StrokeSegment draws thin lines (up to 1.5 pixels wide): their joints need no
    // caps, so StrokeThinPath may draw a polyline's segments.
    bool ThinLines() const { return m_halfWidth <= THIN_HALF_WIDTH; }
    // Strokes the polyline from (x0, y0) through `count` points as StrokeSegment would stroke
    // its segments one by one (position 0), for thin lines without recorded positions. The
    // points' x and y are the first two doubles of records `stride` bytes apart from `xy` on.
    void StrokeThinPath(double x0, double y0, const double* xy, size_t stride, size_t count);

    // Adds one edge of a closed polygon to the fill buffer. The polygon is complete when the
    // edges form closed loops.
    void FillEdge(double x0, double y0, double x1, double y1);

    // Composites the fill buffer by the even-odd rule in `color` onto `image` (same size),
    // then clears the buffer.
    void CompositeFill(CRgbaImage& image, RgbColor color);
    // Composites the line mask in `color` onto `image`, or, with `gradient`, in the colour
    // between `color` (position 0) and `to` (position 1) at each pixel's recorded position;
    // then clears the mask.
    void CompositeLines(CRgbaImage& image, RgbColor color, bool gradient = false, RgbColor to = {});

    // Coverage of a pixel in the line mask (0..255), for tests.
    uint8_t LineCoverage(int32_t x, int32_t y) const { return m_lines[static_cast<size_t>(y) * m_width + x]; }

    // Composites the axis-aligned rectangle x0..x1 by y0..y1 in `color` onto `image`, edge
    // pixels at the part of them it covers.
    static void CompositeRect(CRgbaImage& image, double x0, double y0, double x1, double y1, RgbColor color);

    // Fills `image` (resized to width x height) with `color` at `alpha`: only the rows drawn on
    // since the last Clear when the image is of that size and was cleared to the same value.
    static void Clear(CRgbaImage& image, int32_t width, int32_t height, RgbColor color, uint8_t alpha);

private:
    // Lines up to this half width (1.5 pixels wide) are stepped along their major axis.
    static constexpr float THIN_HALF_WIDTH = 0.75f;
    // A segment with an end further than this from the origin is first cut to the part near
    // the picture.
    static constexpr double FAR_COORDINATE = 65536.0;

    void StrokeAnySegment(double x0, double y0, double x1, double y1, float position, bool startCap);
    void FillLine(float x0, float y0, float x1, float y1);
    void StrokeThin(double x0, double y0, double x1, double y1, float position);
    // Four consecutive segments of a thin polyline from (startX, startY) through the points
    // whose x and y are at points[0..3]: their set-up worked out side by side. False, and
    // nothing drawn, when an end is not near the picture.
    bool StrokeThinFour(double startX, double startY, const double* const* points);
    void StampDisc(double x, double y, float position);
    template <bool Steep>
    void ThinColumns(int32_t first, int32_t last, float vStart, float slope, float half, uint16_t pos,
                     uint16_t* positions);
    void TouchRows(int32_t y0, int32_t y1);

    int32_t m_width = 0;
    int32_t m_height = 0;
    float m_halfWidth = 0.5f;
    bool m_recordPosition = false;
    bool m_outOfMemory = false;
    std::vector<uint8_t> m_lines;      // line coverage, 0..255
    std::vector<uint16_t> m_position;  // 0..65535 along the path, where recorded
    std::vector<float> m_fill;         // signed areas, m_width + 2 a row
    // Rows of the line mask and of the fill buffer that hold anything (empty when lo > hi).
    int32_t m_lineRowLo = 0;
    int32_t m_lineRowHi = -1;
    int32_t m_fillRowLo = 0;
    int32_t m_fillRowHi = -1;
};
