#pragma once
// A position as a trade: the net price of its options as one order, at the
// quotes (bought at the asks, sold at the bids) and at the mids, and the
// most it can lose and gain at the first expiry among its legs, with the
// return on the risk taken.

#include <optional>

#include "analysis/MarkedPosition.h"
#include "analysis/Scenario.h"

namespace kestrava {

struct TradeFigures {
    // Per spread: the option legs' quantities divided by their greatest
    // common divisor (spreads), each leg's price times its share; above 0 a
    // debit paid, below 0 a credit taken. None when an option leg has no
    // bid and ask, or the position has no option leg.
    std::optional<double> netAtQuotes;
    std::optional<double> netAtMids;
    int spreads = 0;
    // The expiry curve's greatest and lowest profit or loss, money; without
    // a bound when the curve keeps rising, or falling, far above every strike.
    double maxProfit = 0;
    bool profitUnlimited = false;
    double maxLoss = 0;  // the most lost, 0 or more
    bool lossUnlimited = false;
    // maxProfit over maxLoss when both are bounded and something is at risk.
    std::optional<double> returnOnRisk;
};

// With only legs that expire by the first expiry the curve is straight
// between strikes and the bounds are exact; with later legs (which keep
// their time value under the scenario) it is valued from a fiftieth of the
// lowest strike to three times the highest, and the slope far above is the
// count of calls and units of the underlying. Throws PricingError when a
// model cannot price a leg.
TradeFigures ComputeTradeFigures(const MarkedPosition& marked, const Scenario& scenario);

}  // namespace kestrava
