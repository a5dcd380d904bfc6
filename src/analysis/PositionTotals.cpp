#include "analysis/PositionTotals.h"

#include <algorithm>

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
        const LegPlace place = FindLeg(expiries, leg);
        if (!place.Found())
            continue;
        const TInOutObj& p = *expiries[static_cast<std::size_t>(place.expiry)];
        const double size = leg.quantity * position.multiplier;
        const bool live = p.DaysToExpiry() > 0;
        totals.cost += leg.price * size;
        totals.value += LegTheo(p, place) * size;
        if (live) {
            totals.delta += p.Delta(place.s, place.k) * size;
            totals.gamma += p.Gamma(place.s, place.k) * size;
            totals.decay += p.Decay(place.s, place.k) * size;
            totals.vega += p.Vega(place.s, place.k) * size;
        }
        ++totals.legsFound;
    }
    totals.pnl = totals.value - totals.cost;
    return totals;
}

std::string LegName(const PositionLeg& leg)
{
    return IsoDate(leg.expiry) + " " + FormatSig9(leg.strike) + (leg.side == 2 ? " P" : " C");
}

std::string LegsNotFoundMessage(std::span<const TInOutObj* const> expiries, const Position& position)
{
    std::string message;
    for (std::size_t i = 0; i < position.legs.size(); ++i) {
        const PositionLeg& leg = position.legs[i];
        if (FindLeg(expiries, leg).Found())
            continue;
        if (!message.empty())
            message += " ";
        message += "Leg " + std::to_string(i + 1) + " (" + LegName(leg)
                   + ") is not an option of this series and is left out of the figures.";
    }
    return message;
}

}  // namespace kestrava
