#include "interaction/iteration_bar_rules.h"

#include <charconv>

int32_t CIterationBarRules::FieldLimit(int fieldId)
{
    switch (fieldId) {
    case IDC_ITERATIONS:
    case IDC_DETAIL:
        return 100;
    case IDC_DRAW_LIMIT:
        return 60000;
    default:
        return 0;
    }
}

int32_t CIterationBarRules::ReadFieldText(std::string_view text)
{
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return 0;
    int32_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end)
        return 0;
    return value;
}

bool CIterationBarRules::Accepts(int fieldId, int32_t typed, int32_t current)
{
    return typed > 0 && typed != current && typed < FieldLimit(fieldId);
}

int32_t CIterationBarRules::SliderPosition(int32_t iterations)
{
    if (iterations < ITERATION_SLIDER_MIN)
        return ITERATION_SLIDER_MIN;
    if (iterations > ITERATION_SLIDER_MAX)
        return ITERATION_SLIDER_MAX;
    return iterations;
}
