#pragma once
// The forward price an expiry's own quotes imply by put-call parity, and
// the dividend yield that forward implies.
//
// Parity says C - P = D (F - K) for every strike K, D the discount factor
// of the expiry's rate. The rate is taken as known, so the least-squares fit
// of F over the strikes used is the mean of K + (C - P) / D, each from the
// mids of the call and the put. The strikes used are the kParityStrikes
// with a bid and an ask on both sides that lie nearest the strike where
// |C - P| is smallest: there both options carry time value and a narrow
// spread, and an American option's early exercise is worth least.

#include "analysis/ChainPricer.h"
#include "analysis/QuoteChain.h"

namespace kestrava {

inline constexpr int kParityStrikes = 6;

struct ParityFit {
    double forward = 0;  // 0 when no strike is quoted on both sides
    int strikes = 0;     // the strikes the fit used
};

ParityFit FitParityForward(const ChainExpiry& expiry, double discount);

// An expiry's forward price and the inputs it is priced with.
struct ExpiryForward {
    ForwardSource source = ForwardSource::Yield;
    double forward = 0;       // 0 when the expiry cannot be priced
    double impliedYield = 0;  // continuous, a fraction: S e^((r - q) T) = F
    ChainInputs inputs;       // with parity, the implied yield in place of the dividend
};

// Parity when the inputs ask for it and the expiry has a strike quoted on
// both sides; else the typed dividend's forward. Throws nothing: an expiry
// that cannot be priced gets no forward.
ExpiryForward ForwardOfExpiry(const ChainExpiry& expiry, double underlying, TDateTime today,
                              const ChainInputs& inputs);

}  // namespace kestrava
