#include "view/picture_worker_qt.h"

#include <algorithm>
#include <cstring>

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

void CPictureWorker::Draw(const CPictureRequest& request)
{
    CFractalRenderer& r = *m_renderer;
    m_cancelCheck->m_id = request.id;
    r.m_bCancelled = false;
    CDrawSettings settings = request.settings;
    if (request.moving) {
        settings.timeLimit = 1;
        settings.drawLimit = std::min(settings.drawLimit, kFrameBudgetMs);
    }
    r.ApplyDrawSettings(settings);
    r.m_bRedraw = 1;
    r.m_drawOutcome = DrawOutcome::Complete;

    CPictureResult result;
    result.id = request.id;
    result.moving = request.moving;
    result.settings = request.settings;
    if (request.settings.smooth) {
        result.smoothDrawn = DrawSmoothScene(r, request.pattern, request.style, &result.smooth, nullptr);
    } else {
        r.BeginDraw();
        r.DrawScene(request.pattern);
        r.EndDraw();
        const int32_t w = std::min(r.m_nWidth, r.m_bitmap.Width());
        const int32_t h = std::min(r.m_nHeight, r.m_bitmap.Height());
        if (w > 0 && h > 0 && !r.m_bitmap.IsEmpty()) {
            result.canvas.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
            result.width = w;
            result.height = h;
            for (int32_t y = 0; y < h; ++y)
                std::memcpy(result.canvas.data() + static_cast<size_t>(y) * w,
                            r.m_bitmap.Bits() + static_cast<size_t>(y) * r.m_bitmap.Width(), static_cast<size_t>(w) * 4);
        }
    }
    // A cancelled picture is half drawn: it is never shown.
    if (r.m_bCancelled || !m_cancelCheck->Continue(1.0))
        return;
    result.outcome = r.m_drawOutcome;
    result.lineCount = r.m_nLineCount;
    result.polygonCount = r.m_nPolygonCount;
    std::lock_guard lock(m_mutex);
    m_result = std::move(result);
}
