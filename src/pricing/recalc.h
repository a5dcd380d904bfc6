#pragma once
// The recalculation of one expiry that the option page's Calculate and the
// command-line tool share.

#include <cstdint>

#include "pricing/IORecObj1.h"

namespace kestrava {

enum class VolSource : std::uint8_t { Flat = 0, BidIVs = 1, AskIVs = 2 };

// An expired expiry gets its results zeroed and no model. Otherwise: in the
// flat mode the implied volatilities are solved again from Bid and Ask; each
// strike and side is priced at Sigma, its BidIV or its AskIV; the model named
// by Model runs (an unknown model runs none); then the probabilities.
// Throws PricingError for a series that cannot be priced.
void RecalcExpiry(TInOutObj& series, VolSource source);

}  // namespace kestrava
