// A straightforward generator to measure the program's against: the rotation form of the
// recursion (each child placed from its parent's start by a scaled rotation of the parent's
// vector) and a classic Bresenham stepper, clipped by Liang-Barsky, into a 32-bit buffer.
// It subdivides while a segment is at least `detail` pixels long, as the program does, so
// it draws the same leaf lines of the same scene; its pixels are its own.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "document/pattern.h"
#include "view/view_transform.h"

class ReferenceGenerator {
public:
    ReferenceGenerator(const CPattern& pattern, const CViewTransform& transform, int detail, int width, int height)
        : m_transform(transform), m_detail(detail), m_width(width), m_height(height),
          m_pixels(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFFFFFFu)
    {
        m_count = pattern.m_count;
        m_start = pattern.m_points[0];
        m_end = pattern.m_points[m_count];
        const double bx = static_cast<double>(m_end.x) - m_start.x, by = static_cast<double>(m_end.y) - m_start.y;
        const double theta = std::atan2(by, bx), length = std::sqrt(bx * bx + by * by);
        for (int i = 1; i < m_count; ++i) {
            const PointF p = pattern.m_points[i];
            const double fx = static_cast<double>(p.x) - m_start.x, fy = static_cast<double>(p.y) - m_start.y;
            const double rx = static_cast<double>(m_end.x) - p.x, ry = static_cast<double>(m_end.y) - p.y;
            const double fr = std::sqrt(fx * fx + fy * fy) / length, fa = std::atan2(fy, fx) - theta;
            const double rr = std::sqrt(rx * rx + ry * ry) / length, ra = std::atan2(ry, rx) - theta;
            m_rot[0][i] = {static_cast<float>(fr * std::cos(fa)), static_cast<float>(fr * std::sin(fa))};
            m_rot[1][m_count - i] = {static_cast<float>(rr * std::cos(ra)), static_cast<float>(rr * std::sin(ra))};
        }
        for (int k = 0; k < m_count; ++k) {
            m_flags[0][k] = pattern.m_kneeFlags[k];
            m_flags[1][k] = pattern.m_kneeFlags[m_count - 1 - k];
        }
    }

    // Draws the fractal at `depth` in black; returns the number of leaf lines.
    int64_t Draw(int depth)
    {
        m_leaves = 0;
        Segment(m_start, m_end, m_transform.WorldToScreen(m_start), 0, depth);
        return m_leaves;
    }

    const std::vector<uint32_t>& Pixels() const { return m_pixels; }

private:
    struct Rotation {
        float c = 0.0f, s = 0.0f;
    };

    void Segment(PointF a, PointF b, POINT pa, uint8_t flags, int depth)
    {
        const POINT pb = m_transform.WorldToScreen(b);
        const int64_t ex = int64_t{pb.x} - pa.x, ey = int64_t{pb.y} - pa.y;
        if (depth == 0 || ex * ex + ey * ey < int64_t{m_detail} * m_detail) {
            ++m_leaves;
            Line(pa, pb);
            return;
        }
        const int row = (flags & KNEE_REVERSE) ? 1 : 0;
        const float mirror = (flags & KNEE_MIRROR) ? -1.0f : 1.0f;
        const float dx = b.x - a.x, dy = b.y - a.y;
        PointF prev = a;
        POINT pprev = pa;
        for (int i = 1; i < m_count; ++i) {
            const float c = m_rot[row][i].c, s = mirror * m_rot[row][i].s;
            const PointF cur{a.x + (c * dx - s * dy), a.y + (s * dx + c * dy)};
            Segment(prev, cur, pprev, m_flags[row][i - 1] ^ flags, depth - 1);
            prev = cur;
            pprev = m_transform.WorldToScreen(cur);
        }
        Segment(prev, b, pprev, m_flags[row][m_count - 1] ^ flags, depth - 1);
    }

    // Bresenham from a up to, not including, b, after clipping to the buffer.
    void Line(POINT a, POINT b)
    {
        int32_t x0 = a.x, y0 = a.y, x1 = b.x, y1 = b.y;
        const bool inside = x0 >= 0 && x0 < m_width && y0 >= 0 && y0 < m_height && x1 >= 0 && x1 < m_width && y1 >= 0 &&
                            y1 < m_height;
        if (!inside && !Clip(x0, y0, x1, y1))
            return;
        const int32_t dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        const int32_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        int32_t err = dx + dy;
        uint32_t* const bits = m_pixels.data();
        while (x0 != x1 || y0 != y1) {
            bits[static_cast<size_t>(y0) * static_cast<size_t>(m_width) + static_cast<size_t>(x0)] = 0;
            const int32_t e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }

    // Liang-Barsky: the part of the line inside the buffer, rounded to pixels.
    bool Clip(int32_t& x0, int32_t& y0, int32_t& x1, int32_t& y1) const
    {
        const double dx = static_cast<double>(x1) - x0, dy = static_cast<double>(y1) - y0;
        double t0 = 0.0, t1 = 1.0;
        const double p[4] = {-dx, dx, -dy, dy};
        const double q[4] = {static_cast<double>(x0), m_width - 1.0 - x0, static_cast<double>(y0), m_height - 1.0 - y0};
        for (int k = 0; k < 4; ++k) {
            if (p[k] == 0.0) {
                if (q[k] < 0.0)
                    return false;
                continue;
            }
            const double t = q[k] / p[k];
            if (p[k] < 0.0)
                t0 = std::max(t0, t);
            else
                t1 = std::min(t1, t);
        }
        if (t0 > t1)
            return false;
        const double sx = x0, sy = y0;
        x0 = static_cast<int32_t>(std::lround(sx + t0 * dx));
        y0 = static_cast<int32_t>(std::lround(sy + t0 * dy));
        x1 = static_cast<int32_t>(std::lround(sx + t1 * dx));
        y1 = static_cast<int32_t>(std::lround(sy + t1 * dy));
        return true;
    }

    CViewTransform m_transform;
    int m_detail;
    int m_width, m_height;
    std::vector<uint32_t> m_pixels;
    int m_count = 0;
    PointF m_start{}, m_end{};
    Rotation m_rot[2][PATTERN_MAX_SEGMENTS];
    uint8_t m_flags[2][PATTERN_MAX_SEGMENTS] = {};
    int64_t m_leaves = 0;
};
