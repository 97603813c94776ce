// The off-screen canvas: a bitmap sized to the whole screen (or, for a bitmap export, to
// the export size) and a drawing surface on it that exists between BeginDraw and EndDraw.
// m_nWidth x m_nHeight is the part of the bitmap that is drawn and shown.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/bitmap.h"
#include "platform/dc.h"

// Rows of a picture that are final, so that they can be written while later rows are still
// being drawn.
class CFinishedRows {
public:
    virtual ~CFinishedRows() = default;
    // Rows 0 .. rows - 1 of the bitmap will not change any more.
    virtual void RowsFinished(int32_t rows) = 0;
    // The picture is drawn anew after all: rows told before may change.
    virtual void RowsRedrawn() = 0;
};

// The .bmp file of a canvas's bitmap, written as its rows become final: Open writes the
// headers, RowsFinished the rows that are final (in order, as they come), Close the rest and
// puts the file in place. SaveBitmap is Open and Close; an export drawn in bands on several
// threads writes the top rows while the bands below are still drawn. Abandoned, the file
// leaves nothing behind.
class CMemoryCanvas;
class CBitmapFileStream final : public CFinishedRows {
public:
    CBitmapFileStream();
    ~CBitmapFileStream() override;
    CBitmapFileStream(const CBitmapFileStream&) = delete;
    CBitmapFileStream& operator=(const CBitmapFileStream&) = delete;

    // False, with `error`, when the canvas's bitmap cannot be saved or the file not created.
    bool Open(const CMemoryCanvas& canvas, const char* fileName, std::string* error);
    void RowsFinished(int32_t rows) override;
    // Starts the file again (a new temporary file), with no rows written.
    void RowsRedrawn() override;
    // Writes the rows not yet written; false, with `error`, on a write error.
    bool Close(std::string* error);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

class CMemoryCanvas {
public:
    CMemoryCanvas() = default;
    virtual ~CMemoryCanvas() = default;

    virtual void BeginDraw();
    virtual void EndDraw();
    void RecreateBitmap();
    void DeleteBitmap();

    // Writes the bitmap as an uncompressed .bmp file; 1 when written, 0 when not (then
    // `error`, if given, says why and no file is left behind).
    int SaveBitmap(const char* fileName, std::string* error = nullptr) const;

    // Told, on the drawing thread, as the rows of a picture drawn in bands become final from
    // the top down (see CBitmapFileStream); null when nobody asks.
    CFinishedRows* m_pFinishedRows = nullptr;

    // The screen size that a recreated bitmap takes when m_nRecreateBitmap is 1; the window
    // layer sets it to the largest screen in device pixels. A bitmap is never made smaller
    // than the canvas.
    void SetScreenSize(int32_t width, int32_t height)
    {
        m_nScreenWidth = width;
        m_nScreenHeight = height;
    }

    CBitmap m_bitmap;
    CDC m_dc;
    int32_t m_nWidth = 0;
    int32_t m_nHeight = 0;
    // 0: the bitmap is valid; 1: the next BeginDraw recreates it at the screen size;
    // other values: at m_nWidth x m_nHeight (the bitmap export uses 2).
    uint8_t m_nRecreateBitmap = 1;
    int32_t m_nScreenWidth = 0;
    int32_t m_nScreenHeight = 0;
};
