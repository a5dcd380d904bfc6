#include "SigmaObj.h"

#include <cmath>
#include <new>
#include <vector>

#include "marketdata/PriceWorkFile.h"

namespace kestrava {
namespace {

const char* const kVolatilityProblem = "There seems to be a problem figuring annual volatility.";

}  // namespace

void TSigmaObj::Calculate()
{
    Sigma = 0;
    if (Days > kWindowSize)
        Days = kWindowSize;
    if (Days < 0)
        Days = 0;

    std::vector<TPriceRecord> window;
    try {
        window.reserve(kWindowSize);
    } catch (const std::bad_alloc&) {
        return;
    }

    PriceWorkFileReader file(FileName);
    const std::int64_t count = file.Count();
    if (Days > count)
        Days = static_cast<std::int32_t>(count);
    // The newest record ends up last in the window.
    try {
        file.Read(count - Days, Days, window);
    } catch (const MarketDataError&) {
        notifier_.Info(kVolatilityProblem);
        return;
    }
    Days = static_cast<std::int32_t>(window.size());
    if (Days < 2) {
        if (Days == 1) {
            LastDate = window.back().Date;
            LastClose = window.back().Close;
        }
        return;
    }
    for (const TPriceRecord& record : window) {
        if (!(record.Close > 0) || !std::isfinite(record.Close)) {
            notifier_.Info(kVolatilityProblem);
            return;
        }
    }

    float mean = 0;
    float sumOfSquares = 0;
    int k = 1;
    for (std::size_t j = 1; j < window.size(); ++j) {
        const float x = static_cast<float>(
            std::log(static_cast<double>(window[j].Close) / window[j - 1].Close));
        const float deviation = x - mean;
        mean = static_cast<float>(((k - 1) * static_cast<double>(mean) + x) / k);
        sumOfSquares = static_cast<float>(sumOfSquares
                                          + static_cast<double>(deviation) * deviation * (k - 1) / k);
        ++k;
    }
    Sigma = static_cast<float>(std::sqrt(kTradingDays * static_cast<double>(sumOfSquares) / (Days - 1)));
    LastDate = window.back().Date;
    LastClose = window.back().Close;
}

}  // namespace kestrava
