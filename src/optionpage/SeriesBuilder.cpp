#include "optionpage/SeriesBuilder.h"

#include <algorithm>
#include <cmath>

#include "common/monthnames.h"
#include "common/qt/seriestext.h"

namespace kestrava {
namespace {

// The rate box shows what is priced: a default outside its range is taken
// at the nearest end, and (nearly) nothing at its least rate.
float RateFor(float rate, const SeriesDefaults& defaults)
{
    if (rate < 0.0001f || std::isnan(rate))
        return defaults.lowestRate;
    return std::clamp(rate, defaults.lowestRate, defaults.highestRate);
}

}  // namespace

TDateTime DayNumber(const QDate& date)
{
    return EncodeDate(date.year(), date.month(), date.day());
}

std::string ExpiryTabText(TDateTime expiry)
{
    const CivilDate civil = DecodeDate(expiry);
    std::string year = std::to_string(civil.year);
    if (year.size() < 4)
        year.insert(0, 4 - year.size(), ' ');
    return std::string(MonthAbbreviation(civil.month)) + " " + year;
}

std::vector<TInOutObj> BuildSeries(const SeriesSetup& setup, const SetupNumbers& numbers,
                                   const std::optional<PriceHistory>& history, const SeriesDefaults& defaults)
{
    const bool listed = !setup.strikes.empty();
    const int strikes = std::clamp(listed ? static_cast<int>(setup.strikes.size()) : numbers.numStrikes, 1,
                                   kMaxStrikes);
    const bool haveSigma = history && history->sigma > 0;
    const int count = std::clamp(setup.numExpiries, 0, 3);
    auto shown = [&](float value) {
        return defaults.shownUnderlying ? defaults.shownUnderlying(value) : value;
    };

    std::vector<TInOutObj> built(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        TInOutObj& p = built[static_cast<std::size_t>(i)];
        p.ExpiryDate = DayNumber(setup.expiryDates[static_cast<std::size_t>(i)]);
        p.NumStrikes = strikes;
        for (int s = 1; s <= strikes; ++s) {
            const float strike = listed ? setup.strikes[static_cast<std::size_t>(s - 1)]
                                        : static_cast<float>(s - 1) * numbers.strikeIncrement
                                              + numbers.firstStrike;
            p.Strike(s, 1) = strike;
            p.Strike(s, 2) = strike;
        }
        p.OptSymbol = ToSeriesText(setup.optionSymbol);
        p.OptContract = ToSeriesText(setup.contractRoot);
        p.Rate = RateFor(defaults.rates[static_cast<std::size_t>(i)], defaults);
        p.ContractType = setup.contractType >= kEquity && setup.contractType <= kFuture ? setup.contractType
                                                                                        : kCurrency;
        p.Model = setup.model;
        p.Steps = 200;

        if (haveSigma) {
            p.Sigma = history->sigma;
            p.SigmaDays = history->days;
            // One page prices at one underlying price: the one its box shows.
            p.Underlying = shown(history->lastClose);
            p.PriceDate = history->lastDate;
            p.TodayDate = history->lastDate;
            p.SourceFile = ToSeriesText(setup.sourceFilePath);
            p.SourceFileType = defaults.sourceFileType;
        } else {
            // No price history, or none that gives a volatility: the series
            // starts today at 25 %, priced at its first strike (or at the
            // price of the chain it was made from).
            p.Underlying = setup.underlyingPrice > 0 ? shown(setup.underlyingPrice) : numbers.firstStrike;
            p.Sigma = 0.25f;
            p.PriceDate = defaults.today;
            p.TodayDate = defaults.today;
            if (history) {
                p.SourceFile = ToSeriesText(setup.sourceFilePath);
                p.SourceFileType = defaults.sourceFileType;
            }
        }

        const CivilDate expiry = DecodeDate(p.ExpiryDate);
        p.ExpiryMonth = expiry.month;
        p.ExpiryDay = static_cast<std::uint16_t>(expiry.day);

        switch (p.ContractType) {
        case kEquity:
            if (!setup.dividendAmount.trimmed().isEmpty()) {
                p.Dividend = numbers.dividendAmount;
                p.DivDate = setup.dividendDate.isValid() ? DayNumber(setup.dividendDate) : 0;
            }
            break;
        case kIndex:
        case kCurrency:
            if (!setup.dividendYield.trimmed().isEmpty())
                p.Dividend = numbers.dividendYieldPercent / 100.0f;
            break;
        default:
            break;
        }
    }
    return built;
}

}  // namespace kestrava
