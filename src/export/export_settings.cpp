#include "export/export_settings.h"

#include <cmath>
#include <limits>

namespace {

// Truncation toward zero, clamped to the 32-bit range; NaN and infinities of unknown sign
// give 0 rather than an undefined conversion.
int32_t TruncateClamped(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

}  // namespace

int32_t IntPower(int32_t base, int32_t exponent)
{
    // Unsigned arithmetic wraps without undefined behaviour and gives the same low 32 bits
    // as a wrapping signed product would.
    uint32_t result = 1;
    uint32_t factor = static_cast<uint32_t>(base);
    for (uint32_t e = exponent > 0 ? static_cast<uint32_t>(exponent) : 0; e != 0; e >>= 1) {
        if (e & 1)
            result *= factor;
        factor *= factor;
    }
    return static_cast<int32_t>(result);
}

uint64_t LineCount(int32_t segments, int32_t iterations, bool* saturated)
{
    if (saturated != nullptr)
        *saturated = false;
    if (iterations <= 0)
        return 1;
    if (segments <= 1)
        return segments <= 0 ? 0 : 1;
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    const uint64_t base = static_cast<uint64_t>(segments);
    uint64_t count = 1;
    for (int32_t i = 0; i < iterations; ++i) {
        if (count > kMax / base) {
            if (saturated != nullptr)
                *saturated = true;
            return kMax;
        }
        count *= base;
    }
    return count;
}

double ExportAspect(int32_t width, int32_t height)
{
    return height != 0 ? static_cast<double>(width) / static_cast<double>(height) : 0.0;
}

int32_t CoupledHeight(int32_t width, double aspect)
{
    const double height = static_cast<double>(width) / aspect + 0.6;
    return std::isfinite(height) ? TruncateClamped(height) : 0;
}

int32_t CoupledWidth(int32_t height, double aspect)
{
    const double width = aspect * static_cast<double>(height) + 0.6;
    return std::isfinite(width) ? TruncateClamped(width) : 0;
}
