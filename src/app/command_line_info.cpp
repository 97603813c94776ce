// zarnix4 FILE --info: the figures of a document's fractal as one JSON object on stdout, for
// scripts: segments, lines at the document's iterations, similarity dimension, bounding box.
#include <charconv>
#include <memory>
#include <ostream>
#include <string>

#include "app/command_line.h"
#include "document/zarnix4_doc.h"
#include "export/export_settings.h"
#include "platform/text_format.h"
#include "view/fractal_bounds.h"
#include "view/fractal_renderer.h"
#include "view/similarity_dimension.h"

namespace {

// The shortest text that reads back as the same double; std::to_chars uses no locale. The
// callers pass finite values only, so the text is always a JSON number.
std::string JsonNumber(double value)
{
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

std::string JsonString(const std::string& text)
{
    static const char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

}  // namespace

std::string FractalInfoJson(const CPattern& pattern, int32_t iterations, const std::string& file)
{
    bool saturated = false;
    const uint64_t lines = LineCount(pattern.m_count, iterations, &saturated);
    const SimilarityDimension dimension = ComputeSimilarityDimension(pattern);
    FractalBoundsResult bounds;
    const bool boxed = ComputeFractalBounds(pattern, iterations, bounds);

    std::string json = "{\"file\": " + JsonString(file);
    json += ", \"segments\": " + FormatInt(pattern.m_count);
    json += ", \"iterations\": " + FormatInt(iterations);
    json += ", \"lines\": " + std::to_string(lines);
    json += ", \"linesSaturated\": ";
    json += saturated ? "true" : "false";
    // No finite dimension exists when the copies do not shrink: null, and the flag says why.
    json += ", \"dimension\": " + (dimension.unbounded ? std::string("null") : FormatFixed(dimension.value, 6));
    json += ", \"dimensionUnbounded\": ";
    json += dimension.unbounded ? "true" : "false";
    if (boxed) {
        const FractalBox& b = bounds.box;
        json += ", \"boundingBox\": {\"minX\": " + JsonNumber(b.minX) + ", \"minY\": " + JsonNumber(b.minY) +
                ", \"maxX\": " + JsonNumber(b.maxX) + ", \"maxY\": " + JsonNumber(b.maxY) + "}";
        json += ", \"boundingBoxExact\": ";
        json += bounds.exact ? "true" : "false";
    } else {
        json += ", \"boundingBox\": null, \"boundingBoxExact\": false";
    }
    return json + "}\n";
}

int RunInfoCommand(const CommandLineOptions& options, std::ostream& out, std::ostream& err)
{
    auto view = std::make_unique<CFractalRenderer>();
    CZarnix4Doc doc;
    std::string error;
    if (LoadFailure failure{}; !doc.Load(options.file, view.get(), error, &failure)) {
        err << "zarnix4: " << LoadErrorText(options.file, failure, error) << "\n";
        return 1;
    }
    out << FractalInfoJson(doc.m_pattern, view->m_nIterations, options.file);
    out.flush();
    return out ? 0 : 1;
}
