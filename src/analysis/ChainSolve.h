#pragma once
// The implied volatilities of every option of one root of a quote chain,
// solved on every core: the bid's, the ask's and the mid's, and delta at the
// mid's volatility. Each expiry is handed over as soon as its last option is
// solved, so a window can fill its table while the rest is still at work.

#include <array>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "analysis/ChainPricer.h"
#include "analysis/ChainVolatility.h"
#include "analysis/QuoteChain.h"

namespace kestrava {

struct OptionVols {
    VolSolution bid;
    VolSolution ask;
    VolSolution mid;
    double delta = 0;  // at the mid's volatility; 0 when it has none
};

struct ExpiryVols {
    int days = 0;        // from the table's date
    double rate = 0;     // the rate the expiry was priced with, fraction
    double forward = 0;  // the underlying's forward price; 0 when not priceable
    ForwardSource forwardSource = ForwardSource::Yield;  // where the forward came from
    double impliedYield = 0;                             // the continuous yield the forward implies, fraction
    std::string problem;                                 // why the expiry cannot be priced; empty when it can
    // Per strike of the expiry, in its order: the call, then the put.
    std::vector<std::array<OptionVols, 2>> options;
};

// The mid of a quote, or 0 when it lacks a bid or an ask.
double MidPrice(const ChainQuote& quote);

// Which volatilities to solve: the mid's alone (the command line's table)
// or also the bid's and the ask's (the window's).
enum class ChainSolveScope { MidOnly, BidAskMid };

// Called from a worker thread as each expiry is done, by its index in the
// root; expiries may finish out of order.
using ExpiryDone = std::function<void(int expiry, ExpiryVols vols)>;

// Solves every option of `root`, valued on `today` at `underlying` (each
// expiry with its forward as ForwardOfExpiry gives it), on
// `threads` threads (0: every core). Stops early, leaving the expiries not
// begun undone, when `stop` is requested. Never throws for an option or an
// expiry: what cannot be solved is said in its result.
void SolveChain(const ChainRoot& root, double underlying, TDateTime today, const ChainInputs& inputs,
                ChainSolveScope scope, const ExpiryDone& done, std::stop_token stop = {}, int threads = 0);

// The same, waiting for the whole root: one result per expiry, in order.
std::vector<ExpiryVols> SolveChain(const ChainRoot& root, double underlying, TDateTime today,
                                   const ChainInputs& inputs, ChainSolveScope scope, int threads = 0);

}  // namespace kestrava
