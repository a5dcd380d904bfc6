#pragma once
// A new option series from the options a user selected in a chain: the
// strikes and expiries of the selection (any strikes, not only evenly
// spaced ones) with the chain's underlying, root and model.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/ChainPricer.h"
#include "analysis/QuoteChain.h"
#include "analysis/TableMarket.h"

namespace kestrava {

inline constexpr int kSeriesStrikes = 20;
inline constexpr int kSeriesExpiries = 3;

struct ChainSelection {
    std::string symbol;    // the underlying's symbol, the series' option symbol
    std::string contract;  // the root as the page's contract list names it ("SPX-E")
    double underlying = 0;
    ChainInputs inputs;               // model, steps, dividend
    std::vector<TDateTime> expiries;  // ascending, 1 to 3
    std::vector<double> strikes;      // ascending, 1 to 20
    TDateTime quoteDate = 0;          // the table's
    // The table's market at the expiries (see TakeMarket); none until given.
    std::shared_ptr<const TableMarket> market;

    // The first expiry's at-the-money volatility in the market, rounded to
    // a tenth of a point; 0 without one.
    double AtTheMoneyVol() const;
};

// Gives the selection the table's market at its expiries. A first expiry
// whose forward comes from parity makes the series' dividend the yield
// that forward implies.
void TakeMarket(ChainSelection& selection, TableMarket market);

// The series of the selected options, each an expiry and a strike index of
// `root`; or the reason there is none (nothing selected, more than 20
// strikes or 3 expiries, an expiry with no days left).
struct SelectionResult {
    std::optional<ChainSelection> selection;
    std::string problem;
};
SelectionResult MakeChainSelection(const QuoteChain& chain, const ChainRoot& root,
                                   const std::vector<std::pair<std::size_t, std::size_t>>& selected,
                                   const ChainInputs& inputs);

}  // namespace kestrava
