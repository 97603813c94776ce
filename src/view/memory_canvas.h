// The off-screen canvas: a bitmap sized to the whole screen (or, for a bitmap export, to
// the export size) and a drawing surface on it that exists between BeginDraw and EndDraw.
// m_nWidth x m_nHeight is the part of the bitmap that is drawn and shown.
#pragma once

#include <cstdint>
#include <string>

#include "platform/bitmap.h"
#include "platform/dc.h"

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
