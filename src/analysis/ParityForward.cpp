#include "analysis/ParityForward.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/ChainSolve.h"
#include "pricing/Models.h"

namespace kestrava {

ParityFit FitParityForward(const ChainExpiry& expiry, double discount)
{
    struct Pair {
        double strike;
        double difference;  // call mid less put mid
    };
    std::vector<Pair> pairs;
    for (const ChainStrike& strike : expiry.strikes) {
        const double call = MidPrice(strike.call), put = MidPrice(strike.put);
        if (call > 0 && put > 0 && strike.strike > 0)
            pairs.push_back({strike.strike, call - put});
    }
    if (pairs.empty() || !(discount > 0))
        return {};
    const auto money = std::min_element(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) {
        return std::fabs(a.difference) < std::fabs(b.difference);
    });
    const double centre = money->strike;
    const std::size_t count = std::min<std::size_t>(pairs.size(), kParityStrikes);
    std::partial_sort(pairs.begin(), pairs.begin() + static_cast<std::ptrdiff_t>(count), pairs.end(),
                      [centre](const Pair& a, const Pair& b) {
                          return std::fabs(a.strike - centre) < std::fabs(b.strike - centre);
                      });
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += pairs[i].strike + pairs[i].difference / discount;
    ParityFit fit;
    fit.forward = sum / static_cast<double>(count);
    fit.strikes = static_cast<int>(count);
    if (!(fit.forward > 0))
        return {};
    return fit;
}

ExpiryForward ForwardOfExpiry(const ChainExpiry& expiry, double underlying, TDateTime today,
                              const ChainInputs& inputs)
{
    ExpiryForward result;
    result.inputs = inputs;
    const int days = TInOutObj::DaysBetween(today, expiry.date);
    if (days <= 0 || !(underlying > 0))
        return result;
    const double rate = inputs.rates.RateFor(days);
    const double years = days / 365.0;
    if (inputs.forward == ForwardSource::Parity) {
        const ParityFit fit = FitParityForward(expiry, std::exp(-rate * years));
        if (fit.forward > 0) {
            result.source = ForwardSource::Parity;
            result.inputs.dividend = ChainDividend{};
            result.inputs.dividend.yield = rate - std::log(fit.forward / underlying) / years;
        }
    }
    try {
        result.forward = ExpiryPricer(underlying, today, expiry.date, result.inputs).Forward();
        // A yield is its own; a cash dividend's is the one its forward implies.
        result.impliedYield = result.inputs.dividend.cash
                                  ? rate - std::log(result.forward / underlying) / years
                                  : result.inputs.dividend.yield;
    } catch (const PricingError&) {
        result.forward = 0;
    }
    return result;
}

}  // namespace kestrava
