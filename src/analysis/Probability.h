#pragma once
// The chances of a position under a lognormal price: the underlying at a
// date is today's price (less the present value of an equity's dividend
// paid by then) grown at the carry of the series, with the volatility the
// scenario's distribution picks: the at-the-money implied volatility of
// the expiry the date falls in (the first expiry of the legs on or after
// it), or that expiry's flat volatility. The profit or loss at the date is
// the scenario's (see PositionValuer.h): expired legs at intrinsic value,
// later legs by their models.

#include <vector>

#include "analysis/MarkedPosition.h"
#include "analysis/RiskGraph.h"
#include "analysis/Scenario.h"

namespace kestrava {

// The distribution of the underlying's price at one date.
struct PriceDistribution {
    TDateTime date = 0;
    int expiry = -1;  // the series' expiry whose volatility, rate and carry it takes; -1 none
    double vol = 0;   // annual, a fraction
    double years = 0;
    double forward = 0;  // the mean price
    // ln(price) is normal with this mean and standard deviation (0 at today).
    double logMean = 0;
    double logDeviation = 0;
};

PriceDistribution DistributionAt(const MarkedPosition& marked, DistributionVol choice, TDateTime date);

// The volatility the chances take for one expiry of the legs: for the first
// the price's own to that expiry; for a later one the volatility its legs
// are priced at on the first expiry, at the price's mean there, under the
// scenario's rule and shifts (their mean weighted by quantity when its
// strikes differ).
struct AssumedVol {
    int expiry = -1;  // the series' expiry, from 0
    TDateTime date = 0;
    bool ofLegs = false;  // a later expiry: the volatility of its legs
    double vol = 0;       // annual, a fraction
    double pageVol = 0;   // the page's volatility of the expiry
};

struct ProbabilityFigures {
    PriceDistribution atExpiry;  // the first expiry among the legs
    PriceDistribution atDate;    // the scenario's date
    double popExpiry = 0;        // chance of a profit at the expiry
    double popDate = 0;          // and at the date
    double maxProfit = 0;        // the greatest profit of the expiry curve, money
    bool maxProfitUnbounded = false;
    double pMaxProfit = 0;            // chance of ending within a cent a contract of it; 0 when unbounded
    double expectedPnlExpiry = 0;     // money
    std::vector<AssumedVol> assumed;  // one per expiry of the legs with days left, earliest first
    // Where the first expiry's smile came from, and its strikes.
    SmileSource smileSource = SmileSource::Page;
    int smileStrikes = 0;
};

// Integrates to six standard deviations either side; the rest is below
// two in a billion. Throws PricingError when a model cannot price a leg.
ProbabilityFigures ComputeProbabilities(const MarkedPosition& marked, const Scenario& scenario);

}  // namespace kestrava
