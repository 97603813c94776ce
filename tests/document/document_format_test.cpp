// Reading and writing .zarnix documents: the exact text the writer produces, the reader's
// parsing rules, the legacy binary layout, and the files that are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "common/test_util.h"
#include "document/pattern.h"
#include "document/zarnix4_doc.h"
#include "platform/archive.h"
#include "platform/random.h"
#include "view/fractal_renderer.h"

using testutil::CrLfLines;
using testutil::DataFile;
using testutil::FileExists;
using testutil::ReadFile;
using testutil::TempDir;
using testutil::WriteFile;

namespace {

// The renderer's drawing settings, which hold the view settings a document file carries,
// plus the loaded-from-file flag.
struct ViewState {
    CDrawSettings settings;
    uint8_t loaded = 0;

    static ViewState Of(const CFractalRenderer& v) { return ViewState{v.DrawSettings(), v.m_bLoadedFromFile}; }
    void ApplyTo(CFractalRenderer& v) const
    {
        v.SetDrawSettings(settings);
        v.m_bLoadedFromFile = loaded;
    }
    friend bool operator==(const ViewState&, const ViewState&) = default;
};

void PrintTo(const ViewState& s, std::ostream* os)
{
    PrintTo(s.settings, os);
    *os << ", loaded " << int(s.loaded);
}

// The values a document file carries; the other settings as a new renderer has them.
ViewState State(int32_t iterations, uint8_t pattern, uint8_t fractal, uint8_t fill, uint8_t loaded, PointF origin,
                float scale)
{
    ViewState s;
    s.settings.iterations = iterations;
    s.settings.showPattern = pattern;
    s.settings.showFractal = fractal;
    s.settings.fill = fill;
    s.settings.originX = origin.x;
    s.settings.originY = origin.y;
    s.settings.scale = scale;
    s.loaded = loaded;
    return s;
}

// Settings unlike the defaults and unlike anything the test files hold.
const ViewState kBefore = State(11, 5, 6, 9, 0, {-4.5f, 8.25f}, 3.5f);

std::unique_ptr<CFractalRenderer> MakeView(const ViewState& state = kBefore)
{
    auto view = std::make_unique<CFractalRenderer>();
    state.ApplyTo(*view);
    return view;
}

// A document whose pattern has 3 segments with recognisable values everywhere, including
// the entries beyond the live ones.
CZarnix4Doc MakeDoc()
{
    CZarnix4Doc doc;
    CPattern& p = doc.m_pattern;
    for (int i = 0; i <= PATTERN_MAX_SEGMENTS; ++i)
        p.m_points[i] = PointF{100.0f + i, 200.0f + i};
    for (int i = 0; i < PATTERN_MAX_SEGMENTS; ++i)
        p.m_kneeFlags[i] = static_cast<uint8_t>(0x40 + i);
    p.m_count = 3;
    p.UpdateKnees();
    return doc;
}

bool SameRecord(const CPattern& a, const CPattern& b)
{
    return std::memcmp(&a, &b, sizeof(CPattern)) == 0;
}

void ExpectKneesAreMidpoints(const CPattern& p)
{
    for (int i = 0; i < p.m_count; ++i) {
        PointF a = p.m_points[i], b = p.m_points[i + 1];
        EXPECT_EQ(p.m_knees[i], (PointF{(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f})) << "knee " << i;
    }
}

// Loads `bytes` as a file through the document's open path.
struct LoadResult {
    bool ok;
    std::string error;
};
LoadResult LoadBytes(CZarnix4Doc& doc, CFractalRenderer* view, const std::string& bytes)
{
    TempDir dir;
    WriteFile(dir.File("in.zarnix"), bytes);
    LoadResult r{false, {}};
    r.ok = doc.Load(dir.File("in.zarnix"), view, r.error);
    return r;
}

std::string SaveBytes(CZarnix4Doc& doc, CFractalRenderer* view)
{
    TempDir dir;
    std::string error;
    EXPECT_TRUE(doc.Save(dir.File("out.zarnix"), view, error)) << error;
    return ReadFile(dir.File("out.zarnix"));
}

std::string Replace(std::string s, const std::string& from, const std::string& to)
{
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

size_t CountOf(const std::string& s, const std::string& what)
{
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + what.size()))
        ++n;
    return n;
}

// A legacy binary pattern: int32 count, (count+1) float pairs, count flag bytes.
std::string Legacy(int32_t count, const std::vector<PointF>& points, const std::vector<uint8_t>& flags)
{
    std::string bytes;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put32(static_cast<uint32_t>(count));
    for (PointF p : points) {
        uint32_t bits;
        std::memcpy(&bits, &p.x, 4);
        put32(bits);
        std::memcpy(&bits, &p.y, 4);
        put32(bits);
    }
    for (uint8_t f : flags)
        bytes += static_cast<char>(f);
    return bytes;
}

// A complete, valid text document of 3 segments with a view section.
std::string ValidText(const std::string& countLine = "3")
{
    return CrLfLines({"ZARNIX4", countLine, "1.000000 2.000000", "3.000000 4.000000", "5.000000 6.000000",
                      "7.000000 8.000000", "1", "2", "3", "Iterations: 4", "Pattern: 1", "Fractal: 0",
                      "Fill: 1", "Origin: 0.500000 -0.500000", "Scale: 2.000000"});
}

}  // namespace

TEST(DocumentWrite, NewDocumentIsTheDocumentedExample)
{
    ProgramRandom().Reset();
    CZarnix4Doc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    auto view = std::make_unique<CFractalRenderer>();  // default settings and view
    const std::string expected = ReadFile(DataFile("new_document.zarnix"));
    ASSERT_EQ(expected.size(), 177u);

    const std::string written = SaveBytes(doc, view.get());
    EXPECT_EQ(written.size(), 177u);
    EXPECT_EQ(written, expected);

    // Without a view only the pattern section is written: the first seven lines.
    CArchive ar(CArchive::store);
    doc.Serialize(ar, nullptr);
    EXPECT_EQ(ar.Bytes(), expected.substr(0, expected.find("Iterations:")));
    // Writing does not touch the pattern.
    EXPECT_EQ(doc.m_pattern.m_points[1], (PointF{-11.8f, -100.0f}));
}

TEST(DocumentWrite, EveryLineEndsWithCrLfAndNothingFollows)
{
    CZarnix4Doc doc = MakeDoc();
    doc.m_pattern.m_points[2] = PointF{-0.0f, -0.0000001f};
    doc.m_pattern.m_points[3] = PointF{1e7f, -123456.789f};
    auto view = MakeView();
    const std::string bytes = SaveBytes(doc, view.get());
    EXPECT_EQ(CountOf(bytes, "\r\n"), 2u + 4 + 3 + 6);
    EXPECT_EQ(CountOf(bytes, "\n"), CountOf(bytes, "\r\n"));
    EXPECT_EQ(CountOf(bytes, "\r"), CountOf(bytes, "\r\n"));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    EXPECT_NE(bytes.find("\r\n-0.000000 -0.000000\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("\r\n10000000.000000 -123456.789062\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("\r\nIterations: 11\r\nPattern: 5\r\nFractal: 6\r\nFill: 9\r\n"
                         "Origin: -4.500000 8.250000\r\nScale: 3.500000\r\n"),
              std::string::npos)
        << bytes;
}

TEST(DocumentRoundTrip, CountFlagsAndSettingsExactNumbersToSixDecimals)
{
    CZarnix4Doc doc;
    CPattern& p = doc.m_pattern;
    const PointF points[] = {{-100.0f, 0.0f}, {-11.8f, -100.0f}, {0.1234567f, 98765.4321f},
                             {-0.0f, 1e-7f},  {3.3333333f, -2.71828f}, {1234567.0f, -0.5f}};
    const uint8_t flags[] = {0, 1, 255, 8, 13};
    p.m_count = 5;
    for (int i = 0; i <= 5; ++i)
        p.m_points[i] = points[i];
    for (int i = 0; i < 5; ++i)
        p.m_kneeFlags[i] = flags[i];
    p.UpdateKnees();
    auto view = MakeView(State(13, 0, 1, 1, 0, {-3.25f, 1234.5678f}, 0.012345f));
    const std::string bytes = SaveBytes(doc, view.get());

    CZarnix4Doc loaded = MakeDoc();
    auto loadedView = MakeView();
    LoadResult r = LoadBytes(loaded, loadedView.get(), bytes);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(loaded.m_pattern.m_count, 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(loaded.m_pattern.m_kneeFlags[i], flags[i]) << "flag " << i;
    for (int i = 0; i <= 5; ++i) {
        // Six decimals, and then the float nearest to them.
        const PointF& got = loaded.m_pattern.m_points[i];
        EXPECT_FLOAT_CLOSE(got.x, points[i].x, 5e-7 + std::fabs(points[i].x) * 1.2e-7) << "point " << i;
        EXPECT_FLOAT_CLOSE(got.y, points[i].y, 5e-7 + std::fabs(points[i].y) * 1.2e-7) << "point " << i;
    }
    ExpectKneesAreMidpoints(loaded.m_pattern);
    const ViewState s = ViewState::Of(*loadedView);
    EXPECT_EQ(s.settings.iterations, 13);
    EXPECT_EQ(s.settings.showPattern, 0);
    EXPECT_EQ(s.settings.showFractal, 1);
    EXPECT_EQ(s.settings.fill, 1);
    EXPECT_EQ(s.loaded, 1);
    EXPECT_POINT_NEAR((PointF{s.settings.originX, s.settings.originY}), (PointF{-3.25f, 1234.5678f}), 2e-4);
    EXPECT_FLOAT_CLOSE(s.settings.scale, 0.012345, 5e-7);

    // Saving what was read gives the same file again.
    EXPECT_EQ(SaveBytes(loaded, loadedView.get()), bytes);
}

TEST(DocumentRoundTrip, ThirtyTwoSegmentsMakeSeventyThreeLines)
{
    CZarnix4Doc doc;
    CPattern& p = doc.m_pattern;
    p.m_count = 32;
    for (int i = 0; i <= 32; ++i)
        p.m_points[i] = PointF{i * 6.25f - 100.0f, (i % 5) * -3.5f};
    for (int i = 0; i < 32; ++i)
        p.m_kneeFlags[i] = static_cast<uint8_t>(i * 7);
    p.UpdateKnees();
    auto view = std::make_unique<CFractalRenderer>();
    const std::string bytes = SaveBytes(doc, view.get());
    EXPECT_EQ(CountOf(bytes, "\r\n"), 73u);
    EXPECT_EQ(CountOf(bytes, "\n"), 73u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");

    CZarnix4Doc loaded = MakeDoc();
    LoadResult r = LoadBytes(loaded, view.get(), bytes);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(SameRecord(loaded.m_pattern, doc.m_pattern)) << "every value here is exact in six decimals";
}

TEST(DocumentRoundTrip, ScaleAtTheZoomBoundsSurvives)
{
    for (float scale : {1e-6f, 1.4e-6f, 1e9f, 123456.75f}) {
        CZarnix4Doc doc = MakeDoc();
        auto view = MakeView(State(7, 1, 1, 0, 0, {0, 0}, scale));
        const std::string bytes = SaveBytes(doc, view.get());
        auto loadedView = MakeView();
        LoadResult r = LoadBytes(doc, loadedView.get(), bytes);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_FLOAT_CLOSE(loadedView->m_transform.m_scale, scale, 5e-7 + scale * 1.2e-7) << bytes;
    }
}

TEST(DocumentRead, MissingViewSectionKeepsTheViewSettings)
{
    CZarnix4Doc source = MakeDoc();
    source.m_pattern.m_kneeFlags[2] = 9;
    CArchive ar(CArchive::store);
    source.Serialize(ar, nullptr);
    const std::string withEnd = ar.Bytes();
    ASSERT_EQ(withEnd.substr(withEnd.size() - 5), "\r\n9\r\n");
    const std::string withoutEnd = withEnd.substr(0, withEnd.size() - 2);

    for (const std::string& bytes : {withEnd, withoutEnd, Replace(withEnd, "\r\n", "\n"),
                                     Replace(withoutEnd, "\r\n", "\n")}) {
        CZarnix4Doc doc;
        doc.m_pattern.m_kneeFlags[2] = 0;
        auto view = MakeView();
        LoadResult r = LoadBytes(doc, view.get(), bytes);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(doc.m_pattern.m_count, 3);
        for (int i = 0; i <= 3; ++i)
            EXPECT_EQ(doc.m_pattern.m_points[i], source.m_pattern.m_points[i]);
        EXPECT_EQ(doc.m_pattern.m_kneeFlags[2], 9) << "the last flag line, terminated or not";
        EXPECT_EQ(ViewState::Of(*view), kBefore) << "loaded-from-file stays clear";
    }
}

TEST(DocumentRead, LfOnlyAndAnyMagicLineAfterZarn)
{
    const std::string crlf = ValidText();
    CZarnix4Doc reference = MakeDoc();
    auto referenceView = MakeView();
    ASSERT_TRUE(LoadBytes(reference, referenceView.get(), crlf).ok);
    EXPECT_EQ(ViewState::Of(*referenceView), (State(4, 1, 0, 1, 1, {0.5f, -0.5f}, 2.0f)));
    EXPECT_EQ(reference.m_pattern.m_points[3], (PointF{7.0f, 8.0f}));
    EXPECT_EQ(reference.m_pattern.m_kneeFlags[2], 3);

    for (const std::string& bytes :
         {Replace(crlf, "\r\n", "\n"), Replace(crlf, "ZARNIX4", "ZARNxyz"), Replace(crlf, "ZARNIX4", "ZARN"),
          Replace(crlf, "ZARNIX4\r\n", "ZARNIX4 and anything else at all\n")}) {
        CZarnix4Doc doc = MakeDoc();
        auto view = MakeView();
        LoadResult r = LoadBytes(doc, view.get(), bytes);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_TRUE(SameRecord(doc.m_pattern, reference.m_pattern));
        EXPECT_EQ(ViewState::Of(*view), ViewState::Of(*referenceView));
    }
}

TEST(DocumentRead, NumbersFollowTheScanningRules)
{
    const std::string bytes = CrLfLines({
        "ZARNIX4",
        "  3 segments",
        "  -1.5\t\t2.25 trailing words",  // leading blanks, a tab run, junk after
        "1.5,2.5",                         // a comma: x only
        "nan 7",                           // not a number: neither field
        "8 inf",                           // x only
        "257",                             // low 8 bits: 1
        "-1",                              // 255
        "3 words",                         // 3
        "Iterations: 9 more",
        "Pattern: 2",    // non-zero: on
        "Fractal: 256",  // low 8 bits 0: off
        "Fill:1",        // the blank matches none
        "Origin: 1.5",   // x only
        "Scale: 2.5 zoom",
    });
    CZarnix4Doc doc = MakeDoc();
    auto view = MakeView();
    LoadResult r = LoadBytes(doc, view.get(), bytes);
    ASSERT_TRUE(r.ok) << r.error;
    const CPattern& p = doc.m_pattern;
    EXPECT_EQ(p.m_count, 3);
    EXPECT_EQ(p.m_points[0], (PointF{-1.5f, 2.25f}));
    EXPECT_EQ(p.m_points[1], (PointF{1.5f, 201.0f}));
    EXPECT_EQ(p.m_points[2], (PointF{102.0f, 202.0f}));
    EXPECT_EQ(p.m_points[3], (PointF{8.0f, 203.0f}));
    EXPECT_EQ(p.m_kneeFlags[0], 1);
    EXPECT_EQ(p.m_kneeFlags[1], 255);
    EXPECT_EQ(p.m_kneeFlags[2], 3);
    ExpectKneesAreMidpoints(p);
    EXPECT_EQ(ViewState::Of(*view), (State(9, 2, 0, 1, 1, {1.5f, kBefore.settings.originY}, 2.5f)));
}

TEST(DocumentRead, NumbersBelowTheFloatRangeReadAsZero)
{
    // As sscanf's "%f": a magnitude too small for a float is converted, to zero; the line's
    // second number is then read as well.
    const std::string bytes =
        CrLfLines({"ZARNIX4", "3", "1e-50 5", "1e-400 6", "-0x1p-2000 7", "2 1e-400", "1", "2", "3"});
    CZarnix4Doc doc = MakeDoc();
    auto view = MakeView();
    ASSERT_TRUE(LoadBytes(doc, view.get(), bytes).ok);
    EXPECT_EQ(doc.m_pattern.m_points[0], (PointF{0.0f, 5.0f}));
    EXPECT_EQ(doc.m_pattern.m_points[1], (PointF{0.0f, 6.0f}));
    EXPECT_EQ(doc.m_pattern.m_points[2], (PointF{0.0f, 7.0f}));
    EXPECT_EQ(doc.m_pattern.m_points[3], (PointF{2.0f, 0.0f}));
}

TEST(DocumentRead, FlagLinesThatAreNotNumbersKeepTheirFlags)
{
    const std::string bytes = CrLfLines({"ZARNIX4", "3", "0 0", "1 1", "2 2", "3 3", "", "abc", "  \t12"});
    CZarnix4Doc doc = MakeDoc();
    auto view = MakeView();
    ASSERT_TRUE(LoadBytes(doc, view.get(), bytes).ok);
    EXPECT_EQ(doc.m_pattern.m_kneeFlags[0], 0x40);
    EXPECT_EQ(doc.m_pattern.m_kneeFlags[1], 0x41);
    EXPECT_EQ(doc.m_pattern.m_kneeFlags[2], 12);
    EXPECT_EQ(ViewState::Of(*view), kBefore);
}

TEST(DocumentRead, SettingLinesNeedTheirWordAtTheStart)
{
    struct Case {
        const char* line;
        uint8_t pattern;  // the expected show-pattern value; kBefore's 5 when not taken
    };
    for (Case c : {Case{"Pattern: 1", 1}, Case{"Pattern:0", 0}, Case{"Pattern:\t\t3", 3}, Case{"Pattern: 257", 1},
                   Case{"Pattern: -1", 255}, Case{" Pattern: 1", 5}, Case{"pattern: 1", 5}, Case{"PATTERN: 1", 5},
                   Case{"Pattern 1", 5}, Case{"Pattern: x", 5}, Case{"", 5}, Case{"Fractal: 1", 5}}) {
        std::string bytes = Replace(ValidText(), "Pattern: 1", c.line);
        CZarnix4Doc doc = MakeDoc();
        auto view = MakeView();
        LoadResult r = LoadBytes(doc, view.get(), bytes);
        ASSERT_TRUE(r.ok) << r.error;
        const ViewState expected = State(4, c.pattern, 0, 1, 1, {0.5f, -0.5f}, 2.0f);
        EXPECT_EQ(ViewState::Of(*view), expected) << '"' << c.line << '"';
    }
}

TEST(DocumentRead, IterationsAreTakenFromZeroTo255)
{
    struct Case {
        const char* line;
        int32_t iterations;  // kBefore's 11 when not taken
    };
    for (Case c : {Case{"Iterations: 0", 0}, Case{"Iterations: 20", 20}, Case{"Iterations: 255", 255},
                   Case{"Iterations: 256", 11}, Case{"Iterations: -1", 11}, Case{"Iterations: 4294967297", 1},
                   Case{"Iterations: 99999999999", 11}, Case{"iterations: 5", 11}, Case{"Iterations:", 11},
                   Case{"", 11}}) {
        std::string bytes = Replace(ValidText(), "Iterations: 4", c.line);
        CZarnix4Doc doc = MakeDoc();
        auto view = MakeView();
        ASSERT_TRUE(LoadBytes(doc, view.get(), bytes).ok);
        const ViewState expected = State(c.iterations, 1, 0, 1, 1, {0.5f, -0.5f}, 2.0f);
        EXPECT_EQ(ViewState::Of(*view), expected) << '"' << c.line << '"';
    }
}

TEST(DocumentRead, OriginAndScaleLines)
{
    struct Case {
        const char* origin;
        const char* scale;
        PointF expectedOrigin;
        float expectedScale;
    };
    const PointF keep{kBefore.settings.originX, kBefore.settings.originY};
    const float keepScale = kBefore.settings.scale;
    for (Case c : {
             Case{"Origin: 3 4", "Scale: 0.5", {3.0f, 4.0f}, 0.5f},
             Case{"Origin:3\t4", "Scale:0.25", {3.0f, 4.0f}, 0.25f},
             Case{"Origin: 3,4", "Scale: 0", {3.0f, keep.y}, keepScale},
             Case{"Origin: nan 4", "Scale: -2", keep, keepScale},
             Case{"Origin: 3 inf", "Scale: nan", {3.0f, keep.y}, keepScale},
             Case{"origin: 3 4", "Scale: inf", keep, keepScale},
             Case{" Origin: 3 4", "Scale: 1e10", keep, keepScale},
             Case{"Origin:", "Scale: 0.0000001", keep, keepScale},
             Case{"", "", keep, keepScale},
             Case{"Origin: -0.000000 0.000000", "Scale: 0.000001", {-0.0f, 0.0f}, 1e-6f},
             Case{"Origin: 1e3 -2e3", "Scale: 1000000000", {1000.0f, -2000.0f}, 1e9f},
             Case{"Origin: 1 2", "scale: 3", {1.0f, 2.0f}, keepScale},
         }) {
        std::string bytes = Replace(Replace(ValidText(), "Origin: 0.500000 -0.500000", c.origin),
                                    "Scale: 2.000000", c.scale);
        CZarnix4Doc doc = MakeDoc();
        auto view = MakeView();
        ASSERT_TRUE(LoadBytes(doc, view.get(), bytes).ok);
        EXPECT_EQ(view->m_transform.m_origin, c.expectedOrigin) << c.origin;
        EXPECT_EQ(view->m_transform.m_scale, c.expectedScale) << c.scale;
        EXPECT_EQ(view->m_bLoadedFromFile, 1);
    }
}

TEST(DocumentRead, FilesThatEndEarlyKeepWhatTheyDoNotSupply)
{
    {
        // Count 3, but only two point lines.
        CZarnix4Doc doc = MakeDoc();
        doc.m_pattern.m_count = 2;
        auto view = MakeView();
        ASSERT_TRUE(LoadBytes(doc, view.get(), CrLfLines({"ZARNIX4", "3", "1 2", "3 4"})).ok);
        const CPattern& p = doc.m_pattern;
        EXPECT_EQ(p.m_count, 3);
        EXPECT_EQ(p.m_points[0], (PointF{1.0f, 2.0f}));
        EXPECT_EQ(p.m_points[1], (PointF{3.0f, 4.0f}));
        EXPECT_EQ(p.m_points[2], (PointF{102.0f, 202.0f}));
        EXPECT_EQ(p.m_points[3], (PointF{103.0f, 203.0f}));
        EXPECT_EQ(p.m_kneeFlags[0], 0x40);
        EXPECT_EQ(p.m_kneeFlags[2], 0x42);
        ExpectKneesAreMidpoints(p);
        EXPECT_EQ(ViewState::Of(*view), kBefore);
    }
    {
        // The view section stops after its first line.
        std::string bytes = ValidText();
        bytes = bytes.substr(0, bytes.find("Pattern:"));
        CZarnix4Doc doc = MakeDoc();
        auto view = MakeView();
        ASSERT_TRUE(LoadBytes(doc, view.get(), bytes).ok);
        ViewState expected = kBefore;
        expected.settings.iterations = 4;
        expected.loaded = 1;
        EXPECT_EQ(ViewState::Of(*view), expected);
    }
    {
        // Everything but the scale line.
        std::string bytes = ValidText();
        bytes = bytes.substr(0, bytes.find("Scale:"));
        CZarnix4Doc doc = MakeDoc();
        auto view = MakeView();
        ASSERT_TRUE(LoadBytes(doc, view.get(), bytes).ok);
        EXPECT_EQ(ViewState::Of(*view), (State(4, 1, 0, 1, 1, {0.5f, -0.5f}, kBefore.settings.scale)));
    }
}

TEST(DocumentRead, LegacyBinaryPattern)
{
    const std::vector<PointF> points{{-100.0f, 0.0f}, {1.5f, -77.25f}, {100.0f, 0.0f}};
    const std::string bytes = Legacy(2, points, {5, 200});
    ASSERT_EQ(bytes.size(), 30u);
    CZarnix4Doc doc = MakeDoc();
    auto view = MakeView();
    LoadResult r = LoadBytes(doc, view.get(), bytes);
    ASSERT_TRUE(r.ok) << r.error;
    const CPattern& p = doc.m_pattern;
    EXPECT_EQ(p.m_count, 2);
    for (int i = 0; i <= 2; ++i)
        EXPECT_EQ(p.m_points[i], points[i]) << i;
    EXPECT_EQ(p.m_kneeFlags[0], 5);
    EXPECT_EQ(p.m_kneeFlags[1], 200);
    EXPECT_EQ(p.m_kneeFlags[2], 0x42) << "beyond the count";
    ExpectKneesAreMidpoints(p);
    EXPECT_EQ(ViewState::Of(*view), kBefore) << "no view section";

    // View lines after the flags are read as in the text format.
    CZarnix4Doc withView = MakeDoc();
    auto view2 = MakeView();
    std::string text = ValidText();
    ASSERT_TRUE(LoadBytes(withView, view2.get(), bytes + text.substr(text.find("Iterations:"))).ok);
    EXPECT_EQ(ViewState::Of(*view2), (State(4, 1, 0, 1, 1, {0.5f, -0.5f}, 2.0f)));
    EXPECT_EQ(withView.m_pattern.m_points[1], points[1]);
}

TEST(DocumentRead, ShortLegacyFilesLeaveTheRestUnchanged)
{
    const std::vector<PointF> points{{1.0f, 2.0f}, {3.0f, 4.0f}, {5.0f, 6.0f}, {7.0f, 8.0f}};
    const std::string full = Legacy(3, points, {1, 2, 3});
    struct Case {
        size_t size;
        int pointsRead;  // whole points
        bool thirdX;     // the x of point 2 as well
        int flagsRead;
    };
    for (Case c : {Case{4, 0, false, 0}, Case{4 + 16, 2, false, 0}, Case{4 + 20, 2, true, 0},
                   Case{4 + 23, 2, true, 0}, Case{4 + 32 + 1, 4, false, 1}, Case{4 + 32 + 3, 4, false, 3}}) {
        CZarnix4Doc doc = MakeDoc();
        const CPattern before = doc.m_pattern;
        auto view = MakeView();
        LoadResult r = LoadBytes(doc, view.get(), full.substr(0, c.size));
        ASSERT_TRUE(r.ok) << c.size << ": " << r.error;
        const CPattern& p = doc.m_pattern;
        EXPECT_EQ(p.m_count, 3);
        for (int i = 0; i <= 3; ++i) {
            PointF expected = i < c.pointsRead ? points[i] : before.m_points[i];
            if (i == 2 && c.thirdX)
                expected.x = points[2].x;
            EXPECT_EQ(p.m_points[i], expected) << c.size << " bytes, point " << i;
        }
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(p.m_kneeFlags[i], i < c.flagsRead ? i + 1 : before.m_kneeFlags[i]) << c.size << " bytes, flag " << i;
        ExpectKneesAreMidpoints(p);
        EXPECT_EQ(ViewState::Of(*view), kBefore);
    }
}

TEST(DocumentRead, LegacyNonFiniteNumbersAreNotTaken)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    CZarnix4Doc doc = MakeDoc();
    auto view = MakeView();
    ASSERT_TRUE(LoadBytes(doc, view.get(), Legacy(2, {{nan, 1.0f}, {2.0f, inf}, {-inf, 3.0f}}, {1, 2})).ok);
    EXPECT_EQ(doc.m_pattern.m_points[0], (PointF{100.0f, 1.0f}));
    EXPECT_EQ(doc.m_pattern.m_points[1], (PointF{2.0f, 201.0f}));
    EXPECT_EQ(doc.m_pattern.m_points[2], (PointF{102.0f, 3.0f}));
}

TEST(DocumentRead, RefusedFilesChangeNothing)
{
    const std::vector<PointF> three{{0, 0}, {1, 1}, {2, 2}};
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty", ""},
        {"one byte", "Z"},
        {"two bytes", "ZA"},
        {"three bytes", "ZAR"},
        {"three binary bytes", std::string("\x02\x00\x00", 3)},
        {"magic only", "ZARN"},
        {"magic line only", "ZARNIX4\r\n"},
        {"count 1", ValidText("1")},
        {"count 33", ValidText("33")},
        {"count -5", ValidText("-5")},
        {"count 0", ValidText("0")},
        {"count 2147483648", ValidText("2147483648")},
        {"count abc", ValidText("abc")},
        {"count empty", ValidText("")},
        {"count blank", ValidText(" \t ")},
        {"count with a comma", ValidText(",3")},
        {"legacy count 1", Legacy(1, three, {1, 2})},
        {"legacy count 33", Legacy(33, three, {1, 2})},
        {"legacy count -5", Legacy(-5, three, {1, 2})},
        {"legacy count 0", Legacy(0, three, {1, 2})},
        {"legacy huge count", Legacy(0x7FFFFFFF, three, {1, 2})},
    };
    for (const Case& c : cases) {
        CZarnix4Doc doc = MakeDoc();
        const CPattern before = doc.m_pattern;
        auto view = MakeView();
        LoadResult r = LoadBytes(doc, view.get(), c.bytes);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_FALSE(r.error.empty()) << c.what;
        EXPECT_TRUE(SameRecord(doc.m_pattern, before)) << c.what;
        EXPECT_EQ(ViewState::Of(*view), kBefore) << c.what;

        // Also through a document that has no view.
        CZarnix4Doc alone = MakeDoc();
        std::string error;
        EXPECT_FALSE(LoadBytes(alone, nullptr, c.bytes).ok) << c.what;
        EXPECT_TRUE(SameRecord(alone.m_pattern, before)) << c.what;
    }
}

TEST(DocumentRead, RefusalRestoresALoadedFromFileFlag)
{
    CZarnix4Doc doc = MakeDoc();
    ViewState state = kBefore;
    state.loaded = 1;
    auto view = MakeView(state);
    EXPECT_FALSE(LoadBytes(doc, view.get(), ValidText("40")).ok);
    EXPECT_EQ(ViewState::Of(*view), state);
}

TEST(DocumentFile, MissingFilesAndFoldersAreErrors)
{
    TempDir dir;
    CZarnix4Doc doc = MakeDoc();
    const CPattern before = doc.m_pattern;
    auto view = MakeView();
    std::string error;
    EXPECT_FALSE(doc.Load(dir.File("missing.zarnix"), view.get(), error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(doc.Load(dir.Path().string(), view.get(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(SameRecord(doc.m_pattern, before));
    EXPECT_EQ(ViewState::Of(*view), kBefore);

    error.clear();
    EXPECT_FALSE(doc.Save(dir.File("missing/out.zarnix"), view.get(), error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(doc.Save(dir.Path().string(), view.get(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(dir.Entries().empty());

    // Saving over an existing document replaces it whole.
    WriteFile(dir.File("doc.zarnix"), std::string(5000, 'x'));
    ASSERT_TRUE(doc.Save(dir.File("doc.zarnix"), view.get(), error)) << error;
    CZarnix4Doc again = MakeDoc();
    auto view2 = std::make_unique<CFractalRenderer>();
    ASSERT_TRUE(again.Load(dir.File("doc.zarnix"), view2.get(), error)) << error;
    EXPECT_TRUE(SameRecord(again.m_pattern, before));
    ViewState expected = kBefore;
    expected.loaded = 1;
    EXPECT_EQ(ViewState::Of(*view2), expected);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"doc.zarnix"});
}
