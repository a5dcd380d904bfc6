// Speed of a position's risk graph: 101 prices by 3 dates of a four-leg
// position on the largest page a series holds, under each model. The goal is
// under 100 ms with the binomial tree and under 5 ms with the European model.

#include <benchmark/benchmark.h>

#include "analysis/RiskGraph.h"
#include "pricing/pricing_fixtures.h"
#include "pricing/recalc.h"

using namespace kestrava;

namespace {

struct Page {
    std::vector<TInOutObj> expiries;
    std::vector<const TInOutObj*> pointers;
    Position position;
};

PositionLeg Leg(const TInOutObj& p, int s, int k, int quantity)
{
    PositionLeg leg;
    leg.expiry = p.ExpiryDate;
    leg.strike = p.Strike(s, k);
    leg.side = k;
    leg.quantity = quantity;
    leg.price = p.Theo(s, k);
    return leg;
}

// An iron condor of the 30-day expiry (puts 90 and 94, calls 106 and 110)
// or, calendar, the same short legs of 30 days against long legs of 60
// days, whose tree runs on the first expiry's date too.
Page MakePage(int model, bool calendar, int steps)
{
    Page page;
    page.expiries = fixtures::LargestPage(kEquity, model);
    for (TInOutObj& p : page.expiries) {
        p.Steps = steps;
        RecalcExpiry(p, VolSource::Flat);
    }
    for (const TInOutObj& p : page.expiries)
        page.pointers.push_back(&p);
    const TInOutObj& near = page.expiries[0];
    const TInOutObj& wings = calendar ? page.expiries[1] : near;
    // Strikes 80 to 118 by 2: 90 is s = 6, 94 s = 8, 106 s = 14, 110 s = 16.
    page.position.legs = {Leg(wings, 6, 2, 1), Leg(near, 8, 2, -1), Leg(near, 14, 1, -1),
                          Leg(wings, 16, 1, 1)};
    return page;
}

void RiskGraphOf(benchmark::State& state, int model, bool calendar, int steps = 200)
{
    const Page page = MakePage(model, calendar, steps);
    for (auto _ : state) {
        RiskGraph graph = ComputeRiskGraph(page.pointers, page.position);
        benchmark::DoNotOptimize(graph.pnl.data());
    }
}

}  // namespace

static void BM_RiskGraphBinomial(benchmark::State& state)
{
    RiskGraphOf(state, kBinomial, false, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_RiskGraphBinomial)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_RiskGraphBinomialCalendar(benchmark::State& state)
{
    RiskGraphOf(state, kBinomial, true, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_RiskGraphBinomialCalendar)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_RiskGraphEuropean(benchmark::State& state)
{
    RiskGraphOf(state, kBlackScholes, state.range(0) != 0);
}
BENCHMARK(BM_RiskGraphEuropean)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

static void BM_RiskGraphWhaley(benchmark::State& state)
{
    RiskGraphOf(state, kWhaley, state.range(0) != 0);
}
BENCHMARK(BM_RiskGraphWhaley)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
