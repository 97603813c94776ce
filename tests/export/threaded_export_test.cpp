// An export drawn or generated on several threads (the bitmap in horizontal bands, the
// vector formats' walk in parts) writes the same bytes as one on a single thread, keeps
// reporting progress and stops when asked to.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/export_test_support.h"
#include "document/zarnix4_doc.h"
#include "export/export_sequence.h"
#include "export/illustrator_writer.h"
#include "export/svg_writer.h"

using namespace export_test;

namespace {

// The bitmap file of `pattern` exported at width x height with `threads` threads.
std::string ExportBytes(CFractalRenderer& r, const CPattern& pattern, int threads, int32_t width, int32_t height,
                        const std::string& file)
{
    r.m_nThreads = threads;
    std::string error;
    const ExportSettings settings{pattern.m_count, width, height, r.m_nIterations};
    EXPECT_EQ(RunExport(r, pattern, EXPORT_TYPE_BITMAP, file, settings, nullptr, &error), ExportResult::Exported) << error;
    return ReadBytes(file);
}

class StoppingProgress : public CExportProgress {
public:
    explicit StoppingProgress(int answers) : m_answers(answers) {}
    bool Continue(double fraction) override
    {
        fractions.push_back(fraction);
        return static_cast<int>(fractions.size()) < m_answers;
    }
    std::vector<double> fractions;

private:
    int m_answers;
};

// Every example, and patterns with hidden, static, reversed and mirrored knees.
std::vector<std::pair<std::string, CPattern>> ExampleAndKneeCases()
{
    std::vector<std::pair<std::string, CPattern>> cases;
    const std::filesystem::path examples = std::filesystem::path(ZARNIX_TEST_DATA_DIR) / ".." / ".." / "examples";
    for (const auto& entry : std::filesystem::directory_iterator(examples)) {
        if (entry.path().extension() != ".zarnix")
            continue;
        CZarnix4Doc doc;
        auto probe = MakeRenderer(400, 300);
        std::string error;
        EXPECT_TRUE(doc.Load(entry.path().string(), probe.get(), error)) << error;
        cases.emplace_back(entry.path().filename().string(), doc.m_pattern);
    }
    EXPECT_GE(cases.size(), 6u);
    cases.emplace_back("hidden, mirrored, static", MakePattern({{-100, 0}, {-40, 30}, {10, -25}, {100, 0}}, {KNEE_HIDE, KNEE_MIRROR, KNEE_STATIC}));
    cases.emplace_back("reversed", MakePattern({{-100, 0}, {-30, 50}, {30, -30}, {100, 0}}, {KNEE_REVERSE, 0, KNEE_MIRROR | KNEE_REVERSE}));
    return cases;
}

}  // namespace

TEST(ThreadedExportTest, EveryExampleAndEveryKindOfKneeWritesTheSameBytes)
{
    ScratchFolder folder;
    const auto cases = ExampleAndKneeCases();
    for (const auto& [name, pattern] : cases) {
        SCOPED_TRACE(name);
        auto r = MakeRenderer(400, 300);
        r->m_nIterations = 6;
        r->m_bShowPattern = 1;  // the overlay's pens are drawn first, by the calling thread
        // Framed, then zoomed in so that lines cross the bands' edges and leave the canvas; in
        // line mode (bands of the fractal) and fill mode (bands of the polygon).
        for (const uint8_t fill : {0, 1}) {
            r->m_bFill = fill;
            for (const float scale : {1.2f, 6.0f}) {
                r->m_transform.m_scale = scale;
                const std::string one = ExportBytes(*r, pattern, 1, 640, 520, folder.File("one.bmp"));
                ASSERT_GT(one.size(), 640u * 520u * 3u);
                EXPECT_TRUE(ExportBytes(*r, pattern, 2, 640, 520, folder.File("two.bmp")) == one) << "scale " << scale << ", fill " << int(fill);
                EXPECT_TRUE(ExportBytes(*r, pattern, 3, 640, 520, folder.File("three.bmp")) == one) << "scale " << scale << ", fill " << int(fill);
            }
        }
    }

    // Fill mode past the polygon's capacity: the same points are kept whatever the threads.
    const CPattern dragon = MakePattern({{-100, 0}, {0, -100}, {100, 0}}, {KNEE_REVERSE, 0});
    auto r = MakeRenderer(400, 300);
    r->m_nIterations = 18;
    r->m_nDetail = 0;
    r->m_bFill = 1;
    const std::string one = ExportBytes(*r, dragon, 1, 640, 520, folder.File("one.bmp"));
    EXPECT_EQ(r->m_drawOutcome, DrawOutcome::PointBudget);
    EXPECT_TRUE(ExportBytes(*r, dragon, 2, 640, 520, folder.File("two.bmp")) == one);
}

TEST(ThreadedExportTest, ProgressGrowsAndCancellingLeavesNoFile)
{
    ScratchFolder folder;
    // A dragon whose 2^18 leaves stay above the detail: some 64 reports on a single thread.
    const CPattern dragon = MakePattern({{-100, 0}, {0, -100}, {100, 0}}, {KNEE_REVERSE, 0});
    auto r = MakeRenderer(400, 300);
    r->m_nIterations = 18;
    r->m_nThreads = 2;
    const ExportSettings settings{2, 1600, 1200, 18};
    std::string error;

    StoppingProgress patient(1000000);
    ASSERT_EQ(RunExport(*r, dragon, EXPORT_TYPE_BITMAP, folder.File("whole.bmp"), settings, &patient, &error),
              ExportResult::Exported)
        << error;
    ASSERT_GE(patient.fractions.size(), 3u);
    for (size_t i = 1; i < patient.fractions.size(); ++i)
        ASSERT_GE(patient.fractions[i], patient.fractions[i - 1]) << i;
    EXPECT_EQ(patient.fractions.back(), 1.0);

    StoppingProgress impatient(2);
    EXPECT_EQ(RunExport(*r, dragon, EXPORT_TYPE_BITMAP, folder.File("stopped.bmp"), settings, &impatient, &error),
              ExportResult::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(folder.File("stopped.bmp")));
    EXPECT_EQ(impatient.fractions.size(), 2u);  // not asked again once it said stop
}

TEST(ThreadedExportTest, VectorFilesOfEveryExampleAndKneeAreTheSameOnAnyNumberOfThreads)
{
    ScratchFolder folder;
    auto cases = ExampleAndKneeCases();
    // Child points that leave the float range some levels down: the walk ends part of the way.
    cases.emplace_back("beyond the float range", MakePattern({{-1e30f, 0}, {-0.9e30f, 0}, {0, 3.5e31f}, {1e30f, 0}}, {KNEE_STATIC, 0, 0}));
    CRenderStyle gradient;
    gradient.gradient = true;
    gradient.gradientFrom = RgbColor{0, 0, 255};
    gradient.gradientTo = RgbColor{255, 0, 0};

    for (const auto& [name, pattern] : cases) {
        SCOPED_TRACE(name);
        auto r = MakeRenderer(400, 300);
        // Some thousands of points, split into parts at two levels or more.
        r->m_nIterations = pattern.m_count <= 2 ? 13 : pattern.m_count == 3 ? 8 : pattern.m_count == 4 ? 6 : 5;
        for (const uint8_t fill : {0, 1}) {
            r->m_bFill = fill;
            std::string ai[3];
            std::string svg[3];
            std::string shaded[3];
            for (int threads = 1; threads <= 3; ++threads) {
                r->m_nThreads = threads;
                std::string error;
                ASSERT_EQ(ExportIllustrator(*r, pattern, folder.File("walk.ai").c_str(), &error), 1) << error;
                ai[threads - 1] = NormaliseCreationDate(ReadBytes(folder.File("walk.ai")));
                ASSERT_TRUE(WriteSvgText(*r, pattern, CRenderStyle{}, &svg[threads - 1], &error)) << error;
                ASSERT_TRUE(WriteSvgText(*r, pattern, gradient, &shaded[threads - 1], &error)) << error;
            }
            ASSERT_GT(ai[0].size(), 1500u);
            for (int t = 1; t < 3; ++t) {
                EXPECT_TRUE(ai[t] == ai[0]) << "fill " << int(fill) << ", threads " << t + 1;
                EXPECT_TRUE(svg[t] == svg[0]) << "fill " << int(fill) << ", threads " << t + 1;
                EXPECT_TRUE(shaded[t] == shaded[0]) << "fill " << int(fill) << ", threads " << t + 1;
            }
        }
    }
}

TEST(ThreadedExportTest, VectorWalkInPartsReportsProgressAndStopsWhenCancelled)
{
    ScratchFolder folder;
    const CPattern koch = MakePattern({{-150, 0}, {-50, 0}, {0, 86.60254f}, {50, 0}, {150, 0}});
    auto r = MakeRenderer(400, 300);
    r->m_nThreads = 2;
    const ExportSettings settings{4, 400, 300, 9};  // 262,145 points
    std::string error;

    StoppingProgress patient(1000000);
    ASSERT_EQ(RunExport(*r, koch, EXPORT_TYPE_ILLUSTRATOR, folder.File("whole.ai"), settings, &patient, &error),
              ExportResult::Exported)
        << error;
    ASSERT_GE(patient.fractions.size(), 3u);
    for (size_t i = 1; i < patient.fractions.size(); ++i)
        ASSERT_GE(patient.fractions[i], patient.fractions[i - 1]) << i;
    EXPECT_EQ(patient.fractions.back(), 1.0);
    EXPECT_GT(r->ExportedPoints(), 0u);

    for (const int type : {EXPORT_TYPE_ILLUSTRATOR, EXPORT_TYPE_SVG}) {
        StoppingProgress impatient(2);
        const std::string file = folder.File(type == EXPORT_TYPE_SVG ? "stopped.svg" : "stopped.ai");
        EXPECT_EQ(RunExport(*r, koch, type, file, settings, &impatient, &error), ExportResult::Cancelled);
        EXPECT_FALSE(std::filesystem::exists(file));
        EXPECT_EQ(impatient.fractions.size(), 2u);  // not asked again once it said stop
    }
}
