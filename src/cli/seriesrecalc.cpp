#include "cli/seriesrecalc.h"

#include "cli/command.h"
#include "pricing/Models.h"

namespace kestrava::cli {

VolSource ParseSkew(const std::string& value)
{
    if (value == "flat")
        return VolSource::Flat;
    if (value == "bid")
        return VolSource::BidIVs;
    if (value == "ask")
        return VolSource::AskIVs;
    throw UsageError("--skew takes flat, bid or ask, got \"" + value + "\"");
}

void RecalculateSeries(std::vector<TInOutObj>& series, VolSource source)
{
    for (std::size_t e = 0; e < series.size(); ++e) {
        TInOutObj& p = series[e];
        try {
            // The page solves them when it loads the quotes, before any skew
            // mode uses them.
            if (p.DaysToExpiry() > 0) {
                SolveBidIV(p);
                SolveAskIV(p);
            }
            RecalcExpiry(p, source);
        } catch (const PricingError& error) {
            // A series has up to three expiries; say which one cannot be priced.
            throw PricingError("expiry " + std::to_string(e + 1) + " (" + IsoDate(p.ExpiryDate)
                               + "): " + error.what());
        }
    }
}

}  // namespace kestrava::cli
