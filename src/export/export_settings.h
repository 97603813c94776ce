// The numbers of an export: the record the Export command fills and its dialog edits, the
// line count shown beside them, and the coupling of width and height to the view's aspect.
#pragma once

#include <cstdint>

#include "render/render_style.h"

struct ExportSettings {
    int32_t segmentCount = 0;  // of the document's pattern; read only by the dialog
    int32_t width = 0;         // picture size in pixels
    int32_t height = 0;
    int32_t iterations = 0;
    CRenderStyle style{};      // how the PNG and SVG types draw; the bitmap and Illustrator
                               // types draw as the screen does
};

// Iterations an export accepts: the generator counts depth in eight bits.
constexpr int32_t EXPORT_MIN_ITERATIONS = 0;
constexpr int32_t EXPORT_MAX_ITERATIONS = 255;

// base raised to exponent in 32-bit signed arithmetic, wrapping around beyond its range;
// 1 for an exponent of 0 or below. Square-and-multiply, so it costs a few dozen steps at most.
int32_t IntPower(int32_t base, int32_t exponent);

// The number of lines of a fractal: segments raised to iterations (1 for 0 iterations),
// saturating at the largest 64-bit value; `saturated`, if given, tells whether it did.
// A negative segment count counts as 0.
uint64_t LineCount(int32_t segments, int32_t iterations, bool* saturated = nullptr);

// The aspect lock of the export dialog: width / height of the size at the dialog's start,
// or 0.0 (no lock) when the height is 0.
double ExportAspect(int32_t width, int32_t height);

// The height that goes with a typed width, trunc(width / aspect + 0.6), and the width that
// goes with a typed height, trunc(aspect * height + 0.6): a fraction of 0.4 or more is carried
// up. Results beyond the 32-bit range are clamped to it; a non-finite one gives 0.
int32_t CoupledHeight(int32_t width, double aspect);
int32_t CoupledWidth(int32_t height, double aspect);
