// A fill-mode bitmap export is the picture the window shows, upright: the same side of the
// curve is filled whichever way the baseline runs, and for every example document.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/export_test_support.h"
#include "document/zarnix4_doc.h"
#include "export/export_sequence.h"
#include "view/fractal_renderer.h"

using namespace export_test;

namespace {

// White, the fill's gray, the outline's black; the overlay's light colours are one more shade.
int Shade(uint32_t pixel)
{
    switch (pixel & 0xFFFFFF) {
    case 0xFFFFFF: return 0;
    case 0x808080: return 1;
    case 0x000000: return 2;
    default: return 3;
    }
}

// How many pixels of `a` have no pixel of the same shade within one pixel of the same place in
// `b`. The window draws its picture the right way up and the export upside down, which lands
// lines and fill edges up to a row apart and can close a one-pixel sliver of fill between two
// lines; a fill of the wrong side differs almost everywhere.
int Unmatched(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int32_t w, int32_t h)
{
    int misses = 0;
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const int shade = Shade(a[static_cast<size_t>(y * w + x)]);
            bool found = false;
            for (int32_t v = y - 1; v <= y + 1 && !found; ++v)
                for (int32_t u = x - 1; u <= x + 1 && !found; ++u)
                    found = u >= 0 && v >= 0 && u < w && v < h && Shade(b[static_cast<size_t>(v * w + u)]) == shade;
            misses += !found;
        }
    }
    return misses;
}

std::vector<uint32_t> ScreenPicture(CFractalRenderer& r, const CPattern& pattern)
{
    r.m_bRedraw = 1;
    r.BeginDraw();
    r.DrawScene(pattern);
    r.EndDraw();
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < r.m_nHeight; ++y)
        pixels.insert(pixels.end(), r.m_bitmap.Row(y), r.m_bitmap.Row(y) + r.m_nWidth);
    return pixels;
}

// The picture of a 32-bit bitmap file as it is seen: its last stored row on top.
std::vector<uint32_t> FilePicture(const std::string& bytes, int32_t w, int32_t h)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h));
    if (bytes.size() != 54 + pixels.size() * 4) {
        ADD_FAILURE() << "a file of " << bytes.size() << " bytes";
        return pixels;
    }
    for (int32_t y = 0; y < h; ++y)
        std::memcpy(pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w),
                    bytes.data() + 54 + static_cast<size_t>(h - 1 - y) * 4u * static_cast<size_t>(w), 4u * static_cast<size_t>(w));
    return pixels;
}

// Paints the screen's picture in fill mode, exports a bitmap of the view's size and compares.
void ExpectExportShowsTheScreen(CFractalRenderer& r, const CPattern& pattern, const std::string& file)
{
    r.m_bFill = 1;
    // A Draw Limit whose point budget lies beyond the polygon's capacity, which the export
    // shares: both pictures hold the same points.
    r.m_nDrawLimit = 20000;
    const std::vector<uint32_t> screen = ScreenPicture(r, pattern);
    ASSERT_EQ(r.m_drawOutcome, DrawOutcome::Complete);
    size_t gray = 0;
    for (uint32_t pixel : screen)
        gray += Shade(pixel) == 1;
    // One side of the curve is filled, not all or nothing.
    EXPECT_GT(gray, screen.size() / 20);
    EXPECT_LT(gray, screen.size() * 19 / 20);

    std::string error;
    const ExportSettings settings{pattern.m_count, r.m_nWidth, r.m_nHeight, r.m_nIterations};
    ASSERT_EQ(RunExport(r, pattern, EXPORT_TYPE_BITMAP, file, settings, nullptr, &error), ExportResult::Exported) << error;
    const std::vector<uint32_t> exported = FilePicture(ReadBytes(file), r.m_nWidth, r.m_nHeight);
    const int allowed = static_cast<int>(screen.size() / 500);
    EXPECT_LE(Unmatched(screen, exported, r.m_nWidth, r.m_nHeight), allowed);
    EXPECT_LE(Unmatched(exported, screen, r.m_nWidth, r.m_nHeight), allowed);
}

}  // namespace

TEST(ExportFillTest, BitmapFillsTheSideTheScreenFills)
{
    ScratchFolder folder;
    struct Case {
        const char* name;
        CPattern pattern;
    };
    const Case cases[] = {
        {"left to right", MakePattern({{-60, 0}, {-20, 0}, {0, 30}, {20, 0}, {60, 0}})},
        {"right to left", MakePattern({{60, 10}, {20, 10}, {0, -20}, {-20, 10}, {-60, 10}})},
        {"upwards", MakePattern({{5, -50}, {5, -15}, {-25, 0}, {5, 15}, {5, 50}})},
        {"downwards", MakePattern({{0, 50}, {0, 15}, {30, 0}, {0, -15}, {0, -50}})},
        {"slanted dragon", MakePattern({{-50, -30}, {10, 40}, {40, 20}}, {KNEE_REVERSE, 0})},
    };
    for (const Case& c : cases) {
        // An even and an odd height: the upside-down drawing turns about the centre row.
        for (int32_t height : {90, 91}) {
            SCOPED_TRACE(testing::Message() << c.name << ", height " << height);
            auto r = MakeRenderer(120, height);
            r->m_nIterations = 4;
            ExpectExportShowsTheScreen(*r, c.pattern, folder.File("fill.bmp"));
        }
    }
}

TEST(ExportFillTest, EveryExampleExportsInFillModeAsTheScreenShowsIt)
{
    ScratchFolder folder;
    const std::filesystem::path examples = std::filesystem::path(ZARNIX_TEST_DATA_DIR) / ".." / ".." / "examples";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(examples)) {
        if (entry.path().extension() != ".zarnix")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++count;
        auto r = MakeRenderer(400, 300);
        CZarnix4Doc doc;
        std::string error;
        ASSERT_TRUE(doc.Load(entry.path().string(), r.get(), error)) << error;
        // The examples' views are made for 900 x 700 windows; half the scale frames them here.
        r->m_transform.m_scale *= 0.5f;
        ExpectExportShowsTheScreen(*r, doc.m_pattern, folder.File("example.bmp"));
    }
    EXPECT_GE(count, 6);
}
