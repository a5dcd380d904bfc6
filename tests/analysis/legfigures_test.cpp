// Each leg's figures now against the position's totals, on random positions
// of the real SPY, AAPL and SPX tables under every skew rule with the shifts
// moved; the trade figures of the SPY put credit spread and of single legs
// against their payoffs; the delta curve against the slope of the profit or
// loss.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/MarkedPosition.h"
#include "analysis/PositionTotals.h"
#include "analysis/PositionValuer.h"
#include "analysis/Probability.h"
#include "analysis/RiskGraph.h"
#include "analysis/TradeFigures.h"
#include "pricing/Models.h"
#include "pricing/optionpricer.h"
#include "support/table_expiry.h"

using namespace kestrava;
using namespace kestrava::testsupport;

namespace {

std::vector<const TInOutObj*> Pointers(const std::vector<TInOutObj>& expiries)
{
    std::vector<const TInOutObj*> pointers;
    for (const TInOutObj& p : expiries)
        pointers.push_back(&p);
    return pointers;
}

int StrikeNumber(const TInOutObj& p, float strike)
{
    for (int s = 1; s <= p.NumStrikes; ++s)
        if (p.Strike(s, 1) == strike)
            return s;
    ADD_FAILURE() << "no strike " << strike;
    return 1;
}

// Near in money: relative to the size of what is compared.
void ExpectClose(double actual, double expected, const char* what)
{
    EXPECT_NEAR(actual, expected, 1e-9 * (1 + std::fabs(expected))) << what;
}

}  // namespace

TEST(LegFigures, WeightedLegsAddUpToTheTotalsUnderEveryRule)
{
    std::mt19937 random(20161125);
    const auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<>(low, high)(random);
    };
    const auto whole = [&](int low, int high) { return std::uniform_int_distribution<>(low, high)(random); };
    const int models[] = {kBlackScholes, kWhaley, kBinomial};
    const SkewRule rules[] = {SkewRule::StickyStrike, SkewRule::StickyMoneyness, SkewRule::Flat};
    int checked = 0;
    int atMid = 0;
    for (const QuoteTable& table : RealQuoteTables()) {
        for (int model : models) {
            std::vector<TInOutObj> expiries;
            for (TDateTime expiry : table.expiries)
                expiries.push_back(TableExpiry(table, expiry, table.strikes, model, 60));
            const std::vector<const TInOutObj*> pointers = Pointers(expiries);
            ASSERT_GT(expiries[0].Underlying, 0) << table.file;
            ASSERT_GT(expiries[1].Bid(10, 1), 0) << table.file << " quotes the middle strike";
            for (int trial = 0; trial < 12; ++trial) {
                Position position;
                position.multiplier = std::vector<double>{100, 10, 50}[static_cast<std::size_t>(whole(0, 2))];
                position.commissions.perContract = whole(0, 1) * 0.65;
                const int legs = whole(1, 6);
                for (int l = 0; l < legs; ++l) {
                    int quantity = whole(1, 10) * (whole(0, 1) ? 1 : -1);
                    if (whole(0, 5) == 0) {
                        PositionLeg stock;
                        stock.kind = LegKind::Underlying;
                        stock.quantity = quantity * 25;
                        stock.price = expiries[0].Underlying * uniform(0.9, 1.1);
                        position.legs.push_back(stock);
                    } else {
                        const TInOutObj& p = expiries[static_cast<std::size_t>(whole(0, 1))];
                        position.legs.push_back(
                            LegFromGrid(p, whole(1, p.NumStrikes), whole(1, 2), quantity));
                    }
                }
                Scenario scenario;
                scenario.skew = rules[whole(0, 2)];
                if (whole(0, 3) > 0) {
                    scenario.volShift = uniform(kLowestVolShift, kHighestVolShift);
                    scenario.volPoints = uniform(-10, 10);
                    scenario.rateShift = uniform(-2, 2);
                }
                const MarkSource source = whole(0, 4) == 0 ? MarkSource::Model : MarkSource::Mid;
                SCOPED_TRACE(::testing::Message()
                             << table.contract << " model " << model << " trial " << trial << " rule "
                             << static_cast<int>(scenario.skew) << " shifts " << scenario.volShift << ", "
                             << scenario.volPoints << ", " << scenario.rateShift);
                const MarkedPosition marked(pointers, position, source);
                const PositionFigures figures = ComputeFigures(marked, scenario);
                ASSERT_EQ(figures.legs.size(), position.legs.size());

                // Quantity times multiplier times each leg's figure, summed.
                PositionTotals sum;
                double marks = 0;
                for (const LegFigures& leg : figures.legs) {
                    const PositionLeg& held = position.legs[static_cast<std::size_t>(leg.index)];
                    const double size = held.IsOption() ? held.quantity * position.multiplier : held.quantity;
                    marks += leg.mark * size;
                    sum.theo += leg.theo * size;
                    sum.delta += leg.delta * size;
                    sum.gamma += leg.gamma * size;
                    sum.decay += leg.decay * size;
                    sum.vega += leg.vega * size;
                    sum.rho += leg.rho * size;
                }
                const PositionTotals& now = figures.now;
                ExpectClose(sum.delta, now.delta, "delta");
                ExpectClose(sum.gamma, now.gamma, "gamma");
                ExpectClose(sum.decay, now.decay, "decay");
                ExpectClose(sum.vega, now.vega, "vega");
                ExpectClose(sum.rho, now.rho, "rho");
                ExpectClose(marks, now.value, "value");

                // The totals are the graph's: its greek curves and today's
                // curve at today's price.
                const TDateTime today[] = {marked.Today()};
                const double price[] = {marked.Underlying()};
                const Greek greeks[] = {Greek::Delta, Greek::Gamma, Greek::Decay, Greek::Vega};
                const double totals[] = {now.delta, now.gamma, now.decay, now.vega};
                for (int g = 0; g < 4; ++g)
                    ExpectClose(GreekCurves(marked, scenario, today, price, greeks[g])[0][0], totals[g],
                                "greek curve");
                const double curve = PnlCurves(marked, scenario, today, price)[0][0];
                const bool atMarks = scenario.MovesNothing() && scenario.skew != SkewRule::Flat;
                ExpectClose(curve, (atMarks ? now.value : now.theo) - now.cost, "today's curve");

                // Each leg's volatility: its own (or the page's under the
                // flat rule) moved by the shifts, never below half a point;
                // and its own reprices its mark.
                for (const LegFigures& leg : figures.legs) {
                    atMid += leg.atMid ? 1 : 0;
                    const MarkedLeg& marking = marked.Legs()[static_cast<std::size_t>(leg.index)];
                    if (leg.kind != LegKind::Option || leg.expired) {
                        EXPECT_EQ(leg.volUsed, 0);
                        continue;
                    }
                    const MarkedExpiry& expiry = marked.ExpiryOf(marking);
                    const double base = scenario.skew == SkewRule::Flat ? expiry.flatVol : marking.vol;
                    const double expected = std::max(
                        base * (1 + scenario.volShift / 100) + scenario.volPoints / 100, kLowestScenarioVol);
                    EXPECT_NEAR(leg.volUsed, expected, 2e-7) << "leg " << leg.index;
                    if (leg.iv > 0) {
                        OptionPricer pricer(expiry.inputs);
                        pricer.MoveTo(marked.Today(), expiry.inputs.Underlying, expiry.inputs.Rate);
                        EXPECT_NEAR(pricer.Value(marking.strike, marking.k, static_cast<float>(leg.iv)),
                                    leg.mark, 0.006)
                            << "leg " << leg.index;
                    }
                }
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 3 * 3 * 12);
    EXPECT_GT(atMid, 100) << "most legs are marked at their mids";
}

TEST(TradeFigures, SpyPutCreditSpreadAsOneOrder)
{
    // The 215 put sold at its bid (0.82) and the 210 put bought at its ask
    // (0.38) of 16 December 2016, as the table quotes them.
    const QuoteTable& spy = RealQuoteTables()[0];
    const std::vector<TInOutObj> expiries = {TableExpiry(spy, spy.expiries[0], spy.strikes, kBlackScholes)};
    const TInOutObj& p = expiries[0];
    for (int spreads : {1, 3}) {
        SCOPED_TRACE(spreads);
        Position position;
        position.legs = {LegFromGrid(p, StrikeNumber(p, 215), 2, -spreads),
                         LegFromGrid(p, StrikeNumber(p, 210), 2, spreads)};
        ASSERT_EQ(position.legs[0].price, 0.82);
        ASSERT_EQ(position.legs[1].price, 0.38);
        const MarkedPosition marked(Pointers(expiries), position);
        const TradeFigures trade = ComputeTradeFigures(marked, Scenario{});
        EXPECT_EQ(trade.spreads, spreads);
        ASSERT_TRUE(trade.netAtQuotes && trade.netAtMids);
        EXPECT_NEAR(*trade.netAtQuotes, -0.44, 1e-12) << "a credit";
        EXPECT_NEAR(*trade.netAtMids, -(0.83 - 0.375), 1e-12);
        // Above 215 the credit is kept; below 210 the width less it is lost.
        EXPECT_NEAR(trade.maxProfit, 44.0 * spreads, 1e-9);
        EXPECT_NEAR(trade.maxLoss, (500.0 - 44) * spreads, 1e-9);
        EXPECT_FALSE(trade.profitUnlimited || trade.lossUnlimited);
        ASSERT_TRUE(trade.returnOnRisk);
        EXPECT_NEAR(*trade.returnOnRisk, 44.0 / 456, 1e-12);
    }
}

TEST(TradeFigures, SingleLegsAgainstTheirPayoffs)
{
    const QuoteTable& spy = RealQuoteTables()[0];
    const std::vector<TInOutObj> expiries = {TableExpiry(spy, spy.expiries[0], spy.strikes, kBlackScholes),
                                             TableExpiry(spy, spy.expiries[1], spy.strikes, kBlackScholes)};
    const TInOutObj& dec = expiries[0];
    const int s215 = StrikeNumber(dec, 215);
    struct Case {
        const char* name;
        int side, quantity;
        bool profitUnlimited, lossUnlimited;
        double maxProfit, maxLoss;  // money
    };
    const double call = ShortestDouble(dec.Ask(s215, 1)), put = ShortestDouble(dec.Bid(s215, 2));
    const Case cases[] = {
        {"long call", 1, 1, true, false, 0, call * 100},
        {"short call", 1, -1, false, true, ShortestDouble(dec.Bid(s215, 1)) * 100, 0},
        {"short put", 2, -1, false, false, put * 100, (215 - put) * 100},
        {"long put", 2, 1, false, false, (215 - ShortestDouble(dec.Ask(s215, 2))) * 100,
         ShortestDouble(dec.Ask(s215, 2)) * 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Position position;
        position.legs = {LegFromGrid(dec, s215, c.side, c.quantity)};
        const MarkedPosition marked(Pointers(expiries), position);
        const TradeFigures trade = ComputeTradeFigures(marked, Scenario{});
        // The chances name the same greatest profit, also where it lies far
        // beyond the prices they reach (the long put's, at 0).
        const ProbabilityFigures chances = ComputeProbabilities(marked, Scenario{});
        EXPECT_EQ(chances.maxProfitUnbounded, c.profitUnlimited);
        if (!c.profitUnlimited) {
            EXPECT_NEAR(chances.maxProfit, trade.maxProfit, 1e-9);
        }
        EXPECT_EQ(trade.profitUnlimited, c.profitUnlimited);
        EXPECT_EQ(trade.lossUnlimited, c.lossUnlimited);
        if (!c.profitUnlimited) {
            EXPECT_NEAR(trade.maxProfit, c.maxProfit, 1e-9);
        }
        if (!c.lossUnlimited) {
            EXPECT_NEAR(trade.maxLoss, c.maxLoss, 1e-9);
        }
        if (c.profitUnlimited || c.lossUnlimited) {
            EXPECT_FALSE(trade.returnOnRisk.has_value()) << "one side has no bound";
        } else {
            ASSERT_TRUE(trade.returnOnRisk.has_value());
            EXPECT_NEAR(*trade.returnOnRisk, c.maxProfit / c.maxLoss, 1e-12);
        }
    }

    // A calendar: December sold, January bought, both at 215. Far from the
    // strike both are worth little more than their intrinsic values, so the
    // most lost is close to the debit paid; the most made is at the strike.
    Position calendar;
    calendar.legs = {LegFromGrid(dec, s215, 1, -1),
                     LegFromGrid(expiries[1], StrikeNumber(expiries[1], 215), 1, 1)};
    const MarkedPosition marked(Pointers(expiries), calendar);
    const TradeFigures trade = ComputeTradeFigures(marked, Scenario{});
    const double debit = marked.EntryCost();
    ASSERT_GT(debit, 0);
    EXPECT_FALSE(trade.profitUnlimited || trade.lossUnlimited);
    EXPECT_LE(trade.maxLoss, debit + 1e-9);
    EXPECT_GT(trade.maxLoss, 0.9 * debit);
    ScenarioValuer valuer(marked, Scenario{});
    EXPECT_GE(trade.maxProfit, valuer.Pnl(dec.ExpiryDate, 215) - 1e-9);
    EXPECT_NEAR(*trade.returnOnRisk, trade.maxProfit / trade.maxLoss, 1e-12);
}

TEST(GreekCurves, DeltaIsTheSlopeOfTheProfitOrLossAtEveryDate)
{
    // A February bull call spread and a March put on SPX: at the first
    // expiry the spread is worth its intrinsic value, so between its
    // strikes the expiry curve rises a hundred a point.
    const QuoteTable& spx = RealQuoteTables()[2];
    const std::vector<TInOutObj> expiries = {TableExpiry(spx, spx.expiries[0], spx.strikes, kBlackScholes),
                                             TableExpiry(spx, spx.expiries[1], spx.strikes, kBlackScholes)};
    const TInOutObj& feb = expiries[0];
    Position position;
    position.legs = {LegFromGrid(feb, StrikeNumber(feb, 1275), 1, 1),
                     LegFromGrid(feb, StrikeNumber(feb, 1325), 1, -1),
                     LegFromGrid(expiries[1], StrikeNumber(expiries[1], 1225), 2, 1)};
    const MarkedPosition marked(Pointers(expiries), position);
    const std::array<TDateTime, 3> dates = RiskDates(marked, Scenario{});
    const std::vector<double> prices = {1200.5, 1250.5, 1290.5, 1310.5, 1350.5, 1400.5};
    // Prices reach the models as singles: a step of a quarter keeps their
    // rounding out of the slope.
    constexpr double h = 0.25;
    std::vector<double> around;
    for (double price : prices)
        for (double at : {price - h, price + h})
            around.push_back(at);
    const auto pnl = PnlCurves(marked, Scenario{}, dates, around);
    const auto delta = GreekCurves(marked, Scenario{}, dates, prices, Greek::Delta);
    for (std::size_t d = 0; d < 3; ++d)
        for (std::size_t i = 0; i < prices.size(); ++i) {
            const double slope = (pnl[d][2 * i + 1] - pnl[d][2 * i]) / (2 * h);
            EXPECT_NEAR(delta[d][i], slope, 0.05 + 0.005 * std::fabs(slope))
                << "date " << d << " price " << prices[i];
        }
}
