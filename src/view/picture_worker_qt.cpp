#include "view/picture_worker_qt.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "export/path_sink.h"

CPictureWorker::CPictureWorker()
    : m_renderer(std::make_unique<CFractalRenderer>()),
      m_cancelCheck(std::make_unique<CCancelCheck>(m_cancelBelow))
{
    m_renderer->m_pProgress = m_cancelCheck.get();
    m_thread = std::jthread([this](std::stop_token stop) { Run(stop); });
}

CPictureWorker::~CPictureWorker()
{
    m_cancelBelow.store(UINT64_MAX, std::memory_order_relaxed);
    m_thread.request_stop();
    {
        std::lock_guard lock(m_mutex);
        m_queued.reset();
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CPictureWorker::Submit(CPictureRequest request)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_running && !(m_runningMoving && request.moving))
            m_cancelBelow.store(request.id, std::memory_order_relaxed);
        m_queued = std::move(request);
    }
    m_wake.notify_all();
}

std::optional<CPictureResult> CPictureWorker::TakeResult()
{
    std::lock_guard lock(m_mutex);
    std::optional<CPictureResult> result = std::move(m_result);
    m_result.reset();
    return result;
}

void CPictureWorker::Run(std::stop_token stop)
{
    for (;;) {
        CPictureRequest request;
        {
            std::unique_lock lock(m_mutex);
            m_running = false;
            if (!m_wake.wait(lock, stop, [this]() { return m_queued.has_value(); }))
                return;
            request = std::move(*m_queued);
            m_queued.reset();
            m_running = true;
            m_runningMoving = request.moving;
        }
        Draw(request);
    }
}

bool CPictureWorker::DrawPicture(const CPictureRequest& request, const CDrawSettings& settings, CRgbaImage* image,
                                 bool* smoothDrawn)
{
    CFractalRenderer& r = *m_renderer;
    r.m_bCancelled = false;
    r.ApplyDrawSettings(settings);
    r.m_bRedraw = 1;
    r.m_drawOutcome = DrawOutcome::Complete;
    if (request.settings.smooth) {
        *smoothDrawn = DrawSmoothScene(r, request.pattern, request.style, image, nullptr);
    } else {
        r.BeginDraw();
        r.DrawScene(request.pattern);
        r.EndDraw();
    }
    // A cancelled picture is half drawn: it is never shown.
    return !r.m_bCancelled && m_cancelCheck->Continue(1.0);
}

void CPictureWorker::CopyCanvas(CPictureResult& result) const
{
    const CFractalRenderer& r = *m_renderer;
    const int32_t w = std::min(r.m_nWidth, r.m_bitmap.Width());
    const int32_t h = std::min(r.m_nHeight, r.m_bitmap.Height());
    if (w <= 0 || h <= 0 || r.m_bitmap.IsEmpty()) {
        result.canvas.clear();
        result.width = 0;
        result.height = 0;
        return;
    }
    result.canvas.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    result.width = w;
    result.height = h;
    for (int32_t y = 0; y < h; ++y)
        std::memcpy(result.canvas.data() + static_cast<size_t>(y) * w,
                    r.m_bitmap.Bits() + static_cast<size_t>(y) * r.m_bitmap.Width(), static_cast<size_t>(w) * 4);
}

bool CPictureWorker::DrawMovingFrame(const CPictureRequest& request, CPictureResult& result)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto spentMs = [](Clock::time_point since) {
        return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
    };
    const CFractalRenderer& r = *m_renderer;
    const bool smooth = request.settings.smooth;
    const int32_t budget = std::min(request.settings.drawLimit, kFrameBudgetMs);
    const int32_t top = request.settings.iterations;
    const int32_t segments = std::max(1, request.pattern.m_count);
    double& linesPerMs = m_linesPerMs[smooth ? 1 : 0][request.settings.fill != 0 ? 1 : 0];

    // The first level is the deepest whose lines, counted without the detail's or the
    // canvas's cuts (so at most that many), take half the budget at the rate measured so far:
    // the levels above it would only cost their fixed work (clearing, copying) again.
    // Iterations outside 1..255 (which the generator would not read as a depth) are drawn as
    // they are, without deepening.
    const bool deepen = top >= 1 && top <= 255;
    auto surelyFitting = [&](int32_t most) {
        if (!deepen)
            return top;
        int32_t k = 1;
        double sureLines = 0.5 * budget * (linesPerMs > 0.0 ? linesPerMs : kAssumedLinesPerMs);
        if (request.settings.fill)
            sureLines = std::min(sureLines, 8.0 * budget);  // the fill polygon's point budget
        while (k < most && static_cast<double>(CountPathPoints(request.pattern, k + 1)) <= sureLines)
            ++k;
        return k;
    };
    int32_t level = surelyFitting(top);
    CDrawSettings settings = request.settings;
    settings.timeLimit = 1;
    bool have = false;            // a level was drawn (complete, or the first one cut off)
    bool canvasCopied = false;    // result.canvas holds that level's picture
    int64_t lastLines = 0;        // the points the last complete level emitted (0: none yet)
    int64_t lastGrowth = segments;
    bool fellBack = false;
    for (;; ++level) {
        const double left = budget - spentMs(start);
        if (have) {
            // The next level has at most `segments` times the points of this one, and about
            // as many times more as this one had over the level before.
            // Every few frames the next level is tried anyway, to measure the rate afresh: a
            // rate measured too low once would otherwise keep every later frame coarser.
            const bool expectedToFit =
                linesPerMs <= 0.0 || static_cast<double>(lastLines) * static_cast<double>(lastGrowth) <= left * linesPerMs;
            if (left < 1.0 || (!expectedToFit && (++m_nFramesSinceProbe < kProbeInterval || left < 2.0)))
                break;
            if (!expectedToFit)
                m_nFramesSinceProbe = 0;
            // The canvas is about to be drawn over: keep the complete picture.
            if (!smooth && !canvasCopied) {
                CopyCanvas(result);
                canvasCopied = true;
            }
        }
        settings.iterations = level;
        settings.drawLimit = have ? static_cast<int32_t>(left) : budget;
        const auto attemptStart = Clock::now();
        bool smoothDrawn = false;
        if (!DrawPicture(request, settings, &m_smoothScratch, &smoothDrawn))
            return false;
        const double took = spentMs(attemptStart);
        const int64_t lines = r.m_nLineCount;
        // Pictures shorter than a couple of milliseconds measure the clearing more than the lines.
        if (lines > 0 && took >= 2.0) {
            const double measured = static_cast<double>(lines) / took;
            linesPerMs = linesPerMs > 0.0 ? 0.5 * (linesPerMs + measured) : measured;
        }
        const bool complete = r.m_drawOutcome == DrawOutcome::Complete;
        if (have && !complete)
            break;  // the coarser whole picture stays
        if (!complete && !have && deepen && level > 1) {
            if (r.m_drawOutcome == DrawOutcome::PointBudget) {
                level -= 2;  // the level below has fewer points
                continue;
            }
            if (!fellBack) {
                // The rate was too hopeful for this picture (longer lines, say): once more,
                // at the level that surely fits at the rate just measured.
                fellBack = true;
                level = surelyFitting(level - 1) - 1;
                continue;
            }
        }
        have = true;
        canvasCopied = false;
        result.iterationsDrawn = level;
        result.outcome = r.m_drawOutcome;
        result.lineCount = lines;
        result.polygonCount = r.m_nPolygonCount;
        if (smooth) {
            std::swap(result.smooth, m_smoothScratch);
            result.smoothDrawn = smoothDrawn;
        }
        // A level cut off is shown only when no coarser one was drawn; a level that
        // subdivided nothing further is the picture every deeper level draws.
        const bool sameAsBefore = lines == lastLines;
        lastGrowth = lastLines > 0 ? std::min<int64_t>(segments, (lines + lastLines - 1) / lastLines) : segments;
        lastLines = lines;
        if (!complete || sameAsBefore || !deepen || level >= top)
            break;
    }
    if (!smooth && !canvasCopied)
        CopyCanvas(result);
    return true;
}

void CPictureWorker::Draw(const CPictureRequest& request)
{
    CFractalRenderer& r = *m_renderer;
    m_cancelCheck->m_id = request.id;

    CPictureResult result;
    result.id = request.id;
    result.moving = request.moving;
    result.settings = request.settings;
    if (request.moving) {
        if (!DrawMovingFrame(request, result))
            return;
    } else {
        if (!DrawPicture(request, request.settings, &result.smooth, &result.smoothDrawn))
            return;
        if (!request.settings.smooth)
            CopyCanvas(result);
        result.iterationsDrawn = request.settings.iterations;
        result.outcome = r.m_drawOutcome;
        result.lineCount = r.m_nLineCount;
        result.polygonCount = r.m_nPolygonCount;
    }
    std::lock_guard lock(m_mutex);
    m_result = std::move(result);
}
