// The similarity dimension of a pattern's fractal: the D for which the replaced segments'
// ratios r_i (segment length over baseline length) satisfy r_1^D + ... + r_m^D = 1.
#pragma once

#include <string>

class CPattern;

struct SimilarityDimension {
    // True when some replaced segment is at least as long as the baseline: the copies do not
    // shrink and no finite D exists.
    bool unbounded = false;
    double value = 0.0;
};

// Replaced segments are those neither hidden nor static. The figure's dimension is:
// - with a replaced segment: the root D of the equation above, or max(D, 1) when a static
//   segment draws a straight piece as well;
// - with no replaced segment: 1 when a static segment is drawn, 0 when every segment is hidden;
// - unbounded when a replaced segment's ratio is 1 or more.
// Segments of length 0 are points: a replaced one adds r^D = 0 to the sum and a static one
// draws no straight piece, so neither counts. A baseline of length 0 (or a point that is not a
// finite number) leaves no copy to place: the generator draws the start point alone, and the
// dimension is 0.
SimilarityDimension ComputeSimilarityDimension(const CPattern& pattern);

// "1.2619" (four decimals, a point whatever the locale) or "unbounded".
std::string FormatDimension(const SimilarityDimension& dimension);
