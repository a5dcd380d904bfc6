#include "analysis/RiskGraph.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/AnalysisError.h"
#include "analysis/PositionValuer.h"
#include "common/localeparse.h"
#include "common/rootfind.h"

namespace kestrava {
namespace {

// Breakevens to a ten-millionth of the price, or where the profit or loss
// is within a ten-thousandth of a cent of 0.
constexpr double kBreakevenPrecision = 1e-7;
constexpr double kBreakevenMoney = 1e-6;

// The prices of a graph: up to kMaxRiskPoints steps, and each leg's strike
// between them.
void RequireAscendingPrices(const std::vector<double>& prices, std::size_t legs)
{
    const std::size_t most = static_cast<std::size_t>(kMaxRiskPoints) + legs;
    if (prices.empty() || prices.size() > most)
        throw AnalysisError("The risk graph takes 1 to " + std::to_string(most) + " prices, got "
                            + std::to_string(prices.size()) + ".");
    for (std::size_t i = 0; i < prices.size(); ++i)
        if (!(prices[i] > 0) || !std::isfinite(prices[i]) || (i > 0 && !(prices[i] > prices[i - 1])))
            throw AnalysisError("The risk graph needs rising prices above 0.");
}

// Where the curve meets zero: a sign change found again on the valuation
// itself (exact also between two prices of the graph), or a price at which
// it is zero after a price at which it was not.
std::vector<double> Breakevens(const std::vector<double>& prices, const std::vector<double>& pnl,
                               ScenarioValuer& valuer, TDateTime date)
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
        const Root root = FindRoot([&](double price) { return valuer.Pnl(date, price); }, prices[i],
                                   prices[i + 1], pnl[i], pnl[i + 1], kBreakevenPrecision * prices[i],
                                   kBreakevenMoney);
        found.push_back(root.x);
    }
    return found;
}

// Throws AnalysisError for a range that is not 0 < from < to with 2 to
// kMaxRiskPoints points.
void CheckRange(const RiskRange& range)
{
    if (!(range.from > 0) || !(range.to > range.from) || !std::isfinite(range.to))
        throw AnalysisError("The risk graph needs prices from above 0 to a higher price.");
    if (range.points < 2 || range.points > kMaxRiskPoints)
        throw AnalysisError("The risk graph takes 2 to " + std::to_string(kMaxRiskPoints) + " prices, got "
                            + std::to_string(range.points) + ".");
}

}  // namespace

std::array<TDateTime, 3> RiskDates(const MarkedPosition& marked, const Scenario& scenario)
{
    const TDateTime today = marked.Today();
    const TDateTime day = std::trunc(today);
    const TDateTime expiry = std::max(marked.FirstExpiry(), day);
    const int halfway = TInOutObj::DaysBetween(today, marked.FirstExpiry()) / 2;  // whole days
    TDateTime chosen = day + halfway;
    if (scenario.date != 0)
        chosen = std::clamp(std::trunc(scenario.date), day, std::max(marked.LastExpiry(), day));
    return {today, chosen, expiry};
}

namespace {

ExpectedMove MoveTo(const MarkedPosition& marked, int e, DistributionVol choice)
{
    const MarkedExpiry& expiry = marked.Expiries()[static_cast<std::size_t>(e)];
    ExpectedMove move;
    move.expiry = e;
    move.date = expiry.day;
    move.vol = DistributionVolatility(expiry, marked.Underlying(), choice);
    const double years = TInOutObj::DaysBetween(marked.Today(), expiry.day) / 365.0;
    move.move = marked.Underlying() * move.vol * std::sqrt(years);
    return move;
}

}  // namespace

std::vector<ExpectedMove> ExpectedMoves(const MarkedPosition& marked, DistributionVol choice)
{
    std::vector<ExpectedMove> moves;
    for (int e : marked.LegExpiries())
        moves.push_back(MoveTo(marked, e, choice));
    return moves;
}

std::vector<ExpectedMove> ExpectedMovesOfSeries(const MarkedPosition& marked, DistributionVol choice)
{
    std::vector<ExpectedMove> moves;
    for (std::size_t e = 0; e < marked.Expiries().size(); ++e)
        if (marked.Expiries()[e].day > std::trunc(marked.Today()))
            moves.push_back(MoveTo(marked, static_cast<int>(e), choice));
    return moves;
}

namespace {

// A graph's prices, dates and today's price; a position without legs is
// flat at 0 on every date.
RiskGraph GraphFrame(const MarkedPosition& marked, const Scenario& scenario, std::vector<double> prices)
{
    RequireAscendingPrices(prices, marked.Legs().size());
    RiskGraph graph;
    graph.prices = std::move(prices);
    graph.underlying = marked.Underlying();
    graph.dates = RiskDates(marked, scenario);
    graph.dateChosen = scenario.date != 0;
    if (marked.Empty())
        for (std::vector<double>& curve : graph.pnl)
            curve.assign(graph.prices.size(), 0.0);
    return graph;
}

}  // namespace

RiskGraph ComputeRiskGraph(const MarkedPosition& marked, const Scenario& scenario, std::vector<double> prices)
{
    RiskGraph graph = GraphFrame(marked, scenario, std::move(prices));
    if (marked.Empty())
        return graph;
    std::vector<std::vector<double>> curves = PnlCurves(marked, scenario, graph.dates, graph.prices);
    for (std::size_t d = 0; d < graph.pnl.size(); ++d)
        graph.pnl[d] = std::move(curves[d]);
    ScenarioValuer valuer(marked, scenario);
    graph.breakevens = Breakevens(graph.prices, graph.pnl[kRiskExpiry], valuer, graph.dates[kRiskExpiry]);
    graph.moves = ExpectedMoves(marked, scenario.distribution);
    return graph;
}

RiskGraph ComputeGreekGraph(const MarkedPosition& marked, const Scenario& scenario,
                            std::vector<double> prices, Greek which)
{
    RiskGraph graph = GraphFrame(marked, scenario, std::move(prices));
    graph.greek = which;
    if (marked.Empty())
        return graph;
    std::vector<std::vector<double>> curves = GreekCurves(marked, scenario, graph.dates, graph.prices, which);
    for (std::size_t d = 0; d < graph.pnl.size(); ++d)
        graph.pnl[d] = std::move(curves[d]);
    graph.moves = ExpectedMoves(marked, scenario.distribution);
    return graph;
}

RiskGraph ComputeRiskGraph(std::span<const TInOutObj* const> expiries, const Position& position,
                           const RiskRange& range)
{
    const MarkedPosition marked(expiries, position);
    double underlying = marked.Underlying();
    if (marked.Empty() && !expiries.empty())
        underlying = expiries.front()->Underlying;
    return ComputeRiskGraph(marked, Scenario{}, GraphPrices(marked, Scenario{}, range, underlying));
}

RiskGraph ComputeRiskGraphAt(std::span<const TInOutObj* const> expiries, const Position& position,
                             std::vector<double> prices)
{
    return ComputeRiskGraph(MarkedPosition(expiries, position), Scenario{}, std::move(prices));
}

std::vector<double> RiskPrices(double from, double to, int points, const std::vector<double>& strikes)
{
    std::vector<double> prices;
    prices.reserve(static_cast<std::size_t>(std::max(points, 0)) + strikes.size());
    for (int i = 0; i < points; ++i)
        prices.push_back(i + 1 == points ? to : from + (to - from) * i / std::max(points - 1, 1));
    // A strike a rounding away from a price of the grid is that price.
    const double close = 1e-9 * std::max(std::fabs(from), std::fabs(to));
    for (double strike : strikes) {
        if (!(strike > from) || !(strike < to))
            continue;
        const auto at = std::lower_bound(prices.begin(), prices.end(), strike);
        if (std::fabs(*at - strike) > close && std::fabs(*std::prev(at) - strike) > close)
            prices.insert(at, strike);
    }
    return prices;
}

std::vector<double> LegStrikes(const MarkedPosition& marked)
{
    std::vector<double> strikes;
    for (const MarkedLeg& leg : marked.Legs())
        if (leg.kind == LegKind::Option)
            strikes.push_back(leg.strike);
    std::sort(strikes.begin(), strikes.end());
    strikes.erase(std::unique(strikes.begin(), strikes.end()), strikes.end());
    return strikes;
}

std::vector<double> LegStrikes(std::span<const TInOutObj* const> expiries, const Position& position)
{
    return LegStrikes(MarkedPosition(expiries, position));
}

RiskSpan DefaultRiskSpan(const MarkedPosition& marked, const Scenario& scenario, double underlying)
{
    if (!(underlying > 0) || !std::isfinite(underlying))
        throw AnalysisError("There is no underlying price to draw the risk graph around.");
    const std::vector<double> strikes = LegStrikes(marked);
    if (strikes.empty())
        return {underlying * (1 - kDefaultRiskSpan), underlying * (1 + kDefaultRiskSpan)};

    double low = std::min(underlying, strikes.front());
    double high = std::max(underlying, strikes.back());
    // A breakeven lies a premium or so beyond the strikes: it is looked for
    // from half the lowest to one and a half times the highest.
    const TDateTime expiry = RiskDates(marked, scenario)[kRiskExpiry];
    const std::vector<double> wide = RiskPrices(low / 2, high * 1.5, 401, strikes);
    ScenarioValuer valuer(marked, scenario);
    std::vector<double> curve;
    curve.reserve(wide.size());
    for (double price : wide)
        curve.push_back(valuer.Pnl(expiry, price));
    for (double breakeven : Breakevens(wide, curve, valuer, expiry)) {
        low = std::min(low, breakeven);
        high = std::max(high, breakeven);
    }
    const double margin = std::max(0.25 * (high - low), 0.03 * underlying);
    return {low - margin > 0 ? low - margin : low / 2, high + margin};
}

RiskSpan DefaultRiskSpan(std::span<const TInOutObj* const> expiries, const Position& position)
{
    const MarkedPosition marked(expiries, position);
    double underlying = marked.Underlying();
    if (marked.Empty() && !expiries.empty())
        underlying = expiries.front()->Underlying;
    return DefaultRiskSpan(marked, Scenario{}, underlying);
}

std::vector<double> GraphPrices(const MarkedPosition& marked, const Scenario& scenario,
                                const RiskRange& range, double underlying)
{
    RiskRange whole = range;
    if (whole.from == 0 || whole.to == 0) {
        const RiskSpan span = DefaultRiskSpan(marked, scenario, underlying);
        if (whole.from == 0)
            whole.from = span.from;
        if (whole.to == 0)
            whole.to = span.to;
    }
    CheckRange(whole);
    return RiskPrices(whole.from, whole.to, whole.points, LegStrikes(marked));
}

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
