// A quote table as the chain window reads it: the whole table once, then
// the implied volatilities of its default root under the European formula.

#include <algorithm>
#include <cmath>

#include "analysis/AnalysisError.h"
#include "analysis/ChainExport.h"
#include "analysis/ChainSolve.h"
#include "analysis/QuoteChain.h"
#include "fuzz/FuzzSupport.h"

namespace kestrava::fuzz {
namespace {

namespace fs = std::filesystem;

// Solving is the slow part: tables beyond this are only read.
constexpr int kMostStrikesSolved = 200;

std::string CheckOrder(const QuoteChain& chain)
{
    if (!std::is_sorted(chain.roots.begin(), chain.roots.end(),
                        [](const ChainRoot& a, const ChainRoot& b) { return a.name < b.name; }))
        return "the roots are out of order";
    for (const ChainRoot& root : chain.roots) {
        if (root.name.empty() || root.expiries.empty() || root.exchangeCopies < 0)
            return "a root without a name or an expiry";
        for (std::size_t e = 0; e < root.expiries.size(); ++e) {
            const ChainExpiry& expiry = root.expiries[e];
            if (e > 0 && !(root.expiries[e - 1].date < expiry.date))
                return "the expiries are out of order";
            for (std::size_t s = 0; s < expiry.strikes.size(); ++s) {
                const ChainStrike& strike = expiry.strikes[s];
                if (s > 0 && !(expiry.strikes[s - 1].strike < strike.strike))
                    return "the strikes are out of order";
                for (const ChainQuote* quote : {&strike.call, &strike.put})
                    if (!(quote->bid >= 0) || !(quote->ask >= 0) || !std::isfinite(quote->bid)
                        || !std::isfinite(quote->ask) || !std::isfinite(quote->last) || quote->volume < 0
                        || quote->openInterest < 0)
                        return "a quote that is no price or count";
            }
        }
    }
    return {};
}

std::string CheckVolatilities(const QuoteChain& chain, const ChainRoot& root)
{
    ChainInputs inputs;
    inputs.rates.flat = 0.01;
    const std::vector<ExpiryVols> vols = SolveChain(root, chain.underlyingLast, chain.quoteDate, inputs,
                                                    ChainSolveScope::BidAskMid, 1);
    if (vols.size() != root.expiries.size())
        return "an expiry went unsolved";
    for (std::size_t e = 0; e < vols.size(); ++e) {
        if (vols[e].options.size() != root.expiries[e].strikes.size())
            return "a strike went unsolved";
        if (vols[e].forward <= 0)
            continue;
        ExpiryPricer pricer(chain.underlyingLast, chain.quoteDate, root.expiries[e].date, inputs);
        for (std::size_t s = 0; s < vols[e].options.size(); ++s) {
            const ChainStrike& strike = root.expiries[e].strikes[s];
            for (int side = 0; side < 2; ++side) {
                const ChainQuote& quote = side == 0 ? strike.call : strike.put;
                const VolSolution& mid = vols[e].options[s][static_cast<std::size_t>(side)].mid;
                if (!mid.Solved())
                    continue;
                if (!(mid.vol > 0 && mid.vol <= kHighestVolatility))
                    return "a volatility outside the search";
                const double value = pricer.EuropeanValue(mid.vol, strike.strike, side == 0);
                if (!(std::fabs(value - MidPrice(quote)) <= 1e-6 * std::max(1.0, MidPrice(quote))))
                    return "a volatility that does not give its price back";
            }
        }
    }
    const std::string csv = ChainCsv(root, vols);
    if (std::count(csv.begin(), csv.end(), '\n') != 1 + 2 * root.StrikeCount())
        return "the CSV has not one row per option";
    return {};
}

}  // namespace

std::string RunChainTable(Input input)
{
    const fs::path folder = FreshScratchFolder();
    const fs::path file = folder / "SPY.txt";
    WriteWholeFile(file, AsText(input));
    QuoteChain chain;
    try {
        chain = ReadQuoteChain(file.string());
    } catch (const AnalysisFileError& error) {
        if (std::string(error.what()).find(file.string()) == std::string::npos)
            return "a refusal that does not name the file";
        return FileHolds(file, AsText(input)) ? std::string() : "a refused table was changed";
    }
    if (!FileHolds(file, AsText(input)))
        return "reading the table changed it";
    if (!(chain.underlyingLast > 0) || chain.quoteDate == 0)
        return "a table read without its price or date";
    if (std::string problem = CheckOrder(chain); !problem.empty())
        return problem;
    const int root = chain.DefaultRoot();
    if (chain.roots.empty() != (root < 0))
        return "no default root of a table with roots";
    if (root >= 0 && chain.roots[static_cast<std::size_t>(root)].StrikeCount() <= kMostStrikesSolved)
        return CheckVolatilities(chain, chain.roots[static_cast<std::size_t>(root)]);
    return {};
}

}  // namespace kestrava::fuzz
