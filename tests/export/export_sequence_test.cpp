// One export as the Export command runs it: the completed file name, the view set to the
// export size and scale for the export's duration, the picture it writes, and the view
// restored bit for bit on every way out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/export_test_support.h"
#include "export/export_sequence.h"
#include "view/fractal_renderer.h"

using namespace export_test;

namespace {

TEST(ExportFileNameTest, ExtensionIsAddedOnlyWhenThereIsNone)
{
    EXPECT_EQ(CompleteExportFileName("picture", EXPORT_TYPE_BITMAP), "picture.bmp");
    EXPECT_EQ(CompleteExportFileName("picture", EXPORT_TYPE_ILLUSTRATOR), "picture.ai");
    EXPECT_EQ(CompleteExportFileName("picture", EXPORT_TYPE_PNG), "picture.png");
    EXPECT_EQ(CompleteExportFileName("picture.", EXPORT_TYPE_SVG), "picture.svg");
    EXPECT_EQ(CompleteExportFileName("picture.bmp", EXPORT_TYPE_SVG), "picture.bmp");
    EXPECT_EQ(CompleteExportFileName("picture", 7), "picture.ai");
    EXPECT_EQ(CompleteExportFileName("picture.png", EXPORT_TYPE_BITMAP), "picture.png");
    EXPECT_EQ(CompleteExportFileName("picture.bmp", EXPORT_TYPE_ILLUSTRATOR), "picture.bmp");
    EXPECT_EQ(CompleteExportFileName("/tmp/v1.2/picture", EXPORT_TYPE_BITMAP), "/tmp/v1.2/picture.bmp");
    EXPECT_EQ(CompleteExportFileName("/tmp/v1.2/picture.x", EXPORT_TYPE_BITMAP), "/tmp/v1.2/picture.x");
    EXPECT_EQ(CompleteExportFileName(".picture", EXPORT_TYPE_BITMAP), ".picture.bmp");
    EXPECT_EQ(CompleteExportFileName("dir/.picture", EXPORT_TYPE_ILLUSTRATOR), "dir/.picture.ai");
    EXPECT_EQ(CompleteExportFileName("picture.", EXPORT_TYPE_BITMAP), "picture.bmp");
    EXPECT_EQ(CompleteExportFileName("", EXPORT_TYPE_BITMAP), "");
    EXPECT_EQ(FileExtension("a/b.c/picture.AI"), "AI");
    EXPECT_EQ(FileExtension("a/b.c/picture"), "");
}

// The part of the renderer that an export may change and must give back.
struct ViewState {
    CDrawSettings settings;
    POINT center;
    RECT client;
    CExportProgress* progress;
    bool cancelled;

    static ViewState Of(const CFractalRenderer& r)
    {
        return ViewState{r.DrawSettings(), r.m_transform.m_center, r.m_rcClient, r.m_pProgress, r.m_bCancelled};
    }
};

void ExpectSameState(const ViewState& a, const ViewState& b)
{
    EXPECT_EQ(a.settings, b.settings);
    EXPECT_EQ(a.center, b.center);
    EXPECT_EQ(a.client.right, b.client.right);
    EXPECT_EQ(a.client.bottom, b.client.bottom);
    EXPECT_EQ(a.progress, b.progress);
    EXPECT_EQ(a.cancelled, b.cancelled);
}

// Records the renderer's state while the export runs; optionally stops it.
class Probe : public CExportProgress {
public:
    Probe(const CFractalRenderer& r, bool stop) : m_r(r), m_stop(stop) {}
    bool Continue(double fraction) override
    {
        during = ViewState::Of(m_r);
        lastFraction = fraction;
        ++calls;
        return !m_stop;
    }
    ViewState during{};
    double lastFraction = -1.0;
    int calls = 0;

private:
    const CFractalRenderer& m_r;
    bool m_stop;
};

// The picture as the view paints it: the canvas-sized part of the bitmap after a paint.
std::vector<uint32_t> Paint(CFractalRenderer& r, const CPattern& pattern)
{
    r.BeginDraw();
    if (r.m_bRedraw)
        r.DrawScene(pattern);
    r.EndDraw();
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < r.m_nHeight; ++y)
        pixels.insert(pixels.end(), r.m_bitmap.Row(y), r.m_bitmap.Row(y) + r.m_nWidth);
    return pixels;
}

// The pixels of a 32-bit bitmap file, top row of the picture first.
std::vector<uint32_t> PictureOfFile(const std::string& file, int32_t width, int32_t height)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        const size_t row = 54 + static_cast<size_t>(height - 1 - y) * 4u * static_cast<size_t>(width);
        std::memcpy(pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width), file.data() + row,
                    4u * static_cast<size_t>(width));
    }
    return pixels;
}

bool IsDark(uint32_t pixel)
{
    return (pixel & 0xFF) < 64;
}

// How many dark pixels of picture `a` have no dark pixel of picture `b` within `radius` pixels
// of the corresponding position. `factor` is the size ratio of the larger picture to the
// smaller: positions are multiplied by it when `b` is the larger, divided when it is the
// smaller, and kept when both have the same size.
int Mismatches(const std::vector<uint32_t>& a, int32_t aw, int32_t ah, const std::vector<uint32_t>& b, int32_t bw,
               int32_t bh, int32_t factor, int32_t radius)
{
    const bool up = bw >= aw;
    const int32_t f = bw == aw ? 1 : factor;
    int misses = 0;
    for (int32_t y = 0; y < ah; ++y) {
        for (int32_t x = 0; x < aw; ++x) {
            if (!IsDark(a[static_cast<size_t>(y * aw + x)]))
                continue;
            const int32_t cx = up ? x * f : x / f, cy = up ? y * f : y / f;
            bool found = false;
            for (int32_t v = cy - radius; v <= cy + radius && !found; ++v)
                for (int32_t u = cx - radius; u <= cx + radius && !found; ++u)
                    found = u >= 0 && v >= 0 && u < bw && v < bh && IsDark(b[static_cast<size_t>(v * bw + u)]);
            if (!found) {
                ++misses;
                ADD_FAILURE() << "dark pixel " << x << "," << y << " has no counterpart";
            }
        }
    }
    return misses;
}

struct Box {
    int32_t left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

Box DarkBox(const std::vector<uint32_t>& pixels, int32_t w, int32_t h)
{
    Box box;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            if (IsDark(pixels[static_cast<size_t>(y * w + x)])) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

// A zigzag that fills much of an 80 x 60 view, drawn without the pattern overlay so that
// every dark pixel belongs to the fractal.
CPattern Zigzag()
{
    return MakePattern({{-30, -10}, {-10, 15}, {10, -15}, {30, 10}});
}

class ExportSequenceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        renderer = MakeRenderer(80, 60);
        renderer->m_bShowPattern = 0;
        renderer->m_nIterations = 2;
        renderer->m_transform.m_origin = PointF{1.5f, -2.0f};
        renderer->m_transform.m_scale = 1.25f;
    }

    ExportResult Run(int type, const std::string& name, ExportSettings settings, CExportProgress* progress = nullptr)
    {
        error.clear();
        return RunExport(*renderer, pattern, type, folder.File(name), settings, progress, &error, &written);
    }

    ScratchFolder folder;
    std::unique_ptr<CFractalRenderer> renderer;
    CPattern pattern = Zigzag();
    std::string error;
    std::string written;
};

TEST_F(ExportSequenceTest, DoubleSizeBitmapDoublesTheScaleAndShowsTheSameRegion)
{
    const std::vector<uint32_t> view = Paint(*renderer, pattern);
    const ViewState before = ViewState::Of(*renderer);
    Probe probe(*renderer, false);

    ASSERT_EQ(Run(EXPORT_TYPE_BITMAP, "double", {4, 160, 120, 2}, &probe), ExportResult::Exported) << error;
    EXPECT_EQ(written, folder.File("double.bmp"));

    // While the export ran: export size and iterations, twice the scale, no time limit, drawn
    // upside down; nothing else changed.
    ASSERT_GE(probe.calls, 1);
    CDrawSettings during = before.settings;
    during.width = 160;
    during.height = 120;
    during.iterations = 2;
    during.scale = 2.5f;
    during.timeLimit = 0;
    during.flipY = true;
    EXPECT_EQ(probe.during.settings, during);
    EXPECT_EQ(probe.during.progress, &probe);

    ExpectSameState(ViewState::Of(*renderer), before);

    // Every dark pixel of the view has a dark pixel near its doubled position in the file, and
    // the other way round. "Near" allows for rounding at the two scales and for the upside-down
    // drawing, which mirrors about the centre row and so lands one row off the file's own flip.
    const std::vector<uint32_t> file = PictureOfFile(ReadBytes(written), 160, 120);
    EXPECT_EQ(Mismatches(view, 80, 60, file, 160, 120, 2, 3), 0);
    EXPECT_EQ(Mismatches(file, 160, 120, view, 80, 60, 2, 2), 0);
    const Box viewBox = DarkBox(view, 80, 60), fileBox = DarkBox(file, 160, 120);
    EXPECT_GT(viewBox.right - viewBox.left, 60);
    EXPECT_NEAR(fileBox.left, 2 * viewBox.left, 3);
    EXPECT_NEAR(fileBox.right, 2 * viewBox.right, 3);
    EXPECT_NEAR(fileBox.top, 2 * viewBox.top, 3);
    EXPECT_NEAR(fileBox.bottom, 2 * viewBox.bottom, 3);
}

TEST_F(ExportSequenceTest, SameSizeBitmapIsTheViewUprightAndTheNextPaintRedraws)
{
    const std::vector<uint32_t> view = Paint(*renderer, pattern);
    ASSERT_EQ(Run(EXPORT_TYPE_BITMAP, "same.bmp", {4, 80, 60, 2}), ExportResult::Exported) << error;
    // The top row of the picture is the last row stored: the file shows the view upright
    // (one row off at most, from drawing it upside down about the centre row).
    const std::vector<uint32_t> file = PictureOfFile(ReadBytes(written), 80, 60);
    EXPECT_EQ(Mismatches(view, 80, 60, file, 80, 60, 1, 1), 0);
    EXPECT_EQ(Mismatches(file, 80, 60, view, 80, 60, 1, 1), 0);
    EXPECT_NE(file, view);  // the row offset, or the test would need no tolerance

    // The export drew upside down into the canvas; the next paint must not show that.
    EXPECT_EQ(renderer->m_bRedraw, 1);
    EXPECT_EQ(renderer->m_nRecreateBitmap, 1);
    EXPECT_EQ(Paint(*renderer, pattern), view);
    EXPECT_EQ(renderer->m_bitmap.Width(), 80);
}

TEST_F(ExportSequenceTest, PngAndSvgShowTheViewsRegionUprightInTheirStyle)
{
    const ViewState before = ViewState::Of(*renderer);
    ExportSettings settings{4, 160, 120, 3};
    settings.style.lineColor = RgbColor{200, 0, 0};
    ASSERT_EQ(Run(EXPORT_TYPE_SVG, "drawing", settings), ExportResult::Exported) << error;
    EXPECT_EQ(written, folder.File("drawing.svg"));
    const std::string svg = ReadBytes(written);
    // The region of the Illustrator test below: x -30.5 .. 33.5, y -26 .. 22 (top 22).
    EXPECT_NE(svg.find("width=\"160\" height=\"120\" viewBox=\"-30.5 -22 64 48\""), std::string::npos);
    EXPECT_NE(svg.find("stroke=\"#c80000\""), std::string::npos);
    ExpectSameState(ViewState::Of(*renderer), before);

    ASSERT_EQ(Run(EXPORT_TYPE_PNG, "picture", settings), ExportResult::Exported) << error;
    EXPECT_EQ(written, folder.File("picture.png"));
    EXPECT_EQ(ReadBytes(written).substr(0, 8), "\x89PNG\r\n\x1a\n");
    ExpectSameState(ViewState::Of(*renderer), before);
}

TEST_F(ExportSequenceTest, IllustratorExportCoversTheViewsRegion)
{
    const ViewState before = ViewState::Of(*renderer);
    ASSERT_EQ(Run(EXPORT_TYPE_ILLUSTRATOR, "picture", {4, 160, 120, 3}), ExportResult::Exported) << error;
    EXPECT_EQ(written, folder.File("picture.ai"));
    const std::vector<std::string> lines = SplitCrLf(ReadBytes(written));
    // The view shows x from 1.5 - 40 / 1.25 to 1.5 + 40 / 1.25, y from -2 - 24 to -2 + 24;
    // the export at twice the pixels and twice the scale shows the same.
    ASSERT_GT(lines.size(), 7u);
    EXPECT_EQ(lines[6], "%%HiResBoundingBox: -30.5000 -26.0000 33.5000 22.0000");
    // Three iterations of three segments: 27 lines after the start point.
    int lineOps = 0;
    for (const std::string& line : lines)
        lineOps += !line.empty() && line.back() == 'L' && line.find(' ') != std::string::npos;
    EXPECT_EQ(lineOps, 27);
    ExpectSameState(ViewState::Of(*renderer), before);
}

TEST_F(ExportSequenceTest, RefusalsWriteNothingAndLeaveTheViewAlone)
{
    Paint(*renderer, pattern);
    const ViewState before = ViewState::Of(*renderer);
    const uint8_t recreate = renderer->m_nRecreateBitmap;
    const ExportSettings bad[] = {
        {4, 0, 60, 2}, {4, 80, 0, 2}, {4, -5, 60, 2}, {4, 80, -1, 2},
        {4, 80, 60, 256}, {4, 80, 60, -1}, {4, 80, 60, 100000},
        {4, 40000, 30000, 2},  // a picture too large for a bitmap file (4.8 GB)
    };
    for (int type : {EXPORT_TYPE_BITMAP, EXPORT_TYPE_ILLUSTRATOR, EXPORT_TYPE_PNG, EXPORT_TYPE_SVG}) {
        for (const ExportSettings& settings : bad) {
            if ((type == EXPORT_TYPE_ILLUSTRATOR || type == EXPORT_TYPE_SVG) && settings.width == 40000)
                continue;  // vector files hold no pixels
            EXPECT_EQ(Run(type, "refused", settings), ExportResult::Failed)
                << type << ": " << settings.width << "x" << settings.height << " " << settings.iterations;
            EXPECT_FALSE(error.empty());
            ExpectSameState(ViewState::Of(*renderer), before);
            EXPECT_EQ(renderer->m_nRecreateBitmap, recreate);
        }
    }
    EXPECT_EQ(Run(5, "refused", {4, 80, 60, 2}), ExportResult::Failed);
    EXPECT_EQ(Run(0, "refused", {4, 80, 60, 2}), ExportResult::Failed);
    ExpectSameState(ViewState::Of(*renderer), before);

    // A view of width 0 gives no scale to start from.
    renderer->SetCanvasSize(0, 0);
    const ViewState empty = ViewState::Of(*renderer);
    EXPECT_EQ(Run(EXPORT_TYPE_BITMAP, "refused", {4, 80, 60, 2}), ExportResult::Failed);
    EXPECT_EQ(Run(EXPORT_TYPE_ILLUSTRATOR, "refused", {4, 80, 60, 2}), ExportResult::Failed);
    ExpectSameState(ViewState::Of(*renderer), empty);
    EXPECT_TRUE(folder.Entries().empty());
}

TEST_F(ExportSequenceTest, FailedWriteRestoresTheViewAndRedraws)
{
    const std::vector<uint32_t> view = Paint(*renderer, pattern);
    const ViewState before = ViewState::Of(*renderer);
    std::filesystem::create_directory(folder.File("taken.bmp"));
    std::filesystem::create_directory(folder.File("taken.ai"));
    EXPECT_EQ(Run(EXPORT_TYPE_BITMAP, "taken.bmp", {4, 80, 60, 2}), ExportResult::Failed);
    EXPECT_FALSE(error.empty());
    ExpectSameState(ViewState::Of(*renderer), before);
    EXPECT_EQ(Run(EXPORT_TYPE_ILLUSTRATOR, "taken.ai", {4, 80, 60, 2}), ExportResult::Failed);
    ExpectSameState(ViewState::Of(*renderer), before);
    EXPECT_EQ(renderer->m_bIllustrator, 0);
    EXPECT_EQ(Paint(*renderer, pattern), view);
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"taken.ai", "taken.bmp"}));
}

TEST_F(ExportSequenceTest, CancelledExportWritesNoFileAndRestoresTheView)
{
    const std::vector<uint32_t> view = Paint(*renderer, pattern);
    const ViewState before = ViewState::Of(*renderer);
    for (int type : {EXPORT_TYPE_BITMAP, EXPORT_TYPE_ILLUSTRATOR}) {
        for (int iterations : {2, 12}) {  // stopped after the drawing, and in the middle of it
            Probe stop(*renderer, true);
            EXPECT_EQ(Run(type, "stopped", {4, 160, 120, iterations}, &stop), ExportResult::Cancelled) << type;
            EXPECT_GE(stop.calls, 1);
            EXPECT_TRUE(stop.during.cancelled || stop.calls == 1);
            ExpectSameState(ViewState::Of(*renderer), before);
            EXPECT_EQ(renderer->m_bIllustrator, 0);
        }
    }
    EXPECT_TRUE(folder.Entries().empty());
    EXPECT_EQ(Paint(*renderer, pattern), view);
}

}  // namespace
