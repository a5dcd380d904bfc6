#pragma once
// What the solved chain says across strikes and expiries: each strike's
// volatility, the at-the-money volatility of each expiry (the term
// structure) and the volatility by moneyness and expiry (the surface).
//
// A strike's volatility is the mid volatility of its option out of the
// money (the put below the forward price, the call at and above it), or of
// the other one where that has none: the option in the money carries little
// time value and a wide spread.

#include <vector>

#include "analysis/ChainSolve.h"
#include "analysis/QuoteChain.h"

namespace kestrava {

// The volatility of strike `index` of an expiry; 0 when neither option has one.
double StrikeVolatility(const ChainExpiry& expiry, const ExpiryVols& vols, std::size_t index);

// The volatility at `strike`, straight between the nearest strikes on either
// side that have one; 0 outside them (or when a side has none).
double VolatilityAt(const ChainExpiry& expiry, const ExpiryVols& vols, double strike);

struct TermPoint {
    TDateTime expiry = 0;
    int days = 0;
    double rate = 0;
    double forward = 0;  // 0 when the expiry cannot be priced
    double atmVol = 0;   // at the forward price; 0 when there is none
    ForwardSource forwardSource = ForwardSource::Yield;
    double impliedYield = 0;  // continuous, fraction
};

// One point per expiry, in order; `vols` holds one result per expiry of the
// root (an expiry not solved yet has no options and gives no volatility).
std::vector<TermPoint> TermStructure(const ChainRoot& root, const std::vector<ExpiryVols>& vols);

struct VolSurfaceGrid {
    std::vector<double> moneyness;    // strike over forward, one per column, ascending
    std::vector<TDateTime> expiries;  // one per row
    std::vector<int> days;
    std::vector<double> vols;  // row by row; 0 where an expiry has no volatility there
    double At(std::size_t row, std::size_t column) const { return vols[row * moneyness.size() + column]; }
};

// The surface from `lowest` to `highest` moneyness in `columns` steps (at
// least the two ends), over the expiries with days left and a forward price.
VolSurfaceGrid VolatilitySurface(const ChainRoot& root, const std::vector<ExpiryVols>& vols, double lowest,
                                 double highest, int columns);

}  // namespace kestrava
