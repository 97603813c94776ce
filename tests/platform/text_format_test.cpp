// Number formatting and scanning: the C "%d"/"%f"/"%.4f"/"%.3f" and sscanf rules that the
// document files rely on, independent of the process locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale>
#include <random>
#include <string>

#include <locale.h>

#include "common/test_util.h"
#include "platform/text_format.h"

namespace {

// The C library's own formatting, as a reference; only valid while the C locale is in force.
std::string CFormat(double value, int decimals)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

bool Scan(const char* text, float& out)
{
    CScanner scan(text);
    return scan.ScanFloat(out);
}

bool Scan(const char* text, int32_t& out)
{
    CScanner scan(text);
    return scan.ScanInt(out);
}

// Puts the C locale (and the C++ global locale) back however a test leaves them.
class LocaleGuard {
public:
    LocaleGuard() : m_cxx(std::locale())
    {
        const char* current = std::setlocale(LC_ALL, nullptr);
        m_c = current ? current : "C";
    }
    ~LocaleGuard()
    {
        std::locale::global(m_cxx);
        std::setlocale(LC_ALL, m_c.c_str());
    }

private:
    std::locale m_cxx;
    std::string m_c;
};

bool HaveGermanLocale()
{
    locale_t loc = ::newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(0));
    if (!loc)
        return false;
    ::freelocale(loc);
    return true;
}

// A comma-decimal C++ locale that needs nothing installed.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

// What every locale test checks: the formatting and scanning give the C-locale results.
void ExpectPointDecimalBehaviour()
{
    EXPECT_EQ(FormatF(1.5), "1.500000");
    EXPECT_EQ(FormatF(-11.8f), "-11.800000");
    EXPECT_EQ(FormatFixed(1234567.25, 4), "1234567.2500");
    EXPECT_EQ(FormatFixed(0.5, 3), "0.500");
    EXPECT_EQ(FormatInt(-1234567), "-1234567");

    float f = 0.0f;
    CScanner scan("1.5 2,5");
    ASSERT_TRUE(scan.ScanFloat(f));
    EXPECT_EQ(f, 1.5f);
    ASSERT_TRUE(scan.ScanFloat(f));
    EXPECT_EQ(f, 2.0f);  // the comma is not a decimal separator
    EXPECT_EQ(scan.Rest(), ",5");
}

}  // namespace

TEST(FormatFixed, SixDecimalsAsCWritesThem)
{
    EXPECT_EQ(FormatF(0.0), "0.000000");
    EXPECT_EQ(FormatF(-0.0), "-0.000000");
    EXPECT_EQ(FormatF(-0.0f), "-0.000000");
    EXPECT_EQ(FormatF(-100.0f), "-100.000000");
    EXPECT_EQ(FormatF(-11.8f), "-11.800000");
    EXPECT_EQ(FormatF(1.0), "1.000000");
    // A negative value that rounds to zero keeps its sign, as C's "%f" does.
    EXPECT_EQ(FormatF(-0.0000001), "-0.000000");
    EXPECT_EQ(FormatF(0.0000004), "0.000000");
    EXPECT_EQ(FormatF(0.0000006), "0.000001");
    EXPECT_EQ(FormatF(2.0000015), "2.000002");
    // No exponent, however large or small.
    EXPECT_EQ(FormatF(1e20), "100000000000000000000.000000");
    EXPECT_EQ(FormatF(1e-20), "0.000000");
    EXPECT_EQ(FormatF(std::numeric_limits<float>::max()),
              "340282346638528859811704183484516925440.000000");
    EXPECT_EQ(FormatF(-std::numeric_limits<double>::max()).size(), 309u + 1 + 1 + 6);
}

TEST(FormatFixed, FourAndThreeDecimals)
{
    EXPECT_EQ(FormatFixed(0.0, 4), "0.0000");
    EXPECT_EQ(FormatFixed(-0.0, 4), "-0.0000");
    EXPECT_EQ(FormatFixed(-0.00001, 4), "-0.0000");
    EXPECT_EQ(FormatFixed(12.34567, 4), "12.3457");
    EXPECT_EQ(FormatFixed(-12.34564, 4), "-12.3456");
    EXPECT_EQ(FormatFixed(0.0, 3), "0.000");
    EXPECT_EQ(FormatFixed(-0.0, 3), "-0.000");
    EXPECT_EQ(FormatFixed(999.9996, 3), "1000.000");
    EXPECT_EQ(FormatFixed(-1.0006, 3), "-1.001");
    // Exact binary ties round to even, as the C library does.
    EXPECT_EQ(FormatFixed(2.0625, 3), CFormat(2.0625, 3));
    EXPECT_EQ(FormatFixed(0.00015, 4), CFormat(0.00015, 4));
}

TEST(FormatFixed, MatchesTheCLibraryOverManyValues)
{
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> exponent(-30, 40);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> coin(0, 1);
    for (int i = 0; i < 20000; ++i) {
        float v = static_cast<float>(mantissa(rng) * std::pow(10.0, exponent(rng)));
        if (!std::isfinite(v))
            continue;
        if (coin(rng))
            v = -v;
        for (int decimals : {6, 4, 3}) {
            ASSERT_EQ(FormatFixed(v, decimals), CFormat(v, decimals))
                << "value " << testutil::FloatText(v) << " with " << decimals << " decimals";
        }
    }
    // Values written with a few decimals, where rounding matters most.
    for (int i = -200000; i <= 200000; i += 7) {
        double v = i / 4096.0;
        ASSERT_EQ(FormatFixed(v, 3), CFormat(v, 3)) << v;
        ASSERT_EQ(FormatFixed(v, 4), CFormat(v, 4)) << v;
    }
}

TEST(FormatFixed, NonFiniteValuesAsC)
{
    EXPECT_EQ(FormatF(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(FormatF(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(FormatF(std::numeric_limits<double>::quiet_NaN()), "nan");
}

TEST(FormatGrouped, ThousandsSeparatedByCommas)
{
    EXPECT_EQ(FormatGrouped(0), "0");
    EXPECT_EQ(FormatGrouped(999), "999");
    EXPECT_EQ(FormatGrouped(1000), "1,000");
    EXPECT_EQ(FormatGrouped(1234567), "1,234,567");
    EXPECT_EQ(FormatGrouped(-100000), "-100,000");
    EXPECT_EQ(FormatGrouped(std::numeric_limits<int64_t>::min()), "-9,223,372,036,854,775,808");
}

TEST(FormatInt, SignedDecimalWithoutPadding)
{
    EXPECT_EQ(FormatInt(0), "0");
    EXPECT_EQ(FormatInt(7), "7");
    EXPECT_EQ(FormatInt(-1), "-1");
    EXPECT_EQ(FormatInt(255), "255");
    EXPECT_EQ(FormatInt(std::numeric_limits<int32_t>::min()), "-2147483648");
    EXPECT_EQ(FormatInt(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(FormatInt(std::numeric_limits<int64_t>::max()), "9223372036854775807");

    std::string out = "Iterations: ";
    AppendInt(out, 12);
    AppendFixed(out, -0.5, 6);
    EXPECT_EQ(out, "Iterations: 12-0.500000");
}

TEST(TextFormatLocale, UnaffectedByAGermanCLocale)
{
    if (!HaveGermanLocale())
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    LocaleGuard guard;
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    // The locale is really in force: the C library now writes a comma.
    ASSERT_EQ(CFormat(1.5, 6), "1,500000");
    ExpectPointDecimalBehaviour();
}

TEST(TextFormatLocale, UnaffectedByTheGlobalCppLocale)
{
    LocaleGuard guard;
    std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    ExpectPointDecimalBehaviour();
    if (HaveGermanLocale()) {
        // A named global C++ locale also sets the C locale.
        std::locale::global(std::locale("de_DE.UTF-8"));
        ExpectPointDecimalBehaviour();
    }
}

TEST(ScanInt, SkipsWhiteSpaceAndStopsAtTheFirstNonDigit)
{
    int32_t v = -99;
    EXPECT_TRUE(Scan("42", v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(Scan(" \t  17", v));
    EXPECT_EQ(v, 17);
    EXPECT_TRUE(Scan("+8", v));
    EXPECT_EQ(v, 8);
    EXPECT_TRUE(Scan("-12", v));
    EXPECT_EQ(v, -12);
    EXPECT_TRUE(Scan("0x10", v));
    EXPECT_EQ(v, 0);

    CScanner words("3 words");
    ASSERT_TRUE(words.ScanInt(v));
    EXPECT_EQ(v, 3);
    EXPECT_EQ(words.Rest(), " words");

    CScanner glued("12abc");
    ASSERT_TRUE(glued.ScanInt(v));
    EXPECT_EQ(v, 12);
    EXPECT_EQ(glued.Rest(), "abc");
}

TEST(ScanInt, NothingConvertedLeavesTheValue)
{
    for (const char* text : {"", "   ", "abc", "-", "+", "- 5", "+-5", ".5", "x1"}) {
        int32_t v = 1234;
        EXPECT_FALSE(Scan(text, v)) << '"' << text << '"';
        EXPECT_EQ(v, 1234) << '"' << text << '"';
    }
}

TEST(ScanInt, KeepsTheLowThirtyTwoBitsOfLargeNumbers)
{
    int32_t v = 0;
    ASSERT_TRUE(Scan("2147483647", v));
    EXPECT_EQ(v, 2147483647);
    ASSERT_TRUE(Scan("2147483648", v));
    EXPECT_EQ(v, std::numeric_limits<int32_t>::min());
    ASSERT_TRUE(Scan("4294967297", v));
    EXPECT_EQ(v, 1);
    ASSERT_TRUE(Scan("-2147483649", v));
    EXPECT_EQ(v, 2147483647);
    // Beyond 64 bits the value saturates first, as strtol does with a 64-bit long.
    ASSERT_TRUE(Scan("99999999999999999999999", v));
    EXPECT_EQ(v, -1);
    ASSERT_TRUE(Scan("-99999999999999999999999", v));
    EXPECT_EQ(v, 0);
    // The low 8 bits of those are the document's flag and switch values.
    ASSERT_TRUE(Scan("257", v));
    EXPECT_EQ(static_cast<uint8_t>(v & 0xFF), 1);
    ASSERT_TRUE(Scan("-1", v));
    EXPECT_EQ(static_cast<uint8_t>(v & 0xFF), 255);
}

TEST(ScanFloat, ReadsDecimalAndHexNumbers)
{
    float f = 0.0f;
    ASSERT_TRUE(Scan("  1.5", f));
    EXPECT_EQ(f, 1.5f);
    ASSERT_TRUE(Scan("\t-100.000000", f));
    EXPECT_EQ(f, -100.0f);
    ASSERT_TRUE(Scan(".5", f));
    EXPECT_EQ(f, 0.5f);
    ASSERT_TRUE(Scan("-.25", f));
    EXPECT_EQ(f, -0.25f);
    ASSERT_TRUE(Scan("+3.", f));
    EXPECT_EQ(f, 3.0f);
    ASSERT_TRUE(Scan("-1e3", f));
    EXPECT_EQ(f, -1000.0f);
    ASSERT_TRUE(Scan("2.5E-1", f));
    EXPECT_EQ(f, 0.25f);
    ASSERT_TRUE(Scan("0x1p3", f));
    EXPECT_EQ(f, 8.0f);
    ASSERT_TRUE(Scan("-0X1.8P1", f));
    EXPECT_EQ(f, -3.0f);
    ASSERT_TRUE(Scan("-0", f));
    EXPECT_EQ(f, 0.0f);
    EXPECT_TRUE(std::signbit(f));
    ASSERT_TRUE(Scan("-11.800000", f));
    EXPECT_EQ(f, -11.8f);
    ASSERT_TRUE(Scan("340282346638528859811704183484516925440.000000", f));
    EXPECT_EQ(f, std::numeric_limits<float>::max());

    // Stops at the first character that does not fit.
    CScanner exp("1e+x");
    ASSERT_TRUE(exp.ScanFloat(f));
    EXPECT_EQ(f, 1.0f);
    EXPECT_EQ(exp.Rest(), "e+x");
    CScanner hex("0xg");
    ASSERT_TRUE(hex.ScanFloat(f));
    EXPECT_EQ(f, 0.0f);
    EXPECT_EQ(hex.Rest(), "xg");
}

TEST(ScanFloat, MatchesTheCLibraryOverManyStrings)
{
    // The test runs in the C locale, where strtof is the reference for decimal numbers.
    std::mt19937 rng(777);
    std::uniform_int_distribution<int> digitCount(1, 12);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> exponent(-30, 30);
    std::uniform_int_distribution<int> shape(0, 5);
    for (int i = 0; i < 20000; ++i) {
        std::string text = shape(rng) == 0 ? "-" : "";
        for (int n = digitCount(rng); n > 0; --n)
            text += static_cast<char>('0' + digit(rng));
        if (shape(rng) < 4) {
            text += '.';
            for (int n = digitCount(rng); n > 0; --n)
                text += static_cast<char>('0' + digit(rng));
        }
        if (shape(rng) < 2)
            text += "e" + std::to_string(exponent(rng));
        text += shape(rng) == 0 ? " 7" : ",x";
        char* end = nullptr;
        float expected = std::strtof(text.c_str(), &end);
        CScanner scan(text);
        float actual = 0.0f;
        if (!std::isfinite(expected)) {
            ASSERT_FALSE(scan.ScanFloat(actual)) << text;  // beyond the float range
            continue;
        }
        ASSERT_TRUE(scan.ScanFloat(actual)) << text;
        std::uint32_t a, e;
        std::memcpy(&a, &actual, 4);
        std::memcpy(&e, &expected, 4);
        ASSERT_EQ(a, e) << text << ": " << testutil::FloatText(actual) << " vs "
                        << testutil::FloatText(expected);
        ASSERT_EQ(scan.Rest(), std::string_view(end)) << text;
    }
}

TEST(ScanFloat, NonFiniteNumbersAreNotConverted)
{
    for (const char* text : {"nan", "NAN", "-nan", "inf", "-inf", "INF", "infinity", "+Infinity",
                             "nan(123)", "1e39", "-1e39", "3.4028236e38", "1e400", "0x1p200"}) {
        float f = 42.0f;
        EXPECT_FALSE(Scan(text, f)) << text;
        EXPECT_EQ(f, 42.0f) << text;
    }
    for (const char* text : {"", " ", "abc", "-", "+", ".", "-.", "e5", ".e5", "- 5", ",5"}) {
        float f = 42.0f;
        EXPECT_FALSE(Scan(text, f)) << '"' << text << '"';
        EXPECT_EQ(f, 42.0f) << '"' << text << '"';
    }
}

TEST(ScanFloat, NumbersTooSmallForAFloatReadAsZero)
{
    // The C library gives zero (or the nearest subnormal) for a magnitude below the float
    // range, and stores it; such a number is finite and therefore taken.
    for (const char* text : {"1e-50", "-1e-50", "1e-400", "0x1p-2000", "1e-46"}) {
        float f = 42.0f;
        EXPECT_TRUE(Scan(text, f)) << text;
        EXPECT_EQ(f, 0.0f) << text;
        EXPECT_EQ(std::signbit(f), text[0] == '-') << text;
    }
    float f = 0.0f;
    ASSERT_TRUE(Scan("1e-40", f));
    EXPECT_EQ(f, std::strtof("1e-40", nullptr));
}

TEST(ScanFloat, BeyondADoubleTheDigitsAndTheExponentTogetherDecide)
{
    // Hundreds of zeros and no exponent: tiny, so zero, as C reads it.
    const std::string tiny = "0." + std::string(400, '0') + "1";
    // A huge mantissa with a small negative exponent is still huge: infinity in C, not taken.
    const std::string huge = "1" + std::string(400, '0') + "e-5";
    const std::string hugeHex = "0x1" + std::string(100, '0') + "p-3";
    const std::string tinyWithPositiveExponent = "0." + std::string(400, '0') + "1e5";
    for (const std::string& text : {tiny, "-" + tiny, tinyWithPositiveExponent}) {
        float f = 42.0f;
        EXPECT_TRUE(Scan(text.c_str(), f)) << text;
        EXPECT_EQ(f, std::strtof(text.c_str(), nullptr)) << text;
    }
    for (const std::string& text : {huge, "-" + huge, hugeHex}) {
        float f = 42.0f;
        EXPECT_FALSE(Scan(text.c_str(), f)) << text;
        EXPECT_TRUE(std::isinf(std::strtof(text.c_str(), nullptr))) << text;
        EXPECT_EQ(f, 42.0f);
    }
}

TEST(ScanFormat, BlankMatchesAnyRunOfWhiteSpace)
{
    // "%f %f" on a line: a blank in the format matches none, several blanks or a tab.
    struct Case {
        const char* line;
        bool second;
        float x, y;
    };
    for (const Case& c : {Case{"1.5 2.5", true, 1.5f, 2.5f}, Case{"1.5     2.5", true, 1.5f, 2.5f},
                          Case{"1.5\t2.5", true, 1.5f, 2.5f}, Case{"  1.5 \t 2.5  junk", true, 1.5f, 2.5f},
                          Case{"1.5-2.5", true, 1.5f, -2.5f}, Case{"1.52.5", true, 1.52f, 0.5f},
                          Case{"1.5,2.5", false, 1.5f, 0.0f}, Case{"1.5;2.5", false, 1.5f, 0.0f}}) {
        CScanner scan(c.line);
        float x = 0.0f, y = 0.0f;
        ASSERT_TRUE(scan.ScanFloat(x)) << c.line;
        EXPECT_EQ(x, c.x) << c.line;
        scan.SkipSpace();
        EXPECT_EQ(scan.ScanFloat(y), c.second) << c.line;
        EXPECT_EQ(y, c.y) << c.line;
    }
}

TEST(ScanFormat, LiteralWordOnlyAtTheStartAndInTheSameCase)
{
    int32_t v = 0;
    {
        CScanner scan("Iterations: 12");
        ASSERT_TRUE(scan.MatchLiteral("Iterations:"));
        ASSERT_TRUE(scan.ScanInt(v));
        EXPECT_EQ(v, 12);
    }
    {
        CScanner scan("Iterations:12");
        ASSERT_TRUE(scan.MatchLiteral("Iterations:"));
        ASSERT_TRUE(scan.ScanInt(v));
        EXPECT_EQ(v, 12);
    }
    for (const char* line : {" Iterations: 12", "iterations: 12", "ITERATIONS: 12", "Iterations 12",
                             "Iteration: 12", "Iter", "", "xIterations: 12"}) {
        CScanner scan(line);
        EXPECT_FALSE(scan.MatchLiteral("Iterations:")) << '"' << line << '"';
        // A failed match consumes nothing.
        EXPECT_EQ(scan.Rest(), line);
    }
    CScanner blank("   ");
    blank.SkipSpace();
    EXPECT_EQ(blank.Rest(), "");
    CScanner none("x");
    none.SkipSpace();
    EXPECT_EQ(none.Rest(), "x");
}
