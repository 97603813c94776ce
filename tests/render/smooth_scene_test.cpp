// The antialiased scene against the canvas's own picture of the same view, its gradient and
// construction lines, cancellation, and the PNG files written from it.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/renderer_test_support.h"
#include "common/test_util.h"
#include "render/smooth_renderer.h"

namespace {

using renderer_test::MakePattern;

const uint8_t* PixelOf(const CRgbaImage& image, int x, int y)
{
    return image.pixels.data() + (static_cast<size_t>(y) * image.width + x) * 4;
}

// A dragon-like pattern in a 240 x 180 view centred on it.
std::unique_ptr<CFractalRenderer> DragonView(CPattern* pattern)
{
    auto r = std::make_unique<CFractalRenderer>();
    r->SetScreenSize(240, 180);
    r->SetCanvasSize(240, 180);
    r->m_transform.m_scale = 0.8f;
    r->m_nIterations = 10;
    r->m_bShowPattern = 0;
    r->m_bTimeLimit = 0;
    *pattern = MakePattern({{-100.0f, 0.0f}, {0.0f, -100.0f}, {100.0f, 0.0f}}, {KNEE_REVERSE, 0});
    return r;
}

// Compares the antialiased picture with the canvas's picture of the same view: where the
// canvas has a uniform neighbourhood (2 pixels around), the smooth picture has the matching
// colour; every line pixel of the canvas is next to a dark smooth pixel.
void ExpectSameShape(CFractalRenderer& r, const CPattern& pattern, const CRenderStyle& style)
{
    renderer_test::Paint(r, pattern);
    CRgbaImage image;
    std::string error;
    ASSERT_TRUE(DrawSmoothScene(r, pattern, style, &image, &error)) << error;
    ASSERT_EQ(image.width, 240);
    ASSERT_EQ(image.height, 180);
    int uniform = 0;
    for (int y = 2; y < 178; ++y) {
        for (int x = 2; x < 238; ++x) {
            const uint32_t c = r.m_bitmap.Pixel(x, y) & 0xFFFFFF;
            bool same = true;
            bool nearLine = false;
            for (int dy = -2; dy <= 2; ++dy) {
                for (int dx = -2; dx <= 2; ++dx) {
                    same = same && (r.m_bitmap.Pixel(x + dx, y + dy) & 0xFFFFFF) == c;
                    nearLine = nearLine || (std::abs(dx) <= 1 && std::abs(dy) <= 1 && PixelOf(image, x + dx, y + dy)[0] < 160);
                }
            }
            if (c == 0) {
                EXPECT_TRUE(nearLine) << x << "," << y;
            }
            if (!same)
                continue;
            ++uniform;
            const RgbColor want = c == 0xFFFFFF ? style.background : style.fillColor;
            ASSERT_EQ(PixelOf(image, x, y)[0], want.r) << x << "," << y << " canvas " << std::hex << c;
            ASSERT_EQ(PixelOf(image, x, y)[2], want.b) << x << "," << y;
        }
    }
    EXPECT_GT(uniform, 1000);
}

TEST(SmoothSceneTest, DrawsTheCanvasPictureAntialiased)
{
    CPattern pattern;
    auto r = DragonView(&pattern);
    CRenderStyle style;
    style.fillColor = RgbColor{100, 150, 200};
    ExpectSameShape(*r, pattern, style);

    // Fill mode: the even-odd polygon closed along the canvas border as the canvas closes it.
    r->m_bFill = 1;
    r->m_transform.m_origin = PointF{30.0f, -60.0f};
    r->m_transform.m_scale = 1.6f;
    ExpectSameShape(*r, pattern, style);

    // Lines off the pixel grid have intermediate grey levels (at an odd depth the dragon's
    // lines are diagonal).
    r->m_bFill = 0;
    r->m_nIterations = 9;
    CRgbaImage image;
    ASSERT_TRUE(DrawSmoothScene(*r, pattern, style, &image, nullptr));
    int greys = 0;
    for (size_t i = 0; i < image.pixels.size(); i += 4)
        greys += image.pixels[i] > 20 && image.pixels[i] < 235;
    EXPECT_GT(greys, 200);
}

// A picture drawn into the image of the previous one (which clears only the rows that one
// drew on) is the picture drawn into a new image: after lines, a fill, construction lines,
// a move to other rows, another background and a transparent one.
TEST(SmoothSceneTest, RedrawingIntoTheSameImageGivesTheFreshPicture)
{
    CPattern pattern;
    auto r = DragonView(&pattern);
    CRenderStyle style;
    CRgbaImage reused;
    auto expectFresh = [&](const char* step) {
        CRgbaImage fresh;
        ASSERT_TRUE(DrawSmoothScene(*r, pattern, style, &reused, nullptr)) << step;
        ASSERT_TRUE(DrawSmoothScene(*r, pattern, style, &fresh, nullptr)) << step;
        EXPECT_TRUE(reused.pixels == fresh.pixels) << step;
    };
    expectFresh("lines");
    r->m_bFill = 1;
    expectFresh("fill");
    r->m_bFill = 0;
    style.showPattern = true;
    r->m_transform.m_origin = PointF{0.0f, 70.0f};
    expectFresh("moved, with construction lines");
    style.showPattern = false;
    r->m_transform.m_origin = PointF{0.0f, -70.0f};
    expectFresh("moved the other way");
    style.background = RgbColor{10, 20, 30};
    expectFresh("other background");
    style.transparent = true;
    expectFresh("transparent");
}

TEST(SmoothSceneTest, GradientRunsFromTheFirstPointToTheLastAndPatternLinesAreOptional)
{
    auto r = renderer_test::MakeRenderer(100, 40);
    r->m_nIterations = 4;
    r->m_bTimeLimit = 0;
    // A straight fractal along the middle of row 20, from x = 10 to x = 90.
    const CPattern pattern = MakePattern({{10.0f, -20.0f}, {40.0f, -20.0f}, {90.0f, -20.0f}});
    CRenderStyle style;
    style.gradient = true;
    style.gradientFrom = RgbColor{0, 0, 255};
    style.gradientTo = RgbColor{255, 0, 0};
    CRgbaImage image;
    ASSERT_TRUE(DrawSmoothScene(*r, pattern, style, &image, nullptr));
    const uint8_t* first = PixelOf(image, 11, 20);
    const uint8_t* last = PixelOf(image, 88, 20);
    EXPECT_GT(first[2], 235);
    EXPECT_LT(first[0], 60);
    EXPECT_GT(last[0], 235);
    EXPECT_LT(last[2], 60);
    EXPECT_EQ(PixelOf(image, 50, 20)[1], 0);
    // Without the construction lines the point squares are not drawn.
    EXPECT_EQ(PixelOf(image, 40, 17)[0], 255);
    EXPECT_EQ(PixelOf(image, 40, 17)[1], 255);

    style.showPattern = true;
    ASSERT_TRUE(DrawSmoothScene(*r, pattern, style, &image, nullptr));
    const uint8_t* square = PixelOf(image, 40, 17);  // the square's top side, light green
    EXPECT_EQ(square[1], 223);
    EXPECT_EQ(square[0], 207);
}

class CancelAtOnce : public CExportProgress {
public:
    bool Continue(double) override { return false; }
};

TEST(SmoothSceneTest, CancelledByTheProgressObject)
{
    CPattern pattern;
    auto r = DragonView(&pattern);
    r->m_nIterations = 14;
    CancelAtOnce cancel;
    r->m_pProgress = &cancel;
    CRgbaImage image;
    std::string error;
    EXPECT_FALSE(DrawSmoothScene(*r, pattern, CRenderStyle{}, &image, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(r->m_bCancelled);
    EXPECT_EQ(r->m_pScreenSink, nullptr);
}

// Decodes PNG bytes to RGBA with libpng.
std::vector<uint8_t> DecodePng(const std::vector<uint8_t>& bytes, int* width, int* height)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()))
        return {};
    png.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr))
        return {};
    *width = static_cast<int>(png.width);
    *height = static_cast<int>(png.height);
    return pixels;
}

TEST(PngWriterTest, RoundTripInTheSmallestColourType)
{
    CRgbaImage image;
    image.width = 37;
    image.height = 23;
    image.pixels.resize(37 * 23 * 4);
    for (size_t i = 0; i < image.pixels.size(); i += 4) {
        const uint8_t v = static_cast<uint8_t>(i * 7 / 4);
        image.pixels[i] = image.pixels[i + 1] = image.pixels[i + 2] = v;
        image.pixels[i + 3] = 255;
    }
    // Colour type (byte 25 of the file): 0 grey, 4 grey and alpha, 2 RGB, 6 RGBA.
    const int expectedTypes[4] = {0, 4, 2, 6};
    const CRgbaImage grey = image;
    for (int variant = 0; variant < 4; ++variant) {
        image = grey;
        if (variant & 1)
            image.pixels[4 * 100 + 3] = 17;
        if (variant & 2)
            image.pixels[4 * 200 + 1] = 3;
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(EncodePng(image, &bytes, &error)) << error;
        ASSERT_GT(bytes.size(), 33u);
        EXPECT_EQ(bytes[25], expectedTypes[variant]) << variant;
        int w = 0;
        int h = 0;
        EXPECT_EQ(DecodePng(bytes, &w, &h), image.pixels) << variant;
        EXPECT_EQ(w, 37);
        EXPECT_EQ(h, 23);
    }

    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(EncodePng(CRgbaImage{}, &bytes, &error));
    EXPECT_FALSE(error.empty());
}

TEST(PngWriterTest, WritesAValidFileOrNothing)
{
    testutil::TempDir dir;
    CRgbaImage image;
    image.width = 64;
    image.height = 48;
    image.pixels.assign(64 * 48 * 4, 255);
    image.pixels[4 * 70] = 0;
    const std::string path = dir.File("picture.png");
    std::string error;
    ASSERT_TRUE(WritePng(image, path, &error)) << error;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"picture.png"});
    const std::string bytes = testutil::ReadFile(path);
    int w = 0;
    int h = 0;
    EXPECT_EQ(DecodePng(std::vector<uint8_t>(bytes.begin(), bytes.end()), &w, &h), image.pixels);
    // A real reader's checks, where the tool is installed.
    if (std::system("command -v pngcheck >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("pngcheck -q '" + path + "' >/dev/null").c_str()), 0);
    }

    EXPECT_FALSE(WritePng(image, dir.File("missing/picture.png"), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"picture.png"});
}

}  // namespace
