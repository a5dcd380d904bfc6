#pragma once
// The pricing models, the implied-volatility solvers and the normal
// distribution they share. Every routine works on one expiry in place and
// visits strikes 1..NumStrikes, calls before puts.

#include <stdexcept>

#include "pricing/IORecObj1.h"

namespace kestrava {

// Raised for inputs no model can price (a zero or negative underlying or
// strike); outputs of the strikes before the bad one stay as written.
class PricingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct NormalPairResult {
    float N1;  // N(x1), the standard normal distribution function
    float N2;  // N(x2)
    float n1;  // n(x1), the density
};

// Polynomial approximation 26.2.17 of Abramowitz and Stegun, in single
// precision as the models store it.
NormalPairResult NormalPair(float x1, float x2);

// European values and greeks with the carry of the contract type (Black's
// futures formula for futures).
void PriceBlackScholes(TInOutObj& series);
// Driftless log-normal chance of ending above (call rows) or below (put rows).
void ComputeProbabilities(TInOutObj& series);
// American values on a Cox-Ross-Rubinstein tree with Steps steps (at least 5).
// The options of the expiry are spread over the hardware threads; values
// below the smallest normal single are flushed to 0 inside the tree.
void PriceBinomial(TInOutObj& series);
// How many threads PriceBinomial uses; 0 (the default) is every hardware
// thread. The results are the same bit for bit whatever the count.
void SetBinomialThreads(int threads);
// The count that setting gives: every hardware thread unless set. The
// position's valuation spreads its trees over as many.
int BinomialThreads();
// Barone-Adesi and Whaley quadratic approximation for American options.
void PriceWhaley(TInOutObj& series);
// Volatilities at which the European model reproduces Bid (Ask); 0 = none.
void SolveBidIV(TInOutObj& series);
void SolveAskIV(TInOutObj& series);

}  // namespace kestrava
