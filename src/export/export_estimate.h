// How large an export's file will be, known before anything is drawn or written, and the
// check that the target's file system has room for it.
#pragma once

#include <cstdint>
#include <string>

#include "export/export_settings.h"

class CPattern;

// Average bytes of one point line of the Illustrator file ("\r\n-123.4567 89.0123 L"),
// measured over the exports of the examples (19.4 to 20.7): most coordinates have two or three
// digits before the point, and about half of them a sign.
constexpr double AI_BYTES_PER_POINT = 20.0;

// The estimated size in bytes of the file an export of `pattern` with `settings` writes:
// the bitmap file's exact size (54 header bytes and 4 bytes a pixel), a PNG file's pixels
// before compression (an upper bound), or the Illustrator file's fixed text, its pattern layer
// and its fractal path (ApproximatePathPoints) at AI_BYTES_PER_POINT (also for SVG, whose
// points take no more).
// `typeIndex` is one of the EXPORT_TYPE_ values.
double EstimateExportBytes(int typeIndex, const CPattern& pattern, const ExportSettings& settings,
                           bool showPattern, bool showFractal);

// A size for people: "850 bytes", "12.3 kB", "1.2 GB", ..., and beyond the exabytes
// "7.7e154 bytes". Decimal units, one decimal, a point as the separator whatever the locale.
std::string FormatByteSize(double bytes);

// True when the file system that would hold `path` has room for `bytes` (what an unprivileged
// writer may use), or when its free space cannot be found out. Otherwise false with `error`
// giving both sizes.
bool CheckExportSpace(const std::string& path, double bytes, std::string* error);
