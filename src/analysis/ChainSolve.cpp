#include "analysis/ChainSolve.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "analysis/ParityForward.h"
#include "common/parallel.h"
#include "pricing/fpmode.h"
#include "pricing/Models.h"

namespace kestrava {
namespace {

void SolveSide(ExpiryPricer& pricer, const ChainQuote& quote, double strike, bool call, ChainSolveScope scope,
               OptionVols& vols)
{
    if (quote.bid <= 0)
        vols.mid = {0, NoVolatility::NoBid};
    else if (quote.ask <= 0)
        vols.mid = {0, NoVolatility::NoAsk};
    else
        vols.mid = SolveVolatility(pricer, MidPrice(quote), strike, call);
    if (vols.mid.Solved()) {
        const double delta = pricer.Delta(vols.mid.vol, strike, call);
        vols.delta = std::isfinite(delta) ? delta : 0;
    }
    if (scope == ChainSolveScope::MidOnly)
        return;
    // The mid's volatility lies between the bid's and the ask's: a start
    // that saves the American models most of their steps.
    const double guess = vols.mid.Solved() ? vols.mid.vol : 0;
    vols.bid = quote.bid > 0 ? SolveVolatility(pricer, quote.bid, strike, call, guess)
                             : VolSolution{0, NoVolatility::NoBid};
    vols.ask = quote.ask > 0 ? SolveVolatility(pricer, quote.ask, strike, call, guess)
                             : VolSolution{0, NoVolatility::NoAsk};
}

void MarkUnsolved(std::array<OptionVols, 2>& options, NoVolatility why)
{
    for (OptionVols& vols : options)
        vols.bid = vols.ask = vols.mid = {0, why};
}

}  // namespace

double MidPrice(const ChainQuote& quote)
{
    if (quote.bid <= 0 || quote.ask <= 0)
        return 0;
    return (static_cast<double>(quote.bid) + quote.ask) / 2;
}

void SolveChain(const ChainRoot& root, double underlying, TDateTime today, const ChainInputs& inputs,
                ChainSolveScope scope, const ExpiryDone& done, std::stop_token stop, int threads)
{
    const std::size_t expiries = root.expiries.size();
    std::vector<std::optional<ExpiryPricer>> pricers(expiries);
    std::vector<ExpiryVols> results(expiries);
    std::vector<int> first(expiries + 1, 0);  // the first work item of each expiry
    for (std::size_t e = 0; e < expiries; ++e) {
        const ChainExpiry& expiry = root.expiries[e];
        ExpiryVols& vols = results[e];
        vols.days = TInOutObj::DaysBetween(today, expiry.date);
        vols.rate = inputs.rates.RateFor(vols.days);
        try {
            const ExpiryForward forward = ForwardOfExpiry(expiry, underlying, today, inputs);
            pricers[e].emplace(underlying, today, expiry.date, forward.inputs);
            vols.forward = pricers[e]->Forward();
            vols.forwardSource = forward.source;
            vols.impliedYield = forward.impliedYield;
        } catch (const PricingError& error) {
            vols.problem = error.what();
        }
        first[e + 1] = first[e] + static_cast<int>(expiry.strikes.size());
    }

    const int items = first[expiries];
    // An expiry's results take their room when its first strike is begun
    // and leave with it when it is handed over: a large root never holds
    // them all at once, unless the receiver keeps them.
    const auto begun = std::make_unique<std::once_flag[]>(expiries);
    const auto remaining = std::make_unique<std::atomic<int>[]>(expiries);
    for (std::size_t e = 0; e < expiries; ++e)
        remaining[e] = first[e + 1] - first[e];
    // An expiry without strikes has nothing to wait for.
    for (std::size_t e = 0; e < expiries; ++e)
        if (remaining[e] == 0 && !stop.stop_requested())
            done(static_cast<int>(e), std::move(results[e]));

    const auto work = [&](std::optional<ExpiryPricer>& pricer, std::size_t& pricerOf, int item) {
        const FlushDenormals flush;
        const std::size_t e = static_cast<std::size_t>(std::upper_bound(first.begin(), first.end(), item)
                                                       - first.begin() - 1);
        const ChainStrike& strike = root.expiries[e].strikes[static_cast<std::size_t>(item - first[e])];
        std::call_once(begun[e], [&] { results[e].options.resize(root.expiries[e].strikes.size()); });
        std::array<OptionVols, 2>& options = results[e].options[static_cast<std::size_t>(item - first[e])];
        if (!pricers[e]) {
            MarkUnsolved(options, results[e].days <= 0 ? NoVolatility::Expired : NoVolatility::NotPriceable);
        } else {
            if (pricerOf != e) {
                pricer = pricers[e];
                pricerOf = e;
            }
            SolveSide(*pricer, strike.call, strike.strike, true, scope, options[0]);
            SolveSide(*pricer, strike.put, strike.strike, false, scope, options[1]);
        }
        if (--remaining[e] == 0)
            done(static_cast<int>(e), std::move(results[e]));
    };
    ParallelFor(
        items, threads,
        [&] {
            // A pricer copy of the thread's own: the tree keeps tables.
            return [&work, pricer = std::optional<ExpiryPricer>(), pricerOf = expiries](int item) mutable {
                work(pricer, pricerOf, item);
            };
        },
        std::move(stop));
}

std::vector<ExpiryVols> SolveChain(const ChainRoot& root, double underlying, TDateTime today,
                                   const ChainInputs& inputs, ChainSolveScope scope, int threads)
{
    std::vector<ExpiryVols> all(root.expiries.size());
    // Each expiry is written by one thread into a slot of its own.
    SolveChain(
        root, underlying, today, inputs, scope,
        [&all](int expiry, ExpiryVols vols) { all[static_cast<std::size_t>(expiry)] = std::move(vols); }, {},
        threads);
    return all;
}

}  // namespace kestrava
