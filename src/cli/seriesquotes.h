#pragma once
// What price, smile, risk and print share with the option page about a
// series' quotes: the quote file the page reads (the program's data folder,
// the symbol in upper case + ".txt"), the contract the series saved, and the
// bids, asks, last prices, underlying price and quote date the page takes
// from that file when it opens the series.

#include <optional>
#include <string>
#include <vector>

#include "common/localeinfo.h"
#include "common/notifier.h"
#include "pricing/IORecObj1.h"

namespace kestrava::cli {

// The option " --quotes FILE" of the commands that recalculate a series.
inline constexpr char kQuotesOption[] = "--quotes";
extern const char* const kQuotesHelp;

struct SeriesQuotes {
    enum class State {
        NoFile,      // the symbol names no quote file
        Missing,     // the page's quote file is not there
        Unusable,    // the file holds no quote table (the reader said why)
        NoContract,  // the file does not offer the contract the series saved
        Failed,      // the load stopped with a reported error
        Loaded,
    };
    State state = State::NoFile;
    std::string file;
    std::string contract;

    // "the quotes of SPX-E in /data/SPX.txt", "no quote file /data/SPX.txt", ...
    std::string Describe() const;
};

// The option page's quote file of series; empty when its symbol cannot name
// a file.
std::string PageQuoteFile(const std::vector<TInOutObj>& series);

// Loads the quotes as the page does when it opens the series: the contract
// the first expiry saved (the file's first contract when none is), into
// every expiry, with the underlying's last price and the quote date. The
// file is `named` when given, else the page's quote file; a named file that
// is not there throws std::runtime_error. Problems of the file are reported
// through notifier, and an unusable file is moved aside as the page does.
SeriesQuotes LoadSeriesQuotes(std::vector<TInOutObj>& series, const std::optional<std::string>& named,
                              const LocaleInfo& locale, Notifier& notifier);

// Why expiry number `index` (from 0) of a calculated series has no solved
// implied volatility at all; empty when it has one.
std::string NoVolatilityReason(const TInOutObj& p, std::size_t index, const SeriesQuotes& quotes);

}  // namespace kestrava::cli
