#pragma once
// Turns a daily history, a fetched reply or a file the user imports, into a
// price file: the history is read whole in any layout HistoryReader.h reads,
// and the price file is written in the program's own: the title
// "Date,Open,High,Low,Close,Volume", then each day newest first with its
// date in the locale's short date format, its open, high, low and close as
// the history writes them and its volume in whole digits.
//
// The price file is replaced only by a history that converts whole: every
// day a price file may hold (HistoryReader.h: prices finite and above 0, the
// high not below the low, no day named twice, none before 1900 or after the
// day of the download or today), and the price file reader reads every day
// of the written file back. A reply must also end with a line end. (More
// days than were asked for are no fault: a server may send its whole
// history.) Anything else leaves the older price file as it was.

#include <filesystem>
#include <string>

#include "common/dates.h"
#include "common/localeinfo.h"

namespace kestrava {

struct HistoryConversion {
    bool stored = false;
    int days = 0;        // the days written
    std::string layout;  // the layout the history was read as (DescribeLayout)
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

// A history file the user chose, converted into priceFile as a reply is;
// messages name the file by its name, and no day may lie after today.
HistoryConversion ImportHistory(const std::filesystem::path& file, const std::filesystem::path& priceFile,
                                const LocaleInfo& locale, const std::filesystem::path& workFolder,
                                TDateTime today);

// The price file of symbol in priceFolder, named as the download names it
// (SYMBOL.csv, the symbol's first ":" made a "-"); empty when the symbol
// cannot be a file name (RefusedSymbolMessage says so).
std::filesystem::path HistoryPriceFile(const std::filesystem::path& priceFolder, const std::string& symbol);

// What the user is told after an import of file into priceFile: "Imported
// 3175 days of SPY.csv into PATH, read as LAYOUT." or why nothing was and
// that PATH was left as it was.
std::string ImportReport(const HistoryConversion& imported, const std::filesystem::path& file,
                         const std::filesystem::path& priceFile);

}  // namespace kestrava
