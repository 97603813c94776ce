#include "platform/bitmap.h"

#include <cstdint>
#include <cstdlib>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#ifdef MADV_HUGEPAGE
#define ZARNIX_HAVE_MADVISE 1
#endif
#endif

namespace {

// The largest bitmap the program will allocate: 2^28 pixels (1 GiB), e.g. 16384 x 16384.
// Anything larger is refused up front rather than left to an allocator that, with memory
// overcommit, might "succeed" and then have the process killed while the pixels are cleared.
constexpr uint64_t kMaxPixels = uint64_t{1} << 28;

#ifdef ZARNIX_HAVE_MADVISE
constexpr uintptr_t kHugePageBytes = uintptr_t{2} << 20;
#endif

}  // namespace

bool CBitmap::Create(int32_t width, int32_t height)
{
    Delete();
    if (width <= 0 || height <= 0)
        return false;
    const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (count > kMaxPixels || count > SIZE_MAX / sizeof(uint32_t))
        return false;
    m_pixels.reset(static_cast<uint32_t*>(std::calloc(static_cast<size_t>(count), sizeof(uint32_t))));
    if (m_pixels == nullptr)
        return false;
#ifdef ZARNIX_HAVE_MADVISE
    // A large picture in huge pages: a few hundred page faults instead of one per 4 KB when
    // it is first drawn on. Only a hint; without it the pages are small.
    if (count * sizeof(uint32_t) >= kHugePageBytes) {
        const uintptr_t first = (reinterpret_cast<uintptr_t>(m_pixels.get()) + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
        const uintptr_t last = (reinterpret_cast<uintptr_t>(m_pixels.get()) + count * sizeof(uint32_t)) & ~(kHugePageBytes - 1);
        if (last > first)
            (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#endif
    m_bits = m_pixels.get();
    m_width = width;
    m_height = height;
    return true;
}

void CBitmap::FreeMemory::operator()(uint32_t* p) const
{
    std::free(p);
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
    m_pixels.reset();
    m_bits = nullptr;
    m_width = 0;
    m_height = 0;
}
