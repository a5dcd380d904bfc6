#include "analysis/ChainVolatility.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kestrava {
namespace {

constexpr int kMaxSteps = 200;
// The narrowest bracket searched, in volatility (a millionth of a point).
constexpr double kNarrowestBracket = 1e-8;
// What a price may miss by where the model's value jumps over it.
constexpr double kHalfCent = 0.005;

// A start near the answer: the point of inflection of the European value
// (from which Newton's steps run straight to a far strike's volatility), or
// near the money the at-the-money approximation of the time value.
double StartOf(const ExpiryPricer& pricer, double price, double strike, bool call)
{
    const double T = pricer.Years();
    const double inflection = std::sqrt(2.0 * std::fabs(std::log(pricer.Forward() / strike)) / T);
    const double timeValue = std::max(price - pricer.LowerBound(strike, call), 0.0);
    const double atTheMoney = timeValue / (0.4 * pricer.Forward() * std::sqrt(T));
    return std::clamp(std::max(inflection, atTheMoney), 0.01, 3.0);
}

template <typename ValueOf>
VolSolution Search(ValueOf valueOf, const ExpiryPricer& pricer, double price, double strike, double lowest,
                   double guess, double tolerance)
{
    double lo = lowest, hi = kHighestVolatility;
    bool loKnown = false, hiKnown = false;  // the value there was found
    double fLo = 0, fHi = 0;
    double sigma = std::clamp(guess, lo, hi);
    double previous = std::numeric_limits<double>::quiet_NaN(), fPrevious = previous;
    double reference = hi - lo;  // the bracket's width that the steps must halve
    int stalls = 0;

    for (int step = 0; step < kMaxSteps; ++step) {
        const double value = valueOf(sigma);
        // No value (a tree beyond the single range) counts as too high.
        const double f = std::isfinite(value) ? value - price : std::numeric_limits<double>::infinity();
        if (std::fabs(f) <= tolerance)
            return {sigma, NoVolatility::None};
        if (f > 0) {
            hi = sigma;
            fHi = f;
            hiKnown = true;
        } else {
            lo = sigma;
            fLo = f;
            loKnown = true;
        }
        if (loKnown && hiKnown && hi - lo <= kNarrowestBracket) {
            const bool takeLow = std::fabs(fLo) <= std::fabs(fHi);
            if ((takeLow ? std::fabs(fLo) : std::fabs(fHi)) <= kHalfCent)
                return {takeLow ? lo : hi, NoVolatility::None};
            return {0, NoVolatility::NotSettled};
        }

        // Newton's step, with the slope between the last two values once
        // there are two, else the European vega.
        double next = std::numeric_limits<double>::quiet_NaN();
        if (std::isfinite(f)) {
            if (std::isfinite(fPrevious) && f != fPrevious)
                next = sigma - f * (sigma - previous) / (f - fPrevious);
            else if (const double vega = pricer.EuropeanVega(sigma, strike); vega > 1e-12)
                next = sigma - f / vega;
        }
        previous = sigma;
        fPrevious = f;

        // A bracket that two steps did not halve is halved now.
        const bool bracketed = loKnown && hiKnown;
        bool slow = false;
        if (bracketed) {
            if (hi - lo <= 0.5 * reference) {
                reference = hi - lo;
                stalls = 0;
            } else if (++stalls >= 2) {
                slow = true;
                stalls = 0;
                reference = 0.5 * (hi - lo);
            }
        }
        if (!(next > lo && next < hi) || slow) {
            if (bracketed) {
                next = 0.5 * (lo + hi);
            } else if (!hiKnown) {
                if (sigma >= kHighestVolatility)
                    return {0, NoVolatility::AboveHighest};
                next = std::min(2.0 * sigma, kHighestVolatility);
            } else {
                if (sigma <= lowest)
                    return {0, NoVolatility::BelowLowest};
                next = std::max(0.5 * sigma, lowest);
            }
        }
        sigma = next;
    }
    return {0, NoVolatility::NotSettled};
}

}  // namespace

const char* NoVolatilityText(NoVolatility why)
{
    switch (why) {
    case NoVolatility::None:
        return "";
    case NoVolatility::NoBid:
        return "No bid";
    case NoVolatility::NoAsk:
        return "No ask";
    case NoVolatility::Expired:
        return "The option expires on the day of the table";
    case NoVolatility::BelowIntrinsic:
        return "The price is at or below the option's intrinsic value";
    case NoVolatility::BelowLowest:
        return "The price is below the model's value at its lowest volatility";
    case NoVolatility::AboveUpperBound:
        return "The price is at or above its upper bound (the underlying for a call, the strike for a put)";
    case NoVolatility::AboveHighest:
        return "The price is above the model's value at 500 % volatility";
    case NoVolatility::NotSettled:
        return "The model's value jumps over the price";
    case NoVolatility::NotPriceable:
        return "The expiry cannot be priced";
    }
    return "";
}

double PriceTolerance(const ExpiryPricer& pricer)
{
    return pricer.American() ? 1e-4 : 1e-9;
}

VolSolution SolveVolatility(ExpiryPricer& pricer, double price, double strike, bool call, double guess)
{
    if (!(price > 0))
        return {0, NoVolatility::NoBid};
    if (price >= pricer.UpperBound(strike, call))
        return {0, NoVolatility::AboveUpperBound};
    const double tolerance = PriceTolerance(pricer);
    if (price <= pricer.LowerBound(strike, call) + tolerance)
        return {0, NoVolatility::BelowIntrinsic};

    const auto european = [&](double sigma) { return pricer.EuropeanValue(sigma, strike, call); };
    if (!pricer.American())
        return Search(european, pricer, price, strike, pricer.LowestVolatility(),
                      guess > 0 ? guess : StartOf(pricer, price, strike, call), tolerance);

    // The American models start where the European formula ends: one
    // search of the cheap formula saves steps of the costly tree.
    if (!(guess > 0)) {
        const VolSolution start = Search(european, pricer, price, strike, 0.0001,
                                         StartOf(pricer, price, strike, call), 1e-6);
        guess = start.Solved() ? start.vol : StartOf(pricer, price, strike, call);
    }
    const auto model = [&](double sigma) { return pricer.Value(sigma, strike, call); };
    return Search(model, pricer, price, strike, pricer.LowestVolatility(), guess,
                  std::max(tolerance, 2e-6 * price));
}

}  // namespace kestrava
