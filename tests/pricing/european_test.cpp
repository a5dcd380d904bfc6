#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "pricing/Models.h"
#include "pricing_fixtures.h"

using namespace kestrava;
using namespace kestrava::fixtures;

namespace {

std::uint32_t Bits(float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

}  // namespace

TEST(NormalPair, CentreAndTails)
{
    const NormalPairResult at0 = NormalPair(0, 0);
    EXPECT_NEAR(at0.N1, 0.5, 1e-7);
    EXPECT_NEAR(at0.N2, 0.5, 1e-7);
    EXPECT_EQ(Bits(at0.n1), 0x3ECC422Au) << "n(0) is the single-precision 1/sqrt(2 pi)";

    for (float x : {-3.0f, -1.2f, -0.3f, 0.7f, 1.9f, 4.0f}) {
        const NormalPairResult r = NormalPair(x, -x);
        EXPECT_NEAR(r.N1, ExactN(x), 2e-7) << "x = " << x;
        EXPECT_NEAR(r.N2, ExactN(-x), 2e-7) << "x = " << x;
        EXPECT_NEAR(r.N1 + r.N2, 1.0, 2e-7) << "x = " << x;
    }
    EXPECT_EQ(NormalPair(40, -40).N1, 1.0f);
    EXPECT_EQ(NormalPair(40, -40).N2, 0.0f);
}

TEST(BlackScholes, AgreesWithTheExactFormulaForEveryCarry)
{
    struct Case {
        int contract;
        float dividend;
        double carry;  // b expected for rate 0.05
    } cases[] = {{kEquity, 0, 0.05}, {kIndex, 0.02f, 0.03}, {kFuture, 0, 0.0}, {kCurrency, 0.04f, 0.01}};
    for (const Case& c : cases) {
        TInOutObj p = MakeSeries(c.contract, kBlackScholes, 100, 0.05f, 0.25f, 60, {80, 100, 118});
        p.Dividend = c.dividend;
        PriceBlackScholes(p);
        const double T = static_cast<float>(60 / 365.0);
        for (int s = 1; s <= 3; ++s) {
            const double K = p.Strike(s, 1);
            const ReferenceValue ref = ReferenceBlackScholes(100, K, T, static_cast<double>(0.05f),
                                                             static_cast<double>(static_cast<float>(c.carry)),
                                                             0.25);
            SCOPED_TRACE(testing::Message() << "contract " << c.contract << ", strike " << K);
            EXPECT_NEAR(p.Theo(s, 1), ref.call, 2e-4);
            EXPECT_NEAR(p.Theo(s, 2), ref.put < 0.01 ? 0 : ref.put, 2e-4);
            EXPECT_NEAR(p.Delta(s, 1), ref.callDelta, 2e-6);
            EXPECT_NEAR(p.Delta(s, 2), ref.putDelta, 2e-6);
            EXPECT_NEAR(p.Gamma(s, 1), ref.gamma, 1e-6);
            EXPECT_NEAR(p.Vega(s, 1), ref.vega, 1e-5);
            // One volatility for both sides: the put's own gamma and vega
            // are the call's.
            EXPECT_FLOAT_EQ(p.Gamma(s, 2), p.Gamma(s, 1));
            EXPECT_FLOAT_EQ(p.Vega(s, 2), p.Vega(s, 1));
        }
    }
}

// Decay is the value lost as one calendar day passes: minus the value's
// slope in time to expiry, taken here from the exact formula, for every
// carry, both sides and strikes in, at and out of the money. A term of the
// decay formula with the wrong sign for some carry shows at once.
TEST(BlackScholes, DecayIsTheValueLostPerDayForEveryCarry)
{
    struct Case {
        int contract;
        float dividend;
        double carry;  // b for rate 0.05
    } cases[] = {{kEquity, 0, 0.05}, {kIndex, 0.03f, 0.02}, {kFuture, 0, 0.0}, {kCurrency, 0.08f, -0.03}};
    for (const Case& c : cases) {
        TInOutObj p = MakeSeries(c.contract, kBlackScholes, 100, 0.05f, 0.25f, 60, {80, 100, 118});
        p.Dividend = c.dividend;
        PriceBlackScholes(p);
        const double T = static_cast<float>(60 / 365.0);
        const double r = 0.05f, b = static_cast<float>(c.carry), h = 1e-4;
        for (int s = 1; s <= 3; ++s) {
            const double K = p.Strike(s, 1);
            const ReferenceValue later = ReferenceBlackScholes(100, K, T + h, r, b, 0.25);
            const ReferenceValue sooner = ReferenceBlackScholes(100, K, T - h, r, b, 0.25);
            SCOPED_TRACE(testing::Message() << "contract " << c.contract << ", strike " << K);
            EXPECT_NEAR(p.Decay(s, 1), -(later.call - sooner.call) / (2 * h) / 365, 1e-6);
            EXPECT_NEAR(p.Decay(s, 2), -(later.put - sooner.put) / (2 * h) / 365, 1e-6);
        }
    }
}

TEST(BlackScholes, PutCallParity)
{
    TInOutObj p = MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.30f, 90, {90, 95, 100, 105, 110});
    PriceBlackScholes(p);
    const double T = static_cast<float>(90 / 365.0);
    const double Dr = std::exp(-0.05 * T);
    for (int s = 1; s <= 5; ++s) {
        const double K = p.Strike(s, 1);
        EXPECT_NEAR(p.Theo(s, 1) - p.Theo(s, 2), 100 - K * Dr, 1e-4) << "strike " << K;
        EXPECT_NEAR(p.Delta(s, 1) - p.Delta(s, 2), 1.0, 1e-6) << "strike " << K;
    }
}

TEST(BlackScholes, ValueUnderOneCentShowsZeroButKeepsGreeks)
{
    // Strike chosen so that the call's formula value is about 0.004.
    TInOutObj p = MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.20f, 30, {119.5f});
    PriceBlackScholes(p);
    const ReferenceValue ref = ReferenceBlackScholes(100, 119.5, static_cast<float>(30 / 365.0), 0.05, 0.05,
                                                     0.20);
    ASSERT_GT(ref.call, 0.001);
    ASSERT_LT(ref.call, 0.01);
    EXPECT_EQ(p.Theo(1, 1), 0.0f);
    EXPECT_GT(p.Delta(1, 1), 0.0f);
    EXPECT_GT(p.Gamma(1, 1), 0.0f);
    EXPECT_GT(p.Vega(1, 1), 0.0f);
    EXPECT_LT(p.Decay(1, 1), 0.0f);
}

TEST(BlackScholes, ValueFloorIsOneCentNotItsSingle)
{
    // A future at a zero rate, so deep in the money that N(d1) = N(d2) = 1:
    // the value is S - K exactly, here the single nearest 0.01, which lies
    // just below one cent.
    TInOutObj p = MakeSeries(kFuture, kBlackFutures, 0.02f, 0.0f, 0.01f, 30, {0.01f, 0.005f});
    PriceBlackScholes(p);
    ASSERT_LT(static_cast<double>(0.01f), 0.01);
    EXPECT_EQ(p.Theo(1, 1), 0.0f) << "a value below 0.01 shows as none";
    EXPECT_EQ(p.Delta(1, 1), 1.0f) << "and keeps its delta";
    EXPECT_EQ(p.Theo(2, 1), 0.015f) << "a value above one cent stays";
}

TEST(BlackScholes, PutPricedAtItsOwnVolatilityHasItsOwnGreeks)
{
    TInOutObj p = MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.25f, 60, {100});
    p.Vol(1, 1) = 0;
    p.Vol(1, 2) = 0.30f;
    PriceBlackScholes(p);
    EXPECT_EQ(p.Theo(1, 1), 0.0f);
    EXPECT_EQ(p.Gamma(1, 1), 0.0f);
    EXPECT_EQ(p.Vega(1, 1), 0.0f);

    const ReferenceValue ref = ReferenceBlackScholes(100, 100, static_cast<float>(60 / 365.0), 0.05, 0.05,
                                                     0.30);
    EXPECT_NEAR(p.Theo(1, 2), ref.put, 2e-4);
    EXPECT_NEAR(p.Delta(1, 2), ref.putDelta, 2e-6);
    EXPECT_NEAR(p.Gamma(1, 2), ref.gamma, 1e-6) << "not the call's 0";
    EXPECT_NEAR(p.Vega(1, 2), ref.vega, 1e-5) << "not the call's 0";
    EXPECT_LT(p.Decay(1, 2), 0.0f);
}

TEST(BlackScholes, FutureDeltaIsDiscounted)
{
    TInOutObj p = MakeSeries(kFuture, kBlackFutures, 100, 0.05f, 0.25f, 120, {100});
    PriceBlackScholes(p);
    const double T = static_cast<float>(120 / 365.0);
    const double d1 = (0.25 * 0.25 / 2 * T) / (0.25 * std::sqrt(T));
    EXPECT_NEAR(p.Delta(1, 1), std::exp(-0.05 * T) * ExactN(d1), 2e-6);
    EXPECT_LT(p.Delta(1, 1), ExactN(d1));
}

TEST(BlackScholes, EquityDividendByItsDate)
{
    auto price = [](float underlying, float dividend, double divDate) {
        TInOutObj p = MakeSeries(kEquity, kBlackScholes, underlying, 0.05f, 0.25f, 60, {100});
        p.Dividend = dividend;
        p.DivDate = divDate;
        PriceBlackScholes(p);
        return p.Theo(1, 1);
    };
    const double today = EncodeDate(2008, 1, 2);
    EXPECT_EQ(price(100, 1.0f, today + 90), price(100, 0, 0)) << "dividend after expiry";
    EXPECT_EQ(price(100, 1.0f, today - 5), price(99, 0, 0)) << "dividend already paid";
    EXPECT_EQ(price(100, 1.0f, 0), price(99, 0, 0)) << "no dividend date";
    const float between = price(100, 1.0f, today + 30);
    EXPECT_LT(between, price(100, 0, 0));
    EXPECT_GT(between, price(99, 0, 0)) << "only the present value comes off";
}

// A dividend paid on the expiry day goes to whoever holds the stock after
// the options have expired: no model takes it off; one day earlier, every
// model does (an American call, exercised just before it, loses little).
TEST(Models, DividendOnTheExpiryDayIsNotTakenOff)
{
    const struct {
        const char* name;
        int model;
        void (*price)(TInOutObj&);
    } models[] = {{"Black-Scholes", kBlackScholes, PriceBlackScholes},
                  {"binomial", kBinomial, PriceBinomial},
                  {"Whaley", kWhaley, PriceWhaley}};
    for (const auto& m : models) {
        auto priced = [&](float dividend, int dividendDay) {
            TInOutObj p = MakeSeries(kEquity, m.model, 100, 0.05f, 0.25f, 60, {95, 105});
            p.Dividend = dividend;
            p.DivDate = p.TodayDate + dividendDay;
            m.price(p);
            return p;
        };
        const TInOutObj none = priced(0, 0);
        const TInOutObj onExpiry = priced(2, 60);
        const TInOutObj dayBefore = priced(2, 59);
        for (int s = 1; s <= 2; ++s) {
            EXPECT_EQ(onExpiry.Theo(s, 1), none.Theo(s, 1)) << m.name << ", strike " << s;
            EXPECT_EQ(onExpiry.Theo(s, 2), none.Theo(s, 2)) << m.name << ", strike " << s;
            EXPECT_LT(dayBefore.Theo(s, 1), none.Theo(s, 1)) << m.name << ", strike " << s;
            EXPECT_GT(dayBefore.Theo(s, 2), none.Theo(s, 2) + 0.5) << m.name << ", strike " << s;
        }
    }
}

TEST(BlackScholes, BadInputsAreReportedNotPriced)
{
    TInOutObj p = MakeSeries(kEquity, kBlackScholes, 0, 0.05f, 0.25f, 60, {100});
    EXPECT_THROW(PriceBlackScholes(p), PricingError);
    EXPECT_EQ(p.Theo(1, 1), 0.0f);

    TInOutObj q = MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.25f, 60, {95, 0, 105});
    q.Theo(2, 1) = 7;
    PriceBlackScholes(q);
    EXPECT_GT(q.Theo(1, 1), 0.0f) << "the strike before the bad one keeps its value";
    EXPECT_EQ(q.Theo(2, 1), 0.0f) << "a zero strike is left blank";
    EXPECT_GT(q.Theo(3, 1), 0.0f) << "the strike after it is priced";

    TInOutObj big = MakeSeries(kEquity, kBlackScholes, 10, 0.05f, 0.25f, 60, {10});
    big.Dividend = 12;
    EXPECT_THROW(PriceBlackScholes(big), PricingError) << "a dividend above the price";
}

TEST(BlackScholes, ValuesBeyondTheSingleRangeAreReportedNotStored)
{
    // A negative rate over ten years lifts S * exp((b - r) T) above the
    // largest single.
    TInOutObj p = MakeSeries(kFuture, kBlackFutures, 3e38f, -0.05f, 0.25f, 3650, {1});
    p.Theo(1, 1) = 7;
    try {
        PriceBlackScholes(p);
        FAIL() << "an overflowing value must be reported";
    } catch (const PricingError& e) {
        EXPECT_NE(std::string(e.what()).find("strike 1 (call)"), std::string::npos) << e.what();
    }
    EXPECT_EQ(p.Theo(1, 1), 7.0f) << "no infinity stored";
    EXPECT_TRUE(std::isfinite(p.Delta(1, 1)));
    EXPECT_TRUE(std::isfinite(p.Vega(1, 1)));
    EXPECT_TRUE(std::isfinite(p.Decay(1, 1)));
}

TEST(Probabilities, AtTheMoneyIsAHalfWhateverTheRate)
{
    for (float rate : {0.0f, 0.05f, 0.2f}) {
        TInOutObj p = MakeSeries(kEquity, kBlackScholes, 100, rate, 0.25f, 45, {100});
        ComputeProbabilities(p);
        EXPECT_NEAR(p.ProbAbove(1, 1), 0.5, 1e-7);
        EXPECT_NEAR(p.ProbBelow(1, 2), 0.5, 1e-7);
        EXPECT_EQ(p.ProbBelow(1, 1), 0.0f) << "call rows carry only the chance above";
        EXPECT_EQ(p.ProbAbove(1, 2), 0.0f) << "put rows carry only the chance below";
    }
}

TEST(Probabilities, DriftlessLogNormal)
{
    TInOutObj p = MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.25f, 90, {90, 110});
    p.Vol(2, 2) = 0;
    ComputeProbabilities(p);
    const double sd = 0.25 * std::sqrt(static_cast<float>(90 / 365.0));
    EXPECT_NEAR(p.ProbAbove(1, 1), 1 - ExactN(std::log(0.9) / sd), 2e-7);
    EXPECT_NEAR(p.ProbBelow(1, 2), ExactN(std::log(0.9) / sd), 2e-7);
    EXPECT_NEAR(p.ProbAbove(2, 1), 1 - ExactN(std::log(1.1) / sd), 2e-7);
    EXPECT_EQ(p.ProbBelow(2, 2), 0.0f) << "no volatility, no probability";
}
