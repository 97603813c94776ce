// The extent of a fractal in pattern coordinates, computed with the generator's own child
// placement rather than from pixels, and the view that frames a box.
#pragma once

#include <cstdint>

#include "document/point_f.h"

class CPattern;
class CViewTransform;

// An axis-aligned box in pattern coordinates (y upward). A box is empty while minX > maxX.
struct FractalBox {
    double minX = 1.0;
    double minY = 1.0;
    double maxX = 0.0;
    double maxY = 0.0;

    bool IsEmpty() const { return minX > maxX || minY > maxY; }
    void Add(double x, double y);
    void Add(const FractalBox& other);
    double Width() const { return IsEmpty() ? 0.0 : maxX - minX; }
    double Height() const { return IsEmpty() ? 0.0 : maxY - minY; }
};

struct FractalBoundsResult {
    FractalBox box;
    // False when the walk ran out of its budget and some subtrees were bounded by their
    // disks instead: the box then still holds the whole fractal but may be larger.
    bool exact = true;
};

// The bounding box of every position the generator's path visits at `iterations` (its low 8
// bits, as the generator uses them) at full depth, that is without the Detail and the budgets
// of a screen picture: the start point and the end point of every leaf. A hidden segment is a
// gap: its copy is not generated and nothing between its ends counts, but its end point is a
// position of the path (the pen moves there, and in fill mode it is a corner of the polygon).
// A static segment counts as its straight line. A pattern whose baseline has length 0 gives
// the start point alone, like the generator.
//
// Subtrees are culled with a disk around each segment that holds its whole fractal: a subtree
// whose disk lies inside the box found so far cannot grow it. `tolerance`, relative to the
// size of the pattern's first copies, is how far outside the box a disk may reach and still be
// culled: each side of the result lies within that distance of the exact one. Answers false,
// leaving `result` alone, when the pattern has a point that is not a finite number or the
// fractal's coordinates leave the range of floats.
bool ComputeFractalBounds(const CPattern& pattern, int iterations, FractalBoundsResult& result,
                          double tolerance = 1e-5);

// The box of the pattern's live points.
FractalBox PatternBounds(const CPattern& pattern);

// The origin and scale that show `box` centred in a view of width x height pixels with
// `margin` pixels free on every side (fewer when the view is smaller than twice the margin).
// An axis of zero extent sets no limit; a box of zero size keeps `currentScale`. The scale is
// kept within [minScale, maxScale]. False, changing nothing, for an empty or non-finite box or
// a view without pixels.
bool FitBoxToView(const FractalBox& box, int32_t width, int32_t height, int32_t margin, float currentScale,
                  float minScale, float maxScale, PointF& origin, float& scale);

// Fit Fractal: sets the transform's origin and scale so that the fractal at `iterations` and
// the pattern fill a canvas of width x height pixels, with a margin of a twenty-fifth of the
// smaller side (at least 4 pixels). False, changing nothing, when there is nothing to fit.
bool FitViewToFractal(const CPattern& pattern, int iterations, int32_t width, int32_t height,
                      CViewTransform& transform);
