#pragma once
// The market of a quote table behind an option page: for each expiry the
// page holds, the smile the chain draws of that root and expiry (the mid
// volatility of every strike, out of the money around the expiry's forward
// price, as StrikeVolatility takes it), the forward with its source and
// implied yield, and the at-the-money volatility at the forward. The page's
// chances, expected moves and sticky-moneyness rule follow it rather than
// the few strikes the page shows.

#include <optional>
#include <string>
#include <vector>

#include "analysis/ChainSolve.h"
#include "analysis/MarketSmile.h"
#include "analysis/QuoteChain.h"

namespace kestrava {

struct ExpiryMarket {
    TDateTime expiry = 0;
    MarketSmile smile;  // (strike, volatility) of every strike with one
    double forward = 0;
    ForwardSource forwardSource = ForwardSource::Yield;
    double impliedYield = 0;  // continuous, fraction
    double atmVol = 0;        // at the forward; 0 when there is none
};

struct TableMarket {
    std::string file;  // the table's file
    std::string root;
    TDateTime quoteDate = 0;
    double underlying = 0;               // the table's price
    std::vector<ExpiryMarket> expiries;  // those of the page the table has

    // The expiry of that day (a monthly the table codes on the Saturday
    // matches the Friday the page may hold); nullptr when there is none.
    const ExpiryMarket* Find(TDateTime expiry) const;
};

// One solved expiry of a root as a market.
ExpiryMarket MarketOfExpiry(const ChainExpiry& expiry, const ExpiryVols& vols);

// The market of `expiries` (days) of `root`: the volatilities of `solved`
// where it holds an expiry's (one entry per expiry of the root, or empty),
// the others solved here at their mids under `inputs`. An expiry the root
// does not hold is left out.
TableMarket MarketOfChain(const QuoteChain& chain, const ChainRoot& root,
                          const std::vector<TDateTime>& expiries, const ChainInputs& inputs,
                          const std::vector<std::optional<ExpiryVols>>& solved = {});

// Reads the table `file` and gives the market of the page's `contract`
// ("SPX", or "SPX-E" for the rows of one exchange: the root before the
// suffix) at `expiries`; nullopt when the table has no such root. Throws
// AnalysisFileError when the table cannot be read.
std::optional<TableMarket> ReadTableMarket(const std::string& file, const std::string& contract,
                                           const std::vector<TDateTime>& expiries, const ChainInputs& inputs);

}  // namespace kestrava
