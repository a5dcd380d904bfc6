// The chances of a position against a Monte Carlo of a million lognormal
// prices (a fixed seed): an index iron condor at its expiry and on a date
// before it, where every leg still has time value, and a calendar whose far
// leg keeps its time value at the near expiry. The profit or loss of each
// path is worked out here from the payoffs and Black-Scholes in double
// precision, not by the code under test.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "analysis/MarkedPosition.h"
#include "analysis/PositionValuer.h"
#include "analysis/Probability.h"
#include "pricing/pricing_fixtures.h"
#include "pricing/recalc.h"

using namespace kestrava;
using namespace kestrava::fixtures;

namespace {

constexpr int kPaths = 1000000;
constexpr double kRate = 0.05, kYield = 0.02;

struct MonteCarlo {
    double profit = 0;   // chance of a profit
    double nearMax = 0;  // chance of ending within a unit of maxProfit
    double mean = 0;
    double deviation = 0;  // of the mean
};

// Prices S0 e^((b - v^2/2) T + v sqrt(T) Z).
MonteCarlo Simulate(double S0, double carry, double vol, double years, double maxProfit,
                    const std::function<double(double)>& pnl)
{
    std::mt19937_64 generator(20110124);
    std::normal_distribution<double> normal;
    const double drift = (carry - vol * vol / 2) * years, spread = vol * std::sqrt(years);
    double sum = 0, squares = 0;
    int profits = 0, atMax = 0;
    for (int i = 0; i < kPaths; ++i) {
        const double value = pnl(S0 * std::exp(drift + spread * normal(generator)));
        sum += value;
        squares += value * value;
        profits += value > 0;
        atMax += value >= maxProfit - 1;
    }
    MonteCarlo mc;
    mc.profit = static_cast<double>(profits) / kPaths;
    mc.nearMax = static_cast<double>(atMax) / kPaths;
    mc.mean = sum / kPaths;
    mc.deviation = std::sqrt((squares / kPaths - mc.mean * mc.mean) / kPaths);
    return mc;
}

TInOutObj Index(int days, float sigma)
{
    TInOutObj p = MakeSeries(kIndex, kBlackScholes, 100, static_cast<float>(kRate), sigma, days,
                             {85, 90, 95, 100, 105, 110, 115});
    p.Dividend = static_cast<float>(kYield);
    RecalcExpiry(p, VolSource::Flat);
    return p;
}

PositionLeg Leg(const TInOutObj& p, int s, int k, int quantity)
{
    PositionLeg leg = LegFromGrid(p, s, k, quantity);
    leg.price = std::round(leg.price * 100) / 100;
    return leg;
}

double Payoff(const PositionLeg& leg, double S)
{
    return std::max(0.0, leg.side == 1 ? S - leg.strike : leg.strike - S);
}

}  // namespace

TEST(Probability, IronCondorAgainstMonteCarlo)
{
    const TInOutObj p = Index(45, 0.2f);
    const std::vector<const TInOutObj*> expiries{&p};
    Position condor;
    condor.legs = {Leg(p, 2, 2, 1), Leg(p, 3, 2, -1), Leg(p, 5, 1, -1), Leg(p, 6, 1, 1)};
    condor.commissions.perContract = 0.65;
    double cost = 4 * 0.65;
    for (const PositionLeg& leg : condor.legs)
        cost += leg.price * leg.quantity * 100;
    const MarkedPosition marked(expiries, condor);
    Scenario scenario;
    scenario.distribution = DistributionVol::Flat;
    scenario.date = p.TodayDate + 15;
    const ProbabilityFigures figures = ComputeProbabilities(marked, scenario);
    EXPECT_EQ(figures.atExpiry.vol, 0.2f);
    EXPECT_EQ(figures.atExpiry.date, p.ExpiryDate);
    EXPECT_FALSE(figures.maxProfitUnbounded);
    EXPECT_NEAR(figures.maxProfit, -cost, 1e-6) << "kept whole between the short strikes";

    auto atExpiry = [&](double S) {
        double value = -cost;
        for (const PositionLeg& leg : condor.legs)
            value += Payoff(leg, S) * leg.quantity * 100;
        return value;
    };
    const MonteCarlo expiry = Simulate(100, kRate - kYield, 0.2, 45 / 365.0, figures.maxProfit, atExpiry);
    EXPECT_NEAR(figures.popExpiry, expiry.profit, 0.002);
    EXPECT_NEAR(figures.pMaxProfit, expiry.nearMax, 0.002);
    EXPECT_NEAR(figures.expectedPnlExpiry, expiry.mean, 4 * expiry.deviation + 0.05);
    EXPECT_GT(figures.pMaxProfit, 0.3);

    // Fifteen days on every leg still has thirty days of time value.
    auto onTheDate = [&](double S) {
        double value = -cost;
        for (const PositionLeg& leg : condor.legs) {
            const ReferenceValue v = ReferenceBlackScholes(S, leg.strike, 30 / 365.0, kRate, kRate - kYield,
                                                           0.2);
            value += (leg.side == 1 ? v.call : v.put) * leg.quantity * 100;
        }
        return value;
    };
    const MonteCarlo date = Simulate(100, kRate - kYield, 0.2, 15 / 365.0, 0, onTheDate);
    EXPECT_NEAR(figures.popDate, date.profit, 0.002);
    EXPECT_EQ(figures.atDate.date, p.TodayDate + 15);
}

TEST(Probability, CalendarAgainstMonteCarlo)
{
    // Sell the 30-day 100 call and 95 put, buy the 90-day 100 call. At the
    // near expiry the far call is worth its Black-Scholes value at its own
    // volatility (no quotes: the page's 24 %); the price's volatility is
    // the near expiry's at-the-money one, its smile's at 100.
    TInOutObj near = Index(30, 0.2f);
    const TInOutObj far = Index(90, 0.24f);
    // A smile for the near expiry: its quotes at 18 % at 100, 21 % at 95.
    for (int s = 3; s <= 5; ++s) {
        const double vol = s == 3 ? 0.21 : s == 4 ? 0.18 : 0.17;
        const double strike = near.Strike(s, 1);
        const ReferenceValue v = ReferenceBlackScholes(100, strike, 30 / 365.0, kRate, kRate - kYield, vol);
        const double mid = strike >= 100 ? v.call : v.put;
        const int k = strike >= 100 ? 1 : 2;
        near.Bid(s, k) = static_cast<float>(mid - 0.02);
        near.Ask(s, k) = static_cast<float>(mid + 0.02);
    }
    const std::vector<const TInOutObj*> expiries{&near, &far};
    Position calendar;
    calendar.legs = {Leg(near, 4, 1, -1), Leg(near, 3, 2, -1), Leg(far, 4, 1, 1)};
    const MarkedPosition marked(expiries, calendar);
    const ProbabilityFigures figures = ComputeProbabilities(marked, Scenario{});
    ASSERT_NEAR(figures.atExpiry.vol, 0.18, 1e-4);

    const double cost = marked.EntryCost();
    auto pnl = [&](double S) {
        const ReferenceValue v = ReferenceBlackScholes(S, 100, 60 / 365.0, kRate, kRate - kYield, 0.24);
        return v.call * 100 - std::max(0.0, S - 100) * 100 - std::max(0.0, 95 - S) * 100 - cost;
    };
    const MonteCarlo mc = Simulate(100, kRate - kYield, figures.atExpiry.vol, 30 / 365.0, figures.maxProfit,
                                   pnl);
    EXPECT_NEAR(figures.popExpiry, mc.profit, 0.002);
    EXPECT_NEAR(figures.pMaxProfit, mc.nearMax, 0.002);
    EXPECT_NEAR(figures.expectedPnlExpiry, mc.mean, 4 * mc.deviation + 0.05);
    EXPECT_FALSE(figures.maxProfitUnbounded);
    EXPECT_GT(figures.popExpiry, 0.2);
    EXPECT_LT(figures.popExpiry, 0.8);
}

// An American calendar: at the near expiry the far put's early-exercise
// worth is part of the profit or loss. The chances must equal a plain
// quadrature of the position's own value over the same distribution.
TEST(Probability, AmericanCalendarAgainstQuadrature)
{
    const auto equity = [](int days, float sigma) {
        TInOutObj p = MakeSeries(kEquity, kWhaley, 100, static_cast<float>(kRate), sigma, days,
                                 {85, 90, 95, 100, 105, 110, 115});
        RecalcExpiry(p, VolSource::Flat);
        return p;
    };
    const TInOutObj near = equity(30, 0.25f), far = equity(120, 0.3f);
    const std::vector<const TInOutObj*> expiries{&near, &far};
    Position calendar;
    calendar.legs = {Leg(near, 7, 2, -1), Leg(far, 7, 2, 1), Leg(near, 2, 2, 1)};
    const MarkedPosition marked(expiries, calendar);
    const ProbabilityFigures figures = ComputeProbabilities(marked, Scenario{});
    const PriceDistribution& at = figures.atExpiry;
    ASSERT_GT(at.logDeviation, 0);

    ScenarioValuer valuer(marked, Scenario{});
    constexpr int kSteps = 4000;  // Simpson over six deviations either side
    constexpr double kReach = 6;
    double mean = 0, profit = 0;
    for (int i = 0; i <= kSteps; ++i) {
        const double z = -kReach + 2 * kReach * i / kSteps;
        const double weight = (i == 0 || i == kSteps ? 1
                               : i % 2               ? 4
                                                     : 2)
                              * (2 * kReach / kSteps) / 3 * std::exp(-z * z / 2) / std::sqrt(2 * M_PI);
        const double pnl = valuer.Pnl(at.date, std::exp(at.logMean + at.logDeviation * z));
        mean += weight * pnl;
        profit += pnl > 0 ? weight : 0;
    }
    EXPECT_NEAR(figures.expectedPnlExpiry, mean, 0.05);
    EXPECT_NEAR(figures.popExpiry, profit, 0.003);
    EXPECT_GT(figures.popExpiry, 0.05);
    EXPECT_LT(figures.popExpiry, 0.95);
}

TEST(Probability, UnboundedProfitAndTheDateOfToday)
{
    // A long call profits without bound: no chance of its maximum. On
    // today's date the price is known: a profit now or not.
    const TInOutObj p = Index(60, 0.2f);
    const std::vector<const TInOutObj*> expiries{&p};
    Position call;
    call.legs = {Leg(p, 4, 1, 1)};
    call.legs[0].price -= 0.5;  // bought cheaply: a profit now
    Scenario today;
    today.date = p.TodayDate;
    const ProbabilityFigures figures = ComputeProbabilities(MarkedPosition(expiries, call), today);
    EXPECT_TRUE(figures.maxProfitUnbounded);
    EXPECT_EQ(figures.pMaxProfit, 0);
    EXPECT_EQ(figures.popDate, 1);
    EXPECT_EQ(figures.atDate.logDeviation, 0);
}

TEST(Probability, ASpreadThatProfitsByLessThanADollarBeforeItsExpiry)
{
    // A call spread bought at all but half a cent of its width, without a
    // rate: on a date before the expiry it profits, by less than a dollar,
    // only far above its strikes. The chance of that is the chance of the
    // price at that date above the breakeven, found here by bisection.
    TInOutObj p = MakeSeries(kIndex, kBlackScholes, 100, 0.0f, 0.6f, 120, {95, 100, 105, 110});
    RecalcExpiry(p, VolSource::Flat);
    const std::vector<const TInOutObj*> expiries{&p};
    Position spread;
    spread.legs = {LegFromGrid(p, 1, 1, 1), LegFromGrid(p, 2, 1, -1)};
    spread.legs[0].price = 5.0;
    spread.legs[1].price = 0.005;
    Scenario scenario;
    scenario.date = p.TodayDate + 100;
    const MarkedPosition marked(expiries, spread);
    const ProbabilityFigures figures = ComputeProbabilities(marked, scenario);
    const PriceDistribution& at = figures.atDate;
    ASSERT_GT(at.logDeviation, 0);

    ScenarioValuer valuer(marked, scenario);
    double below = 100, above = 1000;
    ASSERT_LT(valuer.Pnl(at.date, below), 0);
    ASSERT_GT(valuer.Pnl(at.date, above), 0);
    ASSERT_LT(valuer.Pnl(at.date, above), 1);
    while (above - below > 1e-9 * above) {
        const double middle = (below + above) / 2;
        (valuer.Pnl(at.date, middle) > 0 ? above : below) = middle;
    }
    const double chance = 0.5 * std::erfc((std::log(above) - at.logMean) / at.logDeviation / std::sqrt(2.0));
    EXPECT_GT(chance, 0.05);
    // Near the breakeven the curve is all but flat: the single precision of
    // the pricer's values moves it a little.
    EXPECT_NEAR(figures.popDate, chance, 1e-4);
}
