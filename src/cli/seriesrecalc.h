#pragma once
// The recalculation that price and print share: every expiry of a loaded
// series, as the option page's Calculate does.

#include <string>
#include <vector>

#include "common/notifier.h"
#include "pricing/IORecObj1.h"
#include "pricing/recalc.h"

namespace kestrava::cli {

// "flat", "bid" or "ask"; throws UsageError for anything else.
VolSource ParseSkew(const std::string& value);

// Solves the implied volatilities of every expiry with days left (a series
// read from a file has none yet) and prices it. Strikes of zero or below are
// named through notifier, the others priced: false then. Throws PricingError
// naming the expiry that cannot be priced at all.
bool RecalculateSeries(std::vector<TInOutObj>& series, VolSource source, Notifier& notifier);

}  // namespace kestrava::cli
