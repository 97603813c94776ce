// The window's picture drawn on a thread of its own. The worker owns a renderer (canvas,
// generator and tables) that only its thread touches; a request carries copies of the pattern
// and the drawing settings, so the window's pattern and editor never leave the user interface
// thread. A newer request cancels the picture in progress (through the renderer's progress
// check, which the generator calls every few thousand points), except that a moving frame
// lets a moving frame in progress finish: its budget is short, and a drag would otherwise
// never show a frame.
//
// A moving frame shows the whole fractal, coarser if need be: it is drawn at fewer
// iterations, deepening one level at a time while the next level is expected to fit in what
// is left of the frame budget, and the deepest complete picture is shown. A picture cut off
// in path order would show only the start of the fractal.
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
    // The iterations the picture was drawn at: fewer than settings.iterations for a moving
    // frame drawn coarser.
    int32_t iterationsDrawn = 0;
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
    // Lines per millisecond assumed for choosing a moving frame's first level before any
    // picture was measured: well below what the canvas draws, so that level completes.
    static constexpr double kAssumedLinesPerMs = 10000.0;

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
    // Draws the request's picture with `settings` on the renderer's canvas, or antialiased
    // into `image` (`smoothDrawn` tells whether it could be made); false when cancelled.
    bool DrawPicture(const CPictureRequest& request, const CDrawSettings& settings, CRgbaImage* image, bool* smoothDrawn);
    // The whole fractal at the deepest level that completes within the frame budget; false
    // when cancelled.
    bool DrawMovingFrame(const CPictureRequest& request, CPictureResult& result);
    void CopyCanvas(CPictureResult& result) const;

    std::unique_ptr<CFractalRenderer> m_renderer;  // the worker thread's alone
    // Pictures of requests below this id stop at their next progress check.
    std::atomic<uint64_t> m_cancelBelow{0};
    std::unique_ptr<CCancelCheck> m_cancelCheck;
    // Lines per millisecond measured on moving frames, by antialiasing and fill mode (0 until
    // measured); the worker thread's alone.
    double m_linesPerMs[2][2] = {};
    // Moving frames since the last that tried a level not expected to fit.
    int32_t m_nFramesSinceProbe = 0;
    static constexpr int32_t kProbeInterval = 8;
    CRgbaImage m_smoothScratch;  // an antialiased moving frame's attempt, reused
    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::optional<CPictureRequest> m_queued;  // guarded by m_mutex
    bool m_runningMoving = false;             // guarded by m_mutex
    bool m_running = false;                   // guarded by m_mutex
    std::optional<CPictureResult> m_result;   // guarded by m_mutex
    std::jthread m_thread;  // last: started when everything above exists, joined first
};
