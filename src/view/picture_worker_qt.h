// The window's picture drawn on a thread of its own. The worker owns a renderer (canvas,
// generator and tables) that only its thread touches; a request carries copies of the pattern
// and the drawing settings, so the window's pattern and editor never leave the user interface
// thread. A newer request cancels the picture in progress (through the renderer's progress
// check, which the generator calls every few thousand points), except that a moving frame
// lets a moving frame in progress finish: its budget is short, and a drag would otherwise
// never show a frame.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "document/pattern.h"
#include "render/render_style.h"
#include "render/smooth_renderer.h"
#include "view/draw_settings.h"
#include "view/fractal_renderer.h"

struct CPictureRequest {
    uint64_t id = 0;  // increasing; a result names the request it answers
    CPattern pattern;
    CDrawSettings settings;
    CRenderStyle style;  // for the antialiased picture
    bool moving = false;  // a frame of a drag or pan, drawn with the frame budget
};

struct CPictureResult {
    uint64_t id = 0;
    bool moving = false;
    CDrawSettings settings;
    // The canvas's pixels, width x height rows (not for the antialiased picture).
    std::vector<uint32_t> canvas;
    int32_t width = 0;
    int32_t height = 0;
    CRgbaImage smooth;    // the antialiased picture
    bool smoothDrawn = false;
    DrawOutcome outcome = DrawOutcome::Complete;
    int64_t lineCount = 0;
    int32_t polygonCount = 0;
};

class CPictureWorker {
public:
    CPictureWorker();
    ~CPictureWorker();
    CPictureWorker(const CPictureWorker&) = delete;
    CPictureWorker& operator=(const CPictureWorker&) = delete;

    // Queues a picture in place of any request not yet started, and cancels the picture in
    // progress unless both it and the new one are moving frames.
    void Submit(CPictureRequest request);
    // The last finished picture that was not cancelled, once. The window polls for it: no
    // call crosses from the worker into the user interface thread's event loop.
    std::optional<CPictureResult> TakeResult();

    // The time budget of a moving frame in milliseconds.
    static constexpr int32_t kFrameBudgetMs = 20;

private:
    class CCancelCheck : public CExportProgress {
    public:
        explicit CCancelCheck(const std::atomic<uint64_t>& cancelBelow) : m_cancelBelow(cancelBelow) {}
        bool Continue(double) override { return m_id >= m_cancelBelow.load(std::memory_order_relaxed); }
        uint64_t m_id = 0;

    private:
        const std::atomic<uint64_t>& m_cancelBelow;
    };

    void Run(std::stop_token stop);
    void Draw(const CPictureRequest& request);

    std::unique_ptr<CFractalRenderer> m_renderer;  // the worker thread's alone
    // Pictures of requests below this id stop at their next progress check.
    std::atomic<uint64_t> m_cancelBelow{0};
    std::unique_ptr<CCancelCheck> m_cancelCheck;
    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::optional<CPictureRequest> m_queued;  // guarded by m_mutex
    bool m_runningMoving = false;             // guarded by m_mutex
    bool m_running = false;                   // guarded by m_mutex
    std::optional<CPictureResult> m_result;   // guarded by m_mutex
    std::jthread m_thread;  // last: started when everything above exists, joined first
};
