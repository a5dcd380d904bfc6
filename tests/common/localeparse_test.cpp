#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "common/localeparse.h"

using namespace kestrava;

namespace {

const LocaleInfo kUs = LocaleInfo::FromPattern("M/d/yyyy", '.');
const LocaleInfo kIso = LocaleInfo::FromPattern("yyyy-MM-dd", '.');
const LocaleInfo kDe = LocaleInfo::FromPattern("dd.MM.yyyy", ',');

std::string Parsed(const std::string& text, const LocaleInfo& locale)
{
    TDateTime date = 0;
    if (!TryParseLocaleDate(text, locale, date))
        return "invalid";
    return IsoDate(date);
}

}  // namespace

TEST(LocaleDate, EachLocaleReadsItsOwnOrder)
{
    struct Case {
        const char* text;
        const LocaleInfo* locale;
        const char* expected;
    };
    const Case cases[] = {
        {"1/3/2005", &kUs, "2005-01-03"},
        {"01/03/2005", &kUs, "2005-01-03"},
        {"12/31/1999", &kUs, "1999-12-31"},
        {"2005-01-03", &kIso, "2005-01-03"},
        {"2005-1-3", &kIso, "2005-01-03"},
        {"03.01.2005", &kDe, "2005-01-03"},
        {"3.1.2005", &kDe, "2005-01-03"},
        {" 3.1.2005 ", &kDe, "2005-01-03"},
        // Another locale's writing of the same day does not pass.
        {"2005-01-03", &kUs, "invalid"},
        {"1/3/2005", &kDe, "invalid"},
        {"13/1/2005", &kUs, "invalid"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Parsed(c.text, *c.locale), c.expected) << c.text << " under " << c.locale->shortDateFormat;
}

// Files and command lines write dates one way only, whatever the locale.
TEST(LocaleDate, IsoDatesAreTenCharactersOfOneDay)
{
    const std::pair<const char*, const char*> cases[] = {
        {"2005-01-03", "2005-01-03"}, {"2000-02-29", "2000-02-29"}, {"1899-12-30", "1899-12-30"},
        {"2001-02-29", "invalid"},    {"2005-13-01", "invalid"},    {"2005-1-03", "invalid"},
        {"2005-01-3 ", "invalid"},    {"2005-+1-03", "invalid"},    {"2005-01 03", "invalid"},
        {" 2005-01-03", "invalid"},   {"05-01-03", "invalid"},      {"", "invalid"},
    };
    for (const auto& [text, expected] : cases) {
        TDateTime date = 0;
        EXPECT_EQ(TryParseIsoDate(text, date) ? IsoDate(date) : "invalid", expected) << '"' << text << '"';
    }
}

TEST(LocaleDate, TwoDigitYearsPivotAt69)
{
    EXPECT_EQ(Parsed("1/3/05", kUs), "2005-01-03");
    EXPECT_EQ(Parsed("1/3/26", kUs), "2026-01-03");
    EXPECT_EQ(Parsed("1/3/68", kUs), "2068-01-03");
    EXPECT_EQ(Parsed("1/3/69", kUs), "1969-01-03");
    EXPECT_EQ(Parsed("31.12.99", kDe), "1999-12-31");
    EXPECT_EQ(Parsed("00-02-29", kIso), "2000-02-29");
    EXPECT_EQ(ExpandTwoDigitYear(0), 2000);
    EXPECT_EQ(ExpandTwoDigitYear(99), 1999);
    EXPECT_EQ(ExpandTwoDigitYear(2005), 2005);
}

TEST(LocaleDate, RefusesMalformedAndImpossibleDates)
{
    for (const char* text : {"", "/", "1/3", "1/3/2005/7", "1//3/2005", "/1/3/2005", "1/3/205", "1/3/20051",
                             "1/3/5", "001/3/2005", "a/3/2005", "1/3/2005x", "2/30/2005", "2/29/2005",
                             "0/1/2005", "1/0/2005", "1/3/0000", "99999999999999999999/1/2005"})
        EXPECT_EQ(Parsed(text, kUs), "invalid") << '"' << text << '"';
    EXPECT_EQ(Parsed("2/29/2004", kUs), "2004-02-29");
    EXPECT_EQ(Parsed(std::string(1000000, '1'), kUs), "invalid");
}

TEST(LocaleDate, AcceptsOneClosingSeparator)
{
    const LocaleInfo hu = LocaleInfo::FromPattern("yyyy. MM. dd.");
    EXPECT_EQ(Parsed("2005. 01. 03.", hu), "2005-01-03");
    EXPECT_EQ(Parsed("2005. 01. 03..", hu), "invalid");
}

TEST(LocaleNumber, DecimalSeparatorIsTheLocales)
{
    double value = 0;
    EXPECT_TRUE(TryParseDecimal("1234.5", '.', value));
    EXPECT_DOUBLE_EQ(value, 1234.5);
    EXPECT_TRUE(TryParseDecimal("1234,5", ',', value));
    EXPECT_DOUBLE_EQ(value, 1234.5);
    EXPECT_FALSE(TryParseDecimal("1234.5", ',', value));
    EXPECT_FALSE(TryParseDecimal("1234,5", '.', value));
    EXPECT_TRUE(TryParseDecimal(" +7.24 ", '.', value));
    EXPECT_DOUBLE_EQ(value, 7.24);
    EXPECT_TRUE(TryParseDecimal("-2.572", '.', value));
    EXPECT_DOUBLE_EQ(value, -2.572);
    EXPECT_TRUE(TryParseDecimal("4386470000", '.', value));
    EXPECT_DOUBLE_EQ(value, 4386470000.0);
    EXPECT_TRUE(TryParseDecimal("1.5e3", '.', value));
    EXPECT_DOUBLE_EQ(value, 1500);
    EXPECT_TRUE(TryParseDecimal(".5", '.', value));
    EXPECT_DOUBLE_EQ(value, 0.5);
}

TEST(LocaleNumber, RefusesWhatIsNotAFiniteNumber)
{
    double value = 42;
    for (const char* text : {"", " ", ".", "-", "+", "1e", "1e+", "inf", "nan", "0x10", "1.2.3", "12a", "1 2",
                             "--1", "1e400", "-1e400"})
        EXPECT_FALSE(TryParseDecimal(text, '.', value)) << '"' << text << '"';
    EXPECT_EQ(value, 42);

    float single = 0;
    EXPECT_FALSE(TryParseSingle("1e39", '.', single));
    EXPECT_TRUE(TryParseSingle("3.4e38", '.', single));
    // 300 digits fit a double but not a single; 100000 digits fit neither.
    EXPECT_TRUE(TryParseDecimal(std::string(300, '7'), '.', value));
    EXPECT_FALSE(TryParseSingle(std::string(300, '7'), '.', single));
    EXPECT_FALSE(TryParseDecimal(std::string(100000, '7'), '.', value));
}

TEST(LocaleNumber, Int32Range)
{
    std::int32_t value = 0;
    EXPECT_TRUE(TryParseInt32("20050103", value));
    EXPECT_EQ(value, 20050103);
    EXPECT_TRUE(TryParseInt32(" -2147483648 ", value));
    EXPECT_EQ(value, INT32_MIN);
    EXPECT_FALSE(TryParseInt32("2147483648", value));
    for (const char* text : {"", "+", "-", "+-5", "1.0", "2005-01-03", "12x"})
        EXPECT_FALSE(TryParseInt32(text, value)) << '"' << text << '"';
}

TEST(LocaleFormat, DatesAndNumbersInTheLocalesWriting)
{
    const TDateTime date = EncodeDate(2011, 1, 24);
    EXPECT_EQ(FormatLocaleDate(date, kUs), "1/24/2011");
    EXPECT_EQ(FormatLocaleDate(date, kIso), "2011-01-24");
    EXPECT_EQ(FormatLocaleDate(EncodeDate(2005, 1, 3), kDe), "03.01.2005");
    EXPECT_EQ(FormatLocaleDate(date, LocaleInfo::FromPattern("M/d/yy")), "1/24/11");
    // Text in quotes is written as it stands: the Bulgarian year's mark, a
    // quote left open to the end.
    EXPECT_EQ(FormatLocaleDate(date, LocaleInfo::FromPattern("d.MM.yyyy 'г.'")), "24.01.2011 г.");
    EXPECT_EQ(FormatLocaleDate(date, LocaleInfo::FromPattern("d/M/yyyy 'x")), "24/1/2011 x");
    // What is written reads back as the same day.
    for (const LocaleInfo* locale : {&kUs, &kIso, &kDe}) {
        TDateTime back = 0;
        ASSERT_TRUE(TryParseLocaleDate(FormatLocaleDate(date, *locale), *locale, back));
        EXPECT_EQ(back, date);
    }
    EXPECT_EQ(FormatLocaleFixed(1290.594, 2, ','), "1290,59");
    EXPECT_EQ(FormatLocaleFixed(-0.5, 1, '.'), "-0.5");
    EXPECT_EQ(WithDecimalSeparator("7.24", ','), "7,24");
}
