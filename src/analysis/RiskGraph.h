#pragma once
// The risk graph of a position: its profit or loss against the underlying's
// price at the valuation date, at the day halfway to the first expiry among
// its legs, and at that expiry. Each leg is valued by its own expiry's model
// at that date and price; legs of later expiries keep their time value.

#include <array>
#include <span>
#include <string>
#include <vector>

#include "analysis/Position.h"

namespace kestrava {

constexpr int kDefaultRiskPoints = 101;
constexpr double kDefaultRiskSpan = 0.25;  // plus and minus 25 % of today's price
constexpr int kMaxRiskPoints = 10001;

// A from or to of 0 stands for today's price less, or plus, kDefaultRiskSpan.
struct RiskRange {
    double from = 0;
    double to = 0;
    int points = kDefaultRiskPoints;
};

enum RiskDate { kRiskToday = 0, kRiskMidway = 1, kRiskExpiry = 2 };

struct RiskGraph {
    std::vector<double> prices;              // ascending
    std::array<std::vector<double>, 3> pnl;  // by RiskDate, one per price, in money
    std::array<TDateTime, 3> dates{};        // by RiskDate
    std::vector<double> breakevens;          // prices where the expiry curve meets zero
    double underlying = 0;                   // today's price
};

// Legs that are not options of expiries are left out (see
// LegsNotFoundMessage). Each leg is priced at the volatility its option had
// in the last calculation, or at its expiry's flat volatility when that had
// none. Throws AnalysisError for a range that is not 0 < from < to with 2 to
// kMaxRiskPoints points, or an expiry without a model; PricingError when a
// model cannot price a leg at some price of the range.
RiskGraph ComputeRiskGraph(std::span<const TInOutObj* const> expiries, const Position& position,
                           const RiskRange& range = {});

}  // namespace kestrava

namespace kestrava {

// The breakevens as "1302.45, 1397.55" with two decimals and the given
// separator, or "none".
std::string BreakevenText(const std::vector<double>& breakevens, char decimalSeparator = '.');

}  // namespace kestrava
