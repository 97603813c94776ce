// The off-screen canvas: the bitmap that holds the picture between paints, and the drawing
// surface that exists only while a picture is being drawn.
#include "view/memory_canvas.h"

#include <algorithm>

void CMemoryCanvas::BeginDraw()
{
    // A window that has grown beyond the bitmap (a view larger than the screen size we were
    // given) gets a bitmap of the screen size or the view size, whichever is larger. Growing
    // the canvas always sets the redraw flag, so the new bitmap is drawn before it is shown.
    // A bitmap that could not be created is not retried here: that waits for the next
    // explicit request.
    const bool tooSmall = !m_bitmap.IsEmpty() && (m_bitmap.Width() < m_nWidth || m_bitmap.Height() < m_nHeight);
    if (tooSmall && m_nRecreateBitmap == 0)
        m_nRecreateBitmap = 1;
    if (m_nRecreateBitmap != 0)
        RecreateBitmap();
    // Without a bitmap there is nothing to draw on: the surface stays detached and every
    // drawing operation of the scene is skipped.
    if (!m_bitmap.IsEmpty())
        m_dc.Attach(&m_bitmap);
    else
        m_dc.Detach();
}

void CMemoryCanvas::EndDraw()
{
    // The window copies the picture straight from m_bitmap; the surface is only released.
    m_dc.Detach();
}

void CMemoryCanvas::RecreateBitmap()
{
    int32_t width = m_nWidth;
    int32_t height = m_nHeight;
    if (m_nRecreateBitmap == 1) {
        // Sized to the screen so that resizing the window never reallocates it, but never
        // smaller than the canvas itself.
        width = std::max(m_nScreenWidth, m_nWidth);
        height = std::max(m_nScreenHeight, m_nHeight);
    }
    if (m_dc.Bitmap() == &m_bitmap)
        m_dc.Detach();
    DeleteBitmap();
    // A size that cannot be had (zero, negative or too large) leaves the bitmap empty.
    m_bitmap.Create(width, height);
    m_nRecreateBitmap = 0;
}

void CMemoryCanvas::DeleteBitmap()
{
    if (m_dc.Bitmap() == &m_bitmap)
        m_dc.Detach();
    m_bitmap.Delete();
}
