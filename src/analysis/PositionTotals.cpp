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
    totals.theo = totals.value;
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
    totals.theo = totals.value;
    totals.legsFound = static_cast<int>(marked.Legs().size());
    return totals;
}

}  // namespace

std::vector<LegFigures> ComputeLegFigures(const MarkedPosition& marked, const Scenario& scenario)
{
    // Each leg at today's date and price, whatever date the scenario is for.
    ScenarioValuer valuer(marked, scenario);
    std::vector<LegFigures> legs;
    for (const MarkedLeg& leg : marked.Legs()) {
        const LegGreeks at = valuer.LegAt(leg, marked.Today(), marked.Underlying());
        LegFigures figures;
        figures.index = leg.index;
        figures.kind = leg.kind;
        figures.size = leg.size;
        figures.mark = leg.mark;
        figures.atMid = leg.atMid;
        figures.expired = leg.kind == LegKind::Option && !valuer.Live(leg, marked.Today());
        // A mid no volatility reprices has none; a value of the model its own.
        if (leg.kind == LegKind::Option && leg.vol > 0 && (!leg.atMid || leg.volSolved))
            figures.iv = leg.vol;
        figures.volUsed = at.vol;
        figures.theo = at.theo;
        figures.delta = at.delta;
        figures.gamma = at.gamma;
        figures.decay = at.decay;
        figures.vega = at.vega;
        figures.rho = at.rho;
        legs.push_back(figures);
    }
    return legs;
}

PositionFigures ComputeFigures(const MarkedPosition& marked, const Scenario& scenario)
{
    PositionFigures figures;
    figures.legs = ComputeLegFigures(marked, scenario);
    PositionTotals& now = figures.now;
    now.commissions = marked.Commissions();
    now.cost = marked.EntryCost() + marked.Commissions();
    now.legsFound = static_cast<int>(marked.Legs().size());
    // The value now is the marks', whatever the scenario.
    for (const LegFigures& leg : figures.legs) {
        now.value += leg.mark * leg.size;
        now.theo += leg.theo * leg.size;
        now.delta += leg.delta * leg.size;
        now.gamma += leg.gamma * leg.size;
        now.decay += leg.decay * leg.size;
        now.vega += leg.vega * leg.size;
        now.rho += leg.rho * leg.size;
    }
    now.pnl = now.value - now.cost;
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
