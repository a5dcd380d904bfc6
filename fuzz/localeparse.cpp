// The locale's number and date texts: the first byte is the decimal
// separator, the first line after it a short date pattern, every further
// line a text to read as a date, a number and an integer. Eight bytes of
// each text are also taken as a day number to write.

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <string_view>

#include "common/localeparse.h"
#include "common/numtext.h"
#include "fuzz/FuzzSupport.h"

namespace kestrava::fuzz {
namespace {

// A pattern FormatLocaleDate writes and TryParseLocaleDate reads back: day,
// month and a four-digit year in the layout's order, with its separator.
bool ReadsBack(const LocaleInfo& locale)
{
    const char* const orders[] = {"dMy", "Mdy", "yMd"};
    const char* order = orders[static_cast<int>(locale.order)];
    std::string_view rest = locale.shortDateFormat;
    for (int part = 0; part < 3; ++part) {
        const char letter = order[part];
        std::size_t run = 0;
        while (run < rest.size() && rest[run] == letter)
            ++run;
        if (run == 0 || (letter == 'y' ? run != 4 : run > 2))
            return false;
        rest.remove_prefix(run);
        if (part < 2) {
            if (rest.empty() || rest.front() != locale.dateSeparator)
                return false;
            rest.remove_prefix(1);
        }
    }
    return rest.empty();
}

// A separator that cannot be part of a number's own characters.
bool PlainSeparator(char separator)
{
    return std::string_view("0123456789+-eE \t").find(separator) == std::string_view::npos;
}

std::string CheckText(std::string_view text, const LocaleInfo& locale)
{
    TDateTime date = 0;
    if (TryParseLocaleDate(text, locale, date)) {
        const CivilDate c = DecodeDate(date);
        if (!IsValidDate(c.year, c.month, c.day))
            return "a date read that does not exist";
        TDateTime again = 0;
        if (ReadsBack(locale)
            && (!TryParseLocaleDate(FormatLocaleDate(date, locale), locale, again) || again != date))
            return "a date written with \"" + locale.shortDateFormat + "\" does not read back";
    }

    double number = 0;
    if (TryParseDecimal(text, locale.decimalSeparator, number)) {
        double again = 0;
        if (!std::isfinite(number))
            return "a number that is not finite";
        if (PlainSeparator(locale.decimalSeparator)
            && (!TryParseDecimal(WithDecimalSeparator(FormatSignificant(number, 17), locale.decimalSeparator),
                                 locale.decimalSeparator, again)
                || again != number))
            return "a number written does not read back";
    }
    float single = 0;
    if (TryParseSingle(text, locale.decimalSeparator, single) && !(std::fabs(single) <= FLT_MAX))
        return "a single beyond its range";
    std::int32_t whole = 0;
    std::int32_t wholeAgain = 0;
    if (TryParseInt32(text, whole)
        && (!TryParseInt32(std::to_string(whole), wholeAgain) || wholeAgain != whole))
        return "an integer written does not read back";

    // Any day number, also NaN or beyond the calendar, is written somehow.
    if (text.size() >= sizeof(double)) {
        double day = 0;
        std::memcpy(&day, text.data(), sizeof day);
        FormatLocaleDate(day, locale);
        FormatLocaleFixed(day, static_cast<unsigned char>(text[0]) % 20, locale.decimalSeparator);
    }
    return {};
}

}  // namespace

std::string RunLocaleParse(Input input)
{
    std::string_view rest = AsText(input);
    if (rest.empty())
        return {};
    const char decimalSeparator = rest.front();
    rest.remove_prefix(1);
    const std::size_t patternEnd = std::min(rest.find('\n'), rest.size());
    const LocaleInfo locale = LocaleInfo::FromPattern(std::string(rest.substr(0, patternEnd)),
                                                      decimalSeparator);
    rest.remove_prefix(std::min(patternEnd + 1, rest.size()));

    for (;;) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        if (const std::string problem = CheckText(rest.substr(0, end), locale); !problem.empty())
            return problem + " (pattern \"" + locale.shortDateFormat + "\")";
        if (end == rest.size())
            return {};
        rest.remove_prefix(end + 1);
    }
}

}  // namespace kestrava::fuzz
