#include <cmath>

#include "pricing/european.h"
#include "pricing/Models.h"

namespace kestrava {

using detail::EuropeanSetup;

namespace {

constexpr float kPriceTolerance = 0.005f;  // price units, absolute
constexpr float kLowerBound = 0.001f;      // for vega and for the volatility
// Each search usually ends in under ten steps; a price the model can only
// circle around gets no implied volatility.
constexpr int kMaxNewtonSteps = 100;

using PriceTable = PerStrike<float> TInOutObj::*;

// The volatility at which the European formula gives P, or 0 when the
// search leaves its bounds, stops settling, or meets a non-finite value.
float SolveOne(const EuropeanSetup& e, float P, float K, bool call)
{
    const double S = e.S, T = e.T, b = e.b, Dc = e.Dc, Dr = e.Dr;
    const float L = static_cast<float>(std::log(S / K));
    float sigma = static_cast<float>(std::sqrt((std::fabs(L) + e.r * T) * 2.0 / T));

    for (int step = 0; step < kMaxNewtonSteps; ++step) {
        if (!std::isfinite(sigma))
            return 0;
        const float d1 = static_cast<float>((L + (b + static_cast<double>(sigma) * sigma / 2.0) * T)
                                            / (static_cast<double>(sigma) * e.sqT));
        const float d2 = static_cast<float>(d1 - static_cast<double>(sigma) * e.sqT);
        double value;
        float n1;
        if (call) {
            const NormalPairResult n = NormalPair(d1, d2);
            value = S * Dc * n.N1 - static_cast<double>(K) * Dr * n.N2;
            n1 = n.n1;
        } else {
            const NormalPairResult n = NormalPair(-d1, -d2);
            value = static_cast<double>(K) * Dr * n.N2 - S * Dc * n.N1;
            n1 = n.n1;
        }
        if (!std::isfinite(value))
            return 0;
        if (std::fabs(value - P) <= kPriceTolerance)
            return sigma;
        const double vega = S * Dc * n1 * e.sqT;  // per unit of volatility
        if (!(vega > kLowerBound))
            return 0;
        sigma = static_cast<float>(sigma - (value - P) / vega);
        if (!(sigma > kLowerBound))
            return 0;
    }
    return 0;
}

void Solve(TInOutObj& series, PriceTable priceTable, PriceTable resultTable)
{
    if (series.NumStrikes <= 0)
        return;
    const EuropeanSetup e = detail::MakeEuropeanSetup(series);
    auto& prices = series.*priceTable;
    auto& results = series.*resultTable;
    for (int k = 1; k <= 2; ++k) {
        for (int s = 1; s <= series.NumStrikes; ++s) {
            results(s, k) = 0;
            const float P = prices(s, k);
            if (P == 0)
                continue;
            const float K = series.Strike(s, k);
            if (!detail::PositiveStrike(K))
                continue;
            results(s, k) = SolveOne(e, P, K, k == 1);
        }
    }
}

}  // namespace

void SolveBidIV(TInOutObj& series)
{
    Solve(series, &TInOutObj::Bid, &TInOutObj::BidIV);
}

void SolveAskIV(TInOutObj& series)
{
    Solve(series, &TInOutObj::Ask, &TInOutObj::AskIV);
}

}  // namespace kestrava
