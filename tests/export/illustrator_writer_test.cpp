// The Illustrator writer: the path sink, the text pieces, whole files against golden copies,
// segment styles, the bounding box, the creation date, and every way the file cannot be made.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <random>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/export_test_support.h"
#include "export/illustrator_text.h"
#include "export/illustrator_writer.h"
#include "platform/text_format.h"
#include "view/fractal_renderer.h"

#if defined(__linux__)
#include <sys/resource.h>
#endif

using namespace export_test;

namespace {

std::chrono::system_clock::time_point FixedClock()
{
    return FixedCreationTime();
}

// Dates every file written while it lives with the fixed creation time.
class FixedClockScope {
public:
    FixedClockScope() { SetCreationClock(&FixedClock); }
    ~FixedClockScope() { SetCreationClock(nullptr); }
};

// The lines of the layer named `name` ("Pattern" or "Fractal"), from the line after its name
// up to, not including, "LB". Empty when the file has no such layer.
std::vector<std::string> LayerLines(const std::vector<std::string>& lines, const std::string& name)
{
    const auto begin = std::find(lines.begin(), lines.end(), "(" + name + ") Ln");
    if (begin == lines.end())
        return {};
    const auto end = std::find(begin, lines.end(), "LB");
    return std::vector<std::string>(begin + 1, end);
}

// The worked example: (-100, 0), (0, 50), (100, 0) without knee flags.
CPattern WorkedExamplePattern()
{
    return MakePattern({{-100, 0}, {0, 50}, {100, 0}});
}

// A pattern whose middle segment is a hidden knee.
CPattern HiddenKneePattern()
{
    return MakePattern({{-100, 0}, {-30, 40}, {30, 40}, {100, 0}}, {0, KNEE_HIDE, 0});
}

class IllustratorWriterTest : public ::testing::Test {
protected:
    // Writes `pattern` as seen by `renderer` into the scratch folder and returns the file's text.
    std::string Export(CFractalRenderer& renderer, const CPattern& pattern, const std::string& name = "out.ai")
    {
        std::string error;
        const int result = ExportIllustrator(renderer, pattern, folder.File(name).c_str(), &error);
        EXPECT_EQ(result, 1) << error;
        EXPECT_EQ(renderer.m_bIllustrator, 0);
        return ReadBytes(folder.File(name));
    }

    // Compares with tests/data/<golden>; with ZARNIX_UPDATE_GOLDEN set, rewrites it instead.
    void ExpectGolden(const std::string& text, const std::string& golden)
    {
        const std::string path = std::string(ZARNIX_TEST_DATA_DIR) + "/" + golden;
        if (std::getenv("ZARNIX_UPDATE_GOLDEN") != nullptr) {
            WriteBytes(path, text);
            return;
        }
        const std::string expected = ReadBytes(path);
        ASSERT_FALSE(expected.empty()) << "missing golden file " << path;
        EXPECT_EQ(text, expected) << "differs from " << path;
    }

    ScratchFolder folder;
    FixedClockScope clock;
};

TEST(IllustratorTextTest, PiecesAreTheFixedTextOfTheFile)
{
    const std::vector<std::string> header = SplitCrLf(std::string(IllustratorText(AI_TEXT_HEADER)));
    ASSERT_EQ(header.size(), 4u);
    EXPECT_EQ(header[0], "%!PS-Adobe-3.0");
    EXPECT_EQ(header[1].rfind("%%Creator: ", 0), 0u);
    EXPECT_NE(header[1].find("Zarnix 3.0"), std::string::npos);
    EXPECT_EQ(header[2].rfind("%%About: ", 0), 0u);
    EXPECT_EQ(header[3], "%%Title: Zarnix Image");

    // The goldens hold every piece byte for byte; here only that no id outside the table answers.
    for (int unused : {0, 61204, 61206, 61212, 61221, 61223, 61234})
        EXPECT_TRUE(IllustratorText(unused).empty()) << unused;
}

TEST(IllustratorTextTest, CreationDateHasNoLeadingZeros)
{
    using namespace std::chrono;
    EXPECT_EQ(FormatCreationDate(FixedCreationTime()), "7:5 7.12.2026");
    EXPECT_EQ(FormatCreationDate(sys_days{year{1999} / December / 31} + hours{23} + minutes{59} + seconds{59} +
                                 milliseconds{999}),
              "23:59 31.12.1999");
    // Before 1970 the day still begins at midnight, not at the next one.
    EXPECT_EQ(FormatCreationDate(sys_days{year{1969} / July / 20} + hours{20} + minutes{17}), "20:17 20.7.1969");
}

TEST_F(IllustratorWriterTest, PathSinkWritesOnePointPerLine)
{
    CIllustratorWriter writer;
    const std::string path = folder.File("sink.ai");
    ASSERT_TRUE(writer.m_aiFile.Open(path));
    const PointF a{-100.0f, 0.0f}, b{0.125f, -0.00004f}, c{12345.67f, -3.5f};
    writer.m_bFill = false;
    EXPECT_TRUE(writer.PathPoint(a, EMIT_START, 0));
    writer.WritePathPoint(&b, EMIT_LINE);
    writer.WritePathPoint(&c, EMIT_MOVE);
    writer.WritePathPoint(&a, 2);  // no such kind: nothing
    writer.WritePathPoint(&a, 7);
    writer.WritePathPoint(nullptr, EMIT_LINE);
    writer.m_bFill = true;
    writer.WritePathPoint(&c, EMIT_MOVE);  // fill mode: a hidden knee stays in the outline
    writer.WritePathPoint(&b, EMIT_START);
    writer.WritePoint(1.0f, 2.0f, 3);  // any flag but 1 draws
    ASSERT_TRUE(writer.m_aiFile.Close());
    EXPECT_EQ(ReadBytes(path),
              "\r\n-100.0000 0.0000 m"
              "\r\n0.1250 -0.0000 L"
              "\r\nS\r\n12345.6699 -3.5000 m"
              "\r\n12345.6699 -3.5000 L"
              "\r\n0.1250 -0.0000 m"
              "\r\n1.0000 2.0000 L");
}

TEST_F(IllustratorWriterTest, PointNumbersAreWhatFixedFormattingGives)
{
    // Exact ties (which round to even), signs, zeros, the edges of the integer fast path,
    // non-finite values, then a spread of random bit patterns and random ordinary values.
    std::vector<float> values = {0.0f, -0.0f, 0.03125f, -0.03125f, 0.09375f, 0.00005f, -0.00005f, 0.99995f,
                                 9.99995f, 1e-30f, -1e-30f, 123456.78f, 1e13f, 9.9999e13f, 1e14f, -1e14f,
                                 1e15f, 3.4e38f, -3.4e38f, INFINITY, -INFINITY, NAN};
    std::mt19937 random(20261207);
    std::uniform_int_distribution<uint32_t> bits;
    std::uniform_real_distribution<float> ordinary(-2000.0f, 2000.0f);
    for (int i = 0; i < 20000; ++i) {
        const uint32_t b = bits(random);
        float f;
        std::memcpy(&f, &b, sizeof f);
        values.push_back(f);
        values.push_back(ordinary(random));
        values.push_back(static_cast<float>(bits(random) % 100000) / 32.0f);  // many exact ties
    }
    CIllustratorWriter writer;
    const std::string path = folder.File("numbers.ai");
    ASSERT_TRUE(writer.m_aiFile.Open(path));
    std::string expected;
    for (size_t i = 0; i + 1 < values.size(); i += 2) {
        writer.WritePoint(values[i], values[i + 1], 0);
        expected += "\r\n";
        AppendFixed(expected, values[i], 4);
        expected += ' ';
        AppendFixed(expected, values[i + 1], 4);
        expected += " L";
    }
    ASSERT_TRUE(writer.m_aiFile.Close());
    const std::vector<std::string> got = SplitCrLf(ReadBytes(path)), want = SplitCrLf(expected);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], want[i]) << "line " << i;
}

TEST_F(IllustratorWriterTest, WorkedExampleFirstSegmentLineForLine)
{
    auto renderer = MakeRenderer(200, 100);
    renderer->m_bShowFractal = 0;
    const std::vector<std::string> lines = SplitCrLf(Export(*renderer, WorkedExamplePattern()));
    const std::vector<std::string> layer = LayerLines(lines, "Pattern");
    const std::vector<std::string> expected = {
        "0 R", "0.2500 0.0000 0.2500 0.0000 K", "0 J", "0 j", "0.5 w", "[]0 d",
        "-100.0000 0.0000 m", "0.0000 50.0000 L", "S",
        "0 R", "0.2500 0.0000 0.2500 0.0000 K", "0 J", "0 j", "0.5 w", "[]0 d",
        "0.0000 50.0000 m", "100.0000 0.0000 L", "S"};
    EXPECT_EQ(layer, expected);
    EXPECT_TRUE(LayerLines(lines, "Fractal").empty());
}

TEST_F(IllustratorWriterTest, WorkedExampleDocumentMatchesGolden)
{
    auto renderer = MakeRenderer(200, 100);
    renderer->m_nIterations = 2;
    const std::string text = Export(*renderer, WorkedExamplePattern());
    ExpectGolden(text, "export_worked_example.ai");

    const std::vector<std::string> lines = SplitCrLf(text);
    EXPECT_EQ(lines[4], "%%CreationDate: 7:5 7.12.2026");
    EXPECT_EQ(lines[5], "%%BoundingBox: -100 -50 100 50");
    EXPECT_EQ(lines[6], "%%HiResBoundingBox: -100.0000 -50.0000 100.0000 50.0000");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "%AI5_BeginLayer"), 2);
    EXPECT_EQ(lines.back(), "%%EOF");
    EXPECT_NE(text.substr(text.size() - 2), "\r\n");
    // Two iterations of the two-segment pattern: the path through four corners of the copy.
    const std::vector<std::string> fractal = LayerLines(lines, "Fractal");
    const std::vector<std::string> path(fractal.end() - 6, fractal.end());
    EXPECT_EQ(path, (std::vector<std::string>{"-100.0000 0.0000 m", "-62.5000 50.0000 L", "0.0000 50.0000 L",
                                              "62.5000 50.0000 L", "100.0000 0.0000 L", "S"}));
}

TEST_F(IllustratorWriterTest, HiddenKneeWithoutFillSplitsThePath)
{
    auto renderer = MakeRenderer(200, 100);
    renderer->m_nIterations = 2;
    renderer->m_bShowPattern = 0;
    const std::string text = Export(*renderer, HiddenKneePattern());
    ExpectGolden(text, "export_hidden_knee.ai");

    const std::vector<std::string> lines = SplitCrLf(text);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "%AI5_BeginLayer"), 1);
    EXPECT_TRUE(LayerLines(lines, "Pattern").empty());
    const std::vector<std::string> layer = LayerLines(lines, "Fractal");
    const auto styleEnd = std::find(layer.begin(), layer.end(), "[]0 d");
    ASSERT_NE(styleEnd, layer.end());
    // After the style: paths, each an "m" line, "L" lines and an "S" line.
    int paths = 0;
    bool open = false;
    for (auto it = styleEnd + 1; it != layer.end(); ++it) {
        const char op = it->back();
        if (!open) {
            EXPECT_EQ(op, 'm') << *it;
            open = true;
            ++paths;
        } else if (*it == "S") {
            open = false;
        } else {
            EXPECT_EQ(op, 'L') << *it;
        }
    }
    EXPECT_FALSE(open);
    // Three gaps: the hidden knee itself, and the hidden knee inside the copy of each of the
    // two visible segments; so four paths.
    EXPECT_EQ(paths, 4);
}

TEST_F(IllustratorWriterTest, FillModeIsOneClosedPathThroughHiddenKnees)
{
    auto renderer = MakeRenderer(200, 100);
    renderer->m_nIterations = 1;
    renderer->m_bFill = 1;
    const std::string text = Export(*renderer, HiddenKneePattern());
    ExpectGolden(text, "export_fill.ai");

    const std::vector<std::string> layer = LayerLines(SplitCrLf(text), "Fractal");
    const std::vector<std::string> expected = {
        "1 XR", "0 O", "0.0000 0.0000 0.0000 0.6000 k", "0 R", "0.0000 0.0000 0.0000 1.0000 K", "0 J", "0 j",
        "0.5 w", "[]0 d",
        // The pattern itself, its hidden knee an ordinary edge ...
        "-100.0000 0.0000 m", "-30.0000 40.0000 L", "30.0000 40.0000 L", "100.0000 0.0000 L",
        // ... closed below the baseline along the canvas border, 2 pixels outside it.
        "102.0000 0.0000 L", "102.0000 -52.0000 L", "-102.0000 -52.0000 L", "-102.0000 0.0000 L", "b"};
    EXPECT_EQ(layer, expected);
}

TEST_F(IllustratorWriterTest, NeitherLayerLeavesFramingOnly)
{
    auto renderer = MakeRenderer(200, 100);
    renderer->m_bShowPattern = 0;
    renderer->m_bShowFractal = 0;
    const std::string text = Export(*renderer, WorkedExamplePattern());
    ExpectGolden(text, "export_no_layers.ai");
    EXPECT_EQ(text.find("%AI5_BeginLayer"), std::string::npos);
    EXPECT_NE(text.find("%%EndSetup\r\n%%PageTrailer"), std::string::npos);
}

TEST_F(IllustratorWriterTest, SegmentStylesFollowTheKneeFlags)
{
    auto renderer = MakeRenderer(200, 100);
    renderer->m_bShowFractal = 0;
    const CPattern pattern = MakePattern({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}},
                                         {KNEE_REVERSE | KNEE_MIRROR, KNEE_REVERSE | KNEE_MIRROR | KNEE_HIDE,
                                          KNEE_REVERSE, KNEE_MIRROR, KNEE_STATIC, KNEE_HIDE | KNEE_STATIC});
    const std::vector<std::string> layer = LayerLines(SplitCrLf(Export(*renderer, pattern)), "Pattern");
    ASSERT_EQ(layer.size(), 6u * 9u);
    struct Style {
        const char* colour;
        const char* dash;
    };
    const Style expected[] = {
        {"0.1000 0.2500 0.1500 0.0000 K", "[15.0 15.0]0 d"},  // reverse + mirror
        {"0.0000 0.0000 0.0000 0.1000 K", "[5.0 5.0]0 d"},    // and hidden: grey, short dash
        {"0.1000 0.2500 0.1500 0.0000 K", "[]0 d"},           // reverse
        {"0.2500 0.0000 0.2500 0.0000 K", "[15.0 15.0]0 d"},  // mirror
        {"0.2500 0.0000 0.2500 0.0000 K", "[]0 d"},           // static looks plain
        {"0.0000 0.0000 0.0000 0.1000 K", "[5.0 5.0]0 d"},    // hide wins over static
    };
    for (int i = 0; i < 6; ++i) {
        const auto segment = layer.begin() + 9 * i;
        EXPECT_EQ(segment[0], "0 R") << i;
        EXPECT_EQ(segment[1], expected[i].colour) << i;
        EXPECT_EQ(segment[4], "0.5 w") << i;
        EXPECT_EQ(segment[5], expected[i].dash) << i;
        EXPECT_EQ(segment[6].back(), 'm') << i;
        EXPECT_EQ(segment[7].back(), 'L') << i;
        EXPECT_EQ(segment[8], "S") << i;
    }
}

TEST_F(IllustratorWriterTest, BoundingBoxTruncatesTowardZeroAndClampsTheUnrepresentable)
{
    auto renderer = MakeRenderer(2, 2);
    renderer->m_bShowPattern = 0;
    renderer->m_bShowFractal = 0;
    renderer->m_transform.m_origin = PointF{0.3f, 0.3f};
    std::vector<std::string> lines = SplitCrLf(Export(*renderer, WorkedExamplePattern()));
    EXPECT_EQ(lines[5], "%%BoundingBox: 0 0 1 1");
    EXPECT_EQ(lines[6], "%%HiResBoundingBox: -0.7000 -0.7000 1.3000 1.3000");

    // A scale of 0 (possible in a hand-made document) puts the corners at infinity: the
    // integers are clamped rather than converted from a non-finite value.
    renderer->m_transform.m_origin = PointF{0.0f, 0.0f};
    renderer->m_transform.m_scale = 0.0f;
    lines = SplitCrLf(Export(*renderer, WorkedExamplePattern()));
    EXPECT_EQ(lines[5], "%%BoundingBox: -2147483648 -2147483648 2147483647 2147483647");
    EXPECT_EQ(lines[6], "%%HiResBoundingBox: -inf -inf inf inf");

    // Far but finite corners are clamped the same way.
    renderer->m_transform.m_scale = 1e-9f;
    lines = SplitCrLf(Export(*renderer, WorkedExamplePattern()));
    EXPECT_EQ(lines[5], "%%BoundingBox: -1000000000 -1000000000 1000000000 1000000000");
    renderer->m_transform.m_scale = 1e-12f;
    lines = SplitCrLf(Export(*renderer, WorkedExamplePattern()));
    EXPECT_EQ(lines[5], "%%BoundingBox: -2147483648 -2147483648 2147483647 2147483647");
}

TEST_F(IllustratorWriterTest, FileThatCannotBeCreatedChangesNothing)
{
    auto renderer = MakeRenderer(200, 100);
    renderer->m_nSegments = 17;
    std::filesystem::create_directory(folder.File("taken.ai"));
    WriteBytes(folder.File("locked.ai"), "keep me");
    std::filesystem::permissions(folder.File("locked.ai"), std::filesystem::perms::owner_read | std::filesystem::perms::group_read);

    for (const std::string& name : {folder.File("taken.ai"), folder.File("locked.ai"), folder.File("no/such/folder.ai"),
                                    std::string()}) {
        std::string error;
        EXPECT_EQ(ExportIllustrator(*renderer, WorkedExamplePattern(), name.c_str(), &error), 0) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_EQ(renderer->m_bIllustrator, 0);
        EXPECT_EQ(renderer->m_nSegments, 17);
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder.File("taken.ai")));
    EXPECT_EQ(ReadBytes(folder.File("locked.ai")), "keep me");
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"locked.ai", "taken.ai"}));
}

TEST_F(IllustratorWriterTest, ImpossibleSegmentCountIsRefusedBeforeTheFile)
{
    auto renderer = MakeRenderer(200, 100);
    CPattern pattern = WorkedExamplePattern();
    for (int32_t count : {-1, 0, 1, 33, 1000}) {
        pattern.m_count = count;
        EXPECT_EQ(ExportIllustrator(*renderer, pattern, folder.File("out.ai").c_str()), 0) << count;
    }
    EXPECT_TRUE(folder.Entries().empty());
}

// Stops the export at its first report.
class StopAtOnce : public CExportProgress {
public:
    bool Continue(double) override
    {
        ++calls;
        return false;
    }
    int calls = 0;
};

TEST_F(IllustratorWriterTest, CancelledExportLeavesNoFile)
{
    auto renderer = MakeRenderer(200, 100);
    StopAtOnce stop;
    renderer->m_pProgress = &stop;
    for (int iterations : {1, 14}) {  // stopped at the end, and stopped in the middle
        renderer->m_nIterations = iterations;
        std::string error;
        EXPECT_EQ(ExportIllustrator(*renderer, WorkedExamplePattern(), folder.File("out.ai").c_str(), &error), 0);
        EXPECT_NE(error.find("cancel"), std::string::npos) << error;
        EXPECT_EQ(renderer->m_bIllustrator, 0);
        EXPECT_TRUE(folder.Entries().empty());
    }
    EXPECT_GE(stop.calls, 2);
    renderer->m_pProgress = nullptr;
}

#if defined(__linux__)
// A file size limit makes writes fail as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    bool Active() const { return m_active; }

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = SIG_DFL;
    bool m_active = false;
};

TEST_F(IllustratorWriterTest, WriteErrorLeavesNoFileAndLeavesIllustratorMode)
{
    auto renderer = MakeRenderer(200, 100);
    renderer->m_nIterations = 12;  // 4096 points, about 90 kB
    WriteBytes(folder.File("old.ai"), "previous export");
    std::string error;
    int result = 1;
    {
        FileSizeLimit limit(16384);
        ASSERT_TRUE(limit.Active());
        result = ExportIllustrator(*renderer, WorkedExamplePattern(), folder.File("old.ai").c_str(), &error);
    }
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(renderer->m_bIllustrator, 0);
    EXPECT_EQ(ReadBytes(folder.File("old.ai")), "previous export");
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"old.ai"});
}
#endif

}  // namespace
