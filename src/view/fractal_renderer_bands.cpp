// A large picture in line mode drawn on several threads. Each thread draws whole horizontal
// bands of the bitmap: it runs the generator with the band as its canvas, which skips every
// subtree whose fractal lies off the band, and the line stepper clips each line to the band
// exactly, so a band receives precisely the pixels the whole picture has there. Lines in one
// colour on the background look the same whatever order they are drawn in, and the bands share
// no pixel, so the picture is the same as one drawn on a single thread. The pattern overlay is
// drawn before, on the calling thread, as always.
//
// Rows above the first band not yet done are final: the calling thread tells
// m_pFinishedRows, so that a bitmap export writes them while the bands below are drawn.
//
// Only the calling thread talks to the export's progress object: it reports the share of bands
// done and passes a cancellation on to the other threads, which look at a shared flag every
// few thousand points.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "platform/worker_threads.h"
#include "view/fractal_renderer.h"

namespace {

constexpr int32_t kMinBandRows = 64;
constexpr int kBandsPerThread = 4;

// Chosen without being asked, threads pay off only from this many pixels on: each thread's
// renderer takes a few milliseconds to set up.
constexpr int64_t kMinAutomaticPixels = int64_t{1} << 22;

}  // namespace

int CFractalRenderer::RequestedThreads() const
{
    if (m_nThreads > 0)
        return std::min<int32_t>(m_nThreads, kMaxWorkerThreads);
    return std::max(ThreadCountFromEnvironment(), 0);  // an invalid value asks for nothing
}

namespace {

// The progress object of the other threads' bands: it only passes on a stop.
class FollowerProgress final : public CExportProgress {
public:
    explicit FollowerProgress(const std::atomic<bool>& stop) : m_stop(stop) {}
    bool Continue(double) override { return !m_stop.load(std::memory_order_relaxed); }

private:
    const std::atomic<bool>& m_stop;
};

// The progress object of the calling thread's bands: the export's fraction is the share of
// bands done plus the current band's own fraction, never going back.
class LeaderProgress final : public CExportProgress {
public:
    LeaderProgress(CExportProgress* outer, std::atomic<bool>& stop, const std::atomic<int>& done, int bands)
        : m_outer(outer), m_stop(stop), m_done(done), m_bands(bands)
    {
    }
    bool Continue(double fraction) override { return Report(fraction); }
    // `fraction` of the band in hand, on top of the bands done.
    bool Report(double fraction)
    {
        if (m_stop.load(std::memory_order_relaxed))
            return false;
        const double overall = (m_done.load(std::memory_order_relaxed) + fraction) / m_bands;
        m_last = std::max(m_last, std::min(overall, 1.0));
        if (m_outer != nullptr && !m_outer->Continue(m_last)) {
            m_cancelled = true;
            m_stop.store(true, std::memory_order_relaxed);
            return false;
        }
        return true;
    }
    bool Cancelled() const { return m_cancelled; }

private:
    CExportProgress* m_outer;
    std::atomic<bool>& m_stop;
    const std::atomic<int>& m_done;
    int m_bands;
    double m_last = 0.0;
    bool m_cancelled = false;
};

}  // namespace

bool CFractalRenderer::DrawBand(const CFractalRenderer& whole, const CPattern& pattern, int32_t firstRow, int32_t rows)
{
    // The band's canvas: the same view, shifted up by firstRow pixels (an integer shift, so
    // every point lands on the same pixel of the whole bitmap).
    m_transform = whole.m_transform;
    m_transform.m_center.y = whole.m_transform.m_center.y - firstRow;
    m_nWidth = whole.m_nWidth;
    m_nHeight = rows;
    m_rcClient = RECT{0, 0, m_nWidth, rows};
    m_nIterations = whole.m_nIterations;
    m_nDetail = whole.m_nDetail;
    m_nDrawLimit = whole.m_nDrawLimit;
    m_bTimeLimit = 0;
    m_bFill = 0;
    m_bIllustrator = 0;
    m_bCullOffCanvas = whole.m_bCullOffCanvas;
    m_bModeCompiled = whole.m_bModeCompiled;
    m_nSegments = whole.m_nSegments;
    m_pens[5] = whole.m_pens[5];
    m_nRecreateBitmap = 0;
    m_bitmap.AttachRows(const_cast<CBitmap&>(whole.m_bitmap), firstRow, rows);
    BeginDraw();
    m_dc.SelectPen(m_pens[5]);
    const bool complete = Generate(pattern, pattern.m_kneeFlags);
    EndDraw();
    m_bitmap.Delete();
    return complete;
}

int CFractalRenderer::BandThreads() const
{
    // Bitmap exports only: no time budget (a screen paint's stop would differ), no point sink,
    // a bitmap that is exactly the canvas, and enough rows for the bands.
    if (m_bTimeLimit || m_bIllustrator || m_pScreenSink != nullptr || m_dc.Bitmap() != &m_bitmap ||
        m_bitmap.IsEmpty() || m_bitmap.Width() != m_nWidth || m_bitmap.Height() != m_nHeight)
        return 0;
    int requested = RequestedThreads();
    if (requested == 0 && static_cast<int64_t>(m_nWidth) * m_nHeight >= kMinAutomaticPixels)
        requested = AutomaticThreadCount();
    const int threads = std::min(requested, m_nHeight / (2 * kMinBandRows));
    return threads >= 2 ? threads : 0;
}

// Runs work(firstRow, rows, thread) for `bands` bands of `height` rows on `threads` threads.
template <class Work>
static void ForEachBand(int threads, int bands, int32_t height, const Work& work)
{
    std::atomic<int> next{0};
    auto run = [&](int thread) {
        for (int b = next.fetch_add(1, std::memory_order_relaxed); b < bands; b = next.fetch_add(1, std::memory_order_relaxed)) {
            const int32_t first = static_cast<int32_t>(static_cast<int64_t>(height) * b / bands);
            const int32_t last = static_cast<int32_t>(static_cast<int64_t>(height) * (b + 1) / bands);
            work(first, last - first, thread);
        }
    };
    CWorkerThreads workers(threads, run);
    run(0);
}

bool CFractalRenderer::ClearInBands(COLORREF color)
{
    // The first touch of a new bitmap's pages, too, is shared out this way.
    const int threads = BandThreads();
    if (threads < 2)
        return false;
    const uint32_t pixel = PixelFromColor(color);
    const size_t width = static_cast<size_t>(m_nWidth);
    ForEachBand(threads, threads * kBandsPerThread, m_nHeight, [&](int32_t first, int32_t rows, int) {
        uint32_t* const row = m_bitmap.Row(first);
        std::fill(row, row + width * static_cast<size_t>(rows), pixel);
    });
    return true;
}

bool CFractalRenderer::PolygonInBands(const POINT* points, int count)
{
    // Each band fills and outlines the polygon moved up by the band's first row: the filler's
    // crossings and the line stepper's pixels depend only on differences of coordinates, and
    // both clip to the band's rows exactly, so every band gets the pixels the whole bitmap
    // has there. The outline's pen is solid, so no dash pattern runs across the bands.
    const int threads = BandThreads();
    if (threads < 2 || points == nullptr || count < 2 || m_pens[5].style != PS_SOLID)
        return false;
    for (int i = 0; i < count; ++i) {
        if (points[i].y < INT32_MIN + m_nHeight)
            return false;  // moved up, it would leave the coordinate range
    }
    const int bands = std::min(threads * kBandsPerThread, m_nHeight / kMinBandRows);
    struct BandSurface {
        CBitmap rows;
        CDC dc;
        std::vector<POINT> moved;
    };
    std::unique_ptr<BandSurface[]> surfaces;
    try {
        surfaces = std::make_unique<BandSurface[]>(static_cast<size_t>(threads));
        for (int t = 0; t < threads; ++t)
            surfaces[static_cast<size_t>(t)].moved.resize(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        return false;
    }
    ForEachBand(threads, bands, m_nHeight, [&](int32_t first, int32_t rows, int thread) {
        BandSurface& surface = surfaces[static_cast<size_t>(thread)];
        surface.rows.AttachRows(m_bitmap, first, rows);
        surface.dc.Attach(&surface.rows);
        surface.dc.SelectPen(m_pens[5]);
        surface.dc.SelectBrush(GrayBrush());
        for (int i = 0; i < count; ++i)
            surface.moved[static_cast<size_t>(i)] = POINT{points[i].x, points[i].y - first};
        surface.dc.Polygon(surface.moved.data(), count);
        surface.dc.Detach();
        surface.rows.Delete();
    });
    return true;
}

bool CFractalRenderer::DrawFractalInBands(const CPattern& pattern)
{
    if (m_bFill)
        return false;
    const int threads = BandThreads();
    if (threads < 2)
        return false;
    const int bands = std::min(threads * kBandsPerThread, m_nHeight / kMinBandRows);

    // A renderer per thread, made here so that a failure to get one leaves the single thread.
    std::vector<std::unique_ptr<CFractalRenderer>> renderers;
    try {
        for (int t = 0; t < threads; ++t)
            renderers.push_back(std::make_unique<CFractalRenderer>());
    } catch (const std::bad_alloc&) {
        return false;
    }

    std::atomic<int> next{0};
    std::atomic<int> done{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> stoppedEarly{false};  // a band's generation ended without being asked to
    std::atomic<int> running{threads - 1};
    LeaderProgress leader(m_pProgress, stop, done, bands);
    FollowerProgress follower(stop);

    // Bands done, and the rows above the first band not done told to m_pFinishedRows (by
    // this thread, between its own bands and while it waits).
    std::unique_ptr<std::atomic<bool>[]> bandDone;
    try {
        bandDone = std::make_unique<std::atomic<bool>[]>(static_cast<size_t>(bands));
    } catch (const std::bad_alloc&) {
        return false;
    }
    int bandsTold = 0;
    auto tellFinished = [&] {
        if (m_pFinishedRows == nullptr)
            return;
        int finished = bandsTold;
        while (finished < bands && bandDone[static_cast<size_t>(finished)].load(std::memory_order_acquire))
            ++finished;
        if (finished > bandsTold) {
            bandsTold = finished;
            m_pFinishedRows->RowsFinished(static_cast<int32_t>(static_cast<int64_t>(m_nHeight) * finished / bands));
        }
    };
    auto work = [&](CFractalRenderer& band, CExportProgress& progress, bool leading) {
        band.m_pProgress = &progress;
        for (;;) {
            const int b = next.fetch_add(1, std::memory_order_relaxed);
            if (b >= bands || stop.load(std::memory_order_relaxed))
                break;
            const int32_t first = static_cast<int32_t>(static_cast<int64_t>(m_nHeight) * b / bands);
            const int32_t last = static_cast<int32_t>(static_cast<int64_t>(m_nHeight) * (b + 1) / bands);
            if (!band.DrawBand(*this, pattern, first, last - first)) {
                if (!band.m_bCancelled)
                    stoppedEarly.store(true, std::memory_order_relaxed);
                stop.store(true, std::memory_order_relaxed);
                break;
            }
            done.fetch_add(1, std::memory_order_relaxed);
            bandDone[static_cast<size_t>(b)].store(true, std::memory_order_release);
            if (leading)
                tellFinished();
        }
        band.m_pProgress = nullptr;
    };
    {
        std::vector<std::jthread> workers;
        for (int t = 1; t < threads; ++t) {
            try {
                workers.emplace_back([&, t] {
                    work(*renderers[static_cast<size_t>(t)], follower, false);
                    running.fetch_sub(1, std::memory_order_release);
                });
            } catch (const std::system_error&) {
                running.fetch_sub(1, std::memory_order_release);  // fewer threads, same bands
            }
        }
        work(*renderers[0], leader, true);
        // The bands still being drawn: the progress object keeps hearing from this thread.
        while (running.load(std::memory_order_acquire) > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(m_pFinishedRows != nullptr ? 5 : 20));
            leader.Report(0.0);
            if (!stop.load(std::memory_order_relaxed))
                tellFinished();
        }
    }  // joins the workers

    if (leader.Cancelled()) {
        m_bCancelled = true;
        m_drawOutcome = DrawOutcome::Complete;
        return true;
    }
    if (stoppedEarly.load()) {
        // A generation that ends early (a point beyond the float range) ends the single
        // thread's path there; the bands cannot know where, so the picture is drawn again.
        const int32_t threadsSetting = m_nThreads;
        if (m_pFinishedRows != nullptr && bandsTold > 0)
            m_pFinishedRows->RowsRedrawn();
        m_nThreads = 1;
        DrawScene(pattern);
        m_nThreads = threadsSetting;
        return true;
    }
    m_drawOutcome = DrawOutcome::Complete;
    return true;
}
