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

// The argument is the number of threads; 0 is every hardware thread.
static void BM_BinomialPage(benchmark::State& state)
{
    SetBinomialThreads(static_cast<int>(state.range(0)));
    auto page = LargestPage(kEquity, kBinomial);
    for (auto _ : state) {
        for (TInOutObj& p : page)
            PriceBinomial(p);
        benchmark::DoNotOptimize(page.data());
        benchmark::ClobberMemory();
    }
    SetBinomialThreads(0);
}
BENCHMARK(BM_BinomialPage)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

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

#ifdef KESTRAVA_HAVE_QUANTLIB
#include <ql/exercise.hpp>
#include <ql/instruments/vanillaoption.hpp>
#include <ql/methods/lattices/binomialtree.hpp>
#include <ql/pricingengines/vanilla/binomialengine.hpp>
#include <ql/processes/blackscholesprocess.hpp>
#include <ql/quotes/simplequote.hpp>
#include <ql/settings.hpp>
#include <ql/termstructures/volatility/equityfx/blackconstantvol.hpp>
#include <ql/termstructures/yield/flatforward.hpp>
#include <ql/time/calendars/nullcalendar.hpp>
#include <ql/time/daycounters/actual365fixed.hpp>

// The same page through the reference library's Cox-Ross-Rubinstein engine:
// 3 expiries (30, 60, 90 days) x 20 strikes (80 to 118) x call and put,
// American exercise, 400 steps, underlying 100, rate 5 %, volatility 25 %.
static void BM_ReferenceCRRPage(benchmark::State& state)
{
    namespace ql = QuantLib;
    const ql::Date today(2, ql::January, 2008);
    ql::Settings::instance().evaluationDate() = today;
    const ql::DayCounter dayCounter = ql::Actual365Fixed();
    auto spot = QuantLib::ext::make_shared<ql::SimpleQuote>(100.0);
    const ql::Handle<ql::YieldTermStructure> rate(
        QuantLib::ext::make_shared<ql::FlatForward>(today, 0.05, dayCounter));
    const ql::Handle<ql::YieldTermStructure> yield(
        QuantLib::ext::make_shared<ql::FlatForward>(today, 0.0, dayCounter));
    const ql::Handle<ql::BlackVolTermStructure> vol(
        QuantLib::ext::make_shared<ql::BlackConstantVol>(today, ql::NullCalendar(), 0.25, dayCounter));
    auto process = QuantLib::ext::make_shared<ql::BlackScholesMertonProcess>(ql::Handle<ql::Quote>(spot),
                                                                             yield, rate, vol);
    auto engine = QuantLib::ext::make_shared<ql::BinomialVanillaEngine<ql::CoxRossRubinstein>>(process, 400);

    std::vector<ql::VanillaOption> options;
    for (int days : {30, 60, 90}) {
        auto exercise = QuantLib::ext::make_shared<ql::AmericanExercise>(today, today + days);
        for (int s = 0; s < 20; ++s) {
            for (ql::Option::Type type : {ql::Option::Call, ql::Option::Put}) {
                options.emplace_back(QuantLib::ext::make_shared<ql::PlainVanillaPayoff>(type, 80.0 + 2.0 * s),
                                     exercise);
                options.back().setPricingEngine(engine);
            }
        }
    }
    double price = 100.0;
    for (auto _ : state) {
        // Another underlying price each pass, so every option is priced again.
        price = price == 100.0 ? 101.0 : 100.0;
        spot->setValue(price);
        double sum = 0;
        for (ql::VanillaOption& option : options)
            sum += option.NPV() + option.delta() + option.gamma();
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ReferenceCRRPage)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif
