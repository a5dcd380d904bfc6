#pragma once
// The set-up that the European model, the Whaley model and the implied
// volatility solvers share: time, carry, discount factors and the
// dividend-adjusted underlying, each stored in single precision.

#include "pricing/IORecObj1.h"

namespace kestrava::detail {

struct EuropeanSetup {
    float T;    // years to expiry (days / 365)
    float r;    // domestic rate
    float b;    // cost of carry of the contract type
    float S;    // underlying, less the present value of an equity dividend
    float Dr;   // exp(-r T)
    float Dc;   // exp((b - r) T)
    float sqT;  // sqrt(T)
};

// The days to expiry; throws PricingError when there are none or the
// underlying price is not positive.
int RequirePriceable(const TInOutObj& series);

// Throws PricingError when the expiry has no days left or the (adjusted)
// underlying is not positive.
EuropeanSetup MakeEuropeanSetup(const TInOutObj& series);

float CarryOf(const TInOutObj& series);

// A strike of zero or below (a damaged file, a hand-made series) cannot be
// priced; its option is skipped and the recalculation names it.
bool PositiveStrike(float strike);

// The European greeks at one volatility; the call and put share gamma and
// vega. Decay is per calendar day, vega per volatility point.
struct EuropeanGreeks {
    float delta, gamma, vega, decay;
};
// n1 = n(d1); Nd = N(d1) for a call, N(-d1) for a put; Nd2 = N(d2) for a
// call, N(-d2) for a put; carry is the b of the decay formula.
EuropeanGreeks CallGreeks(const EuropeanSetup& e, float carry, float sigma, float v, float K, float Nd1,
                          float Nd2, float n1);
EuropeanGreeks PutGreeks(const EuropeanSetup& e, float carry, float sigma, float v, float K, float NminusD1,
                         float NminusD2, float n1);

void ZeroOutputs(TInOutObj& series, int s, int k);

// One option's value (floored as the grid shows it) and greeks.
struct OptionOutputs {
    float theo;
    EuropeanGreeks greeks;
};

// The European model and Whaley's for the option of strike K, side k, at
// volatility sigma > 0: the numbers the expiry's routine writes for it.
// Throw PricingError, naming strike s, when a result is not finite.
OptionOutputs EuropeanOption(const EuropeanSetup& e, float sigma, float K, int k, int s = 0);
OptionOutputs WhaleyOption(const EuropeanSetup& e, float sigma, float K, int k, int s = 0);

// A value under one cent (the cent itself, not its nearest single) shows as
// no value; the greeks stay.
float FloorTheo(float stored);

// Stores the value and greeks of one option, or, when one of them has left
// the single range, stores nothing and throws PricingError naming it.
void WriteOutputs(TInOutObj& series, int s, int k, float theo, const EuropeanGreeks& g);

// Throws PricingError naming the strike when the value or a greek of one
// option has left the single range (inputs far beyond any real contract);
// checked before anything of that option is stored.
void RequireFiniteOutputs(float theo, const EuropeanGreeks& g, int s, int k);

// The volatility and strike of one option, or false (its outputs zeroed)
// when it has no volatility or no positive strike to price with.
bool TakeOption(TInOutObj& series, int s, int k, float& sigma, float& K);

}  // namespace kestrava::detail
