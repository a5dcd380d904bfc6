#pragma once
// The recalculation that price and print share: every expiry of a loaded
// series, as the option page's Calculate does.

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "common/notifier.h"
#include "pricing/IORecObj1.h"
#include "pricing/recalc.h"

namespace kestrava::cli {

// "flat", "bid" or "ask"; throws UsageError for anything else.
VolSource ParseSkew(const std::string& value);

// Called after each expiry with the expiries done and their number.
using RecalcProgress = std::function<void(std::size_t done, std::size_t total)>;

// Solves the implied volatilities of every expiry with days left (a series
// read from a file has none yet) and prices it. Strikes of zero or below are
// named through notifier, the others priced: false then. Throws PricingError
// naming the expiry that cannot be priced at all.
bool RecalculateSeries(std::vector<TInOutObj>& series, VolSource source, Notifier& notifier,
                       const RecalcProgress& progress = {});

// Progress of a long recalculation on standard error: once the run is
// going to take more than a second, at most one line a second, "Priced 12
// of 1000 expiries, about 95 s left.", and a last line when it is done.
class ProgressOnStderr {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // out and clock are standard error and the steady clock but in tests.
    explicit ProgressOnStderr(
        std::string what, std::FILE* out = stderr,
        Clock clock = [] { return std::chrono::steady_clock::now(); });
    void operator()(std::size_t done, std::size_t total);

private:
    std::string what_;
    std::FILE* out_;
    Clock clock_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastReport_;
    bool reported_ = false;
};

}  // namespace kestrava::cli
