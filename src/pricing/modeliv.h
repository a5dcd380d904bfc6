#pragma once
// The implied volatility of one option under its expiry's own model: the
// binomial tree for a binomial series, Whaley's approximation for Whaley,
// the European formula otherwise. The grid's Bid IV and Ask IV columns stay
// European (the solvers of Models.h); this is what a position marks its legs
// with, so that repricing a leg at its volatility gives back its price.

#include "pricing/optionpricer.h"

namespace kestrava {

// The volatilities searched: half a point to 500 %.
constexpr float kLowestImpliedVol = 0.005f;
constexpr float kHighestImpliedVol = 5.0f;

// The volatility at which pricer (moved to the valuation date, underlying
// and rate) values the option of strike K, side k (1 call, 2 put) at price,
// to a hundredth of a cent where the model's single precision allows; 0
// when no volatility in the searched range gives that price (below the
// option's value at the lowest, above it at the highest). Throws
// PricingError when the model cannot price the option at all.
float SolveModelIV(OptionPricer& pricer, float K, int k, double price);

// The same under the European formula with the exact normal distribution,
// in double precision: the starting point of the search above, and the
// volatility of a smile point. 0 when there is none (or nothing to price).
double EuropeanImpliedVol(const TInOutObj& inputs, double K, int k, double price);

// The European value of the option of strike K, side k at volatility sigma
// on the set-up of an expiry (its single-precision time, carry and
// dividend-adjusted underlying), with the exact normal distribution in
// double precision.
double EuropeanFormula(const detail::EuropeanSetup& e, double K, int k, double sigma);

}  // namespace kestrava
