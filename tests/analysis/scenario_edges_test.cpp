// Scenarios at their edges, each over random draws against a computation of
// the test's own: rate shifts down to and below zero, a cash dividend on the
// valuation day, on expiry and between, repeated lots of one option, and
// locked and crossed quotes in the mark. The seed is printed; set
// KESTRAVA_TEST_SEED to run a failure again.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <vector>

#include "analysis/MarkedPosition.h"
#include "analysis/PnlTable.h"
#include "analysis/PositionTotals.h"
#include "analysis/PositionValuer.h"
#include "analysis/Probability.h"
#include "analysis/RiskGraph.h"
#include "pricing/Models.h"
#include "pricing/optionpricer.h"
#include "pricing/pricing_fixtures.h"
#include "pricing/recalc.h"
#include "support/spx_quotes.h"

using namespace kestrava;
using namespace kestrava::fixtures;

namespace {

std::mt19937 SeededRandom(const char* what, unsigned fallback)
{
    unsigned seed = fallback;
    if (const char* chosen = std::getenv("KESTRAVA_TEST_SEED"))
        seed = static_cast<unsigned>(std::strtoul(chosen, nullptr, 10));
    std::cout << what << ", seed " << seed << " (KESTRAVA_TEST_SEED)\n";
    return std::mt19937(seed);
}

double Uniform(std::mt19937& random, double from, double to)
{
    return std::uniform_real_distribution<double>(from, to)(random);
}

float Cents(double value)
{
    return static_cast<float>(std::round(value * 100) / 100);
}

// The values of one option as the models show them, by hand: European in
// double precision with the exact normal distribution, an equity's carry
// being the rate; under a cent it shows as nothing.
double EuropeanByHand(int side, double S, double K, int days, double rate, double vol)
{
    const ReferenceValue v = ReferenceBlackScholes(S, K, days / 365.0, rate, rate, vol);
    const double value = side == 1 ? v.call : v.put;
    return value < 0.01 ? 0.0 : value;
}

// Near the cent below which a value shows as nothing, the single and the
// double may fall on different sides.
bool NearTheFloor(double value)
{
    return std::fabs(value - 0.01) < 0.002;
}

// One expiry of an equity at a whole-cent price under Black-Scholes,
// strikes at 90 %, 100 % and 110 % of it, calculated at a flat volatility.
TInOutObj RandomEquity(std::mt19937& random, float rate, int days)
{
    const float S = Cents(Uniform(random, 50, 150));
    const float sigma = static_cast<float>(Uniform(random, 0.15, 0.6));
    TInOutObj p = MakeSeries(kEquity, kBlackScholes, S, rate, sigma, days,
                             {std::round(S * 0.9f), std::round(S), std::round(S * 1.1f)});
    RecalcExpiry(p, VolSource::Flat);
    return p;
}

PositionLeg OptionLeg(const TInOutObj& p, int s, int k, int quantity)
{
    PositionLeg leg = LegFromGrid(p, s, k, quantity);
    leg.price = ShortestDouble(p.Theo(s, k));
    return leg;
}

}  // namespace

TEST(ScenarioEdges, RateShiftsDownToAndBelowZeroStopAtZero)
{
    std::mt19937 random = SeededRandom("rate shifts", 20080102);
    int compared = 0;
    for (int round = 0; round < 80; ++round) {
        const float rate = round % 4 == 0 ? 0.0f : static_cast<float>(Uniform(random, 0.001, 0.08));
        const int days = 20 + static_cast<int>(random() % 180);
        const TInOutObj p = RandomEquity(random, rate, days);
        const std::vector<const TInOutObj*> expiries{&p};
        Position position;
        for (int legs = 1 + static_cast<int>(random() % 3); legs > 0; --legs)
            position.legs.push_back(OptionLeg(p, 1 + static_cast<int>(random() % 3),
                                              1 + static_cast<int>(random() % 2),
                                              (static_cast<int>(random() % 7) - 3) | 1));
        const MarkedPosition marked(expiries, position);
        // Down to exactly zero, just below, far below, and small moves either way.
        const double toZero = -100.0 * rate;
        const double shifts[] = {toZero, toZero - 0.5, -kLargestRateShift,
                                 Uniform(random, -kLargestRateShift, 0), Uniform(random, -1, 3)};
        Scenario scenario;
        scenario.rateShift = shifts[random() % std::size(shifts)];
        scenario.date = p.TodayDate + 1 + static_cast<int>(random() % static_cast<unsigned>(days - 1));
        const double shifted = std::max(static_cast<double>(rate) + scenario.rateShift / 100, 0.0);
        SCOPED_TRACE(testing::Message() << "round " << round << ": rate " << rate << " shifted by "
                                        << scenario.rateShift << " to " << shifted);

        // The table's columns (today, the chosen date, the expiry) at its
        // rows, each cell the legs by hand at the rate held at zero.
        const PnlTable table = ComputePnlTable(marked, scenario, scenario.date);
        ASSERT_EQ(table.dates.size(), 3u);
        for (std::size_t c = 0; c < table.dates.size(); ++c) {
            const int left = TInOutObj::DaysBetween(table.dates[c], p.ExpiryDate);
            for (std::size_t r = 0; r < table.prices.size(); ++r) {
                double pnl = 0;
                double tolerance = 1e-9;
                bool floor = false;
                for (const PositionLeg& leg : position.legs) {
                    const double value = left > 0 ? EuropeanByHand(leg.side, table.prices[r], leg.strike,
                                                                   left, static_cast<float>(shifted), p.Sigma)
                                                  : std::max(0.0, (leg.side == 1 ? 1 : -1)
                                                                      * (table.prices[r] - leg.strike));
                    floor = floor || NearTheFloor(value);
                    pnl += (value - leg.price) * leg.quantity * 100;
                    tolerance += 0.2 * std::abs(leg.quantity);
                }
                if (floor || (c == 0 && table.prices[r] == marked.Underlying()))
                    continue;  // today at today's price is the marks, whatever the rate
                EXPECT_NEAR(table.pnl[r][c], pnl, tolerance)
                    << IsoDate(table.dates[c]) << " at " << table.prices[r];
                ++compared;
            }
        }
        // Any shift at or below the one that takes the rate to zero values alike.
        if (scenario.rateShift < toZero) {
            Scenario farther = scenario;
            farther.rateShift = -kLargestRateShift;
            ScenarioValuer at(marked, scenario), below(marked, farther);
            EXPECT_EQ(at.LegRate(marked.Legs()[0]), 0.0f);
            const double price = p.Underlying * Uniform(random, 0.8, 1.2);
            EXPECT_EQ(at.Value(scenario.date, price), below.Value(scenario.date, price));
            EXPECT_EQ(at.Greeks(scenario.date, price).delta, below.Greeks(scenario.date, price).delta);
        }
    }
    EXPECT_GT(compared, 500);
}

TEST(ScenarioEdges, CashDividendOnTheValuationDayOnExpiryAndBetween)
{
    // Long 100 shares, long the put and short the call of one strike. The
    // options follow the escrowed rule the pricer documents: a dividend
    // before the expiry comes off the price at its present value, the whole
    // amount once it is due on or before the valuation date; one on the
    // expiry's day is after the options. The shares collect it from its date
    // on, and the price is then the price after it: an option on a date the
    // dividend was paid by (after today) is priced without it.
    std::mt19937 random = SeededRandom("cash dividends", 20080314);
    for (int round = 0; round < 90; ++round) {
        const int days = 20 + static_cast<int>(random() % 180);
        const float rate = static_cast<float>(Uniform(random, 0, 0.08));
        TInOutObj p = RandomEquity(random, rate, days);
        const TDateTime today = p.TodayDate;
        const int where = round % 3;  // on the valuation day, on expiry, between
        const TDateTime paid = where == 0 ? today
                               : where == 1
                                   ? p.ExpiryDate
                                   : today + 1 + static_cast<int>(random() % static_cast<unsigned>(days - 1));
        p.Dividend = Cents(Uniform(random, 0.1, 3));
        p.DivDate = paid;
        RecalcExpiry(p, VolSource::Flat);
        const std::vector<const TInOutObj*> expiries{&p};
        const float K = p.Strike(2, 1);
        Position conversion;
        PositionLeg shares;
        shares.kind = LegKind::Underlying;
        shares.quantity = 100;
        shares.price = ShortestDouble(p.Underlying);
        conversion.legs = {shares, OptionLeg(p, 2, 2, 1), OptionLeg(p, 2, 1, -1)};
        const MarkedPosition marked(expiries, conversion);
        Scenario scenario;
        scenario.volPoints = Uniform(random, -5, 5);
        const double vol = p.Sigma + scenario.volPoints / 100;
        ScenarioValuer valuer(marked, scenario);
        const double D = ShortestDouble(p.Dividend);

        std::vector<TDateTime> dates{today, p.ExpiryDate};
        if (where != 0) {
            // Once the valuation day's dividend is behind, the price no longer
            // says whether it holds it: only today and the expiry are checked.
            dates.push_back(paid);
            dates.push_back(today + static_cast<int>(random() % static_cast<unsigned>(days)));
        }
        for (const TDateTime date : dates) {
            const int left = TInOutObj::DaysBetween(date, p.ExpiryDate);
            const bool collected = paid > today && paid <= date;
            const double price = p.Underlying * Uniform(random, 0.7, 1.3);
            SCOPED_TRACE(testing::Message()
                         << "round " << round << ": dividend " << D << " on " << IsoDate(paid) << ", valued "
                         << IsoDate(date) << " at " << price);
            double options = 0;
            if (left > 0) {
                const int toDividend = TInOutObj::DaysBetween(date, paid);
                const double taken = toDividend < left && !collected
                                         ? D * std::exp(-static_cast<double>(rate) * toDividend / 365)
                                         : 0.0;
                const double put = EuropeanByHand(2, price - taken, K, left, rate, vol);
                const double call = EuropeanByHand(1, price - taken, K, left, rate, vol);
                if (NearTheFloor(put) || NearTheFloor(call))
                    continue;
                options = (put - call) * 100;
                // Shares, put and call: the strike at its present value and
                // the dividend, whatever the price.
                if (where == 2) {
                    const double dividend = collected
                                                ? D
                                                : D * std::exp(-static_cast<double>(rate) * toDividend / 365);
                    EXPECT_NEAR(valuer.Value(date, price),
                                (K * std::exp(-static_cast<double>(rate) * left / 365) + dividend) * 100,
                                1.0);  // the far side's option may show as nothing below a cent
                }
            } else {
                options = (std::max(K - price, 0.0) - std::max(price - K, 0.0)) * 100;
            }
            EXPECT_NEAR(valuer.SettledValue(date, price) + (left > 0 ? 0 : -options),
                        (price + (collected ? D : 0)) * 100, 1e-6);
            EXPECT_NEAR(valuer.LiveValue(date, price), left > 0 ? options : 0.0, 0.4);
        }
        // The chances' prices at the expiry grow from today's price less a
        // dividend paid between at its present value.
        if (where == 2) {
            const PriceDistribution at = ComputeProbabilities(marked, scenario).atExpiry;
            const double r = rate, dividend = p.Dividend;
            const double forward = (marked.Underlying()
                                    - dividend * std::exp(-r * TInOutObj::DaysBetween(today, paid) / 365))
                                   * std::exp(r * TInOutObj::DaysBetween(today, p.ExpiryDate) / 365);
            EXPECT_NEAR(at.forward, forward, 1e-10 * forward) << "round " << round;
        }
    }
}

TEST(ScenarioEdges, RepeatedLotsOfOneOptionAddUpToTheirTotals)
{
    // Lots of one SPX option bought (or sold) at different prices, some at
    // the same price: AddLeg keeps one leg a price, and every figure of the
    // position is the sum of the lots' own.
    std::mt19937 random = SeededRandom("repeated lots", 20110124);
    const int models[] = {kBlackScholes, kBinomial, kWhaley};
    for (int round = 0; round < 24; ++round) {
        TInOutObj p = testsupport::SpxExpiry(2, testsupport::SpxStrikes());
        p.Model = models[round % 3];
        RecalcExpiry(p, VolSource::Flat);
        const std::vector<const TInOutObj*> expiries{&p};
        const int s = 6 + static_cast<int>(random() % 12);
        const int k = 1 + static_cast<int>(random() % 2);
        const int sign = random() % 2 ? 1 : -1;
        const double prices[] = {ShortestDouble(p.Bid(s, k)), ShortestDouble(p.Ask(s, k)), 12.35, 0.05};
        Position all;
        all.commissions.perContract = 0.65;
        std::vector<Position> lots;
        std::map<double, int> byPrice;
        for (int n = 2 + static_cast<int>(random() % 4); n > 0; --n) {
            PositionLeg lot = LegFromGrid(p, s, k, sign * (1 + static_cast<int>(random() % 5)));
            lot.price = prices[random() % std::size(prices)];
            AddLeg(all, lot);
            byPrice[lot.price] += lot.quantity;
            lots.push_back(all);
            lots.back().legs = {lot};
        }
        SCOPED_TRACE(testing::Message() << "round " << round << ", model " << p.Model << ", strike "
                                        << p.Strike(s, k) << (k == 1 ? " C" : " P"));
        ASSERT_EQ(all.legs.size(), byPrice.size());
        for (const PositionLeg& leg : all.legs)
            EXPECT_EQ(leg.quantity, byPrice[leg.price]);

        Scenario scenario;
        scenario.date = p.TodayDate + 1 + static_cast<int>(random() % 20);
        scenario.volShift = Uniform(random, -30, 50);
        scenario.rateShift = Uniform(random, -1, 2);
        std::vector<double> graphPrices{1100, 1275.5, p.Strike(s, k), 1330, 1500};
        std::sort(graphPrices.begin(), graphPrices.end());
        graphPrices.erase(std::unique(graphPrices.begin(), graphPrices.end()), graphPrices.end());
        const MarkedPosition marked(expiries, all);
        const PositionFigures figures = ComputeFigures(marked, scenario);
        const RiskGraph graph = ComputeRiskGraph(marked, scenario, graphPrices);
        PositionFigures sum;
        RiskGraph sumGraph;
        sumGraph.pnl.fill(std::vector<double>(graphPrices.size(), 0.0));
        for (const Position& lot : lots) {
            const MarkedPosition one(expiries, lot);
            EXPECT_EQ(one.Legs()[0].mark, marked.Legs()[0].mark);
            EXPECT_EQ(one.Legs()[0].vol, marked.Legs()[0].vol) << "every lot at the option's own volatility";
            const PositionFigures f = ComputeFigures(one, scenario);
            for (auto [total, part] : {std::pair{&sum.now, &f.now}, std::pair{&sum.scenario, &f.scenario}}) {
                total->cost += part->cost;
                total->commissions += part->commissions;
                total->value += part->value;
                total->pnl += part->pnl;
                total->delta += part->delta;
                total->gamma += part->gamma;
                total->decay += part->decay;
                total->vega += part->vega;
                total->rho += part->rho;
            }
            const RiskGraph g = ComputeRiskGraph(one, scenario, graphPrices);
            for (int d = kRiskToday; d <= kRiskExpiry; ++d)
                for (std::size_t i = 0; i < graphPrices.size(); ++i)
                    sumGraph.pnl[d][i] += g.pnl[d][i];
        }
        for (auto [total, want] :
             {std::pair{&figures.now, &sum.now}, std::pair{&figures.scenario, &sum.scenario}}) {
            const double scale = 1e-9 * (1 + std::fabs(want->value) + std::fabs(want->cost));
            EXPECT_NEAR(total->cost, want->cost, scale);
            EXPECT_NEAR(total->commissions, want->commissions, 1e-9);
            EXPECT_NEAR(total->value, want->value, scale);
            EXPECT_NEAR(total->pnl, want->pnl, scale);
            EXPECT_NEAR(total->delta, want->delta, 1e-9 * (1 + std::fabs(want->delta)));
            EXPECT_NEAR(total->gamma, want->gamma, 1e-9 * (1 + std::fabs(want->gamma)));
            EXPECT_NEAR(total->decay, want->decay, 1e-9 * (1 + std::fabs(want->decay)));
            EXPECT_NEAR(total->vega, want->vega, 1e-9 * (1 + std::fabs(want->vega)));
            EXPECT_NEAR(total->rho, want->rho, 1e-9 * (1 + std::fabs(want->rho)));
        }
        for (int d = kRiskToday; d <= kRiskExpiry; ++d)
            for (std::size_t i = 0; i < graphPrices.size(); ++i)
                EXPECT_NEAR(graph.pnl[d][i], sumGraph.pnl[d][i], 1e-9 * (1 + std::fabs(sumGraph.pnl[d][i])));
    }
}

TEST(ScenarioEdges, LockedAndCrossedQuotesInTheMark)
{
    // A locked quote (bid equal to ask) is a market: the leg is marked at it
    // and priced at the volatility that gives it. A crossed one (bid above
    // ask) is none: the leg is marked at the model and named.
    std::mt19937 random = SeededRandom("locked and crossed quotes", 20270319);
    const int models[] = {kBlackScholes, kBinomial, kWhaley};
    enum Quote { Normal, Locked, Crossed, AskAlone };
    for (int round = 0; round < 30; ++round) {
        TInOutObj p = MakeSeries(kEquity, models[round % 3], 100, 0.03f, 0.25f, 60,
                                 {85, 90, 95, 100, 105, 110, 115});
        RecalcExpiry(p, VolSource::Flat);
        Quote quotes[kMaxStrikes + 1][3] = {};
        for (int s = 1; s <= p.NumStrikes; ++s)
            for (int k = 1; k <= 2; ++k) {
                const double theo = p.Theo(s, k);
                const double spread = Cents(Uniform(random, 0.01, 0.3));
                quotes[s][k] = static_cast<Quote>(random() % 4);
                const double bid = quotes[s][k] == Locked ? std::ceil(theo * 100) / 100
                                                          : Cents(theo - spread);
                const double ask = quotes[s][k] == Crossed ? Cents(theo - 2 * spread) : Cents(theo + spread);
                p.Bid(s, k) = quotes[s][k] == AskAlone ? 0.0f : static_cast<float>(std::max(bid, 0.05));
                p.Ask(s, k) = quotes[s][k] == Locked ? p.Bid(s, k) : static_cast<float>(std::max(ask, 0.01));
            }
        const std::vector<const TInOutObj*> expiries{&p};
        Position position;
        for (int legs = 1 + static_cast<int>(random() % 4); legs > 0; --legs)
            position.legs.push_back(LegFromGrid(p, 1 + static_cast<int>(random() % 7),
                                                1 + static_cast<int>(random() % 2),
                                                (static_cast<int>(random() % 5) - 2) | 1));
        const MarkedPosition marked(expiries, position);
        SCOPED_TRACE(testing::Message() << "round " << round << ", model " << p.Model);
        double value = 0;
        std::vector<int> atModel;
        for (const MarkedLeg& leg : marked.Legs()) {
            const float bid = p.Bid(leg.s, leg.k);
            const float ask = p.Ask(leg.s, leg.k);
            const bool market = bid > 0 && ask >= bid;
            SCOPED_TRACE(testing::Message() << "leg " << leg.index + 1 << ": bid " << bid << ", ask " << ask);
            EXPECT_EQ(leg.atMid, market);
            EXPECT_EQ(leg.mark,
                      market ? (ShortestDouble(bid) + ShortestDouble(ask)) / 2 : p.Theo(leg.s, leg.k));
            if (!market)
                atModel.push_back(leg.index);
            if (quotes[leg.s][leg.k] == Locked) {
                ASSERT_TRUE(leg.volSolved);
                OptionPricer pricer(p);
                pricer.MoveTo(p.TodayDate, p.Underlying, p.Rate);
                EXPECT_NEAR(pricer.Value(leg.strike, leg.k, leg.vol), bid, 0.01);
            }
            // Entered at the quote of its side, crossed or not.
            const PositionLeg& entered = position.legs[static_cast<std::size_t>(leg.index)];
            EXPECT_EQ(entered.price,
                      ShortestDouble(entered.quantity > 0 ? (ask > 0 ? ask : p.Theo(leg.s, leg.k))
                                                          : (bid > 0 ? bid : p.Theo(leg.s, leg.k))));
            value += leg.mark * leg.size;
        }
        EXPECT_EQ(marked.LegsAtModel(), atModel);
        EXPECT_EQ(MarkNote(marked).empty(), atModel.empty()) << MarkNote(marked);
        const PositionFigures figures = ComputeFigures(marked, Scenario{});
        EXPECT_NEAR(figures.now.value, value, 1e-9);
        EXPECT_NEAR(figures.now.pnl, value - marked.EntryCost(), 1e-9);
    }
}
