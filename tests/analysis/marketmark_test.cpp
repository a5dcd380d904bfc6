// A position valued at the market: marked at its mids (real SPX quotes)
// under every model, repriced by its solved volatilities, moved by the three
// skew rules and the shifts (checked by hand against Black-Scholes in double
// precision), and its vega and rho as the value change of one point.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/MarkedPosition.h"
#include "analysis/PnlTable.h"
#include "analysis/PositionExport.h"
#include "analysis/PositionTotals.h"
#include "analysis/PositionValuer.h"
#include "analysis/RiskGraph.h"
#include "pricing/Models.h"
#include "pricing/optionpricer.h"
#include "pricing/pricing_fixtures.h"
#include "pricing/recalc.h"
#include "support/spx_quotes.h"

using namespace kestrava;
using namespace kestrava::fixtures;

namespace {

TInOutObj SpxFebruary(int model)
{
    TInOutObj p = testsupport::SpxExpiry(2, testsupport::SpxStrikes());
    p.Model = model;
    p.Steps = 400;
    RecalcExpiry(p, VolSource::Flat);
    return p;
}

int StrikeNumber(const TInOutObj& p, float strike)
{
    for (int s = 1; s <= p.NumStrikes; ++s)
        if (p.Strike(s, 1) == strike)
            return s;
    return 0;
}

double Mid(const TInOutObj& p, int s, int k)
{
    return (ShortestDouble(p.Bid(s, k)) + ShortestDouble(p.Ask(s, k))) / 2;
}

}  // namespace

TEST(MarketMark, FreshIronCondorIsWorthItsMidsLessTheSpreadPaid)
{
    // Bought at the asks and sold at the bids a moment ago: marked at the
    // mids it has lost half of each spread, whatever the model. Marked at
    // the flat volatility it would show whatever that volatility makes of it.
    for (int model : {kBlackScholes, kBinomial, kWhaley}) {
        SCOPED_TRACE(::testing::Message() << "model " << model);
        const TInOutObj p = SpxFebruary(model);
        const std::vector<const TInOutObj*> expiries{&p};
        struct Leg {
            float strike;
            int k, quantity;
        };
        const Leg legs[] = {{1200, 2, 1}, {1250, 2, -1}, {1325, 1, -1}, {1375, 1, 1}};
        Position condor;
        double halfSpreads = 0;
        for (const Leg& leg : legs) {
            const int s = StrikeNumber(p, leg.strike);
            condor.legs.push_back(LegFromGrid(p, s, leg.k, leg.quantity));
            halfSpreads += (ShortestDouble(p.Ask(s, leg.k)) - ShortestDouble(p.Bid(s, leg.k))) / 2 * 100;
        }

        const MarkedPosition marked(expiries, condor);
        const PositionFigures figures = ComputeFigures(marked, Scenario{});
        EXPECT_NEAR(figures.now.pnl, -halfSpreads, 1e-9);
        EXPECT_TRUE(MarkNote(marked).empty()) << MarkNote(marked);

        // Each leg's volatility gives back its mid within a cent.
        OptionPricer pricer(p);
        pricer.MoveTo(p.TodayDate, p.Underlying, p.Rate);
        for (const MarkedLeg& leg : marked.Legs()) {
            ASSERT_TRUE(leg.atMid && leg.volSolved) << "leg " << leg.index;
            EXPECT_EQ(leg.mark, Mid(p, leg.s, leg.k));
            EXPECT_NEAR(pricer.Value(leg.strike, leg.k, leg.vol), leg.mark, 0.01) << "leg " << leg.index;
        }

        // The graph's today curve meets the marks at today's price, and
        // beside it differs by less than a cent a contract.
        const double S = marked.Underlying();
        EXPECT_EQ(S, 1290.59) << "today's price as the quote file has it";
        const RiskGraph graph = ComputeRiskGraph(marked, Scenario{}, {S - 0.01, S, S + 0.01});
        EXPECT_NEAR(graph.pnl[kRiskToday][1], figures.now.pnl, 1e-9);
        EXPECT_NEAR(graph.pnl[kRiskToday][0], figures.now.pnl,
                    0.01 * 4 * 100 + std::fabs(figures.now.delta) * 0.01);

        // At the model's values: the cost against the flat volatility's
        // prices, as the tab showed before it marked at the market.
        const MarkedPosition atModel(expiries, condor, MarkSource::Model);
        double theo = 0;
        for (const PositionLeg& leg : condor.legs) {
            const LegPlace at = FindLeg(expiries, leg);
            theo += (p.Theo(at.s, at.k) - leg.price) * leg.quantity * 100;
        }
        EXPECT_NEAR(ComputeFigures(atModel, Scenario{}).now.pnl, theo, 1e-6);
        EXPECT_GT(std::fabs(theo + halfSpreads), 10) << "the flat volatility misprices the wings";
    }
}

TEST(MarketMark, LegsWithoutBothQuotesAreMarkedAtTheModelAndNamed)
{
    TInOutObj p = SpxFebruary(kBlackScholes);
    const int s = StrikeNumber(p, 1300);
    p.Bid(s, 2) = 0;  // an ask alone is no market
    const std::vector<const TInOutObj*> expiries{&p};
    Position position;
    position.legs = {LegFromGrid(p, s, 1, 1), LegFromGrid(p, s, 2, 1)};
    PositionLeg stock;
    stock.kind = LegKind::Underlying;
    stock.quantity = -100;
    stock.price = 1290;
    position.legs.push_back(stock);
    const MarkedPosition marked(expiries, position);
    ASSERT_EQ(marked.Legs().size(), 3u);
    EXPECT_TRUE(marked.Legs()[0].atMid);
    EXPECT_FALSE(marked.Legs()[1].atMid);
    EXPECT_EQ(marked.Legs()[1].mark, p.Theo(s, 2));
    EXPECT_EQ(marked.Legs()[1].vol, p.Sigma);
    EXPECT_EQ(marked.LegsAtModel(), std::vector<int>{1});
    EXPECT_EQ(MarkNote(marked), "Leg 2 has no bid and ask and is marked at the model's value.");
    // The stock leg is worth today's price.
    EXPECT_NEAR(ComputeFigures(marked, Scenario{}).now.value,
                (Mid(p, s, 1) + p.Theo(s, 2)) * 100 - 100 * 1290.59, 1e-6);
}

// On its expiry day a leg is worth its intrinsic value, not its quotes, and
// has no volatility left to show or to move.
TEST(MarketMark, LegsOnTheirExpiryDayAreWorthTheirIntrinsicValue)
{
    TInOutObj p = SpxFebruary(kBlackScholes);
    p.TodayDate = p.ExpiryDate;
    RecalcExpiry(p, VolSource::Flat);
    ASSERT_EQ(p.DaysToExpiry(), 0);
    const std::vector<const TInOutObj*> expiries{&p};
    for (const float strike : {1250.0f, 1300.0f}) {
        const int s = StrikeNumber(p, strike);
        ASSERT_GT(s, 0);
        ASSERT_GT(Mid(p, s, 1), 0) << "quoted, yet not marked at its mid";
        Position position;
        position.legs = {LegFromGrid(p, s, 1, 1), LegFromGrid(p, s, 2, -1)};
        const MarkedPosition marked(expiries, position);
        ASSERT_EQ(marked.Legs().size(), 2u);
        const double intrinsic[] = {std::max(0.0, double(p.Underlying) - strike),
                                    std::max(0.0, strike - double(p.Underlying))};
        for (std::size_t leg = 0; leg < 2; ++leg) {
            EXPECT_NEAR(marked.Legs()[leg].mark, intrinsic[leg], 1e-3) << strike << " leg " << leg;
            EXPECT_EQ(marked.Legs()[leg].vol, 0) << strike << " leg " << leg;
            EXPECT_FALSE(marked.Legs()[leg].atMid) << strike << " leg " << leg;
        }
    }
}

namespace {

// An equity at 100, 5 %, 60 days, quoted at Black-Scholes values of a
// falling smile, a dime wide.
constexpr double kSmile[][2] = {{90, 0.31}, {95, 0.28}, {100, 0.25}, {105, 0.23}, {110, 0.22}, {115, 0.215}};

double SmileByHand(double strike)
{
    if (strike <= kSmile[0][0])
        return kSmile[0][1];
    for (std::size_t i = 1; i < std::size(kSmile); ++i)
        if (strike <= kSmile[i][0]) {
            const double w = (strike - kSmile[i - 1][0]) / (kSmile[i][0] - kSmile[i - 1][0]);
            return kSmile[i - 1][1] + w * (kSmile[i][1] - kSmile[i - 1][1]);
        }
    return kSmile[std::size(kSmile) - 1][1];
}

TInOutObj QuotedEquity()
{
    TInOutObj p = MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.30f, 60, {90, 95, 100, 105, 110, 115});
    for (int s = 1; s <= p.NumStrikes; ++s) {
        const ReferenceValue v = ReferenceBlackScholes(100, kSmile[s - 1][0], 60 / 365.0, 0.05, 0.05,
                                                       kSmile[s - 1][1]);
        for (int k = 1; k <= 2; ++k) {
            const double mid = k == 1 ? v.call : v.put;
            p.Bid(s, k) = static_cast<float>(mid - 0.05);
            p.Ask(s, k) = static_cast<float>(mid + 0.05);
        }
    }
    RecalcExpiry(p, VolSource::Flat);
    return p;
}

}  // namespace

TEST(SkewRules, TwoLegsByHand)
{
    // Long the 95 put, short the 105 call, valued 20 days on at 108 with
    // every volatility up a fifth and three points, the rate up one point.
    const TInOutObj p = QuotedEquity();
    const std::vector<const TInOutObj*> expiries{&p};
    Position position;
    position.legs = {LegFromGrid(p, 2, 2, 1), LegFromGrid(p, 4, 1, -1)};
    const MarkedPosition marked(expiries, position);
    const double cost = marked.EntryCost();
    const double S = 108, T = 40 / 365.0, r = 0.06;

    auto byHand = [&](double putVol, double callVol) {
        const double put = ReferenceBlackScholes(S, 95, T, r, r, putVol * 1.2 + 0.03).put;
        const double call = ReferenceBlackScholes(S, 105, T, r, r, callVol * 1.2 + 0.03).call;
        return (put - call) * 100 - cost;
    };
    // The moneyness of 95 at 108 is that of 87.96 at 100 (flat below 90);
    // of 105, that of 97.22.
    const double expected[] = {
        byHand(0.28, 0.23),
        byHand(0.28 + SmileByHand(95 * 100 / S) - 0.28, 0.23 + SmileByHand(105 * 100 / S) - 0.23),
        byHand(0.30, 0.30),
    };
    const SkewRule rules[] = {SkewRule::StickyStrike, SkewRule::StickyMoneyness, SkewRule::Flat};
    for (int i = 0; i < 3; ++i) {
        Scenario scenario;
        scenario.skew = rules[i];
        scenario.volShift = 20;
        scenario.volPoints = 3;
        scenario.rateShift = 1;
        ScenarioValuer valuer(marked, scenario);
        // Single-precision models with the tabled normal distribution
        // against the exact one: within a tenth of a cent an option.
        EXPECT_NEAR(valuer.Pnl(p.TodayDate + 20, S), expected[i], 0.1) << "rule " << i;
    }
    EXPECT_GT(std::fabs(expected[1] - expected[0]), 5);
    EXPECT_GT(std::fabs(expected[2] - expected[0]), 5);

    // Unmoved, sticky moneyness at today's price is sticky strike.
    Scenario moneyness;
    moneyness.skew = SkewRule::StickyMoneyness;
    ScenarioValuer still(marked, moneyness), strike(marked, Scenario{});
    EXPECT_DOUBLE_EQ(still.Pnl(p.TodayDate + 20, 100), strike.Pnl(p.TodayDate + 20, 100));
}

TEST(PositionGreeks, VegaAndRhoAreTheValueChangeOfOnePoint)
{
    // A put spread and a call of another expiry, under every model: vega
    // and rho at the scenario's date against a scenario one point up.
    for (int model : {kBlackScholes, kBinomial, kWhaley}) {
        SCOPED_TRACE(::testing::Message() << "model " << model);
        TInOutObj near = MakeSeries(kIndex, model, 100, 0.04f, 0.22f, 45, {90, 100, 110});
        TInOutObj far = MakeSeries(kIndex, model, 100, 0.04f, 0.24f, 120, {90, 100, 110});
        for (TInOutObj* p : {&near, &far}) {
            p->Dividend = 0.015f;
            p->Steps = 300;
            RecalcExpiry(*p, VolSource::Flat);
        }
        const std::vector<const TInOutObj*> expiries{&near, &far};
        Position position;
        position.legs = {LegFromGrid(near, 1, 2, -2), LegFromGrid(near, 2, 2, 1), LegFromGrid(far, 3, 1, 3)};
        const MarkedPosition marked(expiries, position);
        Scenario scenario;
        scenario.date = near.TodayDate + 10;
        const PositionTotals at = ComputeFigures(marked, scenario).scenario;
        ASSERT_NE(at.vega, 0);
        ASSERT_NE(at.rho, 0);

        auto valueWith = [&](double volPoints, double rateShift) {
            Scenario moved = scenario;
            moved.volPoints = volPoints;
            moved.rateShift = rateShift;
            return ScenarioValuer(marked, moved).Value(scenario.date, 100);
        };
        const double base = valueWith(0, 0);
        EXPECT_NEAR(at.value, base, 1e-9);
        // The tree and every rho bump by one point; the closed forms' vega
        // is the derivative, which the one-point change meets but for the
        // bend of the value in the volatility.
        EXPECT_NEAR(valueWith(1, 0) - base, at.vega, model == kBinomial ? 1e-3 : 0.02 * std::fabs(at.vega));
        EXPECT_NEAR(valueWith(0, 1) - base, at.rho, 1e-3);
        EXPECT_GT(at.vega, 0) << "long more volatility than short";
    }
}

TEST(PositionGreeks, CurvesAreTheSlopesOfTheProfitCurves)
{
    // The greeks view draws delta, gamma, decay and vega against the price:
    // the first two are the slope and bend of the profit curve on the same
    // date, decay its change over a day, vega its change for a point.
    for (int model : {kBlackScholes, kBinomial}) {
        SCOPED_TRACE(::testing::Message() << "model " << model);
        TInOutObj p = MakeSeries(kEquity, model, 100, 0.05f, 0.3f, 60, {95, 105});
        p.Steps = 400;
        RecalcExpiry(p, VolSource::Flat);
        const std::vector<const TInOutObj*> expiries{&p};
        Position strangle;
        strangle.legs = {LegFromGrid(p, 1, 2, -1), LegFromGrid(p, 2, 1, -1)};
        const MarkedPosition marked(expiries, strangle);
        const Scenario scenario;
        // The tree's value wobbles as the strike moves between its nodes
        // (a point apart here): its bend is taken over two of them.
        const double h = model == kBinomial ? 2.0 : 0.5;
        const std::vector<double> prices{92 - h, 92, 92 + h, 104 - h, 104, 104 + h};
        const TDateTime date = p.TodayDate + 20;
        const std::vector<TDateTime> dates{date, date + 1};
        const auto pnl = PnlCurves(marked, scenario, dates, prices);
        const auto delta = GreekCurves(marked, scenario, dates, prices, Greek::Delta);
        const auto gamma = GreekCurves(marked, scenario, dates, prices, Greek::Gamma);
        const auto decay = GreekCurves(marked, scenario, dates, prices, Greek::Decay);
        const auto vega = GreekCurves(marked, scenario, dates, prices, Greek::Vega);
        Scenario up = scenario;
        up.volPoints = 1;
        const auto pnlUp = PnlCurves(marked, up, dates, prices);
        for (std::size_t i : {1u, 4u}) {
            const double slope = (pnl[0][i + 1] - pnl[0][i - 1]) / (2 * h);
            const double bend = (pnl[0][i + 1] - 2 * pnl[0][i] + pnl[0][i - 1]) / (h * h);
            EXPECT_NEAR(delta[0][i], slope, 0.03 * std::fabs(slope) + 0.5) << prices[i];
            EXPECT_NEAR(gamma[0][i], bend, 0.1 * std::fabs(bend) + 0.2) << prices[i];
            EXPECT_NEAR(decay[0][i], pnl[1][i] - pnl[0][i], 0.05 * std::fabs(decay[0][i]) + 0.1) << prices[i];
            EXPECT_NEAR(vega[0][i], pnlUp[0][i] - pnl[0][i], 0.02 * std::fabs(vega[0][i]) + 0.05)
                << prices[i];
            EXPECT_LT(gamma[0][i], 0) << "short options";
        }
    }
}
