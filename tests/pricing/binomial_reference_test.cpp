// The tree as a plain loop, step for step, against the library's routine:
// whatever the compiler, the processor's vector width or the number of
// threads do to the library's tree must not change a single bit of a result.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "pricing/fpmode.h"
#include "pricing/gridtext.h"
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
                    : p.ContractType == kFuture                             ? p.Rate
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

// Restores the library's default thread count when a test ends.
struct ThreadCount {
    explicit ThreadCount(int threads) { SetBinomialThreads(threads); }
    ~ThreadCount() { SetBinomialThreads(0); }
};

TEST(BinomialReference, LargestPageIsBitIdenticalToThePlainLoop)
{
    // The library flushes values below the normal range inside the tree;
    // the plain loop runs in the same mode.
    const FlushDenormals flush;
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
                    SCOPED_TRACE(::testing::Message()
                                 << "contract " << contract << ", days " << p.DaysToExpiry() << ", strike "
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

TEST(BinomialReference, ThreadCountChangesNoBit)
{
    auto priced = [](int threads) {
        const ThreadCount count(threads);
        auto page = LargestPage(kEquity, kBinomial);
        page[1].Dividend = 0.8f;
        page[1].DivDate = page[1].TodayDate + 20;
        for (TInOutObj& p : page) {
            for (int s = 1; s <= p.NumStrikes; ++s)
                p.Vol(s, 2) = 0.2f + 0.01f * static_cast<float>(s);  // a skew: powers per option
            PriceBinomial(p);
        }
        return page;
    };
    const auto one = priced(1), four = priced(4);
    for (std::size_t e = 0; e < one.size(); ++e)
        for (int s = 1; s <= one[e].NumStrikes; ++s)
            for (int k = 1; k <= 2; ++k) {
                SCOPED_TRACE(::testing::Message() << "expiry " << e << " strike " << s << " side " << k);
                EXPECT_TRUE(SameBits(one[e].Theo(s, k), four[e].Theo(s, k)));
                EXPECT_TRUE(SameBits(one[e].Delta(s, k), four[e].Delta(s, k)));
                EXPECT_TRUE(SameBits(one[e].Gamma(s, k), four[e].Gamma(s, k)));
                EXPECT_TRUE(SameBits(one[e].Decay(s, k), four[e].Decay(s, k)));
            }
}

TEST(BinomialReference, FlushingDenormalsChangesOnlyValuesBelowTheNormalRange)
{
    // Far out of the money the far nodes' values sink below the normal
    // range (1.2e-38); the plain loop here keeps them, the library flushes
    // them. A result that differs was itself below that range and is 0 in
    // the library (its cell blank rather than a signed zero); every other
    // result shows the same text.
    struct Case {
        float sigma;
        int days;
        float strike;
    };
    const Case cases[] = {{0.05f, 365, 60}, {0.05f, 1000, 40}, {0.12f, 365, 400}, {0.3f, 5, 160}};
    int flushed = 0;
    for (const Case c : cases) {
        TInOutObj p = MakeSeries(kEquity, kBinomial, 100, 0.05f, c.sigma, c.days, {c.strike});
        p.Steps = 400;
        PriceBinomial(p);
        TInOutObj reference = p;
        for (int k = 1; k <= 2; ++k) {
            const Outputs ref = ReferenceTree(p, 1, k);
            reference.Theo(1, k) = ref.theo;
            reference.Delta(1, k) = ref.delta;
            reference.Gamma(1, k) = ref.gamma;
            reference.Decay(1, k) = ref.decay;
            for (int column = 7; column <= 10; ++column) {
                const float mine = column == 7   ? p.Theo(1, k)
                                   : column == 8 ? p.Delta(1, k)
                                   : column == 9 ? p.Gamma(1, k)
                                                 : p.Decay(1, k);
                const float theirs = column == 7   ? ref.theo
                                     : column == 8 ? ref.delta
                                     : column == 9 ? ref.gamma
                                                   : ref.decay;
                SCOPED_TRACE(::testing::Message()
                             << "days " << c.days << " strike " << c.strike << " side " << k << " column "
                             << column << ": " << mine << " vs " << theirs);
                if (std::fabs(theirs) < std::numeric_limits<float>::min() && theirs != 0) {
                    EXPECT_EQ(mine, 0.0f);
                    ++flushed;
                } else {
                    EXPECT_EQ(GridCellText(p, 1, k, column), GridCellText(reference, 1, k, column));
                }
            }
        }
    }
    EXPECT_GT(flushed, 0) << "no case reached the values that are flushed";
}

TEST(BinomialReference, OverflowIsReportedForTheFirstOptionInGridOrder)
{
    // Several threads meet overflowing trees; the report names the first in
    // the grid's order, whichever thread met it.
    const ThreadCount count(4);
    TInOutObj p = MakeSeries(kEquity, kBinomial, 100, 0.05f, 3.0f, 1095, {90, 100, 110});
    p.Steps = 400;
    try {
        PriceBinomial(p);
        FAIL() << "an overflowing tree must be reported";
    } catch (const PricingError& e) {
        EXPECT_NE(std::string(e.what()).find("strike 1 (call)"), std::string::npos) << e.what();
    }
}
