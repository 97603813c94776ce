// The point sink of the vector writers: the generator walks the fractal in pattern
// coordinates, to the full iteration count and without the pixel detail threshold, and hands
// every point it produces, in path order, to one IPathSink. The Illustrator and SVG writers
// are sinks; the generator does not know which format it feeds.
#pragma once

#include <cstdint>
#include <memory>

#include "document/point_f.h"

class CFractalRenderer;
class CPattern;

// Point kinds handed to the generator's sinks.
constexpr uint8_t EMIT_LINE = 0;   // a line from the previous point to this one
constexpr uint8_t EMIT_MOVE = 1;   // the end of a hidden knee: a gap up to this point
constexpr uint8_t EMIT_START = 3;  // the first point of the path

class IPathPart;

class IPathSink {
public:
    virtual ~IPathSink() = default;
    // One point of the path. `depth` is the generator's depth left at the point's segment
    // (the iterations at the start point, 0 at a leaf of full depth and at the points that
    // close fill mode's polygon), so that the segment ending here covers 1 / n^(iterations -
    // depth) of the path, n being the segment count. Answering false stops the walk (a write
    // error, for example).
    virtual bool PathPoint(PointF p, uint8_t kind, uint8_t depth) = 0;
    // A new, empty part for a stretch of the path that another thread generates (a large
    // walk is generated in parts on several threads and joined in path order). The default
    // part keeps the points and hands them to PathPoint on delivery; a sink whose output for
    // a point depends on that point alone can do its formatting in the part instead. Called
    // on the walk's thread.
    virtual std::unique_ptr<IPathPart> NewPart();
};

// A stretch of the path generated on another thread: PathPoint receives its points there
// (and may throw std::bad_alloc), and later Deliver hands what the part made of them to the
// sink it came from, on the walk's thread, in path order. A part is used again for later
// stretches, so it keeps its memory.
class IPathPart : public IPathSink {
public:
    // Hands the stretch to the sink and leaves the part empty; false when the sink stops the
    // walk (a write error, for example).
    virtual bool Deliver() = 0;
    // Leaves the part empty without handing anything over.
    virtual void Clear() = 0;
};

// Walks the fractal of `pattern` as `renderer` is set up (iterations, knee flags, progress
// object) into `sink`, in the renderer's Illustrator mode, which is left again however the
// walk ends. True when the walk reached the path's end; false when the sink stopped it, the
// progress object cancelled it (renderer.m_bCancelled is then set) or a point could not be
// placed (the path ends there).
bool WalkFractalPath(CFractalRenderer& renderer, const CPattern& pattern, IPathSink& sink);

// Hands `sink` the points that close fill mode's polygon along the canvas border (the
// generator's CloseFill), as EMIT_LINE points, in the renderer's Illustrator mode.
void WalkFillClosing(CFractalRenderer& renderer, const CPattern& pattern, IPathSink& sink);

// The number of points the walk hands to its sink for `pattern` at `iterations` (without
// the closing points of fill mode), saturating at 2^64 - 1; 1 when the pattern cannot be
// placed. Computed from the knee flags in a few thousand steps, without walking.
uint64_t CountPathPoints(const CPattern& pattern, int32_t iterations);
// The same count in floating point, for sizes beyond 2^64 (an export's size estimate says how
// far beyond): exact up to 2^53, never above 1e300, so that a size computed from it stays finite.
double ApproximatePathPoints(const CPattern& pattern, int32_t iterations);
