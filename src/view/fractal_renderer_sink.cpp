// The generator's screen points handed to a point sink at sub-pixel precision, for the
// antialiased picture, under the same budgets as the points drawn on the canvas (the
// per-point part is inline in fractal_renderer.h).
#include <cmath>

#include "view/fractal_renderer.h"

void CFractalRenderer::LimitSinkOffsets(double* ox, double* oy)
{
    for (double* v : {ox, oy}) {
        if (std::isnan(*v))
            *v = 0.0;
        else
            *v = *v < -kMaxSinkOffset ? -kMaxSinkOffset : (*v > kMaxSinkOffset ? kMaxSinkOffset : *v);
    }
}

void CFractalRenderer::FlushScreenSink()
{
    const int32_t count = m_nSinkQueued;
    m_nSinkQueued = 0;
    if (count > 0 && m_pScreenSink != nullptr)
        m_pScreenSink->AddPoints(m_sinkQueue, static_cast<size_t>(count));
}
