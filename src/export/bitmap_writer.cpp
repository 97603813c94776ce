// The bitmap writer: the canvas's bitmap as an uncompressed .bmp file (file header, info
// header, no colour table, 32 bits per pixel). The rows go out in memory order, top row of
// the canvas first; a .bmp file counts its rows from the bottom, so a picture drawn upside
// down, as the bitmap export draws it, shows upright.
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "export/export_target.h"
#include "platform/file.h"
#include "view/memory_canvas.h"

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kPixelOffset = kFileHeaderSize + kInfoHeaderSize;  // no colour table

void Put16(uint8_t* at, uint16_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

int CMemoryCanvas::SaveBitmap(const char* fileName, std::string* error) const
{
    auto fail = [error](std::string why) {
        if (error != nullptr)
            *error = std::move(why);
        return 0;
    };
    if (fileName == nullptr)
        return fail("no file name was given");
    if (m_bitmap.IsEmpty())
        return fail("there is no picture to save");
    if (m_bitmap.Width() != m_nWidth || m_bitmap.Height() != m_nHeight)
        return fail("the picture's bitmap does not have the canvas size");
    const int bpp = m_bitmap.BitsPerPixel();
    if (bpp < 16)
        return fail("pictures with fewer than 16 bits per pixel cannot be saved");
    if (bpp != 32)
        return fail("the picture's pixel format cannot be saved");

    const uint64_t width = static_cast<uint64_t>(m_nWidth);
    const uint64_t height = static_cast<uint64_t>(m_nHeight);
    const uint64_t rowSize = ((static_cast<uint64_t>(bpp) * width + 31) >> 5) * 4;
    const uint64_t imageSize = rowSize * height;
    // Sizes and offsets in the headers are 32-bit.
    if (imageSize > UINT32_MAX - kPixelOffset)
        return fail("the picture is too large for a bitmap file");

    uint8_t header[kPixelOffset] = {};
    // File header.
    header[0] = 'B';
    header[1] = 'M';
    Put32(header + 2, static_cast<uint32_t>(kPixelOffset + imageSize));
    Put32(header + 10, kPixelOffset);
    // Info header; resolution and colour counts stay 0.
    uint8_t* info = header + kFileHeaderSize;
    Put32(info + 0, kInfoHeaderSize);
    Put32(info + 4, static_cast<uint32_t>(m_nWidth));
    Put32(info + 8, static_cast<uint32_t>(m_nHeight));  // positive: rows count from the bottom
    Put16(info + 12, 1);
    Put16(info + 14, static_cast<uint16_t>(bpp));
    Put32(info + 16, 0);  // uncompressed
    Put32(info + 20, static_cast<uint32_t>(imageSize));

    std::string why;
    if (!CheckExportTarget(fileName, &why))
        return fail(why);
    CFile file;
    if (!file.Open(fileName))
        return fail(file.Error().empty() ? std::string("the file cannot be created") : file.Error());
    file.Write(header, sizeof header);

    // A stored pixel is the value 0x00RRGGBB, which a little-endian machine keeps as the
    // bytes blue, green, red, 0: the file's own layout, so the rows go out as they lie.
    if constexpr (std::endian::native == std::endian::little) {
        file.Write(m_bitmap.Bits(), static_cast<size_t>(imageSize));
    } else {
        std::vector<uint8_t> row(static_cast<size_t>(rowSize));
        for (int32_t y = 0; y < m_nHeight; ++y) {
            const uint32_t* pixels = m_bitmap.Row(y);
            for (int32_t x = 0; x < m_nWidth; ++x)
                Put32(row.data() + 4 * static_cast<size_t>(x), pixels[x]);
            file.Write(row.data(), row.size());
        }
    }
    if (!file.Close())
        return fail(file.Error().empty() ? std::string("the file could not be written") : file.Error());
    return 1;
}
