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
    // The legs at the volatilities they are priced at (see LegFigures); the
    // value itself where no scenario prices them.
    double theo = 0;
};

// One leg as the legs table shows it: its mark, the volatility that
// reprices the mark, and its value and greeks (per option or unit) at
// today's date and price at the volatility and rate the scenario gives it
// (its skew rule and shifts). Each figure times size, summed over the legs,
// is the figure of the totals now.
struct LegFigures {
    int index = 0;  // in the position's legs, from 0
    LegKind kind = LegKind::Option;
    double size = 0;  // quantity times multiplier, or quantity
    double mark = 0;
    bool atMid = false;
    bool expired = false;  // an option with no days left: worth its intrinsic value
    double iv = 0;         // reprices the mark under the expiry's model; 0 when none does
    double volUsed = 0;    // 0 for the underlying and expired options
    double theo = 0;
    double delta = 0;
    double gamma = 0;
    double decay = 0;
    double vega = 0;
    double rho = 0;
};

// The figures of a marked position at today's price: now, the value at the
// marks and the greeks at each leg's own volatility and rate; and under the
// scenario, on its date with its shifts (see ScenarioValuer::Greeks).
struct PositionFigures {
    PositionTotals now;
    PositionTotals scenario;
    TDateTime date = 0;            // the scenario's date
    std::vector<LegFigures> legs;  // the marked legs, in the position's order
};

// The greeks now are the legs' at today's date and price under the
// scenario's volatilities and rate (at each leg's own volatility when the
// scenario moves nothing), summed; the value now is the marks'.
PositionFigures ComputeFigures(const MarkedPosition& marked, const Scenario& scenario);

// The legs' figures now under the scenario (see LegFigures).
std::vector<LegFigures> ComputeLegFigures(const MarkedPosition& marked, const Scenario& scenario);

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
