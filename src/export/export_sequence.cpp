#include "export/export_sequence.h"

#include <cstdint>

#include "export/export_estimate.h"
#include "export/export_target.h"
#include "export/illustrator_writer.h"
#include "export/svg_writer.h"
#include "render/smooth_renderer.h"
#include "view/fractal_renderer.h"

namespace {

// The part of the view that an export changes, saved at the start and put back, bit for bit,
// however the export ends.
class ViewStateGuard {
public:
    ViewStateGuard(CFractalRenderer& r, CExportProgress* progress) : m_r(r), m_saved(r.DrawSettings())
    {
        m_r.m_pProgress = progress;
        m_r.m_bCancelled = false;
    }

    ~ViewStateGuard()
    {
        if (m_bitmapUsed) {
            // The bitmap holds the export's upside-down picture at the export size: drop it,
            // have the next paint make a screen-sized one and draw the view's picture anew,
            // even when the export size was the view's size.
            m_r.DeleteBitmap();
            m_r.m_nRecreateBitmap = 1;
            m_r.m_bRedraw = 1;
        }
        m_r.SetDrawSettings(m_saved);
        m_r.m_pProgress = nullptr;
        m_r.m_bCancelled = false;
    }

    ViewStateGuard(const ViewStateGuard&) = delete;
    ViewStateGuard& operator=(const ViewStateGuard&) = delete;

    int32_t Width() const { return m_saved.width; }
    float Scale() const { return m_saved.scale; }
    void MarkBitmapUsed() { m_bitmapUsed = true; }

private:
    CFractalRenderer& m_r;
    const CDrawSettings m_saved;
    bool m_bitmapUsed = false;
};

// The bitmap file's sizes are 32-bit: 54 header bytes and 4 bytes a pixel must fit.
bool FitsBitmapFile(int32_t width, int32_t height)
{
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    return pixels <= (UINT32_MAX - 54) / 4;
}

}  // namespace

std::string FileExtension(const std::string& fileName)
{
    const size_t slash = fileName.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || dot <= nameStart)
        return {};
    return fileName.substr(dot + 1);
}

std::string CompleteExportFileName(const std::string& fileName, int typeIndex)
{
    if (fileName.empty() || !FileExtension(fileName).empty())
        return fileName;
    const char* extension = typeIndex == EXPORT_TYPE_BITMAP ? "bmp"
                            : typeIndex == EXPORT_TYPE_PNG  ? "png"
                            : typeIndex == EXPORT_TYPE_SVG  ? "svg"
                                                            : "ai";
    std::string completed = fileName;
    const size_t slash = fileName.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // "picture." has an empty extension: it gets one, without doubling the dot. A hidden
    // file's leading dot is part of its name.
    if (completed.back() != '.' || completed.size() - 1 == nameStart)
        completed += '.';
    completed += extension;
    return completed;
}

ExportResult RunExport(CFractalRenderer& renderer, const CPattern& pattern, int typeIndex,
                       const std::string& fileName, const ExportSettings& settings,
                       CExportProgress* progress, std::string* error, std::string* writtenName)
{
    auto fail = [error](std::string why) {
        if (error != nullptr)
            *error = std::move(why);
        return ExportResult::Failed;
    };
    auto cancelled = [error] {
        if (error != nullptr)
            *error = "the export was cancelled";
        return ExportResult::Cancelled;
    };
    const std::string name = CompleteExportFileName(fileName, typeIndex);
    if (writtenName != nullptr)
        *writtenName = name;

    // Everything that can be refused is refused before the view is touched.
    if (typeIndex < EXPORT_TYPE_BITMAP || typeIndex > EXPORT_TYPE_SVG)
        return fail("unknown file type");
    if (name.empty())
        return fail("no file name was given");
    if (settings.iterations < EXPORT_MIN_ITERATIONS || settings.iterations > EXPORT_MAX_ITERATIONS)
        return fail("the iterations must lie between 0 and 255");
    if (settings.width <= 0 || settings.height <= 0)
        return fail("the picture must be at least 1 by 1 pixel");
    if (renderer.m_nWidth <= 0)
        return fail("the view has no width to take the scale from");
    if (typeIndex == EXPORT_TYPE_BITMAP && !FitsBitmapFile(settings.width, settings.height))
        return fail("the picture is too large for a bitmap file");
    // The PNG type draws into a picture of 4 bytes a pixel in memory: the same bound.
    if (typeIndex == EXPORT_TYPE_PNG && !FitsBitmapFile(settings.width, settings.height))
        return fail("the picture is too large for a PNG export");
    std::string why;
    if (!CheckExportTarget(name, &why))
        return fail(why);
    // A file larger than the room left for it is refused before anything is written.
    const double estimate = EstimateExportBytes(typeIndex, pattern, settings, renderer.m_bShowPattern != 0,
                                                renderer.m_bShowFractal != 0);
    if (!CheckExportSpace(name, estimate, &why))
        return fail(why);

    ViewStateGuard saved(renderer, progress);
    renderer.SetCanvasSize(settings.width, settings.height);
    renderer.m_nIterations = settings.iterations;
    renderer.m_bTimeLimit = 0;
    // The same horizontal extent in pattern units at the new width; the height follows.
    renderer.m_transform.m_scale = static_cast<float>(
        static_cast<double>(renderer.m_nWidth) * static_cast<double>(saved.Scale()) / static_cast<double>(saved.Width()));

    if (typeIndex == EXPORT_TYPE_BITMAP) {
        saved.MarkBitmapUsed();
        // Drawn upside down: the file stores the top canvas row as its bottom row.
        renderer.m_transform.m_flipY = true;
        renderer.m_nRecreateBitmap = 2;
        renderer.RecreateBitmap();
        if (renderer.m_bitmap.IsEmpty() || renderer.m_bitmap.Width() != settings.width ||
            renderer.m_bitmap.Height() != settings.height)
            return fail("there is not enough memory for a picture of that size");
        // The file takes the picture's top rows while the bands below are still drawn.
        CBitmapFileStream file;
        if (!file.Open(renderer, name.c_str(), &why))
            return fail(why);
        renderer.m_pFinishedRows = &file;
        renderer.BeginDraw();
        renderer.DrawScene(pattern);
        renderer.EndDraw();
        renderer.m_pFinishedRows = nullptr;
        // A last word from the progress object before the file is finished, so that a stop
        // asked for at the very end still leaves no file.
        if (!renderer.m_bCancelled && progress != nullptr && !progress->Continue(1.0))
            renderer.m_bCancelled = true;
        if (renderer.m_bCancelled)
            return cancelled();
        if (!file.Close(&why))
            return fail(why);
        return ExportResult::Exported;
    }

    if (typeIndex == EXPORT_TYPE_PNG) {
        // Drawn upright: the picture's rows are stored top first.
        CRgbaImage image;
        const bool drawn = DrawSmoothScene(renderer, pattern, settings.style, &image, &why);
        if (!renderer.m_bCancelled && drawn && progress != nullptr && !progress->Continue(1.0))
            renderer.m_bCancelled = true;
        if (renderer.m_bCancelled)
            return cancelled();
        if (!drawn || !WritePng(image, name, &why))
            return fail(why);
        return ExportResult::Exported;
    }

    const int written = typeIndex == EXPORT_TYPE_SVG ? ExportSvg(renderer, pattern, settings.style, name.c_str(), &why)
                                                     : ExportIllustrator(renderer, pattern, name.c_str(), &why);
    if (!written)
        return renderer.m_bCancelled ? cancelled() : fail(why);
    return ExportResult::Exported;
}
