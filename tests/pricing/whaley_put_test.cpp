// American puts under the quadratic approximation against a reference
// written apart from the model: double precision, the exact normal
// distribution and a bisection for the critical price.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "pricing/Models.h"
#include "pricing_fixtures.h"

using namespace kestrava;
using namespace kestrava::fixtures;

namespace {

double EuropeanPut(double S, double K, double T, double r, double b, double sigma)
{
    return ReferenceBlackScholes(S, K, T, r, b, sigma).put;
}

// Barone-Adesi and Whaley's put for r > 0 (no carry cap).
double ReferenceAmericanPut(double S, double K, double T, double r, double b, double sigma)
{
    const double M = 2 * r / (sigma * sigma), W = 2 * b / (sigma * sigma);
    const double h = 1 - std::exp(-r * T);
    const double q1 = (-(W - 1) - std::sqrt((W - 1) * (W - 1) + 4 * M / h)) / 2;
    const double Dc = std::exp((b - r) * T), v = sigma * std::sqrt(T);
    auto NminusD1 = [&](double x) { return ExactN(-(std::log(x / K) + (b + sigma * sigma / 2) * T) / v); };
    // The critical price S** solves K - S = p(S) - (1 - Dc N(-d1(S))) S / q1,
    // with the left side above the right below S** and below it above.
    auto gap = [&](double x) {
        return (K - x) - (EuropeanPut(x, K, T, r, b, sigma) - (1 - Dc * NminusD1(x)) * x / q1);
    };
    double lo = 1e-9 * K, hi = K;
    for (int i = 0; i < 200; ++i) {
        const double mid = (lo + hi) / 2;
        (gap(mid) > 0 ? lo : hi) = mid;
    }
    const double critical = (lo + hi) / 2;
    if (S <= critical)
        return K - S;
    const double A1 = -(critical / q1) * (1 - Dc * NminusD1(critical));
    return EuropeanPut(S, K, T, r, b, sigma) + A1 * std::pow(S / critical, q1);
}

struct Contract {
    int type;
    float yield;  // Dividend: the index yield or the foreign rate
};

}  // namespace

TEST(WhaleyPut, EquityPutDeepInTheMoneyIsWorthItsExercise)
{
    // S 95, K 120, 74 days, 25 %, 5 %: the European put is below 25.00.
    TInOutObj p = MakeSeries(kEquity, kWhaley, 95, 0.05f, 0.25f, 74, {120});
    PriceWhaley(p);
    TInOutObj e = MakeSeries(kEquity, kBlackScholes, 95, 0.05f, 0.25f, 74, {120});
    PriceBlackScholes(e);
    EXPECT_LT(e.Theo(1, 2), 25.0f);
    EXPECT_FLOAT_EQ(p.Theo(1, 2), 25.0f);
    EXPECT_EQ(p.Theo(1, 1), e.Theo(1, 1)) << "the call stays European";
}

TEST(WhaleyPut, AtLeastIntrinsicAndEuropeanAndCloseToTheReference)
{
    const Contract contracts[] = {{kEquity, 0}, {kIndex, 0},        {kIndex, 0.03f},
                                  {kFuture, 0}, {kCurrency, 0.02f}, {kCurrency, 0.09f}};
    int compared = 0;
    for (const Contract c : contracts) {
        for (float rate : {0.01f, 0.05f, 0.10f}) {
            for (float sigma : {0.10f, 0.25f, 0.50f, 0.80f}) {
                for (int days : {10, 74, 365}) {
                    TInOutObj p = MakeSeries(c.type, kWhaley, 100, rate, sigma, days,
                                             {60, 70, 80, 90, 100, 110, 120, 130, 140});
                    p.Dividend = c.yield;
                    PriceWhaley(p);
                    const double T = static_cast<float>(days / 365.0);
                    const double b = c.type == kFuture ? 0.0 : static_cast<double>(rate) - c.yield;
                    const bool capped = 0.6 * sigma / std::sqrt(T) < b;
                    for (int s = 1; s <= p.NumStrikes; ++s) {
                        const double K = p.Strike(s, 2);
                        const double theo = p.Theo(s, 2);
                        const double european = EuropeanPut(100, K, T, rate, b, sigma);
                        const double reference = ReferenceAmericanPut(100, K, T, rate, b, sigma);
                        const auto where = ::testing::Message()
                                           << "contract " << c.type << " yield " << c.yield << " rate "
                                           << rate << " vol " << sigma << " days " << days << " strike " << K
                                           << ": theo " << theo << " european " << european << " reference "
                                           << reference;
                        EXPECT_GE(theo, std::max(K - 100, 0.0) - 1e-4) << where;
                        EXPECT_GE(theo, european - 0.01 - 1e-4 * K) << where;
                        if (!capped && reference >= 0.01) {
                            EXPECT_NEAR(theo, reference, 0.003) << where;
                            ++compared;
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 500);
}

TEST(WhaleyPut, NoRateNoEarlyExercise)
{
    // With no interest to earn on the strike, a put is European.
    TInOutObj p = MakeSeries(kIndex, kWhaley, 100, 0.0f, 0.25f, 90, {90, 100, 120});
    p.Dividend = -0.02f;  // b = 0.02 >= r: the calls are European too
    PriceWhaley(p);
    TInOutObj e = MakeSeries(kIndex, kBlackScholes, 100, 0.0f, 0.25f, 90, {90, 100, 120});
    e.Dividend = -0.02f;
    PriceBlackScholes(e);
    for (int s = 1; s <= 3; ++s)
        for (int k = 1; k <= 2; ++k)
            EXPECT_EQ(p.Theo(s, k), e.Theo(s, k)) << s << "," << k;
}
