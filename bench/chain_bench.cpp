// Speed of the whole chain of the largest real quote table (SPY of 25
// November 2016: 36,000 lines, 27 expiries): read, one row per option
// chosen and every mid volatility solved. The goal is under 150 ms with the
// European formula and under 1.5 s with the binomial tree at 200 steps, on
// every core. Run with --benchmark_repetitions=5 for medians.

#include <benchmark/benchmark.h>

#include <string>

#include "analysis/ChainSolve.h"
#include "analysis/QuoteChain.h"

using namespace kestrava;

namespace {

const std::string kSpy = std::string(KESTRAVA_REALWORLD_DIR) + "/quotes-spy-2016-11-25.dat";

void ReadAndSolve(benchmark::State& state, ChainModel model, ChainSolveScope scope)
{
    ChainInputs inputs;
    inputs.model = model;
    inputs.steps = 200;
    inputs.rates.flat = 0.005;
    inputs.dividend.yield = 0.02;
    for (auto _ : state) {
        const QuoteChain chain = ReadQuoteChain(kSpy);
        const ChainRoot& root = chain.roots[static_cast<std::size_t>(chain.DefaultRoot())];
        const std::vector<ExpiryVols> vols = SolveChain(root, chain.underlyingLast, chain.quoteDate, inputs,
                                                        scope);
        benchmark::DoNotOptimize(vols.data());
    }
}

}  // namespace

static void BM_ChainRead(benchmark::State& state)
{
    for (auto _ : state) {
        const QuoteChain chain = ReadQuoteChain(kSpy);
        benchmark::DoNotOptimize(chain.roots.data());
    }
}
BENCHMARK(BM_ChainRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// The command line's table: the mid volatilities.
static void BM_ChainMidEuropean(benchmark::State& state)
{
    ReadAndSolve(state, ChainModel::European, ChainSolveScope::MidOnly);
}
BENCHMARK(BM_ChainMidEuropean)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_ChainMidBinomial(benchmark::State& state)
{
    ReadAndSolve(state, ChainModel::Binomial, ChainSolveScope::MidOnly);
}
BENCHMARK(BM_ChainMidBinomial)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_ChainMidWhaley(benchmark::State& state)
{
    ReadAndSolve(state, ChainModel::Whaley, ChainSolveScope::MidOnly);
}
BENCHMARK(BM_ChainMidWhaley)->Unit(benchmark::kMillisecond)->UseRealTime();

// The window's: the bid's, the ask's and the mid's volatilities.
static void BM_ChainAllBinomial(benchmark::State& state)
{
    ReadAndSolve(state, ChainModel::Binomial, ChainSolveScope::BidAskMid);
}
BENCHMARK(BM_ChainAllBinomial)->Unit(benchmark::kMillisecond)->UseRealTime();
