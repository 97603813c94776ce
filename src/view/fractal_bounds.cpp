// The fractal's bounding box, walked with the generator's child placement and culled by disks.
#include "view/fractal_bounds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "document/pattern.h"
#include "view/view_transform.h"

void FractalBox::Add(double x, double y)
{
    if (IsEmpty()) {
        minX = maxX = x;
        minY = maxY = y;
        return;
    }
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
}

void FractalBox::Add(const FractalBox& other)
{
    if (other.IsEmpty())
        return;
    Add(other.minX, other.minY);
    Add(other.maxX, other.maxY);
}

FractalBox PatternBounds(const CPattern& pattern)
{
    FractalBox box;
    const int n = std::clamp<int>(pattern.m_count, 0, PATTERN_MAX_SEGMENTS);
    for (int i = 0; i <= n; ++i)
        box.Add(pattern.m_points[i].x, pattern.m_points[i].y);
    return box;
}

namespace {

constexpr int kMaxDepth = 255;
// Child points the culled walk may place before it bounds the remaining subtrees by their
// disks: a few milliseconds of work, whatever the pattern.
constexpr int64_t kChildBudget = 1'000'000;
// The first copies are walked without culling up to this many points, so that the culled walk
// starts from a box close to the final one.
constexpr int64_t kSeedPoints = 4096;

bool IsFinite(PointF p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

class BoundsWalker {
public:
    bool Prepare(const CPattern& pattern);
    void Seed(PointF start, PointF end, uint8_t flags, int depth);
    void Walk(PointF start, PointF end, uint8_t flags, int depth);
    template <typename Visit>
    void ForEachChild(PointF start, PointF end, uint8_t flags, Visit&& visit);

    int m_n = 0;
    // The generator's child tables: rotation and scale of each inner point relative to the
    // parent segment (row 1: the reversed copy), and the children's flags.
    float m_c[2][PATTERN_MAX_SEGMENTS] = {};
    float m_s[2][PATTERN_MAX_SEGMENTS] = {};
    uint8_t m_flags[2][PATTERN_MAX_SEGMENTS] = {};
    // m_radius[d]: the fractal of depth d of a segment of length 1 lies in the disk of this
    // radius around the segment's midpoint, whatever its reverse and mirror flags.
    double m_radius[kMaxDepth + 1] = {};
    // m_halfLength[d], m_halfWidth[d]: the same fractal also lies in the rectangle around the
    // midpoint that reaches this far along the segment and across it.
    double m_halfLength[kMaxDepth + 1] = {};
    double m_halfWidth[kMaxDepth + 1] = {};
    FractalBox m_box;
    double m_tolerance = 0.0;
    int64_t m_budget = kChildBudget;
    bool m_exact = true;
    bool m_finite = true;
};

bool BoundsWalker::Prepare(const CPattern& pattern)
{
    const int n = m_n;
    const PointF start = pattern.m_points[0];
    const PointF end = pattern.m_points[n];
    const double dx = static_cast<double>(end.x) - start.x;
    const double dy = static_cast<double>(end.y) - start.y;
    // The same float arithmetic as the generator, so the points are the ones it emits.
    const float length = static_cast<float>(std::sqrt(dx * dx + dy * dy));
    const float theta = static_cast<float>(std::atan2(dy, dx));
    if (!std::isfinite(length) || !(length > 0.0f))
        return false;
    for (int k = 0; k < n; ++k) {
        m_flags[0][k] = pattern.m_kneeFlags[k];
        m_flags[1][k] = pattern.m_kneeFlags[n - 1 - k];
    }
    for (int i = 1; i < n; ++i) {
        const PointF p = pattern.m_points[i];
        const double fx = static_cast<double>(p.x) - start.x;
        const double fy = static_cast<double>(p.y) - start.y;
        const double rx = static_cast<double>(end.x) - p.x;
        const double ry = static_cast<double>(end.y) - p.y;
        const float forwardRatio = static_cast<float>(std::sqrt(fx * fx + fy * fy)) / length;
        const float forwardAngle = static_cast<float>(std::atan2(fy, fx)) - theta;
        const float reversedRatio = static_cast<float>(std::sqrt(rx * rx + ry * ry)) / length;
        const float reversedAngle = static_cast<float>(std::atan2(ry, rx)) - theta;
        if (!std::isfinite(forwardRatio) || !std::isfinite(forwardAngle) || !std::isfinite(reversedRatio) ||
            !std::isfinite(reversedAngle))
            return false;
        m_c[0][i] = static_cast<float>(static_cast<double>(forwardRatio) * std::cos(forwardAngle));
        m_s[0][i] = static_cast<float>(static_cast<double>(forwardRatio) * std::sin(forwardAngle));
        m_c[1][n - i] = static_cast<float>(static_cast<double>(reversedRatio) * std::cos(reversedAngle));
        m_s[1][n - i] = static_cast<float>(static_cast<double>(reversedRatio) * std::sin(reversedAngle));
    }

    // The pattern in the frame of its baseline: start (0, 0), end (1, 0), midpoint (0.5, 0).
    // A reversed copy is the pattern turned half a turn about the midpoint and a mirrored one
    // its reflection in the baseline; both leave a disk around the midpoint in place, so one
    // radius serves every copy. A child segment's fractal lies in its own disk, so the
    // parent's radius is the farthest reach of the children's disks. A hidden or static child
    // reaches only its two ends (radius one half). A small allowance per level covers the
    // rounding of the float child points.
    const double cosT = dx / std::sqrt(dx * dx + dy * dy);
    const double sinT = dy / std::sqrt(dx * dx + dy * dy);
    const double baseline = std::sqrt(dx * dx + dy * dy);
    double qx[PATTERN_MAX_SEGMENTS + 1];
    double qy[PATTERN_MAX_SEGMENTS + 1];
    for (int i = 0; i <= n; ++i) {
        const double px = static_cast<double>(pattern.m_points[i].x) - start.x;
        const double py = static_cast<double>(pattern.m_points[i].y) - start.y;
        qx[i] = (px * cosT + py * sinT) / baseline;
        qy[i] = (py * cosT - px * sinT) / baseline;
    }
    // The rectangle, symmetric under the same turn and reflection, is bounded the same way:
    // each child's rectangle, turned by the child's direction, reaches |cos| * length +
    // |sin| * width along the parent and |sin| * length + |cos| * width across it.
    constexpr double kRoundingAllowance = 1e-5;
    m_radius[0] = 0.5;
    m_halfLength[0] = 0.5;
    m_halfWidth[0] = 0.0;
    for (int d = 1; d <= kMaxDepth; ++d) {
        double reach = 0.5;
        double along = 0.5;
        double across = 0.0;
        for (int i = 0; i < n; ++i) {
            const double ex = qx[i + 1] - qx[i];
            const double ey = qy[i + 1] - qy[i];
            const double mx = 0.5 * (qx[i] + qx[i + 1]) - 0.5;
            const double my = 0.5 * (qy[i] + qy[i + 1]);
            const bool replaced = (pattern.m_kneeFlags[i] & (KNEE_HIDE | KNEE_STATIC)) == 0;
            const double r = std::hypot(ex, ey);
            const double l = replaced ? m_halfLength[d - 1] : 0.5;
            const double w = replaced ? m_halfWidth[d - 1] : 0.0;
            reach = std::max(reach, std::hypot(mx, my) + r * (replaced ? m_radius[d - 1] : 0.5));
            along = std::max(along, std::fabs(mx) + std::fabs(ex) * l + std::fabs(ey) * w);
            across = std::max(across, std::fabs(my) + std::fabs(ey) * l + std::fabs(ex) * w);
        }
        m_radius[d] = reach + kRoundingAllowance;
        m_halfLength[d] = along + kRoundingAllowance;
        m_halfWidth[d] = across + kRoundingAllowance;
    }
    return true;
}

// Adds the end points of every segment down to `depth` levels: positions of the full path too.
// Places the copy of the pattern on the segment from start to end, as the generator does,
// and hands each child segment with its flags to `visit`. A child point beyond the float
// range ends the walk (m_finite false).
template <typename Visit>
void BoundsWalker::ForEachChild(PointF start, PointF end, uint8_t flags, Visit&& visit)
{
    const int row = (flags & KNEE_REVERSE) ? 1 : 0;
    const bool mirror = (flags & KNEE_MIRROR) != 0;
    const float dx = end.x - start.x;
    const float dy = end.y - start.y;
    PointF cur = start;
    for (int i = 1; i < m_n; ++i) {
        const PointF prev = cur;
        const float c = m_c[row][i];
        const float s = mirror ? -m_s[row][i] : m_s[row][i];
        cur.x = start.x + (c * dx - s * dy);
        cur.y = start.y + (s * dx + c * dy);
        if (!IsFinite(cur)) {
            m_finite = false;
            return;
        }
        visit(prev, cur, static_cast<uint8_t>(m_flags[row][i - 1] ^ flags));
    }
    visit(cur, end, static_cast<uint8_t>(m_flags[row][m_n - 1] ^ flags));
}

void BoundsWalker::Seed(PointF start, PointF end, uint8_t flags, int depth)
{
    if ((flags & (KNEE_HIDE | KNEE_STATIC)) || depth == 0) {
        m_box.Add(end.x, end.y);
        return;
    }
    ForEachChild(start, end, flags, [&](PointF a, PointF b, uint8_t childFlags) { Seed(a, b, childFlags, depth - 1); });
}

void BoundsWalker::Walk(PointF start, PointF end, uint8_t flags, int depth)
{
    if (!m_finite)
        return;
    if ((flags & (KNEE_HIDE | KNEE_STATIC)) || depth == 0) {
        m_box.Add(end.x, end.y);
        return;
    }
    const float dx = end.x - start.x;
    const float dy = end.y - start.y;
    // The whole subtree lies in the disk and in the rectangle, so in the box around their
    // intersection; inside the box found so far (give or take the tolerance) it cannot grow
    // that box. Its end point is in the disk, hence in the box.
    const double ax = std::fabs(static_cast<double>(dx));
    const double ay = std::fabs(static_cast<double>(dy));
    const double along = m_halfLength[depth];
    const double across = m_halfWidth[depth];
    double rx = along * ax + across * ay;
    double ry = along * ay + across * ax;
    const double radius = m_radius[depth] * std::sqrt(ax * ax + ay * ay);
    rx = std::min(rx, radius);
    ry = std::min(ry, radius);
    const double cx = 0.5 * (static_cast<double>(start.x) + end.x);
    const double cy = 0.5 * (static_cast<double>(start.y) + end.y);
    const double t = m_tolerance;
    if (cx - rx >= m_box.minX - t && cx + rx <= m_box.maxX + t && cy - ry >= m_box.minY - t &&
        cy + ry <= m_box.maxY + t)
        return;
    if (m_budget < m_n) {
        m_box.Add(cx - rx, cy - ry);
        m_box.Add(cx + rx, cy + ry);
        m_exact = false;
        return;
    }
    m_budget -= m_n;

    ForEachChild(start, end, flags, [&](PointF a, PointF b, uint8_t childFlags) { Walk(a, b, childFlags, depth - 1); });
}

}  // namespace

bool ComputeFractalBounds(const CPattern& pattern, int iterations, FractalBoundsResult& result, double tolerance)
{
    const int n = pattern.m_count;
    if (n < 1 || n > PATTERN_MAX_SEGMENTS)
        return false;
    for (int i = 0; i <= n; ++i) {
        if (!IsFinite(pattern.m_points[i]))
            return false;
    }

    const PointF start = pattern.m_points[0];
    const PointF end = pattern.m_points[n];
    const int depth = iterations & 0xFF;
    BoundsWalker w;
    w.m_n = n;
    w.m_box.Add(start.x, start.y);
    if (!w.Prepare(pattern)) {
        // No direction to place the copy in: the fractal is the start point.
        result.box = w.m_box;
        result.exact = true;
        return true;
    }

    const double baseline = std::hypot(static_cast<double>(end.x) - start.x, static_cast<double>(end.y) - start.y);
    const double tol = tolerance * baseline * w.m_radius[std::min(depth, 1)];
    w.m_tolerance = std::isfinite(tol) && tol > 0.0 ? tol : 0.0;

    int seedDepth = 0;
    for (int64_t points = n; seedDepth < depth && points <= kSeedPoints; points *= n)
        ++seedDepth;
    w.Seed(start, end, 0, seedDepth);
    if (w.m_finite)
        w.Walk(start, end, 0, depth);

    const FractalBox& b = w.m_box;
    if (!w.m_finite || !std::isfinite(b.minX) || !std::isfinite(b.minY) || !std::isfinite(b.maxX) ||
        !std::isfinite(b.maxY) || std::fabs(b.minX) > 3.4e38 || std::fabs(b.maxX) > 3.4e38 ||
        std::fabs(b.minY) > 3.4e38 || std::fabs(b.maxY) > 3.4e38)
        return false;
    result.box = b;
    result.exact = w.m_exact;
    return true;
}

bool FitBoxToView(const FractalBox& box, int32_t width, int32_t height, int32_t margin, float currentScale,
                  float minScale, float maxScale, PointF& origin, float& scale)
{
    if (box.IsEmpty() || width <= 0 || height <= 0 || !std::isfinite(box.minX) || !std::isfinite(box.maxX) ||
        !std::isfinite(box.minY) || !std::isfinite(box.maxY))
        return false;
    const int64_t m = std::max<int32_t>(margin, 0);
    const auto usable = [m](int32_t side) {
        const int64_t s = side;
        return static_cast<double>(std::max<int64_t>(s - 2 * std::min<int64_t>(m, (s - 1) / 2), 1));
    };
    double fitted = HUGE_VAL;
    if (box.Width() > 0.0)
        fitted = std::min(fitted, usable(width) / box.Width());
    if (box.Height() > 0.0)
        fitted = std::min(fitted, usable(height) / box.Height());
    if (fitted == HUGE_VAL)
        fitted = currentScale;
    if (!std::isfinite(fitted))
        return false;
    const double cx = 0.5 * (box.minX + box.maxX);
    const double cy = 0.5 * (box.minY + box.maxY);
    if (!std::isfinite(static_cast<float>(cx)) || !std::isfinite(static_cast<float>(cy)))
        return false;
    origin = PointF{static_cast<float>(cx), static_cast<float>(cy)};
    scale = static_cast<float>(std::clamp(fitted, static_cast<double>(minScale), static_cast<double>(maxScale)));
    return true;
}

bool FitViewToFractal(const CPattern& pattern, int iterations, int32_t width, int32_t height,
                      CViewTransform& transform)
{
    FractalBoundsResult fractal;
    if (!ComputeFractalBounds(pattern, iterations, fractal))
        return false;
    FractalBox box = PatternBounds(pattern);
    box.Add(fractal.box);
    const int32_t margin = std::max<int32_t>(4, std::min(width, height) / 25);
    PointF origin;
    float scale = transform.m_scale;
    if (!FitBoxToView(box, width, height, margin, transform.m_scale, CViewTransform::kMinScale,
                      CViewTransform::kMaxScale, origin, scale))
        return false;
    transform.m_origin = origin;
    transform.m_scale = scale;
    return true;
}
