// Set Coordinate as a length and an angle from the previous point.
#include <gtest/gtest.h>

#include <cmath>

#include "document/pattern.h"
#include "interaction/set_coordinate.h"

namespace {

CPattern Pattern()
{
    CPattern p;
    p.m_count = 2;
    p.m_points[0] = {0, 0};
    p.m_points[1] = {30, 40};
    p.m_points[2] = {100, 0};
    p.UpdateKnees();
    return p;
}

TEST(SetPolarTest, ShowsAndAppliesLengthAndAngle)
{
    CPattern p = Pattern();
    EXPECT_EQ(LengthText(p, 1), "50.000000");
    EXPECT_EQ(AngleText(p, 1), "53.130102");
    EXPECT_EQ(AngleText(p, 2), "-29.744881");
    // Point 0 has no previous point.
    EXPECT_EQ(LengthText(p, 0), "");
    double length = 0, angle = 0;
    EXPECT_FALSE(PolarFromPrevious(p, 0, length, angle));

    // A Koch peak: 60 degrees at the length of the first third.
    ApplySetPolar(p, 1, "50", "60");
    EXPECT_NEAR(p.m_points[1].x, 25.0, 1e-4);
    EXPECT_NEAR(p.m_points[1].y, 43.30127, 1e-4);
    // The knees follow, and the point after is untouched.
    EXPECT_NEAR(p.m_knees[0].x, 12.5, 1e-4);
    EXPECT_EQ(p.m_points[2], (PointF{100, 0}));
    // Straight back at 180 degrees.
    ApplySetPolar(p, 2, "10", "180");
    EXPECT_NEAR(p.m_points[2].x, 15.0, 1e-4);
    EXPECT_NEAR(p.m_points[2].y, 43.30127, 1e-4);
}

TEST(SetPolarTest, AFieldThatIsNoNumberKeepsItsPart)
{
    CPattern p = Pattern();
    ApplySetPolar(p, 1, "abc", "90");  // the length stays 50
    EXPECT_NEAR(p.m_points[1].x, 0.0, 1e-4);
    EXPECT_NEAR(p.m_points[1].y, 50.0, 1e-4);
    ApplySetPolar(p, 1, "20", "");  // the angle stays 90
    EXPECT_NEAR(p.m_points[1].y, 20.0, 1e-4);
    p.m_points[0] = PointF{3e38f, 0.0f};
    const CPattern before = p;
    ApplySetPolar(p, 0, "5", "5");  // point 0: nothing to measure from
    ApplySetPolar(p, 1, "3e38", "0");  // lands outside the floats
    ApplySetPolar(p, 7, "5", "5");  // no such point
    for (int i = 0; i <= 2; ++i)
        EXPECT_EQ(p.m_points[i], before.m_points[i]);
}

}  // namespace
