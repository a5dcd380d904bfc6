// Converting a daily price file and computing its historical volatility, the
// work behind picking a price file; and reading the largest quote tables.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "common/dates.h"
#include "common/localeinfo.h"
#include "common/notifier.h"
#include "marketdata/OptPriceReader.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/SigmaObj.h"

using namespace kestrava;

namespace {

const std::filesystem::path kScratch = std::filesystem::temp_directory_path() / "kestrava-md-bench";

// A newest-first "Date,Open,High,Low,Close,Volume" file of the given number
// of lines, written once per size.
std::string PriceFile(long lines)
{
    static std::map<long, std::string> made;
    if (auto it = made.find(lines); it != made.end())
        return it->second;
    std::filesystem::create_directories(kScratch);
    const std::string path = (kScratch / ("prices-" + std::to_string(lines) + ".csv")).string();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::fputs("Date,Open,High,Low,Close,Volume\n", out);
    const TDateTime newest = EncodeDate(3000, 12, 31);
    for (long i = 0; i < lines; ++i) {
        const CivilDate d = DecodeDate(newest - static_cast<double>(i));
        const double close = 100 + 20 * std::sin(i * 0.01) + (i % 7) * 0.13;
        std::fprintf(out, "%04d-%02d-%02d,%.2f,%.2f,%.2f,%.2f,%ld\n", d.year, d.month, d.day, close - 0.5,
                     close + 1, close - 1, close, 1000000 + i % 5000);
    }
    std::fclose(out);
    return made[lines] = path;
}

double PeakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_ConvertAndHistoricalVolatility(benchmark::State& state)
{
    const std::string source = PriceFile(state.range(0));
    SilentNotifier notifier;
    const LocaleInfo iso = LocaleInfo::FromPattern("yyyy-MM-dd");
    float sigma = 0;
    for (auto _ : state) {
        TAsciiFileReader reader(notifier, iso, kScratch);
        reader.Open(source);
        TSigmaObj hv(notifier);
        hv.FileName = reader.DataFileName;
        hv.Days = 90;
        hv.Calculate();
        sigma = hv.Sigma;
        if (reader.RecordCount != state.range(0) || !(sigma > 0))
            state.SkipWithError("conversion failed");
        std::filesystem::remove(reader.DataFileName);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations()
                            * static_cast<std::int64_t>(std::filesystem::file_size(source)));
    state.counters["sigma"] = sigma;
    state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_ConvertAndHistoricalVolatility)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

// The largest real table, when the shared samples are at hand.
void BM_LoadQuotesLargestTable(benchmark::State& state)
{
    const std::filesystem::path table = std::filesystem::path(KESTRAVA_REALWORLD_DIR)
                                        / "quotes-spy-2016-11-25.dat";
    if (!std::filesystem::exists(table)) {
        state.SkipWithError("quotes-spy-2016-11-25.dat not found");
        return;
    }
    SilentNotifier notifier;
    const std::vector<float> strikes{200, 205, 210, 215, 220, 225, 230, 235, 240};
    for (auto _ : state) {
        TCboePriceReader reader(notifier, LocaleInfo());
        // The last expiry in the file: every row is scanned.
        PrepareQuoteLoad(reader, 1, EncodeDate(2019, 1, 18), "SPY", strikes);
        reader.FileName = table.string();
        benchmark::DoNotOptimize(reader.LoadQuotes());
    }
}
BENCHMARK(BM_LoadQuotesLargestTable)->Unit(benchmark::kMillisecond);

}  // namespace
