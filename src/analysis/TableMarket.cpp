#include "analysis/TableMarket.h"

#include <cmath>

#include "analysis/VolSurface.h"

namespace kestrava {
namespace {

// How far apart a page's expiry and the table's may lie: the exchange codes
// the old monthlies on the Saturday after their last trading day.
constexpr double kExpirySlackDays = 1;

int FindExpiry(const ChainRoot& root, TDateTime day)
{
    int best = -1;
    double nearest = kExpirySlackDays + 0.5;
    for (std::size_t e = 0; e < root.expiries.size(); ++e) {
        const double apart = std::fabs(root.expiries[e].date - std::trunc(day));
        if (apart < nearest) {
            nearest = apart;
            best = static_cast<int>(e);
        }
    }
    return best;
}

}  // namespace

const ExpiryMarket* TableMarket::Find(TDateTime expiry) const
{
    const ExpiryMarket* best = nullptr;
    double nearest = kExpirySlackDays + 0.5;
    for (const ExpiryMarket& market : expiries) {
        const double apart = std::fabs(market.expiry - std::trunc(expiry));
        if (apart < nearest) {
            nearest = apart;
            best = &market;
        }
    }
    return best;
}

ExpiryMarket MarketOfExpiry(const ChainExpiry& expiry, const ExpiryVols& vols)
{
    ExpiryMarket market;
    market.expiry = expiry.date;
    market.forward = vols.forward;
    market.forwardSource = vols.forwardSource;
    market.impliedYield = vols.impliedYield;
    std::vector<std::pair<double, double>> points;
    for (std::size_t s = 0; s < expiry.strikes.size(); ++s)
        if (const double vol = StrikeVolatility(expiry, vols, s); vol > 0)
            points.emplace_back(expiry.strikes[s].strike, vol);
    market.smile = MarketSmile(std::move(points));
    if (vols.forward > 0)
        market.atmVol = VolatilityAt(expiry, vols, vols.forward);
    return market;
}

TableMarket MarketOfChain(const QuoteChain& chain, const ChainRoot& root,
                          const std::vector<TDateTime>& expiries, const ChainInputs& inputs,
                          const std::vector<std::optional<ExpiryVols>>& solved)
{
    TableMarket market;
    market.file = chain.fileName;
    market.root = root.name;
    market.quoteDate = chain.quoteDate;
    market.underlying = chain.underlyingLast;
    // The expiries still to solve, as a root of their own.
    ChainRoot unsolved;
    unsolved.name = root.name;
    std::vector<std::size_t> order;  // of the table's expiries found, in the page's order
    for (const TDateTime day : expiries) {
        const int e = FindExpiry(root, day);
        if (e < 0)
            continue;
        const auto index = static_cast<std::size_t>(e);
        order.push_back(index);
        if (index >= solved.size() || !solved[index])
            unsolved.expiries.push_back(root.expiries[index]);
    }
    const std::vector<ExpiryVols> fresh = unsolved.expiries.empty()
                                              ? std::vector<ExpiryVols>{}
                                              : SolveChain(unsolved, chain.underlyingLast, chain.quoteDate,
                                                           inputs, ChainSolveScope::MidOnly);
    std::size_t next = 0;
    for (const std::size_t index : order) {
        const ChainExpiry& expiry = root.expiries[index];
        if (index < solved.size() && solved[index])
            market.expiries.push_back(MarketOfExpiry(expiry, *solved[index]));
        else
            market.expiries.push_back(MarketOfExpiry(expiry, fresh[next++]));
    }
    return market;
}

std::optional<TableMarket> ReadTableMarket(const std::string& file, const std::string& contract,
                                           const std::vector<TDateTime>& expiries, const ChainInputs& inputs)
{
    const QuoteChain chain = ReadQuoteChain(file);
    const int root = chain.FindRoot(contract.substr(0, contract.find('-')));
    if (root < 0)
        return std::nullopt;
    return MarketOfChain(chain, chain.roots[static_cast<std::size_t>(root)], expiries, inputs);
}

}  // namespace kestrava
