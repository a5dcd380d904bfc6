#include "analysis/TradeFigures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "analysis/MarketSmile.h"
#include "analysis/PositionValuer.h"
#include "analysis/RiskGraph.h"

namespace kestrava {
namespace {

// A slope of less than this is taken for none (money per unit of price).
constexpr double kFlat = 1e-9;
constexpr int kCurvePoints = 601;

void NetPrices(const MarkedPosition& marked, TradeFigures& trade)
{
    int divisor = 0;
    for (const MarkedLeg& leg : marked.Legs())
        if (leg.kind == LegKind::Option)
            divisor = std::gcd(divisor,
                               static_cast<int>(std::lround(std::fabs(leg.size / marked.Multiplier()))));
    if (divisor == 0)
        return;
    double atQuotes = 0;
    double atMids = 0;
    for (const MarkedLeg& leg : marked.Legs()) {
        if (leg.kind != LegKind::Option)
            continue;
        const TInOutObj& p = marked.ExpiryOf(leg).inputs;
        const double mid = MidPrice(p, leg.s, leg.k);
        if (!(mid > 0))
            return;
        const double share = std::round(leg.size / marked.Multiplier()) / divisor;
        atQuotes += share * ShortestDouble(share > 0 ? p.Ask(leg.s, leg.k) : p.Bid(leg.s, leg.k));
        atMids += share * mid;
    }
    trade.spreads = divisor;
    trade.netAtQuotes = atQuotes;
    trade.netAtMids = atMids;
}

}  // namespace

TradeFigures ComputeTradeFigures(const MarkedPosition& marked, const Scenario& scenario)
{
    TradeFigures trade;
    NetPrices(marked, trade);
    if (marked.Empty())
        return trade;
    const TDateTime expiry = RiskDates(marked, scenario)[kRiskExpiry];
    ScenarioValuer valuer(marked, scenario);
    bool anyLive = false;
    double slope = 0;
    for (const MarkedLeg& leg : marked.Legs()) {
        if (leg.kind == LegKind::Underlying || leg.k == 1)
            slope += leg.size;
        anyLive = anyLive || (leg.kind == LegKind::Option && valuer.Live(leg, expiry));
    }
    std::vector<double> strikes = LegStrikes(marked);
    std::vector<double> pnl;
    if (!anyLive) {
        // Straight between the strikes: the bounds are at 0, at a strike or
        // far above.
        pnl.push_back(valuer.Pnl(expiry, 0));
        for (double strike : strikes)
            pnl.push_back(valuer.Pnl(expiry, strike));
    } else {
        const double low = std::min(strikes.front(), marked.Underlying()) / 50;
        const double high = std::max(strikes.back(), marked.Underlying()) * 3;
        const TDateTime dates[] = {expiry};
        pnl = PnlCurves(marked, scenario, dates, RiskPrices(low, high, kCurvePoints, strikes)).front();
    }
    trade.maxProfit = *std::max_element(pnl.begin(), pnl.end());
    trade.maxLoss = std::max(0.0, -*std::min_element(pnl.begin(), pnl.end()));
    trade.profitUnlimited = slope > kFlat;
    trade.lossUnlimited = slope < -kFlat;
    if (!trade.profitUnlimited && !trade.lossUnlimited && trade.maxLoss > 0)
        trade.returnOnRisk = trade.maxProfit / trade.maxLoss;
    return trade;
}

}  // namespace kestrava
