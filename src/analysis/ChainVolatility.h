#pragma once
// The implied volatility of one price under one expiry's model: a Newton
// search kept inside a bracket that every step narrows, with bisection
// whenever a step would leave it, so it ends on any model whose value rises
// with the volatility, however rough (the tree's value moves in small
// steps). A price that no volatility reproduces gets the reason.

#include "analysis/ChainPricer.h"

namespace kestrava {

enum class NoVolatility {
    None,             // solved
    NoBid,            // the price is a bid of 0 (or a mid without one)
    NoAsk,            // the price is an ask of 0 (or a mid without one)
    Expired,          // no days left
    BelowIntrinsic,   // at or below the intrinsic value (discounted, for the European formula)
    BelowLowest,      // below the model's value at its lowest volatility
    AboveUpperBound,  // at or above the underlying (call) or strike (put)
    AboveHighest,     // above the model's value at 500 %
    NotSettled,       // the model's value jumps over the price
    NotPriceable,     // the expiry cannot be priced (its reason is the expiry's)
};

// The reason as a cell's tool tip says it.
const char* NoVolatilityText(NoVolatility why);

struct VolSolution {
    double vol = 0;  // fraction; 0 when not solved
    NoVolatility why = NoVolatility::NotPriceable;
    bool Solved() const { return why == NoVolatility::None; }
};

// The highest volatility searched: 500 %.
inline constexpr double kHighestVolatility = 5.0;

// The volatility at which the model of `pricer` gives `price` for the
// option of `strike`, starting the search at `guess` (0: a start of its
// own; the American models start from the European volatility). The value
// comes back within PriceTolerance of the price; where the model's value
// jumps over the price inside a bracket of a millionth of a volatility
// point, it is accepted within half a cent.
VolSolution SolveVolatility(ExpiryPricer& pricer, double price, double strike, bool call, double guess = 0);

// The tolerance used for the pricer's model: the European formula is exact
// in double, the page's models work in single precision.
double PriceTolerance(const ExpiryPricer& pricer);

}  // namespace kestrava
