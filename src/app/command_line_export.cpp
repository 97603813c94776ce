// zarnix4 FILE --export OUT: the Export command without a window. The document is shown, as
// the view would show it on opening, in a window of --view pixels, and exported from there at
// --width by --height pixels, scaled as the Export command scales.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "app/command_line.h"
#include "app/command_line_interrupt.h"
#include "document/zarnix4_doc.h"
#include "export/export_sequence.h"
#include "export/export_settings.h"
#include "platform/text_format.h"
#include "view/fractal_bounds.h"
#include "view/fractal_renderer.h"

#if __has_include(<unistd.h>)
#include <unistd.h>
#define ZARNIX_HAVE_ISATTY 1
#endif

namespace {

bool StderrIsTerminal()
{
#ifdef ZARNIX_HAVE_ISATTY
    return isatty(STDERR_FILENO) != 0;
#else
    return false;
#endif
}

// Answers Ctrl+C (and SIGTERM, SIGHUP), and on a terminal shows a progress line, updated in
// place a few times a second, once the export has run for a second.
class CommandLineProgress : public CExportProgress {
public:
    CommandLineProgress(std::ostream& err, bool showLine, std::string fileName, const CFractalRenderer& renderer)
        : m_err(err),
          m_showLine(showLine),
          m_fileName(std::move(fileName)),
          m_renderer(renderer),
          m_start(std::chrono::steady_clock::now())
    {
    }

    bool Continue(double fraction) override
    {
        if (CommandLineInterrupt::Interrupted())
            return false;
        if (!m_showLine)
            return true;
        const auto now = std::chrono::steady_clock::now();
        if (now - m_start < std::chrono::seconds(1) || (m_visible && now - m_lastLine < std::chrono::milliseconds(250)))
            return true;
        const double elapsed = std::chrono::duration<double>(now - m_start).count();
        std::string line = "\rExporting " + m_fileName + "... " +
                           FormatExportProgress(m_renderer.ExportedPoints(), fraction, elapsed);
        // Blanks over the rest of a longer line shown before.
        const size_t length = line.size() - 1;
        if (length < m_length)
            line.append(m_length - length, ' ');
        m_length = std::max(m_length, length);
        m_err << line << std::flush;
        m_visible = true;
        m_lastLine = now;
        return true;
    }

    // Clears the progress line, if one was shown, so that messages start on a clean line.
    void Finish()
    {
        if (m_visible)
            m_err << '\r' << std::string(m_length, ' ') << '\r' << std::flush;
        m_visible = false;
    }

private:
    std::ostream& m_err;
    bool m_showLine;
    std::string m_fileName;
    const CFractalRenderer& m_renderer;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastLine;
    bool m_visible = false;
    size_t m_length = 0;
};

// "1,234,567": thousands separated by commas, whatever the locale.
std::string GroupedNumber(uint64_t value)
{
    std::string digits = FormatInt(static_cast<int64_t>(value > INT64_MAX ? INT64_MAX : value));
    for (size_t i = digits.size(); i > 3; i -= 3)
        digits.insert(i - 3, 1, ',');
    return digits;
}

// "about 45 s", "about 12 min", "about 3 h 5 min", for the time left.
std::string Duration(double seconds)
{
    if (!(seconds < 100.0 * 24 * 3600))
        return "more than 100 days";
    const int64_t s = static_cast<int64_t>(seconds + 0.5);
    if (s < 60)
        return "about " + FormatInt(s) + " s";
    const int64_t minutes = (s + 30) / 60;
    if (minutes < 60)
        return "about " + FormatInt(minutes) + " min";
    return "about " + FormatInt(minutes / 60) + " h " + FormatInt(minutes % 60) + " min";
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// --fit: the view shows the whole picture (the fractal at the export's iterations, and the
// pattern when it is drawn) centred, with a margin of a thirty-second of the view's smaller
// side, whatever the document's origin and scale. False when the extent is not finite.
bool FrameWholeFractal(CFractalRenderer& renderer, const CPattern& pattern, const ExportSettings& settings, int type,
                       const CommandLineOptions& options)
{
    FractalBox box;
    if (renderer.m_bShowFractal) {
        FractalBoundsResult bounds;
        if (!ComputeFractalBounds(pattern, settings.iterations, bounds))
            return false;
        box = bounds.box;
    }
    const bool styled = type == EXPORT_TYPE_PNG || type == EXPORT_TYPE_SVG;
    if (styled ? settings.style.showPattern : renderer.m_bShowPattern != 0)
        box.Add(PatternBounds(pattern));
    if (box.IsEmpty())
        box.Add(PatternBounds(pattern));
    const int32_t margin = std::max(1, std::min(options.viewWidth, options.viewHeight) / 32);
    PointF origin;
    float scale = renderer.m_transform.m_scale;
    if (!FitBoxToView(box, options.viewWidth, options.viewHeight, margin, scale, CViewTransform::kMinScale,
                      CViewTransform::kMaxScale, origin, scale))
        return false;
    renderer.m_transform.m_origin = origin;
    renderer.m_transform.m_scale = scale;
    return true;
}

}  // namespace

std::string FormatExportProgress(uint64_t lines, double fraction, double elapsedSeconds)
{
    const double clamped = fraction >= 0.0 ? std::min(fraction, 1.0) : 0.0;  // NaN gives 0 too
    std::string text = GroupedNumber(lines) + (lines == 1 ? " line, " : " lines, ");
    // Truncated to the tenth, so that 100.0% is shown only when the export is done.
    text += FormatFixed(std::floor(clamped * 1000.0) / 10.0, 1) + "%";
    // The rate so far, over what is left; unknown until a little of the path is done.
    if (clamped >= 0.001 && elapsedSeconds > 0.0 && std::isfinite(elapsedSeconds))
        text += ", " + Duration(elapsedSeconds * (1.0 - clamped) / clamped) + " left";
    return text;
}

int RunExportCommand(const CommandLineOptions& options, std::ostream& err)
{
    auto report = [&err](const std::string& message) {
        err << "zarnix4: " << message << "\n";
        return 1;
    };
    const std::string& out = options.exportPath;
    if (out.empty())
        return report("--export needs the name of the file to write");
    if (options.file.empty())
        return report("--export needs a document to export: zarnix4 FILE --export OUT");

    int type = EXPORT_TYPE_BITMAP;
    const std::string typeName = Lower(options.type.empty() ? FileExtension(out) : options.type);
    if (typeName == "ai")
        type = EXPORT_TYPE_ILLUSTRATOR;
    else if (typeName == "png")
        type = EXPORT_TYPE_PNG;
    else if (typeName == "svg")
        type = EXPORT_TYPE_SVG;
    else if (!options.type.empty() && typeName != "bmp")
        return report("unknown export type '" + options.type + "' (use bmp, ai, png or svg)");
    if (options.styleGiven && type != EXPORT_TYPE_PNG && type != EXPORT_TYPE_SVG)
        return report("the rendering options (--line-width, --color, --fill-color, --background, --gradient, "
                      "--pattern, --no-pattern) apply to PNG and SVG exports only");
    if (options.viewWidth <= 0 || options.viewHeight <= 0)
        return report("--view must be at least 1x1");
    if ((options.width && *options.width <= 0) || (options.height && *options.height <= 0))
        return report("--width and --height must be at least 1");
    if (options.iterations && (*options.iterations < EXPORT_MIN_ITERATIONS || *options.iterations > EXPORT_MAX_ITERATIONS))
        return report("--iterations must lie between 0 and 255");
    if (options.detail && *options.detail < 0)
        return report("--detail must be 0 or more");

    // The view as it comes up with the document: a canvas of the given size, the document's
    // view settings, and the default view when the file brought none.
    auto renderer = std::make_unique<CFractalRenderer>();
    renderer->SetScreenSize(options.viewWidth, options.viewHeight);
    renderer->SetCanvasSize(options.viewWidth, options.viewHeight);
    CZarnix4Doc document;
    std::string error;
    if (LoadFailure failure{}; !document.Load(options.file, renderer.get(), error, &failure))
        return report(LoadErrorText(options.file, failure, error));
    if (renderer->m_bLoadedFromFile)
        renderer->m_bLoadedFromFile = 0;
    else
        renderer->m_transform.Reset();
    if (options.detail)
        renderer->m_nDetail = *options.detail;
    if (options.threads)
        renderer->m_nThreads = *options.threads;

    ExportSettings settings;
    settings.segmentCount = document.m_pattern.m_count;
    // The output size: as given, a missing side coupled to the view's aspect as the export
    // dialog couples it, and the view's own size when neither is given.
    const double aspect = ExportAspect(options.viewWidth, options.viewHeight);
    settings.width = options.width.value_or(options.viewWidth);
    settings.height = options.height.value_or(options.viewHeight);
    if (options.width && !options.height)
        settings.height = CoupledHeight(*options.width, aspect);
    else if (options.height && !options.width)
        settings.width = CoupledWidth(*options.height, aspect);
    if (settings.width < 1 || settings.height < 1)
        return report("the picture would be less than 1 pixel in one direction; give both --width and --height");
    settings.style = options.style;
    settings.iterations = options.iterations.value_or(renderer->m_nIterations);
    if (settings.iterations < EXPORT_MIN_ITERATIONS || settings.iterations > EXPORT_MAX_ITERATIONS)
        return report("'" + options.file + "' asks for " + FormatInt(settings.iterations) +
                      " iterations; give --iterations between 0 and 255");
    if (options.fit && !FrameWholeFractal(*renderer, document.m_pattern, settings, type, options))
        return report("cannot frame '" + options.file + "': its fractal has no finite extent");

    const std::string target = CompleteExportFileName(out, type);
    ExportResult result;
    {
        CommandLineInterrupt interrupt;
        CommandLineProgress progress(err, StderrIsTerminal(), target, *renderer);
        result = RunExport(*renderer, document.m_pattern, type, out, settings, &progress, &error);
        progress.Finish();
    }
    // A signal that came while the file was being finished stops it just the same.
    if (result == ExportResult::Failed && CommandLineInterrupt::Interrupted())
        result = ExportResult::Cancelled;
    switch (result) {
    case ExportResult::Exported:
        return 0;
    case ExportResult::Cancelled:
        err << "zarnix4: export to '" << target << "' interrupted; no file was written\n";
        return CommandLineInterrupt::ExitStatus();
    case ExportResult::Failed:
        break;
    }
    return report("cannot export '" + options.file + "' to '" + target + "': " + error);
}
