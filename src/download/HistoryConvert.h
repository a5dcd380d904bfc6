#pragma once
// Turns a fetched daily-history reply into a price file: after the title
// line (the one holding "Adj") every line's date "yyyy-m-d" is written in the
// locale's short date format, followed by open, high, low, close and volume
// exactly as the reply has them. A repeat of the first day on the line
// after it is left out.
//
// The price file is replaced only by a reply that converts whole: it ends
// with a line end, every day's line has its five values, the prices are
// finite and above 0 with the high not below the low, the volume is whole
// digits, the days run from the newest back without a step forward or a day
// named twice, none lies before 1900 or after the day of the download, and
// the price file reader reads every day of the written file back. (More days
// than were asked for are no fault: a server may send its whole history.) Anything else
// leaves the older price file as it was.

#include <filesystem>
#include <string>

#include "common/dates.h"
#include "common/localeinfo.h"

namespace kestrava {

struct HistoryConversion {
    bool stored = false;
    int days = 0;  // the days written
    // Why nothing was stored: the reply is no whole price list, or, with
    // writeFailed, the price file could not be written ("Cannot write PATH:
    // No space left on device").
    std::string problem;
    bool writeFailed = false;
};

// Converts reply into priceFile; the price reader's check puts its work file
// into workFolder and removes it afterwards. lastDay is the day of the
// download: a reply naming a later day is refused.
HistoryConversion ConvertHistory(const std::filesystem::path& reply, const std::filesystem::path& priceFile,
                                 const LocaleInfo& locale, const std::filesystem::path& workFolder,
                                 TDateTime lastDay);

}  // namespace kestrava
