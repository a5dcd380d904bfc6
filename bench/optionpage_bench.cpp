// Calculate on the largest page: 3 expiries of 20 strikes, from the button
// click until the grid holds the new texts. One frame (16 ms) is the goal.
// Loading a 20-strike expiry from the largest real quote table into a page:
// under 20 ms is the goal.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include "common/notifier.h"
#include "controls/rmSpin.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "pagecore/QuoteLoad.h"
#include "pricing/IORecObj1.h"
#include "pricing/Models.h"

using namespace kestrava;

namespace {

std::unique_ptr<TfrmOPage> LargestPage(int model)
{
    static SilentNotifier notifier;
    PageSource source;
    SeriesSetup& setup = source.setup;
    setup.numExpiries = 3;
    const QDate today = QDate::currentDate();
    setup.expiryDates = {today.addDays(30), today.addDays(90), today.addDays(180)};
    setup.numStrikes = QStringLiteral("20");
    setup.firstStrike = QStringLiteral("80");
    setup.strikeIncrement = QStringLiteral("2.5");
    setup.optionSymbol = QStringLiteral("XYZ");
    setup.contractType = kEquity;
    setup.model = model;
    PageEnvironment environment;
    environment.defaultRates = {0.05f, 0.05f, 0.05f};
    return std::unique_ptr<TfrmOPage>(TfrmOPage::Create(environment, source, notifier));
}

// Each pass prices at another underlying price, so every value cell of the
// shown expiry gets a new text.
void Calculate(benchmark::State& state, int model, int steps, bool paint = false)
{
    auto page = LargestPage(model);
    if (!page) {
        state.SkipWithError("the page could not be built");
        return;
    }
    if (model == kBinomial)
        page->InputBar().seSteps->SetValue(steps);
    if (paint)
        page->show();
    double price = 100.0;
    for (auto _ : state) {
        state.PauseTiming();
        price = price == 100.0 ? 101.0 : 100.0;
        page->InputBar().fseUlying->SetValue(price);
        const QString before = page->Controls().TheGrid->CellText(7, 10);
        state.ResumeTiming();

        page->InputBar().cmdReCalc->click();
        if (paint)
            page->Controls().TheGrid->viewport()->repaint();

        state.PauseTiming();
        if (page->Controls().TheGrid->CellText(7, 10) == before)
            state.SkipWithError("the grid kept its old texts");
        state.ResumeTiming();
    }
}

void BM_CalculateBinomial400(benchmark::State& state)
{
    Calculate(state, kBinomial, 400);
}
BENCHMARK(BM_CalculateBinomial400)->Unit(benchmark::kMillisecond);

// The three trees of that page priced alone, without the page: what
// Calculate costs beyond them is the page's own work.
void BM_TreesOfTheCalculatePage(benchmark::State& state)
{
    auto page = LargestPage(kBinomial);
    if (!page) {
        state.SkipWithError("the page could not be built");
        return;
    }
    page->InputBar().seSteps->SetValue(400);
    std::vector<TInOutObj> trees;
    for (const TInOutObj* p : page->Series().Expiries())
        trees.push_back(*p);
    float price = 100.0f;
    for (auto _ : state) {
        price = price == 100.0f ? 101.0f : 100.0f;
        for (TInOutObj& p : trees) {
            p.Underlying = price;
            p.Steps = 400;
            for (int s = 1; s <= p.NumStrikes; ++s)
                p.Vol(s, 1) = p.Vol(s, 2) = p.Sigma;
            PriceBinomial(p);
        }
        benchmark::DoNotOptimize(trees.data());
    }
}
BENCHMARK(BM_TreesOfTheCalculatePage)->Unit(benchmark::kMillisecond);

// The same, with the grid painted on the screen before the clock stops.
void BM_CalculateBinomial400AndPaint(benchmark::State& state)
{
    Calculate(state, kBinomial, 400, true);
}
BENCHMARK(BM_CalculateBinomial400AndPaint)->Unit(benchmark::kMillisecond);

void BM_CalculateBlackScholes(benchmark::State& state)
{
    Calculate(state, kBlackScholes, 0);
}
BENCHMARK(BM_CalculateBlackScholes)->Unit(benchmark::kMillisecond);

void BM_CalculateWhaley(benchmark::State& state)
{
    Calculate(state, kWhaley, 0);
}
BENCHMARK(BM_CalculateWhaley)->Unit(benchmark::kMillisecond);

// The SPY quote table of 25 November 2016: 36,163 rows, 3.8 MiB.
const QString kLargestTable = QStringLiteral(KESTRAVA_REALWORLD_DIR "/quotes-spy-2016-11-25.dat");

// A page of one SPY expiry of 20 strikes whose quote file is the largest
// real table.
std::unique_ptr<TfrmOPage> QuotedPage(const QTemporaryDir& data, QDate expiry, const char* first,
                                      const char* step)
{
    static SilentNotifier notifier;
    if (!QFile::exists(data.filePath(QStringLiteral("SPY.txt")))
        && !QFile::copy(kLargestTable, data.filePath(QStringLiteral("SPY.txt"))))
        return nullptr;
    PageSource source;
    SeriesSetup& setup = source.setup;
    setup.numExpiries = 1;
    setup.expiryDates = {expiry, QDate(), QDate()};
    setup.numStrikes = QStringLiteral("20");
    setup.firstStrike = QLatin1String(first);
    setup.strikeIncrement = QLatin1String(step);
    setup.optionSymbol = setup.symbolText = QStringLiteral("SPY");
    setup.contractType = kEquity;
    setup.model = kBlackScholes;
    PageEnvironment environment;
    environment.dataDirectory = data.path();
    return std::unique_ptr<TfrmOPage>(TfrmOPage::Create(environment, source, notifier));
}

// What a download's end does on the current page: the contract list from
// the whole table, the expiry's quotes, the implied volatilities, Calculate.
void LoadQuotes(benchmark::State& state, QDate expiry, const char* first, const char* step)
{
    QTemporaryDir data;
    auto page = QuotedPage(data, expiry, first, step);
    if (!page || page->InputBar().cmboOptSymbols->count() == 0 || !(page->SeriesAt(0)->Last(20, 1) > 0)) {
        state.SkipWithError("the page did not load the table's quotes");
        return;
    }
    for (auto _ : state)
        page->RefreshAfterDownload();
}
// Near the middle of the file.
BENCHMARK_CAPTURE(LoadQuotes, December2016_200to219, QDate(2016, 12, 16), "200", "1")
    ->Unit(benchmark::kMillisecond);
// The last expiry: the whole file is read twice.
BENCHMARK_CAPTURE(LoadQuotes, January2019_125to220, QDate(2019, 1, 18), "125", "5")
    ->Unit(benchmark::kMillisecond);

// Calculate on that page in the flat mode: every quoted strike's implied
// volatilities are solved before the grid is written.
void BM_CalculateQuotedFlat(benchmark::State& state)
{
    QTemporaryDir data;
    auto page = QuotedPage(data, QDate(2016, 12, 16), "200", "1");
    if (!page || !(page->SeriesAt(0)->Last(20, 1) > 0)) {
        state.SkipWithError("the page did not load the table's quotes");
        return;
    }
    page->InputBar().rbtnLevel->click();
    const double close = page->InputBar().fseUlying->Value();
    double price = close;
    for (auto _ : state) {
        state.PauseTiming();
        price = price == close ? close + 1 : close;
        page->InputBar().fseUlying->SetValue(price);
        const QString before = page->Controls().TheGrid->CellText(7, 10);
        state.ResumeTiming();

        page->InputBar().cmdReCalc->click();

        state.PauseTiming();
        if (page->Controls().TheGrid->CellText(7, 10) == before)
            state.SkipWithError("the grid kept its old texts");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CalculateQuotedFlat)->Unit(benchmark::kMillisecond);

// The reader's part of it: one expiry's quotes into its series.
void BM_LoadExpiryQuotesOnly(benchmark::State& state)
{
    QTemporaryDir data;
    auto page = QuotedPage(data, QDate(2019, 1, 18), "125", "5");
    if (!page) {
        state.SkipWithError("the page could not be built");
        return;
    }
    TInOutObj series = *page->SeriesAt(0);
    SilentNotifier notifier;
    const std::string file = data.filePath(QStringLiteral("SPY.txt")).toStdString();
    for (auto _ : state) {
        UnderlyingQuote underlying;
        benchmark::DoNotOptimize(LoadExpiryQuotes(series, file, "SPY", notifier, LocaleInfo{}, underlying));
    }
}
BENCHMARK(BM_LoadExpiryQuotesOnly)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
