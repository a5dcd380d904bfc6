#pragma once
// What a chart shows, before anything is drawn: the newest days of a price
// work file in a fixed buffer of slots, the rolling volatility that later
// fills the same slots, the title line and the month marks. Plain C++; the
// messages go through the notifier.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/dates.h"
#include "common/localeinfo.h"
#include "common/notifier.h"
#include "marketdata/PriceWorkFile.h"

namespace kestrava {

// Nothing could be drawn; what() is the text to show.
class ChartError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The chart's messages.
extern const char* const kChartReadProblem;  // a record cannot be read
extern const char* const kChartDigestError;  // nothing loaded
extern const char* const kChartTooFewDays;   // no volatility line
extern const char* const kChartVolatilityProblem;

constexpr int kChartSlotCount = 401;  // slots 0 to 400, the newest in 400
constexpr int kChartMaxDays = 400;
constexpr int kChartNewestSlot = 400;

// Days that fit between a margin of 8 character widths on the right and the
// left margin, one every dayStep pixels: 236 for 600 pixels, a "W" of 8
// pixels, a left margin of 64 and a step of 2.
std::int32_t DaysThatFit(int chartWidth, int charWidth, int leftMargin, int dayStep);

// "SPY  30-Day Volatility Plot:  23.46% thru Close of 123.45 on 2012-09-12";
// without a symbol the line starts with the blank.
std::string ChartTitle(const std::string& symbol, int windowDays, float volatility, float lastClose,
                       TDateTime lastDate, const LocaleInfo& locale);

// Days without a price (a weekend, a holiday) change no volatility by much;
// a longer gap inside the window does, and the title says so.
constexpr int kLongestQuietGap = 10;
// "  Gap of 123 days after 2010-08-31": the calendar days from the day
// before the gap to the day after it.
std::string ChartGapNote(int days, TDateTime before, const LocaleInfo& locale);

class TChartData {
public:
    explicit TChartData(Notifier& notifier);
    virtual ~TChartData() = default;

    // 1: closes only; 3: highs and lows too (from the newest record).
    std::uint8_t DataKind = 0;
    // Records loaded; after the volatility, the number of volatility slots
    // (the values are one fewer), 0 when there is no volatility line.
    std::int32_t Points = 0;
    std::int32_t LoadedPoints = 0;    // Points before the volatility
    std::string FileName;             // the price work file
    std::vector<TPriceRecord> Slots;  // kChartSlotCount; Volume holds the volatility in percent
    std::int32_t VolDays = 30;        // the volatility window asked for
    float LastClose = 0;
    TDateTime LastDate = 0;
    std::string TitleSymbol;
    std::string TitleLine;

    // The first slot of the volatility line: the oldest loaded slot is
    // loaded for its close but not drawn.
    int FirstDrawnSlot() const { return kChartSlotCount + 1 - Points; }
    // The first slot of the prices, after LoadPrices: FirstDrawnSlot, or the
    // oldest loaded slot too when the file holds no older day (a file of a
    // few days draws every one of them).
    int FirstPriceSlot() const { return firstPriceSlot_; }

    // Reads the newest min(400, fitDays) records into the slots. A record
    // that cannot be read (or holds no number) is reported and leaves Points
    // 0. Throws MarketDataError when the file cannot be opened or holds no
    // record.
    void LoadPrices(std::int32_t fitDays);

    // The rolling volatility over VolDays closes (shortened to half the
    // loaded days for a file no longer than what was loaded), one value per
    // drawn day from the oldest that has a full window, and the title line,
    // which ends with ChartGapNote when the newest window holds more than
    // kLongestQuietGap days without a price.
    // With fewer than 30 loaded days, a window below 10 days or no value to
    // draw it warns and leaves Points 0; a close that is not positive inside
    // a window is reported and leaves Points 0 too.
    void ComputeVolatility(const LocaleInfo& locale);

    struct MonthMark {
        int slot;          // the first slot of the new month
        std::string text;  // "Feb" .. "Dec" ("Jly" for July), the year for January
    };
    // Where the month changes between two slots of the prices.
    std::vector<MonthMark> MonthMarks() const;

protected:
    Notifier& notifier_;

private:
    std::int64_t recordCount_ = 0;
    int firstPriceSlot_ = kChartSlotCount;
};

}  // namespace kestrava
