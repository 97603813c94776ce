#include "platform/text_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

void AppendInt(std::string& out, int64_t value)
{
    char buffer[24];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)ec;  // 24 characters hold every 64-bit value
    out.append(buffer, end);
}

void AppendFixed(std::string& out, double value, int decimals)
{
    if (std::isnan(value)) {
        out += std::signbit(value) ? "-nan" : "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    // A double has at most 309 digits before the point; decimals are small here.
    char buffer[400];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) {
        out += "nan";
        return;
    }
    // to_chars writes negative zero as "-0.000000", as C's "%f" does; nothing to add.
    out.append(buffer, end);
}

std::string FormatInt(int64_t value)
{
    std::string s;
    AppendInt(s, value);
    return s;
}

std::string FormatGrouped(int64_t value)
{
    const std::string digits = FormatInt(value);
    const size_t first = digits[0] == '-' ? 1 : 0;
    std::string grouped(digits, 0, first);
    for (size_t i = first; i < digits.size(); ++i) {
        if (i != first && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

std::string FormatFixed(double value, int decimals)
{
    std::string s;
    AppendFixed(s, value, decimals);
    return s;
}

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

void CScanner::SkipSpace()
{
    while (m_pos < m_text.size() && IsSpace(m_text[m_pos]))
        ++m_pos;
}

bool CScanner::MatchLiteral(std::string_view word)
{
    if (m_text.substr(m_pos, word.size()) != word)
        return false;
    m_pos += word.size();
    return true;
}

bool CScanner::SkipSpaceAndSign(size_t& p)
{
    SkipSpace();
    p = m_pos;
    if (p < m_text.size() && (m_text[p] == '+' || m_text[p] == '-'))
        return m_text[p++] == '-';
    return false;
}

bool CScanner::ScanInt(int32_t& out)
{
    size_t p = 0;
    const bool negative = SkipSpaceAndSign(p);
    if (p >= m_text.size() || !IsDigit(m_text[p]))
        return false;
    // Accumulate in 64 bits, saturating as strtol would on a 64-bit long.
    uint64_t magnitude = 0;
    bool overflow = false;
    for (; p < m_text.size() && IsDigit(m_text[p]); ++p) {
        unsigned digit = static_cast<unsigned>(m_text[p] - '0');
        if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10)
            overflow = true;
        else
            magnitude = magnitude * 10 + digit;
    }
    int64_t value;
    constexpr uint64_t kMaxPositive = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (negative) {
        value = (overflow || magnitude > kMaxPositive) ? std::numeric_limits<int64_t>::min()
                                                       : -static_cast<int64_t>(magnitude);
    } else {
        value = (overflow || magnitude > kMaxPositive) ? std::numeric_limits<int64_t>::max()
                                                       : static_cast<int64_t>(magnitude);
    }
    // The low 32 bits, as storing a long into an int does.
    out = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
    m_pos = p;
    return true;
}

namespace {

// The order of magnitude of a number text that from_chars took: k such that the value lies
// in [base^(k-1), base^k), in powers of 10 for decimal and of 2 for hexadecimal text (whose
// digits count 4 each). Saturates far beyond any float, so it never overflows.
int64_t MagnitudeOrder(std::string_view number, bool hex)
{
    const size_t e = number.find_first_of(hex ? "pP" : "eE");
    const std::string_view mantissa = number.substr(0, e);
    int64_t exponent = 0;
    if (e != std::string_view::npos) {
        size_t i = e + 1;
        const bool negative = i < number.size() && number[i] == '-';
        if (i < number.size() && (number[i] == '-' || number[i] == '+'))
            ++i;
        for (; i < number.size() && IsDigit(number[i]); ++i)
            exponent = std::min<int64_t>(exponent * 10 + (number[i] - '0'), int64_t{1} << 40);
        if (negative)
            exponent = -exponent;
    }
    int64_t integerDigits = 0;
    int64_t leadingZeros = 0;  // zero digits before the first nonzero one
    bool seenPoint = false;
    bool seenNonzero = false;
    for (char c : mantissa) {
        if (c == '.') {
            seenPoint = true;
            continue;
        }
        if (!seenPoint)
            ++integerDigits;
        if (!seenNonzero && c != '0')
            seenNonzero = true;
        if (!seenNonzero)
            ++leadingZeros;
    }
    const int64_t digitOrder = integerDigits - leadingZeros;
    return (hex ? digitOrder * 4 : digitOrder) + exponent;
}

}  // namespace

bool CScanner::ScanFloat(float& out)
{
    size_t p = 0;
    const bool negative = SkipSpaceAndSign(p);
    std::string_view rest = m_text.substr(p);
    float value = 0.0f;
    const char* first = rest.data();
    const char* last = rest.data() + rest.size();
    std::from_chars_result result{first, std::errc::invalid_argument};
    bool hex = rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X') &&
               (IsHexDigit(rest[2]) || (rest[2] == '.' && rest.size() > 3 && IsHexDigit(rest[3])));
    if (hex) {
        result = std::from_chars(first + 2, last, value, std::chars_format::hex);
    } else {
        // Only digits or a point may start a decimal number; from_chars would also take
        // "inf" and "nan", which are not accepted as values here.
        if (rest.empty() || !(IsDigit(rest[0]) || (rest[0] == '.' && rest.size() > 1 && IsDigit(rest[1]))))
            return false;
        result = std::from_chars(first, last, value, std::chars_format::general);
    }
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond a float's range. C gives zero for a tiny magnitude (taken here) and
        // infinity for a huge one (not taken: the field keeps its value).
        double wide = 0.0;
        auto wideResult = hex ? std::from_chars(first + 2, last, wide, std::chars_format::hex)
                              : std::from_chars(first, last, wide, std::chars_format::general);
        if (wideResult.ec == std::errc::result_out_of_range) {
            // Beyond even a double: tiny or huge by the number's order of magnitude, which
            // takes both the digits and the exponent into account.
            if (MagnitudeOrder(std::string_view(first, static_cast<size_t>(wideResult.ptr - first)), hex) > 0)
                return false;
        } else if (wideResult.ec != std::errc() || std::fabs(wide) >= 1.0) {
            return false;
        }
        value = 0.0f;
        result = {wideResult.ptr, std::errc()};
    }
    if (result.ec != std::errc() || !std::isfinite(value))
        return false;
    out = negative ? -value : value;
    m_pos = p + static_cast<size_t>(result.ptr - first);
    return true;
}
