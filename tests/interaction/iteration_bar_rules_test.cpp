#include "interaction/iteration_bar_rules.h"

#include <gtest/gtest.h>

TEST(IterationBarRules, FieldTextReadsAsNumberOrZero)
{
    EXPECT_EQ(CIterationBarRules::ReadFieldText("12"), 12);
    EXPECT_EQ(CIterationBarRules::ReadFieldText("007"), 7);
    EXPECT_EQ(CIterationBarRules::ReadFieldText(" 42 "), 42);
    EXPECT_EQ(CIterationBarRules::ReadFieldText("-3"), -3);
    EXPECT_EQ(CIterationBarRules::ReadFieldText("+5"), 5);
    // Not a number: empty, letters, trailing rubbish, beyond 32 bits, a lone sign.
    EXPECT_EQ(CIterationBarRules::ReadFieldText(""), 0);
    EXPECT_EQ(CIterationBarRules::ReadFieldText("abc"), 0);
    EXPECT_EQ(CIterationBarRules::ReadFieldText("12x"), 0);
    EXPECT_EQ(CIterationBarRules::ReadFieldText("1 2"), 0);
    EXPECT_EQ(CIterationBarRules::ReadFieldText("99999999999"), 0);
    EXPECT_EQ(CIterationBarRules::ReadFieldText("-"), 0);
}

TEST(IterationBarRules, LimitsOfEachField)
{
    // Iterations and Detail take 1 to 99, Draw Limit 1 to 59999.
    for (int id : {IDC_ITERATIONS, IDC_DETAIL}) {
        EXPECT_TRUE(CIterationBarRules::Accepts(id, 1, 7));
        EXPECT_TRUE(CIterationBarRules::Accepts(id, 99, 7));
        EXPECT_FALSE(CIterationBarRules::Accepts(id, 100, 7));
        EXPECT_FALSE(CIterationBarRules::Accepts(id, 0, 7));
        EXPECT_FALSE(CIterationBarRules::Accepts(id, -1, 7));
    }
    EXPECT_TRUE(CIterationBarRules::Accepts(IDC_DRAW_LIMIT, 59999, 1000));
    EXPECT_FALSE(CIterationBarRules::Accepts(IDC_DRAW_LIMIT, 60000, 1000));
    EXPECT_TRUE(CIterationBarRules::Accepts(IDC_DRAW_LIMIT, 100, 1000));
    // The slider is not a field and takes nothing typed.
    EXPECT_FALSE(CIterationBarRules::Accepts(IDC_ITERATION_SLIDER, 5, 7));
}

TEST(IterationBarRules, UnchangedValueIsNotApplied)
{
    EXPECT_FALSE(CIterationBarRules::Accepts(IDC_ITERATIONS, 7, 7));
    EXPECT_FALSE(CIterationBarRules::Accepts(IDC_DRAW_LIMIT, 1000, 1000));
}

TEST(IterationBarRules, TypingDigitsOneByOne)
{
    // Typing 1, 0, 0 into an empty Iterations field: 1 and then 10 are applied, 100 is not.
    int32_t current = 7;
    int applied = 0;
    for (const char* text : {"1", "10", "100"}) {
        int32_t typed = CIterationBarRules::ReadFieldText(text);
        if (CIterationBarRules::Accepts(IDC_ITERATIONS, typed, current)) {
            current = typed;
            ++applied;
        }
    }
    EXPECT_EQ(current, 10);
    EXPECT_EQ(applied, 2);
}

TEST(IterationBarRules, SliderShowsCountWithinItsRange)
{
    EXPECT_EQ(CIterationBarRules::SliderPosition(0), 0);
    EXPECT_EQ(CIterationBarRules::SliderPosition(7), 7);
    EXPECT_EQ(CIterationBarRules::SliderPosition(20), 20);
    EXPECT_EQ(CIterationBarRules::SliderPosition(50), 20);
    EXPECT_EQ(CIterationBarRules::SliderPosition(-4), 0);
}
