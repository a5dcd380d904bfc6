#pragma once
// The option quote download: for each chosen symbol the exchange's quote
// table form is submitted (a POST of the stored form body with the symbol
// filled in) and the data file the server prepared for it is fetched (a GET
// on the same host, with the session cookie of the POST). A reply that holds
// a quote table replaces the symbol's quote file in the data folder; any
// other reply leaves the older file as it was.

#include <string>
#include <vector>

#include "downloadcore/Downloads.h"

namespace kestrava {

inline constexpr char kQuoteFormPath[] = "/DelayedQuote/QuoteTableDownload.aspx";
inline constexpr char kQuoteDataPath[] = "/DelayedQuote/QuoteData.dat";

// The form body for one symbol: the template, the symbol in lower case and
// the submit button's field.
std::string QuoteRequestBody(const std::string& requestTemplate, const std::string& symbol);

// Runs the download for every entry of selection, in order.
DownloadOutcome DownloadOptionQuotes(HTTPer& http, const DownloadSetup& setup,
                                     const std::vector<std::string>& selection, Notifier& notifier,
                                     DownloadDisplay& display);

}  // namespace kestrava
