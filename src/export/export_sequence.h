// One export as the Export command carries it out, shared by the editor's window and the
// command line: the file name completed with the type's extension, the view set to the export
// size, iterations and scale with the time limit off, the picture drawn and written (bitmap)
// or generated into an Illustrator file, and the view put back exactly as it was.
#pragma once

#include <string>

#include "export/export_settings.h"

class CExportProgress;
class CFractalRenderer;
class CPattern;

// File types, as numbered in the export dialog's type list.
constexpr int EXPORT_TYPE_BITMAP = 1;
constexpr int EXPORT_TYPE_ILLUSTRATOR = 2;
constexpr int EXPORT_TYPE_PNG = 3;  // antialiased, in the settings' style
constexpr int EXPORT_TYPE_SVG = 4;  // vector paths in pattern coordinates, in the settings' style

enum class ExportResult {
    Exported,   // the file was written
    Failed,     // nothing was written; the error says why
    Cancelled,  // the progress object asked to stop; nothing was written
};

// The extension of the file name proper (the part after the last folder separator): the text
// after its last dot, without the dot. A leading dot (a hidden file's name) is no extension.
std::string FileExtension(const std::string& fileName);

// The name a file of the given type is written to: a name without an extension gets ".bmp"
// for the bitmap type, ".png" for PNG, ".svg" for SVG and ".ai" for any other; a name with
// any extension stays as it is, and
// the type alone decides the format. A name ending in a dot gets the extension without a
// second dot.
std::string CompleteExportFileName(const std::string& fileName, int typeIndex);

// Runs one export of `pattern` as seen by `renderer` (its canvas size is the view's size).
// `typeIndex` is one of the EXPORT_TYPE_ values; PNG and SVG draw in `settings.style`. `progress` (may be null) is
// asked now and then whether to go on. Whatever happens, the renderer's view state (canvas
// size, iterations, scale, time limit, y direction) is the same afterwards, and the next paint
// draws the view's picture anew after a bitmap export. `writtenName`, if given, receives the
// completed file name.
ExportResult RunExport(CFractalRenderer& renderer, const CPattern& pattern, int typeIndex,
                       const std::string& fileName, const ExportSettings& settings,
                       CExportProgress* progress, std::string* error,
                       std::string* writtenName = nullptr);
