#include "interaction/grid_lattice.h"

#include <cmath>

namespace {

constexpr double kSqrt3 = 1.7320508075688772;

}  // namespace

bool IsValidGridSpacing(float spacing)
{
    return std::isfinite(spacing) && spacing >= kGridSpacingMin && spacing <= kGridSpacingMax;
}

PointF NearestLatticePoint(const GridSettings& grid, PointF p)
{
    if (!IsValidGridSpacing(grid.spacing) || !std::isfinite(p.x) || !std::isfinite(p.y))
        return p;
    const double s = grid.spacing;
    if (grid.kind == GridKind::Square) {
        const double x = std::round(p.x / s) * s;
        const double y = std::round(p.y / s) * s;
        return PointF{static_cast<float>(x), static_cast<float>(y)};
    }
    // Lattice coordinates: p = u * (s, 0) + v * (s / 2, h) with h = s * sqrt(3) / 2. The
    // nearest lattice point is a corner of the cell that holds p.
    const double h = s * kSqrt3 / 2.0;
    const double v = p.y / h;
    const double u = p.x / s - v / 2.0;
    const double u0 = std::floor(u);
    const double v0 = std::floor(v);
    double bestX = p.x, bestY = p.y, best = HUGE_VAL;
    for (int du = 0; du <= 1; ++du) {
        for (int dv = 0; dv <= 1; ++dv) {
            const double cu = u0 + du;
            const double cv = v0 + dv;
            const double x = cu * s + cv * s / 2.0;
            const double y = cv * h;
            const double d = (x - p.x) * (x - p.x) + (y - p.y) * (y - p.y);
            if (d < best) {
                best = d;
                bestX = x;
                bestY = y;
            }
        }
    }
    const PointF snapped{static_cast<float>(bestX), static_cast<float>(bestY)};
    return std::isfinite(snapped.x) && std::isfinite(snapped.y) ? snapped : p;
}

std::vector<GridLine> GridLines(const GridSettings& grid, float minX, float minY, float maxX, float maxY, int maxLines)
{
    std::vector<GridLine> lines;
    if (!IsValidGridSpacing(grid.spacing) || !std::isfinite(minX) || !std::isfinite(minY) || !std::isfinite(maxX) ||
        !std::isfinite(maxY) || minX > maxX || minY > maxY || maxLines <= 0)
        return lines;
    const double s = grid.spacing;
    auto count = [](double from, double to, double step) { return std::floor(to / step) - std::ceil(from / step) + 1.0; };
    if (grid.kind == GridKind::Square) {
        const double columns = count(minX, maxX, s);
        const double rows = count(minY, maxY, s);
        if (columns + rows > maxLines)
            return lines;
        for (double i = std::ceil(minX / s); i * s <= maxX; i += 1.0)
            lines.push_back({PointF{static_cast<float>(i * s), minY}, PointF{static_cast<float>(i * s), maxY}});
        for (double j = std::ceil(minY / s); j * s <= maxY; j += 1.0)
            lines.push_back({PointF{minX, static_cast<float>(j * s)}, PointF{maxX, static_cast<float>(j * s)}});
        return lines;
    }
    // Horizontal lines y = j * h, and the lines x = i * s +- y / sqrt(3) through the lattice
    // points of the x axis; i runs over what crosses the box.
    const double h = s * kSqrt3 / 2.0;
    const double slant = (maxY - minY) / kSqrt3;
    const double rows = count(minY, maxY, h);
    const double rising = count(minX - maxY / kSqrt3, maxX - minY / kSqrt3, s);
    const double falling = count(minX + minY / kSqrt3, maxX + maxY / kSqrt3, s);
    if (rows + rising + falling > maxLines || !(slant >= 0.0))
        return lines;
    for (double j = std::ceil(minY / h); j * h <= maxY; j += 1.0)
        lines.push_back({PointF{minX, static_cast<float>(j * h)}, PointF{maxX, static_cast<float>(j * h)}});
    // Rising lines: x = c + y / sqrt(3); falling lines: x = c - y / sqrt(3).
    for (int sign : {1, -1}) {
        const double lowC = sign > 0 ? minX - maxY / kSqrt3 : minX + minY / kSqrt3;
        const double highC = sign > 0 ? maxX - minY / kSqrt3 : maxX + maxY / kSqrt3;
        for (double i = std::ceil(lowC / s); i * s <= highC; i += 1.0) {
            const double c = i * s;
            lines.push_back({PointF{static_cast<float>(c + sign * minY / kSqrt3), minY},
                             PointF{static_cast<float>(c + sign * maxY / kSqrt3), maxY}});
        }
    }
    return lines;
}
