// The fractal generator: replaces the pattern's baseline by a scaled and rotated copy of the
// pattern, and every segment of that copy again, down to the depth, the detail and the
// budgets, sending the points in path order to the drawing surface, the fill polygon or, in
// Illustrator mode, the path sink of a vector writer.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "platform/text_format.h"
#include "platform/tick_count.h"
#include "view/fractal_renderer.h"

namespace {

// Segments shorter than this many pixels along both x and y are not tested for lying off the
// canvas.
constexpr int64_t CULL_MIN_PIXELS = 32;

bool IsFinite(PointF p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// |a - b| of two pixel coordinates, without overflow whatever the coordinates.
int64_t PixelSpan(int32_t a, int32_t b)
{
    const int64_t d = static_cast<int64_t>(a) - static_cast<int64_t>(b);
    return d < 0 ? -d : d;
}


}  // namespace

bool CFractalRenderer::Generate(const CPattern& pattern, const uint8_t* kneeFlags)
{
    const ScreenSinkFlush flushAtEnd{*this};
    const int n = m_nSegments;
    const PointF start = pattern.m_points[0];

    m_nTopDepth = m_nIterations & 0xFF;
    m_drawOutcome = DrawOutcome::Complete;
    m_bCulling = false;
    m_nProgressPoints = 0;
    m_nProgressLevels = 0;
    for (int l = 0; l < PROGRESS_LEVELS; ++l) {
        m_progressIndex[l] = 0;
        m_progressWeight[l] = 0.0;
    }

    // The copy can only be placed when the baseline has a finite, non-zero length and every
    // step is a finite number. A baseline of length 0 (the last point on the first) has no
    // direction to scale the copy to: its fractal is the start point and nothing more. No
    // non-finite value ever reaches a pixel or the Illustrator file.
    bool placeable = n >= 1 && n <= PATTERN_MAX_SEGMENTS && IsFinite(start);
    PointF end{};
    if (placeable) {
        end = pattern.m_points[n];
        for (int k = 0; k < n; ++k) {
            m_childFlags[0][k] = kneeFlags[k];
            m_childFlags[1][k] = kneeFlags[n - 1 - k];
        }

        const double dx = static_cast<double>(end.x) - start.x;
        const double dy = static_cast<double>(end.y) - start.y;
        const float length = static_cast<float>(std::sqrt(dx * dx + dy * dy));
        const float theta = static_cast<float>(std::atan2(dy, dx));
        placeable = IsFinite(end) && std::isfinite(length) && length > 0.0f;

        for (int i = 1; placeable && i < n; ++i) {
            const PointF p = pattern.m_points[i];
            const double fx = static_cast<double>(p.x) - start.x;
            const double fy = static_cast<double>(p.y) - start.y;
            const double rx = static_cast<double>(end.x) - p.x;
            const double ry = static_cast<double>(end.y) - p.y;
            ChildStep& forward = m_childSteps[0][i];
            ChildStep& reversed = m_childSteps[1][n - i];
            forward.ratio = static_cast<float>(static_cast<float>(std::sqrt(fx * fx + fy * fy)) / length);
            forward.angle = static_cast<float>(static_cast<float>(std::atan2(fy, fx)) - theta);
            reversed.ratio = static_cast<float>(static_cast<float>(std::sqrt(rx * rx + ry * ry)) / length);
            reversed.angle = static_cast<float>(static_cast<float>(std::atan2(ry, rx)) - theta);
            placeable = std::isfinite(forward.ratio) && std::isfinite(forward.angle) && std::isfinite(reversed.ratio) &&
                        std::isfinite(reversed.angle);
        }
        for (int t = 0; placeable && t < 2; ++t) {
            for (int i = 1; i < n; ++i) {
                const ChildStep& e = m_childSteps[t][i];
                m_childRotations[t][i].c = static_cast<float>(static_cast<double>(e.ratio) * std::cos(e.angle));
                m_childRotations[t][i].s = static_cast<float>(static_cast<double>(e.ratio) * std::sin(e.angle));
            }
        }
        // Weights of the child indices at the top levels for the export's progress: the
        // position in the path, read as a number in base n.
        double weight = 1.0;
        for (int l = 0; l < PROGRESS_LEVELS; ++l) {
            weight /= n;
            m_progressWeight[l] = weight;
        }
    }

    // The first point.
    if (IsFinite(start)) {
        if (m_bIllustrator) {
            if (!CheckProgress() || !EmitPathPoint(start, EMIT_START, static_cast<uint8_t>(m_nTopDepth)))
                return false;
        } else {
            const POINT p = m_transform.WorldToScreen(start);
            EmitScreen(start, p, PtInRect(&m_rcClient, p), EMIT_START, static_cast<uint8_t>(m_nTopDepth));
        }
    }

    // The time budget starts after the first point. A negative limit puts the deadline in
    // the past rather than wrapping around to the far future.
    const uint64_t now = GetTickCount64();
    const int64_t limit = m_nDrawLimit;
    if (limit >= 0)
        m_dwDeadline = now + static_cast<uint64_t>(limit);
    else
        m_dwDeadline = now > static_cast<uint64_t>(-limit) ? now - static_cast<uint64_t>(-limit) : 0;
    m_nLineCount = 0;

    if (!placeable)
        return true;
    if (!m_bIllustrator) {
        PrepareDistanceTable();
        PrepareCulling();
    } else if (bool complete = false; GeneratePathInParts(start, end, complete))
        return complete;  // on several threads
    return GenerateSegment(start, end, 0, static_cast<uint8_t>(m_nTopDepth));
}

void CFractalRenderer::PrepareCulling()
{
    m_bCulling = false;
    const int n = m_nSegments;
    const double scale = m_transform.m_scale;
    if (!m_bCullOffCanvas || m_nWidth <= 0 || m_nHeight <= 0 || !(scale > 0.0) || !std::isfinite(scale))
        return;

    // The copy of a unit baseline from (0, 0) to (1, 0) as the subdivision places it, in both
    // rows: child j runs from q[j-1] to q[j]. A mirror reflects the copy about the baseline
    // and a reversal turns it by half a turn about the baseline's midpoint; neither changes a
    // child's length or its midpoint's distance from the baseline's midpoint. If the fractal
    // of every child lies within r times its length of its midpoint, the fractal of the
    // parent lies within max(1/2, max_j(offset_j + length_j * r)) of its midpoint; a segment
    // drawn straight (a leaf, a static or hidden knee) lies within 1/2. Iterated from 1/2
    // over the depth, this bounds every subtree of the generation.
    double offset[2 * PATTERN_MAX_SEGMENTS];
    double length[2 * PATTERN_MAX_SEGMENTS];
    int children = 0;
    double ratioMax = 1.0;
    for (int t = 0; t < 2; ++t) {
        double px = 0.0;
        double py = 0.0;
        for (int i = 1; i <= n; ++i) {
            const double qx = i < n ? m_childRotations[t][i].c : 1.0;
            const double qy = i < n ? m_childRotations[t][i].s : 0.0;
            offset[children] = std::hypot(0.5 * (px + qx) - 0.5, 0.5 * (py + qy));
            length[children] = std::hypot(qx - px, qy - py);
            ++children;
            ratioMax = std::max(ratioMax, std::hypot(qx, qy));
            px = qx;
            py = qy;
        }
    }
    double reach = 0.5;
    for (int d = 0; d < m_nTopDepth; ++d) {
        double next = 0.5;
        for (int j = 0; j < children; ++j)
            next = std::max(next, offset[j] + length[j] * reach);
        if (!(next < 1e30))
            return;  // growing without bound: nothing can be skipped safely
        if (next == reach)
            break;
        reach = next;
    }
    // The reach is applied to |dx| + |dy|, which is at least the segment's length.
    reach *= 1.0 + 1e-4;

    // Float rounding. Every point of a subtree lies within its disk, so every coordinate and
    // every product in the placement of its child points is at most M = |mx| + |my| +
    // reach * (1 + 2 * ratioMax) * (|dx| + |dy|), from the segment's midpoint and spans. A
    // child point then strays from its exact place by a few units in the last place of M, once
    // per level below the segment, which moves a child's midpoint by that much and its reach by
    // twice that times the reach; the view transform rounds once more. The test widens the
    // disk by all of it, and by 3 pixels for the rounding of pixels and the line stepper, or,
    // for a screen point sink, by half the widest line an antialiased picture strokes and then
    // some.
    const double marginPixels = m_pScreenSink != nullptr ? 16.0 : 3.0;
    const double unit = std::ldexp(1.0, -24);
    const double perLevel = (1.0 + 2.0 * reach) * (8.0 + 4.0 * ratioMax) * unit;
    const double extent = reach * (1.0 + 2.0 * ratioMax);
    const double ox = m_transform.m_origin.x;
    const double oy = m_transform.m_origin.y;
    const double margin = marginPixels / scale + (std::fabs(ox) + std::fabs(oy)) * 16.0 * unit;

    // The canvas's pixels 0 .. w-1 by 0 .. h-1 in pattern coordinates. Row r shows
    // y = oy + (cy - r) / scale, or upside down (a bitmap export) y = oy + (r - cy) / scale;
    // a band of a picture drawn on several threads has its centre far above or below it.
    const double cx = m_transform.m_center.x;
    const double cy = m_transform.m_center.y;
    const double rowsBelow = m_transform.m_flipY ? cy : m_nHeight - cy;
    const double rowsAbove = m_transform.m_flipY ? m_nHeight - cy : cy;
    const double left = ox + (0.0 - cx) / scale - margin;
    const double right = ox + (m_nWidth - cx) / scale + margin;
    const double bottom = oy - rowsBelow / scale - margin;
    const double top = oy + rowsAbove / scale + margin;
    const double all[] = {reach, extent, perLevel, left, right, bottom, top};
    for (double v : all) {
        if (!(std::fabs(v) < 1e30))
            return;
    }
    m_fCullReach = static_cast<float>(reach);
    m_fCullExtent = static_cast<float>(extent);
    m_fCullErrorPerLevel = static_cast<float>(perLevel);
    m_fCullLeft = static_cast<float>(left);
    m_fCullRight = static_cast<float>(right);
    m_fCullBottom = static_cast<float>(bottom);
    m_fCullTop = static_cast<float>(top);
    m_bCulling = true;
}

bool CFractalRenderer::SubtreeOffCanvas(PointF start, PointF end, uint8_t depth) const
{
    const float span = std::fabs(end.x - start.x) + std::fabs(end.y - start.y);
    const float mx = 0.5f * (start.x + end.x);
    const float my = 0.5f * (start.y + end.y);
    const float magnitude = std::fabs(mx) + std::fabs(my) + m_fCullExtent * span;
    // The rounding of the view transform and of this test itself: 16 units in the last place.
    constexpr float kTransformError = 1.0f / 1048576.0f;
    const float error = (static_cast<float>(depth + 1) * m_fCullErrorPerLevel + kTransformError) * magnitude;
    const float reach = m_fCullReach * span + error;
    return mx + reach < m_fCullLeft || mx - reach > m_fCullRight || my + reach < m_fCullBottom || my - reach > m_fCullTop;
}

bool CFractalRenderer::CountForTimeLimit()
{
    if (!m_bTimeLimit)
        return true;
    ++m_nLineCount;
    if ((m_nLineCount & 255) == 0 && GetTickCount64() > m_dwDeadline) {
        m_drawOutcome = DrawOutcome::TimeLimit;
        return false;
    }
    return true;
}

std::string CFractalRenderer::DrawOutcomeText() const
{
    switch (m_drawOutcome) {
    case DrawOutcome::TimeLimit:
        return "Drawing stopped at the Draw Limit after " + FormatGrouped(m_nLineCount) + " lines";
    case DrawOutcome::PointBudget:
        return "Drawing stopped at the fill point budget after " + FormatGrouped(m_nPolygonCount) + " points";
    case DrawOutcome::Complete:
        break;
    }
    return {};
}

bool CFractalRenderer::GenerateSegment(PointF start, PointF end, uint8_t flags, uint8_t depth)
{
    if (m_bIllustrator)
        return GenerateIllustratorSegment(start, end, flags, depth);
    if (!m_bModeCompiled)
        return GenerateScreenSegment(start, end, flags, depth);

    const int64_t detail = m_nDetail;
    m_nDetailSquared = detail <= 0 ? 0 : (detail > 46340 ? INT32_MAX : static_cast<int32_t>(detail * detail));
    const CBitmap* bitmap = m_dc.Bitmap();
    m_bDirectLines = !m_bFill && bitmap != nullptr && m_rcClient.left >= 0 && m_rcClient.top >= 0 &&
                     m_rcClient.right <= bitmap->Width() && m_rcClient.bottom <= bitmap->Height();
    if (m_pScreenSink != nullptr)
        return DrawInMode<true>(start, end, flags, depth);
    return DrawInMode<false>(start, end, flags, depth);
}

template <bool Sink>
bool CFractalRenderer::DrawInMode(PointF start, PointF end, uint8_t flags, uint8_t depth)
{
    const bool progress = m_pProgress != nullptr;
    if (m_bFill) {
        if (m_bTimeLimit)
            return progress ? DrawSegment<true, true, true, Sink>(start, end, flags, depth)
                            : DrawSegment<true, true, false, Sink>(start, end, flags, depth);
        return progress ? DrawSegment<true, false, true, Sink>(start, end, flags, depth)
                        : DrawSegment<true, false, false, Sink>(start, end, flags, depth);
    }
    if (m_bTimeLimit)
        return progress ? DrawSegment<false, true, true, Sink>(start, end, flags, depth)
                        : DrawSegment<false, true, false, Sink>(start, end, flags, depth);
    return progress ? DrawSegment<false, false, true, Sink>(start, end, flags, depth)
                    : DrawSegment<false, false, false, Sink>(start, end, flags, depth);
}

inline bool CFractalRenderer::LongerThanDetail(POINT p) const
{
    const int64_t ax = PixelSpan(p.x, m_ptLast.x);
    const int64_t ay = PixelSpan(p.y, m_ptLast.y);
    if (ax < DISTANCE_TABLE_SIZE && ay < DISTANCE_TABLE_SIZE) {
        // Below 1000 pixels each way the squares fit in 32 bits; floor(sqrt(q)) >= d exactly
        // when q >= d^2, which is what the table's rounded-down lengths give.
        const int32_t x = static_cast<int32_t>(ax);
        const int32_t y = static_cast<int32_t>(ay);
        return x * x + y * y >= m_nDetailSquared;
    }
    return ax + ay >= m_nDetail;
}

// Only segments of some length, at least CULL_MIN_PIXELS along x or y, are tested for lying
// off the canvas: the many short ones near the leaves hold few points each, and lie near the
// canvas when their parent was not skipped.
inline bool CFractalRenderer::LongEnoughToCull(POINT p) const
{
    return PixelSpan(p.x, m_ptLast.x) >= CULL_MIN_PIXELS || PixelSpan(p.y, m_ptLast.y) >= CULL_MIN_PIXELS;
}

template <bool Fill, bool Progress, bool Sink>
inline bool CFractalRenderer::DrawPoint(PointF world, POINT p, bool inside, uint8_t kind, uint8_t depth)
{
    if constexpr (Progress) {
        if (!CheckProgress())
            return false;
    }
    if constexpr (Fill) {
        if (!AddPolygonPoint(p))
            return false;
    }
    if constexpr (Sink) {
        AddSinkPoint(world, kind, depth);
    } else if constexpr (!Fill) {
        if (kind & 1)
            m_dc.MoveTo(p.x, p.y);
        else if (inside && m_bLastInside && m_bDirectLines)
            m_dc.LineToInside(p.x, p.y);
        else
            m_dc.LineTo(p.x, p.y);
    }
    m_ptLast = p;
    m_bLastInside = inside ? 1 : 0;
    return true;
}

// Inline, so that the subdivision's loop tests its children in place and calls itself only
// for the children that are subdivided in turn.
template <bool Fill, bool TimeLimit, bool Progress, bool Sink>
inline bool CFractalRenderer::DrawSegment(PointF start, PointF end, uint8_t flags, uint8_t depth)
{
    const POINT p = m_transform.WorldToScreen(end);
    const bool inside = PtInRect(&m_rcClient, p);

    // Hidden and static knees as in GenerateScreenSegment.
    if (flags & (KNEE_HIDE | KNEE_STATIC)) [[unlikely]] {
        if constexpr (TimeLimit) {
            if (!CountForTimeLimit())
                return false;
        }
        return DrawPoint<Fill, Progress, Sink>(end, p, inside, (flags & KNEE_HIDE) ? EMIT_MOVE : EMIT_LINE, depth);
    }

    if (depth != 0 && LongerThanDetail(p)) {
        if ((m_bLastInside && inside) || !m_bCulling || !LongEnoughToCull(p) || !SubtreeOffCanvas(start, end, depth)) [[likely]]
            return DrawSubdivided<Fill, TimeLimit, Progress, Sink>(start, end, flags, depth);
        if constexpr (TimeLimit) {
            if (!CountForTimeLimit())
                return false;
        }
        return DrawPoint<Fill, Progress, Sink>(end, p, inside, EMIT_MOVE, depth);
    }

    // A leaf.
    if constexpr (TimeLimit) {
        if (!CountForTimeLimit())
            return false;
        if (!m_bLastInside && !inside)
            return DrawPoint<Fill, Progress, Sink>(end, p, inside, EMIT_MOVE, depth);
    }
    return DrawPoint<Fill, Progress, Sink>(end, p, inside, EMIT_LINE, depth);
}

template <bool Fill, bool TimeLimit, bool Progress, bool Sink>
bool CFractalRenderer::DrawSubdivided(PointF start, PointF end, uint8_t flags, uint8_t depth)
{
    const uint8_t childDepth = static_cast<uint8_t>(depth - 1);
    const int n = m_nSegments;
    const int row = (flags & KNEE_REVERSE) ? 1 : 0;
    const ChildRotation* rotations = m_childRotations[row];
    const uint8_t* childFlags = m_childFlags[row];
    const float mirror = (flags & KNEE_MIRROR) ? -1.0f : 1.0f;
    const float dx = end.x - start.x;
    const float dy = end.y - start.y;
    const int32_t level = m_nTopDepth - depth;

    // As in SubdivideSegment: every child point placed from the parent's start.
    PointF cur = start;
    for (int i = 1; i < n; ++i) {
        const PointF prev = cur;
        cur = rotations[i].Place(start, dx, dy, mirror);
        if (!IsFinite(cur))
            return false;
        if constexpr (Progress) {
            if (level >= 0 && level < PROGRESS_LEVELS) {
                m_progressIndex[level] = static_cast<uint8_t>(i - 1);
                m_nProgressLevels = level + 1;
            }
        }
        if (!DrawSegment<Fill, TimeLimit, Progress, Sink>(prev, cur, childFlags[i - 1] ^ flags, childDepth))
            return false;
    }
    if constexpr (Progress) {
        if (level >= 0 && level < PROGRESS_LEVELS) {
            m_progressIndex[level] = static_cast<uint8_t>(n - 1);
            m_nProgressLevels = level + 1;
        }
    }
    return DrawSegment<Fill, TimeLimit, Progress, Sink>(cur, end, childFlags[n - 1] ^ flags, childDepth);
}

bool CFractalRenderer::GenerateIllustratorSegment(PointF start, PointF end, uint8_t flags, uint8_t depth)
{
    // In pattern coordinates, with no screen tests and no budgets: always the full depth.
    if (flags & KNEE_HIDE) {
        if (!CheckProgress())
            return false;
        return EmitPathPoint(end, EMIT_MOVE, depth);
    }
    if ((flags & KNEE_STATIC) || depth == 0) {
        if (!CheckProgress())
            return false;
        return EmitPathPoint(end, EMIT_LINE, depth);
    }
    return SubdivideSegment<true>(start, end, flags, depth);
}

// Inline, so that the subdivision's loop tests its children in place and calls itself only
// for the children that are subdivided in turn.
inline bool CFractalRenderer::GenerateScreenSegment(PointF start, PointF end, uint8_t flags, uint8_t depth)
{
    const POINT p = m_transform.WorldToScreen(end);
    const bool inside = PtInRect(&m_rcClient, p);

    // A hidden knee is a gap and a static knee a straight line, at any depth. Every point
    // emitted counts towards the time budget, drawn or not, so that a paint ends within the
    // Draw Limit however much of the fractal lies off the canvas.
    if (flags & KNEE_HIDE)
        return CountForTimeLimit() && EmitScreen(end, p, inside, EMIT_MOVE, depth);
    if (flags & KNEE_STATIC)
        return CountForTimeLimit() && EmitScreen(end, p, inside, EMIT_LINE, depth);

    if (depth != 0) {
        // The segment's length on screen: m_ptLast is the pixel of its start. Beyond the
        // table the sum of the two spans stands in for the length.
        const int64_t ax = PixelSpan(p.x, m_ptLast.x);
        const int64_t ay = PixelSpan(p.y, m_ptLast.y);
        const int64_t dist = (ax < DISTANCE_TABLE_SIZE && ay < DISTANCE_TABLE_SIZE) ? m_nDistance[ax][ay] : ax + ay;
        if (dist >= m_nDetail) {
            // A subtree whose whole fractal lies off the canvas becomes a move to its end: its
            // lines would draw no pixel, and in fill mode the polygon changes only inside the
            // subtree's own region, off the canvas, so the even-odd fill on it stays the same.
            // A segment with both ends on the canvas is never tested, nor a short one.
            if ((m_bLastInside && inside) || !m_bCulling || !LongEnoughToCull(p) || !SubtreeOffCanvas(start, end, depth)) [[likely]]
                return SubdivideSegment<false>(start, end, flags, depth);
            return CountForTimeLimit() && EmitScreen(end, p, inside, EMIT_MOVE, depth);
        }
    }

    // A leaf.
    if (!m_bTimeLimit)
        return EmitScreen(end, p, inside, EMIT_LINE, depth);
    if (!CountForTimeLimit())
        return false;
    // Both ends off the canvas: a move, not drawn, even if it crosses it.
    if (!m_bLastInside && !inside)
        return EmitScreen(end, p, inside, EMIT_MOVE, depth);
    return EmitScreen(end, p, inside, EMIT_LINE, depth);
}

template <bool Illustrator>
bool CFractalRenderer::SubdivideSegment(PointF start, PointF end, uint8_t flags, uint8_t depth)
{
    const uint8_t childDepth = static_cast<uint8_t>(depth - 1);
    const int n = m_nSegments;
    const int row = (flags & KNEE_REVERSE) ? 1 : 0;
    const ChildRotation* rotations = m_childRotations[row];
    const uint8_t* childFlags = m_childFlags[row];
    const float mirror = (flags & KNEE_MIRROR) ? -1.0f : 1.0f;
    const float dx = end.x - start.x;
    const float dy = end.y - start.y;

    // Where this segment lies in the path, for the export's progress.
    const int32_t level = m_nTopDepth - depth;
    const bool tracked = level >= 0 && level < PROGRESS_LEVELS;

    // Every child point is placed from the parent's start, never from the previous child,
    // and the last child ends exactly on the parent's end.
    PointF cur = start;
    for (int i = 1; i < n; ++i) {
        const PointF prev = cur;
        cur = rotations[i].Place(start, dx, dy, mirror);
        if (!IsFinite(cur))
            return false;
        if (tracked) {
            m_progressIndex[level] = static_cast<uint8_t>(i - 1);
            m_nProgressLevels = level + 1;
        }
        const bool more = Illustrator ? GenerateIllustratorSegment(prev, cur, childFlags[i - 1] ^ flags, childDepth)
                                      : GenerateScreenSegment(prev, cur, childFlags[i - 1] ^ flags, childDepth);
        if (!more)
            return false;
    }
    if (tracked) {
        m_progressIndex[level] = static_cast<uint8_t>(n - 1);
        m_nProgressLevels = level + 1;
    }
    return Illustrator ? GenerateIllustratorSegment(cur, end, childFlags[n - 1] ^ flags, childDepth)
                       : GenerateScreenSegment(cur, end, childFlags[n - 1] ^ flags, childDepth);
}

PointF CFractalRenderer::ComputeChildPoint(PointF start, float len, float ang, int i, uint8_t flags) const
{
    if (i < 0 || i >= PATTERN_MAX_SEGMENTS)
        return start;
    const ChildStep& e = m_childSteps[(flags & KNEE_REVERSE) ? 1 : 0][i];
    const float r = e.ratio * len;
    const float a = (flags & KNEE_MIRROR) ? ang - e.angle : ang + e.angle;
    return PointF{static_cast<float>(start.x + r * std::cos(a)), static_cast<float>(start.y + r * std::sin(a))};
}

bool CFractalRenderer::EmitPoint(POINT p, bool inside, uint8_t kind)
{
    if (m_pProgress != nullptr && !CheckProgress())
        return false;

    if (m_bFill) {
        if (!AddPolygonPoint(p))
            return false;
    } else if (kind & 1) {
        m_dc.MoveTo(p.x, p.y);
    } else {
        m_dc.LineTo(p.x, p.y);
    }
    m_ptLast = p;
    m_bLastInside = inside ? 1 : 0;
    return true;
}

bool CFractalRenderer::AddPolygonPoint(POINT p)
{
    // The polygon refuses a point when it is full, or, on screen, when it holds the point
    // budget of 8 points per millisecond of the draw limit. A refusal changes nothing.
    const int64_t capacity = m_pPolygon != nullptr ? (m_nPolygonMax < POLYGON_ALLOCATED ? m_nPolygonMax : POLYGON_ALLOCATED) : 0;
    const int64_t count = m_nPolygonCount;
    if (count < 0 || count >= capacity || (m_bTimeLimit && count >= 8 * static_cast<int64_t>(m_nDrawLimit))) {
        m_drawOutcome = DrawOutcome::PointBudget;
        return false;
    }
    m_pPolygon[count] = p;
    m_nPolygonCount = static_cast<int32_t>(count + 1);
    return true;
}

void CFractalRenderer::CloseFill(const CPattern& pattern)
{
    const ScreenSinkFlush flushAtEnd{*this};
    const int n = m_nSegments;
    if (n < 1 || n > PATTERN_MAX_SEGMENTS)
        return;
    const PointF s = pattern.m_points[0];
    const PointF e = pattern.m_points[n];
    if (!IsFinite(s) || !IsFinite(e))
        return;
    const double dx = static_cast<double>(e.x) - s.x;
    const double dy = static_cast<double>(e.y) - s.y;

    // The canvas corners, 2 pixels outside on every side: top right, top left, bottom left,
    // bottom right of the picture. Edge k joins corner k-1 and corner k: right, top, left,
    // bottom. A bitmap export draws the picture upside down (m_flipY), so there the picture's
    // top is the canvas's last row: the walk then goes round the same corners of the pattern
    // plane and fills the same side of the curve as the screen does.
    auto clampPixel = [](int64_t v) {
        return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : v));
    };
    const int64_t w = m_nWidth;
    const int64_t h = m_nHeight;
    const int32_t topRow = m_transform.m_flipY ? clampPixel(h + 2) : -2;
    const int32_t bottomRow = m_transform.m_flipY ? -2 : clampPixel(h + 2);
    const PointF corners[4] = {
        m_transform.ScreenToWorld(clampPixel(w + 2), topRow),
        m_transform.ScreenToWorld(-2, topRow),
        m_transform.ScreenToWorld(-2, bottomRow),
        m_transform.ScreenToWorld(clampPixel(w + 2), bottomRow),
    };
    double side[4];
    for (int k = 0; k < 4; ++k) {
        if (!IsFinite(corners[k]))
            return;
        side[k] = dx * (static_cast<double>(corners[k].y) - e.y) - dy * (static_cast<double>(corners[k].x) - e.x);
    }

    // The edges where the baseline's line crosses the border; a corner exactly on the line
    // does not count.
    int edges[2] = {0, 0};
    int found = 0;
    for (int k = 0; k < 4 && found < 2; ++k) {
        if (side[(k + 3) & 3] * side[k] < 0.0)
            edges[found++] = k;
    }
    if (found < 2)
        return;

    PointF crossing[2];
    for (int j = 0; j < 2; ++j) {
        const PointF c = corners[edges[j]];
        double x;
        double y;
        if (edges[j] & 1) {  // top or bottom
            y = c.y;
            x = dx == 0.0 || dy == 0.0 ? e.x : (dy * e.x - (e.y - static_cast<double>(c.y)) * dx) / dy;
        } else {  // right or left
            x = c.x;
            y = dy == 0.0 || dx == 0.0 ? e.y : (dx * e.y - (e.x - static_cast<double>(c.x)) * dy) / dx;
        }
        crossing[j] = PointF{static_cast<float>(x), static_cast<float>(y)};
        if (!IsFinite(crossing[j]))
            return;
    }

    // Leave the screen where the curve leaves it beyond E, walk the corners clockwise (on the
    // screen) and come back in where the baseline's line enters beyond S.
    const double along0 = dx * (static_cast<double>(crossing[0].x) - e.x) + dy * (static_cast<double>(crossing[0].y) - e.y);
    const double along1 = dx * (static_cast<double>(crossing[1].x) - e.x) + dy * (static_cast<double>(crossing[1].y) - e.y);
    const int f = along1 > along0 ? 1 : 0;
    const int b = 1 - f;

    auto emit = [this](PointF point) {
        if (m_bIllustrator)
            EmitPathPoint(point, EMIT_LINE, 0);
        else
            EmitScreen(point, m_transform.WorldToScreen(point), false, EMIT_LINE | EMIT_CLOSING, 0);
    };
    emit(crossing[f]);
    int k = edges[f];
    do {
        k = (k + 3) & 3;
        emit(corners[k]);
    } while (k != edges[b]);
    emit(crossing[b]);
}

bool CFractalRenderer::CheckProgress()
{
    if (m_pProgress == nullptr)
        return true;
    if (m_bCancelled)
        return false;
    ++m_nProgressPoints;
    if (m_nProgressPoints % PROGRESS_INTERVAL == 0 && !m_pProgress->Continue(ProgressFraction())) {
        m_bCancelled = true;
        return false;
    }
    return true;
}

double CFractalRenderer::ProgressFraction() const
{
    // The start of the current segment's share of the path: child indices of the current
    // branch at the top levels, weighted 1/n, 1/n^2, ... Deeper levels and levels the branch
    // has not reached count as 0, so the fraction only grows along the path.
    double fraction = 0.0;
    const int levels = m_nProgressLevels < PROGRESS_LEVELS ? m_nProgressLevels : PROGRESS_LEVELS;
    for (int l = 0; l < levels; ++l)
        fraction += m_progressIndex[l] * m_progressWeight[l];
    return fraction < 1.0 ? fraction : 1.0;
}
