#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "pricing/Models.h"
#include "pricing_fixtures.h"

using namespace kestrava;
using namespace kestrava::fixtures;

namespace {

TInOutObj Priced(TInOutObj p, void (*model)(TInOutObj&))
{
    model(p);
    return p;
}

// The limit of the tree's call on a stock paying a cash dividend D at t1
// before the expiry T. The tree moves the price less the dividend's present
// value, S*, and weighs exercising before the dividend at (S* + PV) times its
// node's moves; such a call is exercised, if ever, just before the
// dividend, at S*(t1) (1 + D / S*) - K, and otherwise held as a European
// call. Its value is one expectation over S*(t1), taken by Simpson's rule.
double CallWithDividendLimit(double S, double K, double T, double t1, double D, double r, double sigma)
{
    const double Sstar = S - D * std::exp(-r * t1);
    const int n = 4000;
    const double from = -9, to = 9, h = (to - from) / n;
    double sum = 0;
    for (int i = 0; i <= n; ++i) {
        const double z = from + i * h;
        const double atDividend = Sstar * std::exp((r - sigma * sigma / 2) * t1 + sigma * std::sqrt(t1) * z);
        const double value = std::max(atDividend * (1 + D / Sstar) - K,
                                      ReferenceBlackScholes(atDividend, K, T - t1, r, r, sigma).call);
        sum += value * std::exp(-z * z / 2) / std::sqrt(2 * M_PI) * (i == 0 || i == n ? 1 : i % 2 ? 4 : 2);
    }
    return std::exp(-r * t1) * sum * h / 3;
}

}  // namespace

TEST(Binomial, ConvergesTowardTheEuropeanValue)
{
    TInOutObj euro = Priced(MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.25f, 90, {90, 100, 110}),
                            PriceBlackScholes);
    double previousError = 1e9;
    for (int steps : {25, 100, 400}) {
        TInOutObj tree = MakeSeries(kEquity, kBinomial, 100, 0.05f, 0.25f, 90, {90, 100, 110});
        tree.Steps = steps;
        PriceBinomial(tree);
        double error = 0;
        for (int s = 1; s <= 3; ++s) {
            error = std::max(error, std::fabs(tree.Theo(s, 1) - static_cast<double>(euro.Theo(s, 1))));
            EXPECT_GE(tree.Theo(s, 2), euro.Theo(s, 2) - 2e-3)
                << "an American put is worth at least the European one, steps " << steps;
            EXPECT_NEAR(tree.Delta(s, 1), euro.Delta(s, 1), 0.02);
            EXPECT_NEAR(tree.Gamma(s, 1), euro.Gamma(s, 1), 0.003);
            EXPECT_NEAR(tree.Decay(s, 1), euro.Decay(s, 1), 0.005);
            EXPECT_EQ(tree.Vega(s, 1), 0.0f);
            EXPECT_EQ(tree.Vega(s, 2), 0.0f);
        }
        EXPECT_LT(error, steps == 400 ? 0.01 : 0.08) << steps << " steps";
        EXPECT_LE(error, previousError * 1.5) << steps << " steps";
        previousError = error;
    }
}

TEST(Binomial, DeepInTheMoneyPutIsExercised)
{
    TInOutObj p = MakeSeries(kEquity, kBinomial, 60, 0.08f, 0.2f, 120, {100});
    PriceBinomial(p);
    EXPECT_FLOAT_EQ(p.Theo(1, 2), 40.0f);
    EXPECT_NEAR(p.Delta(1, 2), -1.0, 1e-5);
}

TEST(Binomial, DividendAfterExpiryChangesNothing)
{
    TInOutObj plain = Priced(MakeSeries(kEquity, kBinomial, 100, 0.05f, 0.25f, 60, {95, 105}), PriceBinomial);
    TInOutObj late = MakeSeries(kEquity, kBinomial, 100, 0.05f, 0.25f, 60, {95, 105});
    late.Dividend = 2;
    late.DivDate = late.ExpiryDate + 10;
    PriceBinomial(late);
    for (int s = 1; s <= 2; ++s)
        for (int k = 1; k <= 2; ++k)
            EXPECT_EQ(late.Theo(s, k), plain.Theo(s, k));

    TInOutObj early = MakeSeries(kEquity, kBinomial, 100, 0.05f, 0.25f, 60, {95, 105});
    early.Dividend = 2;
    early.DivDate = early.TodayDate + 30;
    PriceBinomial(early);
    EXPECT_LT(early.Theo(1, 1), plain.Theo(1, 1)) << "a dividend lowers the call";
    EXPECT_GT(early.Theo(1, 2), plain.Theo(1, 2)) << "and raises the put";
}

// An index's yield and a currency's foreign rate grow the tree at the carry
// r - q. At a zero rate an American put is never exercised early, so the
// tree's put tends to the European one; a call on a high-yield index is
// worth what the put-call symmetry of American options says: the put with
// price and strike exchanged, and rate and yield exchanged.
TEST(Binomial, YieldsGrowTheTreeAtTheCarry)
{
    for (int contract : {kIndex, kCurrency}) {
        TInOutObj tree = MakeSeries(contract, kBinomial, 100, 0.0f, 0.25f, 180, {85, 100, 115});
        tree.Dividend = 0.06f;
        tree.Steps = 400;
        PriceBinomial(tree);
        const double T = static_cast<float>(180 / 365.0);
        for (int s = 1; s <= 3; ++s) {
            const double K = tree.Strike(s, 2);
            EXPECT_NEAR(tree.Theo(s, 2), ReferenceBlackScholes(100, K, T, 0, -0.06f, 0.25).put, 0.01)
                << "contract " << contract << ", strike " << K;
        }

        for (float K : {85.0f, 100.0f, 115.0f}) {
            TInOutObj call = MakeSeries(contract, kBinomial, 100, 0.02f, 0.25f, 180, {K});
            call.Dividend = 0.08f;
            call.Steps = 400;
            PriceBinomial(call);
            TInOutObj put = MakeSeries(contract, kBinomial, K, 0.08f, 0.25f, 180, {100});
            put.Dividend = 0.02f;
            put.Steps = 400;
            PriceBinomial(put);
            EXPECT_NEAR(call.Theo(1, 1), put.Theo(1, 2), 0.02) << "contract " << contract << ", strike " << K;
            EXPECT_GT(call.Theo(1, 1), ReferenceBlackScholes(100, K, T, 0.02f, -0.06, 0.25).call - 0.01)
                << "at least the European call";
        }
    }
}

// A cash dividend: the calls against the limit above, deep in the money
// (where exercising before the dividend pays) and out of it; the put at a
// zero rate, which is never exercised early, against the European put on
// the price less the dividend.
TEST(Binomial, CashDividendAgreesWithItsLimit)
{
    const double T = static_cast<float>(180 / 365.0), t1 = static_cast<float>(150 / 365.0);
    TInOutObj tree = MakeSeries(kEquity, kBinomial, 100, 0.10f, 0.25f, 180, {70, 85, 100, 115});
    tree.Dividend = 4;
    tree.DivDate = tree.TodayDate + 150;
    tree.Steps = 400;
    PriceBinomial(tree);
    for (int s = 1; s <= 4; ++s) {
        const double K = tree.Strike(s, 1);
        EXPECT_NEAR(tree.Theo(s, 1), CallWithDividendLimit(100, K, T, t1, 4, 0.10f, 0.25), 0.03)
            << "strike " << K;
    }
    const double european =
        ReferenceBlackScholes(100 - 4 * std::exp(-0.10f * t1), 70, T, 0.10f, 0.10f, 0.25).call;
    EXPECT_GT(tree.Theo(1, 1), european + 1) << "the deep call's early exercise is worth something";

    TInOutObj put = MakeSeries(kEquity, kBinomial, 100, 0.0f, 0.25f, 180, {85, 100, 115});
    put.Dividend = 4;
    put.DivDate = put.TodayDate + 150;
    put.Steps = 400;
    PriceBinomial(put);
    for (int s = 1; s <= 3; ++s) {
        const double K = put.Strike(s, 2);
        EXPECT_NEAR(put.Theo(s, 2), ReferenceBlackScholes(96, K, T, 0, 0, 0.25).put, 0.01) << "strike " << K;
    }
}

TEST(Binomial, StepsBelowFiveArePricedWithFive)
{
    TInOutObj five = MakeSeries(kIndex, kBinomial, 100, 0.05f, 0.25f, 60, {100});
    five.Steps = 5;
    PriceBinomial(five);
    for (int steps : {4, 1, 0, -7}) {
        TInOutObj few = MakeSeries(kIndex, kBinomial, 100, 0.05f, 0.25f, 60, {100});
        few.Steps = steps;
        PriceBinomial(few);
        EXPECT_EQ(few.Theo(1, 1), five.Theo(1, 1)) << steps << " steps";
        EXPECT_EQ(few.Decay(1, 2), five.Decay(1, 2)) << steps << " steps";
        EXPECT_TRUE(std::isfinite(few.Gamma(1, 1)));
    }
}

TEST(Binomial, FutureTreeHasNoGrowth)
{
    // With a = 1 a futures call and put at the money are worth the same.
    TInOutObj p = Priced(MakeSeries(kFuture, kBinomial, 100, 0.05f, 0.25f, 90, {100}), PriceBinomial);
    EXPECT_NEAR(p.Theo(1, 1), p.Theo(1, 2), 0.02);
    TInOutObj euro = Priced(MakeSeries(kFuture, kBlackScholes, 100, 0.05f, 0.25f, 90, {100}),
                            PriceBlackScholes);
    EXPECT_GE(p.Theo(1, 1), euro.Theo(1, 1) - 0.02);
}

TEST(Binomial, TinyValueShowsZeroKeepingDecay)
{
    TInOutObj p = Priced(MakeSeries(kEquity, kBinomial, 100, 0.05f, 0.15f, 10, {125}), PriceBinomial);
    EXPECT_EQ(p.Theo(1, 1), 0.0f);
    EXPECT_TRUE(std::isfinite(p.Decay(1, 1)));
}

TEST(Binomial, OverflowingTreeIsReportedNotStored)
{
    // u^N = exp(sigma * sqrt(T * N)) = exp(3 * sqrt(3 * 400)), beyond the
    // single range: the call's top nodes overflow.
    TInOutObj p = MakeSeries(kEquity, kBinomial, 100, 0.05f, 3.0f, 1095, {100});
    p.Steps = 400;
    p.Theo(1, 1) = 7;
    try {
        PriceBinomial(p);
        FAIL() << "an overflowing tree must be reported";
    } catch (const PricingError& e) {
        EXPECT_NE(std::string(e.what()).find("strike 1 (call)"), std::string::npos) << e.what();
    }
    EXPECT_EQ(p.Theo(1, 1), 7.0f) << "no NaN or infinity stored";
    EXPECT_TRUE(std::isfinite(p.Delta(1, 1)));
    EXPECT_TRUE(std::isfinite(p.Gamma(1, 1)));
    EXPECT_TRUE(std::isfinite(p.Decay(1, 1)));

    // The same option on fewer steps stays within range and is priced.
    p.Steps = 100;
    PriceBinomial(p);
    EXPECT_TRUE(std::isfinite(p.Theo(1, 1)));
    EXPECT_LE(p.Theo(1, 1), 100.0f);
}

TEST(Whaley, CallsWithCarryAtTheRateArePricedAsEuropean)
{
    // An equity, an index without a yield and a currency without a foreign
    // rate: b = r, so a call is never exercised early.
    for (int contract : {kEquity, kIndex, kCurrency}) {
        TInOutObj euro = Priced(MakeSeries(contract, kBlackScholes, 100, 0.05f, 0.3f, 75, {85, 100, 115}),
                                PriceBlackScholes);
        TInOutObj whaley = Priced(MakeSeries(contract, kWhaley, 100, 0.05f, 0.3f, 75, {85, 100, 115}),
                                  PriceWhaley);
        for (int s = 1; s <= 3; ++s) {
            EXPECT_EQ(whaley.Theo(s, 1), euro.Theo(s, 1)) << "contract " << contract << " strike " << s;
            EXPECT_EQ(whaley.Delta(s, 1), euro.Delta(s, 1));
            EXPECT_EQ(whaley.Gamma(s, 1), euro.Gamma(s, 1));
            EXPECT_EQ(whaley.Vega(s, 1), euro.Vega(s, 1));
            EXPECT_EQ(whaley.Decay(s, 1), euro.Decay(s, 1));
            EXPECT_GT(whaley.Theo(s, 2), euro.Theo(s, 2)) << "the put's early exercise is worth something";
        }
    }
}

TEST(Whaley, DeepInTheMoneyFutureCallIsExercised)
{
    TInOutObj euro = Priced(MakeSeries(kFuture, kBlackScholes, 150, 0.08f, 0.2f, 180, {100}),
                            PriceBlackScholes);
    TInOutObj p = Priced(MakeSeries(kFuture, kWhaley, 150, 0.08f, 0.2f, 180, {100}), PriceWhaley);
    EXPECT_FLOAT_EQ(p.Theo(1, 1), 50.0f);
    EXPECT_EQ(p.Delta(1, 1), euro.Delta(1, 1)) << "greeks stay European";
    EXPECT_LT(euro.Theo(1, 1), 50.0f);
}

TEST(Whaley, ExercisedValueUnderOneCentShowsZero)
{
    // Exercised at once, the value is S - K: here the single nearest 0.01,
    // which lies just below one cent.
    TInOutObj p = Priced(MakeSeries(kFuture, kWhaley, 0.02f, 0.08f, 0.2f, 180, {0.01f, 0.005f}), PriceWhaley);
    EXPECT_EQ(p.Theo(1, 1), 0.0f);
    EXPECT_EQ(p.Theo(2, 1), 0.015f) << "a value above one cent stays";
}

TEST(Whaley, PremiumAgreesWithTheFinerTree)
{
    // Futures options, where early exercise is worth something on both sides.
    TInOutObj w = Priced(MakeSeries(kFuture, kWhaley, 100, 0.08f, 0.25f, 180, {90, 100, 110}), PriceWhaley);
    TInOutObj t = MakeSeries(kFuture, kBinomial, 100, 0.08f, 0.25f, 180, {90, 100, 110});
    t.Steps = 400;
    PriceBinomial(t);
    TInOutObj e = Priced(MakeSeries(kFuture, kBlackScholes, 100, 0.08f, 0.25f, 180, {90, 100, 110}),
                         PriceBlackScholes);
    for (int s = 1; s <= 3; ++s) {
        for (int k = 1; k <= 2; ++k) {
            EXPECT_GT(w.Theo(s, k), e.Theo(s, k)) << "strike " << s << " side " << k;
            EXPECT_NEAR(w.Theo(s, k), t.Theo(s, k), 0.05) << "strike " << s << " side " << k;
        }
    }
}

TEST(Whaley, CarryCapAppliesToTheLowVolatilityPutOnly)
{
    // Index with a negative carry? No: the cap bites when 0.6 sigma / sqrt(T)
    // is below a positive carry b, which needs b < r, so a currency whose
    // foreign rate is below the domestic one and a very low volatility.
    TInOutObj p = MakeSeries(kCurrency, kWhaley, 100, 0.10f, 0.01f, 360, {100, 100});
    p.Dividend = 0.02f;  // b = 0.08
    p.Vol(2, 2) = 0.30f;
    PriceWhaley(p);
    TInOutObj alone = MakeSeries(kCurrency, kWhaley, 100, 0.10f, 0.30f, 360, {100});
    alone.Dividend = 0.02f;
    PriceWhaley(alone);
    EXPECT_EQ(p.Decay(2, 2), alone.Decay(1, 2)) << "the next put uses the full carry";
    EXPECT_EQ(p.Theo(2, 2), alone.Theo(1, 2));

    // The capped put's decay differs from what the full carry would give.
    const float sqT = std::sqrt(static_cast<float>(360 / 365.0));
    ASSERT_LT(0.6f * 0.01f / sqT, 0.08f);
    // Its delta is the European one with the capped carry in d1.
    const double T = static_cast<float>(360 / 365.0);
    const double bp = 0.6 * 0.01 / sqT, b = 0.08f;
    const double Dc = std::exp((b - 0.10f) * T);
    auto putDelta = [&](double carry) {
        const double d1 = (carry + 0.01 * 0.01 / 2) * T / (0.01 * std::sqrt(T));
        return -Dc * ExactN(-d1);
    };
    EXPECT_NEAR(p.Delta(1, 2), putDelta(bp), 1e-4);
    EXPECT_GT(std::fabs(p.Delta(1, 2) - putDelta(b)), 1e-2);
    EXPECT_TRUE(std::isfinite(p.Theo(1, 2)));
}

TEST(Whaley, ValuesBeyondTheSingleRangeAreReportedNotStored)
{
    // A negative rate over some eight thousand years: exp(-r T) overflows.
    TInOutObj p = MakeSeries(kIndex, kWhaley, 100, -0.05f, 0.25f, 2900000, {100});
    p.Dividend = 0.03f;  // b = -0.08 < r, so the premium is computed
    p.Theo(1, 1) = 7;
    try {
        PriceWhaley(p);
        FAIL() << "an overflowing value must be reported";
    } catch (const PricingError& e) {
        EXPECT_NE(std::string(e.what()).find("strike 1 (call)"), std::string::npos) << e.what();
    }
    EXPECT_EQ(p.Theo(1, 1), 7.0f) << "no infinity or NaN stored";
    EXPECT_TRUE(std::isfinite(p.Delta(1, 1)));
    EXPECT_TRUE(std::isfinite(p.Decay(1, 1)));
}

TEST(Whaley, DegenerateInputsStillGiveAValue)
{
    // A zero rate with a yield: the quadratic has no finite root.
    TInOutObj p = MakeSeries(kIndex, kWhaley, 100, 0.0f, 0.25f, 90, {80, 100, 120});
    p.Dividend = 0.03f;
    PriceWhaley(p);
    for (int s = 1; s <= 3; ++s) {
        for (int k = 1; k <= 2; ++k) {
            EXPECT_TRUE(std::isfinite(p.Theo(s, k))) << s << "," << k;
            EXPECT_GE(p.Theo(s, k), 0.0f);
        }
    }
    EXPECT_GE(p.Theo(3, 2), 20.0f - 0.01f) << "at least what exercise pays";
}
