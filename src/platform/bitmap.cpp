#include "platform/bitmap.h"

#include <new>
#include <stdexcept>

namespace {

// The largest bitmap the program will allocate: 2^28 pixels (1 GiB), e.g. 16384 x 16384.
// Anything larger is refused up front rather than left to an allocator that, with memory
// overcommit, might "succeed" and then have the process killed while the pixels are cleared.
constexpr uint64_t kMaxPixels = uint64_t{1} << 28;

}  // namespace

bool CBitmap::Create(int32_t width, int32_t height)
{
    Delete();
    if (width <= 0 || height <= 0)
        return false;
    const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (count > kMaxPixels || count > m_pixels.max_size())
        return false;
    try {
        m_pixels.assign(static_cast<size_t>(count), 0u);
    } catch (const std::bad_alloc&) {
        Delete();
        return false;
    } catch (const std::length_error&) {
        Delete();
        return false;
    }
    m_bits = m_pixels.data();
    m_width = width;
    m_height = height;
    return true;
}

bool CBitmap::AttachRows(CBitmap& whole, int32_t firstRow, int32_t rows)
{
    Delete();
    if (&whole == this || whole.IsEmpty() || firstRow < 0 || rows <= 0 || firstRow > whole.m_height - rows)
        return false;
    m_bits = whole.Row(firstRow);
    m_width = whole.m_width;
    m_height = rows;
    return true;
}

void CBitmap::Delete()
{
    std::vector<uint32_t>().swap(m_pixels);
    m_bits = nullptr;
    m_width = 0;
    m_height = 0;
}
