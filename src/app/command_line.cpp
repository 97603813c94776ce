#include "app/command_line.h"

#include <charconv>
#include <cmath>
#include <memory>
#include <ostream>

#include "app/command_line_interrupt.h"
#include "document/zarnix4_doc.h"
#include "platform/worker_threads.h"
#include "view/fractal_renderer.h"

namespace {

bool ParseNumber(const std::string& text, int& value)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    auto [ptr, ec] = std::from_chars(first, last, value);
    return !text.empty() && ec == std::errc() && ptr == last;
}

// "WxH" (or "WXH") with both sides whole numbers.
bool ParseSize(const std::string& text, int& width, int& height)
{
    const size_t x = text.find_first_of("xX");
    return x != std::string::npos && ParseNumber(text.substr(0, x), width) && ParseNumber(text.substr(x + 1), height);
}

// A decimal number with a point, whatever the locale.
bool ParseDecimal(const std::string& text, float& value)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
    return !text.empty() && ec == std::errc() && ptr == last && std::isfinite(value);
}

}  // namespace

std::string UsageText()
{
    return "Usage: zarnix4 [FILE]\n"
           "       zarnix4 [FILE] --save-as OUT.zarnix\n"
           "       zarnix4 FILE --export OUT [--type bmp|ai|png|svg] [--width W] [--height H]\n"
           "                     [--view WxH] [--fit] [--iterations N] [--detail D]\n"
           "                     [--threads N] [rendering options]\n"
           "       zarnix4 FILE --info\n"
           "\n"
           "Zarnix 4 draws and edits line fractals. Without options it opens the editor,\n"
           "with FILE open if given.\n"
           "\n"
           "Options:\n"
           "  --save-as OUT      read FILE (or make a new document) and write it to OUT\n"
           "  --export OUT       write the picture of FILE to OUT without a window, as the\n"
           "                     Export command would from a window of --view pixels\n"
           "  --type TYPE        bmp, ai, png or svg; default from OUT's extension (.ai,\n"
           "                     .png, .svg; anything else a bitmap)\n"
           "  --view WxH         the window the picture is framed in (default 800x600)\n"
           "  --width W          picture width in pixels (default: the view's); the picture\n"
           "  --height H         shows the view's region with more or fewer pixels, and a\n"
           "                     side not given follows the view's aspect\n"
           "  --fit              frame the whole fractal instead of the document's view\n"
           "  --iterations N     iterations of the export, 0 to 255 (default: the document's)\n"
           "  --detail D         smallest line drawn in pixels, 1 to 99 (default 2)\n"
           "  --threads N        threads the export uses, 1 to 64 (default: ZARNIX_THREADS,\n"
           "                     else one per core for large exports); the output is the\n"
           "                     same whatever the count\n"
           "  --info             print FILE's segments, lines, similarity dimension and\n"
           "                     bounding box as one JSON object\n"
           "  -h, --help         show this help and exit\n"
           "  -v, --version      show the version and exit\n"
           "\n"
           "Rendering options (PNG and SVG):\n"
           "  --line-width W     line width in pixels, 0.5 to 20 (default 1)\n"
           "  --color C          line colour: #rrggbb, #rgb or black, white, grey, red,\n"
           "                     green, blue (default black)\n"
           "  --fill-color C     fill colour of fill mode (default grey)\n"
           "  --background C     background colour, or transparent (default white)\n"
           "  --gradient C1,C2   line colour running from C1 at the fractal's first point\n"
           "                     to C2 at its last\n"
           "  --pattern          draw the pattern's construction lines too\n"
           "  --no-pattern       do not draw them (the default)\n";
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLineOptions& options, std::string& error)
{
    options = CommandLineOptions{};
    bool viewGiven = false, onlyFiles = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            if (!options.file.empty()) {
                error = "more than one file given ('" + options.file + "' and '" + arg + "')";
                return false;
            }
            options.file = arg;
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            continue;
        }
        if (arg == "-v" || arg == "--version") {
            options.version = true;
            continue;
        }
        if (arg == "--info") {
            options.info = true;
            continue;
        }
        if (arg == "--fit") {
            options.fit = true;
            continue;
        }
        if (arg == "--pattern" || arg == "--no-pattern") {
            options.style.showPattern = arg == "--pattern";
            options.styleGiven = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        static const char* const kWithValue[] = {"--save-as",    "--export",     "--type",       "--width",
                                                 "--height",     "--iterations", "--detail",     "--view",
                                                 "--line-width", "--color",      "--fill-color", "--background",
                                                 "--gradient",   "--threads"};
        bool known = false;
        for (const char* k : kWithValue)
            known = known || name == k;
        if (!known) {
            error = "unknown option '" + arg + "'";
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                error = "option '" + name + "' needs a value";
                return false;
            }
            value = args[++i];
        }
        auto number = [&](int low, int high, int& out) {
            int v = 0;
            if (!ParseNumber(value, v) || v < low || v > high) {
                error = "option '" + name + "' needs a whole number from " + std::to_string(low) + " to " +
                        std::to_string(high) + ", not '" + value + "'";
                return false;
            }
            out = v;
            return true;
        };
        if (name == "--save-as" || name == "--export") {
            if (value.empty()) {
                error = "option '" + name + "' needs a file name";
                return false;
            }
            (name == "--save-as" ? options.saveAs : options.exportPath) = value;
        } else if (name == "--type") {
            if (value != "bmp" && value != "ai" && value != "png" && value != "svg") {
                error = "unknown export type '" + value + "' (use bmp, ai, png or svg)";
                return false;
            }
            options.type = value;
        } else if (name == "--width" || name == "--height") {
            int v = 0;
            if (!number(1, 1000000, v))
                return false;
            (name == "--width" ? options.width : options.height) = v;
        } else if (name == "--view") {
            int w = 0, h = 0;
            if (!ParseSize(value, w, h) || w < 1 || h < 1 || w > 1000000 || h > 1000000) {
                error = "option '--view' needs a size WxH of 1 to 1000000 pixels a side, such as 800x600, not '" +
                        value + "'";
                return false;
            }
            options.viewWidth = w;
            options.viewHeight = h;
            viewGiven = true;
        } else if (name == "--line-width") {
            float w = 0.0f;
            if (!ParseDecimal(value, w) || w < RENDER_MIN_LINE_WIDTH || w > RENDER_MAX_LINE_WIDTH) {
                error = "option '--line-width' needs a number of pixels from 0.5 to 20, not '" + value + "'";
                return false;
            }
            options.style.lineWidth = w;
            options.styleGiven = true;
        } else if (name == "--color" || name == "--fill-color" || name == "--background") {
            options.styleGiven = true;
            if (name == "--background" && value == "transparent") {
                options.style.transparent = true;
                continue;
            }
            RgbColor color;
            if (!ParseColor(value, &color)) {
                error = "option '" + name + "' needs a colour such as #1f77b4, #abc or red" +
                        std::string(name == "--background" ? ", or transparent" : "") + ", not '" + value + "'";
                return false;
            }
            if (name == "--color")
                options.style.lineColor = color;
            else if (name == "--fill-color")
                options.style.fillColor = color;
            else {
                options.style.background = color;
                options.style.transparent = false;
            }
        } else if (name == "--gradient") {
            const size_t comma = value.find(',');
            RgbColor from, to;
            if (comma == std::string::npos || !ParseColor(value.substr(0, comma), &from) ||
                !ParseColor(value.substr(comma + 1), &to)) {
                error = "option '--gradient' needs two colours separated by a comma, such as blue,red, not '" +
                        value + "'";
                return false;
            }
            options.style.gradient = true;
            options.style.gradientFrom = from;
            options.style.gradientTo = to;
            options.styleGiven = true;
        } else if (name == "--iterations") {
            int v = 0;
            if (!number(0, 255, v))
                return false;
            options.iterations = v;
        } else if (name == "--threads") {
            int v = 0;
            std::string why;
            if (!ParseThreadCount(value, v, &why)) {
                error = "option '--threads': " + why;
                return false;
            }
            options.threads = v;
        } else if (name == "--detail") {
            int v = 0;
            if (!number(1, 99, v))
                return false;
            options.detail = v;
        }
    }
    if (!options.saveAs.empty() && !options.exportPath.empty()) {
        error = "--save-as and --export cannot be used together";
        return false;
    }
    if (options.info && (!options.saveAs.empty() || !options.exportPath.empty())) {
        error = "--info cannot be used with --save-as or --export";
        return false;
    }
    if (options.info && options.file.empty()) {
        error = "--info needs a FILE";
        return false;
    }
    bool exportOptions = !options.type.empty() || options.width || options.height || options.iterations ||
                         options.detail || options.threads || viewGiven || options.fit || options.styleGiven;
    if (exportOptions && options.exportPath.empty()) {
        error = "--type, --width, --height, --view, --fit, --iterations, --detail, --threads and the rendering options "
                "only go with --export";
        return false;
    }
    return true;
}

bool CheckThreadEnvironment(const CommandLineOptions& options, std::string& error)
{
    if (options.exportPath.empty() || options.threads)
        return true;
    return ThreadCountFromEnvironment(&error) >= 0;
}

bool IsHeadless(const CommandLineOptions& options)
{
    return options.help || options.version || options.info || !options.saveAs.empty() || !options.exportPath.empty();
}

int RunHeadless(const CommandLineOptions& options, std::ostream& out, std::ostream& err)
{
    // The text must really arrive: a full disk or a closed pipe is a failure.
    auto written = [&out, &err](const char* what) {
        out.flush();
        if (out)
            return 0;
        err << "zarnix4: cannot write the " << what << "\n";
        return 1;
    };
    if (options.help) {
        out << UsageText();
        return written("help text");
    }
    if (options.version) {
        out << "Zarnix " ZARNIX_VERSION "\n";
        return written("version");
    }
    if (!options.exportPath.empty())
        return RunExportCommand(options, err);
    if (options.info)
        return RunInfoCommand(options, out, err);

    // --save-as: the document as a view with default settings would save it.
    auto view = std::make_unique<CFractalRenderer>();
    CZarnix4Doc doc;
    std::string error;
    if (options.file.empty()) {
        doc.OnNewDocument();
    } else if (LoadFailure failure{}; !doc.Load(options.file, view.get(), error, &failure)) {
        err << "zarnix4: " << LoadErrorText(options.file, failure, error) << "\n";
        return 1;
    }
    CommandLineInterrupt interrupt;
    if (!doc.Save(options.saveAs, view.get(), error)) {
        if (CommandLineInterrupt::Interrupted()) {
            err << "zarnix4: saving '" << options.saveAs << "' interrupted; the file was not written\n";
            return CommandLineInterrupt::ExitStatus();
        }
        err << "zarnix4: cannot write '" << options.saveAs << "': " << error << "\n";
        return 1;
    }
    return 0;
}
