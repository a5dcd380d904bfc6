#pragma once
// Turns a fetched daily-history reply into a price file: after the title
// line (the one holding "Adj") every line's date "yyyy-m-d" is written in the
// locale's short date format, followed by open, high, low, close and volume
// exactly as the reply has them. A repeat of the first day's line is left
// out.

#include <filesystem>

#include "common/localeinfo.h"

namespace kestrava {

// Writes priceDir / the reply's file name. The new price file replaces an
// earlier one only when at least one line was converted; an unreadable date
// or a line of three to five fields converts nothing. True when the price
// file was written.
bool ConvertHistory(const std::filesystem::path& reply, const std::filesystem::path& priceDir,
                    const LocaleInfo& locale);

}  // namespace kestrava
