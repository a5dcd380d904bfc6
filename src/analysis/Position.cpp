#include "analysis/Position.h"

#include <charconv>
#include <cmath>
#include <filesystem>

namespace kestrava {
namespace {

// Strikes are singles in the series and doubles in the file.
bool SameStrike(float a, float b)
{
    return std::fabs(static_cast<double>(a) - b) <= 0.0005;
}

bool SameDay(TDateTime a, TDateTime b)
{
    return std::trunc(a) == std::trunc(b);
}

}  // namespace

LegPlace FindLeg(std::span<const TInOutObj* const> expiries, const PositionLeg& leg)
{
    if (!leg.IsOption() || (leg.side != 1 && leg.side != 2))
        return {};
    for (std::size_t e = 0; e < expiries.size(); ++e) {
        const TInOutObj& p = *expiries[e];
        if (!SameDay(p.ExpiryDate, leg.expiry))
            continue;
        for (int s = 1; s <= p.NumStrikes && s <= kMaxStrikes; ++s)
            if (SameStrike(p.Strike(s, leg.side), leg.strike))
                return {static_cast<int>(e), s, leg.side};
    }
    return {};
}

PositionLeg LegFromGrid(const TInOutObj& expiry, int s, int k, int quantity)
{
    PositionLeg leg;
    leg.expiry = std::trunc(expiry.ExpiryDate);
    leg.strike = expiry.Strike(s, k);
    leg.side = k;
    leg.quantity = quantity;
    const float quoted = quantity >= 0 ? expiry.Ask(s, k) : expiry.Bid(s, k);
    leg.price = ShortestDouble(quoted > 0 ? quoted : expiry.Theo(s, k));
    return leg;
}

void AddLeg(Position& position, const PositionLeg& leg)
{
    for (PositionLeg& held : position.legs) {
        const bool same = held.kind == leg.kind
                          && (!leg.IsOption()
                              || (SameDay(held.expiry, leg.expiry) && SameStrike(held.strike, leg.strike)
                                  && held.side == leg.side));
        if (same && held.price == leg.price) {
            held.quantity += leg.quantity;
            return;
        }
    }
    position.legs.push_back(leg);
}

double LegSize(const Position& position, const PositionLeg& leg)
{
    return leg.IsOption() ? leg.quantity * position.multiplier : static_cast<double>(leg.quantity);
}

double LegCommission(const Position& position, const PositionLeg& leg)
{
    const double count = std::fabs(static_cast<double>(leg.quantity));
    return count * (leg.IsOption() ? position.commissions.perContract : position.commissions.perShare);
}

std::string PositionFileFor(const std::string& seriesFile)
{
    std::filesystem::path path(seriesFile);
    path.replace_extension(".position.json");
    return path.string();
}

double ShortestDouble(float value)
{
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double result = value;
    std::from_chars(text, written.ptr, result);
    return result;
}

}  // namespace kestrava
