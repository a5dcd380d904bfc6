#include "pricing/european.h"

#include <cmath>
#include <string>

#include "common/numtext.h"
#include "pricing/Models.h"

namespace kestrava::detail {

float CarryOf(const TInOutObj& series)
{
    switch (series.ContractType) {
    case kIndex:
    case kCurrency:
        return static_cast<float>(static_cast<double>(series.Rate) - series.Dividend);
    case kFuture:
        return 0.0f;
    default:
        return series.Rate;
    }
}

int RequirePriceable(const TInOutObj& series)
{
    const int days = series.DaysToExpiry();
    if (days <= 0)
        throw PricingError("days to expiry must be positive, got " + std::to_string(days));
    if (!(series.Underlying > 0))
        throw PricingError("underlying price must be positive, got " + FormatSig9(series.Underlying));
    return days;
}

EuropeanSetup MakeEuropeanSetup(const TInOutObj& series)
{
    const int days = RequirePriceable(series);

    EuropeanSetup e{};
    e.T = static_cast<float>(days / 365.0);
    e.r = series.Rate;
    e.b = CarryOf(series);
    e.S = series.Underlying;
    e.Dr = static_cast<float>(std::exp(-static_cast<double>(e.r) * e.T));
    e.Dc = static_cast<float>(std::exp((static_cast<double>(e.b) - e.r) * e.T));
    e.sqT = static_cast<float>(std::sqrt(static_cast<double>(e.T)));

    // A dividend on or before the valuation date takes the whole amount off.
    const int divDays = series.DaysToDividend();
    if (series.ContractType == kEquity && series.Dividend != 0 && divDays < days) {
        e.S = static_cast<float>(e.S
                                 - series.Dividend * std::exp(-static_cast<double>(e.r) * divDays / 365.0));
        if (!(e.S > 0))
            throw PricingError("underlying price less the dividend must be positive, got " + FormatSig9(e.S));
    }
    return e;
}

bool PositiveStrike(float strike)
{
    return strike > 0 && std::isfinite(strike);
}

EuropeanGreeks CallGreeks(const EuropeanSetup& e, float carry, float sigma, float v, float K, float Nd1,
                          float Nd2, float n1)
{
    const double S = e.S, Dc = e.Dc, Dr = e.Dr, r = e.r;
    EuropeanGreeks g{};
    g.delta = static_cast<float>(Dc * Nd1);
    g.gamma = static_cast<float>(Dc * n1 / (S * v));
    g.vega = static_cast<float>(S * Dc * n1 * e.sqT / 100.0);
    g.decay = static_cast<float>(
        (-S * Dc * n1 * sigma / (2.0 * e.sqT) - (carry - r) * S * Dc * Nd1 - r * K * Dr * Nd2) / 365.0);
    return g;
}

EuropeanGreeks PutGreeks(const EuropeanSetup& e, float carry, float sigma, float v, float K, float NminusD1,
                         float NminusD2, float n1)
{
    const double S = e.S, Dc = e.Dc, Dr = e.Dr, r = e.r;
    EuropeanGreeks g{};
    g.delta = static_cast<float>(-Dc * NminusD1);
    g.gamma = static_cast<float>(Dc * n1 / (S * v));
    g.vega = static_cast<float>(S * Dc * n1 * e.sqT / 100.0);
    g.decay = static_cast<float>(
        (-S * Dc * n1 * sigma / (2.0 * e.sqT) + (carry - r) * S * Dc * NminusD1 + r * K * Dr * NminusD2)
        / 365.0);
    return g;
}

void ZeroOutputs(TInOutObj& series, int s, int k)
{
    series.Theo(s, k) = 0;
    series.Delta(s, k) = 0;
    series.Gamma(s, k) = 0;
    series.Vega(s, k) = 0;
    series.Decay(s, k) = 0;
}

void RequireFiniteOutputs(float theo, const EuropeanGreeks& g, int s, int k)
{
    if (!std::isfinite(theo) || !std::isfinite(g.delta) || !std::isfinite(g.gamma) || !std::isfinite(g.vega)
        || !std::isfinite(g.decay))
        throw PricingError("no finite value for strike " + std::to_string(s) + (k == 1 ? " (call)" : " (put)")
                           + ": the inputs are beyond what the model can price");
}

bool TakeOption(TInOutObj& series, int s, int k, float& sigma, float& K)
{
    sigma = series.Vol(s, k);
    K = series.Strike(s, k);
    if (!(sigma > 0) || !PositiveStrike(K)) {
        ZeroOutputs(series, s, k);
        return false;
    }
    return true;
}

float FloorTheo(float stored)
{
    return static_cast<double>(stored) < 0.01 ? 0.0f : stored;
}

void WriteOutputs(TInOutObj& series, int s, int k, float theo, const EuropeanGreeks& g)
{
    RequireFiniteOutputs(theo, g, s, k);
    series.Theo(s, k) = theo;
    series.Delta(s, k) = g.delta;
    series.Gamma(s, k) = g.gamma;
    series.Vega(s, k) = g.vega;
    series.Decay(s, k) = g.decay;
}

}  // namespace kestrava::detail
