#pragma once
// The whole chain of a delayed-quotes CSV (see marketdata/DelayedQuotesCsv.h),
// read as ReadQuoteChain reads a quote table: twice, counted and then kept.
// Each row is one strike of one root and expiry; an expiry before the quote
// date is left out of every root and listed in expiriesLeftOut.

#include <optional>
#include <stop_token>
#include <string>

#include "analysis/QuoteChain.h"

namespace kestrava {

std::optional<QuoteChain> ReadDelayedQuotesChain(const std::string& fileName,
                                                 const ChainReadProgress& progress,
                                                 const std::stop_token& stop);

}  // namespace kestrava
