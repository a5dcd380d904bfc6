#pragma once
// The daily history download: two years of daily prices of each chosen
// underlying, fetched as comma-separated text from the daily-history server
// and converted into price files (Date,Open,High,Low,Close,Volume with the
// locale's dates) in the price-file folder.

#include <string>
#include <vector>

#include "common/dates.h"
#include "downloadcore/Downloads.h"

namespace kestrava {

inline constexpr char kHistoryPath[] = "/table.csv";

// The query for symbol (sent in lower case, QueryValue) over the 730 days up
// to today: "s=^gspc&d=2&e=1&f=2024&g=d&a=2&b=2&c=2022&ignore=.csv" on
// 1 March 2024.
std::string HistoryQuery(const std::string& symbol, TDateTime today);

// The name of a history symbol's files without extension: the symbol with
// its first ":" made a "-".
std::string HistoryFileBase(const std::string& symbol);

// Fetches every entry of selection into the download's own reply folder,
// then converts each reply that came whole into its price file. A reply that
// does not convert is kept in the data folder's "Rejected" and said why.
DownloadOutcome DownloadHistory(HTTPer& http, const DownloadSetup& setup,
                                const std::vector<std::string>& selection, Notifier& notifier,
                                DownloadDisplay& display);

}  // namespace kestrava
