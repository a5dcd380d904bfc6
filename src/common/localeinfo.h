#pragma once
// The locale facts that price files, typed numbers and shown dates follow.
// The windows build this value from the system locale; the core never reads
// a global locale.

#include <string>

namespace kestrava {

enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

struct LocaleInfo {
    std::string shortDateFormat = "yyyy-MM-dd";  // Qt-style pattern: d, dd, M, MM, yy, yyyy
    char dateSeparator = '-';
    char decimalSeparator = '.';
    DateOrder order = DateOrder::YearMonthDay;

    // Derives separator and order from a pattern such as "M/d/yyyy" or
    // "dd.MM.yyyy". A pattern without a numeric separator (the C locale's)
    // gives the default yyyy-MM-dd value. The decimal separator is kept.
    static LocaleInfo FromPattern(const std::string& pattern, char decimalSeparator = '.');
};

}  // namespace kestrava
