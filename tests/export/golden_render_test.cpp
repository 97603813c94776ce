// Golden pictures: every document in examples/ exported as a small bitmap, PNG and SVG,
// as the Export command exports it from an 800 by 600 window, and compared with the files in
// tests/data/render/: pixels within a small tolerance, SVG by its parsed path points. One test
// per document, registered from the folder's contents. ZARNIX_UPDATE_GOLDEN=1 rewrites the
// expected files instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/export_test_support.h"
#include "common/png_test_support.h"
#include "common/svg_test_support.h"
#include "document/zarnix4_doc.h"
#include "export/export_sequence.h"
#include "export/path_sink.h"
#include "view/fractal_renderer.h"

using namespace export_test;
using namespace png_test;
using namespace svg_test;

namespace {

const std::filesystem::path kExamples = std::filesystem::path(ZARNIX_TEST_DATA_DIR) / ".." / ".." / "examples";
const std::filesystem::path kGolden = std::filesystem::path(ZARNIX_TEST_DATA_DIR) / "render";

constexpr int kViewWidth = 800;
constexpr int kViewHeight = 600;
constexpr int kPictureWidth = 120;
constexpr int kPictureHeight = 90;
// The SVG holds every point of the path: the iterations are lowered until it is small.
constexpr uint64_t kMaxPoints = 5000;

std::vector<std::string> ExampleDocuments()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(kExamples, ec))
        if (entry.path().extension() == ".zarnix")
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool Updating()
{
    const char* update = std::getenv("ZARNIX_UPDATE_GOLDEN");
    return update != nullptr && *update != '\0' && std::strcmp(update, "0") != 0;
}

// A 32-bit bitmap file's pixels as RGBA, rows top first.
bool DecodeBitmap(const std::string& bytes, RgbaPicture* picture)
{
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M')
        return false;
    auto int32At = [&bytes](size_t at) {
        int32_t v;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    };
    const int32_t width = int32At(18), height = int32At(22), offset = int32At(10);
    if (width <= 0 || height <= 0 || bytes.size() < static_cast<size_t>(offset) + size_t{4} * width * height)
        return false;
    picture->width = width;
    picture->height = height;
    picture->pixels.resize(size_t{4} * width * height);
    for (int y = 0; y < height; ++y) {
        const char* row = bytes.data() + offset + size_t{4} * width * (height - 1 - y);  // bottom-up
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &picture->pixels[(size_t{1} * y * width + x) * 4];
            p[0] = static_cast<uint8_t>(row[4 * x + 2]);
            p[1] = static_cast<uint8_t>(row[4 * x + 1]);
            p[2] = static_cast<uint8_t>(row[4 * x]);
            p[3] = 255;
        }
    }
    return true;
}

// Pixels of `got` that match no pixel of `want` at their place or next to it, within 24 in
// every channel; a line drawn a pixel aside still matches.
int UnmatchedPixels(const RgbaPicture& got, const RgbaPicture& want)
{
    int unmatched = 0;
    for (int y = 0; y < got.height; ++y) {
        for (int x = 0; x < got.width; ++x) {
            const uint8_t* g = got.At(x, y);
            bool matched = false;
            for (int dy = -1; dy <= 1 && !matched; ++dy) {
                for (int dx = -1; dx <= 1 && !matched; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= want.width || ny >= want.height)
                        continue;
                    const uint8_t* w = want.At(nx, ny);
                    matched = true;
                    for (int c = 0; c < 4; ++c)
                        matched = matched && std::abs(g[c] - w[c]) <= 24;
                }
            }
            unmatched += !matched;
        }
    }
    return unmatched;
}

class GoldenRenderTest : public ::testing::TestWithParam<std::string> {
protected:
    // The document as the window shows it at 800 x 600, exported at 120 x 90.
    void ExportAll()
    {
        auto renderer = std::make_unique<CFractalRenderer>();
        renderer->SetScreenSize(kViewWidth, kViewHeight);
        renderer->SetCanvasSize(kViewWidth, kViewHeight);
        CZarnix4Doc document;
        std::string error;
        ASSERT_TRUE(document.Load((kExamples / (GetParam() + ".zarnix")).string(), renderer.get(), error)) << error;
        if (!renderer->m_bLoadedFromFile)
            renderer->m_transform.Reset();
        ExportSettings settings;
        settings.segmentCount = document.m_pattern.m_count;
        settings.width = kPictureWidth;
        settings.height = kPictureHeight;
        settings.iterations = renderer->m_nIterations;
        while (settings.iterations > 1 && CountPathPoints(document.m_pattern, settings.iterations) > kMaxPoints)
            --settings.iterations;
        settings.style.lineWidth = 1.5f;
        settings.style.gradient = true;  // shows the path's order in the PNG and the SVG
        for (int type : {EXPORT_TYPE_BITMAP, EXPORT_TYPE_PNG, EXPORT_TYPE_SVG}) {
            ASSERT_EQ(RunExport(*renderer, document.m_pattern, type, folder.File("out"), settings, nullptr, &error),
                      ExportResult::Exported)
                << type << ": " << error;
        }
    }

    std::string Golden(const std::string& extension) const { return (kGolden / (GetParam() + extension)).string(); }

    // The file written and its golden copy (or, when updating, the golden copy rewritten).
    bool Pair(const std::string& extension, std::string* got, std::string* want)
    {
        *got = ReadBytes(folder.File("out" + extension));
        if (Updating()) {
            std::filesystem::create_directories(kGolden);
            WriteBytes(Golden(extension), *got);
            return false;
        }
        *want = ReadBytes(Golden(extension));
        EXPECT_FALSE(want->empty()) << "no golden file " << Golden(extension)
                                    << "; run the test with ZARNIX_UPDATE_GOLDEN=1 to make it";
        return !want->empty();
    }

    void ComparePictures(const std::string& extension, bool (*decode)(const std::string&, RgbaPicture*))
    {
        std::string got, want;
        if (!Pair(extension, &got, &want))
            return;
        RgbaPicture a, b;
        ASSERT_TRUE(decode(got, &a)) << extension;
        ASSERT_TRUE(decode(want, &b)) << Golden(extension);
        ASSERT_EQ(a.width, b.width) << extension;
        ASSERT_EQ(a.height, b.height) << extension;
        const int allowed = a.width * a.height / 500;
        EXPECT_LE(UnmatchedPixels(a, b), allowed) << extension << " differs from " << Golden(extension);
        EXPECT_LE(UnmatchedPixels(b, a), allowed) << Golden(extension) << " differs from the " << extension;
    }

    void CompareSvg()
    {
        std::string got, want;
        if (!Pair(".svg", &got, &want))
            return;
        const auto rootGot = Attributes(got, got.find("<svg")), rootWant = Attributes(want, want.find("<svg"));
        EXPECT_EQ(rootGot.at("width"), rootWant.at("width"));
        EXPECT_EQ(rootGot.at("height"), rootWant.at("height"));
        const std::vector<double> box = Numbers(rootGot.at("viewBox")), boxWant = Numbers(rootWant.at("viewBox"));
        ASSERT_EQ(box.size(), 4u);
        ASSERT_EQ(boxWant.size(), 4u);
        // A fiftieth of an output pixel.
        const double tolerance = box[2] / kPictureWidth / 50.0;
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(box[i], boxWant[i], tolerance) << "viewBox " << i;

        const std::vector<SvgPath> a = Paths(got), b = Paths(want);
        ASSERT_EQ(a.size(), b.size()) << "path elements";
        for (size_t e = 0; e < a.size(); ++e) {
            auto withoutData = [](std::map<std::string, std::string> m) {
                m.erase("d");
                return m;
            };
            EXPECT_EQ(withoutData(a[e].attributes), withoutData(b[e].attributes)) << "path " << e;
            ASSERT_EQ(a[e].subpaths.size(), b[e].subpaths.size()) << "path " << e;
            for (size_t s = 0; s < a[e].subpaths.size(); ++s) {
                const SvgSubpath& x = a[e].subpaths[s];
                const SvgSubpath& y = b[e].subpaths[s];
                ASSERT_EQ(x.points.size(), y.points.size()) << "path " << e << " subpath " << s;
                EXPECT_EQ(x.closed, y.closed);
                for (size_t k = 0; k < x.points.size(); ++k) {
                    ASSERT_NEAR(x.points[k].x, y.points[k].x, tolerance) << "path " << e << " point " << k;
                    ASSERT_NEAR(x.points[k].y, y.points[k].y, tolerance) << "path " << e << " point " << k;
                }
            }
        }
    }

    ScratchFolder folder;
};

TEST_P(GoldenRenderTest, MatchesItsExpectedPictures)
{
    ExportAll();
    if (HasFatalFailure())
        return;
    ComparePictures(".bmp", DecodeBitmap);
    ComparePictures(".png", DecodePng);
    CompareSvg();
}

INSTANTIATE_TEST_SUITE_P(Examples, GoldenRenderTest, ::testing::ValuesIn(ExampleDocuments()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

}  // namespace
