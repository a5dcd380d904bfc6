#pragma once
// A new option series from the options a user selected in a chain: the
// strikes and expiries of the selection (any strikes, not only evenly
// spaced ones) with the chain's underlying, root and model.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/ChainPricer.h"
#include "analysis/QuoteChain.h"

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
};

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
