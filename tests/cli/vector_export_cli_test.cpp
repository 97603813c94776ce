// The PNG and SVG exports of the command line: the window's framing at any output size,
// --fit, and an SVG that a real reader (rsvg-convert) draws as the program draws its PNG.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "common/export_test_support.h"
#include "common/png_test_support.h"
#include "common/svg_test_support.h"

using namespace export_test;
using namespace png_test;
using namespace svg_test;

namespace {

const std::string kExamples = std::string(ZARNIX_TEST_DATA_DIR) + "/../../examples/";

bool HaveProgram(const char* name)
{
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

class VectorExportCliTest : public ::testing::Test {
protected:
    // Runs a command line in the scratch folder; its exit status.
    int Shell(const std::string& command)
    {
        const int raw = std::system(("cd '" + folder.Path().string() + "' && " + command + " 2>stderr.txt").c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    int Export(const std::string& document, const std::string& arguments)
    {
        return Shell(std::string("'") + ZARNIX_EXECUTABLE + "' '" + kExamples + document + "' --export " + arguments);
    }
    RgbaPicture Png(const std::string& name)
    {
        RgbaPicture picture;
        EXPECT_TRUE(DecodePng(ReadBytes(folder.File(name)), &picture)) << name;
        return picture;
    }
    std::vector<double> ViewBox(const std::string& name)
    {
        const std::string text = ReadBytes(folder.File(name));
        return Numbers(Attributes(text, text.find("<svg")).at("viewBox"));
    }

    ScratchFolder folder;
};

TEST_F(VectorExportCliTest, LargerOutputIsTheSamePictureWithMorePixels)
{
    ASSERT_EQ(Export("dragon.zarnix", "view.svg"), 0);
    ASSERT_EQ(Export("dragon.zarnix", "large.svg --width 1600"), 0);
    const std::string large = ReadBytes(folder.File("large.svg"));
    const auto root = Attributes(large, large.find("<svg"));
    EXPECT_EQ(root.at("width"), "1600");
    EXPECT_EQ(root.at("height"), "1200");  // coupled to the view's 4:3
    const std::vector<double> view = ViewBox("view.svg"), big = ViewBox("large.svg");
    ASSERT_EQ(view.size(), 4u);
    ASSERT_EQ(big.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(view[i], big[i], 1e-2) << i;

    // The PNG at twice the size: the view's region, antialiased.
    ASSERT_EQ(Export("dragon.zarnix", "small.png --view 400x300"), 0);
    ASSERT_EQ(Export("dragon.zarnix", "double.png --view 400x300 --width 800 --height 600"), 0);
    const RgbaPicture small = Png("small.png"), twice = Png("double.png");
    ASSERT_EQ(twice.width, 800);
    ASSERT_EQ(twice.height, 600);
    // The inked region: twice the size, at twice the distance from the corner.
    auto inkBox = [](const RgbaPicture& p, int* greys) {
        int box[4] = {p.width, p.height, -1, -1};
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x) {
                const int ink = Ink(p, x, y);
                *greys += ink > 20 && ink < 235;
                if (ink > 64) {
                    box[0] = std::min(box[0], x);
                    box[1] = std::min(box[1], y);
                    box[2] = std::max(box[2], x);
                    box[3] = std::max(box[3], y);
                }
            }
        }
        return std::vector<int>(box, box + 4);
    };
    int greys = 0;
    const std::vector<int> smallBox = inkBox(small, &greys);
    greys = 0;
    const std::vector<int> twiceBox = inkBox(twice, &greys);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(twiceBox[i], 2 * smallBox[i], 3) << i;
    EXPECT_GT(greys, 1000);  // antialiased
}

TEST_F(VectorExportCliTest, FitFramesTheWholeFractalWithASmallMargin)
{
    // Zoomed far into the dragon: without --fit most of it lies outside the picture.
    WriteBytes(folder.File("zoomed.zarnix"), ReadBytes(kExamples + "dragon.zarnix"));
    std::string text = ReadBytes(folder.File("zoomed.zarnix"));
    const size_t scale = text.find("Scale: ");
    ASSERT_NE(scale, std::string::npos);
    text.replace(scale, text.find("\r\n", scale) - scale, "Scale: 40.000000");
    WriteBytes(folder.File("zoomed.zarnix"), text);
    for (const char* fit : {"", " --fit"}) {
        ASSERT_EQ(Shell(std::string("'") + ZARNIX_EXECUTABLE + "' zoomed.zarnix --export out.svg" + fit), 0);
        const std::vector<double> box = ViewBox("out.svg");
        ASSERT_EQ(box.size(), 4u);
        double minX = 1e30, maxX = -1e30, minY = 1e30, maxY = -1e30;
        for (const SvgPath& path : Paths(ReadBytes(folder.File("out.svg"))))
            for (const SvgSubpath& sub : path.subpaths)
                for (const SvgPoint& p : sub.points) {
                    minX = std::min(minX, p.x);
                    maxX = std::max(maxX, p.x);
                    minY = std::min(minY, -p.y);  // the document's y is flipped by the group
                    maxY = std::max(maxY, -p.y);
                }
        const bool inside = minX >= box[0] && maxX <= box[0] + box[2] && minY >= box[1] && maxY <= box[1] + box[3];
        if (*fit == '\0') {
            EXPECT_FALSE(inside);
            continue;
        }
        EXPECT_TRUE(inside);
        // Centred, and the fractal fills the view but for the margin on its tighter axis.
        EXPECT_NEAR((minX + maxX) / 2, box[0] + box[2] / 2, box[2] * 0.01);
        EXPECT_NEAR((minY + maxY) / 2, box[1] + box[3] / 2, box[3] * 0.01);
        EXPECT_GT(std::max((maxX - minX) / box[2], (maxY - minY) / box[3]), 0.9);
    }
}

TEST_F(VectorExportCliTest, RsvgDrawsTheSvgAsTheProgramDrawsItsPng)
{
    if (!HaveProgram("rsvg-convert"))
        GTEST_SKIP() << "rsvg-convert is not installed (package librsvg2-bin)";
    for (const char* example : {"dragon.zarnix", "koch.zarnix"}) {
        ASSERT_EQ(Export(example, "d.svg --view 400x300 --line-width 2"), 0);
        ASSERT_EQ(Export(example, "d.png --view 400x300 --line-width 2"), 0);
        ASSERT_EQ(Shell("rsvg-convert d.svg -o r.png"), 0) << ReadBytes(folder.File("stderr.txt"));
        const RgbaPicture ours = Png("d.png"), theirs = Png("r.png");
        ASSERT_EQ(theirs.width, ours.width);
        ASSERT_EQ(theirs.height, ours.height);
        // Every clearly inked pixel of one picture has ink within a pixel in the other.
        auto near = [](const RgbaPicture& p, int x, int y) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < p.width && ny < p.height && Ink(p, nx, ny) > 64)
                        return true;
                }
            return false;
        };
        int inked = 0, missing = 0;
        for (int y = 0; y < ours.height; ++y) {
            for (int x = 0; x < ours.width; ++x) {
                if (Ink(ours, x, y) > 160) {
                    ++inked;
                    missing += !near(theirs, x, y);
                }
                if (Ink(theirs, x, y) > 160) {
                    ++inked;
                    missing += !near(ours, x, y);
                }
            }
        }
        EXPECT_GT(inked, 1000) << example;
        EXPECT_LT(missing, inked / 200) << example;
    }
}

}  // namespace
