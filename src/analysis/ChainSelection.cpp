#include "analysis/ChainSelection.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace kestrava {

SelectionResult MakeChainSelection(const QuoteChain& chain, const ChainRoot& root,
                                   const std::vector<std::pair<std::size_t, std::size_t>>& selected,
                                   const ChainInputs& inputs)
{
    std::set<TDateTime> expiries;
    std::set<double> strikes;
    std::set<std::string> suffixes;
    for (const auto& [e, s] : selected) {
        if (e >= root.expiries.size() || s >= root.expiries[e].strikes.size())
            continue;
        expiries.insert(root.expiries[e].date);
        strikes.insert(root.expiries[e].strikes[s].strike);
        suffixes.insert(root.expiries[e].strikes[s].suffix);
    }
    SelectionResult result;
    if (strikes.empty()) {
        result.problem = "Select the options of the new series in the table first: any strikes (at most "
                         + std::to_string(kSeriesStrikes) + ") of at most " + std::to_string(kSeriesExpiries)
                         + " expiries.";
        return result;
    }
    if (static_cast<int>(strikes.size()) > kSeriesStrikes) {
        result.problem = "A series holds at most " + std::to_string(kSeriesStrikes)
                         + " strikes; the selection has " + std::to_string(strikes.size()) + ".";
        return result;
    }
    if (static_cast<int>(expiries.size()) > kSeriesExpiries) {
        result.problem = "A series holds at most " + std::to_string(kSeriesExpiries)
                         + " expiries; the selection has " + std::to_string(expiries.size()) + ".";
        return result;
    }
    if (*expiries.begin() <= chain.quoteDate) {
        result.problem = "The selection holds an expiry with no days left after the table's date.";
        return result;
    }
    ChainSelection selection;
    selection.symbol = chain.symbol;
    // The page's contract list names the rows of one exchange by their
    // suffix: a chain without composite rows is that exchange's.
    selection.contract = root.name + (suffixes.size() == 1 ? *suffixes.begin() : std::string());
    selection.underlying = chain.underlyingLast;
    selection.quoteDate = chain.quoteDate;
    selection.inputs = inputs;
    selection.expiries.assign(expiries.begin(), expiries.end());
    selection.strikes.assign(strikes.begin(), strikes.end());
    result.selection = std::move(selection);
    return result;
}

double ChainSelection::AtTheMoneyVol() const
{
    const ExpiryMarket* first = market && !expiries.empty() ? market->Find(expiries.front()) : nullptr;
    if (!first || !(first->atmVol > 0))
        return 0;
    return std::round(first->atmVol * 1000) / 1000;
}

void TakeMarket(ChainSelection& selection, TableMarket market)
{
    const ExpiryMarket* first = selection.expiries.empty() ? nullptr
                                                           : market.Find(selection.expiries.front());
    if (first && first->forwardSource == ForwardSource::Parity) {
        selection.inputs.dividend = ChainDividend{};
        selection.inputs.dividend.yield = first->impliedYield;
    }
    selection.market = std::make_shared<const TableMarket>(std::move(market));
}

}  // namespace kestrava
