// The antialiased raster device: line mask, even-odd fill buffer and their compositing in
// linear light.
#include "render/smooth_raster.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// sRGB transfer functions: byte to linear light, and linear light (in 4096 steps) to byte.
struct ColorTables {
    std::array<float, 256> toLinear{};
    std::array<uint8_t, 4097> toSrgb{};
    ColorTables()
    {
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            toLinear[i] = static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        for (int i = 0; i <= 4096; ++i) {
            const double l = i / 4096.0;
            const double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1.0 / 2.4) - 0.055;
            toSrgb[i] = static_cast<uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255.0));
        }
    }
};

const ColorTables& Tables()
{
    static const ColorTables tables;
    return tables;
}

inline uint8_t ToSrgb(const ColorTables& t, float linear)
{
    const float i = linear * 4096.0f + 0.5f;
    return t.toSrgb[static_cast<size_t>(i <= 0.0f ? 0.0f : (i >= 4096.0f ? 4096.0f : i))];
}

// Blends a colour given in linear light at coverage `a` (0..1) over the straight-alpha sRGB
// pixel `px`.
inline void BlendOver(const ColorTables& t, uint8_t* px, const float* linear, float a)
{
    const uint8_t dstAlpha = px[3];
    if (dstAlpha == 255) {
        for (int c = 0; c < 3; ++c) {
            const float d = t.toLinear[px[c]];
            px[c] = ToSrgb(t, d + (linear[c] - d) * a);
        }
        return;
    }
    const float da = dstAlpha * (1.0f / 255.0f);
    const float outAlpha = a + da * (1.0f - a);
    if (outAlpha <= 0.0f)
        return;
    const float keep = da * (1.0f - a);
    for (int c = 0; c < 3; ++c)
        px[c] = ToSrgb(t, (linear[c] * a + t.toLinear[px[c]] * keep) / outAlpha);
    px[3] = static_cast<uint8_t>(std::lround(outAlpha * 255.0f));
}

// Length of the overlap of the pixel's extent [d - 0.5, d + 0.5] with [-half, half].
inline float Overlap(float d, float half)
{
    const float a = std::fabs(d);
    const float hi = std::min(a + 0.5f, half);
    const float lo = std::max(a - 0.5f, -half);
    return hi > lo ? hi - lo : 0.0f;
}

// The coverages of four pixels across a thin line, the first at distance d0 from the line's
// centre and each next one a pixel further (d0 + 1 + 1 + ..., rounded at each step as a
// pixel-by-pixel walk rounds it), as bytes 0..3 of the result: Overlap(d, half) * 255
// rounded, exactly as the walk computes it.
inline uint32_t FourCoverages(float d0, float half)
{
#if defined(__SSE2__)
    __m128 d = _mm_set1_ps(d0);
    d = _mm_add_ps(d, _mm_setr_ps(0.0f, 1.0f, 1.0f, 1.0f));
    d = _mm_add_ps(d, _mm_setr_ps(0.0f, 0.0f, 1.0f, 1.0f));
    d = _mm_add_ps(d, _mm_setr_ps(0.0f, 0.0f, 0.0f, 1.0f));
    const __m128 sign = _mm_set1_ps(-0.0f);
    const __m128 a = _mm_andnot_ps(sign, d);
    const __m128 h = _mm_set1_ps(half);
    const __m128 pixelHalf = _mm_set1_ps(0.5f);
    const __m128 hi = _mm_min_ps(_mm_add_ps(a, pixelHalf), h);
    const __m128 lo = _mm_max_ps(_mm_sub_ps(a, pixelHalf), _mm_xor_ps(h, sign));
    const __m128 overlap = _mm_and_ps(_mm_cmpgt_ps(hi, lo), _mm_sub_ps(hi, lo));
    const __m128i v = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(overlap, _mm_set1_ps(255.0f)), pixelHalf));
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(v, v), _mm_setzero_si128());
    return static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
#else
    uint32_t result = 0;
    float d = d0;
    for (int k = 0; k < 4; ++k, d += 1.0f) {
        const int value = static_cast<int>(Overlap(d, half) * 255.0f + 0.5f);
        result |= static_cast<uint32_t>(value > 255 ? 255 : value) << (8 * k);
    }
    return result;
#endif
}

// The larger of each of the four bytes of a and b.
inline uint32_t MaxBytes(uint32_t a, uint32_t b)
{
#if defined(__SSE2__)
    const __m128i m = _mm_max_epu8(_mm_cvtsi32_si128(static_cast<int>(a)), _mm_cvtsi32_si128(static_cast<int>(b)));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(m));
#else
    uint32_t result = 0;
    for (int k = 0; k < 32; k += 8)
        result |= std::max((a >> k) & 0xFF, (b >> k) & 0xFF) << k;
    return result;
#endif
}

// Keeps the larger of each pixel's coverage and the four in `four` (lowest byte first), in
// the four mask pixels from p on along the column: next to each other in a steep line's
// transposed mask, stepV apart otherwise.
template <bool Steep>
inline void KeepLargerFour(uint8_t* p, uint32_t four, size_t stepV)
{
    if constexpr (Steep) {
        uint32_t old;
        std::memcpy(&old, p, 4);
        const uint32_t larger = MaxBytes(old, four);
        std::memcpy(p, &larger, 4);
    } else {
        for (size_t k = 0; k < 4; ++k, p += stepV) {
            const uint8_t value = static_cast<uint8_t>(four >> (8 * k));
            *p = value > *p ? value : *p;
        }
    }
}

// Floor and ceiling of a value well within the int32 range, without a library call.
template <class T>
inline int32_t FloorToInt(T v)
{
    const int32_t t = static_cast<int32_t>(v);
    return static_cast<T>(t) > v ? t - 1 : t;
}

template <class T>
inline int32_t CeilToInt(T v)
{
    const int32_t t = static_cast<int32_t>(v);
    return static_cast<T>(t) < v ? t + 1 : t;
}

// Widens the image's range of rows that may differ from its blank value.
inline void MarkRows(CRgbaImage& image, int32_t lo, int32_t hi)
{
    if (lo > hi)
        return;
    if (image.dirtyRowLo > image.dirtyRowHi) {
        image.dirtyRowLo = lo;
        image.dirtyRowHi = hi;
        return;
    }
    image.dirtyRowLo = std::min(image.dirtyRowLo, lo);
    image.dirtyRowHi = std::max(image.dirtyRowHi, hi);
}

constexpr int64_t kMaxPixels = int64_t{1} << 28;

}  // namespace

bool CSmoothRaster::Reset(int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0 || static_cast<int64_t>(width) * height > kMaxPixels)
        return false;
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    const bool sameSize = width == m_width && height == m_height && m_lines.size() == pixels;
    try {
        // Compositing clears the line mask where it reads it, so a mask of the same size needs
        // clearing only in rows drawn since.
        if (sameSize) {
            if (m_lineRowLo <= m_lineRowHi)
                std::fill(m_lines.begin() + static_cast<std::ptrdiff_t>(m_lineRowLo) * width,
                          m_lines.begin() + static_cast<std::ptrdiff_t>(m_lineRowHi + 1) * width, uint8_t{0});
        } else {
            m_lines.assign(pixels, 0);
        }
        // The fill buffer is kept for the next picture of the same size, cleared where used.
        if (width == m_width && height == m_height && !m_fill.empty()) {
            if (m_fillRowLo <= m_fillRowHi)
                std::fill(m_fill.begin() + static_cast<std::ptrdiff_t>(m_fillRowLo) * (width + 2),
                          m_fill.begin() + static_cast<std::ptrdiff_t>(m_fillRowHi + 1) * (width + 2), 0.0f);
        } else {
            m_fill.clear();
        }
        // Positions are read only where the mask is set, and written with it.
        if (m_recordPosition && m_position.size() != pixels)
            m_position.assign(pixels, 0);
        else if (!m_recordPosition)
            m_position.clear();
    } catch (const std::bad_alloc&) {
        m_lines.clear();
        m_position.clear();
        m_width = m_height = 0;
        return false;
    }
    m_width = width;
    m_height = height;
    m_outOfMemory = false;
    m_lineRowLo = 0;
    m_lineRowHi = -1;
    m_fillRowLo = 0;
    m_fillRowHi = -1;
    return true;
}

void CSmoothRaster::Release()
{
    std::vector<uint8_t>().swap(m_lines);
    std::vector<uint16_t>().swap(m_position);
    std::vector<float>().swap(m_fill);
    m_width = m_height = 0;
    m_lineRowLo = m_fillRowLo = 0;
    m_lineRowHi = m_fillRowHi = -1;
}

void CSmoothRaster::SetLineWidth(float width)
{
    if (!(width >= 0.01f))
        width = 0.01f;
    m_halfWidth = std::min(width, 1000.0f) * 0.5f;
}

void CSmoothRaster::StrokeAnySegment(double x0, double y0, double x1, double y1, float position, bool startCap)
{
    // A segment reaching far beyond the picture is cut to the part near it first (its ends
    // there lie further out than any pixel it could cover), so that the offsets below stay
    // small enough for floats.
    constexpr double kFar = FAR_COORDINATE;
    if (std::fabs(x0) > kFar || std::fabs(y0) > kFar || std::fabs(x1) > kFar || std::fabs(y1) > kFar) {
        if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
            return;
        const double margin = m_halfWidth + 2.0;
        const double lo[2] = {-margin, -margin};
        const double hi[2] = {m_width + margin, m_height + margin};
        const double p[2] = {x0, y0};
        const double d[2] = {x1 - x0, y1 - y0};
        double t0 = 0.0, t1 = 1.0;
        for (int k = 0; k < 2; ++k) {
            if (d[k] == 0.0) {
                if (p[k] < lo[k] || p[k] > hi[k])
                    return;
                continue;
            }
            double a = (lo[k] - p[k]) / d[k];
            double b = (hi[k] - p[k]) / d[k];
            if (a > b)
                std::swap(a, b);
            t0 = std::max(t0, a);
            t1 = std::min(t1, b);
        }
        if (!(t0 < t1))
            return;
        x1 = p[0] + d[0] * t1;
        y1 = p[1] + d[1] * t1;
        x0 = p[0] + d[0] * t0;
        y0 = p[1] + d[1] * t0;
    }
    if (m_halfWidth <= THIN_HALF_WIDTH) {
        StrokeThin(x0, y0, x1, y1, position);
        return;
    }
    const double ddx = x1 - x0;
    const double ddy = y1 - y0;
    const double lengthSquared = ddx * ddx + ddy * ddy;
    if (!(lengthSquared > 0.0) || !(lengthSquared < 1e300))
        return;
    const double length = std::sqrt(lengthSquared);
    const double inverse = 1.0 / length;
    const float ux = static_cast<float>(ddx * inverse);
    const float uy = static_cast<float>(ddy * inverse);
    const float ax = std::fabs(ux);
    const float ay = std::fabs(uy);
    // Half sizes of the covered rectangle along and across the segment, and of the region
    // where a pixel centre sees any of it. Wide lines end flat at the end points, which get
    // a disc of the line's width each: round ends and round joints.
    const float h = m_halfWidth;
    if (startCap)
        StampDisc(x0, y0, position);
    StampDisc(x1, y1, position);
    const float along = static_cast<float>(length * 0.5);
    const float reachA = along + 0.5f;
    const float reachC = h + 0.5f;
    const double cx = (x0 + x1) * 0.5;
    const double cy = (y0 + y1) * 0.5;
    const double extentY = ay * reachA + ax * reachC;
    const double extentX = ax * reachA + ay * reachC;
    if (cy + extentY <= 0.0 || cy - extentY >= m_height || cx + extentX <= 0.0 || cx - extentX >= m_width)
        return;

    const int32_t rowFirst = std::max(0, CeilToInt(cy - extentY - 0.5));
    const int32_t rowLast = std::min(m_height - 1, FloorToInt(cy + extentY - 0.5));
    if (rowFirst > rowLast)
        return;
    TouchRows(rowFirst, rowLast);

    // In a row at height yc from the centre, pixel centres at x from the centre see the
    // stroke where |-uy * x + ux * yc| < reachC and |ux * x + uy * yc| < reachA: two ranges of
    // x whose middles move linearly with yc. A segment along an axis has one of them unbounded.
    constexpr float kUnbounded = 1e30f;
    const float inverseY = ay > 1e-6f ? 1.0f / uy : 0.0f;
    const float inverseX = ax > 1e-6f ? 1.0f / ux : 0.0f;
    const float slopeC = ux * inverseY;
    const float halfC = ay > 1e-6f ? reachC * std::fabs(inverseY) : kUnbounded;
    const float slopeA = -uy * inverseX;
    const float halfA = ax > 1e-6f ? reachA * std::fabs(inverseX) : kUnbounded;

    const float p = position > 0.0f ? (position < 1.0f ? position : 1.0f) : 0.0f;
    const uint16_t pos = static_cast<uint16_t>(p * 65535.0f + 0.5f);
    const bool record = m_recordPosition && !m_position.empty();
    for (int32_t row = rowFirst; row <= rowLast; ++row) {
        const float yc = static_cast<float>(row + 0.5 - cy);
        const float lo = std::max(slopeC * yc - halfC, slopeA * yc - halfA);
        const float hi = std::min(slopeC * yc + halfC, slopeA * yc + halfA);
        if (!(lo < hi))
            continue;
        const int32_t xFirst = std::max(0, CeilToInt(std::max(cx + lo - 0.5, -1.0)));
        const int32_t xLast = std::min(m_width - 1, FloorToInt(std::min(cx + hi - 0.5, static_cast<double>(m_width))));
        if (xFirst > xLast)
            continue;
        uint8_t* line = m_lines.data() + static_cast<size_t>(row) * m_width;
        uint16_t* posRow = record ? m_position.data() + static_cast<size_t>(row) * m_width : nullptr;
        const float xc0 = static_cast<float>(xFirst + 0.5 - cx);
        const float across0 = -uy * xc0 + ux * yc;
        const float along0 = ux * xc0 + uy * yc;
        for (int32_t x = xFirst; x <= xLast; ++x) {
            const float step = static_cast<float>(x - xFirst);
            const float coverage = Overlap(across0 - uy * step, h) * Overlap(along0 + ux * step, along);
            const int v = static_cast<int>(coverage * 255.0f + 0.5f);
            if (v > line[x]) {
                line[x] = static_cast<uint8_t>(v > 255 ? 255 : v);
                if (posRow != nullptr)
                    posRow[x] = pos;
            }
        }
    }
}

// A thin line, stepped along its major axis: every pixel column (or row) whose centre lies
// on the segment, extended by half the width at both ends, gets the part of it that the line
// covers across, where the line's thickness across is its width over the cosine of its slope.
// This is the coverage of the line's rectangle sampled at the column's centre; a polyline's
// columns follow on from segment to segment, and the extended ends close every joint.
void CSmoothRaster::StrokeThin(double x0, double y0, double x1, double y1, float position)
{
    // The ends lie within reach of the picture (far ends were cut before), so floats hold
    // them to a small part of a pixel.
    const float dx = static_cast<float>(x1 - x0);
    const float dy = static_cast<float>(y1 - y0);
    if (!(dx != 0.0f || dy != 0.0f) || !std::isfinite(dx) || !std::isfinite(dy))
        return;
    const bool steep = std::fabs(dy) > std::fabs(dx);
    // Major axis u, minor axis v: (u, v) = (x, y), or (y, x) for a steep line.
    float u0 = static_cast<float>(steep ? y0 : x0);
    float v0 = static_cast<float>(steep ? x0 : y0);
    float u1 = static_cast<float>(steep ? y1 : x1);
    float v1 = static_cast<float>(steep ? x1 : y1);
    if (u0 > u1) {
        std::swap(u0, u1);
        std::swap(v0, v1);
    }
    const float du = u1 - u0;
    if (!(du > 0.0f))
        return;
    const float slope = (v1 - v0) / du;
    // sqrt(1 + s^2) for |s| <= 1 within 0.2 per cent, without the square root's latency.
    const float s2 = slope * slope;
    const float half = m_halfWidth * (1.0f + s2 * (0.5f - 0.0857864f * s2));
    const int32_t majorSize = steep ? m_height : m_width;
    // Columns whose centres lie within the extended segment, the start included and the end
    // not, so that the columns of consecutive segments follow on without overlapping.
    const int32_t first = std::max(0, CeilToInt(std::max(u0 - m_halfWidth - 0.5f, -1.0f)));
    const int32_t last =
        std::min(majorSize - 1, CeilToInt(std::min(u1 + m_halfWidth - 0.5f, static_cast<float>(majorSize))) - 1);
    if (first > last)
        return;
    uint16_t pos = 0;
    uint16_t* positions = nullptr;
    if (m_recordPosition && !m_position.empty()) [[unlikely]] {
        const float p = position > 0.0f ? (position < 1.0f ? position : 1.0f) : 0.0f;
        pos = static_cast<uint16_t>(p * 65535.0f + 0.5f);
        positions = m_position.data();
    }
    const float reach = half + 0.5f;
    const float vStart = v0 + ((static_cast<float>(first) + 0.5f) - u0) * slope;
    const float vEnd = vStart + static_cast<float>(last - first) * slope;
    if (steep) {
        ThinColumns<true>(first, last, vStart, slope, half, pos, positions);
        TouchRows(first, last);
    } else {
        ThinColumns<false>(first, last, vStart, slope, half, pos, positions);
        const int32_t lo = std::max(0, FloorToInt(std::min(vStart, vEnd) - reach));
        const int32_t hi = std::min(m_height - 1, CeilToInt(std::max(vStart, vEnd) + reach));
        if (lo <= hi)
            TouchRows(lo, hi);
    }
}

void CSmoothRaster::StrokeThinPath(double x0, double y0, const double* xy, size_t stride, size_t count)
{
    const char* const records = reinterpret_cast<const char*>(xy);
    auto point = [records, stride](size_t i) { return reinterpret_cast<const double*>(records + i * stride); };
    size_t i = 0;
#if defined(__SSE2__)
    // Four segments at a time when all their ends lie near the picture (no cutting needed)
    // and StrokeSegment would step them as plain thin lines.
    if (ThinLines() && !(m_recordPosition && !m_position.empty())) {
        for (; i + 4 <= count; i += 4) {
            const double* p[4] = {point(i), point(i + 1), point(i + 2), point(i + 3)};
            if (!StrokeThinFour(x0, y0, p)) {
                for (size_t k = 0; k < 4; ++k) {
                    StrokeSegment(x0, y0, p[k][0], p[k][1], 0.0f);
                    x0 = p[k][0];
                    y0 = p[k][1];
                }
            }
            x0 = p[3][0];
            y0 = p[3][1];
        }
    }
#endif
    for (; i < count; ++i) {
        const double* p = point(i);
        StrokeSegment(x0, y0, p[0], p[1], 0.0f);
        x0 = p[0];
        y0 = p[1];
    }
}

#if defined(__SSE2__)
namespace {

// m ? a : b, lane by lane.
inline __m128 Select(__m128 m, __m128 a, __m128 b)
{
    return _mm_or_ps(_mm_and_ps(m, a), _mm_andnot_ps(m, b));
}

inline __m128i Select(__m128i m, __m128i a, __m128i b)
{
    return _mm_or_si128(_mm_and_si128(m, a), _mm_andnot_si128(m, b));
}

// CeilToInt and FloorToInt lane by lane.
inline __m128i CeilToInts(__m128 v)
{
    const __m128i t = _mm_cvttps_epi32(v);
    return _mm_sub_epi32(t, _mm_castps_si128(_mm_cmplt_ps(_mm_cvtepi32_ps(t), v)));
}

inline __m128i FloorToInts(__m128 v)
{
    const __m128i t = _mm_cvttps_epi32(v);
    return _mm_add_epi32(t, _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(t), v)));
}

inline __m128i MaxInts(__m128i a, __m128i b)
{
    return Select(_mm_cmpgt_epi32(a, b), a, b);
}

inline __m128i MinInts(__m128i a, __m128i b)
{
    return Select(_mm_cmplt_epi32(a, b), a, b);
}

// Overlap(d, half) * 255 rounded, lane by lane, as FourCoverages works it out.
inline __m128i Coverages(__m128 d, __m128 half)
{
    const __m128 sign = _mm_set1_ps(-0.0f);
    const __m128 pixelHalf = _mm_set1_ps(0.5f);
    const __m128 a = _mm_andnot_ps(sign, d);
    const __m128 hi = _mm_min_ps(_mm_add_ps(a, pixelHalf), half);
    const __m128 lo = _mm_max_ps(_mm_sub_ps(a, pixelHalf), _mm_xor_ps(half, sign));
    const __m128 overlap = _mm_and_ps(_mm_cmpgt_ps(hi, lo), _mm_sub_ps(hi, lo));
    return _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(overlap, _mm_set1_ps(255.0f)), pixelHalf));
}

// a * b lane by lane, for products below 2^31 (the low 32 bits of each product).
inline __m128i MultiplyInts(__m128i a, int32_t b)
{
    const __m128i factor = _mm_set1_epi32(b);
    const __m128i even = _mm_mul_epu32(a, factor);
    const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), factor);
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)), _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

inline __m128 ToFloats(__m128d lo, __m128d hi)
{
    return _mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi));
}

}  // namespace

// StrokeThin's set-up for four segments side by side, each lane the same operations on the
// same values as StrokeThin's, so that every pixel comes out the same.
bool CSmoothRaster::StrokeThinFour(double startX, double startY, const double* const* points)
{
    // Ends (start and end of segments 0, 1 and of segments 2, 3), x and y.
    const __m128d xb01 = _mm_loadh_pd(_mm_load_sd(points[0]), points[1]);
    const __m128d xb23 = _mm_loadh_pd(_mm_load_sd(points[2]), points[3]);
    const __m128d yb01 = _mm_loadh_pd(_mm_load_sd(points[0] + 1), points[1] + 1);
    const __m128d yb23 = _mm_loadh_pd(_mm_load_sd(points[2] + 1), points[3] + 1);
    const __m128d xa01 = _mm_unpacklo_pd(_mm_set_sd(startX), xb01);
    const __m128d ya01 = _mm_unpacklo_pd(_mm_set_sd(startY), yb01);
    const __m128d xa23 = _mm_shuffle_pd(xb01, xb23, 1);
    const __m128d ya23 = _mm_shuffle_pd(yb01, yb23, 1);
    // Every end near the picture (not NaN either), or StrokeSegment draws them.
    const __m128d far = _mm_set1_pd(FAR_COORDINATE);
    const __m128d signs = _mm_set1_pd(-0.0);
    auto near = [&](__m128d v) { return _mm_cmple_pd(_mm_andnot_pd(signs, v), far); };
    const __m128d allNear = _mm_and_pd(_mm_and_pd(_mm_and_pd(near(xa01), near(xa23)), near(xb23)),
                                       _mm_and_pd(_mm_and_pd(near(ya01), near(ya23)), near(yb23)));
    if (_mm_movemask_pd(allNear) != 3)
        return false;
    const __m128 dx = ToFloats(_mm_sub_pd(xb01, xa01), _mm_sub_pd(xb23, xa23));
    const __m128 dy = ToFloats(_mm_sub_pd(yb01, ya01), _mm_sub_pd(yb23, ya23));
    const __m128 sign = _mm_set1_ps(-0.0f);
    const __m128 zero = _mm_setzero_ps();
    const __m128 adx = _mm_andnot_ps(sign, dx);
    const __m128 ady = _mm_andnot_ps(sign, dy);
    const __m128 largest = _mm_set1_ps(FLT_MAX);
    __m128 valid = _mm_and_ps(_mm_or_ps(_mm_cmpneq_ps(dx, zero), _mm_cmpneq_ps(dy, zero)),
                              _mm_and_ps(_mm_cmple_ps(adx, largest), _mm_cmple_ps(ady, largest)));
    const __m128 steep = _mm_cmpgt_ps(ady, adx);
    const __m128 x0 = ToFloats(xa01, xa23);
    const __m128 x1 = ToFloats(xb01, xb23);
    const __m128 y0 = ToFloats(ya01, ya23);
    const __m128 y1 = ToFloats(yb01, yb23);
    const __m128 ua = Select(steep, y0, x0);
    const __m128 va = Select(steep, x0, y0);
    const __m128 ub = Select(steep, y1, x1);
    const __m128 vb = Select(steep, x1, y1);
    const __m128 swap = _mm_cmpgt_ps(ua, ub);
    const __m128 u0 = Select(swap, ub, ua);
    const __m128 u1 = Select(swap, ua, ub);
    const __m128 v0 = Select(swap, vb, va);
    const __m128 v1 = Select(swap, va, vb);
    const __m128 du = _mm_sub_ps(u1, u0);
    valid = _mm_and_ps(valid, _mm_cmpgt_ps(du, zero));
    const __m128 slope = _mm_div_ps(_mm_sub_ps(v1, v0), du);
    const __m128 s2 = _mm_mul_ps(slope, slope);
    const __m128 hw = _mm_set1_ps(m_halfWidth);
    const __m128 pixelHalf = _mm_set1_ps(0.5f);
    const __m128 half = _mm_mul_ps(
        hw, _mm_add_ps(_mm_set1_ps(1.0f), _mm_mul_ps(s2, _mm_sub_ps(pixelHalf, _mm_mul_ps(_mm_set1_ps(0.0857864f), s2)))));
    const __m128i steepInts = _mm_castps_si128(steep);
    const __m128i width = _mm_set1_epi32(m_width);
    const __m128i height = _mm_set1_epi32(m_height);
    const __m128i one = _mm_set1_epi32(1);
    const __m128i majorSize = Select(steepInts, height, width);
    const __m128i first = MaxInts(_mm_setzero_si128(),
                                  CeilToInts(_mm_max_ps(_mm_sub_ps(_mm_sub_ps(u0, hw), pixelHalf), _mm_set1_ps(-1.0f))));
    const __m128i last = MinInts(_mm_sub_epi32(majorSize, one),
                                 _mm_sub_epi32(CeilToInts(_mm_min_ps(_mm_sub_ps(_mm_add_ps(u1, hw), pixelHalf),
                                                                     _mm_cvtepi32_ps(majorSize))),
                                               one));
    valid = _mm_andnot_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(first, last)), valid);
    const __m128 reach = _mm_add_ps(half, pixelHalf);
    const __m128 vStart = _mm_add_ps(v0, _mm_mul_ps(_mm_sub_ps(_mm_add_ps(_mm_cvtepi32_ps(first), pixelHalf), u0), slope));
    const __m128 vEnd = _mm_add_ps(vStart, _mm_mul_ps(_mm_cvtepi32_ps(_mm_sub_epi32(last, first)), slope));

    alignas(16) float starts[4];
    alignas(16) float slopes[4];
    alignas(16) float halves[4];
    alignas(16) int32_t firsts[4];
    alignas(16) int32_t lasts[4];
    _mm_store_ps(starts, vStart);
    _mm_store_ps(slopes, slope);
    _mm_store_ps(halves, half);
    _mm_store_si128(reinterpret_cast<__m128i*>(firsts), first);
    _mm_store_si128(reinterpret_cast<__m128i*>(lasts), last);
    // Segments whose centre line stays well inside the picture across (as ThinColumns tests
    // it) step their columns side by side, one column of each a step, with the four pixels of
    // each column worked out as ThinColumns works them out.
    const __m128 minorSize = _mm_cvtepi32_ps(Select(steepInts, width, height));
    const __m128 inside =
        _mm_and_ps(_mm_cmpge_ps(_mm_min_ps(vStart, vEnd), _mm_add_ps(reach, pixelHalf)),
                   _mm_cmple_ps(_mm_max_ps(vStart, vEnd), _mm_sub_ps(_mm_add_ps(minorSize, reach), _mm_set1_ps(4.5f))));
    const __m128 together = _mm_and_ps(valid, inside);
    const int togetherLanes = _mm_movemask_ps(together);
    if (togetherLanes != 0) {
        const __m128i count = _mm_and_si128(_mm_add_epi32(_mm_sub_epi32(last, first), one), _mm_castps_si128(together));
        alignas(16) int32_t counts[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(counts), count);
        const int32_t steps = std::max(std::max(counts[0], counts[1]), std::max(counts[2], counts[3]));
        // A column's pixels lie a row apart, or, in a steep line, side by side.
        const __m128i stepV = Select(steepInts, one, width);
        const __m128 oneF = _mm_set1_ps(1.0f);
        // A line at most a pixel wide covers at most three pixels of a column, the first
        // three: the fourth one's centre lies beyond the reach.
        const int pixels = m_halfWidth <= 0.5f ? 3 : 4;
        uint8_t* const lines = m_lines.data();
        for (int32_t j = 0; j < steps; ++j) {
            const __m128i jj = _mm_set1_epi32(j);
            const __m128i active = _mm_cmpgt_epi32(count, jj);
            const __m128 vc = _mm_add_ps(vStart, _mm_mul_ps(_mm_cvtepi32_ps(jj), slope));
            const __m128i f = _mm_add_epi32(FloorToInts(_mm_sub_ps(_mm_sub_ps(vc, reach), pixelHalf)), one);
            const __m128 d0 = _mm_sub_ps(_mm_add_ps(_mm_cvtepi32_ps(f), pixelHalf), vc);
            const __m128 d1 = _mm_add_ps(d0, oneF);
            const __m128 d2 = _mm_add_ps(d1, oneF);
            const __m128 d3 = _mm_add_ps(d2, oneF);
            const __m128i c0 = _mm_and_si128(Coverages(d0, half), active);
            const __m128i c1 = _mm_and_si128(Coverages(d1, half), active);
            const __m128i c2 = _mm_and_si128(Coverages(d2, half), active);
            const __m128i c3 = _mm_and_si128(Coverages(d3, half), active);
            // The mask index of each column's first pixel (row * width + column); a lane
            // without a column at this step writes 0 over the mask's first pixel.
            const __m128i u = _mm_add_epi32(first, jj);
            const __m128i row = Select(steepInts, u, f);
            const __m128i column = Select(steepInts, f, u);
            alignas(16) uint8_t bytes[16];  // pixel p of lane k at 4 * p + k
            alignas(16) int32_t indices[4];
            alignas(16) int32_t strides[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(bytes),
                            _mm_packus_epi16(_mm_packs_epi32(c0, c1), _mm_packs_epi32(c2, c3)));
            _mm_store_si128(reinterpret_cast<__m128i*>(indices),
                            _mm_and_si128(_mm_add_epi32(MultiplyInts(row, m_width), column), active));
            _mm_store_si128(reinterpret_cast<__m128i*>(strides), _mm_and_si128(stepV, active));
            for (int k = 0; k < 4; ++k) {
                const size_t step = static_cast<size_t>(strides[k]);
                uint8_t* p = lines + static_cast<size_t>(indices[k]);
                for (int q = 0; q < pixels; ++q, p += step) {
                    const uint8_t value = bytes[4 * q + k];
                    *p = value > *p ? value : *p;
                }
            }
        }
    }

    // The rows drawn on: a thin line's pixels lie less than 4 rows beyond its ends' (its
    // columns reach 1.25 pixels beyond the ends, its pixels 1.6 pixels across).
    const __m128d low = _mm_min_pd(_mm_min_pd(ya01, ya23), yb23);
    const __m128d high = _mm_max_pd(_mm_max_pd(ya01, ya23), yb23);
    const double lowest = std::min(_mm_cvtsd_f64(low), _mm_cvtsd_f64(_mm_unpackhi_pd(low, low)));
    const double highest = std::max(_mm_cvtsd_f64(high), _mm_cvtsd_f64(_mm_unpackhi_pd(high, high)));
    const int32_t rowFirst = std::max(0, static_cast<int32_t>(lowest) - 5);
    const int32_t rowLast = std::min(m_height - 1, static_cast<int32_t>(highest) + 5);
    if (rowFirst <= rowLast)
        TouchRows(rowFirst, rowLast);
    // The other segments one by one.
    const int validLanes = _mm_movemask_ps(_mm_andnot_ps(together, valid));
    if (validLanes == 0)
        return true;
    const int steepLanes = _mm_movemask_ps(steep);
    for (int k = 0; k < 4; ++k) {
        if (!(validLanes >> k & 1))
            continue;
        if (steepLanes >> k & 1)
            ThinColumns<true>(firsts[k], lasts[k], starts[k], slopes[k], halves[k], 0, nullptr);
        else
            ThinColumns<false>(firsts[k], lasts[k], starts[k], slopes[k], halves[k], 0, nullptr);
    }
    return true;
}
#endif

// The columns first..last of a thin line (rows of a steep one): in each, the pixels within
// reach of the line's centre at vStart + (u - first) * slope get their coverage across.
// Inlined into StrokeThin: most segments of a deep fractal span a column or two, where the
// call's set-up costs as much as the columns.
template <bool Steep>
[[gnu::always_inline]] inline void CSmoothRaster::ThinColumns(int32_t first, int32_t last, float vStart, float slope, float half, uint16_t pos,
                                uint16_t* positions)
{
    const int32_t minorSize = Steep ? m_width : m_height;
    const size_t stride = static_cast<size_t>(m_width);
    const size_t stepU = Steep ? stride : 1;
    const size_t stepV = Steep ? 1 : stride;
    const float reach = half + 0.5f;
    const float vLimit = static_cast<float>(minorSize) + reach + 1.0f;
    uint8_t* const lines = m_lines.data();
    if (positions == nullptr) {
        // A line whose centre stays a pixel and more inside the picture across: every column
        // takes the four-pixel way, with no tests (the ends' centres bound the columns' to
        // within far less than the pixel of room).
        const float vEnd = vStart + static_cast<float>(last - first) * slope;
        if (std::min(vStart, vEnd) >= reach + 0.5f && std::max(vStart, vEnd) <= static_cast<float>(minorSize) + reach - 4.5f) {
            for (int32_t u = first; u <= last; ++u) {
                const float vc = vStart + static_cast<float>(u - first) * slope;
                const int32_t f = FloorToInt(vc - reach - 0.5f) + 1;
                const uint32_t four = FourCoverages(static_cast<float>(f) + 0.5f - vc, half);
                uint8_t* p = lines + static_cast<size_t>(u) * stepU + static_cast<size_t>(f) * stepV;
                KeepLargerFour<Steep>(p, four, stepV);
            }
            return;
        }
    }
    for (int32_t u = first; u <= last; ++u) {
        const float vc = vStart + static_cast<float>(u - first) * slope;
        if (!(vc > -reach - 1.0f) || !(vc < vLimit))
            continue;
        const int32_t f = FloorToInt(vc - reach - 0.5f) + 1;
        // A line at most 1.5 pixels wide covers at most four pixels of a column; away from
        // the picture's edges they are worked out together, the ones beyond the line at 0.
        if (positions == nullptr && f >= 0 && f <= minorSize - 4) {
            const uint32_t four = FourCoverages(static_cast<float>(f) + 0.5f - vc, half);
            uint8_t* p = lines + static_cast<size_t>(u) * stepU + static_cast<size_t>(f) * stepV;
            KeepLargerFour<Steep>(p, four, stepV);
            continue;
        }
        const int32_t vFirst = std::max(0, f);
        const int32_t vLast = std::min(minorSize - 1, CeilToInt(vc + reach - 0.5f) - 1);
        float d = static_cast<float>(vFirst) + 0.5f - vc;
        size_t index = static_cast<size_t>(u) * stepU + static_cast<size_t>(vFirst) * stepV;
        for (int32_t v = vFirst; v <= vLast; ++v, d += 1.0f, index += stepV) {
            const int value = static_cast<int>(Overlap(d, half) * 255.0f + 0.5f);
            if (value > lines[index]) {
                lines[index] = static_cast<uint8_t>(value > 255 ? 255 : value);
                if (positions != nullptr)
                    positions[index] = pos;
            }
        }
    }
}

// A disc of the line's width around (x, y), its edge pixels at the part of them it covers
// (as far as the distance of their centres tells).
void CSmoothRaster::StampDisc(double x, double y, float position)
{
    const float h = m_halfWidth;
    const double reach = h + 0.5;
    const int32_t rowFirst = std::max(0, CeilToInt(y - reach - 0.5));
    const int32_t rowLast = std::min(m_height - 1, FloorToInt(y + reach - 0.5));
    const int32_t colFirst = std::max(0, CeilToInt(x - reach - 0.5));
    const int32_t colLast = std::min(m_width - 1, FloorToInt(x + reach - 0.5));
    if (rowFirst > rowLast || colFirst > colLast)
        return;
    TouchRows(rowFirst, rowLast);
    const float p = position > 0.0f ? (position < 1.0f ? position : 1.0f) : 0.0f;
    const uint16_t pos = static_cast<uint16_t>(p * 65535.0f + 0.5f);
    const bool record = m_recordPosition && !m_position.empty();
    for (int32_t row = rowFirst; row <= rowLast; ++row) {
        const float dy = static_cast<float>(row + 0.5 - y);
        uint8_t* line = m_lines.data() + static_cast<size_t>(row) * m_width;
        for (int32_t col = colFirst; col <= colLast; ++col) {
            const float dx = static_cast<float>(col + 0.5 - x);
            const float coverage = std::clamp(h + 0.5f - std::sqrt(dx * dx + dy * dy), 0.0f, 1.0f);
            const int v = static_cast<int>(coverage * 255.0f + 0.5f);
            if (v > line[col]) {
                line[col] = static_cast<uint8_t>(v);
                if (record)
                    m_position[static_cast<size_t>(row) * m_width + col] = pos;
            }
        }
    }
}

void CSmoothRaster::TouchRows(int32_t y0, int32_t y1)
{
    if (m_lineRowLo > m_lineRowHi) {
        m_lineRowLo = y0;
        m_lineRowHi = y1;
        return;
    }
    m_lineRowLo = std::min(m_lineRowLo, y0);
    m_lineRowHi = std::max(m_lineRowHi, y1);
}

void CSmoothRaster::FillEdge(double x0, double y0, double x1, double y1)
{
    if (m_width <= 0 || !std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
        return;
    if (y0 == y1)
        return;
    // Only the rows of the picture matter: clip to 0..height.
    const double h = m_height;
    if ((y0 <= 0.0 && y1 <= 0.0) || (y0 >= h && y1 >= h))
        return;
    auto xAt = [&](double y) { return x0 + (x1 - x0) * ((y - y0) / (y1 - y0)); };
    double ax = x0, ay = y0, bx = x1, by = y1;
    if (ay < 0.0) { ax = xAt(0.0); ay = 0.0; }
    if (by < 0.0) { bx = xAt(0.0); by = 0.0; }
    if (ay > h) { ax = xAt(h); ay = h; }
    if (by > h) { bx = xAt(h); by = h; }
    if (ay == by)
        return;
    if (m_fill.empty()) {
        try {
            m_fill.assign(static_cast<size_t>(m_width + 2) * static_cast<size_t>(m_height), 0.0f);
        } catch (const std::bad_alloc&) {
            m_outOfMemory = true;
            return;
        }
    }

    // Left of the picture an edge still counts for the whole row (it lies on x = 0); right
    // of it an edge counts for nothing. Split where the edge crosses x = 0 and x = width.
    const double w = m_width;
    double cuts[4] = {0.0, 1.0, 1.0, 1.0};
    int count = 1;
    if (ax != bx) {
        for (double edge : {0.0, w}) {
            const double t = (edge - ax) / (bx - ax);
            if (t > 0.0 && t < 1.0)
                cuts[count++] = t;
        }
    }
    if (count == 3 && cuts[2] < cuts[1])
        std::swap(cuts[1], cuts[2]);
    cuts[count] = 1.0;
    for (int i = 0; i < count; ++i) {
        const double ta = cuts[i];
        const double tb = cuts[i + 1];
        double pxa = ax + (bx - ax) * ta, pya = ay + (by - ay) * ta;
        double pxb = ax + (bx - ax) * tb, pyb = ay + (by - ay) * tb;
        if (i + 1 == count) {
            pxb = bx;
            pyb = by;
        }
        const double mid = (pxa + pxb) * 0.5;
        if (mid >= w)
            continue;
        pxa = std::clamp(pxa, 0.0, w);
        pxb = std::clamp(pxb, 0.0, w);
        FillLine(static_cast<float>(pxa), static_cast<float>(pya), static_cast<float>(pxb), static_cast<float>(pyb));
    }
}

// Adds the signed area of an edge inside the picture (0 <= x <= width, 0 <= y <= height) to
// the fill buffer: for every row it crosses, each pixel gets the part of the row's height the
// edge spans there times the part of the pixel right of the edge; the pixel right of those
// gets the rest, so that the running sum along the row carries the edge's winding onwards.
void CSmoothRaster::FillLine(float x0, float y0, float x1, float y1)
{
    if (y0 == y1)
        return;
    float dir = 1.0f;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        dir = -1.0f;
    }
    const size_t stride = static_cast<size_t>(m_width) + 2;
    const float dxdy = (x1 - x0) / (y1 - y0);
    float x = x0;
    const int32_t rowFirst = std::max(0, static_cast<int32_t>(y0));
    const int32_t rowEnd = std::min(m_height, static_cast<int32_t>(std::ceil(y1)));
    if (rowFirst >= rowEnd)
        return;
    if (m_fillRowLo > m_fillRowHi) {
        m_fillRowLo = rowFirst;
        m_fillRowHi = rowEnd - 1;
    } else {
        m_fillRowLo = std::min(m_fillRowLo, rowFirst);
        m_fillRowHi = std::max(m_fillRowHi, rowEnd - 1);
    }
    const float maxX = static_cast<float>(m_width);
    for (int32_t row = rowFirst; row < rowEnd; ++row) {
        float* acc = m_fill.data() + static_cast<size_t>(row) * stride;
        const float dy = std::min(static_cast<float>(row + 1), y1) - std::max(static_cast<float>(row), y0);
        float xnext = std::clamp(x + dxdy * dy, 0.0f, maxX);
        const float d = dy * dir;
        const float xa = std::min(x, xnext);
        const float xb = std::max(x, xnext);
        const float xaFloor = std::floor(xa);
        const int32_t ia = static_cast<int32_t>(xaFloor);
        const int32_t ib = static_cast<int32_t>(std::ceil(xb));
        if (ib <= ia + 1) {
            const float xm = 0.5f * (x + xnext) - xaFloor;
            acc[ia] += d - d * xm;
            acc[ia + 1] += d * xm;
        } else {
            const float s = 1.0f / (xb - xa);
            const float fa = xa - xaFloor;
            const float a0 = 0.5f * s * (1.0f - fa) * (1.0f - fa);
            const float fb = xb - static_cast<float>(ib) + 1.0f;
            const float am = 0.5f * s * fb * fb;
            acc[ia] += d * a0;
            if (ib == ia + 2) {
                acc[ia + 1] += d * (1.0f - a0 - am);
            } else {
                const float a1 = s * (1.5f - fa);
                acc[ia + 1] += d * (a1 - a0);
                for (int32_t k = ia + 2; k < ib - 1; ++k)
                    acc[k] += d * s;
                const float a2 = a1 + static_cast<float>(ib - ia - 3) * s;
                acc[ib - 1] += d * (1.0f - a2 - am);
            }
            acc[ib] += d * am;
        }
        x = xnext;
    }
}

void CSmoothRaster::CompositeFill(CRgbaImage& image, RgbColor color)
{
    if (m_fill.empty() || m_fillRowLo > m_fillRowHi || image.width != m_width || image.height != m_height) {
        m_fillRowLo = 0;
        m_fillRowHi = -1;
        return;
    }
    const ColorTables& t = Tables();
    const float linear[3] = {t.toLinear[color.r], t.toLinear[color.g], t.toLinear[color.b]};
    const size_t stride = static_cast<size_t>(m_width) + 2;
    MarkRows(image, m_fillRowLo, m_fillRowHi);
    for (int32_t row = m_fillRowLo; row <= m_fillRowHi; ++row) {
        float* acc = m_fill.data() + static_cast<size_t>(row) * stride;
        uint8_t* px = image.pixels.data() + static_cast<size_t>(row) * m_width * 4;
        float sum = 0.0f;
        for (int32_t x = 0; x < m_width; ++x, px += 4) {
            sum += acc[x];
            // Even-odd: the winding's parity, with partial pixels folded back.
            float c = std::fmod(std::fabs(sum), 2.0f);
            if (c > 1.0f)
                c = 2.0f - c;
            if (c > 0.5f / 255.0f)
                BlendOver(t, px, linear, c > 1.0f ? 1.0f : c);
        }
        std::fill(acc, acc + stride, 0.0f);
    }
    m_fillRowLo = 0;
    m_fillRowHi = -1;
}

void CSmoothRaster::CompositeLines(CRgbaImage& image, RgbColor color, bool gradient, RgbColor to)
{
    if (m_lineRowLo > m_lineRowHi || image.width != m_width || image.height != m_height) {
        m_lineRowLo = 0;
        m_lineRowHi = -1;
        return;
    }
    const ColorTables& t = Tables();
    const float from[3] = {t.toLinear[color.r], t.toLinear[color.g], t.toLinear[color.b]};
    const float end[3] = {t.toLinear[to.r], t.toLinear[to.g], t.toLinear[to.b]};
    const bool withPosition = gradient && !m_position.empty();
    // A solid colour over one and the same pixel value gives one of 256 results by coverage:
    // those are blended once, when that pixel value first appears. The value is the image's
    // blank one when known (most pixels under the lines), else the first pixel met.
    uint32_t cachedPixel = 0;
    bool cachedKnown = image.blankKnown;
    if (cachedKnown)
        std::memcpy(&cachedPixel, image.blank, 4);
    bool cached = false;
    std::array<uint32_t, 256> blended;
    MarkRows(image, m_lineRowLo, m_lineRowHi);

    const size_t width = static_cast<size_t>(m_width);
    for (int32_t row = m_lineRowLo; row <= m_lineRowHi; ++row) {
        uint8_t* mask = m_lines.data() + static_cast<size_t>(row) * width;
        uint8_t* px = image.pixels.data() + static_cast<size_t>(row) * width * 4;
        const uint16_t* posRow = withPosition ? m_position.data() + static_cast<size_t>(row) * width : nullptr;
        auto composite = [&](size_t x) {
            const uint8_t v = mask[x];
            uint8_t* p = px + x * 4;
            if (posRow != nullptr) {
                const float a = v * (1.0f / 255.0f);
                const float f = posRow[x] * (1.0f / 65535.0f);
                const float c[3] = {from[0] + (end[0] - from[0]) * f, from[1] + (end[1] - from[1]) * f,
                                    from[2] + (end[2] - from[2]) * f};
                BlendOver(t, p, c, a);
            } else {
                uint32_t value;
                std::memcpy(&value, p, 4);
                if (!cachedKnown) {
                    cachedPixel = value;
                    cachedKnown = true;
                }
                if (value == cachedPixel) {
                    if (!cached) {
                        blended[0] = cachedPixel;
                        for (int k = 1; k < 256; ++k) {
                            uint8_t b[4];
                            std::memcpy(b, &cachedPixel, 4);
                            BlendOver(t, b, from, k * (1.0f / 255.0f));
                            std::memcpy(&blended[k], b, 4);
                        }
                        cached = true;
                    }
                    std::memcpy(p, &blended[v], 4);
                } else {
                    BlendOver(t, p, from, v * (1.0f / 255.0f));
                }
            }
            mask[x] = 0;
        };
        // Uncovered pixels are skipped 64 at a time, then 8 at a time.
        size_t x = 0;
        for (; x + 64 <= width; x += 64) {
            uint64_t word[8];
            std::memcpy(word, mask + x, 64);
            if ((word[0] | word[1] | word[2] | word[3] | word[4] | word[5] | word[6] | word[7]) == 0)
                continue;
            for (size_t w = 0; w < 8; ++w) {
                if (word[w] == 0)
                    continue;
                const size_t at = x + 8 * w;
                if (posRow == nullptr && cached) {
                    // All eight pixels without a branch each: a pixel of the cached value
                    // takes its blend from the table (entry 0 being the value itself), any
                    // other is kept, unless covered, when it is blended on its own.
                    uint8_t* p = px + at * 4;
                    for (size_t i = 0; i < 8; ++i, p += 4) {
                        const uint8_t v = mask[at + i];
                        uint32_t value;
                        std::memcpy(&value, p, 4);
                        const uint32_t out = value == cachedPixel ? blended[v] : value;
                        std::memcpy(p, &out, 4);
                        if (value != cachedPixel && v != 0) [[unlikely]]
                            BlendOver(t, p, from, v * (1.0f / 255.0f));
                    }
                    std::memset(mask + at, 0, 8);
                    continue;
                }
                for (size_t i = at; i < at + 8; ++i) {
                    if (mask[i] != 0)
                        composite(i);
                }
            }
        }
        for (; x < width; ++x) {
            if (mask[x] != 0)
                composite(x);
        }
    }
    m_lineRowLo = 0;
    m_lineRowHi = -1;
}

void CSmoothRaster::CompositeRect(CRgbaImage& image, double x0, double y0, double x1, double y1, RgbColor color)
{
    if (!(x0 < x1) || !(y0 < y1))
        return;
    const ColorTables& t = Tables();
    const float linear[3] = {t.toLinear[color.r], t.toLinear[color.g], t.toLinear[color.b]};
    const int32_t left = static_cast<int32_t>(std::max(0.0, std::floor(x0)));
    const int32_t right = static_cast<int32_t>(std::min(static_cast<double>(image.width), std::ceil(x1)));
    const int32_t top = static_cast<int32_t>(std::max(0.0, std::floor(y0)));
    const int32_t bottom = static_cast<int32_t>(std::min(static_cast<double>(image.height), std::ceil(y1)));
    MarkRows(image, top, bottom - 1);
    for (int32_t y = top; y < bottom; ++y) {
        const double cy = std::min(y + 1.0, y1) - std::max(static_cast<double>(y), y0);
        for (int32_t x = left; x < right; ++x) {
            const double cx = std::min(x + 1.0, x1) - std::max(static_cast<double>(x), x0);
            const float a = static_cast<float>(cx * cy);
            if (a > 0.0f)
                BlendOver(t, image.pixels.data() + (static_cast<size_t>(y) * image.width + x) * 4, linear, std::min(a, 1.0f));
        }
    }
}

void CSmoothRaster::Clear(CRgbaImage& image, int32_t width, int32_t height, RgbColor color, uint8_t alpha)
{
    const uint8_t blank[4] = {color.r, color.g, color.b, alpha};
    const size_t pixels = static_cast<size_t>(std::max(width, 0)) * static_cast<size_t>(std::max(height, 0));
    // An image of the same size already blank in this colour outside the rows the last
    // picture drew on needs only those rows cleared.
    const bool keep = image.blankKnown && image.width == width && image.height == height &&
                      image.pixels.size() == pixels * 4 && std::memcmp(image.blank, blank, 4) == 0;
    int32_t rowLo = 0;
    int32_t rowHi = height - 1;
    if (keep) {
        rowLo = std::max(image.dirtyRowLo, 0);
        rowHi = std::min(image.dirtyRowHi, height - 1);
    } else {
        image.width = width;
        image.height = height;
        image.pixels.resize(pixels * 4);
    }
    std::memcpy(image.blank, blank, 4);
    image.blankKnown = pixels != 0;
    image.dirtyRowLo = 0;
    image.dirtyRowHi = -1;
    if (pixels == 0 || rowLo > rowHi)
        return;
    // One row pixel by pixel, the others copied from it.
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    uint8_t* first = image.pixels.data() + rowBytes * static_cast<size_t>(rowLo);
    for (size_t i = 0; i < rowBytes; i += 4)
        std::memcpy(first + i, blank, 4);
    for (int32_t y = rowLo + 1; y <= rowHi; ++y)
        std::memcpy(image.pixels.data() + rowBytes * static_cast<size_t>(y), first, rowBytes);
}
