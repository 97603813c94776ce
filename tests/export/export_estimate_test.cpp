// The size an export announces before it writes, the refusal of a file larger than the room
// left for it, and a write error in the middle of an export: stopped at once, reported with
// its reason, and no file left behind.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/mount.h>
#include <sys/resource.h>

#include "common/export_test_support.h"
#include "document/zarnix4_doc.h"
#include "export/export_estimate.h"
#include "export/export_sequence.h"
#include "export/illustrator_writer.h"
#include "export/path_sink.h"
#include "view/fractal_renderer.h"

using namespace export_test;

namespace {

size_t PointLines(const std::string& file)
{
    size_t count = 0;
    for (const std::string& line : SplitCrLf(file))
        count += line.size() > 2 && line[line.size() - 2] == ' ' && (line.back() == 'L' || line.back() == 'm');
    return count;
}

TEST(ExportEstimateTest, PathPointsAreThePointsTheWriterWrites)
{
    const CPattern patterns[] = {
        MakePattern({{-30, 0}, {0, 20}, {30, 0}}),
        MakePattern({{-90, 0}, {-30, 0}, {0, 40}, {30, 0}, {90, 0}}, {0, KNEE_HIDE, KNEE_STATIC | KNEE_REVERSE, KNEE_MIRROR}),
        MakePattern({{-50, 0}, {0, 30}, {10, -20}, {50, 0}}, {KNEE_REVERSE, KNEE_STATIC, KNEE_REVERSE | KNEE_MIRROR}),
        MakePattern({{-50, 0}, {0, 30}, {50, 0}}, {KNEE_STATIC, KNEE_HIDE}),
    };
    ScratchFolder folder;
    for (const CPattern& pattern : patterns) {
        for (int iterations : {0, 1, 4, 7}) {
            auto renderer = MakeRenderer(80, 60);
            renderer->m_bShowPattern = 0;
            renderer->m_nIterations = iterations;
            const std::string name = folder.File("count.ai");
            ASSERT_EQ(ExportIllustrator(*renderer, pattern, name.c_str()), 1);
            const uint64_t points = CountPathPoints(pattern, iterations);
            EXPECT_EQ(points, static_cast<uint64_t>(PointLines(ReadBytes(name))))
                << pattern.m_count << " segments, " << iterations << " iterations";
            EXPECT_EQ(ApproximatePathPoints(pattern, iterations), static_cast<double>(points));
        }
    }
    // Only static knees: the pattern itself, at any depth.
    const CPattern still = MakePattern({{-50, 0}, {0, 30}, {50, 0}}, {KNEE_STATIC, KNEE_STATIC});
    EXPECT_EQ(ApproximatePathPoints(still, 255), 3.0);
    // Beyond 64 bits: saturated, never infinite.
    const double deep = ApproximatePathPoints(MakePattern({{-50, 0}, {-20, 30}, {20, 30}, {50, 0}}), 255);
    EXPECT_GT(deep, 1e120);
    EXPECT_TRUE(std::isfinite(deep * AI_BYTES_PER_POINT));
}

TEST(ExportEstimateTest, EstimateIsCloseToTheFileOfEveryExample)
{
    ScratchFolder folder;
    const std::filesystem::path examples = std::filesystem::path(ZARNIX_TEST_DATA_DIR) / ".." / ".." / "examples";
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(examples)) {
        auto renderer = MakeRenderer(800, 600);
        CZarnix4Doc document;
        std::string error;
        ASSERT_TRUE(document.Load(entry.path().string(), renderer.get(), error)) << error;
        // Some 100,000 points or so: enough for the average to settle.
        int iterations = 1;
        while (CountPathPoints(document.m_pattern, iterations + 1) < 150000)
            ++iterations;
        const ExportSettings settings{document.m_pattern.m_count, 800, 600, iterations};
        const std::string name = folder.File("example.ai");
        ASSERT_EQ(RunExport(*renderer, document.m_pattern, EXPORT_TYPE_ILLUSTRATOR, name, settings, nullptr, &error),
                  ExportResult::Exported)
            << error;
        const double actual = static_cast<double>(std::filesystem::file_size(name));
        const double estimate = EstimateExportBytes(EXPORT_TYPE_ILLUSTRATOR, document.m_pattern, settings,
                                                    renderer->m_bShowPattern != 0, renderer->m_bShowFractal != 0);
        EXPECT_NEAR(estimate / actual, 1.0, 0.15) << entry.path().filename() << ": " << actual << " bytes";
        ++checked;
    }
    EXPECT_GE(checked, 5);

    // A bitmap's size is known exactly.
    const CPattern pattern = MakePattern({{-30, 0}, {0, 20}, {30, 0}});
    EXPECT_EQ(EstimateExportBytes(EXPORT_TYPE_BITMAP, pattern, {2, 800, 600, 9}, true, true), 1920054.0);
}

TEST(ExportEstimateTest, SizesReadAsPeopleWriteThem)
{
    EXPECT_EQ(FormatByteSize(0), "0 bytes");
    EXPECT_EQ(FormatByteSize(1), "1 byte");
    EXPECT_EQ(FormatByteSize(999), "999 bytes");
    EXPECT_EQ(FormatByteSize(1000), "1.0 kB");
    EXPECT_EQ(FormatByteSize(999960), "1.0 MB");  // not "1000.0 kB"
    EXPECT_EQ(FormatByteSize(1.23e9), "1.2 GB");
    EXPECT_EQ(FormatByteSize(5.5e18), "5.5 EB");
    EXPECT_EQ(FormatByteSize(7.74e154), "7.7e154 bytes");
    EXPECT_EQ(FormatByteSize(9.96e154), "1.0e155 bytes");
}

class ExportSpaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        renderer = MakeRenderer(80, 60);
        renderer->m_nIterations = 2;
    }

    ExportResult Run(int type, const std::string& name, int iterations, CExportProgress* progress = nullptr)
    {
        error.clear();
        return RunExport(*renderer, koch, type, name, {4, 80, 60, iterations}, progress, &error);
    }

    ScratchFolder folder;
    std::unique_ptr<CFractalRenderer> renderer;
    CPattern koch = MakePattern({{-150, 0}, {-50, 0}, {0, 86.6f}, {50, 0}, {150, 0}});
    std::string error;
};

TEST_F(ExportSpaceTest, AFileLargerThanTheFreeSpaceIsRefusedBeforeAnythingIsWritten)
{
    EXPECT_EQ(Run(EXPORT_TYPE_ILLUSTRATOR, folder.File("k.ai"), 255), ExportResult::Failed);
    EXPECT_NE(error.find("about 6.7e154 bytes"), std::string::npos) << error;
    EXPECT_NE(error.find(" are free"), std::string::npos) << error;
    EXPECT_TRUE(folder.Entries().empty());
    EXPECT_EQ(renderer->m_nIterations, 2);
    EXPECT_EQ(renderer->m_nWidth, 80);
}

// A progress object that fills the file system the export writes to at its first call, as
// another program might while the export runs.
class FillDisk : public CExportProgress {
public:
    explicit FillDisk(std::string path) : m_path(std::move(path)) {}
    bool Continue(double) override
    {
        if (!m_done) {
            m_done = true;
            std::FILE* f = std::fopen(m_path.c_str(), "wb");
            static const char block[4096] = {};
            while (f != nullptr && std::fwrite(block, 1, sizeof block, f) == sizeof block) {
            }
            if (f != nullptr)
                std::fclose(f);
        }
        return true;
    }

private:
    std::string m_path;
    bool m_done = false;
};

TEST_F(ExportSpaceTest, AFullDiskStopsTheExportAndLeavesNoFile)
{
    const std::string disk = folder.File("disk");
    std::filesystem::create_directory(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=4m") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    // 4^9 points: about 5.2 MB, more than the 4 MB disk holds: refused.
    EXPECT_EQ(Run(EXPORT_TYPE_ILLUSTRATOR, disk + "/k.ai", 9), ExportResult::Failed);
    EXPECT_NE(error.find("are free"), std::string::npos) << error;
    // 4^8 points (1.3 MB) fit, until the disk fills up under the export: the first write
    // that fails ends it, within a few thousand points of the file layer's buffer.
    FillDisk filler(disk + "/filler");
    EXPECT_EQ(Run(EXPORT_TYPE_ILLUSTRATOR, disk + "/k.ai", 8, &filler), ExportResult::Failed);
    EXPECT_NE(error.find("No space left"), std::string::npos) << error;
    const uint64_t stoppedAt = renderer->ExportedPoints();
    EXPECT_LT(stoppedAt, 65536u - 10000u);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(disk))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"filler"});
    EXPECT_EQ(renderer->m_bIllustrator, 0);
    ::umount(disk.c_str());
}

// A progress object that never stops the export.
class GoOn : public CExportProgress {
public:
    bool Continue(double) override { return true; }
};

TEST_F(ExportSpaceTest, AWriteErrorStopsTheExportWithItsReason)
{
    // A file size limit makes every write beyond it fail, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 256 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

    GoOn goOn;
    // 4^10 points, some 21 MB: the first flush of the file's buffer fails.
    const ExportResult ai = Run(EXPORT_TYPE_ILLUSTRATOR, folder.File("k.ai"), 10, &goOn);
    const std::string aiError = error;
    const uint64_t stoppedAt = renderer->ExportedPoints();
    const ExportResult bmp = RunExport(*renderer, koch, EXPORT_TYPE_BITMAP, folder.File("k.bmp"), {4, 400, 300, 3},
                                       nullptr, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(ai, ExportResult::Failed);
    EXPECT_NE(aiError.find("too large"), std::string::npos) << aiError;
    EXPECT_LT(stoppedAt, 100000u);  // of 1,048,577
    EXPECT_EQ(bmp, ExportResult::Failed);
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    EXPECT_TRUE(folder.Entries().empty());
    EXPECT_EQ(renderer->m_bIllustrator, 0);
}

}  // namespace
