#pragma once
// Annualised historical volatility from the newest closes of a price work
// file, with the newest close and its date.

#include <cstdint>
#include <string>

#include "common/dates.h"
#include "common/notifier.h"
#include "marketdata/PriceWorkFile.h"  // MarketDataError

namespace kestrava {

class TSigmaObj {
public:
    // The most closes one calculation can take.
    static constexpr std::int32_t kWindowSize = 401;
    // Trading days per year used to annualise the daily variance.
    static constexpr int kTradingDays = 250;

    explicit TSigmaObj(Notifier& notifier) : notifier_(notifier) {}

    std::string FileName;    // in: the price work file
    TDateTime LastDate = 0;  // out: date of the newest record
    float LastClose = 0;     // out: close of the newest record
    std::int32_t Days = 0;   // in: closes to use (at most 401); out: closes read
    float Sigma = 0;         // out: volatility as a fraction; 0 = no result

    // Population standard deviation of the daily log returns of the newest
    // Days closes, times the square root of 250, in single precision as a
    // running one-pass update. Throws MarketDataError when FileName cannot be
    // opened; a read error or a close that is not positive gives Sigma 0 with
    // a message.
    void Calculate();

private:
    Notifier& notifier_;
};

}  // namespace kestrava
