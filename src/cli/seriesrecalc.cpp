#include "cli/seriesrecalc.h"

#include <cstdio>

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

bool RecalculateSeries(std::vector<TInOutObj>& series, VolSource source, Notifier& notifier,
                       const RecalcProgress& progress)
{
    bool allPriced = true;
    for (std::size_t e = 0; e < series.size(); ++e) {
        TInOutObj& p = series[e];
        try {
            // The page solves them when it loads the quotes, before any skew
            // mode uses them; the flat mode's recalculation solves them itself.
            if (source != VolSource::Flat && p.DaysToExpiry() > 0) {
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
        if (progress)
            progress(e + 1, series.size());
    }
    return allPriced;
}

ProgressOnStderr::ProgressOnStderr(std::string what, std::FILE* out, Clock clock)
    : what_(std::move(what)), out_(out), clock_(std::move(clock)), start_(clock_()), lastReport_(start_)
{
}

void ProgressOnStderr::operator()(std::size_t done, std::size_t total)
{
    using namespace std::chrono;
    const auto now = clock_();
    const double elapsed = duration<double>(now - start_).count();
    const double expected = done > 0 ? elapsed * static_cast<double>(total) / static_cast<double>(done) : 0;
    if (done == total) {
        if (reported_)
            std::fprintf(out_, "%s %zu of %zu expiries in %.0f s.\n", what_.c_str(), done, total, elapsed);
        return;
    }
    if (expected <= 1.0 || (reported_ && now - lastReport_ < seconds(1)))
        return;
    std::fprintf(out_, "%s %zu of %zu expiries, about %.0f s left.\n", what_.c_str(), done, total,
                 expected - elapsed);
    reported_ = true;
    lastReport_ = now;
}

}  // namespace kestrava::cli
