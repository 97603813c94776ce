// Locale-independent number formatting and scanning with the semantics of C's
// "%d", "%f", "%.4f", "%.3f" and sscanf, whatever locale the process runs under.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// "%d": signed decimal, "-" when negative, no padding.
std::string FormatInt(int64_t value);

// A whole number with its thousands grouped by commas, for status texts: "1,234,567",
// "-1,000", "999".
std::string FormatGrouped(int64_t value);

// "%.Nf": fixed point with exactly `decimals` digits after a point, rounded to nearest,
// never an exponent, "-" for negative values including negative zero. Non-finite values
// are written as "nan", "inf" or "-inf", as C does.
std::string FormatFixed(double value, int decimals);
inline std::string FormatF(double value) { return FormatFixed(value, 6); }

// Appending forms, for writers that build large texts without temporaries.
void AppendInt(std::string& out, int64_t value);
void AppendFixed(std::string& out, double value, int decimals);

// Scanning works on a cursor into a line, like sscanf: each call consumes what it matched.
// A failed call leaves the cursor where the failure was found; callers stop at the first failure.
class CScanner {
public:
    explicit CScanner(std::string_view text) : m_text(text) {}

    // Skips leading white space, then reads an optionally signed decimal integer.
    // Values beyond 64 bits saturate; the result keeps the low 32 bits, as a C library
    // that reads through a long does.
    bool ScanInt(int32_t& out);

    // Skips leading white space, then reads a floating-point number (decimal with optional
    // exponent, or hexadecimal). "nan" and "inf" are not taken: a non-finite number counts
    // as not converted.
    bool ScanFloat(float& out);

    // Matches `word` exactly at the cursor (no white space skipped).
    bool MatchLiteral(std::string_view word);

    // A blank in a format: skips any run of white space, including none. Never fails.
    void SkipSpace();

    std::string_view Rest() const { return m_text.substr(m_pos); }

private:
    // Skips white space and an optional sign; `p` is left after the sign. True for '-'.
    bool SkipSpaceAndSign(size_t& p);

    std::string_view m_text;
    size_t m_pos = 0;
};
