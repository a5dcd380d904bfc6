#include "analysis/PositionTotals.h"

#include <algorithm>

#include "analysis/PositionValuer.h"
#include "analysis/RiskGraph.h"
#include "common/numtext.h"

namespace kestrava {

double LegTheo(const TInOutObj& expiry, const LegPlace& place)
{
    if (expiry.DaysToExpiry() > 0)
        return expiry.Theo(place.s, place.k);
    const double strike = expiry.Strike(place.s, place.k);
    const double underlying = expiry.Underlying;
    return std::max(0.0, place.k == 1 ? underlying - strike : strike - underlying);
}

PositionTotals ComputeTotals(std::span<const TInOutObj* const> expiries, const Position& position)
{
    PositionTotals totals;
    for (const PositionLeg& leg : position.legs) {
        if (!leg.IsOption()) {
            // A unit of the underlying is worth the price of the expiries.
            const double size = LegSize(position, leg);
            const double price = expiries.empty() ? 0.0 : expiries.front()->Underlying;
            totals.cost += leg.price * size;
            totals.value += price * size;
            totals.delta += size;
            totals.commissions += LegCommission(position, leg);
            ++totals.legsFound;
            continue;
        }
        const LegPlace place = FindLeg(expiries, leg);
        if (!place.Found())
            continue;
        const TInOutObj& p = *expiries[static_cast<std::size_t>(place.expiry)];
        const double size = leg.quantity * position.multiplier;
        const bool live = p.DaysToExpiry() > 0;
        totals.cost += leg.price * size;
        totals.commissions += LegCommission(position, leg);
        totals.value += LegTheo(p, place) * size;
        if (live) {
            totals.delta += p.Delta(place.s, place.k) * size;
            totals.gamma += p.Gamma(place.s, place.k) * size;
            totals.decay += p.Decay(place.s, place.k) * size;
            totals.vega += p.Vega(place.s, place.k) * size;
        }
        ++totals.legsFound;
    }
    totals.cost += totals.commissions;
    totals.pnl = totals.value - totals.cost;
    return totals;
}

namespace {

PositionTotals TotalsAt(const MarkedPosition& marked, const Scenario& scenario, TDateTime date)
{
    ScenarioValuer valuer(marked, scenario);
    PositionTotals totals;
    totals.commissions = marked.Commissions();
    totals.cost = marked.EntryCost() + marked.Commissions();
    totals.value = marked.Empty() ? 0.0 : valuer.Value(date, marked.Underlying());
    totals.pnl = totals.value - totals.cost;
    const PositionGreeks greeks = valuer.Greeks(date, marked.Underlying());
    totals.delta = greeks.delta;
    totals.gamma = greeks.gamma;
    totals.decay = greeks.decay;
    totals.vega = greeks.vega;
    totals.rho = greeks.rho;
    totals.legsFound = static_cast<int>(marked.Legs().size());
    return totals;
}

}  // namespace

PositionFigures ComputeFigures(const MarkedPosition& marked, const Scenario& scenario)
{
    PositionFigures figures;
    Scenario unmoved;
    unmoved.skew = scenario.skew;
    figures.now = TotalsAt(marked, unmoved, marked.Today());
    // The value now is the marks', whatever the skew rule.
    double value = 0;
    for (const MarkedLeg& leg : marked.Legs())
        value += leg.mark * leg.size;
    figures.now.value = value;
    figures.now.pnl = value - figures.now.cost;
    figures.date = RiskDates(marked, scenario)[kRiskMidway];
    figures.scenario = TotalsAt(marked, scenario, figures.date);
    return figures;
}

std::string LegName(const PositionLeg& leg)
{
    if (!leg.IsOption())
        return "underlying";
    return IsoDate(leg.expiry) + " " + FormatSig9(leg.strike) + (leg.side == 2 ? " P" : " C");
}

std::string LegsNotFoundMessage(std::span<const TInOutObj* const> expiries, const Position& position)
{
    std::string message;
    for (std::size_t i = 0; i < position.legs.size(); ++i) {
        const PositionLeg& leg = position.legs[i];
        if (!leg.IsOption() || FindLeg(expiries, leg).Found())
            continue;
        if (!message.empty())
            message += " ";
        message += "Leg " + std::to_string(i + 1) + " (" + LegName(leg)
                   + ") is not an option of this series and is left out of the figures.";
    }
    return message;
}

}  // namespace kestrava
