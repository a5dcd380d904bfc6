#include "pricing/recalc.h"

#include <string>

#include "pricing/Models.h"

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

}  // namespace

void RecalcExpiry(TInOutObj& series, VolSource source)
{
    if (series.NumStrikes < 0 || series.NumStrikes > kMaxStrikes)
        throw PricingError("number of strikes must be 0 to 20, got "
                           + std::to_string(series.NumStrikes));
    if (series.DaysToExpiry() <= 0) {
        ZeroExpired(series);
        return;
    }
    if (source == VolSource::Flat) {
        SolveBidIV(series);
        SolveAskIV(series);
    }
    ChooseVolatilities(series, source);
    switch (series.Model) {
    case kBlackScholes:
    case kBlackFutures:
        PriceBlackScholes(series);
        break;
    case kBinomial:
        PriceBinomial(series);
        break;
    case kWhaley:
        PriceWhaley(series);
        break;
    default:
        break;
    }
    ComputeProbabilities(series);
}

}  // namespace kestrava
