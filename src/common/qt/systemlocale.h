#pragma once
// The locale facts of the system locale: its short date format with the
// format's separator and order, and its decimal separator.

#include "common/localeinfo.h"

namespace kestrava {

// Under the C locale, whose short format has no numeric separator, this is
// yyyy-MM-dd with "-" and the decimal point.
LocaleInfo SystemLocaleInfo();

}  // namespace kestrava
