#include "analysis/RiskGraph.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/AnalysisError.h"
#include "common/localeparse.h"
#include "pricing/recalc.h"

namespace kestrava {
namespace {

constexpr int kBisections = 48;

double Intrinsic(int side, double price, double strike)
{
    return std::max(0.0, side == 1 ? price - strike : strike - price);
}

// Values a position at any date and price. The legs of one expiry share a
// copy of it whose strikes are theirs alone, so one model run prices them
// all, and the sides no leg holds are skipped (no volatility).
class PositionValuer {
public:
    PositionValuer(std::span<const TInOutObj* const> expiries, const Position& position);

    // Profit or loss in money: value at date and price less the entry cost.
    double Pnl(TDateTime date, double price);

    bool Empty() const { return groups_.empty(); }
    // The valuation date and the underlying's price of the first leg found.
    TDateTime Today() const { return today_; }
    double Underlying() const { return underlying_; }
    TDateTime FirstExpiry() const { return firstExpiry_; }

private:
    struct Member {
        int s;
        int k;
        double size;  // quantity times multiplier
    };
    struct Group {
        int expiryIndex;
        TDateTime expiryDay;
        TInOutObj work;
        std::vector<Member> members;
    };
    Group& GroupFor(std::span<const TInOutObj* const> expiries, int expiryIndex);

    std::vector<Group> groups_;
    double cost_ = 0;
    TDateTime today_ = 0;
    double underlying_ = 0;
    TDateTime firstExpiry_ = 0;
    bool found_ = false;
};

PositionValuer::Group& PositionValuer::GroupFor(std::span<const TInOutObj* const> expiries, int expiryIndex)
{
    for (Group& group : groups_)
        if (group.expiryIndex == expiryIndex)
            return group;
    const TInOutObj& source = *expiries[static_cast<std::size_t>(expiryIndex)];
    if (source.Model < kBlackScholes || source.Model > kWhaley)
        throw AnalysisError("Expiry " + IsoDate(source.ExpiryDate)
                            + " has no pricing model to value the position with.");
    Group group{expiryIndex, std::trunc(source.ExpiryDate), source, {}};
    group.work.NumStrikes = 0;
    groups_.push_back(std::move(group));
    return groups_.back();
}

PositionValuer::PositionValuer(std::span<const TInOutObj* const> expiries, const Position& position)
{
    for (const PositionLeg& leg : position.legs) {
        const LegPlace place = FindLeg(expiries, leg);
        if (!place.Found())
            continue;
        const TInOutObj& source = *expiries[static_cast<std::size_t>(place.expiry)];
        Group& group = GroupFor(expiries, place.expiry);
        TInOutObj& work = group.work;
        const float strike = source.Strike(place.s, place.k);
        int s = 1;
        while (s <= work.NumStrikes && work.Strike(s, 1) != strike)
            ++s;
        if (s > work.NumStrikes) {
            work.NumStrikes = s;
            work.Strike(s, 1) = work.Strike(s, 2) = strike;
            work.Vol(s, 1) = work.Vol(s, 2) = 0;  // a side no leg holds is not priced
        }
        const float vol = source.Vol(place.s, place.k);
        work.Vol(s, place.k) = vol > 0 ? vol : source.Sigma;
        const double size = leg.quantity * position.multiplier;
        group.members.push_back({s, place.k, size});
        cost_ += leg.price * size;
        if (!found_) {
            today_ = source.TodayDate;
            underlying_ = source.Underlying;
            found_ = true;
        }
        if (firstExpiry_ == 0 || group.expiryDay < firstExpiry_)
            firstExpiry_ = group.expiryDay;
    }
}

double PositionValuer::Pnl(TDateTime date, double price)
{
    double total = -cost_;
    for (Group& group : groups_) {
        TInOutObj& work = group.work;
        if (TInOutObj::DaysBetween(date, group.expiryDay) <= 0) {
            for (const Member& m : group.members)
                total += Intrinsic(m.k, price, work.Strike(m.s, m.k)) * m.size;
            continue;
        }
        work.TodayDate = date;
        work.Underlying = static_cast<float>(price);
        RunModel(work);
        for (const Member& m : group.members)
            total += static_cast<double>(work.Theo(m.s, m.k)) * m.size;
    }
    return total;
}

std::vector<double> PriceSteps(const RiskRange& range, double underlying)
{
    double from = range.from;
    double to = range.to;
    if (from == 0 || to == 0) {
        if (!(underlying > 0))
            throw AnalysisError("There is no underlying price to draw the risk graph around.");
        if (from == 0)
            from = underlying * (1 - kDefaultRiskSpan);
        if (to == 0)
            to = underlying * (1 + kDefaultRiskSpan);
    }
    if (!(from > 0) || !(to > from) || !std::isfinite(to))
        throw AnalysisError("The risk graph needs prices from above 0 to a higher price.");
    if (range.points < 2 || range.points > kMaxRiskPoints)
        throw AnalysisError("The risk graph takes 2 to " + std::to_string(kMaxRiskPoints) + " prices, got "
                            + std::to_string(range.points) + ".");
    std::vector<double> prices(static_cast<std::size_t>(range.points));
    for (int i = 0; i < range.points; ++i)
        prices[static_cast<std::size_t>(i)] = i + 1 == range.points
                                                  ? to
                                                  : from + (to - from) * i / (range.points - 1);
    return prices;
}

// Where the curve meets zero: a sign change found again by bisection on the
// valuation itself (exact also between two prices of the grid), or a price
// at which it is zero after a price at which it was not.
std::vector<double> Breakevens(const std::vector<double>& prices, const std::vector<double>& pnl,
                               PositionValuer& valuer, TDateTime date)
{
    std::vector<double> found;
    for (std::size_t i = 0; i < prices.size(); ++i) {
        if (pnl[i] == 0) {
            const bool after = i > 0 && pnl[i - 1] != 0;
            const bool before = i + 1 < prices.size() && pnl[i + 1] != 0;
            if (after || (i == 0 && before))
                found.push_back(prices[i]);
            continue;
        }
        if (i + 1 == prices.size() || pnl[i + 1] == 0 || (pnl[i] < 0) == (pnl[i + 1] < 0))
            continue;
        double low = prices[i];
        double high = prices[i + 1];
        const bool risingFromLoss = pnl[i] < 0;
        for (int step = 0; step < kBisections; ++step) {
            const double middle = 0.5 * (low + high);
            const double value = valuer.Pnl(date, middle);
            if (value == 0) {
                low = high = middle;
                break;
            }
            if ((value < 0) == risingFromLoss)
                low = middle;
            else
                high = middle;
        }
        found.push_back(0.5 * (low + high));
    }
    return found;
}

}  // namespace

RiskGraph ComputeRiskGraph(std::span<const TInOutObj* const> expiries, const Position& position,
                           const RiskRange& range)
{
    PositionValuer valuer(expiries, position);
    RiskGraph graph;
    if (valuer.Empty()) {
        graph.underlying = expiries.empty() ? 0 : expiries.front()->Underlying;
        const TDateTime today = expiries.empty() ? 0 : expiries.front()->TodayDate;
        graph.dates = {today, today, today};
    } else {
        graph.underlying = valuer.Underlying();
        const TDateTime today = valuer.Today();
        const int days = TInOutObj::DaysBetween(today, valuer.FirstExpiry());
        graph.dates = {today, std::trunc(today) + days / 2,
                       std::max(valuer.FirstExpiry(), std::trunc(today))};
    }
    graph.prices = PriceSteps(range, graph.underlying);
    for (int d = kRiskToday; d <= kRiskExpiry; ++d) {
        std::vector<double>& curve = graph.pnl[static_cast<std::size_t>(d)];
        curve.reserve(graph.prices.size());
        for (double price : graph.prices)
            curve.push_back(valuer.Empty() ? 0.0
                                           : valuer.Pnl(graph.dates[static_cast<std::size_t>(d)], price));
    }
    if (!valuer.Empty())
        graph.breakevens = Breakevens(graph.prices, graph.pnl[kRiskExpiry], valuer, graph.dates[kRiskExpiry]);
    return graph;
}

}  // namespace kestrava

namespace kestrava {

std::string BreakevenText(const std::vector<double>& breakevens, char decimalSeparator)
{
    if (breakevens.empty())
        return "none";
    std::string text;
    for (double price : breakevens) {
        if (!text.empty())
            text += ", ";
        text += FormatLocaleFixed(price, 2, decimalSeparator);
    }
    return text;
}

}  // namespace kestrava
