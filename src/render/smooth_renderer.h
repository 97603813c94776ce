// The antialiased picture: the scene a renderer is set up for, drawn with coverage-based
// antialiasing in a CRenderStyle into an 8-bit RGBA image, and that image written as PNG.
// Used by the PNG export, the clipboard and the window's Smooth Drawing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/render_style.h"

class CFractalRenderer;
class CPattern;

// Rows top first, 4 bytes a pixel: red, green, blue, alpha (straight, not premultiplied).
struct CRgbaImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
    // What the raster device knows of the pixels, so that the next picture of the same size
    // clears only the rows the last one drew on: with `blankKnown`, every row outside
    // dirtyRowLo..dirtyRowHi holds `blank` (red, green, blue, alpha) in every pixel. Code that
    // writes pixels other than through CSmoothRaster sets blankKnown to false.
    bool blankKnown = false;
    uint8_t blank[4] = {};
    int32_t dirtyRowLo = 0;
    int32_t dirtyRowHi = -1;
};

// Draws what `renderer` would draw with DrawScene (its canvas size, view transform,
// iterations, detail, time limit, fill and show switches, export progress) antialiased in
// `style` into `image`, which is resized to the canvas size. False when the drawing was
// cancelled by the renderer's progress object or could not be made (then `error` says why).
bool DrawSmoothScene(CFractalRenderer& renderer, const CPattern& pattern, const CRenderStyle& style,
                     CRgbaImage* image, std::string* error);

// Writes `image` as a PNG file (through a temporary file beside it, renamed when complete).
bool WritePng(const CRgbaImage& image, const std::string& fileName, std::string* error);

// The PNG file's bytes, for the clipboard.
bool EncodePng(const CRgbaImage& image, std::vector<uint8_t>* bytes, std::string* error);

// How the PNG data is compressed: the zlib level (0..9) and strategy, and the set of row
// filters the encoder may choose from (the values of zlib and libpng). The defaults are the
// settings WritePng and EncodePng use, chosen by measurement on antialiased line art at
// 1920 x 1080 (mostly white, grey levels along the lines): no row filter gives the smallest
// files at every level (row filters turn the smooth edges into more varied bytes), and level
// 6 is the smallest that stays well within 30 ms; level 9 saves a further 3 to 10 per cent at
// four times the time.
struct PngOptions {
    static constexpr int kFilterNone = 0x08;
    static constexpr int kFilterSub = 0x10;
    static constexpr int kFilterUp = 0x20;
    static constexpr int kFilterAverage = 0x40;
    static constexpr int kFilterPaeth = 0x80;
    static constexpr int kStrategyDefault = 0;
    static constexpr int kStrategyFiltered = 1;
    static constexpr int kStrategyRle = 3;
    int level = 6;
    int strategy = kStrategyDefault;
    int filters = kFilterNone;
};
bool EncodePng(const CRgbaImage& image, const PngOptions& options, std::vector<uint8_t>* bytes, std::string* error);
