#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/numformat.h"
#include "common/numtext.h"

using namespace kestrava;

namespace {

struct Case {
    const char* picture;
    double value;
    const char* expected;
};

void ExpectAll(const std::vector<Case>& cases, char decimalSeparator = '.', char thousandsSeparator = ',')
{
    for (const Case& c : cases)
        EXPECT_EQ(FormatFloat(c.picture, c.value, decimalSeparator, thousandsSeparator), c.expected)
            << "picture \"" << c.picture << "\", value " << c.value;
}

}  // namespace

// Every column of the option grid, on the values 1.5, -1.5 and 0.
TEST(FormatFloat, GridColumns)
{
    struct Column {
        const char* picture;
        const char* positive;
        const char* negative;
        const char* zero;
    };
    const std::vector<Column> columns = {
        {"+0.#0 ;-0.#0 ;'", "+1.50 ", "-1.50 ", ""},  // 1 NetChange
        {"0.#0 ;;'", "1.50 ", "-1.50 ", ""},          // 2 Last
        {"0.#0 ;;'", "1.50 ", "-1.50 ", ""},          // 3 Bid
        {"0.0 ;;'", "1.5 ", "-1.5 ", ""},             // 4 BidIV
        {"0.#0 ;;'", "1.50 ", "-1.50 ", ""},          // 5 Ask
        {"0.0 ;;'", "1.5 ", "-1.5 ", ""},             // 6 AskIV
        {"0.#0 ;;'", "1.50 ", "-1.50 ", ""},          // 7 Theo
        {"+0.#0 ;-0.#0 ;'", "+1.50 ", "-1.50 ", ""},  // 8 Delta
        {"0.000 ;0.000 ;'", "1.500 ", "1.500 ", ""},  // 9 Gamma: no sign
        {"0.000 ;; '", "1.500 ", "-1.500 ", " "},     // 10 Decay
        {"0.000 ;; '", "1.500 ", "-1.500 ", " "},     // 11 Vega
        {"0.0 ;;'", "1.5 ", "-1.5 ", ""},             // 12 ProbBelow
        {"0.0 ;;'", "1.5 ", "-1.5 ", ""},             // 13 ProbAbove
    };
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column& c = columns[i];
        SCOPED_TRACE("column " + std::to_string(i + 1) + " \"" + c.picture + "\"");
        EXPECT_EQ(FormatFloat(c.picture, 1.5), c.positive);
        EXPECT_EQ(FormatFloat(c.picture, -1.5), c.negative);
        EXPECT_EQ(FormatFloat(c.picture, 0.0), c.zero);
    }
}

TEST(FormatFloat, PrinterColumns)
{
    ExpectAll({
        {"+##0.#0   ;-##0.#0   ;          ", 0.0, "          "},
        {"+##0.#0   ;-##0.#0   ;          ", -0.25, "-0.25   "},
        {"+##0.#0   ;-##0.#0   ;          ", 12.5, "+12.50   "},
        {"##0.#0   ;;     ", 0.0, "     "},
        {"##0.#0   ;;     ", 123.456, "123.46   "},
        {"##0.#0   ;;     ", 1234.5, "1234.50   "},  // digits beyond the placeholders still show
        {"-#0.##0   ;;     ", 0.12, "-0.120   "},    // the literal minus of the decay column
        {"#0.##0   ;;     ", 0.0123, "0.012   "},
        {"+0.#0   ;-0.#0   ;     ", -0.5, "-0.50   "},
        {"##0.#0;;     ", 1.5, "1.50"},
    });
}

TEST(FormatFloat, DialogPictures)
{
    ExpectAll({
        {"#.##0", 0.5, ".500"},
        {"#.##0", 5, "5.000"},
        {"#.##0", 0, ".000"},
        {"0.###0", 3.4, "3.4000"},
        {"#0.#0", 0.25, "0.25"},
        {"###.#0", 1.5, "1.50"},
        {"##.#0", 2.5, "2.50"},
        {"#####", 12.7, "13"},
        {"#####", 0, ""},
        {"#######0.00", 12.3456, "12.35"},
        {"#######0.00", 100000, "100000.00"},
        {"#######0.00", 0, "0.00"},
        {"#######0.00", -3.5, "-3.50"},
    });
}

TEST(FormatFloat, OptionalDecimalsAreTrimmedToTheLastZero)
{
    ExpectAll({
        {"0.0#", 1.25, "1.25"},
        {"0.0#", 1.2, "1.2"},
        {"0.0#", 1, "1.0"},
        {"0.##", 1, "1"},  // no decimals left: no separator either
        {"#.##", 0.995, "1"},
        {".00", 12.5, "12.50"},
        {".00", 0.5, ".50"},
    });
}

TEST(FormatFloat, RoundsHalfAwayFromZeroOnTheDecimalDigits)
{
    ExpectAll({
        {"0.00", 2.345, "2.35"},  // 2.34499999... in binary
        {"0.00", -2.345, "-2.35"},
        {"0.00", 1.005, "1.01"},
        {"0.00", 0.125, "0.13"},
        {"0", 2.5, "3"},
        {"0", -2.5, "-3"},
        {"0", 0.5, "1"},
        {"0.00", 9.995, "10.00"},
        {"0.00", 99.999, "100.00"},
        {"0.0", 0.04999, "0.0"},
        {"0.00", 0.006, "0.01"},
        {"0.00", 123456789.125, "123456789.13"},
    });
}

TEST(FormatFloat, TinyValuesKeepTheSectionOfTheirSign)
{
    ExpectAll({
        {"0.#0 ;;'", 0.001, "0.00 "},
        {"0.#0 ;;'", -0.001, "-0.00 "},
        {"+0.#0 ;-0.#0 ;'", 0.004, "+0.00 "},
        {"+0.#0 ;-0.#0 ;'", -0.004, "-0.00 "},
        {"0.000 ;; '", 1e-9, "0.000 "},
        {"#####", 0.3, ""},
        {"#####", -0.3, ""},  // no digit written, so no lone minus
    });
}

TEST(FormatFloat, NegativeZeroIsZero)
{
    ExpectAll({
        {"+0.#0 ;-0.#0 ;'", -0.0, ""},
        {"0.000 ;; '", -0.0, " "},
        {"0.00", -0.0, "0.00"},
    });
}

TEST(FormatFloat, SectionsAndLiterals)
{
    ExpectAll({
        {"0.0;(0.0)", -2, "(2.0)"},
        {"0.0;(0.0)", 0, "0.0"},      // no zero section: the positive one
        {"0.0;;", 0, "0.0"},          // empty zero section: the positive one
        {"'$'0.00", -3, "-$3.00"},    // the minus leads the whole section
        {"'x;y'0;'neg'", 5, "x;y5"},  // ";" inside a literal does not split
        {"'x;y'0;'neg'", -5, "neg"},
        {"0\"kg\"", 5, "5kg"},
        {"'0#'0", 5, "0#5"},
        {"0 'open", 5, "5 open"},  // unclosed literal runs to the end
        {"00-00", 1234, "12-34"},
        {"00-00", 5, "00-05"},
        {"00-00", 123456, "1234-56"},
        {"abc", 5, "abc"},  // no placeholders: only the literal
    });
}

TEST(FormatFloat, SeparatorsFollowTheLocale)
{
    ExpectAll(
        {
            {"0.#0 ;;'", 1.5, "1,50 "},
            {"#,##0.00", 1234567.891, "1.234.567,89"},
        },
        ',', '.');
    ExpectAll({
        {"#,##0.00", 1234567.891, "1,234,567.89"},
        {"#,##0", 999, "999"},
        {"#,##0", 1000, "1,000"},
        {"#,##0", -1234, "-1,234"},
        {"#,##0", 0, "0"},
        {"0.0,0", 1.25, "1.25"},  // a comma after the point groups nothing
    });
}

TEST(FormatFloat, LargeValues)
{
    ExpectAll({
        {"0.00", 1e15, "1000000000000000.00"},
        {"#,##0", 1e20, "100,000,000,000,000,000,000"},
        {"0.000000000000000000", 0.1, "0.100000000000000000"},
    });
    const std::string huge = FormatFloat("0", 1e300);
    EXPECT_EQ(huge.size(), 301u);
    EXPECT_EQ(huge.front(), '1');
    EXPECT_EQ(huge.find_first_not_of('0', 1), std::string::npos);
    const std::string largest = FormatFloat("#,##0.00", -DBL_MAX);
    EXPECT_EQ(largest.substr(0, 9), "-179,769,");  // 309 digits: three full groups first
    EXPECT_EQ(largest.substr(largest.size() - 3), ".00");
    EXPECT_EQ(FormatFloat("0.00", DBL_MIN), "0.00");
    EXPECT_EQ(FormatFloat("0.00", -DBL_TRUE_MIN), "-0.00");
}

TEST(FormatFloat, NotANumberAndInfinitiesWriteAClearText)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(FormatFloat("0.#0 ;;'", nan), "NAN");
    EXPECT_EQ(FormatFloat("+0.#0 ;-0.#0 ;'", inf), "INF");
    EXPECT_EQ(FormatFloat("0.00", -inf), "-INF");
    EXPECT_EQ(FormatFloat("", nan), "NAN");
}

TEST(FormatFloat, EmptyPictureWritesGeneralFormat)
{
    EXPECT_EQ(FormatFloat("", 1.5), "1.5");
    EXPECT_EQ(FormatFloat("", -1.5, ','), "-1,5");
    EXPECT_EQ(FormatFloat("", 0.1 + 0.2), "0.3");
    EXPECT_EQ(FormatFloat(";;", 2), "2");
}

// Per-strike values are single precision: they round on the digits they were
// given, not on the binary value's expansion.
TEST(FormatSingle, RoundsOnTheDigitsTheFloatWasGiven)
{
    struct SingleCase {
        const char* picture;
        float value;
        const char* expected;
    };
    const std::vector<SingleCase> cases = {
        {"0.00", 2.675f, "2.68"},  // 2.67499995... as a float
        {"0.00", -2.675f, "-2.68"},
        {"0.00", 1.005f, "1.01"},
        {"0.#0 ;;'", 1.5f, "1.50 "},
        {"0.000 ;0.000 ;'", -1.5f, "1.500 "},
        {"0.000 ;; '", 0.0f, " "},
        {"0.000 ;; '", -0.0f, " "},
        {"+0.#0 ;-0.#0 ;'", -0.001f, "-0.00 "},
        {"0.000000000", 0.1f, "0.100000000"},
        {"0", 16777216.0f, "16777216"},
        {"0.00", 1e-45f, "0.00"},
        {"", 1.1f, "1.1"},
    };
    for (const SingleCase& c : cases)
        EXPECT_EQ(FormatSingle(c.picture, c.value), c.expected)
            << "picture \"" << c.picture << "\", value " << c.value;
    EXPECT_EQ(FormatSingle("0", std::numeric_limits<float>::max()).size(), 39u);
    EXPECT_EQ(FormatSingle("0.00", std::numeric_limits<float>::quiet_NaN()), "NAN");
    EXPECT_EQ(FormatSingle("0.00", -std::numeric_limits<float>::infinity()), "-INF");
    EXPECT_EQ(FormatSingle("0.#0", 2.5f, ','), "2,50");
    // The double entry point sees the float's binary expansion.
    EXPECT_EQ(FormatFloat("0.00", static_cast<double>(2.675f)), "2.67");
}

// The shortest text that gives the single back: the values as typed, for
// any single, never an exponent.
TEST(FormatShortestSingle, GivesEverySingleBackInItsShortestText)
{
    EXPECT_EQ(FormatShortestSingle(139.4f), "139.4");
    EXPECT_EQ(FormatShortestSingle(0.097f), "0.097");
    EXPECT_EQ(FormatShortestSingle(1000.0f), "1000");
    EXPECT_EQ(FormatShortestSingle(-0.0006f), "-0.0006");
    EXPECT_EQ(FormatShortestSingle(0.0f), "0");
    std::mt19937 random(139);
    for (int i = 0; i < 200000; ++i) {
        const std::uint32_t bits = static_cast<std::uint32_t>(random());
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value))
            continue;
        const std::string text = FormatShortestSingle(value);
        float back = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_TRUE(error == std::errc() && end == text.data() + text.size() && back == value) << text;
        ASSERT_EQ(text.find_first_of("eE"), std::string::npos) << text;
    }
}
