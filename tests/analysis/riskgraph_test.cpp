// Positions valued by hand-checkable rules: spreads and synthetics at
// expiry, the totals against the risk graph's own slope, put-call parity on
// every date, later expiries keeping their time value, and what a position
// that does not fit its series gets.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "analysis/AnalysisError.h"
#include "analysis/PositionTotals.h"
#include "analysis/RiskGraph.h"
#include "pricing/Models.h"
#include "pricing/pricing_fixtures.h"
#include "pricing/recalc.h"
#include "support/spx_quotes.h"

using namespace kestrava;

namespace {

// 91 days, strikes 90 to 110 by 5, underlying 100, 5 %, 25 %, calculated.
TInOutObj Expiry(int model, int days = 91, int contract = kEquity)
{
    TInOutObj p = fixtures::MakeSeries(contract, model, 100, 0.05f, 0.25f, days, {90, 95, 100, 105, 110});
    RecalcExpiry(p, VolSource::Flat);
    return p;
}

PositionLeg Leg(const TInOutObj& p, float strike, int side, int quantity, double price)
{
    PositionLeg leg;
    leg.expiry = p.ExpiryDate;
    leg.strike = strike;
    leg.side = side;
    leg.quantity = quantity;
    leg.price = price;
    return leg;
}

double Intrinsic(int side, double price, double strike)
{
    return std::max(0.0, side == 1 ? price - strike : strike - price);
}

const int kModels[] = {kBlackScholes, kBinomial, kWhaley};

}  // namespace

TEST(RiskGraph, BullCallSpreadAtExpiryIsTheCappedPayoffLessItsCost)
{
    // The second cost puts the breakeven on a price of the graph (every
    // half point), where the curve is 0 itself after being below: it is
    // found once, there.
    const double premiums[][2] = {{3.40, 1.55}, {3.50, 1.50}};
    for (int model : kModels) {
        for (const auto& premium : premiums) {
            const TInOutObj p = Expiry(model);
            const std::vector<const TInOutObj*> expiries{&p};
            Position spread;
            spread.legs = {Leg(p, 100, 1, 1, premium[0]), Leg(p, 105, 1, -1, premium[1])};
            const double cost = premium[0] - premium[1];
            const RiskGraph graph = ComputeRiskGraph(expiries, spread, {60, 140, 161});
            ASSERT_EQ(graph.prices.size(), 161u);
            for (std::size_t i = 0; i < graph.prices.size(); ++i) {
                const double S = graph.prices[i];
                const double expected = (std::min(std::max(S - 100, 0.0), 5.0) - cost) * 100;
                EXPECT_NEAR(graph.pnl[kRiskExpiry][i], expected, 1e-9) << "model " << model << ", S " << S;
            }
            ASSERT_EQ(graph.breakevens.size(), 1u) << "model " << model << ", cost " << cost;
            EXPECT_NEAR(graph.breakevens[0], 100 + cost, 1e-9);
            // Before expiry the spread is worth between nothing and its cap.
            for (double value : graph.pnl[kRiskToday])
                EXPECT_TRUE(value >= -cost * 100 && value <= (5 - cost) * 100) << value;
        }
    }
}

TEST(RiskGraph, LongPutWithSyntheticStockIsFlatBelowThePutStrike)
{
    // Long stock as a long call and a short put of one strike: with the
    // 95 put bought, the position cannot lose more below 95.
    const TInOutObj p = Expiry(kBlackScholes);
    const std::vector<const TInOutObj*> expiries{&p};
    Position hedged;
    hedged.legs = {Leg(p, 95, 2, 1, p.Theo(2, 2)), Leg(p, 100, 1, 1, p.Theo(3, 1)),
                   Leg(p, 100, 2, -1, p.Theo(3, 2))};
    const RiskGraph graph = ComputeRiskGraph(expiries, hedged, {50, 150, 201});
    const double floor = graph.pnl[kRiskExpiry].front();
    for (std::size_t i = 0; i < graph.prices.size(); ++i) {
        const double S = graph.prices[i];
        if (S <= 95)
            EXPECT_NEAR(graph.pnl[kRiskExpiry][i], floor, 1e-9) << S;
        else
            EXPECT_NEAR(graph.pnl[kRiskExpiry][i] - floor, (S - 95) * 100, 1e-9) << S;
    }
}

// The middle curve is the scenario's date when it names one, else the day
// halfway to the expiry; the graph says which, for its legend.
TEST(RiskGraph, TheMiddleCurveIsTheChosenDateOrMidway)
{
    const TInOutObj p = Expiry(kBlackScholes);
    const std::vector<const TInOutObj*> expiries{&p};
    Position position;
    position.legs = {Leg(p, 100, 1, 1, 5.5)};
    const MarkedPosition marked(expiries, position);
    for (const bool chosen : {false, true}) {
        Scenario scenario;
        if (chosen)
            scenario.date = p.TodayDate + 10;
        const std::vector<double> prices{95, 100, 105};
        for (const RiskGraph& graph : {ComputeRiskGraph(marked, scenario, prices),
                                       ComputeGreekGraph(marked, scenario, prices, Greek::Delta)}) {
            EXPECT_EQ(graph.dateChosen, chosen);
            if (chosen) {
                EXPECT_EQ(graph.dates[kRiskMidway], p.TodayDate + 10);
            }
            EXPECT_GT(graph.dates[kRiskMidway], graph.dates[kRiskToday]);
        }
    }
}

TEST(RiskGraph, TotalsAgreeWithTheGraphAtTodaysPrice)
{
    // Delta and gamma are the slope and the bend of today's curve; the
    // profit or loss now is the curve at today's price. A mixed position of
    // calls and puts, bought and sold.
    for (int model : {kBlackScholes, kWhaley}) {
        const TInOutObj p = Expiry(model);
        const std::vector<const TInOutObj*> expiries{&p};
        Position position;
        position.multiplier = 50;
        position.legs = {Leg(p, 95, 2, 3, 1.80), Leg(p, 100, 1, -2, 5.5), Leg(p, 110, 1, 5, 1.1)};
        const PositionTotals totals = ComputeTotals(expiries, position);
        const double h = 0.5;
        const RiskGraph graph = ComputeRiskGraph(expiries, position, {100 - h, 100 + h, 3});
        const std::vector<double>& today = graph.pnl[kRiskToday];
        EXPECT_NEAR(today[1], totals.pnl, 1e-6) << model;
        EXPECT_NEAR((today[2] - today[0]) / (2 * h), totals.delta, 0.02 * std::fabs(totals.delta) + 0.5)
            << model;
        EXPECT_NEAR((today[2] - 2 * today[1] + today[0]) / (h * h), totals.gamma,
                    0.05 * std::fabs(totals.gamma) + 0.5)
            << model;
        double delta = 0;
        for (const PositionLeg& leg : position.legs) {
            const LegPlace at = FindLeg(expiries, leg);
            delta += p.Delta(at.s, at.k) * leg.quantity * position.multiplier;
        }
        EXPECT_NEAR(totals.delta, delta, 1e-9);
    }
}

TEST(RiskGraph, BinomialTodayCurveMeetsTheGridsValues)
{
    const TInOutObj p = Expiry(kBinomial);
    const std::vector<const TInOutObj*> expiries{&p};
    Position position;
    position.legs = {Leg(p, 90, 2, 1, 0), Leg(p, 105, 1, -1, 0)};
    const RiskGraph graph = ComputeRiskGraph(expiries, position, {99, 101, 3});
    EXPECT_NEAR(graph.pnl[kRiskToday][1],
                (static_cast<double>(p.Theo(1, 2)) - static_cast<double>(p.Theo(4, 1))) * 100, 1e-9);
}

// Quotes give every option its own volatility. Each leg is valued at the
// volatility its option was priced with (its expiry's flat one when it had
// none): today's curve meets the grid's values at today's price, and the
// halfway curve is each leg's own model run at that date, whatever the price.
TEST(RiskGraph, EachLegKeepsItsOwnVolatility)
{
    for (int model : kModels) {
        TInOutObj p = fixtures::MakeSeries(kEquity, model, 100, 0.05f, 0.25f, 91, {90, 95, 100, 105, 110});
        for (int s = 1; s <= 5; ++s) {
            p.Vol(s, 1) = 0.18f + 0.03f * static_cast<float>(s);  // a skew, calls and puts apart
            p.Vol(s, 2) = 0.40f - 0.04f * static_cast<float>(s);
        }
        p.Vol(2, 2) = 0;  // no volatility solved: priced at the flat 25 %
        RunModel(p);
        const std::vector<const TInOutObj*> expiries{&p};
        Position position;
        position.legs = {Leg(p, 90, 1, 2, 0), Leg(p, 95, 2, -1, 0), Leg(p, 105, 2, 3, 0),
                         Leg(p, 110, 1, -4, 0)};
        const int sizes[][3] = {{1, 1, 2}, {2, 2, -1}, {4, 2, 3}, {5, 1, -4}};  // strike, side, quantity

        // One leg alone, by its expiry's model at its own volatility.
        auto legValue = [&](TDateTime date, double price, int s, int k) {
            TInOutObj leg = fixtures::MakeSeries(kEquity, model, static_cast<float>(price), 0.05f, 0.25f, 91,
                                                 {p.Strike(s, k)});
            leg.TodayDate = date;
            leg.ExpiryDate = p.ExpiryDate;
            leg.Vol(1, 1) = leg.Vol(1, 2) = p.Vol(s, k) > 0 ? p.Vol(s, k) : p.Sigma;
            RunModel(leg);
            return static_cast<double>(leg.Theo(1, k));
        };
        const RiskGraph graph = ComputeRiskGraph(expiries, position, {80, 120, 5});
        for (std::size_t i = 0; i < graph.prices.size(); ++i) {
            double expected = 0;
            for (const auto& [s, k, quantity] : sizes)
                expected += legValue(graph.dates[kRiskMidway], graph.prices[i], s, k) * quantity * 100;
            EXPECT_NEAR(graph.pnl[kRiskMidway][i], expected, 1e-6)
                << "model " << model << ", S " << graph.prices[i];
        }

        const RiskGraph today = ComputeRiskGraph(expiries, position, {99, 101, 3});
        double grid = 0;
        for (const auto& [s, k, quantity] : sizes)
            grid += (p.Vol(s, k) > 0 ? p.Theo(s, k) : legValue(p.TodayDate, 100, s, k)) * quantity * 100;
        // The legs' strikes join the even steps: today's price is found by value.
        const auto at = std::find(today.prices.begin(), today.prices.end(), 100.0);
        ASSERT_NE(at, today.prices.end());
        EXPECT_NEAR(today.pnl[kRiskToday][static_cast<std::size_t>(at - today.prices.begin())], grid, 1e-6)
            << "model " << model;
    }
}

TEST(RiskGraph, SyntheticStockKeepsPutCallParityOnEveryDate)
{
    // Long call, short put of one strike, no dividend: C - P = S - K e^(-rT),
    // so the curve moves one for one with the underlying on every date.
    const TInOutObj p = Expiry(kBlackScholes, 91);
    const std::vector<const TInOutObj*> expiries{&p};
    Position synthetic;
    synthetic.legs = {Leg(p, 100, 1, 1, p.Theo(3, 1)), Leg(p, 100, 2, -1, p.Theo(3, 2))};
    const RiskGraph graph = ComputeRiskGraph(expiries, synthetic, {85, 115, 31});
    const double carried = synthetic.legs[0].price - synthetic.legs[1].price;
    for (int d = kRiskToday; d <= kRiskExpiry; ++d) {
        const double T = TInOutObj::DaysBetween(graph.dates[d], p.ExpiryDate) / 365.0;
        for (std::size_t i = 0; i < graph.prices.size(); ++i) {
            const double S = graph.prices[i];
            const double parity = (S - 100 * std::exp(-0.05 * T) - carried) * 100;
            // Single-precision option values of up to 20.
            EXPECT_NEAR(graph.pnl[d][i], parity, 0.01) << "date " << d << ", S " << S;
        }
    }
    EXPECT_EQ(graph.dates[kRiskMidway] - graph.dates[kRiskToday], 45);
    EXPECT_EQ(graph.dates[kRiskExpiry], p.ExpiryDate);
}

TEST(RiskGraph, LegsOfLaterExpiriesKeepTheirTimeValue)
{
    // A calendar: sell the 30-day 100 call, buy the 91-day one. At the first
    // expiry the long call still has 61 days, valued by its own model.
    for (int model : kModels) {
        const TInOutObj near = Expiry(model, 30);
        const TInOutObj far = Expiry(model, 91);
        const std::vector<const TInOutObj*> expiries{&near, &far};
        Position calendar;
        calendar.legs = {Leg(near, 100, 1, -1, near.Theo(3, 1)), Leg(far, 100, 1, 1, far.Theo(3, 1))};
        const RiskGraph graph = ComputeRiskGraph(expiries, calendar, {80, 120, 5});
        EXPECT_EQ(graph.dates[kRiskExpiry], near.ExpiryDate);

        TInOutObj later = far;
        later.TodayDate = near.ExpiryDate;
        for (std::size_t i = 0; i < graph.prices.size(); ++i) {
            later.Underlying = static_cast<float>(graph.prices[i]);
            RecalcExpiry(later, VolSource::Flat);
            const double expected = (later.Theo(3, 1) - Intrinsic(1, graph.prices[i], 100) + near.Theo(3, 1)
                                     - far.Theo(3, 1))
                                    * 100;
            EXPECT_NEAR(graph.pnl[kRiskExpiry][i], expected, 1e-6)
                << "model " << model << ", S " << graph.prices[i];
        }
        // At the strike the calendar makes money at the near expiry.
        EXPECT_GT(graph.pnl[kRiskExpiry][2], 0) << model;
    }
}

TEST(RiskGraph, RangesAndPositionsThatCannotBeGraphed)
{
    const TInOutObj p = Expiry(kBlackScholes);
    const std::vector<const TInOutObj*> expiries{&p};
    Position one;
    one.legs = {Leg(p, 100, 1, 1, 5)};
    EXPECT_THROW(ComputeRiskGraph(expiries, one, {110, 90, 11}), AnalysisError);
    EXPECT_THROW(ComputeRiskGraph(expiries, one, {-5, 90, 11}), AnalysisError);
    EXPECT_THROW(ComputeRiskGraph(expiries, one, {90, 110, 1}), AnalysisError);
    EXPECT_THROW(ComputeRiskGraph(expiries, one, {90, 110, kMaxRiskPoints + 1}), AnalysisError);
    // The most steps, with the leg's strike between them.
    EXPECT_EQ(ComputeRiskGraph(expiries, one, {90.5, 110, kMaxRiskPoints}).prices.size(),
              static_cast<std::size_t>(kMaxRiskPoints) + 1);

    TInOutObj noModel = p;
    noModel.Model = 0;
    const std::vector<const TInOutObj*> unpriced{&noModel};
    EXPECT_THROW(ComputeRiskGraph(unpriced, one), AnalysisError);

    // A leg of another strike or expiry is left out, named, and the rest valued.
    Position stray = one;
    stray.legs.push_back(Leg(p, 101, 1, 1, 2));
    PositionLeg otherExpiry = Leg(p, 100, 2, 1, 2);
    otherExpiry.expiry += 7;
    stray.legs.push_back(otherExpiry);
    EXPECT_EQ(LegsNotFoundMessage(expiries, stray),
              "Leg 2 (2008-04-02 101 C) is not an option of this series and is left out of the figures. "
              "Leg 3 (2008-04-09 100 P) is not an option of this series and is left out of the figures.");
    EXPECT_EQ(ComputeTotals(expiries, stray).legsFound, 1);
    EXPECT_EQ(ComputeRiskGraph(expiries, stray).pnl, ComputeRiskGraph(expiries, one).pnl);

    // No leg at all: a flat zero line and no breakeven.
    const RiskGraph empty = ComputeRiskGraph(expiries, Position{});
    EXPECT_TRUE(empty.breakevens.empty());
    for (double value : empty.pnl[kRiskExpiry])
        EXPECT_EQ(value, 0);
}

TEST(RiskGraph, ExpiredExpiryCountsAtIntrinsicValue)
{
    TInOutObj p = Expiry(kBlackScholes);
    p.TodayDate = p.ExpiryDate + 3;
    RecalcExpiry(p, VolSource::Flat);
    const std::vector<const TInOutObj*> expiries{&p};
    Position put;
    put.legs = {Leg(p, 110, 2, 2, 4)};
    const PositionTotals totals = ComputeTotals(expiries, put);
    EXPECT_DOUBLE_EQ(totals.value, 10.0 * 2 * 100);
    EXPECT_DOUBLE_EQ(totals.pnl, (10.0 - 4) * 2 * 100);
    const RiskGraph graph = ComputeRiskGraph(expiries, put, {100, 120, 3});
    for (int d = kRiskToday; d <= kRiskExpiry; ++d)
        EXPECT_EQ(graph.pnl[d], (std::vector<double>{(10.0 - 4) * 200, -4.0 * 200, -4.0 * 200}));
}

TEST(RiskGraph, CoveredCallWithCommissionsByHand)
{
    // 100 shares bought at 98.20, one 105 call sold at 1.80; 0.65 a
    // contract and half a cent a share on entry. A 0.40 dividend falls in
    // the expiry; the shares collect it.
    TInOutObj p = Expiry(kBlackScholes, 91);
    p.Dividend = 0.40f;
    p.DivDate = p.TodayDate + 30;
    RecalcExpiry(p, VolSource::Flat);
    const std::vector<const TInOutObj*> expiries{&p};
    Position covered;
    PositionLeg shares;
    shares.kind = LegKind::Underlying;
    shares.quantity = 100;
    shares.price = 98.20;
    covered.legs = {shares, Leg(p, 105, 1, -1, 1.80)};
    covered.commissions.perContract = 0.65;
    covered.commissions.perShare = 0.005;
    const double cost = 9820 - 180 + 0.65 + 0.50;

    const PositionTotals totals = ComputeTotals(expiries, covered);
    EXPECT_DOUBLE_EQ(totals.commissions, 1.15);
    EXPECT_DOUBLE_EQ(totals.cost, cost);
    EXPECT_DOUBLE_EQ(totals.value, 100.0 * 100 - p.Theo(4, 1) * 100.0);
    EXPECT_DOUBLE_EQ(totals.delta, 100 - p.Delta(4, 1) * 100.0);

    const RiskGraph graph = ComputeRiskGraph(expiries, covered, {90, 110, 21});
    for (std::size_t i = 0; i < graph.prices.size(); ++i) {
        const double S = graph.prices[i];
        const double expected = (S + 0.40) * 100 - std::max(S - 105, 0.0) * 100 - cost;
        EXPECT_NEAR(graph.pnl[kRiskExpiry][i], expected, 1e-9) << S;
    }
    // Capped at 105 plus the dividend; even where the shares and the
    // dividend pay the cost.
    EXPECT_NEAR(graph.pnl[kRiskExpiry].back(), 10540 - cost, 1e-9);
    ASSERT_EQ(graph.breakevens.size(), 1u);
    EXPECT_NEAR(graph.breakevens[0], cost / 100 - 0.40, 1e-6);
    // Before the dividend date today's curve holds no dividend.
    EXPECT_NEAR(graph.pnl[kRiskToday][10], 100.0 * 100 - p.Theo(4, 1) * 100.0 - cost, 1e-6);
}

TEST(RiskGraph, OpensOnTheLegsAndValuesTheirStrikesExactly)
{
    // Random positions of one to four legs in SPX's February and March 2011
    // quotes. The graph opens on the strikes, the breakevens and today's
    // price with room beside them, and every strike is among its prices, so
    // that a position of one expiry is straight between two prices at its
    // expiry: nothing is cut off at a corner.
    const TInOutObj february = testsupport::SpxExpiry(2, testsupport::SpxStrikes());
    const TInOutObj march = testsupport::SpxExpiry(3, testsupport::SpxStrikes(), 0.002f);
    std::mt19937 random(20110124);
    for (int round = 0; round < 60; ++round) {
        const bool both = round % 3 == 2;
        std::vector<const TInOutObj*> expiries{&february};
        if (both)
            expiries.push_back(&march);
        Position position;
        const int legs = 1 + static_cast<int>(random() % 4);
        for (int l = 0; l < legs; ++l) {
            const TInOutObj& p = *expiries[random() % expiries.size()];
            const int s = 6 + static_cast<int>(random() % 12);
            const int k = 1 + static_cast<int>(random() % 2);
            const int quantity = static_cast<int>(random() % 7) - 3;
            position.legs.push_back(Leg(p, p.Strike(s, k), k, quantity == 0 ? 1 : quantity, p.Theo(s, k)));
        }
        const RiskGraph graph = ComputeRiskGraph(expiries, position);
        const RiskSpan span = DefaultRiskSpan(expiries, position);
        SCOPED_TRACE(testing::Message() << "round " << round << ": " << span.from << " to " << span.to);
        ASSERT_EQ(graph.prices.front(), span.from);
        ASSERT_EQ(graph.prices.back(), span.to);
        std::vector<double> marks = LegStrikes(expiries, position);
        for (double strike : marks)
            EXPECT_NE(std::find(graph.prices.begin(), graph.prices.end(), strike), graph.prices.end())
                << strike;
        marks.insert(marks.end(), graph.breakevens.begin(), graph.breakevens.end());
        marks.push_back(graph.underlying);
        const auto [lowest, highest] = std::minmax_element(marks.begin(), marks.end());
        const double room = 0.03 * graph.underlying * (1 - 1e-12);
        EXPECT_GE(*lowest - span.from, room);
        EXPECT_GE(span.to - *highest, room);
        if (both)
            continue;
        const std::vector<double>& expiry = graph.pnl[kRiskExpiry];
        for (std::size_t i = 0; i + 1 < graph.prices.size(); ++i) {
            const double middle = (graph.prices[i] + graph.prices[i + 1]) / 2;
            const RiskGraph between = ComputeRiskGraphAt(expiries, position,
                                                         {graph.prices[i], middle, graph.prices[i + 1]});
            EXPECT_NEAR(between.pnl[kRiskExpiry][1], (expiry[i] + expiry[i + 1]) / 2, 1e-6) << middle;
        }
    }

    // The 26-day bull call spread of 1275 and 1325: its strikes take a good
    // share of the width, not 4 % of today's price less and plus a quarter.
    Position spread;
    spread.legs = {Leg(february, 1275, 1, 1, 30.0), Leg(february, 1325, 1, -1, 4.0)};
    const std::vector<const TInOutObj*> one{&february};
    const RiskSpan span = DefaultRiskSpan(one, spread);
    EXPECT_GT(50 / (span.to - span.from), 0.25) << span.from << " to " << span.to;
    EXPECT_THROW(ComputeRiskGraphAt(one, spread, {1300, 1300}), AnalysisError);
}

TEST(RiskGraph, PricesRunFromEndToEndAndTakeEachStrikeOnce)
{
    struct Case {
        const char* what;
        double from, to;
        int points;
        std::vector<double> strikes;
        std::size_t count;
    };
    const Case cases[] = {
        {"ends whose even steps do not add up to the last", 313.94, 852.82, 11, {}, 11},
        {"a strike on a price", 90, 110, 21, {100}, 21},
        {"a strike a rounding above a price", 90, 110, 21, {std::nextafter(100.0, 101.0)}, 21},
        {"a strike a rounding below a price", 90, 110, 21, {std::nextafter(100.0, 99.0)}, 21},
        {"a strike between two prices", 90, 110, 21, {100.5}, 22},
        {"strikes at the ends and outside", 90, 110, 21, {85, 90, 110, 120}, 21},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<double> prices = RiskPrices(c.from, c.to, c.points, c.strikes);
        ASSERT_EQ(prices.size(), c.count);
        EXPECT_EQ(prices.front(), c.from);
        EXPECT_EQ(prices.back(), c.to);
        EXPECT_TRUE(std::adjacent_find(prices.begin(), prices.end(), std::greater_equal<>()) == prices.end());
        for (double strike : c.strikes) {
            const bool near = std::any_of(prices.begin(), prices.end(), [&](double price) {
                return std::fabs(price - strike) < 1e-9 * c.to;
            });
            EXPECT_TRUE(near || strike <= c.from || strike >= c.to) << strike;
        }
    }
}

TEST(RiskGraph, GraphOfAFarStrikeStartsAboveZero)
{
    // The room left below the lowest strike would reach zero or below it:
    // the graph starts halfway to zero instead, and can be drawn.
    TInOutObj p = fixtures::MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.25f, 91, {5, 20, 100});
    RecalcExpiry(p, VolSource::Flat);
    const std::vector<const TInOutObj*> expiries{&p};
    for (const float lowStrike : {20.0f, 5.0f}) {  // room of 20 = the strike; far beyond it
        Position strangle;
        strangle.legs = {Leg(p, lowStrike, 2, 1, 0.0), Leg(p, 100, 1, 1, 0.0)};
        const RiskSpan span = DefaultRiskSpan(expiries, strangle);
        SCOPED_TRACE(testing::Message() << "strike " << lowStrike << ": " << span.from << " to " << span.to);
        EXPECT_GT(span.from, 0);
        EXPECT_LT(span.from, lowStrike);
        const RiskGraph graph = ComputeRiskGraph(expiries, strangle);
        EXPECT_EQ(graph.prices.front(), span.from);
    }
}

TEST(RiskGraph, BreakevensAreLookedForUpToOneAndAHalfTimesTheHighestStrike)
{
    // A call of 100 bought dear: its breakeven at 130 opens the graph beyond
    // it; one at 160 is past where the graph looks, which keeps to the strike.
    const TInOutObj p = Expiry(kBlackScholes);
    const std::vector<const TInOutObj*> expiries{&p};
    for (const double premium : {30.0, 60.0}) {
        Position call;
        call.legs = {Leg(p, 100, 1, 1, premium)};
        const RiskSpan span = DefaultRiskSpan(expiries, call);
        SCOPED_TRACE(testing::Message() << "premium " << premium << ": " << span.from << " to " << span.to);
        if (premium == 30.0) {
            EXPECT_GT(span.to, 130 + 3);
        } else {
            EXPECT_LT(span.to, 150);
        }
    }
}
