#include "export/illustrator_writer.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
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

// "%.4f" of a float of magnitude below 10^14 at `out`, as AppendFixed4 writes it; returns the
// end. At most 21 characters.
char* Fixed4(char* out, float value)
{
    const double scaled = std::fabs(static_cast<double>(value)) * 10000.0;  // exact
    uint64_t units = static_cast<uint64_t>(scaled);
    const double fraction = scaled - static_cast<double>(units);  // exact
    if (fraction > 0.5 || (fraction == 0.5 && (units & 1) != 0))
        ++units;
    if (std::signbit(value))
        *out++ = '-';
    const uint64_t whole = units / 10000;
    uint32_t decimals = static_cast<uint32_t>(units % 10000);
    out = std::to_chars(out, out + 16, whole).ptr;  // whole < 10^10
    out[0] = '.';
    for (int k = 4; k >= 1; --k) {
        out[k] = static_cast<char>('0' + decimals % 10);
        decimals /= 10;
    }
    return out + 5;
}

// Text gathered in memory for a part of the path, with the file's Reserve, Commit and Write,
// so that the same code formats a point into either. The first block is large enough for a
// typical part: memory the system has not yet handed out costs nothing until it is written,
// and a part that fits is never copied to a larger block, nor touches more pages than its
// text needs.
class CTextBuffer {
public:
    static constexpr size_t kFirstCapacity = size_t{2} << 20;

    char* Reserve(size_t size)
    {
        if (m_capacity - m_used < size) {
            const size_t capacity = std::max(m_capacity * 2, m_used + std::max(size, kFirstCapacity));
            auto grown = std::make_unique_for_overwrite<char[]>(capacity);  // may throw std::bad_alloc
            if (m_used > 0)
                std::memcpy(grown.get(), m_data.get(), m_used);
            m_data = std::move(grown);
            m_capacity = capacity;
        }
        return m_data.get() + m_used;
    }
    void Commit(size_t count) { m_used += count; }
    void Write(std::string_view text)
    {
        char* out = Reserve(text.size());
        if (!text.empty())
            std::memcpy(out, text.data(), text.size());
        m_used += text.size();
    }
    std::string_view View() const { return {m_data.get(), m_used}; }
    void Clear() { m_used = 0; }  // keeps the memory

private:
    std::unique_ptr<char[]> m_data;
    size_t m_capacity = 0;
    size_t m_used = 0;
};

// One point line, "\r\n%.4f %.4f m" for flag 1 and "... L" for any other, into the file or a
// part's text. The common case is formatted straight into the output's buffer.
template <class Output>
void PutPoint(Output& output, float x, float y, uint8_t flag)
{
    if (std::fabs(static_cast<double>(x)) < 1e14 && std::fabs(static_cast<double>(y)) < 1e14) {
        char* const start = output.Reserve(48);
        if (start == nullptr)
            return;  // not open, or failed: every write is dropped anyway
        char* out = start;
        *out++ = '\r';
        *out++ = '\n';
        out = Fixed4(out, x);
        *out++ = ' ';
        out = Fixed4(out, y);
        *out++ = ' ';
        *out++ = (flag == 1) ? 'm' : 'L';
        output.Commit(static_cast<size_t>(out - start));
        return;
    }
    std::string& line = t_pointLine;
    line.assign("\r\n");
    AppendFixed4(line, x);
    line += ' ';
    AppendFixed4(line, y);
    line += ' ';
    line += (flag == 1) ? 'm' : 'L';
    output.Write(line);
}

// A point of the fractal's path: "m" for the start; "L" for a line; for a hidden knee,
// without fill, "S" ends the stroked path and an "m" line starts the next one, while in fill
// mode it is an "L" line, so that the outline stays one closed polygon.
template <class Output>
void PutPathPoint(Output& output, bool fill, PointF p, uint8_t kind)
{
    switch (kind) {
    case EMIT_LINE:
        PutPoint(output, p.x, p.y, 0);
        break;
    case EMIT_MOVE:
        if (fill) {
            PutPoint(output, p.x, p.y, 0);
        } else {
            output.Write(IllustratorText(AI_TEXT_STROKE_PATH));
            PutPoint(output, p.x, p.y, 1);
        }
        break;
    case EMIT_START:
        PutPoint(output, p.x, p.y, 1);
        break;
    default:
        break;
    }
}

// A part of the fractal's path formatted on another thread, written to the file on delivery.
class CIllustratorPart final : public IPathPart {
public:
    explicit CIllustratorPart(CIllustratorWriter& writer) : m_writer(writer), m_fill(writer.m_bFill) {}
    bool PathPoint(PointF p, uint8_t kind, uint8_t /*depth*/) override
    {
        PutPathPoint(m_text, m_fill, p, kind);
        return true;
    }
    bool Deliver() override
    {
        m_writer.WriteText(m_text.View());
        m_text.Clear();
        return !m_writer.m_aiFile.Failed();
    }
    void Clear() override { m_text.Clear(); }

private:
    CIllustratorWriter& m_writer;
    bool m_fill;
    CTextBuffer m_text;
};

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

void WriteHeader(CIllustratorWriter& r)
{
    r.WriteResourceString(AI_TEXT_HEADER);
    r.WriteResourceString(AI_TEXT_CREATION_DATE);
    r.WriteText(FormatCreationDate(CreationTime()).c_str());
}

// Both bounding-box lines and the end of the header comments. The box is the visible region
// of the canvas in pattern coordinates: lower left (llx, lly), upper right (urx, ury).
void WriteBoundingBox(CIllustratorWriter& r, float llx, float lly, float urx, float ury)
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
void WritePatternLayer(CIllustratorWriter& r, const CPattern& pattern)
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
// when the export was cancelled during the generation, or a write failed.
bool WriteFractalLayer(CIllustratorWriter& w, CFractalRenderer& r, const CPattern& pattern)
{
    w.WriteResourceString(AI_TEXT_LAYER_BEGIN);
    w.WriteResourceString(AI_TEXT_LAYER_FRACTAL);
    if (w.m_bFill) {
        w.WriteResourceString(AI_TEXT_EVEN_ODD_FILL);
        w.WriteResourceString(AI_TEXT_FILL_GREY);
    }
    w.WriteResourceString(AI_TEXT_STROKE_OVERPRINT);
    w.WriteResourceString(AI_TEXT_STROKE_BLACK);
    w.WriteResourceString(AI_TEXT_LINE_STYLE);
    w.WriteResourceString(AI_TEXT_DASH_SOLID);

    WalkFractalPath(r, pattern, w);  // stops early when cancelled or the file failed
    if (w.m_aiFile.Failed())
        return false;
    // A last word from the progress object before the file is finished, so that a stop
    // asked for at the very end still leaves no file.
    if (!r.m_bCancelled && r.m_pProgress != nullptr && !r.m_pProgress->Continue(1.0))
        r.m_bCancelled = true;
    if (r.m_bCancelled)
        return false;
    if (w.m_bFill) {
        WalkFillClosing(r, pattern, w);
        w.WriteResourceString(AI_TEXT_CLOSE_FILL);
    } else {
        w.WriteResourceString(AI_TEXT_STROKE_PATH);
    }
    w.WriteResourceString(AI_TEXT_LAYER_END);
    return true;
}

}  // namespace

void CIllustratorWriter::WritePathPoint(const PointF* p, uint8_t kind)
{
    if (p != nullptr)
        PutPathPoint(m_aiFile, m_bFill, *p, kind);
}

void CIllustratorWriter::WritePoint(float x, float y, uint8_t flag)
{
    PutPoint(m_aiFile, x, y, flag);
}

std::unique_ptr<IPathPart> CIllustratorWriter::NewPart()
{
    return std::make_unique<CIllustratorPart>(*this);
}

void CIllustratorWriter::WriteText(const char* text)
{
    if (text != nullptr)
        WriteText(std::string_view(text));
}

void CIllustratorWriter::WriteText(std::string_view text)
{
    if (m_aiFile.IsOpen())
        m_aiFile.Write(text);
}

void CIllustratorWriter::WriteResourceString(int id)
{
    if (!m_aiFile.IsOpen())
        return;
    m_aiFile.Write(IllustratorText(id));
}

int ExportIllustrator(CFractalRenderer& renderer, const CPattern& pattern, const char* fileName, std::string* error)
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
    // Abandoned, with whatever it holds, on every path that does not close it.
    CIllustratorWriter writer;
    if (!writer.m_aiFile.Open(fileName))
        return fail(writer.m_aiFile.Error().empty() ? std::string("the file cannot be created") : writer.m_aiFile.Error());

    writer.m_bFill = renderer.m_bFill != 0;
    renderer.m_bCancelled = false;

    WriteHeader(writer);
    const PointF lowerLeft = renderer.m_transform.ScreenToWorld(0, renderer.m_nHeight);
    const PointF upperRight = renderer.m_transform.ScreenToWorld(renderer.m_nWidth, 0);
    WriteBoundingBox(writer, lowerLeft.x, lowerLeft.y, upperRight.x, upperRight.y);
    writer.WriteResourceString(AI_TEXT_PROLOG);
    writer.WriteResourceString(AI_TEXT_SETUP);

    if (renderer.m_bShowPattern)
        WritePatternLayer(writer, pattern);
    if (renderer.m_bShowFractal && !WriteFractalLayer(writer, renderer, pattern) && !writer.m_aiFile.Failed())
        return fail("the export was cancelled");
    if (writer.m_aiFile.Failed())
        return fail(writer.m_aiFile.Error());  // the first write error
    writer.WriteResourceString(AI_TEXT_TRAILER);

    if (!writer.m_aiFile.Close())
        return fail(writer.m_aiFile.Error().empty() ? std::string("the file could not be written") : writer.m_aiFile.Error());
    return 1;
}
