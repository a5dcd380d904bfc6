#include "analysis/MarketSmile.h"

#include <algorithm>

#include "analysis/Position.h"
#include "pricing/modeliv.h"
#include "pricing/Models.h"

namespace kestrava {

MarketSmile::MarketSmile(std::vector<std::pair<double, double>> points) : points_(std::move(points))
{
    std::sort(points_.begin(), points_.end());
    // One point per strike: the first.
    points_.erase(std::unique(points_.begin(), points_.end(),
                              [](const auto& a, const auto& b) { return a.first == b.first; }),
                  points_.end());
}

double MarketSmile::At(double strike) const
{
    if (points_.empty())
        return 0;
    if (strike <= points_.front().first)
        return points_.front().second;
    if (strike >= points_.back().first)
        return points_.back().second;
    const auto upper = std::upper_bound(points_.begin(), points_.end(), strike,
                                        [](double x, const auto& point) { return x < point.first; });
    const auto lower = upper - 1;
    const double w = (strike - lower->first) / (upper->first - lower->first);
    return lower->second + w * (upper->second - lower->second);
}

double MidPrice(const TInOutObj& expiry, int s, int k)
{
    const float bid = expiry.Bid(s, k);
    const float ask = expiry.Ask(s, k);
    if (!(bid > 0) || !(ask >= bid))
        return 0;
    return (ShortestDouble(bid) + ShortestDouble(ask)) / 2;
}

MarketSmile SmileOfQuotes(const TInOutObj& expiry)
{
    std::vector<std::pair<double, double>> points;
    if (expiry.DaysToExpiry() <= 0 || !(expiry.Underlying > 0))
        return {};
    for (int s = 1; s <= expiry.NumStrikes && s <= kMaxStrikes; ++s) {
        const double strike = expiry.Strike(s, 1);
        if (!(strike > 0))
            continue;
        const int outside = strike >= expiry.Underlying ? 1 : 2;
        for (int k : {outside, 3 - outside}) {
            const double mid = MidPrice(expiry, s, k);
            const double vol = mid > 0 ? EuropeanImpliedVol(expiry, strike, k, mid) : 0;
            if (vol > 0) {
                points.emplace_back(strike, vol);
                break;
            }
        }
    }
    return MarketSmile(std::move(points));
}

}  // namespace kestrava
