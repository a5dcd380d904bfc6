#pragma once
// The smile of an expiry's quotes as the position's valuation follows it:
// at each strike with a bid and an ask, the European volatility of the mid
// price of the out-of-the-money side (the other side where that has no
// quote), joined by straight lines and flat beyond the outer strikes.

#include <utility>
#include <vector>

#include "pricing/IORecObj1.h"

namespace kestrava {

class MarketSmile {
public:
    MarketSmile() = default;
    // Points (strike, volatility as a fraction), in any order.
    explicit MarketSmile(std::vector<std::pair<double, double>> points);

    bool Empty() const { return points_.empty(); }
    const std::vector<std::pair<double, double>>& Points() const { return points_; }
    // The volatility at strike: between two points on the line joining
    // them, beyond the outer ones at the outer one's.
    double At(double strike) const;

private:
    std::vector<std::pair<double, double>> points_;  // ascending strikes
};

// The mid price of strike s, side k when it has a bid and an ask above 0
// (the ask not below the bid); 0 otherwise. The quotes are read as the
// decimal numbers they were typed or downloaded as.
double MidPrice(const TInOutObj& expiry, int s, int k);

// The smile of an expiry with days left; empty without quotes.
MarketSmile SmileOfQuotes(const TInOutObj& expiry);

}  // namespace kestrava
