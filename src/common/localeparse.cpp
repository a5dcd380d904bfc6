#include "localeparse.h"
#include "monthnames.h"
#include "numtext.h"

#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kestrava {
namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Up to three digit groups of a date text, in the order written.
struct DateGroups {
    std::array<std::string_view, 3> group;
    int count = 0;
};

bool SplitDateGroups(std::string_view text, char separator, DateGroups& out)
{
    text = TrimBlanks(text);
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t start = i;
        while (i < text.size() && IsDigit(text[i]))
            ++i;
        if (i == start || out.count == 3)
            return false;
        out.group[out.count++] = text.substr(start, i - start);
        while (i < text.size() && IsBlank(text[i]))
            ++i;
        if (i == text.size())
            break;
        if (text[i] != separator)
            return false;
        ++i;
        while (i < text.size() && IsBlank(text[i]))
            ++i;
        // One separator may close the text, as in "2005. 01. 03.".
        if (i == text.size() && out.count == 3)
            break;
    }
    return out.count == 3;
}

int SmallNumber(std::string_view digits)
{
    int value = 0;
    for (char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

}  // namespace

int ExpandTwoDigitYear(int year)
{
    if (year < 0 || year > 99)
        return year;
    return year <= 68 ? 2000 + year : 1900 + year;
}

bool TryParseLocaleDate(std::string_view text, const LocaleInfo& locale, TDateTime& result)
{
    DateGroups groups;
    if (!SplitDateGroups(text, locale.dateSeparator, groups))
        return false;
    std::string_view day, month, year;
    switch (locale.order) {
    case DateOrder::DayMonthYear:
        day = groups.group[0], month = groups.group[1], year = groups.group[2];
        break;
    case DateOrder::MonthDayYear:
        month = groups.group[0], day = groups.group[1], year = groups.group[2];
        break;
    case DateOrder::YearMonthDay:
        year = groups.group[0], month = groups.group[1], day = groups.group[2];
        break;
    }
    if (day.size() > 2 || month.size() > 2 || (year.size() != 2 && year.size() != 4))
        return false;
    int y = SmallNumber(year);
    if (year.size() == 2)
        y = ExpandTwoDigitYear(y);
    return TryEncodeDate(y, SmallNumber(month), SmallNumber(day), result);
}

bool TryParseIsoDate(std::string_view text, TDateTime& result)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    int parts[3] = {0, 0, 0};
    for (std::size_t i = 0, part = 0; i < text.size(); ++i) {
        if (i == 4 || i == 7) {
            ++part;
            continue;
        }
        if (!IsDigit(text[i]))
            return false;
        parts[part] = parts[part] * 10 + (text[i] - '0');
    }
    return TryEncodeDate(parts[0], parts[1], parts[2], result);
}

bool TryParseDecimal(std::string_view text, char decimalSeparator, double& result)
{
    text = TrimBlanks(text);
    // Check the shape first: from_chars alone would accept "inf", "nan" and
    // stop early on trailing junk.
    std::string plain;
    plain.reserve(text.size());
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            plain += '-';
        ++i;
    }
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        plain += text[i++];
        ++digits;
    }
    if (i < text.size() && text[i] == decimalSeparator) {
        plain += '.';
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            plain += text[i++];
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            plain += text[i++];
        std::size_t exponentDigits = 0;
        while (i < text.size() && IsDigit(text[i])) {
            plain += text[i++];
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    if (i != text.size())
        return false;
    double value = 0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value))
        return false;
    result = value;
    return true;
}

bool TryParseSingle(std::string_view text, char decimalSeparator, float& result)
{
    double value = 0;
    if (!TryParseDecimal(text, decimalSeparator, value) || std::fabs(value) > FLT_MAX)
        return false;
    result = static_cast<float>(value);
    return true;
}

bool TryParseInt32(std::string_view text, std::int32_t& result)
{
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || !IsDigit(text.front()))
            return false;
    }
    if (text.empty() || !(IsDigit(text.front()) || text.front() == '-'))
        return false;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return false;
    result = value;
    return true;
}

std::string FormatLocaleDate(TDateTime date, const LocaleInfo& locale)
{
    const CivilDate c = DecodeDate(date);
    const std::string& pattern = locale.shortDateFormat;
    std::string out;
    char number[16];
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char letter = pattern[i];
        if (letter == '\'') {
            const std::size_t close = pattern.find('\'', i + 1);
            const std::size_t end = close == std::string::npos ? pattern.size() : close;
            out.append(pattern, i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == letter)
            ++run;
        if (letter == 'd') {
            std::snprintf(number, sizeof number, run >= 2 ? "%02d" : "%d", c.day);
            out += number;
        } else if (letter == 'M' && run >= 3) {
            out += MonthAbbreviation(c.month);
        } else if (letter == 'M') {
            std::snprintf(number, sizeof number, run >= 2 ? "%02d" : "%d", c.month);
            out += number;
        } else if (letter == 'y') {
            if (run <= 2)
                std::snprintf(number, sizeof number, "%02d", c.year % 100);
            else
                std::snprintf(number, sizeof number, "%04d", c.year);
            out += number;
        } else {
            out.append(run, letter);
        }
        i += run;
    }
    return out;
}

std::string WithDecimalSeparator(std::string text, char decimalSeparator)
{
    for (char& c : text)
        if (c == '.')
            c = decimalSeparator;
    return text;
}

std::string FormatLocaleFixed(double value, int decimals, char decimalSeparator)
{
    if (decimals < 0)
        decimals = 0;
    if (decimals > 17)
        decimals = 17;
    return WithDecimalSeparator(FormatFixed(value, decimals), decimalSeparator);
}

}  // namespace kestrava
