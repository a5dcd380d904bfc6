#pragma once
// Reading and writing dates and numbers the way the user's locale writes
// them: the short date format's order of day, month and year with its
// separator, and the decimal separator. Shared by the file readers and the
// windows.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/dates.h"
#include "common/localeinfo.h"

namespace kestrava {

// Two-digit years: 00 to 68 are 2000 to 2068, 69 to 99 are 1969 to 1999.
int ExpandTwoDigitYear(int year);

// A date as users of the locale type it: day, month and year in the short
// format's order, separated by its date separator, one or two digits for day
// and month, a two- or four-digit year. Blanks around the text and around
// the separators are allowed, as is one trailing separator ("2005. 01. 03.").
// False for anything else, including dates that do not exist.
bool TryParseLocaleDate(std::string_view text, const LocaleInfo& locale, TDateTime& result);

// A date written yyyy-mm-dd, exactly ten characters, whatever the locale
// (files and command lines). False for anything else, including dates that
// do not exist.
bool TryParseIsoDate(std::string_view text, TDateTime& result);

// A decimal number with the given decimal separator: optional sign, digits,
// optional fraction, optional exponent, blanks around it. Infinite, NaN,
// hexadecimal and out-of-range values (beyond double) are refused.
bool TryParseDecimal(std::string_view text, char decimalSeparator, double& result);
// The same, also refusing values a single-precision field cannot hold.
bool TryParseSingle(std::string_view text, char decimalSeparator, float& result);

// A signed 32-bit integer: optional sign and decimal digits, blanks around.
bool TryParseInt32(std::string_view text, std::int32_t& result);

// The date written with the locale's short date pattern (d, dd, M, MM, yy,
// yyyy; quoted and other characters copied as they stand).
std::string FormatLocaleDate(TDateTime date, const LocaleInfo& locale);

// The value with a fixed number of decimals and the locale's separator.
std::string FormatLocaleFixed(double value, int decimals, char decimalSeparator);

// Replaces the decimal point of a number text with the locale's separator.
std::string WithDecimalSeparator(std::string text, char decimalSeparator);

}  // namespace kestrava
