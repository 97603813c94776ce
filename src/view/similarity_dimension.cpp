// The similarity dimension, solved by Newton's method on a convex decreasing function.
#include "view/similarity_dimension.h"

#include <algorithm>
#include <cmath>

#include "document/pattern.h"
#include "platform/text_format.h"

SimilarityDimension ComputeSimilarityDimension(const CPattern& pattern)
{
    SimilarityDimension result;
    const int n = pattern.m_count;
    if (n < 1 || n > PATTERN_MAX_SEGMENTS)
        return result;
    const PointF* p = pattern.m_points;
    for (int i = 0; i <= n; ++i) {
        if (!std::isfinite(p[i].x) || !std::isfinite(p[i].y))
            return result;
    }
    const double baseline = std::hypot(static_cast<double>(p[n].x) - p[0].x, static_cast<double>(p[n].y) - p[0].y);
    if (!(baseline > 0.0) || !std::isfinite(baseline))
        return result;

    // The logarithms of the ratios of the replaced segments that have a length.
    double logs[PATTERN_MAX_SEGMENTS];
    int m = 0;
    bool straight = false;
    for (int i = 0; i < n; ++i) {
        const double length = std::hypot(static_cast<double>(p[i + 1].x) - p[i].x,
                                         static_cast<double>(p[i + 1].y) - p[i].y);
        const uint8_t flags = pattern.m_kneeFlags[i];
        if (flags & KNEE_HIDE)
            continue;
        if (!(length > 0.0))
            continue;
        if (flags & KNEE_STATIC) {
            straight = true;
            continue;
        }
        const double ratio = length / baseline;
        if (ratio >= 1.0) {
            result.unbounded = true;
            return result;
        }
        logs[m++] = std::log(ratio);
    }

    double d = 0.0;
    if (m > 1) {
        // f(D) = sum of r_i^D - 1 falls from m - 1 > 0 at D = 0 towards -1, and is convex, so
        // Newton's steps from D = 0 approach the root from below without overshooting it.
        for (int step = 0; step < 200; ++step) {
            double f = -1.0;
            double slope = 0.0;
            for (int k = 0; k < m; ++k) {
                const double term = std::exp(d * logs[k]);
                f += term;
                slope += term * logs[k];
            }
            if (!(slope < 0.0))
                break;
            const double next = d - f / slope;
            if (!(next > d))
                break;
            const bool settled = next - d <= 1e-13 * std::max(1.0, next);
            d = next;
            if (settled)
                break;
        }
    }
    // One replaced segment: r^D = 1 gives D = 0.
    if (m == 0)
        d = straight ? 1.0 : 0.0;
    else if (straight)
        d = std::max(d, 1.0);
    result.value = d;
    return result;
}

std::string FormatDimension(const SimilarityDimension& dimension)
{
    if (dimension.unbounded)
        return "unbounded";
    return FormatFixed(dimension.value, 4);
}
