#pragma once
// The recalculation of one expiry that the option page's Calculate and the
// command-line tool share.

#include <cstdint>
#include <string>
#include <vector>

#include "pricing/IORecObj1.h"

namespace kestrava {

enum class VolSource : std::uint8_t { Flat = 0, BidIVs = 1, AskIVs = 2 };

// An expired expiry gets its results zeroed and no model. Otherwise: in the
// flat mode the implied volatilities are solved again from Bid and Ask; each
// strike and side is priced at Sigma, its BidIV or its AskIV; the model named
// by Model runs; then the probabilities.
// A strike of zero or below leaves its rows blank and the other strikes are
// priced; the numbers of such strikes come back (none for an expired
// expiry). Throws PricingError for a series that cannot be priced at all,
// a model outside the model table among them.
std::vector<int> RecalcExpiry(TInOutObj& series, VolSource source);

// Runs the model that the expiry's Model names on every strike and side;
// false, with nothing priced, for a Model no routine answers to.
bool RunModel(TInOutObj& series);

// One message naming the strikes RecalcExpiry could not price, or an empty
// text when there are none.
std::string UnpricedStrikesMessage(const TInOutObj& series, const std::vector<int>& strikes);

}  // namespace kestrava
