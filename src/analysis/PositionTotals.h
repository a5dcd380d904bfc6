#pragma once
// The money figures of a position from its expiries' last calculation.

#include <span>
#include <string>
#include <vector>

#include "analysis/Position.h"

namespace kestrava {

// Each figure is the sum over the legs of the option's figure times
// quantity and multiplier. Money in the underlying's currency.
struct PositionTotals {
    double cost = 0;   // entry prices
    double value = 0;  // theoretical values (intrinsic for an expired expiry)
    double pnl = 0;    // value less cost
    double delta = 0;  // per unit of the underlying
    double gamma = 0;
    double decay = 0;  // per calendar day
    double vega = 0;   // per volatility point
    int legsFound = 0;
};

// One leg's theoretical value per option: its Theo, or the intrinsic value
// once its expiry has no days left.
double LegTheo(const TInOutObj& expiry, const LegPlace& place);

// Legs that are not among expiries are left out; LegsNotFoundMessage names them.
PositionTotals ComputeTotals(std::span<const TInOutObj* const> expiries, const Position& position);

// "Leg 2 (2011-02-19 1300 C) is not an option of this series and is left
// out of the figures." for every such leg; empty when all are found.
std::string LegsNotFoundMessage(std::span<const TInOutObj* const> expiries, const Position& position);

// "2011-02-19 1300 C": how messages and the command line name a leg.
std::string LegName(const PositionLeg& leg);

}  // namespace kestrava
