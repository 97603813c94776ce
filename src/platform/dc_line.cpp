// The pen's line stepper.
//
// A line from (x0, y0) to (x1, y1) has n = max(|dx|, |dy|) pixels, i = 0 .. n-1, the end pixel
// being left out. Along the major axis pixel i sits at major0 + i * sign; along the minor axis at
// minor0 + m(i) * sign, where m(i) is the ideal offset i * aminor / amajor rounded to the nearest
// integer, with halves going towards the larger coordinate. The rounding rule depends on the
// absolute direction only, so a line and its reverse cover the same pixels (but for the end each
// leaves out), and a closed outline looks the same whichever way it is drawn.
//
// With bias = 1 when the minor axis runs backwards and 0 otherwise:
//     m(i) = floor((2 * i * aminor + amajor - bias) / (2 * amajor)).
// Its numerator grows by 2 * aminor per step, which is at most one whole 2 * amajor, so the
// stepper carries the remainder and moves one minor step whenever it wraps: exact, no drift.
//
// Clipping solves lo <= m(i) <= hi for i in closed form, so the stepper starts right at
// the first visible pixel with the same remainder the full line would have there, and stops after
// the last one. The products involved reach about 2^66, hence the 128-bit arithmetic.
#include <algorithm>

#include "platform/dc.h"

namespace {

__extension__ typedef __int128 Int128;

// Floor and ceiling of a / b for b > 0.
Int128 FloorDiv(Int128 a, Int128 b)
{
    Int128 q = a / b;
    if (a % b != 0 && a < 0)
        --q;
    return q;
}

Int128 CeilDiv(Int128 a, Int128 b)
{
    return -FloorDiv(-a, b);
}

int64_t CeilDiv64(int64_t a, int64_t b)  // b > 0
{
    int64_t q = a / b;
    if (a % b != 0 && a > 0)
        ++q;
    return q;
}

// Extents below this bound keep the clipping products below 2^62.
constexpr int64_t kSmall = int64_t{1} << 30;

// Pattern positions run 0 .. period-1; the first `on` of them are drawn.
constexpr uint32_t kDashPeriod = 24, kDashOn = 18;
constexpr uint32_t kDotPeriod = 6, kDotOn = 3;

// The pattern position `steps` further on (constant periods: no division instruction).
uint32_t AdvancePhase(PenStyle style, uint32_t phase, uint64_t steps)
{
    switch (style) {
    case PS_DASH:
        return static_cast<uint32_t>((phase % kDashPeriod + steps % kDashPeriod) % kDashPeriod);
    case PS_DOT:
        return static_cast<uint32_t>((phase % kDotPeriod + steps % kDotPeriod) % kDotPeriod);
    case PS_SOLID:
        break;
    }
    return 0;
}

// One line's walk over the bitmap, as pixel indices: each step moves majorStride, and
// minorStride more whenever the remainder wraps past the modulus.
struct Walk {
    int64_t index;
    int64_t majorStride;
    int64_t minorStride;
    int64_t count;
    int64_t remainder;
    int64_t increment;
    int64_t modulus;
};

template <uint32_t kPeriod, uint32_t kOn>
void Step(uint32_t* bits, Walk w, uint32_t phase, uint32_t pixel)
{
    for (int64_t k = 0; k < w.count; ++k) {
        if (kPeriod == 1 || phase < kOn)
            bits[w.index] = pixel;
        if (kPeriod != 1 && ++phase == kPeriod)
            phase = 0;
        // The minor step, without a branch: on a shallow slope it is taken at random.
        w.remainder += w.increment;
        const int64_t wrap = w.remainder >= w.modulus ? -1 : 0;
        w.remainder -= w.modulus & wrap;
        w.index += w.majorStride + (w.minorStride & wrap);
    }
}

// Narrows first..last (steps of a line whose major axis runs from major0 by majorSign, amajor
// steps in all, and whose minor offset grows by aminor over them) to the steps that fall inside
// majorLimit x minorLimit. False when none do. Kept out of line: most lines never need it.
[[gnu::noinline]] bool ClipSteps(int64_t major0, int64_t minor0, int64_t majorSign, int64_t minorSign,
                                 int64_t amajor, int64_t aminor, int64_t bias, int64_t majorLimit,
                                 int64_t minorLimit, int64_t& first, int64_t& last)
{
    // Major axis: the position is linear in i.
    if (majorSign > 0) {
        first = std::max(first, -major0);
        last = std::min(last, majorLimit - 1 - major0);
    } else {
        first = std::max(first, major0 - majorLimit + 1);
        last = std::min(last, major0);
    }
    // Minor axis: the offset m(i) must stay within lo..hi.
    const int64_t lo = minorSign > 0 ? -minor0 : minor0 - minorLimit + 1;
    const int64_t hi = minorSign > 0 ? minorLimit - 1 - minor0 : minor0;
    if (aminor == 0) {
        if (lo > 0 || hi < 0)
            return false;
    } else {
        // m(i) >= lo  <=>  i >= ceil(((2 lo - 1) amajor + bias) / (2 aminor))
        // m(i) <= hi  <=>  i <  ceil(((2 hi + 1) amajor + bias) / (2 aminor))
        int64_t iLo, iHi;
        if (amajor < kSmall && lo > -kSmall && lo < kSmall && hi > -kSmall && hi < kSmall) {
            // The products stay below 2^62: 64-bit division is much cheaper.
            iLo = CeilDiv64((2 * lo - 1) * amajor + bias, 2 * aminor);
            iHi = CeilDiv64((2 * hi + 1) * amajor + bias, 2 * aminor) - 1;
        } else {
            const Int128 twoMinor = Int128{2} * aminor;
            const Int128 lo128 = CeilDiv((Int128{2} * lo - 1) * amajor + bias, twoMinor);
            const Int128 hi128 = CeilDiv((Int128{2} * hi + 1) * amajor + bias, twoMinor) - 1;
            if (lo128 > last || hi128 < first)
                return false;
            iLo = static_cast<int64_t>(std::max<Int128>(first, lo128));
            iHi = static_cast<int64_t>(std::min<Int128>(last, hi128));
        }
        first = std::max(first, iLo);
        last = std::min(last, iHi);
    }
    return first <= last;
}

}  // namespace

void CDC::InsideSegment(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t& phase)
{
    // Both ends lie on the bitmap, so every pixel does: the walk starts at (x0, y0) with the
    // full line's remainder and takes all n steps.
    const int64_t dx = int64_t{x1} - x0;
    const int64_t dy = int64_t{y1} - y0;
    const int64_t adx = dx < 0 ? -dx : dx;
    const int64_t ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const int64_t n = xMajor ? adx : ady;
    if (n == 0)
        return;
    const int64_t width = m_bitmap->Width();
    const int64_t xStride = dx < 0 ? -1 : 1;
    const int64_t yStride = dy < 0 ? -width : width;
    Walk walk;
    walk.index = int64_t{y0} * width + x0;
    walk.majorStride = xMajor ? xStride : yStride;
    walk.minorStride = xMajor ? yStride : xStride;
    walk.count = n;
    walk.modulus = 2 * n;
    walk.increment = 2 * (xMajor ? ady : adx);
    walk.remainder = n - ((xMajor ? dy : dx) < 0 ? 1 : 0);
    const uint32_t pixel = PixelFromColor(m_pen.color);
    const uint32_t startPhase = phase;
    switch (m_pen.style) {
    case PS_SOLID:
        Step<1, 1>(m_bitmap->Bits(), walk, 0, pixel);
        break;
    case PS_DASH:
        phase = AdvancePhase(PS_DASH, startPhase, static_cast<uint64_t>(n));
        Step<kDashPeriod, kDashOn>(m_bitmap->Bits(), walk, startPhase % kDashPeriod, pixel);
        break;
    case PS_DOT:
        phase = AdvancePhase(PS_DOT, startPhase, static_cast<uint64_t>(n));
        Step<kDotPeriod, kDotOn>(m_bitmap->Bits(), walk, startPhase % kDotPeriod, pixel);
        break;
    }
}

void CDC::PenSegment(int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t& phase)
{
    const int64_t dx = x1 - x0;
    const int64_t dy = y1 - y0;
    const int64_t adx = dx < 0 ? -dx : dx;
    const int64_t ady = dy < 0 ? -dy : dy;
    const int64_t n = std::max(adx, ady);
    if (n == 0)
        return;

    const PenStyle style = m_pen.style;
    const uint32_t startPhase = phase;
    if (style != PS_SOLID)
        phase = AdvancePhase(style, startPhase, static_cast<uint64_t>(n));

    if (m_bitmap == nullptr)
        return;
    const int64_t width = m_bitmap->Width();
    const int64_t height = m_bitmap->Height();
    const int64_t xLow = std::min(x0, x1), xHigh = std::max(x0, x1);
    const int64_t yLow = std::min(y0, y1), yHigh = std::max(y0, y1);

    // Nothing to do when the box around the line misses the bitmap (or the bitmap is empty).
    if (xHigh < 0 || xLow >= width || yHigh < 0 || yLow >= height)
        return;

    const bool xMajor = adx >= ady;
    const int64_t majorSign = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int64_t minorSign = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const int64_t aminor = xMajor ? ady : adx;
    const int64_t bias = minorSign < 0 ? 1 : 0;

    // The visible steps are first..last: all of them when both ends are inside, since every
    // pixel lies in the box spanned by the ends.
    int64_t first = 0;
    int64_t last = n - 1;
    if (xLow < 0 || xHigh >= width || yLow < 0 || yHigh >= height) {
        if (!ClipSteps(xMajor ? x0 : y0, xMajor ? y0 : x0, majorSign, minorSign, n, aminor, bias,
                       xMajor ? width : height, xMajor ? height : width, first, last))
            return;
    }

    // State of the full line at step `first`.
    Walk walk;
    walk.modulus = 2 * n;
    walk.increment = 2 * aminor;
    walk.remainder = n - bias;  // below the modulus, so m(0) = 0
    int64_t offset = 0;
    if (first > 0 && first < kSmall && aminor < kSmall) {
        const int64_t numerator = 2 * first * aminor + n - bias;  // below 2^62
        offset = numerator / walk.modulus;
        walk.remainder = numerator - offset * walk.modulus;
    } else if (first > 0) {
        const Int128 numerator = Int128{2} * first * aminor + n - bias;
        offset = static_cast<int64_t>(numerator / walk.modulus);  // numerator > 0
        walk.remainder = static_cast<int64_t>(numerator - Int128{offset} * walk.modulus);
    }
    const int64_t major = (xMajor ? x0 : y0) + majorSign * first;
    const int64_t minor = (xMajor ? y0 : x0) + minorSign * offset;
    walk.index = xMajor ? minor * width + major : major * width + minor;
    walk.majorStride = xMajor ? majorSign : majorSign * width;
    walk.minorStride = xMajor ? minorSign * width : minorSign;
    walk.count = last - first + 1;
    const uint32_t pixel = PixelFromColor(m_pen.color);

    switch (style) {
    case PS_DASH:
        Step<kDashPeriod, kDashOn>(m_bitmap->Bits(), walk, AdvancePhase(style, startPhase, first), pixel);
        break;
    case PS_DOT:
        Step<kDotPeriod, kDotOn>(m_bitmap->Bits(), walk, AdvancePhase(style, startPhase, first), pixel);
        break;
    case PS_SOLID:
        Step<1, 1>(m_bitmap->Bits(), walk, 0, pixel);
        break;
    }
}
