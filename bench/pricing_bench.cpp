// Speed of the models on the largest page a series holds.

#include <benchmark/benchmark.h>

#include <algorithm>

#include "pricing/Models.h"
#include "pricing/pricing_fixtures.h"

using namespace kestrava;
using kestrava::fixtures::LargestPage;

static void BM_EuropeanPage(benchmark::State& state)
{
    auto page = LargestPage(kEquity, kBlackScholes);
    for (auto _ : state) {
        for (TInOutObj& p : page) {
            PriceBlackScholes(p);
            ComputeProbabilities(p);
        }
        benchmark::DoNotOptimize(page.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_EuropeanPage)->Unit(benchmark::kMicrosecond);

static void BM_BinomialPage(benchmark::State& state)
{
    auto page = LargestPage(kEquity, kBinomial);
    for (auto _ : state) {
        for (TInOutObj& p : page)
            PriceBinomial(p);
        benchmark::DoNotOptimize(page.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BinomialPage)->Unit(benchmark::kMillisecond);

static void BM_WhaleyPage(benchmark::State& state)
{
    // An index with a 2 % yield, so that the early-exercise premium is computed.
    auto page = LargestPage(kIndex, kWhaley, 0.02f);
    for (auto _ : state) {
        for (TInOutObj& p : page)
            PriceWhaley(p);
        benchmark::DoNotOptimize(page.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_WhaleyPage)->Unit(benchmark::kMicrosecond);

static void BM_ImpliedVolPage(benchmark::State& state)
{
    // Bids and asks a few cents either side of the model value at 25 %.
    auto page = LargestPage(kEquity, kBlackScholes);
    for (TInOutObj& p : page) {
        p.Sigma = 0.22f;
        for (int s = 1; s <= kMaxStrikes; ++s) {
            for (int k = 1; k <= 2; ++k) {
                p.Vol(s, k) = 0.25f;
            }
        }
        PriceBlackScholes(p);
        for (int s = 1; s <= kMaxStrikes; ++s) {
            for (int k = 1; k <= 2; ++k) {
                p.Bid(s, k) = std::max(0.05f, p.Theo(s, k) - 0.05f);
                p.Ask(s, k) = p.Theo(s, k) + 0.05f;
            }
        }
    }
    for (auto _ : state) {
        for (TInOutObj& p : page) {
            SolveBidIV(p);
            SolveAskIV(p);
        }
        benchmark::DoNotOptimize(page.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ImpliedVolPage)->Unit(benchmark::kMicrosecond);
