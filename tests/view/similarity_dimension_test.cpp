// The similarity dimension of the shipped examples and of patterns with hidden, static and
// degenerate segments.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "common/renderer_test_support.h"
#include "document/zarnix4_doc.h"
#include "view/similarity_dimension.h"

using namespace renderer_test;

namespace {

CPattern Example(const std::string& name)
{
    auto view = std::make_unique<CFractalRenderer>();
    CZarnix4Doc doc;
    std::string error;
    const std::string path = std::string(ZARNIX_TEST_DATA_DIR) + "/../../examples/" + name + ".zarnix";
    EXPECT_TRUE(doc.Load(path, view.get(), error)) << path << ": " << error;
    return doc.m_pattern;
}

double Dimension(const CPattern& pattern)
{
    const SimilarityDimension d = ComputeSimilarityDimension(pattern);
    EXPECT_FALSE(d.unbounded);
    return d.value;
}

TEST(SimilarityDimensionTest, TheExamples)
{
    EXPECT_NEAR(Dimension(Example("koch")), std::log(4.0) / std::log(3.0), 1e-6);
    EXPECT_NEAR(Dimension(Example("dragon")), 2.0, 1e-6);
    EXPECT_NEAR(Dimension(Example("levy_c")), 2.0, 1e-6);
    EXPECT_NEAR(Dimension(Example("sierpinski_arrowhead")), std::log(3.0) / std::log(2.0), 1e-6);
    EXPECT_NEAR(Dimension(Example("peano")), 2.0, 1e-6);
    EXPECT_EQ(FormatDimension(ComputeSimilarityDimension(Example("koch"))), "1.2619");
    EXPECT_EQ(FormatDimension(ComputeSimilarityDimension(Example("sierpinski_arrowhead"))), "1.5850");

    // The tree: a static trunk, two hidden returns, and three replaced branches of ratios
    // |(50, 60)| / 200 (twice) and 120 / 200, whose D lies between 1 and 2.
    const double d = Dimension(Example("tree"));
    const double branch = std::hypot(50.0, 60.0) / 200.0;
    EXPECT_NEAR(2.0 * std::pow(branch, d) + std::pow(0.6, d), 1.0, 1e-9);
    EXPECT_GT(d, 1.0);
}

TEST(SimilarityDimensionTest, HiddenAndStaticSegments)
{
    // Two thirds with a hidden middle: the Cantor set, below 1.
    CPattern cantor = MakePattern({{0, 0}, {1, 0}, {2, 0}, {3, 0}}, {0, KNEE_HIDE, 0});
    EXPECT_NEAR(Dimension(cantor), std::log(2.0) / std::log(3.0), 1e-9);
    EXPECT_EQ(FormatDimension(ComputeSimilarityDimension(cantor)), "0.6309");
    // A static middle draws a straight piece: max(D, 1).
    cantor.m_kneeFlags[1] = KNEE_STATIC;
    EXPECT_DOUBLE_EQ(Dimension(cantor), 1.0);
    // ...but does not lower a D above 1.
    const CPattern koch = MakePattern({{0, 0}, {1, 0}, {1.5f, 0.8660254f}, {2, 0}, {3, 0}, {3.5f, 0}},
                                      {0, 0, 0, 0, KNEE_STATIC});
    EXPECT_NEAR(Dimension(koch), std::log(4.0) / std::log(3.5), 1e-6);
    // No replaced segment: a straight figure, or nothing at all.
    CPattern flat = MakePattern({{0, 0}, {1, 1}, {2, 0}}, {KNEE_STATIC, KNEE_HIDE});
    EXPECT_DOUBLE_EQ(Dimension(flat), 1.0);
    flat.m_kneeFlags[0] = KNEE_HIDE;
    EXPECT_DOUBLE_EQ(Dimension(flat), 0.0);
    // One replaced segment beside a gap: r^D = 1 gives 0.
    flat.m_kneeFlags[0] = 0;
    EXPECT_DOUBLE_EQ(Dimension(flat), 0.0);
}

TEST(SimilarityDimensionTest, UnboundedAndDegeneratePatterns)
{
    // A replaced segment as long as the baseline, or longer.
    EXPECT_TRUE(ComputeSimilarityDimension(MakePattern({{0, 0}, {3, 0}, {3, 4}, {3, 0}})).unbounded);
    EXPECT_TRUE(ComputeSimilarityDimension(MakePattern({{0, 0}, {0, 5}, {1, 0}})).unbounded);
    EXPECT_EQ(FormatDimension(ComputeSimilarityDimension(MakePattern({{0, 0}, {0, 5}, {1, 0}}))), "unbounded");
    // ...unless that segment is hidden or static.
    const CPattern back = MakePattern({{0, 0}, {2, 0}, {1.5f, 0}, {1, 0}}, {KNEE_HIDE, 0, 0});
    EXPECT_DOUBLE_EQ(Dimension(back), 1.0);
    EXPECT_DOUBLE_EQ(Dimension(MakePattern({{0, 0}, {2, 0}, {1.5f, 0}, {1, 0}}, {KNEE_STATIC, 0, 0})), 1.0);
    // Segments of length 0 are points and add nothing.
    EXPECT_NEAR(Dimension(MakePattern({{0, 0}, {1, 0}, {1, 0}, {2, 0}, {2, 0}, {3, 0}}, {0, 0, KNEE_HIDE, 0, 0})),
                std::log(2.0) / std::log(3.0), 1e-9);
    // A baseline of length 0 leaves the start point alone.
    EXPECT_DOUBLE_EQ(Dimension(MakePattern({{0, 0}, {1, 1}, {0, 0}})), 0.0);
    CPattern bad = MakePattern({{0, 0}, {1, 1}, {2, 0}});
    bad.m_points[1].y = std::nanf("");
    EXPECT_DOUBLE_EQ(Dimension(bad), 0.0);
    // Ratios just below 1 give a large but finite D, still solved.
    const CPattern nearlyOne = MakePattern({{0, 0}, {0.5f, 0.859375f}, {1, 0}});
    const double d = Dimension(nearlyOne);
    const double r = std::hypot(0.5, 0.859375);
    EXPECT_NEAR(2.0 * std::pow(r, d), 1.0, 1e-9);
    EXPECT_GT(d, 100.0);
}

}  // namespace
