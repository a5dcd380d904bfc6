#pragma once
// Turns a fetched daily-history reply into a price file: after the title
// line (the one holding "Adj") every line's date "yyyy-m-d" is written in the
// locale's short date format, followed by open, high, low, close and volume
// exactly as the reply has them. A repeat of the first day's line is left
// out.
//
// The price file is replaced only by a reply that converts whole: it ends
// with a line end, every day's line has its five values, the prices are
// finite and above 0 with the high not below the low, the volume is whole
// digits, the days run from the newest back without a step forward, and the
// price file reader reads every day of the written file back. Anything else
// leaves the older price file as it was.

#include <filesystem>
#include <string>

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
// into workFolder and removes it afterwards.
HistoryConversion ConvertHistory(const std::filesystem::path& reply, const std::filesystem::path& priceFile,
                                 const LocaleInfo& locale, const std::filesystem::path& workFolder);

}  // namespace kestrava
