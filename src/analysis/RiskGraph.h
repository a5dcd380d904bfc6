#pragma once
// The risk graph of a position: its profit or loss against the underlying's
// price at the valuation date, at a chosen date (by default the day halfway
// to the first expiry among its legs), and at that expiry, with the
// expected move to each expiry of the position marked. Each leg is valued
// by its own expiry's model at that date and price under the scenario (see
// PositionValuer.h); legs of later expiries keep their time value.

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/MarkedPosition.h"
#include "analysis/Position.h"
#include "analysis/PositionValuer.h"
#include "analysis/Scenario.h"

namespace kestrava {

constexpr int kDefaultRiskPoints = 101;
constexpr double kDefaultRiskSpan = 0.25;  // plus and minus 25 % of today's price
constexpr int kMaxRiskPoints = 10001;

// A from or to of 0 stands for where the position's graph opens
// (DefaultRiskSpan).
struct RiskRange {
    double from = 0;
    double to = 0;
    int points = kDefaultRiskPoints;
};

enum RiskDate { kRiskToday = 0, kRiskMidway = 1, kRiskExpiry = 2 };

// One standard deviation of the price by an expiry, under the lognormal
// price the probabilities assume: today's price times the volatility times
// the square root of the years left.
struct ExpectedMove {
    int expiry = 0;  // the series' expiry, from 0
    TDateTime date = 0;
    double vol = 0;   // annual, a fraction
    double move = 0;  // in price
};

struct RiskGraph {
    std::vector<double> prices;              // ascending
    std::array<std::vector<double>, 3> pnl;  // by RiskDate, one per price, in money
    std::array<TDateTime, 3> dates{};        // by RiskDate; kRiskMidway is the chosen date
    std::vector<double> breakevens;          // prices where the expiry curve meets zero
    double underlying = 0;                   // today's price
    std::vector<ExpectedMove> moves;         // to each expiry of the position with days left
    bool dateChosen = false;                 // kRiskMidway is a date the scenario chose
    std::optional<Greek> greek;              // the curves are this greek of the position, not money
};

// The graph's three dates: today, the scenario's date (held between today
// and the last expiry among the legs; the day halfway to the first expiry
// when it has none) and the first expiry among the legs.
std::array<TDateTime, 3> RiskDates(const MarkedPosition& marked, const Scenario& scenario);

// The expected moves to the expiries of the position's legs that have days
// left, earliest first.
std::vector<ExpectedMove> ExpectedMoves(const MarkedPosition& marked, DistributionVol choice);
// The same for every expiry of the series with days left, in the series' order.
std::vector<ExpectedMove> ExpectedMovesOfSeries(const MarkedPosition& marked, DistributionVol choice);

// The graph at the given prices (ascending, above 0; at most
// kMaxRiskPoints and one strike per leg). Throws AnalysisError for prices that are not, and
// PricingError when a model cannot price a leg at some price.
RiskGraph ComputeRiskGraph(const MarkedPosition& marked, const Scenario& scenario,
                           std::vector<double> prices);

// The same graph with one greek of the position in place of its profit or
// loss (see GreekCurves); no breakevens.
RiskGraph ComputeGreekGraph(const MarkedPosition& marked, const Scenario& scenario,
                            std::vector<double> prices, Greek which);

// The graph of a position over a range, legs marked at their mid prices
// and keeping their volatilities (the defaults of a scenario). Legs that
// are not options of expiries are left out (see LegsNotFoundMessage).
// Throws AnalysisError also for an expiry holding a leg without a model.
RiskGraph ComputeRiskGraph(std::span<const TInOutObj* const> expiries, const Position& position,
                           const RiskRange& range = {});

// The graph at the given prices (ascending, above 0), legs marked at their
// mid prices as the range form marks them.
RiskGraph ComputeRiskGraphAt(std::span<const TInOutObj* const> expiries, const Position& position,
                             std::vector<double> prices);

// points prices evenly from from to to, and every one of strikes strictly
// between them, so that the expiry curve's corners are among the prices.
std::vector<double> RiskPrices(double from, double to, int points, const std::vector<double>& strikes);

// The strikes of the option legs, ascending, each once.
std::vector<double> LegStrikes(const MarkedPosition& marked);
std::vector<double> LegStrikes(std::span<const TInOutObj* const> expiries, const Position& position);

// Where a position's graph opens: from below to above the legs' strikes, the
// breakevens of the expiry curve and today's price, with a margin of a
// quarter of their spread (at least 3 % of today's price) on either side;
// today's price less and plus kDefaultRiskSpan without an option leg.
// Throws AnalysisError when there is no price to start from.
struct RiskSpan {
    double from = 0;
    double to = 0;
};
RiskSpan DefaultRiskSpan(const MarkedPosition& marked, const Scenario& scenario, double underlying);
RiskSpan DefaultRiskSpan(std::span<const TInOutObj* const> expiries, const Position& position);

// The prices of a graph over range: a from or to of 0 is DefaultRiskSpan's,
// and the legs' strikes between them are among the prices. Throws
// AnalysisError for a range that is not 0 < from < to with 2 to
// kMaxRiskPoints points.
std::vector<double> GraphPrices(const MarkedPosition& marked, const Scenario& scenario,
                                const RiskRange& range, double underlying);

// The breakevens as "1302.45, 1397.55" with two decimals and the given
// separator, or "none".
std::string BreakevenText(const std::vector<double>& breakevens, char decimalSeparator = '.');

}  // namespace kestrava
