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

bool RecalculateSeries(std::vector<TInOutObj>& series, VolSource source, Notifier& notifier)
{
    bool allPriced = true;
    for (std::size_t e = 0; e < series.size(); ++e) {
        TInOutObj& p = series[e];
        try {
            // The page solves them when it loads the quotes, before any skew
            // mode uses them.
            if (p.DaysToExpiry() > 0) {
                SolveBidIV(p);
                SolveAskIV(p);
            }
            const std::string unpriced = UnpricedStrikesMessage(p, RecalcExpiry(p, source));
            if (!unpriced.empty()) {
                notifier.Info("expiry " + std::to_string(e + 1) + " (" + IsoDate(p.ExpiryDate)
                              + "): " + unpriced);
                allPriced = false;
            }
        } catch (const PricingError& error) {
            // A series has up to three expiries; say which one cannot be priced.
            throw PricingError("expiry " + std::to_string(e + 1) + " (" + IsoDate(p.ExpiryDate)
                               + "): " + error.what());
        }
    }
    return allPriced;
}

}  // namespace kestrava::cli
