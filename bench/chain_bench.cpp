// Speed of the whole chain of the largest real quote table (SPY of 25
// November 2016: 36,000 lines, 27 expiries): read, one row per option
// chosen and every mid volatility solved. The goal is under 150 ms with the
// European formula and under 1.5 s with the binomial tree at 200 steps, on
// every core. Run with --benchmark_repetitions=5 for medians.
//
// And the memory of a 200 MB table made from it (BM_ChainReadLargeTable):
// the peak resident size while it is read, beside the size of the rows it
// keeps. The goal is under 400 MB, and under twice the rows kept.
//
// And the delayed-quotes CSV of SPX of 11 June 2022 (1.5 MB, 9,835 rows, two
// roots): read, and every mid volatility of both roots solved with the
// European formula (BM_DelayedQuotesMidEuropean). The goal is under 100 ms.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <fstream>
#include <memory>
#include <string>

#include "analysis/ChainSolve.h"
#include "analysis/QuoteChain.h"
#include "support/large_chain_table.h"
#include "support/scratch_dir.h"

using namespace kestrava;

namespace {

const std::string kSpy = std::string(KESTRAVA_REALWORLD_DIR) + "/quotes-spy-2016-11-25.dat";
const std::string kSpxCsv = std::string(KESTRAVA_REALWORLD_DIR) + "/quotes-spx-2022-06-11.csv";
constexpr std::uint64_t kLargeTableBytes = 200'000'000;

// The large table, written once into a scratch folder of the run's own.
class LargeTable {
public:
    LargeTable() : dir_(testsupport::MakeScratchDir("chain-bench"))
    {
        testsupport::WriteLargeChainTable(kSpy, File(), kLargeTableBytes);
    }
    ~LargeTable() { testsupport::RemoveScratchDir(dir_); }
    std::string File() const { return (dir_ / "large.dat").string(); }

private:
    std::filesystem::path dir_;
};

// A field of /proc/self/status in kB ("VmHWM", "VmRSS"); 0 when unknown.
double StatusKb(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::stod(line.substr(field.size() + 1));
    return 0;
}

// Starts the peak resident size afresh from the present one; false where
// the system cannot, and the peak is then the process's whole life's.
bool ResetPeakResident()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear.flush());
}

double PeakResidentMb()
{
    if (const double kb = StatusKb("VmHWM"); kb > 0)
        return kb / 1024;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

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

static void BM_DelayedQuotesMidEuropean(benchmark::State& state)
{
    ChainInputs inputs;
    inputs.model = ChainModel::European;
    inputs.rates.flat = 0.01;
    std::size_t options = 0;
    for (auto _ : state) {
        const QuoteChain chain = ReadQuoteChain(kSpxCsv);
        options = 0;
        for (const ChainRoot& root : chain.roots) {
            const std::vector<ExpiryVols> vols = SolveChain(root, chain.underlyingLast, chain.quoteDate,
                                                            inputs, ChainSolveScope::MidOnly);
            benchmark::DoNotOptimize(vols.data());
            options += 2 * static_cast<std::size_t>(root.StrikeCount());
        }
    }
    state.counters["options"] = static_cast<double>(options);
}
BENCHMARK(BM_DelayedQuotesMidEuropean)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 200 MB table of nearly two million options, each row kept.
static void BM_ChainReadLargeTable(benchmark::State& state)
{
    static const LargeTable table;
    double peak = 0, before = 0, kept = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const bool fresh = ResetPeakResident();
        before = StatusKb("VmRSS") / 1024;
        state.ResumeTiming();
        const QuoteChain chain = ReadQuoteChain(table.File());
        state.PauseTiming();
        peak = PeakResidentMb();
        if (!fresh)
            state.SetLabel("peak of the whole run");
        kept = 0;
        for (const ChainRoot& root : chain.roots)
            kept += root.StrikeCount();
        state.ResumeTiming();
    }
    state.counters["peak_rss_mb"] = peak;
    state.counters["rss_before_mb"] = before;
    state.counters["rows_kept_mb"] = kept * sizeof(ChainStrike) / (1024 * 1024);
    state.counters["strikes_kept"] = kept;
}
BENCHMARK(BM_ChainReadLargeTable)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
