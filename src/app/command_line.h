// The command line: starting the editor, and the headless conversions and exports that
// need no display.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

class CPattern;

#include "render/render_style.h"

struct CommandLineOptions {
    std::string file;        // document to open or convert; empty for a new document
    std::string saveAs;      // --save-as OUT.zarnix
    std::string exportPath;  // --export OUT
    std::string type;        // --type bmp|ai|png|svg; empty: from the extension of OUT
    int viewWidth = 800;     // --view WxH: the window the export is framed in
    int viewHeight = 600;
    std::optional<int> width;   // --width: picture width; default the view's, or coupled to
    std::optional<int> height;  // --height as the export dialog couples them
    bool fit = false;           // --fit: frame the whole fractal instead of the stored view
    std::optional<int> iterations;  // --iterations
    std::optional<int> detail;      // --detail
    std::optional<int> threads;     // --threads: overrides ZARNIX_THREADS
    bool info = false;  // --info
    CRenderStyle style;             // --line-width, --color, ... (PNG and SVG)
    bool styleGiven = false;        // any of the rendering options was given
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name and checks the ranges of the numbers
// (width, height and the view's sides 1 to 1,000,000, iterations 0 to 255, detail 1 to 99,
// line width 0.5 to 20), the type (bmp, ai, png or svg) and the colours.
// False with `error` for an unknown option,
// a missing or malformed value, or a combination that makes no sense.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLineOptions& options, std::string& error);

// The ZARNIX_THREADS check for the options: an export without --threads refuses an invalid
// value (false, with `error`); --threads overrides the variable, and other uses ignore it.
bool CheckThreadEnvironment(const CommandLineOptions& options, std::string& error);

// True when the options ask for something done without a window (help, version, save-as,
// export, info).
bool IsHeadless(const CommandLineOptions& options);

// Carries out a headless request; returns the process exit status. Messages go to `out`
// (help, version) and `err` (errors, progress).
int RunHeadless(const CommandLineOptions& options, std::ostream& out, std::ostream& err);

// The --info part of RunHeadless: FractalInfoJson of the document on `out`.
int RunInfoCommand(const CommandLineOptions& options, std::ostream& out, std::ostream& err);

// One JSON object (ending in a new line) with the file name, segments, iterations, lines at
// those iterations (and whether the count saturated at 2^64 - 1), the similarity dimension
// (null when unbounded) and the fractal's bounding box in pattern coordinates.
std::string FractalInfoJson(const CPattern& pattern, int32_t iterations, const std::string& file);

// The --export part of RunHeadless.
int RunExportCommand(const CommandLineOptions& options, std::ostream& err);

// The terminal progress line of an export after its file name: lines written, the share of
// the path done with one decimal, and the time left at the rate so far, for example
// "1,234,567 lines, 12.3%, about 2 min left".
std::string FormatExportProgress(uint64_t lines, double fraction, double elapsedSeconds);

std::string UsageText();
