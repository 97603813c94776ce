#include "export/path_sink.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "document/pattern.h"
#include "view/fractal_renderer.h"

namespace {

// The renderer's Illustrator mode with `sink` receiving the points, for one walk.
class CPathSinkScope {
public:
    CPathSinkScope(CFractalRenderer& r, const CPattern& pattern, IPathSink& sink) : m_r(r)
    {
        m_r.m_bIllustrator = 1;
        m_r.m_pPathSink = &sink;
        m_r.m_nSegments = pattern.m_count;
    }
    ~CPathSinkScope()
    {
        m_r.m_pPathSink = nullptr;
        m_r.m_bIllustrator = 0;
    }
    CPathSinkScope(const CPathSinkScope&) = delete;
    CPathSinkScope& operator=(const CPathSinkScope&) = delete;

private:
    CFractalRenderer& m_r;
};

bool IsFinite(PointF p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

uint64_t SaturatingAdd(uint64_t a, uint64_t b)
{
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// The default part: the points as they came, handed to the sink one by one on delivery.
class CRecordedPart final : public IPathPart {
public:
    explicit CRecordedPart(IPathSink& sink) : m_sink(sink) {}
    bool PathPoint(PointF p, uint8_t kind, uint8_t depth) override
    {
        m_points.push_back(Recorded{p, kind, depth});
        return true;
    }
    bool Deliver() override
    {
        for (const Recorded& r : m_points) {
            if (!m_sink.PathPoint(r.p, r.kind, r.depth)) {
                Clear();
                return false;
            }
        }
        Clear();
        return true;
    }
    void Clear() override { m_points.clear(); }

private:
    struct Recorded {
        PointF p;
        uint8_t kind;
        uint8_t depth;
    };
    IPathSink& m_sink;
    std::vector<Recorded> m_points;
};

// The number of points the walk hands to its sink, in a number type with its own saturating
// addition. counts[f] = points of a segment with flags f at the current depth: one for a leaf,
// a hidden or a static knee; the sum of its children's otherwise. A child's flags are its
// knee's flags (in reversed order under a reversed parent) XOR the parent's.
template <typename Count, typename Add>
Count CountPoints(const CPattern& pattern, int32_t iterations, Add add)
{
    const int n = pattern.m_count;
    if (n < PATTERN_MIN_SEGMENTS || n > PATTERN_MAX_SEGMENTS || !IsFinite(pattern.m_points[0]) ||
        !IsFinite(pattern.m_points[n]) || pattern.m_points[0] == pattern.m_points[n])
        return Count{1};
    const int depth = iterations & 0xFF;
    Count counts[16];
    for (Count& c : counts)
        c = Count{1};
    for (int d = 1; d <= depth; ++d) {
        Count next[16];
        for (int f = 0; f < 16; ++f) {
            if (f & (KNEE_HIDE | KNEE_STATIC)) {
                next[f] = Count{1};
                continue;
            }
            Count sum{0};
            for (int i = 0; i < n; ++i) {
                const uint8_t knee = pattern.m_kneeFlags[(f & KNEE_REVERSE) ? n - 1 - i : i];
                sum = add(sum, counts[(knee ^ f) & 15]);
            }
            next[f] = sum;
        }
        for (int f = 0; f < 16; ++f)
            counts[f] = next[f];
    }
    return add(Count{1}, counts[0]);  // the start point and the baseline's points
}

}  // namespace

std::unique_ptr<IPathPart> IPathSink::NewPart()
{
    return std::make_unique<CRecordedPart>(*this);
}

bool WalkFractalPath(CFractalRenderer& renderer, const CPattern& pattern, IPathSink& sink)
{
    CPathSinkScope scope(renderer, pattern, sink);
    return renderer.Generate(pattern, pattern.m_kneeFlags);
}

void WalkFillClosing(CFractalRenderer& renderer, const CPattern& pattern, IPathSink& sink)
{
    CPathSinkScope scope(renderer, pattern, sink);
    renderer.CloseFill(pattern);
}

uint64_t CountPathPoints(const CPattern& pattern, int32_t iterations)
{
    return CountPoints<uint64_t>(pattern, iterations, SaturatingAdd);
}

double ApproximatePathPoints(const CPattern& pattern, int32_t iterations)
{
    // Both terms are at most the ceiling, so their sum stays finite.
    static constexpr double kCeiling = 1e300;
    return CountPoints<double>(pattern, iterations, [](double a, double b) { return std::min(a + b, kCeiling); });
}
