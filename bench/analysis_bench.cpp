// Speed of a position's what-if analysis on the largest page a series holds
// (3 expiries, 20 strikes, 400 tree steps): a four-leg iron condor of the
// 30-day expiry, or a calendar of the same short legs against long legs of
// 60 days, every leg quoted a dime wide around its value at a skewed
// volatility, so each is marked at its mid and priced at its own solved
// volatility. The goals: one redraw of the risk graph (101 prices by 3
// dates) under 16 ms with the tree and under 1 ms with the closed forms;
// the probability figures under 1 ms; a tree's implied volatility at 400
// steps under 2 ms.

#include <benchmark/benchmark.h>

#include <vector>

#include "analysis/MarkedPosition.h"
#include "analysis/Probability.h"
#include "analysis/RiskGraph.h"
#include "pricing/modeliv.h"
#include "pricing/Models.h"
#include "pricing/pricing_fixtures.h"
#include "pricing/recalc.h"

#include "condor_page.h"

using namespace kestrava;
using benchpage::MakePage;
using benchpage::Page;

namespace {

// Today's price of 100 less and plus a quarter, by half a point.
std::vector<double> Prices()
{
    std::vector<double> prices;
    for (int i = 0; i < kDefaultRiskPoints; ++i)
        prices.push_back(75 + 0.5 * i);
    return prices;
}

// One redraw: the marked position is kept between redraws, the scenario
// and the prices change.
void Redraw(benchmark::State& state, int model, bool calendar, SkewRule rule = SkewRule::StickyStrike)
{
    const Page page = MakePage(model, calendar);
    const MarkedPosition marked(page.pointers, page.position);
    Scenario scenario;
    scenario.skew = rule;
    const std::vector<double> prices = Prices();
    int day = 0;
    for (auto _ : state) {
        // A drag of the date slider: a new date each frame.
        scenario.date = page.expiries[0].TodayDate + 1 + (day++ % 25);
        RiskGraph graph = ComputeRiskGraph(marked, scenario, prices);
        benchmark::DoNotOptimize(graph.pnl.data());
    }
}

}  // namespace

// Threads 0 is every hardware thread.
static void BM_RedrawBinomial(benchmark::State& state)
{
    SetBinomialThreads(static_cast<int>(state.range(1)));
    Redraw(state, kBinomial, state.range(0) != 0);
    SetBinomialThreads(0);
}
BENCHMARK(BM_RedrawBinomial)
    ->ArgNames({"calendar", "threads"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

static void BM_RedrawBinomialStickyMoneyness(benchmark::State& state)
{
    Redraw(state, kBinomial, state.range(0) != 0, SkewRule::StickyMoneyness);
}
BENCHMARK(BM_RedrawBinomialStickyMoneyness)
    ->ArgName("calendar")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

static void BM_RedrawEuropean(benchmark::State& state)
{
    Redraw(state, kBlackScholes, state.range(0) != 0);
}
BENCHMARK(BM_RedrawEuropean)
    ->ArgName("calendar")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

static void BM_RedrawWhaley(benchmark::State& state)
{
    Redraw(state, kWhaley, state.range(0) != 0);
}
BENCHMARK(BM_RedrawWhaley)->ArgName("calendar")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The graph from the page's expiries, marking the legs each time (what the
// tab does when the expiries or the position change).
static void BM_RiskGraphFromExpiries(benchmark::State& state)
{
    const Page page = MakePage(static_cast<int>(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        RiskGraph graph = ComputeRiskGraph(page.pointers, page.position);
        benchmark::DoNotOptimize(graph.pnl.data());
    }
}
BENCHMARK(BM_RiskGraphFromExpiries)
    ->ArgNames({"model", "calendar"})
    ->ArgsProduct({{kBlackScholes, kBinomial, kWhaley}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

static void BM_Probabilities(benchmark::State& state)
{
    const Page page = MakePage(static_cast<int>(state.range(0)), state.range(1) != 0);
    const MarkedPosition marked(page.pointers, page.position);
    for (auto _ : state) {
        ProbabilityFigures figures = ComputeProbabilities(marked, Scenario{});
        benchmark::DoNotOptimize(figures.popExpiry);
    }
}
BENCHMARK(BM_Probabilities)
    ->ArgNames({"model", "calendar"})
    ->ArgsProduct({{kBlackScholes, kBinomial, kWhaley}, {0, 1}})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// One leg's volatility from its mid on a 400-step tree: a put out of the
// money, one at the money, a call in the money.
static void BM_TreeImpliedVol(benchmark::State& state)
{
    const Page page = MakePage(kBinomial, false);
    const TInOutObj& p = page.expiries[0];
    const int s = static_cast<int>(state.range(0));
    const int k = static_cast<int>(state.range(1));
    OptionPricer pricer(p);
    pricer.MoveTo(p.TodayDate, p.Underlying, p.Rate);
    const double mid = (p.Bid(s, k) + p.Ask(s, k)) / 2.0;
    for (auto _ : state)
        benchmark::DoNotOptimize(SolveModelIV(pricer, p.Strike(s, k), k, mid));
}
BENCHMARK(BM_TreeImpliedVol)
    ->ArgNames({"strike", "side"})
    ->Args({6, 2})
    ->Args({11, 2})
    ->Args({6, 1})
    ->Unit(benchmark::kMillisecond);

// One tree of 400 steps at the money, the unit the redraw is counted in.
static void BM_OneTree(benchmark::State& state)
{
    const Page page = MakePage(kBinomial, false);
    const TInOutObj& p = page.expiries[0];
    OptionPricer pricer(p);
    pricer.MoveTo(p.TodayDate, p.Underlying, p.Rate);
    for (auto _ : state)
        benchmark::DoNotOptimize(pricer.Value(100, 1, 0.25f));
    // The plain loop's node updates (the steps back from expiry, each of
    // n + 1 nodes), the unit a redraw's trees and the page's are compared in.
    const double steps = p.Steps;
    state.counters["node_updates"] = benchmark::Counter(steps * (steps + 1) / 2,
                                                        benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_OneTree)->Unit(benchmark::kMicrosecond);
