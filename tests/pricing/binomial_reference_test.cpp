// The tree as a plain loop, step for step, against the library's routine:
// whatever the compiler does to the library's inner loop must not change a
// single bit of a result.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "pricing/Models.h"
#include "pricing_fixtures.h"

using namespace kestrava;
using namespace kestrava::fixtures;

namespace {

struct Outputs {
    float theo, delta, gamma, decay;
};

Outputs ReferenceTree(const TInOutObj& p, int s, int k)
{
    const int N = p.Steps;
    const double r = p.Rate;
    const int days = p.DaysToExpiry();
    const float dt = static_cast<float>(static_cast<float>(days / 365.0) / static_cast<double>(N));
    const float q = p.ContractType == kIndex || p.ContractType == kCurrency ? p.Dividend
                    : p.ContractType == kFuture                            ? p.Rate
                                                                           : 0.0f;
    const float a = static_cast<float>(std::exp((r - q) * dt));
    const float R = static_cast<float>(std::exp(-r * dt));
    const float tD = static_cast<float>(p.DaysToDividend() / 365.0);
    std::vector<float> divPV(N + 2, 0.0f), value(N + 2), upPow(N + 2), downPow(N + 2);
    float Sstar = p.Underlying;
    if (p.ContractType == kEquity && p.Dividend != 0 && p.DaysToDividend() < days) {
        const int jD = static_cast<int>(tD / dt);
        Sstar = static_cast<float>(p.Underlying - p.Dividend * std::exp(-r * tD));
        for (int i = 1; i < jD; ++i)
            divPV[i] = static_cast<float>(p.Dividend * std::exp(-r * (tD - static_cast<double>(i) * dt)));
    }

    const float sigma = p.Vol(s, k), K = p.Strike(s, k);
    const float phi = k == 1 ? 1.0f : -1.0f;
    const float u = static_cast<float>(std::exp(sigma * std::sqrt(static_cast<double>(dt))));
    const float d = 1.0f / u;
    const float prob = (a - d) / (u - d);
    const float pu = prob * R, pd = (1.0f - prob) * R;
    for (int i = 0; i <= N + 1; ++i) {
        upPow[i] = std::exp(static_cast<float>(i) * std::log(u));
        downPow[i] = std::exp(static_cast<float>(i) * std::log(d));
    }
    for (int j = 0; j <= N; ++j) {
        const float e = phi * (Sstar * upPow[j] * downPow[N - j] - K);
        value[j + 1] = e > 0 ? e : 0;
    }
    float V4 = 0, V20 = 0, V21 = 0, V22 = 0;
    for (int n = N - 1; n >= 1; --n) {
        for (int j = 0; j <= n; ++j) {
            const float E = phi * ((Sstar + divPV[n]) * upPow[j] * downPow[n - j] - K);
            const float H = pu * value[j + 2] + pd * value[j + 1];
            value[j + 1] = E > H ? E : H;
            if (n == 4 && j == 2)
                V4 = value[3];
        }
        if (n == 2) {
            V20 = value[1];
            V21 = value[2];
            V22 = value[3];
        }
    }
    const float E0 = phi * (Sstar - K);
    const float H0 = pu * value[2] + pd * value[1];
    Outputs o{};
    o.theo = E0 > H0 ? E0 : H0;
    o.delta = (V22 - V20) / (Sstar * (upPow[2] - downPow[2]));
    o.gamma = ((V22 - V21) / (Sstar * (upPow[2] - 1.0f)) - (V21 - V20) / (Sstar * (1.0f - downPow[2])))
              / (0.5f * Sstar * (upPow[2] - downPow[2]));
    o.decay = (V4 - o.theo) / (4.0f * dt) / 365.0f;
    if (o.theo < 0.001f)
        o.theo = 0;
    return o;
}

bool SameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

TEST(BinomialReference, LargestPageIsBitIdenticalToThePlainLoop)
{
    for (int contract : {1, 2, 3}) {
        auto page = LargestPage(contract, kBinomial, contract == kIndex ? 0.02f : 0.0f);
        if (contract == kEquity) {
            page[2].Dividend = 1.5f;
            page[2].DivDate = page[2].TodayDate + 40;
        }
        for (TInOutObj& p : page) {
            PriceBinomial(p);
            for (int s = 1; s <= p.NumStrikes; ++s) {
                for (int k = 1; k <= 2; ++k) {
                    const Outputs ref = ReferenceTree(p, s, k);
                    SCOPED_TRACE(::testing::Message() << "contract " << contract << ", days "
                                                      << p.DaysToExpiry() << ", strike "
                                                      << p.Strike(s, k) << ", side " << k);
                    EXPECT_TRUE(SameBits(p.Theo(s, k), ref.theo)) << p.Theo(s, k) << " vs " << ref.theo;
                    EXPECT_TRUE(SameBits(p.Delta(s, k), ref.delta)) << p.Delta(s, k) << " vs " << ref.delta;
                    EXPECT_TRUE(SameBits(p.Gamma(s, k), ref.gamma)) << p.Gamma(s, k) << " vs " << ref.gamma;
                    EXPECT_TRUE(SameBits(p.Decay(s, k), ref.decay)) << p.Decay(s, k) << " vs " << ref.decay;
                }
            }
        }
    }
}
