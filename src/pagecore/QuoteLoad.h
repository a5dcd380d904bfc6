#pragma once
// Quotes from the exchange's quote file into one expiry of a series, and the
// texts the page shows of them. No widgets, so tests and benchmarks reach it
// directly.

#include <string>

#include "common/dates.h"
#include "common/localeinfo.h"
#include "marketdata/DelayedQuotesCsv.h"

namespace kestrava {

class Notifier;
class TInOutObj;

// What a quote file says of the underlying and the time of its quotes.
struct UnderlyingQuote {
    float last = 0;           // 0 when the file's first line gives no price
    std::string netChange;    // as the file writes it
    std::string quoteTime;    // "Jan 24 2011 @ 14:03 ET"
    TDateTime quoteDate = 0;  // the day only; 0 when the file names no month
    QuoteLayout layout = QuoteLayout::QuoteTable;
    int expiredLeftOut = 0;  // 1: the expiry came before the quote date, its rows left out
};

// Loads the rows of contract ("SPX", or "SPX-E" for one exchange's copies)
// for p's expiry and strikes from file into p: last, net change, bid, ask and
// option code of every strike and side (0 and empty where no row matched),
// the contract into OptContract, the expiry date without a time of day.
// False, after the reader's message, when the file could not be read; the
// expiry then keeps only the new OptContract. With setAside, the quotes set
// aside are added to it and the caller says how many, once for all its
// expiries (and the expiries left out, from underlying.expiredLeftOut);
// without, the reader says it for this expiry.
bool LoadExpiryQuotes(TInOutObj& p, const std::string& file, const std::string& contract, Notifier& notifier,
                      const LocaleInfo& locale, UnderlyingQuote& underlying, int* setAside = nullptr);

// The underlying's price as the page's box takes it: at most two decimals,
// no trailing zeros, no leading zero before the separator (0.5 is ".5").
std::string UnderlyingBoxText(double value, char decimalSeparator);

// The caption's quote part: "  1290.59  +7.24  Jan 24 2011 @ 14:03 ET".
std::string QuoteCaptionText(const UnderlyingQuote& underlying, char decimalSeparator);

}  // namespace kestrava
