#include <cmath>
#include <string>

#include "common/numtext.h"
#include "pricing/european.h"
#include "pricing/Models.h"
#include "pricing/normaldist.h"

namespace kestrava {

using detail::EuropeanSetup;

namespace detail {

OptionOutputs EuropeanOption(const EuropeanSetup& e, float sigma, float K, int k, int s)
{
    const double S = e.S;
    const float v = static_cast<float>(static_cast<double>(sigma) * e.sqT);
    const float d1 = static_cast<float>(
        (std::log(S / K) + (e.b + static_cast<double>(sigma) * sigma / 2.0) * e.T) / v);
    const float d2 = static_cast<float>(static_cast<double>(d1) - v);

    // The put computes its own gamma and vega at its own volatility, so the
    // bid and ask modes give each side the greeks of the price it shows.
    OptionOutputs out{};
    if (k == 1) {
        const NormalPairResult n = NormalPair(d1, d2);
        out.theo = FloorTheo(static_cast<float>(S * e.Dc * n.N1 - static_cast<double>(K) * e.Dr * n.N2));
        out.greeks = CallGreeks(e, e.b, sigma, v, K, n.N1, n.N2, n.n1);
    } else {
        const NormalPairResult n = NormalPair(-d1, -d2);
        out.theo = FloorTheo(static_cast<float>(static_cast<double>(K) * e.Dr * n.N2 - S * e.Dc * n.N1));
        out.greeks = PutGreeks(e, e.b, sigma, v, K, n.N1, n.N2, n.n1);
    }
    RequireFiniteOutputs(out.theo, out.greeks, s, k);
    return out;
}

}  // namespace detail

namespace {

void PriceOne(TInOutObj& series, const EuropeanSetup& e, int s, int k)
{
    float sigma, K;
    if (!detail::TakeOption(series, s, k, sigma, K))
        return;
    const detail::OptionOutputs out = detail::EuropeanOption(e, sigma, K, k, s);
    detail::WriteOutputs(series, s, k, out.theo, out.greeks);
}

}  // namespace

void PriceBlackScholes(TInOutObj& series)
{
    if (series.NumStrikes <= 0)
        return;
    const EuropeanSetup e = detail::MakeEuropeanSetup(series);
    for (int s = 1; s <= series.NumStrikes; ++s) {
        PriceOne(series, e, s, 1);
        PriceOne(series, e, s, 2);
    }
}

void ComputeProbabilities(TInOutObj& series)
{
    if (series.NumStrikes <= 0)
        return;
    const int days = detail::RequirePriceable(series);
    const float T = static_cast<float>(days / 365.0);
    const double S = series.Underlying;

    for (int s = 1; s <= series.NumStrikes; ++s) {
        for (int k = 1; k <= 2; ++k) {
            const float sigma = series.Vol(s, k);
            const float K = series.Strike(s, k);
            if (sigma == 0 || !detail::PositiveStrike(K)) {
                series.ProbAbove(s, k) = 0;
                series.ProbBelow(s, k) = 0;
                continue;
            }
            const float z = static_cast<float>(std::log(K / S) / (sigma * std::sqrt(static_cast<double>(T))));
            const float P = detail::NormalUpperPolynomial(std::fabs(z));
            if (k == 1)
                series.ProbAbove(s, 1) = z < 0 ? P : static_cast<float>(1.0 - P);
            else
                series.ProbBelow(s, 2) = z < 0 ? static_cast<float>(1.0 - P) : P;
        }
    }
}

}  // namespace kestrava
