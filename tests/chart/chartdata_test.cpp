// The chart's arithmetic: the axis scale and its step table, the days that
// fit, the slots, the rolling volatility with its window rules, the title
// line and the month marks.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "chart_testdata.h"
#include "chartcore/AxisScale.h"
#include "chartcore/ChartData.h"
#include "marketdata/SigmaObj.h"
#include "support/recording_notifier.h"
#include "support/scratch_dir.h"

using namespace kestrava;
using kestrava::charttest::Days;
using kestrava::charttest::WriteWorkFile;

namespace {

TEST(AxisScale, RoundsOutwardsToWholeSteps)
{
    const struct {
        float lowest, highest, low, high, step;
    } cases[] = {
        {21.3f, 38.9f, 20, 40, 2},
        {2.13f, 4.87f, 2, 5, 0.5f},              // a span up to 5, in hundredths
        {0.512f, 0.538f, 0.51f, 0.54f, 0.005f},  // a span up to 1, in ten-thousandths
        {0, 350000, 0, 400000, 100000},          // beyond the table: powers of ten
        {120, 3400000, 0, 4000000, 1000000},
    };
    for (const auto& c : cases) {
        const AxisScale scale = MakeAxisScale(c.lowest, c.highest);
        SCOPED_TRACE(testing::Message() << c.lowest << " to " << c.highest << " gave " << scale.low << " to "
                                        << scale.high << " by " << scale.step);
        EXPECT_FLOAT_EQ(scale.low, c.low);
        EXPECT_FLOAT_EQ(scale.high, c.high);
        EXPECT_FLOAT_EQ(scale.step, c.step);
    }
    EXPECT_EQ(DaysThatFit(600, 8, 64, 2), 236);  // a "W" of 8 pixels, 2 pixels a day
}

// The step of a span of whole units is the smallest of the ladder 1, 2, 5,
// 10, 20, 25, 50, 100, 200, 500, 1000, 10000, 100000, 1000000, ... that
// leaves at most ten steps: every span up to two hundred thousand, each
// row's upper bound and the span just above it among them.
TEST(AxisScale, StepIsTheSmallestOfTheLadderThatLeavesTenSteps)
{
    std::vector<double> ladder = {1, 2, 5, 10, 20, 25, 50, 100, 200, 500, 1000, 10000};
    for (double power = 100000; power < 1e13; power *= 10)
        ladder.push_back(power);
    auto expected = [&](double span) {
        return *std::find_if(ladder.begin(), ladder.end(), [span](double step) { return span <= 10 * step; });
    };
    for (int span = 0; span <= 200000; ++span)
        ASSERT_EQ(AxisStepFor(span), expected(span)) << "span " << span;
    for (double span : {1e6, 1e6 + 1, 1e7, 1e7 + 1, 123456789.0})
        EXPECT_EQ(AxisStepFor(span), expected(span)) << "span " << span;

    // Ranges up to 1 count in ten-thousandths, up to 5 in hundredths.
    const struct {
        float lowest, highest;
        double factor;
    } scaled[] = {{10, 11, 10000}, {10, 11.01f, 100}, {10, 15, 100}, {10, 15.01f, 1}};
    for (const auto& c : scaled)
        EXPECT_EQ(MakeAxisScale(c.lowest, c.highest).factor, c.factor) << c.lowest << " to " << c.highest;
}

// Any range, flat ones included: the axis covers it, and a readable number
// of labels runs from its bottom to its top.
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

class ChartDataTest : public ::testing::Test {
protected:
    void TearDown() override { testsupport::RemoveScratchDir(dir_); }

    TChartData& Load(const std::vector<TPriceRecord>& records, int fit)
    {
        chart_ = std::make_unique<TChartData>(notifier_);
        chart_->FileName = WriteWorkFile(file_, records);
        chart_->LoadPrices(fit);
        return *chart_;
    }

    const std::filesystem::path dir_ = testsupport::MakeScratchDir("kestrava-chart");
    const std::filesystem::path file_ = dir_ / "prices.TEM";
    testsupport::RecordingNotifier notifier_;
    std::unique_ptr<TChartData> chart_;
};

TEST_F(ChartDataTest, WindowRules)
{
    const struct {
        int records, fit, window, zeroCloseAt;
        int loaded, points, titleDays;
        const char* warning;
        const char* info;
    } cases[] = {
        {250, 236, 30, -1, 236, 206, 30, nullptr, nullptr},  // short file: the line starts later
        {400, 236, 30, -1, 236, 236, 30, nullptr, nullptr},  // long file: it spans the drawn days
        {100, 236, 90, -1, 100, 50, 50, nullptr, nullptr},   // as many records as loaded: half the window
        {29, 236, 30, -1, 29, 0, 0, kChartTooFewDays, nullptr},
        {120, 236, 30, 100, 120, 0, 0, nullptr, kChartVolatilityProblem},  // never a division by zero
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.records << " records, a " << c.window << "-day window");
        notifier_ = {};
        auto records = Days(c.records, EncodeDate(2012, 9, 12));
        if (c.zeroCloseAt >= 0)
            records[static_cast<std::size_t>(c.zeroCloseAt)].Close = 0;
        TChartData& chart = Load(records, c.fit);
        chart.VolDays = c.window;
        chart.ComputeVolatility(LocaleInfo());
        EXPECT_EQ(chart.LoadedPoints, c.loaded);
        EXPECT_EQ(chart.Points, c.points);
        EXPECT_EQ(notifier_.warnings,
                  c.warning ? std::vector<std::string>{c.warning} : std::vector<std::string>{});
        EXPECT_EQ(notifier_.infos, c.info ? std::vector<std::string>{c.info} : std::vector<std::string>{});
        if (c.points == 0) {
            EXPECT_EQ(chart.TitleLine, "");
            continue;
        }
        // No symbol: a blank, then the days right-aligned in three.
        EXPECT_EQ(chart.TitleLine.substr(0, 8), "  " + std::to_string(c.titleDays) + "-Day");
        // The newest value is the history button's volatility over the same
        // closes, on the newest day; the oldest stands a full window in.
        TSigmaObj sigma(notifier_);
        sigma.FileName = chart.FileName;
        sigma.Days = c.titleDays;
        sigma.Calculate();
        EXPECT_NEAR(chart.Slots[kChartNewestSlot].Volume, sigma.Sigma * 100, 1e-4);
        EXPECT_EQ(chart.Slots[kChartNewestSlot].Date, records.back().Date);
        EXPECT_EQ(chart.Slots[static_cast<std::size_t>(chart.FirstDrawnSlot())].Date,
                  records[static_cast<std::size_t>(c.records - c.points + 1)].Date);
    }
}

// Highs and lows are taken when the newest record has them; a record that
// holds no number loads nothing; an empty file is an input error.
TEST_F(ChartDataTest, Loading)
{
    auto records = Days(40, EncodeDate(2012, 9, 12), true);
    const TChartData& loaded = Load(records, 236);
    EXPECT_EQ(loaded.DataKind, 3);
    ASSERT_EQ(loaded.Points, 40);
    for (std::size_t i = 1; i <= records.size(); ++i) {  // the newest in the last slot
        const TPriceRecord& slot = loaded.Slots[kChartSlotCount - i];
        const TPriceRecord& record = records[records.size() - i];
        EXPECT_EQ(slot.Date, record.Date) << i;
        EXPECT_EQ(slot.Close, record.Close) << i;
        EXPECT_EQ(slot.High, record.High) << i;
        EXPECT_EQ(slot.Low, record.Low) << i;
    }
    // With the volatility computed, each drawn day keeps its high and low.
    chart_->VolDays = 10;
    chart_->ComputeVolatility(LocaleInfo());
    ASSERT_GT(chart_->Points, 2);
    for (int s = chart_->FirstDrawnSlot(); s <= kChartNewestSlot; ++s) {
        const TPriceRecord& slot = chart_->Slots[static_cast<std::size_t>(s)];
        const TPriceRecord& record = records[static_cast<std::size_t>(slot.Date - records.front().Date)];
        EXPECT_EQ(slot.High, record.High) << s;
        EXPECT_EQ(slot.Low, record.Low) << s;
    }
    records.back().High = records.back().Low = 0;
    EXPECT_EQ(Load(records, 236).DataKind, 1);
    EXPECT_EQ(chart_->Slots[kChartNewestSlot - 5].High, 0);
    EXPECT_TRUE(notifier_.messages.empty());

    records[30].Close = std::nanf("");
    EXPECT_EQ(Load(records, 236).Points, 0);
    EXPECT_EQ(notifier_.infos, std::vector<std::string>{kChartReadProblem});
    EXPECT_THROW(Load({}, 236), MarketDataError);
}

TEST(ChartTitle, SymbolWindowVolatilityAndClose)
{
    const TDateTime day = EncodeDate(2012, 9, 12);
    EXPECT_EQ(ChartTitle("SPY", 30, 23.456f, 123.45f, day, LocaleInfo()),
              "SPY  30-Day Volatility Plot:  23.46% thru Close of 123.45 on 2012-09-12");
    EXPECT_EQ(ChartTitle("", 90, 9.7f, 2097.94f, day, LocaleInfo::FromPattern("dd.MM.yyyy", ',')),
              "  90-Day Volatility Plot:   9,70% thru Close of 2097,94 on 12.09.2012");
}

TEST_F(ChartDataTest, MonthsAreMarkedWhereTheyChangeJanuaryByItsYear)
{
    const TDateTime last = EncodeDate(2012, 2, 15);
    TChartData& chart = Load(Days(static_cast<int>(last - EncodeDate(2011, 6, 10)) + 1, last), 400);
    std::vector<std::string> texts;
    for (const TChartData::MonthMark& mark : chart.MonthMarks()) {
        texts.push_back(mark.text);
        EXPECT_EQ(DecodeDate(chart.Slots[static_cast<std::size_t>(mark.slot)].Date).day, 1) << mark.text;
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Jly", "Aug", "Sep", "Oct", "Nov", "Dec", "2012", "Feb"}));
}

// Months cut out of a history change the newest volatility; the title says
// so when the cut lies in its window and is longer than a holiday.
TEST_F(ChartDataTest, TheTitleTellsOfAGapInTheVolatilityWindow)
{
    const struct {
        int before;  // records before the gap (of 200, a 90-day window over the newest 90)
        int days;    // calendar days from the record before the gap to the one after
        bool told;
    } cases[] = {
        {150, 123, true}, {111, 11, true}, {150, 10, false}, {109, 123, false}, {199, 40, true},
    };
    const TDateTime last = EncodeDate(2011, 1, 24);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.days << " days after record " << c.before);
        auto records = Days(200, last);
        for (int i = 0; i < c.before; ++i)
            records[static_cast<std::size_t>(i)].Date -= c.days - 1;
        TChartData& chart = Load(records, 236);
        chart.VolDays = 90;
        chart.ComputeVolatility(LocaleInfo::FromPattern("dd.MM.yyyy", ','));
        const std::string note = ChartGapNote(c.days, records[static_cast<std::size_t>(c.before - 1)].Date,
                                              LocaleInfo::FromPattern("dd.MM.yyyy", ','));
        ASSERT_EQ(chart.TitleLine.find("  90-Day"), 0u) << chart.TitleLine;
        EXPECT_EQ(chart.TitleLine.size() > note.size()
                      && chart.TitleLine.compare(chart.TitleLine.size() - note.size(), note.size(), note)
                             == 0,
                  c.told)
            << chart.TitleLine;
    }
    EXPECT_EQ(ChartGapNote(123, EncodeDate(2010, 8, 31), LocaleInfo()), "  Gap of 123 days after 2010-08-31");
}

}  // namespace
