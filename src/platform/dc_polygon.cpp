// The polygon: an even-odd edge-flag fill, then the closed outline with the pen.
//
// The filler keeps one flag bit per pixel in m_edgeFlags, each row a whole number of 64-bit words
// (a 1920 x 1080 canvas needs 260 KB, small enough to stay in cache while edges toggle all over
// it). Each edge toggles, on every row whose pixel centres (y + 0.5) it crosses, the flag of the
// first pixel whose centre lies strictly right of the crossing. A row is then walked left to right,
// XOR-ing the flags into a parity: pixels with odd parity are inside. The walk clears the flags it
// reads, so the buffer is all zero between calls and is only ever grown, never cleared.
//
// Rows crossed by an edge are those y with ya <= y + 0.5 < yb, i.e. ya <= y < yb for the edge's
// upper end ya and lower end yb (half-open, so a vertex shared by two edges counts once). Only
// rows of the bitmap are visited. A crossing left of the bitmap toggles column 0, one right of it
// toggles nothing, which leaves every visible pixel's parity as it would be on an endless canvas.
//
// The first visible pixel right of the crossing on row y is floor(xc - 0.5) + 1, where
//     xc - 0.5 = xa + (dx (2 (y - ya) + 1) - dy) / (2 dy),
// computed exactly once per edge and then stepped row by row with an integer remainder.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/dc.h"

namespace {

__extension__ typedef __int128 Int128;

int64_t FloorDiv(int64_t a, int64_t b)  // b > 0
{
    int64_t q = a / b;
    if (a % b != 0 && a < 0)
        --q;
    return q;
}

Int128 FloorDiv128(Int128 a, Int128 b)  // b > 0
{
    Int128 q = a / b;
    if (a % b != 0 && a < 0)
        --q;
    return q;
}

// Edge extents below this bound keep the crossing's numerator below 2^62.
constexpr int64_t kSmall = int64_t{1} << 30;

// Short edges, the bulk of a fractal's polygon, find each row's crossing by multiplying with
// a reciprocal instead of dividing: for a divisor d <= 512 and a numerator below 2^31,
// floor(n / d) = (n * (floor(2^40 / d) + 1)) >> 40 exactly (Granlund and Montgomery).
constexpr int64_t kShortRows = 256;        // dy below this, so 2 dy <= 510
constexpr int64_t kShortSpan = int64_t{1} << 20;  // |dx| below this
constexpr int kReciprocalShift = 40;
// A multiple of the divisor added to keep the numerator positive: |dx (2 k + 1) - dy| stays
// below 2 dy (|dx| + 1) <= 2 dy 2^21 for the rows k < dy of an edge.
constexpr int kOffsetShift = 21;

struct Reciprocals {
    uint64_t m[2 * kShortRows] = {};
    constexpr Reciprocals()
    {
        for (int64_t d = 1; d < 2 * kShortRows; ++d)
            m[d] = (uint64_t{1} << kReciprocalShift) / static_cast<uint64_t>(d) + 1;
    }
};
constexpr Reciprocals kReciprocals;

int64_t DivideShort(int64_t n, uint64_t reciprocal)  // 0 <= n < 2^31
{
    __extension__ typedef unsigned __int128 UInt128;
    return static_cast<int64_t>((UInt128{static_cast<uint64_t>(n)} * reciprocal) >> kReciprocalShift);
}

// The flag words live in a byte buffer; memcpy reads and writes them without aliasing trouble
// and compiles to plain word loads and stores.
uint64_t LoadWord(const uint8_t* p)
{
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

void StoreWord(uint8_t* p, uint64_t w)
{
    std::memcpy(p, &w, sizeof w);
}

// Toggles the flag of `column` (which may lie left of the bitmap: column 0 then) in a row.
void Toggle(uint8_t* row, int64_t column)
{
    const uint64_t c = static_cast<uint64_t>(std::max<int64_t>(column, 0));
    uint8_t* p = row + (c >> 6) * 8;
    StoreWord(p, LoadWord(p) ^ (uint64_t{1} << (c & 63)));
}

// One edge of the outline with a solid pen, both ends on the bitmap: the pixels InsideSegment
// draws (see dc_line.cpp for the rule), the end pixel left out. A bitmap holds at most 2^28
// pixels, so the coordinates, their differences and the remainder (below 4 n) fit in 32 bits.
inline void SolidEdgeOnBitmap(uint32_t* bits, uint32_t width, const POINT& a, const POINT& b, uint32_t pixel)
{
    const int32_t dx = b.x - a.x;
    const int32_t dy = b.y - a.y;
    const int32_t adx = dx < 0 ? -dx : dx;
    const int32_t ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const int32_t n = xMajor ? adx : ady;
    const int64_t xStride = dx < 0 ? -1 : 1;
    const int64_t yStride = dy < 0 ? -int64_t{width} : int64_t{width};
    const int64_t majorStride = xMajor ? xStride : yStride;
    const int64_t minorStride = xMajor ? yStride : xStride;
    const int32_t increment = 2 * (xMajor ? ady : adx);
    const int32_t modulus = 2 * n;
    int32_t remainder = n - ((xMajor ? dy : dx) < 0 ? 1 : 0);
    // Each step lands on a pixel of the line, the last one on the end pixel: all on the bitmap.
    uint32_t* p = bits + static_cast<size_t>(a.y) * width + static_cast<size_t>(a.x);
    for (int32_t k = 0; k < n; ++k) {
        *p = pixel;
        remainder += increment;
        const int64_t wrap = remainder >= modulus ? -1 : 0;
        remainder -= modulus & static_cast<int32_t>(wrap);
        p += majorStride + (minorStride & wrap);
    }
}

}  // namespace

void CDC::FillPolygonEvenOdd(const POINT* points, int count, uint32_t pixel)
{
    const int64_t width = m_bitmap->Width();
    const int64_t height = m_bitmap->Height();
    const int64_t rowBytes = (width + 63) / 64 * 8;
    const size_t bytes = static_cast<size_t>(rowBytes) * static_cast<size_t>(height);
    if (m_edgeFlags.size() < bytes) {
        try {
            m_edgeFlags.resize(bytes, 0);
        } catch (const std::bad_alloc&) {
            return;  // no work space: the outline is still drawn
        }
    }
    uint8_t* const flags = m_edgeFlags.data();

    int64_t rowMin = height;
    int64_t rowMax = -1;
    // On a bitmap narrower than kShortSpan, an edge with both ends on it has |dx| < kShortSpan.
    const bool narrow = width <= kShortSpan;
    auto onBitmap = [width, height](const POINT& p) {
        return static_cast<uint64_t>(p.x) < static_cast<uint64_t>(width) &&
               static_cast<uint64_t>(p.y) < static_cast<uint64_t>(height);
    };
    bool startOn = onBitmap(points[0]);
    for (int i = 0; i < count; ++i) {
        const POINT& a = points[i];
        const POINT& b = points[i + 1 < count ? i + 1 : 0];
        // Upper end (xa, ya), lower end (xb, yb); selected without branches, since the direction
        // of a fractal's short edges is anyone's guess.
        const bool down = a.y < b.y;
        const int64_t xa = down ? a.x : b.x, ya = down ? a.y : b.y;
        const int64_t xb = down ? b.x : a.x, yb = down ? b.y : a.y;
        const bool endOn = onBitmap(b);
        const bool bothOn = startOn && endOn;
        startOn = endOn;
        if (bothOn && narrow && yb - ya < kShortRows) {
            // The bulk of a fractal's polygon: a short edge with both ends on the bitmap. Its
            // rows ya .. yb - 1 all lie on the bitmap, and each crossing lies between xa and
            // xb, so the pixel right of it is a column of the bitmap: no clamping needed.
            if (ya == yb)
                continue;
            rowMin = std::min(rowMin, ya);
            rowMax = std::max(rowMax, yb - 1);
            const int64_t dx = xb - xa;
            const int64_t twoDy = 2 * (yb - ya);
            // The crossing's column on row ya + k is xa + 1 + floor((dx (2 k + 1) - dy) / twoDy).
            const uint64_t reciprocal = kReciprocals.m[twoDy];
            const int64_t left = xa - (int64_t{1} << kOffsetShift) + 1;
            int64_t num = dx - (yb - ya) + (twoDy << kOffsetShift);
            uint8_t* row = flags + ya * rowBytes;
            for (int64_t y = ya; y < yb; ++y, num += 2 * dx, row += rowBytes) {
                const uint64_t column = static_cast<uint64_t>(left + DivideShort(num, reciprocal));
                uint8_t* p = row + (column >> 6) * 8;
                StoreWord(p, LoadWord(p) ^ (uint64_t{1} << (column & 63)));
            }
            continue;
        }
        const int64_t r0 = std::max<int64_t>(ya, 0);
        const int64_t r1 = std::min<int64_t>(yb - 1, height - 1);
        if (r0 > r1)
            continue;  // a horizontal edge, or one that crosses no row of the bitmap
        if (std::min(xa, xb) >= width)
            continue;  // every crossing is right of the bitmap
        rowMin = std::min(rowMin, r0);
        rowMax = std::max(rowMax, r1);

        if (std::max(xa, xb) <= 0) {
            // Every crossing is at or left of x = 0, so the first pixel right of it is column 0.
            for (int64_t y = r0; y <= r1; ++y)
                Toggle(flags + y * rowBytes, 0);
            continue;
        }

        const int64_t dx = xb - xa;
        const int64_t dy = yb - ya;
        const int64_t twoDy = 2 * dy;
        if (r0 == ya && dy < kShortRows && dx > -kShortSpan && dx < kShortSpan) {
            // floor(xc - 0.5) on row ya + k is xa + floor((dx (2 k + 1) - dy) / twoDy).
            const uint64_t reciprocal = kReciprocals.m[twoDy];
            const int64_t left = xa - (int64_t{1} << kOffsetShift) + 1;
            int64_t num = dx - dy + (twoDy << kOffsetShift);
            uint8_t* row = flags + r0 * rowBytes;
            for (int64_t y = r0; y <= r1; ++y, num += 2 * dx, row += rowBytes) {
                const int64_t column = left + DivideShort(num, reciprocal);
                if (column < width)
                    Toggle(row, column);
            }
            continue;
        }
        // floor(xc - 0.5) on row r0 is xa + floor(num / twoDy), with num = dx (2 (r0 - ya) + 1) - dy.
        int64_t q;    // floor(xc - 0.5) on the current row
        int64_t rem;  // its remainder, 0 <= rem < twoDy
        const int64_t below = r0 - ya;  // rows skipped above the bitmap, >= 0
        if (dx > -kSmall && dx < kSmall && below < kSmall) {
            const int64_t num = dx * (2 * below + 1) - dy;
            if (num > INT32_MIN && num <= INT32_MAX && twoDy <= INT32_MAX) {
                // The common case, short edges: a 32-bit division is much cheaper.
                const int32_t n32 = static_cast<int32_t>(num), d32 = static_cast<int32_t>(twoDy);
                int32_t q32 = n32 / d32;
                int32_t r32 = n32 - q32 * d32;
                if (r32 < 0) {
                    --q32;
                    r32 += d32;
                }
                q = xa + q32;
                rem = r32;
            } else {
                const int64_t f = FloorDiv(num, twoDy);
                q = xa + f;
                rem = num - f * twoDy;
            }
        } else {
            const Int128 num = Int128{dx} * (2 * below + 1) - dy;
            const Int128 f = FloorDiv128(num, twoDy);
            q = xa + static_cast<int64_t>(f);  // the crossing lies between xa and xb
            rem = static_cast<int64_t>(num - f * twoDy);
        }
        if (r0 == r1) {
            const int64_t column = q + 1;
            if (column < width)
                Toggle(flags + r0 * rowBytes, column);
            continue;
        }
        const int64_t stepQ = FloorDiv(2 * dx, twoDy);
        const int64_t stepRem = 2 * dx - stepQ * twoDy;

        uint8_t* row = flags + r0 * rowBytes;
        for (int64_t y = r0; y <= r1; ++y) {
            const int64_t column = q + 1;
            if (column < width)
                Toggle(row, column);
            row += rowBytes;
            q += stepQ;
            rem += stepRem;
            if (rem >= twoDy) {
                rem -= twoDy;
                ++q;
            }
        }
    }

    for (int64_t y = rowMin; y <= rowMax; ++y) {
        uint8_t* f = flags + y * rowBytes;
        uint32_t* row = m_bitmap->Row(static_cast<int32_t>(y));
        uint64_t inside = 0;  // all ones when the parity before the current word is odd
        for (int64_t x = 0; x < width; x += 64, f += 8) {
            const int64_t span = std::min<int64_t>(64, width - x);
            uint64_t word = LoadWord(f);
            if (word == 0) {
                // No edge starts or ends here: 64 pixels all inside or all outside.
                if (inside)
                    std::fill(row + x, row + x + span, pixel);
                continue;
            }
            StoreWord(f, 0);
            // Prefix XOR: bit k becomes the parity of flags 0..k, then the carried parity.
            word ^= word << 1;
            word ^= word << 2;
            word ^= word << 4;
            word ^= word << 8;
            word ^= word << 16;
            word ^= word << 32;
            word ^= inside;
            inside = 0 - (word >> 63);
            // Fill each run of set bits (columns past the bitmap's width are never set here but
            // may follow from the parity, hence the span limit).
            while (word != 0) {
                const int start = std::countr_zero(word);
                const int length = std::countr_one(word >> start);
                const int64_t end = std::min<int64_t>(start + length, span);
                if (start < end)
                    std::fill(row + x + start, row + x + end, pixel);
                word = start + length >= 64 ? 0 : word & (~uint64_t{0} << (start + length));
            }
        }
    }
}

void CDC::Polygon(const POINT* points, int count)
{
    if (points == nullptr || count < 2)
        return;
    if (m_bitmap != nullptr && !m_bitmap->IsEmpty())
        FillPolygonEvenOdd(points, count, PixelFromColor(m_brush.color));
    // The outline follows the points and closes back to the first; it neither uses nor moves
    // the current position.
    uint32_t phase = 0;
    const uint32_t w = m_bitmap != nullptr ? static_cast<uint32_t>(m_bitmap->Width()) : 0;
    const uint32_t h = m_bitmap != nullptr ? static_cast<uint32_t>(m_bitmap->Height()) : 0;
    auto onBitmap = [w, h](const POINT& p) { return static_cast<uint32_t>(p.x) < w && static_cast<uint32_t>(p.y) < h; };
    if (m_pen.style == PS_SOLID && w > 0 && h > 0) {
        // A solid pen, the usual case for a fractal's thousands of short edges: the edges on
        // the bitmap are stepped here, without a call and the pen's set-up per edge.
        uint32_t* const bits = m_bitmap->Bits();
        const uint32_t pixel = PixelFromColor(m_pen.color);
        bool startOn = onBitmap(points[0]);
        for (int i = 0; i < count; ++i) {
            const POINT& a = points[i];
            const POINT& b = points[i + 1 < count ? i + 1 : 0];
            const bool endOn = onBitmap(b);
            if (startOn && endOn)
                SolidEdgeOnBitmap(bits, w, a, b, pixel);
            else
                PenSegment(a.x, a.y, b.x, b.y, phase);
            startOn = endOn;
        }
        return;
    }
    for (int i = 0; i < count; ++i) {
        const POINT& a = points[i];
        const POINT& b = points[i + 1 < count ? i + 1 : 0];
        if (onBitmap(a) && onBitmap(b))
            InsideSegment(a.x, a.y, b.x, b.y, phase);
        else
            PenSegment(a.x, a.y, b.x, b.y, phase);
    }
}
