// The export dialog's arithmetic: powers with wrap-around, line counts, the aspect lock.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "export/export_settings.h"

namespace {

TEST(IntPowerTest, PowersAndWrapAround)
{
    EXPECT_EQ(IntPower(4, 5), 1024);
    EXPECT_EQ(IntPower(7, 0), 1);
    EXPECT_EQ(IntPower(0, 0), 1);
    EXPECT_EQ(IntPower(0, 3), 0);
    EXPECT_EQ(IntPower(32, 1), 32);
    EXPECT_EQ(IntPower(-2, 3), -8);
    EXPECT_EQ(IntPower(-3, 4), 81);
    EXPECT_EQ(IntPower(2, 30), 1 << 30);
    // Beyond 32 bits the product wraps around as 32-bit arithmetic does.
    EXPECT_EQ(IntPower(2, 31), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(IntPower(2, 32), 0);
    EXPECT_EQ(IntPower(3, 20), -808182895);  // 3486784401 - 2^32
    EXPECT_EQ(IntPower(32, 7), 0);           // 2^35
    EXPECT_EQ(IntPower(5, 14), 1808548329);  // 6103515625 - 2^32
    // Huge exponents take a handful of steps, not a stack frame each.
    EXPECT_EQ(IntPower(1, std::numeric_limits<int32_t>::max()), 1);
    EXPECT_EQ(IntPower(-1, std::numeric_limits<int32_t>::max()), -1);
    EXPECT_EQ(IntPower(-1, 1000000000), 1);
}

TEST(LineCountTest, SaturatesInsteadOfWrapping)
{
    bool saturated = true;
    EXPECT_EQ(LineCount(4, 5, &saturated), 1024u);
    EXPECT_FALSE(saturated);
    EXPECT_EQ(LineCount(4, 0, &saturated), 1u);
    EXPECT_EQ(LineCount(32, 12, &saturated), uint64_t{1} << 60);
    EXPECT_FALSE(saturated);
    EXPECT_EQ(LineCount(2, 63, &saturated), uint64_t{1} << 63);
    EXPECT_FALSE(saturated);
    EXPECT_EQ(LineCount(2, 64, &saturated), std::numeric_limits<uint64_t>::max());
    EXPECT_TRUE(saturated);
    EXPECT_EQ(LineCount(32, 255, &saturated), std::numeric_limits<uint64_t>::max());
    EXPECT_TRUE(saturated);
    EXPECT_EQ(LineCount(3, std::numeric_limits<int32_t>::max()), std::numeric_limits<uint64_t>::max());
    EXPECT_EQ(LineCount(1, 1000), 1u);
    EXPECT_EQ(LineCount(0, 3), 0u);
    EXPECT_EQ(LineCount(-4, 3), 0u);
}

TEST(AspectLockTest, DialogExamples)
{
    const double fourThree = ExportAspect(800, 600);
    EXPECT_EQ(CoupledHeight(1000, fourThree), 750);
    EXPECT_EQ(CoupledWidth(601, fourThree), 801);  // 801.33 + 0.6
    const double wide = ExportAspect(800, 360);
    EXPECT_EQ(CoupledHeight(1001, wide), 451);  // 450.45 + 0.6
    EXPECT_EQ(CoupledHeight(800, wide), 360);
    EXPECT_EQ(CoupledWidth(360, wide), 800);
}

TEST(AspectLockTest, FractionsOfPointFourAreCarriedUp)
{
    EXPECT_EQ(CoupledHeight(1001, 2.5), 401);  // 400.4
    EXPECT_EQ(CoupledHeight(1000, 2.5), 400);  // 400.0
    EXPECT_EQ(CoupledHeight(1002, 2.5), 401);  // 400.8
    EXPECT_EQ(CoupledWidth(3, 1.1), 3);        // 3.3
    // Truncation is toward zero.
    EXPECT_EQ(CoupledWidth(-1000, 4.0 / 3.0), -1332);  // -1333.33 + 0.6
}

TEST(AspectLockTest, NoLockWithoutHeightAndNoUndefinedConversions)
{
    EXPECT_EQ(ExportAspect(800, 0), 0.0);
    EXPECT_EQ(ExportAspect(0, 600), 0.0);
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(CoupledHeight(kMax, 1.0 / 600.0), kMax);
    EXPECT_EQ(CoupledWidth(kMax, 600.0), kMax);
    EXPECT_EQ(CoupledWidth(kMin, 600.0), kMin);
    EXPECT_EQ(CoupledHeight(5, 0.0), 0);  // infinite
    EXPECT_EQ(CoupledHeight(0, 0.0), 0);  // NaN
    EXPECT_EQ(CoupledWidth(5, std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(CoupledWidth(5, std::numeric_limits<double>::infinity()), 0);
}

}  // namespace
