// One option priced alone, as a position's legs are: the same bits as the
// expiry's routine for every model, and the volatility solved from a price
// under each model giving that price back.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "pricing/modeliv.h"
#include "pricing/Models.h"
#include "pricing/optionpricer.h"
#include "pricing/recalc.h"
#include "pricing_fixtures.h"

using namespace kestrava;
using namespace kestrava::fixtures;

namespace {

bool SameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// An expiry of each contract kind with its carry: an equity with a cash
// dividend inside the expiry, an index yield, a future, a currency.
TInOutObj Contract(int contract, int model, int days, std::initializer_list<float> strikes)
{
    TInOutObj p = MakeSeries(contract, model, 100, 0.05f, 0.25f, days, strikes);
    if (contract == kEquity) {
        p.Dividend = 1.2f;
        p.DivDate = p.TodayDate + days / 3;
    } else if (contract != kFuture) {
        p.Dividend = 0.02f;
    }
    return p;
}

}  // namespace

TEST(OptionPricer, GivesTheExpirysOwnNumbersForEveryModel)
{
    // A skew, so each option has its own volatility (and the tree its own
    // powers); a far and a near strike where nodes sink to 0.
    for (int model : {kBlackScholes, kBinomial, kWhaley}) {
        for (int contract : {kEquity, kIndex, kFuture, kCurrency}) {
            TInOutObj p = Contract(contract, model, 73, {60, 85, 100, 115, 160});
            p.Steps = 150;
            for (int s = 1; s <= p.NumStrikes; ++s)
                for (int k = 1; k <= 2; ++k)
                    p.Vol(s, k) = 0.18f + 0.03f * static_cast<float>(s) + 0.01f * static_cast<float>(k);
            RunModel(p);
            OptionPricer pricer(p);
            ASSERT_TRUE(pricer.MoveTo(p.TodayDate, p.Underlying, p.Rate));
            for (int s = 1; s <= p.NumStrikes; ++s) {
                for (int k = 1; k <= 2; ++k) {
                    SCOPED_TRACE(::testing::Message() << "model " << model << ", contract " << contract
                                                      << ", strike " << p.Strike(s, k) << ", side " << k);
                    const OptionResult one = pricer.Price(p.Strike(s, k), k, p.Vol(s, k));
                    EXPECT_TRUE(SameBits(one.theo, p.Theo(s, k))) << one.theo << " vs " << p.Theo(s, k);
                    EXPECT_TRUE(SameBits(one.delta, p.Delta(s, k)));
                    EXPECT_TRUE(SameBits(one.gamma, p.Gamma(s, k)));
                    EXPECT_TRUE(SameBits(one.decay, p.Decay(s, k)));
                    EXPECT_TRUE(SameBits(one.vega, p.Vega(s, k)));
                }
            }
        }
    }
    // An expiry that has come prices nothing.
    TInOutObj p = Contract(kEquity, kBinomial, 10, {100});
    OptionPricer pricer(p);
    EXPECT_FALSE(pricer.MoveTo(p.ExpiryDate, 100, 0.05f));
    p.Model = 0;
    EXPECT_THROW(OptionPricer{p}, PricingError);
}

TEST(ModelImpliedVol, GivesBackTheVolatilityEachModelPricedAt)
{
    // Price under the model at a known volatility, solve from that price:
    // the volatility comes back, and repricing at it gives the price within
    // a hundredth of a cent (single precision allowing).
    const float volatilities[] = {0.08f, 0.3f, 0.9f};
    int solved = 0;
    for (int model : {kBlackScholes, kBinomial, kWhaley}) {
        for (int contract : {kEquity, kIndex, kFuture}) {
            TInOutObj p = Contract(contract, model, 120, {70, 95, 100, 130});
            p.Steps = 400;
            OptionPricer pricer(p);
            ASSERT_TRUE(pricer.MoveTo(p.TodayDate, p.Underlying, p.Rate));
            for (int s = 1; s <= p.NumStrikes; ++s) {
                for (int k = 1; k <= 2; ++k) {
                    for (float sigma : volatilities) {
                        const float K = p.Strike(s, k);
                        const double price = pricer.Value(K, k, sigma);
                        if (price < 0.05)
                            continue;
                        SCOPED_TRACE(::testing::Message()
                                     << "model " << model << ", contract " << contract << ", strike " << K
                                     << ", side " << k << ", vol " << sigma);
                        const float vol = SolveModelIV(pricer, K, k, price);
                        ASSERT_GT(vol, 0) << "price " << price;
                        EXPECT_NEAR(pricer.Value(K, k, vol), price, 2e-4);
                        // Deep in the money at a low volatility the price hardly moves with the
                        // volatility (an American option's not at all): a cent pins down none.
                        if (pricer.Value(K, k, sigma * 1.1f) - price > 0.01
                            && price - pricer.Value(K, k, sigma / 1.1f) > 0.01) {
                            EXPECT_NEAR(vol, sigma, 2e-4 + 0.002 * sigma);
                        }
                        ++solved;
                    }
                }
            }
        }
    }
    EXPECT_GT(solved, 120);
}

TEST(ModelImpliedVol, PricesNoVolatilityGivesAreRefused)
{
    TInOutObj p = MakeSeries(kEquity, kBinomial, 100, 0.05f, 0.25f, 91, {80, 120});
    p.Steps = 200;
    OptionPricer pricer(p);
    pricer.MoveTo(p.TodayDate, p.Underlying, p.Rate);
    EXPECT_EQ(SolveModelIV(pricer, 80, 1, 101), 0.0f) << "a call worth more than the underlying";
    EXPECT_EQ(SolveModelIV(pricer, 120, 2, 19.5), 0.0f) << "an American put below its exercise value";
    EXPECT_EQ(SolveModelIV(pricer, 80, 2, 0), 0.0f);
    // Exactly the exercise value: the lowest volatility searched gives it.
    const float atExercise = SolveModelIV(pricer, 120, 2, 20);
    EXPECT_GT(atExercise, 0);
    EXPECT_NEAR(pricer.Value(120, 2, atExercise), 20, 1e-4);
    // The European volatility of a price no European option has.
    EXPECT_EQ(EuropeanImpliedVol(p, 120, 2, 119), 0) << "above the strike's present value";
    EXPECT_NEAR(
        EuropeanImpliedVol(p, 80, 1, ReferenceBlackScholes(100, 80, 91 / 365.0, 0.05, 0.05, 0.4).call), 0.4,
        1e-6);
}
