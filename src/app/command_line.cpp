#include "app/command_line.h"

#include <charconv>
#include <memory>
#include <ostream>

#include "document/zarnix4_doc.h"
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

}  // namespace

std::string UsageText()
{
    return "Usage: zarnix4 [FILE]\n"
           "       zarnix4 [FILE] --save-as OUT.zarnix\n"
           "       zarnix4 FILE --export OUT [--type bmp|ai] [--width W] [--height H]\n"
           "                                 [--iterations N] [--detail D]\n"
           "       zarnix4 FILE --info\n"
           "\n"
           "Zarnix 4 draws and edits line fractals. Without options it opens the editor,\n"
           "with FILE open if given.\n"
           "\n"
           "Options:\n"
           "  --save-as OUT      read FILE (or make a new document) and write it to OUT\n"
           "  --export OUT       write the picture of FILE to OUT without a window, as the\n"
           "                     Export command would from a view of W by H pixels\n"
           "  --type bmp|ai      the export format; default: .ai files are Illustrator,\n"
           "                     anything else a bitmap\n"
           "  --width W          view and picture width in pixels (default 800)\n"
           "  --height H         view and picture height in pixels (default 600)\n"
           "  --iterations N     iterations of the export, 0 to 255 (default: the document's)\n"
           "  --detail D         smallest line drawn in pixels, 1 to 99 (default 2)\n"
           "  --info             print FILE's segments, lines, similarity dimension and\n"
           "                     bounding box as one JSON object\n"
           "  -h, --help         show this help and exit\n"
           "  -v, --version      show the version and exit\n";
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLineOptions& options, std::string& error)
{
    options = CommandLineOptions{};
    bool widthGiven = false, heightGiven = false, onlyFiles = false;
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
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        static const char* const kWithValue[] = {"--save-as", "--export", "--type", "--width",
                                                 "--height", "--iterations", "--detail"};
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
            if (value != "bmp" && value != "ai") {
                error = "unknown export type '" + value + "' (use bmp or ai)";
                return false;
            }
            options.type = value;
        } else if (name == "--width") {
            if (!number(1, 1000000, options.width))
                return false;
            widthGiven = true;
        } else if (name == "--height") {
            if (!number(1, 1000000, options.height))
                return false;
            heightGiven = true;
        } else if (name == "--iterations") {
            int v = 0;
            if (!number(0, 255, v))
                return false;
            options.iterations = v;
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
    bool exportOptions = !options.type.empty() || widthGiven || heightGiven || options.iterations || options.detail;
    if (exportOptions && options.exportPath.empty()) {
        error = "--type, --width, --height, --iterations and --detail only go with --export";
        return false;
    }
    return true;
}

bool IsHeadless(const CommandLineOptions& options)
{
    return options.help || options.version || options.info || !options.saveAs.empty() || !options.exportPath.empty();
}

int RunHeadless(const CommandLineOptions& options, std::ostream& out, std::ostream& err)
{
    if (options.help) {
        out << UsageText();
        return 0;
    }
    if (options.version) {
        out << "Zarnix " ZARNIX_VERSION "\n";
        return 0;
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
    } else if (!doc.Load(options.file, view.get(), error)) {
        err << "zarnix4: cannot open '" << options.file << "': " << error << "\n";
        return 1;
    }
    if (!doc.Save(options.saveAs, view.get(), error)) {
        err << "zarnix4: cannot write '" << options.saveAs << "': " << error << "\n";
        return 1;
    }
    return 0;
}
