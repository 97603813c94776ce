// The editing grid: a square or triangular lattice through the pattern's origin, the nearest
// lattice point for Snap to Grid, and the lines that draw it over a part of the plane.
#pragma once

#include <vector>

#include "document/point_f.h"

enum class GridKind { Square, Triangular };

struct GridSettings {
    GridKind kind = GridKind::Square;
    float spacing = 10.0f;  // pattern units between neighbouring lattice points
};

// Spacings the Grid Settings dialog accepts.
constexpr float kGridSpacingMin = 1e-3f;
constexpr float kGridSpacingMax = 1e6f;

// True for a finite spacing within [kGridSpacingMin, kGridSpacingMax].
bool IsValidGridSpacing(float spacing);

// The lattice point nearest to `p`: multiples of the spacing on both axes (square), or
// i * (s, 0) + j * (s / 2, s * sqrt(3) / 2) (triangular, whose neighbours form 60-degree
// triangles). A point that is not finite, or a spacing that is not valid, gives `p` back.
PointF NearestLatticePoint(const GridSettings& grid, PointF p);

struct GridLine {
    PointF from;
    PointF to;
};

// The lattice's lines across the box [minX, maxX] x [minY, maxY]: vertical and horizontal
// lines (square), or horizontal lines and the two families at 60 and 120 degrees
// (triangular). Empty when more than `maxLines` would be needed (a grid too dense to see).
std::vector<GridLine> GridLines(const GridSettings& grid, float minX, float minY, float maxX, float maxY,
                                int maxLines);
