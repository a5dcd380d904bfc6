// The chart's arithmetic: the axis scale and its step table, the days that
// fit, the loading of the slots, the rolling volatility with its window
// rules, the title line and the month marks.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "chart/AxisScale.h"
#include "chart/ChartData.h"
#include "chart_testdata.h"
#include "marketdata/SigmaObj.h"
#include "support/recording_notifier.h"

using namespace kestrava;
using kestrava::charttest::Days;
using kestrava::charttest::WriteWorkFile;

namespace {

struct AxisCase {
    float lowest, highest;
    float low, high, step;
};

TEST(AxisScale, RoundsOutwardsToWholeSteps)
{
    const AxisCase cases[] = {
        {21.3f, 38.9f, 20, 40, 2},             // whole units
        {2.13f, 4.87f, 2, 5, 0.5f},            // a span up to 5, in hundredths
        {0.512f, 0.538f, 0.51f, 0.54f, 0.005f},  // a span up to 1, in ten-thousandths
        {0, 350000, 0, 400000, 100000},        // beyond the table: powers of ten
        {120, 3400000, 0, 4000000, 1000000},
    };
    for (const AxisCase& c : cases) {
        const AxisScale scale = MakeAxisScale(c.lowest, c.highest);
        SCOPED_TRACE(testing::Message() << c.lowest << " to " << c.highest << " gave " << scale.low
                                        << " to " << scale.high << " by " << scale.step);
        EXPECT_FLOAT_EQ(scale.low, c.low);
        EXPECT_FLOAT_EQ(scale.high, c.high);
        EXPECT_FLOAT_EQ(scale.step, c.step);
    }
}

// Any range: the axis covers it, starts and ends on a step, and carries a
// readable number of labels, the top one included.
TEST(AxisScale, CoversEveryRangeWithAFewLabels)
{
    std::mt19937 random(20240917);
    std::uniform_real_distribution<double> magnitude(-3, 6);
    std::uniform_real_distribution<double> share(0, 1);
    for (int i = 0; i < 20000; ++i) {
        const double top = std::pow(10.0, magnitude(random));
        const float highest = static_cast<float>(top);
        const float lowest = static_cast<float>(top * (i % 10 == 0 ? 1.0 : share(random)));
        const AxisScale scale = MakeAxisScale(lowest, highest);
        SCOPED_TRACE(testing::Message() << lowest << " to " << highest);
        ASSERT_GT(scale.step, 0);
        ASSERT_LE(scale.low, lowest * (1 + 1e-6f));
        ASSERT_GE(scale.high, highest * (1 - 1e-6f));
        ASSERT_GE(scale.LabelCount(), 2);
        ASSERT_LE(scale.LabelCount(), 13);
        ASSERT_NEAR(scale.LabelValue(scale.LabelCount() - 1), scale.high,
                    std::max(scale.step * 1e-6, scale.high * 2e-7));  // the single's own precision
    }
}

TEST(ChartLayout, DaysThatFitBetweenTheMargins)
{
    // 600 pixels, a "W" of 8 and the left margin of 8 of them, 2 pixels a day.
    EXPECT_EQ(DaysThatFit(600, 8, 64, 2), 236);
    EXPECT_LE(DaysThatFit(100, 8, 64, 2), 0);
}

class ChartDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = std::filesystem::temp_directory_path()
               / ("kestrava-chart-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Loads `fit` days of file and computes a window of `window` days.
    TChartData& Chart(const std::vector<TPriceRecord>& records, int fit, int window)
    {
        chart_ = std::make_unique<TChartData>(notifier_);
        chart_->FileName = WriteWorkFile(dir_ / "prices.tem", records);
        chart_->VolDays = window;
        chart_->LoadPrices(fit);
        chart_->ComputeVolatility(LocaleInfo());
        return *chart_;
    }

    std::filesystem::path dir_;
    testsupport::RecordingNotifier notifier_;
    std::unique_ptr<TChartData> chart_;
};

struct WindowCase {
    int records, fit, window;
    int loaded, points, titleDays;
};

TEST_F(ChartDataTest, WindowRules)
{
    const WindowCase cases[] = {
        {250, 236, 30, 236, 206, 30},  // short file: the line starts a window later
        {400, 236, 30, 236, 236, 30},  // long file: the line spans the drawn days
        {100, 236, 90, 100, 50, 50},   // as many records as loaded: the window halves
    };
    for (const WindowCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.records << " records, " << c.window << "-day window");
        const auto records = Days(c.records, EncodeDate(2012, 9, 12));
        TChartData& chart = Chart(records, c.fit, c.window);
        EXPECT_EQ(chart.LoadedPoints, c.loaded);
        EXPECT_EQ(chart.Points, c.points);
        // No symbol: a blank, then the days right-aligned in three.
        EXPECT_EQ(chart.TitleLine.substr(0, 8), "  " + std::to_string(c.titleDays) + "-Day");
        // The newest value is the history button's volatility over the same
        // closes, and it stands on the newest day.
        TSigmaObj sigma(notifier_);
        sigma.FileName = chart.FileName;
        sigma.Days = c.titleDays;
        sigma.Calculate();
        EXPECT_NEAR(chart.Slots[kChartNewestSlot].Volume, sigma.Sigma * 100, 1e-4);
        EXPECT_EQ(chart.Slots[kChartNewestSlot].Date, records.back().Date);
        EXPECT_EQ(chart.Slots[static_cast<std::size_t>(chart.FirstDrawnSlot())].Date,
                  records[static_cast<std::size_t>(c.records - c.points + 1)].Date);
        EXPECT_TRUE(notifier_.messages.empty());
    }
}

TEST_F(ChartDataTest, TooFewDaysWarnAndDrawNoVolatility)
{
    TChartData& chart = Chart(Days(29, EncodeDate(2012, 9, 12)), 236, 30);
    EXPECT_EQ(chart.Points, 0);
    EXPECT_TRUE(chart.TitleLine.empty());
    ASSERT_EQ(notifier_.warnings.size(), 1u);
    EXPECT_EQ(notifier_.warnings[0], kChartTooFewDays);
}

TEST_F(ChartDataTest, AZeroCloseInsideAWindowIsReportedNotDivided)
{
    auto records = Days(120, EncodeDate(2012, 9, 12));
    records[100].Close = 0;
    TChartData& chart = Chart(records, 236, 30);
    EXPECT_EQ(chart.Points, 0);
    EXPECT_TRUE(chart.TitleLine.empty());
    ASSERT_EQ(notifier_.infos.size(), 1u);
    EXPECT_EQ(notifier_.infos[0], kChartVolatilityProblem);
}

TEST_F(ChartDataTest, UnreadablePricesLoadNothing)
{
    auto records = Days(60, EncodeDate(2012, 9, 12), true);
    records[50].High = std::nanf("");
    TChartData chart(notifier_);
    chart.FileName = WriteWorkFile(dir_ / "bad.tem", records);
    chart.LoadPrices(236);
    EXPECT_EQ(chart.Points, 0);
    EXPECT_EQ(notifier_.infos, std::vector<std::string>{kChartReadProblem});

    chart.FileName = WriteWorkFile(dir_ / "empty.tem", {});
    EXPECT_THROW(chart.LoadPrices(236), MarketDataError);
}

TEST_F(ChartDataTest, HighsAndLowsFollowTheNewestRecord)
{
    auto records = Days(40, EncodeDate(2012, 9, 12), true);
    records[10].High = records[10].Low = 0;
    EXPECT_EQ(Chart(records, 236, 30).DataKind, 3);
    records.back().High = records.back().Low = 0;
    TChartData& closesOnly = Chart(records, 236, 30);
    EXPECT_EQ(closesOnly.DataKind, 1);
    EXPECT_EQ(closesOnly.Slots[kChartNewestSlot - 5].High, 0);  // older highs are not taken
}

TEST(ChartTitle, SymbolWindowVolatilityAndClose)
{
    const TDateTime day = EncodeDate(2012, 9, 12);
    EXPECT_EQ(ChartTitle("SPY", 30, 23.456f, 123.45f, day, LocaleInfo()),
              "SPY  30-Day Volatility Plot:  23.46% thru Close of 123.45 on 2012-09-12");
    // The screen chart has no symbol; numbers and date follow the locale.
    EXPECT_EQ(ChartTitle("", 90, 9.7f, 2097.94f, day, LocaleInfo::FromPattern("dd.MM.yyyy", ',')),
              "  90-Day Volatility Plot:   9,70% thru Close of 2097,94 on 12.09.2012");
}

TEST_F(ChartDataTest, MonthsAreMarkedWhereTheyChangeJanuaryByItsYear)
{
    // Every day from 10 June 2011 to 15 February 2012.
    const TDateTime last = EncodeDate(2012, 2, 15);
    const int days = static_cast<int>(last - EncodeDate(2011, 6, 10)) + 1;
    TChartData chart(notifier_);
    chart.FileName = WriteWorkFile(dir_ / "months.tem", Days(days, last));
    chart.LoadPrices(400);
    std::vector<std::string> texts;
    for (const TChartData::MonthMark& mark : chart.MonthMarks()) {
        texts.push_back(mark.text);
        EXPECT_EQ(DecodeDate(chart.Slots[static_cast<std::size_t>(mark.slot)].Date).day, 1) << mark.text;
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Jly", "Aug", "Sep", "Oct", "Nov", "Dec", "2012", "Feb"}));
}

}  // namespace
