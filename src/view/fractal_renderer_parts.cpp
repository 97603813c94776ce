// A large walk of the vector formats generated in parts on several threads. Below the first
// few levels of the recursion every subtree is independent once its start and end points are
// known: the calling thread places the segments of those levels exactly as the walk would
// (the same arithmetic in the same order), and each segment becomes a part that a thread
// generates, with a renderer of its own, into a part of the sink (IPathSink::NewPart). The
// calling thread delivers the parts to the sink in path order as they are done, so the file
// is the one a single thread writes. Threads never run more than a few parts ahead of the
// delivery, which bounds the memory held.
//
// A walk ends where a point cannot be placed: a part that ends so is delivered as far as it
// went and ends the walk, and a point of the first levels that cannot be placed ends the walk
// after the parts before it. Only the calling thread talks to the export's progress object;
// a cancellation reaches the other threads through a shared flag every few thousand points.
// A part whose memory ran out is generated again by the calling thread, straight into the
// sink, when its turn comes.
//
// The threads are std::jthreads (CWorkerThreads), one mutex and one condition variable:
// see platform/worker_threads.h for why not a task library.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/worker_threads.h"
#include "view/fractal_renderer.h"

namespace {

// Chosen without being asked, threads generate walks of this many points and more.
constexpr uint64_t kMinAutomaticPoints = uint64_t{1} << 20;
// About this many points a part, but at least kPartsPerThread parts a thread.
constexpr uint64_t kPointsPerPart = uint64_t{1} << 15;
constexpr uint64_t kPartsPerThread = 8;
constexpr size_t kMaxParts = 4096;
// Parts generated ahead of the delivery, per thread.
constexpr size_t kPartsAheadPerThread = 8;

bool IsFinite(PointF p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

uint64_t SaturatingAdd(uint64_t a, uint64_t b)
{
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

uint64_t SaturatingMultiply(uint64_t a, uint64_t b)
{
    return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b;
}

// The progress object of a part's renderer on another thread: it only passes on a stop.
class PartFollowerProgress final : public CExportProgress {
public:
    explicit PartFollowerProgress(const std::atomic<bool>& stop) : m_stop(stop) {}
    bool Continue(double) override { return !m_stop.load(std::memory_order_relaxed); }

private:
    const std::atomic<bool>& m_stop;
};

}  // namespace

// The calling thread's progress object while it generates a part itself: the export hears
// the share of the path delivered so far.
class CFractalRenderer::PartLeaderProgress final : public CExportProgress {
public:
    PartLeaderProgress(CFractalRenderer& whole, std::atomic<bool>& stop) : m_whole(whole), m_stop(stop) {}
    bool Continue(double) override { return Report(); }
    bool Report()
    {
        if (m_cancelled || m_stop.load(std::memory_order_relaxed))
            return false;
        if (m_whole.m_pProgress != nullptr && !m_whole.m_pProgress->Continue(m_fraction)) {
            m_cancelled = true;
            m_stop.store(true, std::memory_order_relaxed);
            return false;
        }
        return true;
    }
    void Delivered(uint64_t points, uint64_t total)
    {
        m_whole.m_nProgressPoints = points;
        m_fraction = std::max(m_fraction, std::min(1.0, static_cast<double>(points) / static_cast<double>(total)));
    }
    bool Cancelled() const { return m_cancelled; }

private:
    CFractalRenderer& m_whole;
    std::atomic<bool>& m_stop;
    double m_fraction = 0.0;
    bool m_cancelled = false;
};

uint64_t CFractalRenderer::CountWalkPoints(uint8_t flags, uint8_t depth) const
{
    // counts[f]: the points of a segment with flags f at the current depth, as CountPathPoints
    // counts them, from the child tables of this walk.
    const int n = m_nSegments;
    uint64_t counts[16];
    for (uint64_t& c : counts)
        c = 1;
    for (int d = 1; d <= depth; ++d) {
        uint64_t next[16];
        for (int f = 0; f < 16; ++f) {
            if (f & (KNEE_HIDE | KNEE_STATIC)) {
                next[f] = 1;
                continue;
            }
            const uint8_t* childFlags = m_childFlags[(f & KNEE_REVERSE) ? 1 : 0];
            uint64_t sum = 0;
            for (int i = 0; i < n; ++i)
                sum = SaturatingAdd(sum, counts[(childFlags[i] ^ f) & 15]);
            next[f] = sum;
        }
        std::copy(next, next + 16, counts);
    }
    return counts[flags & 15];
}

bool CFractalRenderer::CollectParts(PointF start, PointF end, uint8_t flags, uint8_t depth, int levels,
                                    std::vector<PathPart>& parts) const
{
    // As GenerateIllustratorSegment and SubdivideSegment place them.
    if ((flags & (KNEE_HIDE | KNEE_STATIC)) || depth == 0 || levels == 0) {
        parts.push_back(PathPart{start, end, flags, depth});
        return true;
    }
    const uint8_t childDepth = static_cast<uint8_t>(depth - 1);
    const int n = m_nSegments;
    const int row = (flags & KNEE_REVERSE) ? 1 : 0;
    const ChildRotation* rotations = m_childRotations[row];
    const uint8_t* childFlags = m_childFlags[row];
    const bool mirror = (flags & KNEE_MIRROR) != 0;
    const float dx = end.x - start.x;
    const float dy = end.y - start.y;
    PointF cur = start;
    for (int i = 1; i < n; ++i) {
        const PointF prev = cur;
        const float c = rotations[i].c;
        const float s = mirror ? -rotations[i].s : rotations[i].s;
        cur.x = start.x + (c * dx - s * dy);
        cur.y = start.y + (s * dx + c * dy);
        if (!IsFinite(cur))
            return false;
        if (!CollectParts(prev, cur, childFlags[i - 1] ^ flags, childDepth, levels - 1, parts))
            return false;
    }
    return CollectParts(cur, end, childFlags[n - 1] ^ flags, childDepth, levels - 1, parts);
}

void CFractalRenderer::PreparePartRenderer(CFractalRenderer& part) const
{
    part.m_bIllustrator = 1;
    part.m_nSegments = m_nSegments;
    part.m_nIterations = m_nIterations;
    part.m_nTopDepth = m_nTopDepth;
    std::copy(&m_childFlags[0][0], &m_childFlags[0][0] + 2 * PATTERN_MAX_SEGMENTS, &part.m_childFlags[0][0]);
    std::copy(&m_childSteps[0][0], &m_childSteps[0][0] + 2 * PATTERN_MAX_SEGMENTS, &part.m_childSteps[0][0]);
    std::copy(&m_childRotations[0][0], &m_childRotations[0][0] + 2 * PATTERN_MAX_SEGMENTS,
              &part.m_childRotations[0][0]);
}

bool CFractalRenderer::GeneratePart(const PathPart& part, IPathSink& sink, CExportProgress& progress)
{
    m_pPathSink = &sink;
    m_pProgress = &progress;
    m_bCancelled = false;
    m_nProgressPoints = 0;
    m_nProgressLevels = 0;
    const bool complete = GenerateIllustratorSegment(part.start, part.end, part.flags, part.depth);
    m_pPathSink = nullptr;
    m_pProgress = nullptr;
    return complete;
}

bool CFractalRenderer::GeneratePathInParts(PointF start, PointF end, bool& complete)
{
    const uint8_t top = static_cast<uint8_t>(m_nTopDepth);
    const uint64_t points = CountWalkPoints(0, top);
    int threads = RequestedThreads();
    if (threads == 0 && points >= kMinAutomaticPoints)
        threads = AutomaticThreadCount();
    if (threads < 2 || m_pPathSink == nullptr || m_nSegments < 2)
        return false;

    // The levels split off: enough parts for every thread, of a modest size each.
    const uint64_t wanted = std::clamp<uint64_t>(points / kPointsPerPart, kPartsPerThread * threads, kMaxParts);
    int levels = 0;
    for (uint64_t reach = 1; reach < wanted && levels < top; ++levels)
        reach = SaturatingMultiply(reach, static_cast<uint64_t>(m_nSegments));
    if (levels == 0)
        return false;

    // Parts are generated at most `ahead` parts beyond the delivery, each into the part
    // output of its index modulo `ahead`, which the delivery left empty.
    const size_t ahead = kPartsAheadPerThread * static_cast<size_t>(threads);
    std::vector<PathPart> parts;
    std::vector<std::unique_ptr<CFractalRenderer>> renderers;
    std::vector<std::unique_ptr<IPathPart>> outputs;
    bool placed = true;
    try {
        placed = CollectParts(start, end, 0, top, levels, parts);
        if (parts.size() < 2)
            return false;
        // This thread's renderer; the others make their own, on their own thread.
        renderers.resize(static_cast<size_t>(threads));
        renderers[0] = std::make_unique<CFractalRenderer>();
        PreparePartRenderer(*renderers[0]);
        for (size_t i = 0; i < std::min(ahead, parts.size()); ++i)
            outputs.push_back(m_pPathSink->NewPart());
    } catch (const std::bad_alloc&) {
        return false;  // the single thread, as before
    }

    enum class PartState : uint8_t { Waiting, Running, Done, NoMemory };
    struct Slot {
        PartState state = PartState::Waiting;
        bool complete = false;
        uint64_t points = 0;
    };
    std::vector<Slot> slots(parts.size());
    std::mutex mutex;
    std::condition_variable changed;
    size_t next = 0;       // the first part no thread has taken
    size_t delivered = 0;  // parts handed to the sink
    std::atomic<bool> stop{false};
    PartFollowerProgress follower(stop);
    PartLeaderProgress leader(*this, stop);

    // Takes the next part if one may be started; under the lock.
    auto take = [&](size_t& index) {
        if (stop.load(std::memory_order_relaxed) || next >= parts.size() || next >= delivered + ahead)
            return false;
        index = next++;
        slots[index].state = PartState::Running;
        return true;
    };
    // Generates part `index` on `renderer`; the lock is not held.
    auto run = [&](CFractalRenderer& renderer, CExportProgress& progress, size_t index) {
        PartState state = PartState::Done;
        bool ok = false;
        try {
            ok = renderer.GeneratePart(parts[index], *outputs[index % ahead], progress);
        } catch (const std::bad_alloc&) {
            renderer.m_pPathSink = nullptr;
            renderer.m_pProgress = nullptr;
            outputs[index % ahead]->Clear();
            state = PartState::NoMemory;
        }
        std::lock_guard lock(mutex);
        slots[index].state = state;
        slots[index].complete = ok;
        slots[index].points = renderer.m_nProgressPoints;
        changed.notify_all();
    };

    CWorkerThreads workers(threads, [&](int t) {
        std::unique_ptr<CFractalRenderer>& own = renderers[static_cast<size_t>(t)];
        try {
            own = std::make_unique<CFractalRenderer>();
        } catch (const std::bad_alloc&) {
            return;  // the other threads share the parts
        }
        PreparePartRenderer(*own);
        CFractalRenderer& renderer = *own;
        std::unique_lock lock(mutex);
        for (;;) {
            size_t index = 0;
            bool taken = false;
            changed.wait(lock, [&] {
                taken = take(index);
                return taken || stop.load(std::memory_order_relaxed) || next >= parts.size();
            });
            if (!taken)
                break;  // stopped, or nothing left
            lock.unlock();
            run(renderer, follower, index);
            lock.lock();
        }
    });

    // The calling thread delivers the parts in order, and generates parts itself while the
    // next one is not done.
    uint64_t deliveredPoints = m_nProgressPoints;  // the start point
    bool ended = false;                            // the walk ended before the last part
    leader.Delivered(deliveredPoints, points);
    leader.Report();  // the export hears at once, as a single thread's walk soon asks it
    auto lastReport = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex);
    while (delivered < parts.size() && !stop.load(std::memory_order_relaxed)) {
        Slot& slot = slots[delivered];
        if (slot.state == PartState::Done || slot.state == PartState::NoMemory) {
            const size_t index = delivered;
            lock.unlock();
            bool more;
            bool ok;
            uint64_t partPoints;
            if (slot.state == PartState::Done) {
                more = outputs[index % ahead]->Deliver();
                ok = slot.complete;
                partPoints = slot.points;
            } else {
                // Straight into the sink, on this thread.
                CFractalRenderer& own = *renderers[0];
                ok = own.GeneratePart(parts[index], *m_pPathSink, leader);
                more = !own.m_bCancelled;
                partPoints = own.m_nProgressPoints;
            }
            if (more)
                deliveredPoints += partPoints;
            leader.Delivered(deliveredPoints, points);
            lock.lock();
            ++delivered;
            changed.notify_all();
            if (!more || !ok) {
                ended = true;
                stop.store(true, std::memory_order_relaxed);
                changed.notify_all();
                break;
            }
            continue;
        }
        size_t index = 0;
        if (take(index)) {
            lock.unlock();
            run(*renderers[0], leader, index);
            lock.lock();
            continue;
        }
        // Nothing to do but wait; the export hears from this thread meanwhile.
        changed.wait_for(lock, std::chrono::milliseconds(20));
        const auto now = std::chrono::steady_clock::now();
        if (now - lastReport >= std::chrono::milliseconds(20)) {
            lastReport = now;
            lock.unlock();
            leader.Report();
            lock.lock();
        }
    }
    stop.store(true, std::memory_order_relaxed);
    changed.notify_all();
    lock.unlock();
    workers.Join();

    m_bCancelled = leader.Cancelled();
    m_nProgressPoints = deliveredPoints;
    complete = !m_bCancelled && !ended && placed && delivered == parts.size();
    return true;
}
