#pragma once
// The locale options of the commands that read price and quote files:
// --date-format PATTERN and --decimal-separator C. Without them the system
// locale applies, as in the windows.

#include <string>
#include <vector>

#include "common/localeinfo.h"

namespace kestrava::cli {

// Removes the locale options from args, wherever they stand, and returns the
// locale they describe. Throws UsageError for a bad pattern or separator.
LocaleInfo TakeLocaleOptions(std::vector<std::string>& args);

// The paragraph the help texts share.
extern const char* const kLocaleOptionsHelp;

}  // namespace kestrava::cli
