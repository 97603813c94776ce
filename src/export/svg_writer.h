// The SVG writer: the picture a renderer is set up for, as scalable vector graphics in
// pattern coordinates, styled by a CRenderStyle.
//
// The document is as wide and high in pixels as the renderer's canvas, and its viewBox is the
// canvas's region in pattern coordinates; a group flips the y axis, so that y grows upward
// as on the screen. Widths are given in pattern units (the line width divided by the scale),
// so that a line is as many output pixels wide as the style says when the picture is shown at
// its size, and grows with it when it is enlarged. Numbers carry the decimals that a hundredth
// of an output pixel needs. Without fill, the fractal is a series of stroked paths of a few
// thousand points each, a hidden knee opening a new subpath (a gap); in fill mode it is one
// path filled by the even-odd rule and closed along the canvas border as the screen closes it.
// A gradient splits the stroke into 256 pieces along the path, each in the colour of its
// middle, mixed in linear light from the two colours in proportion to the part of the path
// before it, as the antialiased picture colours it (every copy at one depth counts alike,
// however many points it has).
#pragma once

#include <string>

#include "render/render_style.h"

class CFractalRenderer;
class CPattern;

// The SVG text of the picture (the clipboard's). False when the export progress object of
// the renderer cancelled it; `error` then says so.
bool WriteSvgText(CFractalRenderer& renderer, const CPattern& pattern, const CRenderStyle& style, std::string* text,
                  std::string* error);

// Writes the SVG file through a temporary file beside it. 1 when written, 0 when not (then
// `error`, if given, says why, and no file is left behind).
int ExportSvg(CFractalRenderer& renderer, const CPattern& pattern, const CRenderStyle& style, const char* fileName,
              std::string* error = nullptr);
