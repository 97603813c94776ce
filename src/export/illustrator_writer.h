// The Illustrator writer: the picture a renderer is set up for as an Adobe Illustrator 5
// file (header, bounding box, prolog, the Pattern and Fractal layers, trailer), in pattern
// coordinates. The fractal's points arrive through the path sink from the generator's walk.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "export/path_sink.h"
#include "platform/file.h"

class CFractalRenderer;
class CPattern;

// The Illustrator path sink and the writing primitives on the Illustrator file.
class CIllustratorWriter : public IPathSink {
public:
    // WritePathPoint; false once the file failed to take a write.
    bool PathPoint(PointF p, uint8_t kind, uint8_t /*depth*/) override
    {
        WritePathPoint(&p, kind);
        return !m_aiFile.Failed();
    }

    // A point of the fractal's path: "m" for the start; "L" for a line; for a hidden knee,
    // without fill, "S" ends the stroked path and an "m" line starts the next one, while in
    // fill mode it is an "L" line, so that the outline stays one closed polygon.
    void WritePathPoint(const PointF* p, uint8_t kind);
    // One point line, "\r\n%.4f %.4f m" for flag 1 and "... L" for any other.
    void WritePoint(float x, float y, uint8_t flag);
    void WriteText(const char* text);
    void WriteText(std::string_view text);
    // A part that formats its points on the thread that generates them.
    std::unique_ptr<IPathPart> NewPart() override;
    void WriteResourceString(int id);

    CFile m_aiFile;
    bool m_bFill = false;  // fill mode: hidden knees stay in the outline
};

// Writes the picture as an Illustrator 5 file: 1 when written, 0 when not (then `error`, if
// given, says why and no file is left behind). The renderer is in Illustrator mode while
// the fractal is generated and never after.
int ExportIllustrator(CFractalRenderer& renderer, const CPattern& pattern, const char* fileName,
                      std::string* error = nullptr);
