#include "chartcore/ChartData.h"

#include <algorithm>
#include <cmath>

#include "common/localeparse.h"
#include "common/monthnames.h"
#include "common/numformat.h"

namespace kestrava {

const char* const kChartReadProblem = "There is a problem reading price data.";
const char* const kChartDigestError = "Dang! Error digesting source data";
const char* const kChartTooFewDays = "We don't have enough data to chart volatility.";
const char* const kChartVolatilityProblem = "We have a problem figuring volatility from the price file.";

namespace {

constexpr int kTradingDays = 250;
constexpr int kFewestLoadedDays = 30;
constexpr int kShortestWindow = 10;
constexpr TDateTime kLastDay = 2958465;  // 9999-12-31

class VolatilityProblem {};

std::string PadLeft(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.insert(0, width - text.size(), ' ');
    return text;
}

bool IsFiniteValue(float value)
{
    return std::isfinite(value);
}

// A record the chart can place and scale; anything else counts as unreadable.
bool IsUsable(const TPriceRecord& record)
{
    return std::isfinite(record.Date) && record.Date >= 1 && record.Date <= kLastDay
           && IsFiniteValue(record.Close) && IsFiniteValue(record.High) && IsFiniteValue(record.Low);
}

}  // namespace

std::int32_t DaysThatFit(int chartWidth, int charWidth, int leftMargin, int dayStep)
{
    if (dayStep <= 0)
        return 0;
    return (chartWidth - 8 * charWidth - leftMargin) / dayStep;
}

std::string ChartTitle(const std::string& symbol, int windowDays, float volatility, float lastClose,
                       TDateTime lastDate, const LocaleInfo& locale)
{
    const char separator = locale.decimalSeparator;
    return symbol + " " + PadLeft(std::to_string(windowDays), 3) + "-Day Volatility Plot:" + "  "
           + PadLeft(FormatLocaleFixed(volatility, 2, separator), 5) + "% " + "thru Close of"
           + FormatSingle(" ###0.0### ", lastClose, separator) + "on " + FormatLocaleDate(lastDate, locale);
}

std::string ChartGapNote(int days, TDateTime before, const LocaleInfo& locale)
{
    return "  Gap of " + std::to_string(days) + " days after " + FormatLocaleDate(before, locale);
}

TChartData::TChartData(Notifier& notifier) : Slots(kChartSlotCount), notifier_(notifier)
{
}

void TChartData::LoadPrices(std::int32_t fitDays)
{
    Points = 0;
    firstPriceSlot_ = kChartSlotCount;
    PriceWorkFileReader file(FileName);
    recordCount_ = file.Count();
    const std::int64_t n = recordCount_;
    if (n == 0)
        throw MarketDataError("The price work file " + FileName + " holds no price record.");
    const std::int32_t wanted = std::min(static_cast<std::int32_t>(std::min<std::int64_t>(n, kChartMaxDays)),
                                         fitDays);
    try {
        std::vector<TPriceRecord> newest;
        file.Read(n - 1, 1, newest);
        if (!IsUsable(newest.front()))
            throw MarketDataError("unusable record");
        LastDate = newest.front().Date;
        LastClose = newest.front().Close;
        DataKind = newest.front().High != 0 || newest.front().Low != 0 ? 3 : 1;
        if (wanted <= 0)
            return;

        std::vector<TPriceRecord> records;
        file.Read(n - wanted, wanted, records);
        for (std::int32_t i = 1; i <= wanted; ++i) {
            const TPriceRecord& record = records[static_cast<std::size_t>(wanted - i)];
            if (!IsUsable(record))
                throw MarketDataError("unusable record");
            TPriceRecord& slot = Slots[static_cast<std::size_t>(kChartSlotCount - i)];
            slot = TPriceRecord();
            slot.Date = record.Date;
            slot.Close = record.Close;
            if (DataKind == 3) {
                slot.High = record.High;
                slot.Low = record.Low;
            }
        }
        Points = wanted;
        firstPriceSlot_ = n == Points ? kChartSlotCount - Points : FirstDrawnSlot();
    } catch (const MarketDataError&) {
        notifier_.Info(kChartReadProblem);
        Points = 0;
    }
}

void TChartData::ComputeVolatility(const LocaleInfo& locale)
{
    TitleLine.clear();
    LoadedPoints = Points;
    std::int32_t window = VolDays;
    const std::int64_t n = recordCount_;
    if (n < static_cast<std::int64_t>(Points) + window) {
        if (n == Points && window > Points / 2)
            window = Points / 2;
        Points = LoadedPoints - window;
    }
    // Fewer than two slots leave no value to draw or to name in the title.
    if (LoadedPoints < kFewestLoadedDays || window < kShortestWindow || Points < 2) {
        notifier_.Warning(kChartTooFewDays);
        Points = 0;
        return;
    }

    const std::int32_t m = Points;
    // Records n - m + 1 .. n - 1 get a value; each needs the `window` closes
    // that end with it.
    const std::int64_t firstRecord = n - m - window + 2;
    // The longest stretch without a price among the newest window's closes.
    TDateTime gapBefore = 0;
    int gap = 0;
    try {
        PriceWorkFileReader file(FileName);
        std::vector<TPriceRecord> records;
        file.Read(firstRecord, n - firstRecord, records);
        for (std::int32_t j = 0; j < m - 1; ++j) {
            const auto newest = static_cast<std::size_t>(n - m + 1 + j - firstRecord);
            const std::size_t oldest = newest - static_cast<std::size_t>(window - 1);
            // The running mean and sum of squared deviations of the daily log
            // returns, in single precision, as the history button computes them.
            float mean = 0;
            float sumOfSquares = 0;
            int k = 1;
            for (std::size_t q = oldest + 1; q <= newest; ++q) {
                const double previous = records[q - 1].Close;
                const double close = records[q].Close;
                if (!(previous > 0) || !(close > 0) || !std::isfinite(previous) || !std::isfinite(close))
                    throw VolatilityProblem();
                const float x = static_cast<float>(std::log(close / previous));
                const float deviation = x - mean;
                mean = static_cast<float>(((k - 1) * static_cast<double>(mean) + x) / k);
                sumOfSquares = static_cast<float>(sumOfSquares
                                                  + static_cast<double>(deviation) * deviation * (k - 1) / k);
                ++k;
            }
            TPriceRecord& slot =
                Slots[static_cast<std::size_t>(FirstDrawnSlot()) + static_cast<std::size_t>(j)];
            const TPriceRecord& record = records[newest];
            slot = TPriceRecord();
            slot.Date = record.Date;
            if (DataKind == 3) {
                slot.High = record.High;
                slot.Low = record.Low;
            } else {
                slot.Close = record.Close;
            }
            slot.Volume = static_cast<float>(
                100.0 * std::sqrt(kTradingDays * static_cast<double>(sumOfSquares) / (window - 1)));
        }
        for (std::int64_t q = n - window + 1; q < n; ++q) {
            const TPriceRecord& earlier = records[static_cast<std::size_t>(q - 1 - firstRecord)];
            const double later = records[static_cast<std::size_t>(q - firstRecord)].Date;
            const int days = static_cast<int>(std::trunc(later) - std::trunc(earlier.Date));
            if (days > gap) {
                gap = days;
                gapBefore = earlier.Date;
            }
        }
    } catch (const MarketDataError&) {
        notifier_.Info(kChartVolatilityProblem);
        Points = 0;
        return;
    } catch (const VolatilityProblem&) {
        notifier_.Info(kChartVolatilityProblem);
        Points = 0;
        return;
    }
    TitleLine = ChartTitle(TitleSymbol, window, Slots[kChartNewestSlot].Volume, LastClose, LastDate, locale);
    if (gap > kLongestQuietGap)
        TitleLine += ChartGapNote(gap, gapBefore, locale);
}

std::vector<TChartData::MonthMark> TChartData::MonthMarks() const
{
    std::vector<MonthMark> marks;
    for (int i = FirstPriceSlot(); i < kChartNewestSlot; ++i) {
        const CivilDate day = DecodeDate(Slots[static_cast<std::size_t>(i)].Date);
        const CivilDate next = DecodeDate(Slots[static_cast<std::size_t>(i) + 1].Date);
        if (next.month == day.month || next.month < 1 || next.month > 12)
            continue;
        marks.push_back(
            {i + 1, next.month == 1 ? std::to_string(next.year) : ChartMonthAbbreviation(next.month)});
    }
    return marks;
}

}  // namespace kestrava
