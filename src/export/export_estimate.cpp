#include "export/export_estimate.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "document/pattern.h"
#include "export/export_sequence.h"
#include "export/path_sink.h"
#include "platform/text_format.h"

namespace {

// The Illustrator file's text around the paths: header, bounding box, prolog, setup, layer
// openings and closings, trailer (about 1.1 kB), and one pattern segment's styled path.
constexpr double kAiFixedBytes = 1200.0;
constexpr double kAiPatternSegmentBytes = 110.0;

}  // namespace

double EstimateExportBytes(int typeIndex, const CPattern& pattern, const ExportSettings& settings,
                           bool showPattern, bool showFractal)
{
    const double width = settings.width > 0 ? settings.width : 0;
    const double height = settings.height > 0 ? settings.height : 0;
    if (typeIndex == EXPORT_TYPE_BITMAP)
        return 54.0 + 4.0 * width * height;  // 32 bits a pixel: rows need no padding
    if (typeIndex == EXPORT_TYPE_PNG)
        return 1000.0 + (4.0 * width + 1.0) * height;  // the pixels before compression: at most this
    // Illustrator, and SVG, whose path data is no longer a point than Illustrator's lines.
    double bytes = kAiFixedBytes;
    if (showPattern && pattern.m_count > 0)
        bytes += kAiPatternSegmentBytes * pattern.m_count;
    // Iterations out of range (typed into the dialog, refused when it closes) are estimated at
    // the nearest bound.
    const int32_t iterations = std::clamp(settings.iterations, EXPORT_MIN_ITERATIONS, EXPORT_MAX_ITERATIONS);
    if (showFractal)
        bytes += AI_BYTES_PER_POINT * ApproximatePathPoints(pattern, iterations);
    return bytes;
}

std::string FormatByteSize(double bytes)
{
    if (!(bytes >= 0.0))
        return "0 bytes";
    if (bytes < 999.5)
        return FormatInt(static_cast<int64_t>(std::lround(bytes))) + (std::lround(bytes) == 1 ? " byte" : " bytes");
    static const char* const units[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    double value = bytes;
    for (const char* unit : units) {
        value /= 1000.0;
        if (value < 999.95)
            return FormatFixed(value, 1) + " " + unit;
    }
    // Beyond the exabytes: a mantissa with one decimal and a power of ten.
    int exponent = static_cast<int>(std::floor(std::log10(bytes)));
    double mantissa = bytes / std::pow(10.0, exponent);
    if (mantissa >= 9.95) {
        mantissa /= 10.0;
        ++exponent;
    }
    return FormatFixed(mantissa, 1) + "e" + FormatInt(exponent) + " bytes";
}

bool CheckExportSpace(const std::string& path, double bytes, std::string* error)
{
    namespace fs = std::filesystem;
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty())
        folder = ".";
    std::error_code ec;
    const fs::space_info space = fs::space(folder, ec);
    if (ec || space.available == static_cast<std::uintmax_t>(-1))
        return true;  // unknown: the write itself will tell
    if (bytes <= static_cast<double>(space.available))
        return true;
    if (error != nullptr)
        *error = "the file would take about " + FormatByteSize(bytes) + ", but only " +
                 FormatByteSize(static_cast<double>(space.available)) + " are free where it would be written";
    return false;
}
