// The bitmap writer: the canvas's bitmap as an uncompressed .bmp file (file header, info
// header, no colour table, 32 bits per pixel), at once or as its rows become final. The rows
// go out in memory order, top row of the canvas first; a .bmp file counts its rows from the
// bottom, so a picture drawn upside down, as the bitmap export draws it, shows upright.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
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

struct CBitmapFileStream::Impl {
    const CBitmap* bitmap = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    uint64_t rowSize = 0;
    int32_t written = 0;  // rows in the file
    std::string fileName;
    uint8_t header[kPixelOffset] = {};
    CFile file;

    // Opens the file and writes the headers.
    bool Start()
    {
        written = 0;
        if (!file.Open(fileName))
            return false;
        file.Write(header, sizeof header);
        return true;
    }

    // Rows written .. rows - 1 to the file.
    void WriteRows(int32_t rows)
    {
        rows = std::min(rows, height);
        if (rows <= written)
            return;
        // A stored pixel is the value 0x00RRGGBB, which a little-endian machine keeps as the
        // bytes blue, green, red, 0: the file's own layout, so the rows go out as they lie.
        if constexpr (std::endian::native == std::endian::little) {
            file.Write(bitmap->Row(written), static_cast<size_t>(rowSize) * static_cast<size_t>(rows - written));
        } else {
            std::vector<uint8_t> row(static_cast<size_t>(rowSize));
            for (int32_t y = written; y < rows; ++y) {
                const uint32_t* pixels = bitmap->Row(y);
                for (int32_t x = 0; x < width; ++x)
                    Put32(row.data() + 4 * static_cast<size_t>(x), pixels[x]);
                file.Write(row.data(), row.size());
            }
        }
        written = rows;
    }
};

CBitmapFileStream::CBitmapFileStream() = default;
CBitmapFileStream::~CBitmapFileStream() = default;  // an open file is abandoned

bool CBitmapFileStream::Open(const CMemoryCanvas& canvas, const char* fileName, std::string* error)
{
    m_impl.reset();
    auto fail = [error](std::string why) {
        if (error != nullptr)
            *error = std::move(why);
        return false;
    };
    if (fileName == nullptr)
        return fail("no file name was given");
    const CBitmap& bitmap = canvas.m_bitmap;
    if (bitmap.IsEmpty())
        return fail("there is no picture to save");
    if (bitmap.Width() != canvas.m_nWidth || bitmap.Height() != canvas.m_nHeight)
        return fail("the picture's bitmap does not have the canvas size");
    const int bpp = bitmap.BitsPerPixel();
    if (bpp < 16)
        return fail("pictures with fewer than 16 bits per pixel cannot be saved");
    if (bpp != 32)
        return fail("the picture's pixel format cannot be saved");

    const uint64_t width = static_cast<uint64_t>(canvas.m_nWidth);
    const uint64_t height = static_cast<uint64_t>(canvas.m_nHeight);
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
    Put32(info + 4, static_cast<uint32_t>(canvas.m_nWidth));
    Put32(info + 8, static_cast<uint32_t>(canvas.m_nHeight));  // positive: rows count from the bottom
    Put16(info + 12, 1);
    Put16(info + 14, static_cast<uint16_t>(bpp));
    Put32(info + 16, 0);  // uncompressed
    Put32(info + 20, static_cast<uint32_t>(imageSize));

    std::string why;
    if (!CheckExportTarget(fileName, &why))
        return fail(why);
    auto impl = std::make_unique<Impl>();
    impl->fileName = fileName;
    std::copy(header, header + kPixelOffset, impl->header);
    if (!impl->Start())
        return fail(impl->file.Error().empty() ? std::string("the file cannot be created") : impl->file.Error());
    impl->bitmap = &bitmap;
    impl->width = canvas.m_nWidth;
    impl->height = canvas.m_nHeight;
    impl->rowSize = rowSize;
    m_impl = std::move(impl);
    return true;
}

void CBitmapFileStream::RowsFinished(int32_t rows)
{
    if (m_impl != nullptr)
        m_impl->WriteRows(rows);
}

void CBitmapFileStream::RowsRedrawn()
{
    if (m_impl != nullptr && m_impl->written > 0) {
        m_impl->file.Abort();
        m_impl->Start();  // a failure shows in Close
    }
}

bool CBitmapFileStream::Close(std::string* error)
{
    if (m_impl == nullptr) {
        if (error != nullptr)
            *error = "the file was not opened";
        return false;
    }
    m_impl->WriteRows(m_impl->height);
    CFile& file = m_impl->file;
    const bool closed = file.Close();
    if (!closed && error != nullptr)
        *error = file.Error().empty() ? std::string("the file could not be written") : file.Error();
    m_impl.reset();
    return closed;
}

int CMemoryCanvas::SaveBitmap(const char* fileName, std::string* error) const
{
    CBitmapFileStream stream;
    return stream.Open(*this, fileName, error) && stream.Close(error) ? 1 : 0;
}
