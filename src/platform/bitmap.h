// An off-screen bitmap: 32 bits per pixel, rows top first, each pixel the bytes
// blue, green, red, 0 (the value 0x00RRGGBB on a little-endian machine).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/win_types.h"

class CBitmap {
public:
    CBitmap() = default;
    // A bitmap may be a view of another's rows (AttachRows), so it is never copied.
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    // Allocates width x height pixels, all black. False (and an empty bitmap) when the size
    // is zero, negative, too large to address, or the memory cannot be had.
    bool Create(int32_t width, int32_t height);
    // Makes this bitmap a view of `rows` rows of `whole` from `firstRow` on (owning nothing):
    // drawing on it draws on those rows of `whole`, which must outlive the view and keep its
    // size meanwhile. False (and an empty bitmap) when the rows do not lie within `whole`.
    bool AttachRows(CBitmap& whole, int32_t firstRow, int32_t rows);
    void Delete();
    bool IsEmpty() const { return m_bits == nullptr; }

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int BitsPerPixel() const { return 32; }
    uint32_t* Bits() { return m_bits; }
    const uint32_t* Bits() const { return m_bits; }
    uint32_t* Row(int32_t y) { return m_bits + static_cast<size_t>(y) * static_cast<size_t>(m_width); }
    const uint32_t* Row(int32_t y) const { return m_bits + static_cast<size_t>(y) * static_cast<size_t>(m_width); }
    uint32_t Pixel(int32_t x, int32_t y) const { return Row(y)[x]; }

private:
    struct FreeMemory {
        void operator()(uint32_t* p) const;
    };
    // From calloc: a large bitmap comes as pages the system hands out zeroed when first
    // touched, so creating it costs nothing until it is drawn on (a large export clears it
    // in bands on several threads).
    std::unique_ptr<uint32_t, FreeMemory> m_pixels;
    uint32_t* m_bits = nullptr;  // m_pixels' data, or another bitmap's rows
    int32_t m_width = 0;
    int32_t m_height = 0;
};

// The stored pixel value of a colour.
constexpr uint32_t PixelFromColor(COLORREF c)
{
    return (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}
