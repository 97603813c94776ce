#include "export/svg_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_target.h"
#include "export/path_sink.h"
#include "platform/file.h"
#include "view/fractal_renderer.h"

namespace {

// Points of one stroked path element at most: small enough for every reader's attribute
// limits, large enough that the element overhead does not count.
constexpr uint64_t kPointsPerPath = 4096;
// Pieces of a gradient along the path.
constexpr uint64_t kGradientPieces = 256;
// The text is handed to the file in blocks of about this size.
constexpr size_t kFlushSize = 1 << 16;

// Numbers with a fixed number of decimals, trailing zeros dropped. Values are scaled to an
// integer and written with std::to_chars; values too large for that (and non-finite ones, which
// the generator never hands over) are written shortest-exact.
class CNumberFormat {
public:
    explicit CNumberFormat(int decimals) : m_decimals(std::clamp(decimals, 0, 12))
    {
        for (int i = 0; i < m_decimals; ++i)
            m_factor *= 10.0;
    }

    // Writes the number at `out` (at most kMaxLength characters) and returns its end.
    char* Write(char* out, double value) const
    {
        const double scaled = value * m_factor;
        if (!(std::fabs(scaled) < 9.0e15)) {
            auto [last, ec] = std::to_chars(out, out + kMaxLength, value);
            if (ec == std::errc())
                return last;
            *out = '0';
            return out + 1;
        }
        // Half away from zero; exact enough below 2^53.
        const int64_t units = static_cast<int64_t>(scaled + (scaled < 0.0 ? -0.5 : 0.5));
        if (units == 0) {
            *out = '0';
            return out + 1;
        }
        if (units < 0)
            *out++ = '-';
        const uint64_t magnitude = units < 0 ? static_cast<uint64_t>(-units) : static_cast<uint64_t>(units);
        char digits[24];
        const char* const last = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
        const int count = static_cast<int>(last - digits);
        // The fraction's digits without their trailing zeros.
        int fraction = std::min(m_decimals, count);
        const int whole = count - fraction;
        while (fraction > 0 && digits[whole + fraction - 1] == '0')
            --fraction;
        if (whole > 0) {
            std::memcpy(out, digits, static_cast<size_t>(whole));
            out += whole;
        } else {
            *out++ = '0';
        }
        if (fraction > 0) {
            *out++ = '.';
            for (int z = count; z < m_decimals; ++z)
                *out++ = '0';  // leading zeros of a fraction below 10^-(count)
            std::memcpy(out, digits + whole, static_cast<size_t>(fraction));
            out += fraction;
        }
        return out;
    }

    void Append(std::string& out, double value) const
    {
        char buffer[kMaxLength];
        out.append(buffer, Write(buffer, value));
    }

    static constexpr size_t kMaxLength = 40;

private:
    int m_decimals;
    double m_factor = 1.0;
};

// A hundredth of an output pixel in pattern units decides the decimals.
int DecimalsFor(double pixelsPerUnit)
{
    if (!(pixelsPerUnit > 0.0) || !std::isfinite(pixelsPerUnit))
        return 6;
    return static_cast<int>(std::ceil(std::log10(pixelsPerUnit * 100.0)));
}

// Shortest exact text of a value that is not a coordinate (widths, dash lengths).
void AppendShortest(std::string& out, double value)
{
    char buffer[32];
    auto [last, ec] = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value));
    out.append(buffer, ec == std::errc() ? last : buffer);
}

// The colour a fraction t of the way from a to b, mixed in linear light as the antialiased
// picture mixes its gradient.
RgbColor Mix(RgbColor a, RgbColor b, double t)
{
    auto toLinear = [](uint8_t v) {
        const double c = v / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    auto channel = [&](uint8_t x, uint8_t y) {
        const double linear = toLinear(x) + (toLinear(y) - toLinear(x)) * t;
        const double c = linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
        return static_cast<uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255.0));
    };
    return RgbColor{channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

// Where the text goes: a string that is either the whole document (the clipboard's) or the
// not yet written end of a file. Point text is formatted in place: in the file's write buffer,
// or at the end of the string.
class CSvgOutput {
public:
    explicit CSvgOutput(CFile* file) : m_file(file) {}

    std::string& Text() { return m_text; }

    // Room for `size` bytes after everything written so far, to be handed over with
    // Commit(count); null after a write error.
    char* Reserve(size_t size)
    {
        if (m_file == nullptr) {
            m_mark = m_text.size();
            m_text.resize(m_mark + size);
            return m_text.data() + m_mark;
        }
        if (!m_text.empty()) {
            m_file->Write(m_text);
            m_text.clear();
        }
        return m_file->Reserve(size);
    }
    void Commit(size_t count)
    {
        if (m_file == nullptr)
            m_text.resize(m_mark + count);
        else
            m_file->Commit(count);
    }

    // Hands the text gathered so far to the file, once there is enough of it (or `force`).
    // False after a write error.
    bool Flush(bool force = false)
    {
        if (m_file == nullptr)
            return true;
        if (force || m_text.size() >= kFlushSize) {
            m_file->Write(m_text);
            m_text.clear();
        }
        return !m_file->Failed();
    }

private:
    CFile* m_file;
    std::string m_text;
    size_t m_mark = 0;
};

// The sink that turns the generator's points into path data.
class CSvgPathSink : public IPathSink {
public:
    struct Options {
        bool fill = false;          // one closed path: hidden knees are part of its outline
        bool pieces = true;         // stroked elements of at most kPointsPerPath points
        bool gradient = false;      // pieces in the colour of their place along the path
        RgbColor from{};
        RgbColor to{};
        int segments = 1;           // the pattern's, and the walk's depth at its baseline:
        int topDepth = 0;           // they give each segment's share of the path
        std::string attributes;     // of every path element
    };

    CSvgPathSink(CSvgOutput& out, const CNumberFormat& format, const Options& options)
        : m_out(out), m_text(out.Text()), m_format(format), m_options(options)
    {
        double share = 1.0;
        for (int d = options.topDepth; d >= 0; --d) {
            if (d < 256)
                m_share[d] = share;
            share /= std::max(options.segments, 1);
        }
    }

    bool PathPoint(PointF p, uint8_t kind, uint8_t depth) override
    {
        return Point(p, kind, depth, [this, p](char* out) {
            out = m_format.Write(out, p.x);
            *out++ = ' ';
            return m_format.Write(out, p.y);
        });
    }

    // A point whose text "x y" a part formatted on another thread.
    bool FormattedPoint(PointF p, uint8_t kind, uint8_t depth, std::string_view xy)
    {
        return Point(p, kind, depth, [xy](char* out) {
            std::memcpy(out, xy.data(), xy.size());
            return out + xy.size();
        });
    }

    // A part that formats its points' coordinates on the thread that generates them; the
    // elements, pieces and colours are worked out on delivery, in path order.
    std::unique_ptr<IPathPart> NewPart() override;

    const CNumberFormat& Format() const { return m_format; }

    // The text of a point's coordinates, "x y", as every path element writes them; at most
    // kPointTextLength characters.
    static constexpr size_t kPointTextLength = 2 * CNumberFormat::kMaxLength + 1;

private:
    // The point, with `writeXY(out)` writing its text "x y" at out and returning the end.
    template <class WriteXY>
    bool Point(PointF p, uint8_t kind, uint8_t depth, const WriteXY& writeXY)
    {
        if (m_stopped)
            return false;
        if (kind == EMIT_START || !m_started) {
            // The pen goes there; an element opens with the first line, in that line's piece.
            if (m_open) {
                EndElement();
                m_open = false;
            }
            m_first = p;
            m_started = true;
        } else {
            // The segment's place along the path: its middle, in 256 pieces.
            int piece = m_piece;
            if (m_options.gradient) {
                const double before = m_along;
                if (!m_closing)
                    m_along = std::min(1.0, m_along + m_share[depth]);
                piece = std::min(static_cast<int>(kGradientPieces) - 1,
                                 static_cast<int>((before + m_along) * 0.5 * static_cast<double>(kGradientPieces)));
            }
            if (kind == EMIT_MOVE && !m_options.fill) {
                if (m_open && !Put(" M", 2, writeXY))
                    return Stop();
            } else {
                if (!m_open || (m_options.pieces && (piece != m_piece || m_inPiece >= kPointsPerPath))) {
                    // The next piece starts where the pen is.
                    if (m_open)
                        EndElement();
                    m_piece = piece;
                    BeginElement();
                    m_text += 'M';
                    AppendPoint(m_last);
                    m_open = true;
                }
                if (!Put(" ", 1, writeXY))
                    return Stop();
                ++m_inPiece;
            }
        }
        m_last = p;
        return true;
    }

public:
    // The points that follow close fill mode's polygon: they keep the colour of the path's end.
    void BeginClosing() { m_closing = true; }

    // Ends the last element; with `close`, the path goes back to its first point (a closed
    // subpath when it is one element, a last line when it is in pieces).
    void Finish(bool close)
    {
        if (!m_open)
            return;
        if (close && !m_options.pieces) {
            m_text += " Z";
        } else if (close && m_options.gradient) {
            // The last edge ends at the path's first point, and takes its colour.
            EndElement();
            m_piece = 0;
            BeginElement();
            m_text += 'M';
            AppendPoint(m_last);
            m_text += ' ';
            AppendPoint(m_first);
        } else if (close) {
            m_text += ' ';
            AppendPoint(m_first);
        }
        EndElement();
        m_open = false;
    }

    bool Stopped() const { return m_stopped; }

private:
    void BeginElement()
    {
        m_text += "<path";
        m_text += m_options.attributes;
        if (m_options.gradient) {
            const double middle = (m_piece + 0.5) / static_cast<double>(kGradientPieces);
            m_text += " stroke=\"";
            m_text += FormatColor(Mix(m_options.from, m_options.to, middle));
            m_text += '"';
        }
        m_text += " d=\"";
        m_inPiece = 0;
    }

    void EndElement() { m_text += "\"/>\n"; }

    // `prefix` and the point's text, written in place. False after a write error.
    template <class WriteXY>
    bool Put(const char* prefix, size_t prefixLength, const WriteXY& writeXY)
    {
        char* const start = m_out.Reserve(prefixLength + kPointTextLength);
        if (start == nullptr)
            return false;
        std::memcpy(start, prefix, prefixLength);
        char* const out = writeXY(start + prefixLength);
        m_out.Commit(static_cast<size_t>(out - start));
        return true;
    }

    bool Stop()
    {
        m_stopped = true;
        return false;
    }

    void AppendPoint(PointF p)
    {
        m_format.Append(m_text, p.x);
        m_text += ' ';
        m_format.Append(m_text, p.y);
    }

    CSvgOutput& m_out;
    std::string& m_text;
    const CNumberFormat& m_format;
    Options m_options;
    double m_share[256] = {};  // share of the path of a segment at each depth
    double m_along = 0.0;      // share of the path done
    int m_piece = 0;           // gradient piece of the current element
    PointF m_first{};
    PointF m_last{};
    uint64_t m_inPiece = 0;  // lines in the current element
    bool m_started = false;
    bool m_open = false;  // a path element is open
    bool m_closing = false;
    bool m_stopped = false;
};

// A part of the path: the coordinates' text formatted where the points are generated.
class CSvgPart final : public IPathPart {
public:
    explicit CSvgPart(CSvgPathSink& sink) : m_sink(sink), m_format(sink.Format()) {}

    bool PathPoint(PointF p, uint8_t kind, uint8_t depth) override
    {
        if (m_capacity - m_used < CSvgPathSink::kPointTextLength) {
            // Grown by doubling, never shrunk: the part is used again for later stretches. The
            // first blocks are large enough for a typical part: memory the system has not yet
            // handed out costs nothing until it is written, and a part that fits is never
            // copied to larger blocks.
            if (m_capacity == 0)
                m_points.reserve(kFirstPoints);
            const size_t capacity = std::max<size_t>(2 * m_capacity, kFirstCapacity);
            auto grown = std::make_unique_for_overwrite<char[]>(capacity);  // may throw std::bad_alloc
            if (m_used > 0)
                std::memcpy(grown.get(), m_text.get(), m_used);
            m_text = std::move(grown);
            m_capacity = capacity;
        }
        char* const start = m_text.get() + m_used;
        char* out = m_format.Write(start, p.x);
        *out++ = ' ';
        out = m_format.Write(out, p.y);
        const size_t length = static_cast<size_t>(out - start);
        m_points.push_back(Formatted{p, kind, depth, static_cast<uint8_t>(length)});
        m_used += length;
        return true;
    }

    bool Deliver() override
    {
        size_t at = 0;
        bool more = true;
        for (const Formatted& f : m_points) {
            if (!m_sink.FormattedPoint(f.p, f.kind, f.depth, std::string_view(m_text.get() + at, f.length))) {
                more = false;
                break;
            }
            at += f.length;
        }
        Clear();
        return more;
    }

    void Clear() override
    {
        m_points.clear();
        m_used = 0;
    }

private:
    static constexpr size_t kFirstCapacity = size_t{2} << 20;
    static constexpr size_t kFirstPoints = size_t{1} << 16;
    struct Formatted {
        PointF p;
        uint8_t kind;
        uint8_t depth;
        uint8_t length;  // of the text, at most kPointTextLength (81)
    };
    CSvgPathSink& m_sink;
    const CNumberFormat& m_format;
    std::vector<Formatted> m_points;
    std::unique_ptr<char[]> m_text;  // the points' texts one after the other
    size_t m_capacity = 0;
    size_t m_used = 0;
};

std::unique_ptr<IPathPart> CSvgPathSink::NewPart()
{
    return std::make_unique<CSvgPart>(*this);
}

// Light green, light red and light grey of the screen's pattern overlay.
constexpr RgbColor kOverlayGreen{207, 223, 207};
constexpr RgbColor kOverlayRed{223, 207, 207};
constexpr RgbColor kOverlayGrey{239, 239, 239};

class CSvgDocument {
public:
    CSvgDocument(CFractalRenderer& renderer, const CPattern& pattern, const CRenderStyle& style, CSvgOutput& out)
        : m_r(renderer),
          m_pattern(pattern),
          m_style(style),
          m_out(out),
          m_text(out.Text()),
          m_pixel(1.0 / static_cast<double>(renderer.m_transform.m_scale)),
          m_format(DecimalsFor(renderer.m_transform.m_scale))
    {
    }

    // False when cancelled, or stopped by a write error.
    bool Write()
    {
        const PointF lowerLeft = m_r.m_transform.ScreenToWorld(0, m_r.m_nHeight);
        const PointF upperRight = m_r.m_transform.ScreenToWorld(m_r.m_nWidth, 0);
        const double llx = lowerLeft.x;
        const double lly = lowerLeft.y;
        const double width = static_cast<double>(upperRight.x) - llx;
        const double height = static_cast<double>(upperRight.y) - lly;

        m_text += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
        AppendInt(m_r.m_nWidth);
        m_text += "\" height=\"";
        AppendInt(m_r.m_nHeight);
        m_text += "\" viewBox=\"";
        m_format.Append(m_text, llx);
        m_text += ' ';
        m_format.Append(m_text, -static_cast<double>(upperRight.y));
        m_text += ' ';
        m_format.Append(m_text, width);
        m_text += ' ';
        m_format.Append(m_text, height);
        m_text += "\">\n<title>Zarnix image</title>\n";
        if (!m_style.transparent) {
            m_text += "<rect x=\"";
            m_format.Append(m_text, llx);
            m_text += "\" y=\"";
            m_format.Append(m_text, -static_cast<double>(upperRight.y));
            m_text += "\" width=\"";
            m_format.Append(m_text, width);
            m_text += "\" height=\"";
            m_format.Append(m_text, height);
            m_text += "\" fill=\"" + FormatColor(m_style.background) + "\"/>\n";
        }
        // Pattern coordinates with y growing upward.
        m_text += "<g transform=\"scale(1 -1)\">\n";
        if (m_style.showPattern)
            WritePattern();
        if (m_r.m_bShowFractal) {
            m_text += "<g id=\"fractal\">\n";
            if (!WriteFractal())
                return false;
            m_text += "</g>\n";
        }
        m_text += "</g>\n</svg>\n";
        return m_out.Flush(true);
    }

private:
    void AppendInt(int64_t value)
    {
        char buffer[24];
        auto [last, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
        m_text.append(buffer, ec == std::errc() ? last : buffer);
    }

    void AppendPixels(double pixels) { AppendShortest(m_text, pixels * m_pixel); }

    void AppendPoint(PointF p)
    {
        m_format.Append(m_text, p.x);
        m_text += ' ';
        m_format.Append(m_text, p.y);
    }

    // The screen's overlay: one-pixel knee lines in the pens of their flags (dashed 18 on
    // 6 off, dotted 3 on 3 off), then six-pixel squares on the points.
    void WritePattern()
    {
        m_text += "<g id=\"pattern\" fill=\"none\" stroke-width=\"";
        AppendPixels(1.0);
        m_text += "\">\n";
        for (int i = 0; i < m_pattern.m_count; ++i) {
            const uint8_t f = m_pattern.m_kneeFlags[i];
            RgbColor color = (f & KNEE_MIRROR) ? kOverlayRed : kOverlayGreen;
            double dash = 0.0;
            double gap = 0.0;
            if (f & KNEE_HIDE) {
                color = kOverlayGrey;
                dash = gap = 3.0;
            } else if (f & KNEE_STATIC) {
                color = RgbColor{0, 0, 0};
            } else if (f & KNEE_REVERSE) {
                dash = 18.0;
                gap = 6.0;
            }
            m_text += "<path stroke=\"" + FormatColor(color) + '"';
            if (dash > 0.0) {
                m_text += " stroke-dasharray=\"";
                AppendPixels(dash);
                m_text += ' ';
                AppendPixels(gap);
                m_text += '"';
            }
            m_text += " d=\"M";
            AppendPoint(m_pattern.m_points[i]);
            m_text += ' ';
            AppendPoint(m_pattern.m_points[i + 1]);
            m_text += "\"/>\n";
        }
        m_text += "<g stroke=\"" + FormatColor(kOverlayGreen) + "\" fill=\"#ffffff\">\n";
        for (int i = 0; i <= m_pattern.m_count; ++i) {
            const PointF p = m_pattern.m_points[i];
            m_text += "<rect x=\"";
            m_format.Append(m_text, p.x - 2.5 * m_pixel);
            m_text += "\" y=\"";
            m_format.Append(m_text, p.y - 2.5 * m_pixel);
            m_text += "\" width=\"";
            AppendPixels(5.0);
            m_text += "\" height=\"";
            AppendPixels(5.0);
            m_text += "\"/>\n";
        }
        m_text += "</g>\n</g>\n";
    }

    void BeginStrokeGroup(const char* fill)
    {
        m_text += "<g fill=\"";
        m_text += fill;
        m_text += "\" stroke-width=\"";
        AppendPixels(m_style.lineWidth);
        m_text += "\" stroke-linejoin=\"round\" stroke-linecap=\"round\"";
        if (!m_style.gradient)
            m_text += " stroke=\"" + FormatColor(m_style.lineColor) + '"';
        m_text += ">\n";
    }

    // Without fill: stroked pieces. In fill mode: one even-odd path closed along the canvas
    // border, stroked in the line colour; with a gradient the stroke is a second walk of
    // pieces over it.
    bool WriteFractal()
    {
        CSvgPathSink::Options options;
        options.gradient = m_style.gradient;
        options.from = m_style.gradientFrom;
        options.to = m_style.gradientTo;
        options.segments = m_pattern.m_count;
        options.topDepth = m_r.m_nIterations & 0xFF;

        if (m_r.m_bFill) {
            CSvgPathSink::Options fill;
            fill.fill = true;
            fill.pieces = false;
            fill.attributes = " fill=\"" + FormatColor(m_style.fillColor) + "\" fill-rule=\"evenodd\"";
            if (m_style.gradient) {
                fill.attributes += " stroke=\"none\"";
            } else {
                fill.attributes += " stroke=\"" + FormatColor(m_style.lineColor) + "\" stroke-width=\"";
                AppendShortest(fill.attributes, m_style.lineWidth * m_pixel);
                fill.attributes += "\" stroke-linejoin=\"round\"";
            }
            if (!Walk(fill, true))
                return false;
            if (!m_style.gradient)
                return true;
            BeginStrokeGroup("none");
            options.fill = true;  // the outline goes on through hidden knees, as the polygon's
            if (!Walk(options, true))
                return false;
            m_text += "</g>\n";
            return true;
        }
        BeginStrokeGroup("none");
        if (!Walk(options, false))
            return false;
        m_text += "</g>\n";
        return true;
    }

    bool Walk(const CSvgPathSink::Options& options, bool closeFill)
    {
        CSvgPathSink sink(m_out, m_format, options);
        WalkFractalPath(m_r, m_pattern, sink);
        // A last word from the progress object, so that a stop asked for at the very end
        // still leaves no file.
        if (!m_r.m_bCancelled && !sink.Stopped() && m_r.m_pProgress != nullptr && !m_r.m_pProgress->Continue(1.0))
            m_r.m_bCancelled = true;
        if (m_r.m_bCancelled || sink.Stopped())
            return false;
        if (closeFill) {
            sink.BeginClosing();
            WalkFillClosing(m_r, m_pattern, sink);
        }
        if (sink.Stopped())
            return false;
        sink.Finish(closeFill);
        return true;
    }

    CFractalRenderer& m_r;
    const CPattern& m_pattern;
    const CRenderStyle& m_style;
    CSvgOutput& m_out;
    std::string& m_text;
    double m_pixel;  // one output pixel in pattern units
    CNumberFormat m_format;
};

}  // namespace

namespace {

// What both entry points refuse before anything is written.
bool CheckSvgSource(const CFractalRenderer& renderer, const CPattern& pattern, std::string* error)
{
    const char* why = nullptr;
    if (pattern.m_count < PATTERN_MIN_SEGMENTS || pattern.m_count > PATTERN_MAX_SEGMENTS)
        why = "the pattern has an impossible number of segments";
    else if (!(renderer.m_transform.m_scale > 0.0f) || !std::isfinite(renderer.m_transform.m_scale))
        why = "the view has no usable scale";
    else if (renderer.m_nWidth <= 0 || renderer.m_nHeight <= 0)
        why = "the picture must be at least 1 by 1 pixel";
    if (why != nullptr && error != nullptr)
        *error = why;
    return why == nullptr;
}

}  // namespace

bool WriteSvgText(CFractalRenderer& renderer, const CPattern& pattern, const CRenderStyle& style, std::string* text,
                  std::string* error)
{
    if (!CheckSvgSource(renderer, pattern, error))
        return false;
    CSvgOutput out(nullptr);
    renderer.m_bCancelled = false;
    CSvgDocument document(renderer, pattern, style, out);
    if (!document.Write()) {
        if (error != nullptr)
            *error = "the export was cancelled";
        return false;
    }
    if (text != nullptr)
        *text = std::move(out.Text());
    return true;
}

int ExportSvg(CFractalRenderer& renderer, const CPattern& pattern, const CRenderStyle& style, const char* fileName,
              std::string* error)
{
    auto fail = [error](std::string why) {
        if (error != nullptr)
            *error = std::move(why);
        return 0;
    };
    if (fileName == nullptr)
        return fail("no file name was given");
    std::string why;
    if (!CheckSvgSource(renderer, pattern, &why))
        return fail(why);
    if (!CheckExportTarget(fileName, &why))
        return fail(why);
    CFile file;
    if (!file.Open(fileName))
        return fail(file.Error().empty() ? std::string("the file cannot be created") : file.Error());
    renderer.m_bCancelled = false;
    CSvgOutput out(&file);
    CSvgDocument document(renderer, pattern, style, out);
    if (!document.Write()) {
        if (renderer.m_bCancelled)
            return fail("the export was cancelled");  // the file abandons what it holds
        return fail(file.Error().empty() ? std::string("the file could not be written") : file.Error());
    }
    if (!file.Close())
        return fail(file.Error().empty() ? std::string("the file could not be written") : file.Error());
    return 1;
}
