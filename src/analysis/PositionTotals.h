#pragma once
// The money figures of a position: from its expiries' last calculation, or
// marked at the market and valued under a scenario.

#include <span>
#include <string>
#include <vector>

#include "analysis/MarkedPosition.h"
#include "analysis/Position.h"
#include "analysis/Scenario.h"

namespace kestrava {

// Each figure is the sum over the legs of the leg's figure times its size
// (quantity and multiplier for an option, quantity for the underlying).
// Money in the underlying's currency.
struct PositionTotals {
    double cost = 0;         // entry prices, and the commissions
    double commissions = 0;  // charged on entry, part of cost
    double value = 0;        // theoretical values (intrinsic for an expired expiry)
    double pnl = 0;          // value less cost
    double delta = 0;        // per unit of the underlying
    double gamma = 0;
    double decay = 0;  // per calendar day
    double vega = 0;   // per volatility point
    double rho = 0;    // per rate point (0 from the last calculation, which has none)
    int legsFound = 0;
};

// The figures of a marked position at today's price: now, the value at the
// marks and the greeks at each leg's own volatility and rate; and under the
// scenario, on its date with its shifts (see ScenarioValuer::Greeks).
struct PositionFigures {
    PositionTotals now;
    PositionTotals scenario;
    TDateTime date = 0;  // the scenario's date
};

PositionFigures ComputeFigures(const MarkedPosition& marked, const Scenario& scenario);

// One leg's theoretical value per option: its Theo, or the intrinsic value
// once its expiry has no days left.
double LegTheo(const TInOutObj& expiry, const LegPlace& place);

// From the expiries' last calculation: each option's Theo and greeks. Legs
// that are not among expiries are left out; LegsNotFoundMessage names them.
PositionTotals ComputeTotals(std::span<const TInOutObj* const> expiries, const Position& position);

// "Leg 2 (2011-02-19 1300 C) is not an option of this series and is left
// out of the figures." for every such option leg; empty when all are found.
std::string LegsNotFoundMessage(std::span<const TInOutObj* const> expiries, const Position& position);

// "2011-02-19 1300 C", or "underlying": how messages and the command line
// name a leg.
std::string LegName(const PositionLeg& leg);

}  // namespace kestrava
