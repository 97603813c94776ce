// The status hints for a point, a knee and empty space.
#include <gtest/gtest.h>

#include "document/pattern.h"
#include "interaction/editor_hints.h"

namespace {

CPattern ThreeSegments()
{
    CPattern p;
    p.m_count = 3;
    p.m_points[0] = {0, 0};
    p.m_points[1] = {10, 10};
    p.m_points[2] = {20, 0};
    p.m_points[3] = {30, 0};
    p.m_kneeFlags[0] = KNEE_REVERSE;
    p.m_kneeFlags[1] = KNEE_MIRROR | KNEE_HIDE;
    p.m_kneeFlags[2] = KNEE_REVERSE | KNEE_MIRROR | KNEE_STATIC;
    p.UpdateKnees();
    return p;
}

TEST(EditorHintsTest, PointKneeAndEmptySpace)
{
    const CPattern p = ThreeSegments();
    EXPECT_EQ(EditorHintText(p, HIT_POINT, 2), "Point 2: drag to move \u00b7 Ctrl+click removes \u00b7 right-click for more");
    EXPECT_EQ(EditorHintText(p, HIT_KNEE, 0),
              "Knee 0 (reverse): click steps the direction \u00b7 Shift+click hides \u00b7 right-click for more");
    EXPECT_EQ(EditorHintText(p, HIT_KNEE, 1),
              "Knee 1 (mirror, hidden): click steps the direction \u00b7 Shift+click shows \u00b7 right-click for more");
    EXPECT_EQ(KneeFlagsText(p.m_kneeFlags[2]), "reverse, mirror, static");
    EXPECT_EQ(KneeFlagsText(0), "forward");
    EXPECT_EQ(EditorHintText(p, HIT_NONE, 1), "Ctrl+click adds a point to segment 1");
    EXPECT_EQ(EditorHintText(p, HIT_NONE, -1), "Ctrl+click adds a point before point 0");
    EXPECT_EQ(EditorHintText(p, HIT_NONE, 3), "Ctrl+click adds a point after point 3");
}

TEST(EditorHintsTest, LimitsOfThePatternAndStaleIndices)
{
    CPattern p = ThreeSegments();
    p.m_count = 2;
    p.UpdateKnees();
    // Two segments cannot lose a point; 32 cannot gain one.
    EXPECT_EQ(EditorHintText(p, HIT_POINT, 1), "Point 1: drag to move \u00b7 right-click for more");
    p.m_count = PATTERN_MAX_SEGMENTS;
    EXPECT_EQ(EditorHintText(p, HIT_NONE, 4).rfind("The pattern has its most segments (32)", 0), 0u);
    // A hit index that no longer names a point or knee reads as empty space, never out of range.
    p.m_count = 3;
    EXPECT_EQ(EditorHintText(p, HIT_POINT, 9).rfind("Ctrl+click adds a point after point 3", 0), 0u);
    EXPECT_EQ(EditorHintText(p, HIT_KNEE, 3).rfind("Ctrl+click adds a point after point 3", 0), 0u);
}

}  // namespace
