// The SVG writer and the path sink it shares with the Illustrator writer: the points of the
// generator's walk in the path data, gaps and fill, the frame, widths and colours, the
// gradient, the point count, and every way the file cannot be made.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "common/export_test_support.h"
#include "common/svg_test_support.h"
#include "export/path_sink.h"
#include "export/svg_writer.h"
#include "view/fractal_renderer.h"

using namespace export_test;
using namespace svg_test;

namespace {

struct WalkPoint {
    PointF p;
    uint8_t kind;
};

class RecordingSink : public IPathSink {
public:
    bool PathPoint(PointF p, uint8_t kind, uint8_t /*depth*/) override
    {
        points.push_back({p, kind});
        return limit == 0 || points.size() < limit;
    }
    std::vector<WalkPoint> points;
    size_t limit = 0;  // answer false at this many points (0: never)
};

// A dragon-like pattern whose middle knee is hidden and whose last one is reversed.
CPattern GapPattern()
{
    return MakePattern({{-100, 0}, {-40, 30}, {0, 30}, {40, 30}, {100, 0}}, {0, KNEE_HIDE, KNEE_MIRROR, KNEE_REVERSE});
}

std::string Svg(CFractalRenderer& renderer, const CPattern& pattern, const CRenderStyle& style)
{
    std::string text;
    std::string error;
    EXPECT_TRUE(WriteSvgText(renderer, pattern, style, &text, &error)) << error;
    EXPECT_EQ(renderer.m_bIllustrator, 0);
    EXPECT_EQ(renderer.m_pPathSink, nullptr);
    return text;
}

// The fractal's path elements: those in its group, which comes last.
std::vector<SvgPath> FractalPaths(const std::string& text)
{
    const size_t group = text.find("<g id=\"fractal\">");
    return group == std::string::npos ? std::vector<SvgPath>{} : Paths(text.substr(group));
}

void ExpectNear(const SvgPoint& got, PointF want, double tolerance, const std::string& where)
{
    EXPECT_NEAR(got.x, want.x, tolerance) << where;
    EXPECT_NEAR(got.y, want.y, tolerance) << where;
}

}  // namespace

TEST(PathSinkTest, CountMatchesTheWalkAndTheSinkCanStopIt)
{
    auto renderer = MakeRenderer(400, 300);
    const CPattern patterns[] = {
        GapPattern(),
        MakePattern({{-100, 0}, {0, 50}, {100, 0}}, {KNEE_STATIC, KNEE_REVERSE | KNEE_MIRROR}),
        MakePattern({{-100, 0}, {-30, 10}, {30, -10}, {100, 0}}, {KNEE_REVERSE, KNEE_STATIC | KNEE_MIRROR, KNEE_HIDE}),
    };
    for (const CPattern& pattern : patterns) {
        for (int iterations : {0, 1, 4, 7}) {
            renderer->m_nIterations = iterations;
            RecordingSink sink;
            EXPECT_TRUE(WalkFractalPath(*renderer, pattern, sink));
            EXPECT_EQ(CountPathPoints(pattern, iterations), sink.points.size()) << iterations;
            ASSERT_FALSE(sink.points.empty());
            EXPECT_EQ(sink.points.front().kind, EMIT_START);
        }
    }
    // Saturates instead of wrapping: 32 segments at 255 iterations.
    CPattern big;
    big.m_count = 32;
    for (int i = 0; i <= 32; ++i)
        big.m_points[i] = PointF{static_cast<float>(i), static_cast<float>(i % 2)};
    EXPECT_EQ(CountPathPoints(big, 255), UINT64_MAX);
    big.m_points[32] = big.m_points[0];  // no baseline: the start point only
    EXPECT_EQ(CountPathPoints(big, 255), 1u);

    renderer->m_nIterations = 6;
    RecordingSink stopping;
    stopping.limit = 10;
    EXPECT_FALSE(WalkFractalPath(*renderer, patterns[0], stopping));
    EXPECT_EQ(stopping.points.size(), 10u);
    EXPECT_EQ(renderer->m_bIllustrator, 0);
}

TEST(SvgWriterTest, PathHoldsTheWalkWithGapsInPatternCoordinates)
{
    auto renderer = MakeRenderer(400, 300);
    renderer->m_transform.m_scale = 2.0f;
    renderer->m_transform.m_origin = PointF{10.0f, -5.0f};
    renderer->m_nIterations = 8;  // over 3^8 points: several pieces
    const CPattern pattern = GapPattern();
    RecordingSink walk;
    WalkFractalPath(*renderer, pattern, walk);

    CRenderStyle style;
    style.lineWidth = 3.0f;
    style.lineColor = RgbColor{10, 20, 30};
    const std::string text = Svg(*renderer, pattern, style);

    // The frame: the canvas region in pattern units, y flipped by the group.
    const auto root = Attributes(text, text.find("<svg"));
    EXPECT_EQ(root.at("width"), "400");
    EXPECT_EQ(root.at("height"), "300");
    const std::vector<double> box = Numbers(root.at("viewBox"));
    ASSERT_EQ(box.size(), 4u);
    EXPECT_NEAR(box[0], 10.0 - 100.0, 1e-3);  // left: origin x - 200 px / scale 2
    EXPECT_NEAR(box[1], -(-5.0 + 75.0), 1e-3);  // top, in flipped coordinates: -(origin y + 150 px / 2)
    EXPECT_NEAR(box[2], 200.0, 1e-3);
    EXPECT_NEAR(box[3], 150.0, 1e-3);
    EXPECT_NE(text.find("<g transform=\"scale(1 -1)\">"), std::string::npos);
    EXPECT_NE(text.find("fill=\"#ffffff\"/>"), std::string::npos);  // the background
    EXPECT_NE(text.find("stroke-width=\"1.5\""), std::string::npos);  // 3 px at 2 px a unit
    EXPECT_NE(text.find("stroke=\"#0a141e\""), std::string::npos);
    EXPECT_EQ(text.find("<rect x=\"-88"), std::string::npos);  // no pattern squares by default

    // The points in order: pieces continue where the previous one ended, a hidden knee opens
    // a new subpath. A hundredth of a pixel is 0.005 units here.
    const std::vector<SvgPath> paths = FractalPaths(text);
    ASSERT_GT(paths.size(), 1u);
    size_t next = 0;
    int gaps = 0;
    for (size_t e = 0; e < paths.size(); ++e) {
        for (size_t s = 0; s < paths[e].subpaths.size(); ++s) {
            const std::vector<SvgPoint>& points = paths[e].subpaths[s].points;
            ASSERT_FALSE(points.empty());
            size_t k = 0;
            if (s == 0 && e > 0) {
                ExpectNear(points[0], walk.points[next - 1].p, 0.006, "piece start");
                k = 1;
            } else if (next > 0) {
                EXPECT_EQ(walk.points[next].kind, EMIT_MOVE);
                ++gaps;
            }
            for (; k < points.size(); ++k, ++next) {
                ASSERT_LT(next, walk.points.size());
                ExpectNear(points[k], walk.points[next].p, 0.006, "point " + std::to_string(next));
            }
        }
    }
    EXPECT_EQ(next, walk.points.size());
    EXPECT_GT(gaps, 0);
}

TEST(SvgWriterTest, FillModeIsOneClosedEvenOddPath)
{
    auto renderer = MakeRenderer(400, 300);
    renderer->m_bFill = 1;
    renderer->m_nIterations = 4;
    const CPattern pattern = GapPattern();
    RecordingSink walk;
    WalkFractalPath(*renderer, pattern, walk);
    RecordingSink closing;
    WalkFillClosing(*renderer, pattern, closing);
    ASSERT_FALSE(closing.points.empty());

    CRenderStyle style;
    style.fillColor = RgbColor{1, 2, 3};
    style.transparent = true;
    const std::string text = Svg(*renderer, pattern, style);
    EXPECT_EQ(text.find("<rect"), std::string::npos);  // transparent: no background
    const std::vector<SvgPath> paths = FractalPaths(text);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0].attributes.at("fill"), "#010203");
    EXPECT_EQ(paths[0].attributes.at("fill-rule"), "evenodd");
    ASSERT_EQ(paths[0].subpaths.size(), 1u);  // hidden knees stay in the outline
    EXPECT_TRUE(paths[0].subpaths[0].closed);
    EXPECT_EQ(paths[0].subpaths[0].points.size(), walk.points.size() + closing.points.size());
    ExpectNear(paths[0].subpaths[0].points.back(), closing.points.back().p, 0.006, "last closing point");

    // With a gradient the fill carries no stroke; the outline follows in coloured pieces.
    style.gradient = true;
    const std::vector<SvgPath> gradient = FractalPaths(Svg(*renderer, pattern, style));
    ASSERT_GT(gradient.size(), 2u);
    EXPECT_EQ(gradient[0].attributes.at("stroke"), "none");
    EXPECT_EQ(gradient[0].attributes.at("fill-rule"), "evenodd");
    // The border closing runs in the end's colour, the edge back to the start in the start's.
    EXPECT_EQ(gradient.back().attributes.at("stroke"), gradient[1].attributes.at("stroke"));
    RgbColor end;
    ASSERT_TRUE(ParseColor(gradient[gradient.size() - 2].attributes.at("stroke"), &end));
    EXPECT_GT(end.r, 240);  // the default gradient ends in red
    EXPECT_LT(end.b, 15);
}

TEST(SvgWriterTest, GradientRunsAlongThePathInPieces)
{
    auto renderer = MakeRenderer(400, 300);
    renderer->m_nIterations = 7;  // 16384 lines: 256 pieces of 64
    const CPattern pattern = MakePattern({{-100, 0}, {-33, 0}, {0, 40}, {33, 0}, {100, 0}});
    CRenderStyle style;
    style.gradient = true;
    style.gradientFrom = RgbColor{0, 0, 0};
    style.gradientTo = RgbColor{255, 255, 255};
    const std::vector<SvgPath> paths = FractalPaths(Svg(*renderer, pattern, style));
    ASSERT_EQ(paths.size(), 256u);
    int previous = -1;
    for (const SvgPath& path : paths) {
        RgbColor color;
        ASSERT_TRUE(ParseColor(path.attributes.at("stroke"), &color));
        EXPECT_GE(color.r, previous);
        previous = color.r;
    }
    RgbColor first, middle, last;
    ASSERT_TRUE(ParseColor(paths.front().attributes.at("stroke"), &first));
    ASSERT_TRUE(ParseColor(paths[128].attributes.at("stroke"), &middle));
    ASSERT_TRUE(ParseColor(paths.back().attributes.at("stroke"), &last));
    EXPECT_LE(first.r, 10);
    // Half way in linear light, as the antialiased picture mixes: 188, not 128.
    EXPECT_NEAR(middle.r, 188, 3);
    EXPECT_GE(last.r, 250);

    // The place along the path is the share of the path, not the count of points: a static
    // first knee is one line but a quarter of the path, coloured at its middle, an eighth.
    renderer->m_nIterations = 4;
    const CPattern staticFirst =
        MakePattern({{-100, 0}, {-50, 0}, {0, 40}, {50, 0}, {100, 0}}, {KNEE_STATIC, 0, 0, 0});
    const std::vector<SvgPath> pieces = FractalPaths(Svg(*renderer, staticFirst, style));
    ASSERT_FALSE(pieces.empty());
    ASSERT_EQ(pieces[0].subpaths.size(), 1u);
    EXPECT_EQ(pieces[0].subpaths[0].points.size(), 2u);
    RgbColor trunk;
    ASSERT_TRUE(ParseColor(pieces[0].attributes.at("stroke"), &trunk));
    EXPECT_NEAR(trunk.r, 99, 4);  // an eighth of the way in linear light
}

TEST(SvgWriterTest, PrecisionFollowsTheScaleAndThePatternLayerIsOptional)
{
    auto renderer = MakeRenderer(400, 300);
    renderer->m_nIterations = 0;
    const CPattern pattern = MakePattern({{-100.123456f, 0.5f}, {0, 50}, {100.25f, -0.000001f}});
    CRenderStyle style;
    std::vector<SvgPath> paths = FractalPaths(Svg(*renderer, pattern, style));
    ASSERT_EQ(paths.size(), 1u);
    // Scale 1: two decimals, trailing zeros dropped, no negative zero.
    EXPECT_EQ(paths[0].attributes.at("d"), "M-100.12 0.5 100.25 0");

    paths = FractalPaths(Svg(*renderer, MakePattern({{-0.05f, 0.05f}, {0, 7}, {1234.5f, 0.004f}}), style));
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0].attributes.at("d"), "M-0.05 0.05 1234.5 0");

    renderer->m_transform.m_scale = 1000.0f;
    paths = FractalPaths(Svg(*renderer, pattern, style));
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0].attributes.at("d"), "M-100.12346 0.5 100.25 0");

    style.showPattern = true;
    renderer->m_transform.m_scale = 1.0f;
    const std::string text = Svg(*renderer, MakePattern({{-100, 0}, {0, 50}, {100, 0}}, {KNEE_HIDE, KNEE_REVERSE}),
                                 style);
    EXPECT_NE(text.find("stroke-dasharray=\"3 3\""), std::string::npos);   // hidden: dotted
    EXPECT_NE(text.find("stroke-dasharray=\"18 6\""), std::string::npos);  // reversed: dashed
    EXPECT_NE(text.find("<rect x=\"-102.5\" y=\"-2.5\" width=\"5\" height=\"5\"/>"), std::string::npos);
}

TEST(SvgWriterTest, FileIsTheTextAndFailuresLeaveNothing)
{
    ScratchFolder folder;
    auto renderer = MakeRenderer(200, 100);
    renderer->m_nIterations = 5;
    const CPattern pattern = GapPattern();
    const CRenderStyle style;
    std::string error;
    ASSERT_EQ(ExportSvg(*renderer, pattern, style, folder.File("out.svg").c_str(), &error), 1) << error;
    EXPECT_EQ(ReadBytes(folder.File("out.svg")), Svg(*renderer, pattern, style));

    std::filesystem::create_directory(folder.File("taken.svg"));
    EXPECT_EQ(ExportSvg(*renderer, pattern, style, folder.File("taken.svg").c_str(), &error), 0);
    EXPECT_EQ(ExportSvg(*renderer, pattern, style, folder.File("no/such/folder.svg").c_str(), &error), 0);
    CPattern broken = pattern;
    broken.m_count = 40;
    EXPECT_EQ(ExportSvg(*renderer, broken, style, folder.File("broken.svg").c_str(), &error), 0);

    class StopAtOnce : public CExportProgress {
    public:
        bool Continue(double) override { return false; }
    } stop;
    renderer->m_pProgress = &stop;
    error.clear();
    EXPECT_EQ(ExportSvg(*renderer, pattern, style, folder.File("cancelled.svg").c_str(), &error), 0);
    EXPECT_NE(error.find("cancel"), std::string::npos) << error;
    renderer->m_pProgress = nullptr;
    EXPECT_EQ(renderer->m_bIllustrator, 0);
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"out.svg", "taken.svg"}));
}
