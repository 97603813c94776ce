// The Iteration Bar's value rules: which typed value a field takes, how its text reads, and
// where the slider stands for an iteration count. Kept apart from the widgets so the rules
// can be checked without a display.
#pragma once

#include <cstdint>
#include <string_view>

// Control ids of the Iteration Bar.
constexpr int IDC_DRAW_LIMIT = 1004;
constexpr int IDC_DETAIL = 1005;
constexpr int IDC_ITERATION_SLIDER = 1006;
constexpr int IDC_ITERATIONS = 1007;

// The slider's range.
constexpr int32_t ITERATION_SLIDER_MIN = 0;
constexpr int32_t ITERATION_SLIDER_MAX = 20;

class CIterationBarRules {
public:
    // The exclusive upper limit of a field's accepted values: 100 for Iterations and Detail,
    // 60000 for Draw Limit; 0 for an id that is not one of the three fields.
    static int32_t FieldLimit(int fieldId);

    // Reads a field's text as a signed integer. Blanks around the number are allowed; a text
    // that is not a whole number (empty, other characters, out of the 32-bit range) reads 0.
    static int32_t ReadFieldText(std::string_view text);

    // A typed value is taken when it is greater than 0, differs from the current value and
    // lies below the field's limit.
    static bool Accepts(int fieldId, int32_t typed, int32_t current);

    // The slider position that shows an iteration count: the count held within 0 to 20.
    static int32_t SliderPosition(int32_t iterations);
};
