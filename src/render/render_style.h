// How the antialiased picture and the vector formats (PNG, SVG, the clipboard, Smooth
// Drawing) look: line width and colours, the background, an optional gradient along the
// path, and whether the pattern's construction lines are drawn. A value type: two styles
// are the same picture when they compare equal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct RgbColor {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const RgbColor&) const = default;
};

constexpr float RENDER_MIN_LINE_WIDTH = 0.5f;
constexpr float RENDER_MAX_LINE_WIDTH = 20.0f;

struct CRenderStyle {
    float lineWidth = 1.0f;                 // in output pixels, RENDER_MIN..MAX_LINE_WIDTH
    RgbColor lineColor{0, 0, 0};
    RgbColor fillColor{128, 128, 128};      // the fill of fill mode
    RgbColor background{255, 255, 255};
    bool transparent = false;               // no background: alpha 0 where nothing is drawn
    bool gradient = false;                  // line colour runs from gradientFrom at the
    RgbColor gradientFrom{0, 0, 255};       // fractal's first point to gradientTo at its last
    RgbColor gradientTo{255, 0, 0};
    bool showPattern = false;               // draw the pattern's construction lines too
    bool operator==(const CRenderStyle&) const = default;
};

// Reads "#rrggbb", "rrggbb", "#rgb" or one of the names black, white, grey/gray, red, green,
// blue (any case). False, with `out` untouched, for anything else.
bool ParseColor(std::string_view text, RgbColor* out);

// "#rrggbb" in lower case.
std::string FormatColor(RgbColor color);
