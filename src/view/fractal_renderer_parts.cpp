// A large walk of the vector formats generated in parts on several threads. Below the first
// few levels of the recursion every subtree is independent once its start and end points are
// known: the calling thread places the segments of those levels exactly as the walk would
// (the same arithmetic in the same order), and each segment becomes a part. The other
// threads generate parts, each with a renderer of its own, into part outputs of the sink
// (IPathSink::NewPart), a few parts ahead of the delivery; the calling thread delivers them
// to the sink in path order as they are done, and generates the parts the others left to it
// straight into the sink, so the file is the one a single thread writes. The calling thread
// thus shares the generation without copying its own share, and the others never run more
// than a few parts ahead of the delivery, which bounds the memory held.
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
// The other threads take parts at least this many parts, per thread, beyond the delivery.
constexpr size_t kPartsLeadPerThread = 2;

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
    const float mirror = (flags & KNEE_MIRROR) ? -1.0f : 1.0f;
    const float dx = end.x - start.x;
    const float dy = end.y - start.y;
    PointF cur = start;
    for (int i = 1; i < n; ++i) {
        const PointF prev = cur;
        cur = rotations[i].Place(start, dx, dy, mirror);
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

    // Parts are generated at most `ahead` parts beyond the delivery, each into a part output
    // from a pool of `ahead`; the most recently delivered output is used first, so that only
    // as many outputs are ever filled as are in flight at once.
    const size_t ahead = kPartsAheadPerThread * static_cast<size_t>(threads);
    // The other threads take parts at least `lead` beyond the delivery: the parts nearer to
    // it are left to the calling thread, which generates them straight into the sink when
    // their turn comes, so that its share needs no copy and no part output; and by the time
    // it has delivered the parts between, the part it reaches next is usually done.
    const size_t lead = kPartsLeadPerThread * static_cast<size_t>(threads);
    std::vector<PathPart> parts;
    std::vector<std::unique_ptr<CFractalRenderer>> renderers;
    std::vector<std::unique_ptr<IPathPart>> outputs;
    std::vector<IPathPart*> idle;  // the outputs no part uses, the last delivered at the back
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
        for (size_t i = outputs.size(); i-- > 0;)
            idle.push_back(outputs[i].get());
    } catch (const std::bad_alloc&) {
        return false;  // the single thread, as before
    }

    // Waiting: not taken, or left to the calling thread; Running: on another thread, or on
    // the calling thread straight into the sink.
    enum class PartState : uint8_t { Waiting, Running, Done, NoMemory };
    struct Slot {
        PartState state = PartState::Waiting;
        bool complete = false;
        uint64_t points = 0;
        IPathPart* output = nullptr;  // while the part is generated on another thread or done
    };
    std::vector<Slot> slots(parts.size());
    std::mutex mutex;
    std::condition_variable changed;
    size_t next = 0;       // no other thread has taken a part from here on
    size_t delivered = 0;  // parts handed to the sink
    std::atomic<bool> stop{false};
    PartFollowerProgress follower(stop);
    PartLeaderProgress leader(*this, stop);

    // The part another thread takes next: the first one at least `lead` beyond the delivery
    // that no thread has taken; once there is none, the last part the calling thread has not
    // begun, so that the threads finish together; parts.size() when none is left. Under the
    // lock.
    auto candidate = [&] {
        const size_t beyond = std::max(next, delivered + lead);
        if (beyond < parts.size())
            return beyond;
        for (size_t i = parts.size(); i-- > delivered + 1;) {
            if (slots[i].state == PartState::Waiting)
                return i;
        }
        return parts.size();
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
            changed.wait(lock, [&] {
                const size_t index = candidate();
                return stop.load(std::memory_order_relaxed) || index >= parts.size() ||
                       (index < delivered + ahead && !idle.empty());
            });
            const size_t index = candidate();
            if (stop.load(std::memory_order_relaxed) || index >= parts.size())
                break;  // stopped, or nothing left
            next = std::max(next, index + 1);
            Slot& slot = slots[index];
            slot.state = PartState::Running;
            slot.output = idle.back();
            idle.pop_back();
            IPathPart& output = *slot.output;
            lock.unlock();

            PartState state = PartState::Done;
            bool ok = false;
            try {
                ok = renderer.GeneratePart(parts[index], output, follower);
            } catch (const std::bad_alloc&) {
                renderer.m_pPathSink = nullptr;
                renderer.m_pProgress = nullptr;
                output.Clear();
                state = PartState::NoMemory;  // the calling thread generates it again
            }

            lock.lock();
            slot.state = state;
            slot.complete = ok;
            slot.points = renderer.m_nProgressPoints;
            if (state == PartState::NoMemory) {
                idle.push_back(slot.output);
                slot.output = nullptr;
            }
            changed.notify_all();
        }
    });

    // The calling thread delivers the parts in order: a part done on another thread from its
    // output, any other one by generating it itself, straight into the sink.
    uint64_t deliveredPoints = m_nProgressPoints;  // the start point
    bool ended = false;                            // the walk ended before the last part
    leader.Delivered(deliveredPoints, points);
    leader.Report();  // the export hears at once, as a single thread's walk soon asks it
    auto lastReport = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex);
    while (delivered < parts.size() && !stop.load(std::memory_order_relaxed)) {
        Slot& slot = slots[delivered];
        if (slot.state == PartState::Running) {
            // Nothing to do but wait; the export hears from this thread meanwhile.
            changed.wait_for(lock, std::chrono::milliseconds(20));
            const auto now = std::chrono::steady_clock::now();
            if (now - lastReport >= std::chrono::milliseconds(20)) {
                lastReport = now;
                lock.unlock();
                leader.Report();
                lock.lock();
            }
            continue;
        }
        const size_t index = delivered;
        const bool done = slot.state == PartState::Done;
        slot.state = PartState::Running;  // by this thread, which alone reads the slot now
        lock.unlock();
        bool more;
        bool ok;
        uint64_t partPoints;
        if (done) {
            more = slot.output->Deliver();
            ok = slot.complete;
            partPoints = slot.points;
        } else {
            CFractalRenderer& own = *renderers[0];
            ok = own.GeneratePart(parts[index], *m_pPathSink, leader);
            more = !own.m_bCancelled;
            partPoints = own.m_nProgressPoints;
        }
        if (more)
            deliveredPoints += partPoints;
        leader.Delivered(deliveredPoints, points);
        lock.lock();
        if (slot.output != nullptr) {
            idle.push_back(slot.output);
            slot.output = nullptr;
        }
        ++delivered;
        changed.notify_all();
        if (!more || !ok) {
            ended = true;
            stop.store(true, std::memory_order_relaxed);
            changed.notify_all();
            break;
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
