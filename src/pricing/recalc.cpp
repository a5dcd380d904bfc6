#include "pricing/recalc.h"

#include <string>

#include "common/numtext.h"
#include "pricing/european.h"
#include "pricing/Models.h"
#include "pricing/ModelTable.h"

namespace kestrava {
namespace {

void ZeroExpired(TInOutObj& series)
{
    for (int s = 1; s <= series.NumStrikes; ++s) {
        for (int k = 1; k <= 2; ++k) {
            series.Theo(s, k) = 0;
            series.Delta(s, k) = 0;
            series.Gamma(s, k) = 0;
            series.Decay(s, k) = 0;
            series.Vega(s, k) = 0;
            series.ProbBelow(s, k) = 0;
            series.ProbAbove(s, k) = 0;
            series.ReservedValue(s, k) = 0;
        }
    }
}

void ChooseVolatilities(TInOutObj& series, VolSource source)
{
    series.SkewMode = static_cast<std::uint8_t>(source);
    for (int s = 1; s <= series.NumStrikes; ++s) {
        for (int k = 1; k <= 2; ++k) {
            switch (source) {
            case VolSource::Flat:
                series.Vol(s, k) = series.Sigma;
                break;
            case VolSource::BidIVs:
                series.Vol(s, k) = series.BidIV(s, k);
                break;
            case VolSource::AskIVs:
                series.Vol(s, k) = series.AskIV(s, k);
                break;
            }
        }
    }
}

std::vector<int> StrikesNotPositive(const TInOutObj& series)
{
    std::vector<int> strikes;
    for (int s = 1; s <= series.NumStrikes; ++s)
        if (!detail::PositiveStrike(series.Strike(s, 1)) || !detail::PositiveStrike(series.Strike(s, 2)))
            strikes.push_back(s);
    return strikes;
}

}  // namespace

std::string UnpricedStrikesMessage(const TInOutObj& series, const std::vector<int>& strikes)
{
    if (strikes.empty())
        return {};
    std::string names;
    for (std::size_t i = 0; i < strikes.size(); ++i) {
        if (i > 0)
            names += i + 1 == strikes.size() ? " and " : ", ";
        const int s = strikes[i];
        const float strike = series.Strike(s, 1) > 0 ? series.Strike(s, 2) : series.Strike(s, 1);
        names += std::to_string(s) + " (" + FormatSig9(strike) + ")";
    }
    const bool one = strikes.size() == 1;
    return (one ? "Strike " : "Strikes ") + names + " cannot" + " be priced: a strike price must be above 0. "
           + (one ? "Its rows are" : "Their rows are") + " left blank.";
}

bool RunModel(TInOutObj& series)
{
    const ModelEntry* model = FindModel(series.Model);
    if (!model)
        return false;
    model->priceExpiry(series);
    return true;
}

std::vector<int> RecalcExpiry(TInOutObj& series, VolSource source)
{
    if (series.NumStrikes < 0 || series.NumStrikes > kMaxStrikes)
        throw PricingError("number of strikes must be 0 to 20, got " + std::to_string(series.NumStrikes));
    const ModelEntry& model = RequireModel(series.Model);
    if (series.DaysToExpiry() <= 0) {
        ZeroExpired(series);
        return {};
    }
    if (source == VolSource::Flat) {
        SolveBidIV(series);
        SolveAskIV(series);
    }
    ChooseVolatilities(series, source);
    model.priceExpiry(series);
    ComputeProbabilities(series);

    std::vector<int> unpriced = StrikesNotPositive(series);
    for (int s : unpriced)
        for (int k = 1; k <= 2; ++k)
            series.Vol(s, k) = 0;
    return unpriced;
}

}  // namespace kestrava
