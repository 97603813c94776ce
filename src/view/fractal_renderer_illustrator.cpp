// The Illustrator writer: the path sink that the generator feeds in Illustrator mode, and
// the file around it (header, bounding box, prolog, the Pattern and Fractal layers, trailer).
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "export/export_target.h"
#include "export/illustrator_text.h"
#include "platform/text_format.h"
#include "view/fractal_renderer.h"

namespace {

// Scratch text of one point line, reused so that writing a point allocates nothing once it
// has grown to a line's length.
thread_local std::string t_pointLine;

// Appends "%.4f" of a float. A float times 10^4 is exact in a double (24 + 14 bits of
// mantissa), so rounding that product to an integer, ties to even, gives exactly the digits
// of the correctly rounded decimal, as AppendFixed would write them, at a fraction of the
// cost; the export writes two numbers per point, a million points and more. Values too large
// for the integer path, and non-finite ones, go through AppendFixed.
void AppendFixed4(std::string& out, float value)
{
    const double magnitude = std::fabs(static_cast<double>(value));
    if (!(magnitude < 1e14)) {
        AppendFixed(out, value, 4);
        return;
    }
    const double scaled = magnitude * 10000.0;  // exact
    uint64_t units = static_cast<uint64_t>(scaled);
    const double fraction = scaled - static_cast<double>(units);  // exact
    if (fraction > 0.5 || (fraction == 0.5 && (units & 1) != 0))
        ++units;

    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, units);
    (void)ec;  // units < 10^18 always fits
    size_t count = static_cast<size_t>(end - digits);
    if (std::signbit(value))
        out += '-';  // C keeps the sign of a negative number that rounds to zero
    if (count <= 4) {
        out += "0.";
        out.append(4 - count, '0');
        out.append(digits, count);
        return;
    }
    out.append(digits, count - 4);
    out += '.';
    out.append(end - 4, 4);
}

// "%d" of a float: truncation toward zero. A value beyond the 32-bit range is clamped to it
// and NaN gives 0, so that no non-finite or out-of-range float is converted.
int32_t TruncateToInt32(float value)
{
    const double v = value;
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

void WriteHeader(CFractalRenderer& r)
{
    r.WriteResourceString(AI_TEXT_HEADER);
    r.WriteResourceString(AI_TEXT_CREATION_DATE);
    r.WriteText(FormatCreationDate(CreationTime()).c_str());
}

// Both bounding-box lines and the end of the header comments. The box is the visible region
// of the canvas in pattern coordinates: lower left (llx, lly), upper right (urx, ury).
void WriteBoundingBox(CFractalRenderer& r, float llx, float lly, float urx, float ury)
{
    const float values[4] = {llx, lly, urx, ury};
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            text += ' ';
        AppendInt(text, TruncateToInt32(values[i]));
    }
    r.WriteResourceString(AI_TEXT_BOUNDING_BOX);
    r.WriteText(text.c_str());

    text.clear();
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            text += ' ';
        AppendFixed(text, values[i], 4);
    }
    r.WriteResourceString(AI_TEXT_HIRES_BOUNDING_BOX);
    r.WriteText(text.c_str());
    r.WriteResourceString(AI_TEXT_COMMENTS_END);
}

// One short stroked path per pattern segment, styled by its knee flags: the reverse bit picks
// the colour, the mirror bit the long dash, and the hide bit overrides both with light grey
// and a short dash. The static bit does not show in the file.
void WritePatternLayer(CFractalRenderer& r, const CPattern& pattern)
{
    r.WriteResourceString(AI_TEXT_LAYER_BEGIN);
    r.WriteResourceString(AI_TEXT_LAYER_PATTERN);
    for (int i = 0; i < pattern.m_count; ++i) {
        const uint8_t f = pattern.m_kneeFlags[i];
        r.WriteResourceString(AI_TEXT_STROKE_OVERPRINT);
        if (f & KNEE_HIDE) {
            r.WriteResourceString(AI_TEXT_STROKE_HIDDEN);
            r.WriteResourceString(AI_TEXT_LINE_STYLE);
            r.WriteResourceString(AI_TEXT_DASH_HIDDEN);
        } else {
            r.WriteResourceString((f & KNEE_REVERSE) ? AI_TEXT_STROKE_REVERSED : AI_TEXT_STROKE_PLAIN);
            r.WriteResourceString(AI_TEXT_LINE_STYLE);
            r.WriteResourceString((f & KNEE_MIRROR) ? AI_TEXT_DASH_MIRRORED : AI_TEXT_DASH_SOLID);
        }
        r.WritePoint(pattern.m_points[i].x, pattern.m_points[i].y, 1);
        r.WritePoint(pattern.m_points[i + 1].x, pattern.m_points[i + 1].y, 0);
        r.WriteResourceString(AI_TEXT_STROKE_PATH);
    }
    r.WriteResourceString(AI_TEXT_LAYER_END);
}

// The fractal as one path (or, without fill, one path per run between hidden knees). False
// when the export was cancelled during the generation.
bool WriteFractalLayer(CFractalRenderer& r, const CPattern& pattern)
{
    r.WriteResourceString(AI_TEXT_LAYER_BEGIN);
    r.WriteResourceString(AI_TEXT_LAYER_FRACTAL);
    if (r.m_bFill) {
        r.WriteResourceString(AI_TEXT_EVEN_ODD_FILL);
        r.WriteResourceString(AI_TEXT_FILL_GREY);
    }
    r.WriteResourceString(AI_TEXT_STROKE_OVERPRINT);
    r.WriteResourceString(AI_TEXT_STROKE_BLACK);
    r.WriteResourceString(AI_TEXT_LINE_STYLE);
    r.WriteResourceString(AI_TEXT_DASH_SOLID);

    r.Generate(pattern, pattern.m_kneeFlags);  // stops early only when cancelled
    // A last word from the progress object before the file is finished, so that a stop
    // asked for at the very end still leaves no file.
    if (!r.m_bCancelled && r.m_pProgress != nullptr && !r.m_pProgress->Continue(1.0))
        r.m_bCancelled = true;
    if (r.m_bCancelled)
        return false;
    if (r.m_bFill) {
        r.CloseFill(pattern);
        r.WriteResourceString(AI_TEXT_CLOSE_FILL);
    } else {
        r.WriteResourceString(AI_TEXT_STROKE_PATH);
    }
    r.WriteResourceString(AI_TEXT_LAYER_END);
    return true;
}

// Leaves Illustrator mode however the export ends: a file still open at that point was not
// finished, so it is abandoned and nothing of it remains.
class IllustratorModeGuard {
public:
    explicit IllustratorModeGuard(CFractalRenderer& r) : m_r(r) { m_r.m_bIllustrator = 1; }
    ~IllustratorModeGuard()
    {
        if (m_r.m_aiFile.IsOpen())
            m_r.m_aiFile.Abort();
        m_r.m_bIllustrator = 0;
    }
    IllustratorModeGuard(const IllustratorModeGuard&) = delete;
    IllustratorModeGuard& operator=(const IllustratorModeGuard&) = delete;

private:
    CFractalRenderer& m_r;
};

}  // namespace

void CFractalRenderer::WritePathPoint(const PointF* p, uint8_t kind)
{
    if (p == nullptr)
        return;
    switch (kind) {
    case EMIT_LINE:
        WritePoint(p->x, p->y, 0);
        break;
    case EMIT_MOVE:
        // Without fill a hidden knee ends the stroked path and starts the next one at the
        // knee's end; in fill mode the outline stays one closed polygon.
        if (m_bFill) {
            WritePoint(p->x, p->y, 0);
        } else {
            WriteResourceString(AI_TEXT_STROKE_PATH);
            WritePoint(p->x, p->y, 1);
        }
        break;
    case EMIT_START:
        WritePoint(p->x, p->y, 1);
        break;
    default:
        break;
    }
}

void CFractalRenderer::WritePoint(float x, float y, uint8_t flag)
{
    std::string& line = t_pointLine;
    line.assign("\r\n");
    AppendFixed4(line, x);
    line += ' ';
    AppendFixed4(line, y);
    line += ' ';
    line += (flag == 1) ? 'm' : 'L';
    if (m_aiFile.IsOpen())
        m_aiFile.Write(line);
}

void CFractalRenderer::WriteText(const char* text)
{
    if (text == nullptr || !m_aiFile.IsOpen())
        return;
    m_aiFile.Write(std::string_view(text));
}

void CFractalRenderer::WriteResourceString(int id)
{
    if (!m_aiFile.IsOpen())
        return;
    m_aiFile.Write(IllustratorText(id));
}

int CFractalRenderer::ExportIllustrator(const CPattern& pattern, const char* fileName, std::string* error)
{
    auto fail = [error](std::string why) {
        if (error != nullptr)
            *error = std::move(why);
        return 0;
    };
    if (fileName == nullptr)
        return fail("no file name was given");
    if (pattern.m_count < PATTERN_MIN_SEGMENTS || pattern.m_count > PATTERN_MAX_SEGMENTS)
        return fail("the pattern has an impossible number of segments");
    std::string why;
    if (!CheckExportTarget(fileName, &why))
        return fail(why);
    if (m_aiFile.IsOpen())
        m_aiFile.Abort();  // never left open by an export; a stray file is not ours to finish
    if (!m_aiFile.Open(fileName))
        return fail(m_aiFile.Error().empty() ? std::string("the file cannot be created") : m_aiFile.Error());

    IllustratorModeGuard mode(*this);
    m_nSegments = pattern.m_count;
    m_bCancelled = false;

    WriteHeader(*this);
    const PointF lowerLeft = m_transform.ScreenToWorld(0, m_nHeight);
    const PointF upperRight = m_transform.ScreenToWorld(m_nWidth, 0);
    WriteBoundingBox(*this, lowerLeft.x, lowerLeft.y, upperRight.x, upperRight.y);
    WriteResourceString(AI_TEXT_PROLOG);
    WriteResourceString(AI_TEXT_SETUP);

    if (m_bShowPattern)
        WritePatternLayer(*this, pattern);
    if (m_bShowFractal && !WriteFractalLayer(*this, pattern))
        return fail("the export was cancelled");  // the guard abandons the file
    WriteResourceString(AI_TEXT_TRAILER);

    if (!m_aiFile.Close())
        return fail(m_aiFile.Error().empty() ? std::string("the file could not be written") : m_aiFile.Error());
    return 1;
}
