#include "analysis/VolSurface.h"

#include <algorithm>
#include <cmath>

namespace kestrava {

double StrikeVolatility(const ChainExpiry& expiry, const ExpiryVols& vols, std::size_t index)
{
    if (index >= vols.options.size() || index >= expiry.strikes.size())
        return 0;
    const auto& options = vols.options[index];
    const bool putSide = expiry.strikes[index].strike < vols.forward;
    const VolSolution& outOfTheMoney = options[putSide ? 1 : 0].mid;
    const VolSolution& inTheMoney = options[putSide ? 0 : 1].mid;
    if (outOfTheMoney.Solved())
        return outOfTheMoney.vol;
    return inTheMoney.Solved() ? inTheMoney.vol : 0;
}

double VolatilityAt(const ChainExpiry& expiry, const ExpiryVols& vols, double strike)
{
    const std::size_t count = std::min(expiry.strikes.size(), vols.options.size());
    // The first strike at or above, then the nearest on either side with a volatility.
    std::size_t above = 0;
    while (above < count && expiry.strikes[above].strike < strike)
        ++above;
    std::size_t up = above;
    while (up < count && StrikeVolatility(expiry, vols, up) <= 0)
        ++up;
    if (up < count && expiry.strikes[up].strike == strike)
        return StrikeVolatility(expiry, vols, up);
    std::size_t down = above;
    while (down > 0 && StrikeVolatility(expiry, vols, down - 1) <= 0)
        --down;
    if (up >= count || down == 0)
        return 0;
    const double k0 = expiry.strikes[down - 1].strike, k1 = expiry.strikes[up].strike;
    const double v0 = StrikeVolatility(expiry, vols, down - 1), v1 = StrikeVolatility(expiry, vols, up);
    return v0 + (v1 - v0) * (strike - k0) / (k1 - k0);
}

std::vector<TermPoint> TermStructure(const ChainRoot& root, const std::vector<ExpiryVols>& vols)
{
    std::vector<TermPoint> points;
    for (std::size_t e = 0; e < root.expiries.size() && e < vols.size(); ++e) {
        TermPoint point;
        point.expiry = root.expiries[e].date;
        point.days = vols[e].days;
        point.rate = vols[e].rate;
        point.forward = vols[e].forward;
        point.forwardSource = vols[e].forwardSource;
        point.impliedYield = vols[e].impliedYield;
        if (point.forward > 0)
            point.atmVol = VolatilityAt(root.expiries[e], vols[e], point.forward);
        points.push_back(point);
    }
    return points;
}

VolSurfaceGrid VolatilitySurface(const ChainRoot& root, const std::vector<ExpiryVols>& vols, double lowest,
                                 double highest, int columns)
{
    VolSurfaceGrid grid;
    columns = std::max(columns, 2);
    for (int c = 0; c < columns; ++c)
        grid.moneyness.push_back(std::round((lowest + (highest - lowest) * c / (columns - 1)) * 1e6) / 1e6);
    for (std::size_t e = 0; e < root.expiries.size() && e < vols.size(); ++e) {
        if (vols[e].days <= 0 || vols[e].forward <= 0)
            continue;
        grid.expiries.push_back(root.expiries[e].date);
        grid.days.push_back(vols[e].days);
        for (const double m : grid.moneyness)
            grid.vols.push_back(VolatilityAt(root.expiries[e], vols[e], m * vols[e].forward));
    }
    return grid;
}

}  // namespace kestrava
