#include "localeinfo.h"

namespace kestrava {

LocaleInfo LocaleInfo::FromPattern(const std::string& pattern, char decimalSeparator)
{
    LocaleInfo info;
    info.decimalSeparator = decimalSeparator;

    char separator = 0;
    int dayAt = -1, monthAt = -1, yearAt = -1;
    bool quoted = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (c == 'd' && dayAt < 0)
            dayAt = static_cast<int>(i);
        else if (c == 'M' && monthAt < 0)
            monthAt = static_cast<int>(i);
        else if (c == 'y' && yearAt < 0)
            yearAt = static_cast<int>(i);
        else if ((c == '/' || c == '-' || c == '.') && separator == 0 && dayAt + monthAt + yearAt > -3)
            separator = c;
    }
    if (separator == 0 || dayAt < 0 || monthAt < 0 || yearAt < 0)
        return info;

    info.shortDateFormat = pattern;
    info.dateSeparator = separator;
    if (yearAt < monthAt && monthAt < dayAt)
        info.order = DateOrder::YearMonthDay;
    else if (monthAt < dayAt)
        info.order = DateOrder::MonthDayYear;
    else
        info.order = DateOrder::DayMonthYear;
    return info;
}

}  // namespace kestrava
