#include "pagecore/PageSeries.h"

#include <cmath>
#include <exception>
#include <utility>

#include "analysis/AnalysisError.h"
#include "analysis/ChainPricer.h"
#include "common/busy.h"
#include "common/notifier.h"
#include "marketdata/OptPriceReader.h"
#include "pricing/gridtext.h"
#include "pricing/Models.h"
#include "pricing/ModelTable.h"

namespace kestrava {
namespace {

const char* const kNoOptionData = "No CBOE option data available.";
const char* const kPageStrikesOnly = " The position's chances take the smile of the page's own strikes.";

bool PricedByTree(const TInOutObj& series)
{
    const ModelEntry* model = FindModel(series.Model);
    return model && model->tree;
}

}  // namespace

PageSeries::PageSeries(Notifier& notifier, LocaleInfo locale)
    : notifier_(notifier), locale_(std::move(locale))
{
}

int PageSeries::Add(Expiry series)
{
    series_.push_back(std::move(series));
    return static_cast<int>(series_.size()) - 1;
}

void PageSeries::Clear()
{
    gridIndex_ = -1;
    series_.clear();
}

TInOutObj* PageSeries::At(int index) const
{
    if (index < 0 || index >= static_cast<int>(series_.size()))
        return nullptr;
    return series_[static_cast<std::size_t>(index)].get();
}

std::vector<const TInOutObj*> PageSeries::Expiries() const
{
    std::vector<const TInOutObj*> result;
    for (const Expiry& series : series_)
        result.push_back(series.get());
    return result;
}

std::vector<TInOutObj> PageSeries::Copies() const
{
    std::vector<TInOutObj> copies;
    for (const Expiry& series : series_)
        copies.push_back(*series);
    return copies;
}

void PageSeries::TodayIntoAll()
{
    for (const Expiry& series : series_)
        series->TodayDate = today_;
}

TDateTime PageSeries::MoveToday(TDateTime expiry, int daysLeft)
{
    const TDateTime moved = expiry - daysLeft;
    today_ = moved >= firstExpiry_ ? firstExpiry_ - 1 : moved;
    return today_;
}

float PageSeries::TakeStrikeStep()
{
    if (!series_.empty())
        strikeStep_ = LabelStrikeStep(*series_.front());
    return strikeStep_;
}

void PageSeries::ApplyInputs(const SeriesInputs& inputs)
{
    for (const Expiry& series : series_) {
        TInOutObj& p = *series;
        if (inputs.underlying)
            p.Underlying = *inputs.underlying;
        p.TodayDate = today_;
        if (inputs.sigmaDays)
            p.SigmaDays = *inputs.sigmaDays;
        if (PricedByTree(p))
            p.Steps = inputs.steps;
    }
}

void PageSeries::TakeHistory(float sigma, int days, float lastClose, TDateTime lastDate)
{
    for (const Expiry& series : series_) {
        series->Underlying = lastClose;
        series->PriceDate = lastDate;
        series->Sigma = sigma;
        series->SigmaDays = days;
    }
    today_ = lastDate;
}

SeriesQuotes PageSeries::LoadQuotes(const std::string& file, const std::string& contract,
                                    const std::array<float, 3>& defaultRates)
{
    SeriesQuotes result;
    int setAside = 0;
    int expiredLeftOut = 0;
    for (const Expiry& series : series_) {
        TInOutObj& p = *series;
        UnderlyingQuote underlying;
        bool loaded = false;
        try {
            loaded = LoadExpiryQuotes(p, file, contract, notifier_, locale_, underlying, &setAside);
        } catch (const std::exception& error) {
            notifier_.Info(error.what());
        }
        if (!loaded) {
            notifier_.Info(kNoOptionData);
            return result;
        }
        // A file without the underlying's line leaves the price as it is.
        if (underlying.last > 0) {
            p.Underlying = underlying.last;
            result.underlying = underlying.last;
        }
        if (underlying.quoteDate > 0)
            today_ = underlying.quoteDate;
        expiredLeftOut += underlying.expiredLeftOut;
        result.last = std::move(underlying);
    }
    if (setAside > 0)
        notifier_.Warning(SetAsideMessage(setAside, file));
    if (expiredLeftOut > 0)
        notifier_.Warning(ExpiredLeftOutMessage(expiredLeftOut));

    ChainInputs inputs;
    inputs.rates.defaults = defaultRates;
    inputs.forward = ForwardSource::Parity;
    std::vector<TDateTime> expiries;
    for (const Expiry& series : series_)
        expiries.push_back(series->ExpiryDate);
    // The quotes loaded are the table's: an older market goes with the older quotes.
    market_.reset();
    try {
        if (std::optional<TableMarket> market = ReadTableMarket(file, contract, expiries, inputs))
            market_ = std::make_shared<const TableMarket>(std::move(*market));
    } catch (const AnalysisError& error) {
        notifier_.Info(std::string(error.what()) + kPageStrikesOnly);
    }
    // Every expiry is valued on the quote date.
    TodayIntoAll();
    result.loaded = true;
    return result;
}

void PageSeries::SolveIvs(TInOutObj& series)
{
    if (series.DaysToExpiry() > 0) {
        SolveBidIV(series);
        SolveAskIV(series);
        return;
    }
    // An expired option has no volatility to imply.
    for (int s = 1; s <= series.NumStrikes; ++s)
        for (int k = 1; k <= 2; ++k)
            series.BidIV(s, k) = series.AskIV(s, k) = 0;
}

void PageSeries::SolveAllIvs()
{
    for (const Expiry& series : series_) {
        if (series->DaysToExpiry() <= 0)
            continue;
        SolveBidIV(*series);
        SolveAskIV(*series);
    }
}

std::string PageSeries::RecalcAll(VolSource source)
{
    std::string unpriced;
    for (const Expiry& series : series_) {
        std::vector<int> strikes;
        if (PricedByTree(*series) && series->DaysToExpiry() > 0) {
            const BusyScope busy;
            strikes = RecalcExpiry(*series, source);
        } else {
            strikes = RecalcExpiry(*series, source);
        }
        if (unpriced.empty())
            unpriced = UnpricedStrikesMessage(*series, strikes);
    }
    return unpriced;
}

}  // namespace kestrava
