// Calculate on the largest page: 3 expiries of 20 strikes, from the button
// click until the grid holds the new texts. One frame (16 ms) is the goal.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDate>
#include <QPushButton>

#include <memory>

#include "common/notifier.h"
#include "controls/rmSpin.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "pricing/IORecObj1.h"

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
        page->seSteps->SetValue(steps);
    if (paint)
        page->show();
    double price = 100.0;
    for (auto _ : state) {
        state.PauseTiming();
        price = price == 100.0 ? 101.0 : 100.0;
        page->fseUlying->SetValue(price);
        const QString before = page->TheGrid->CellText(7, 10);
        state.ResumeTiming();

        page->cmdReCalc->click();
        if (paint)
            page->TheGrid->viewport()->repaint();

        state.PauseTiming();
        if (page->TheGrid->CellText(7, 10) == before)
            state.SkipWithError("the grid kept its old texts");
        state.ResumeTiming();
    }
}

void BM_CalculateBinomial400(benchmark::State& state)
{
    Calculate(state, kBinomial, 400);
}
BENCHMARK(BM_CalculateBinomial400)->Unit(benchmark::kMillisecond);

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
