// A bitmap export drawn on several threads (horizontal bands) writes the same bytes as one
// drawn on a single thread, keeps reporting progress and stops when asked to.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/export_test_support.h"
#include "document/zarnix4_doc.h"
#include "export/export_sequence.h"

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

}  // namespace

TEST(ThreadedExportTest, EveryExampleAndEveryKindOfKneeWritesTheSameBytes)
{
    ScratchFolder folder;
    std::vector<std::pair<std::string, CPattern>> cases;
    const std::filesystem::path examples = std::filesystem::path(ZARNIX_TEST_DATA_DIR) / ".." / ".." / "examples";
    for (const auto& entry : std::filesystem::directory_iterator(examples)) {
        if (entry.path().extension() != ".zarnix")
            continue;
        CZarnix4Doc doc;
        auto probe = MakeRenderer(400, 300);
        std::string error;
        ASSERT_TRUE(doc.Load(entry.path().string(), probe.get(), error)) << error;
        cases.emplace_back(entry.path().filename().string(), doc.m_pattern);
    }
    ASSERT_GE(cases.size(), 6u);
    cases.emplace_back("hidden, mirrored, static", MakePattern({{-100, 0}, {-40, 30}, {10, -25}, {100, 0}}, {KNEE_HIDE, KNEE_MIRROR, KNEE_STATIC}));
    cases.emplace_back("reversed", MakePattern({{-100, 0}, {-30, 50}, {30, -30}, {100, 0}}, {KNEE_REVERSE, 0, KNEE_MIRROR | KNEE_REVERSE}));

    for (const auto& [name, pattern] : cases) {
        SCOPED_TRACE(name);
        auto r = MakeRenderer(400, 300);
        r->m_nIterations = 6;
        r->m_bShowPattern = 1;  // the overlay's pens are drawn first, by the calling thread
        // Framed, then zoomed in so that lines cross the bands' edges and leave the canvas.
        for (const float scale : {1.2f, 6.0f}) {
            r->m_transform.m_scale = scale;
            const std::string one = ExportBytes(*r, pattern, 1, 640, 520, folder.File("one.bmp"));
            ASSERT_GT(one.size(), 640u * 520u * 3u);
            EXPECT_TRUE(ExportBytes(*r, pattern, 2, 640, 520, folder.File("two.bmp")) == one) << "scale " << scale;
            EXPECT_TRUE(ExportBytes(*r, pattern, 3, 640, 520, folder.File("three.bmp")) == one) << "scale " << scale;
        }
    }
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
