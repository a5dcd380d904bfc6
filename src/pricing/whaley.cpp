#include <algorithm>
#include <cmath>

#include "pricing/european.h"
#include "pricing/Models.h"

namespace kestrava {

using detail::EuropeanSetup;

namespace {

constexpr float kTolerance = 0.00001f;  // relative to the strike
constexpr float kCarryCapFactor = 0.6f;
// Compared in double: the single nearest 0.01 lies below one cent.
// The iteration usually settles in two or three steps from its seed; one
// that has not settled by now never will.
constexpr int kMaxNewtonSteps = 100;

bool Finite(double x)
{
    return std::isfinite(x);
}

// What depends only on the volatility: the same for every strike of a
// flat-volatility page, so worked out once for a run of equal volatilities.
struct Common {
    float sigma, v, h, M, W;
    float qinf;  // q2 or q1 as the time to expiry grows without bound
    float q;     // q2 for a call, q1 for a put
};

Common MakeCommon(const EuropeanSetup& e, float sigma, int k)
{
    Common c{};
    c.sigma = sigma;
    c.v = static_cast<float>(static_cast<double>(sigma) * e.sqT);
    c.h = static_cast<float>(1.0 - e.Dr);
    c.M = static_cast<float>(2.0 * e.r / (static_cast<double>(sigma) * sigma));
    c.W = static_cast<float>(2.0 * e.b / (static_cast<double>(sigma) * sigma));
    const double sign = k == 1 ? 1.0 : -1.0;
    c.qinf = static_cast<float>((-(c.W - 1.0) + sign * std::sqrt((c.W - 1.0) * (c.W - 1.0) + 4.0 * c.M))
                                / 2.0);
    c.q = static_cast<float>((-(c.W - 1.0) + sign * std::sqrt((c.W - 1.0) * (c.W - 1.0) + 4.0 * c.M / c.h))
                             / 2.0);
    return c;
}

// The American value when the critical price cannot be found: the
// European value or immediate exercise, whichever is worth more.
float FallbackTheo(float european, float intrinsic)
{
    return detail::FloorTheo(std::max(european, intrinsic));
}

detail::OptionOutputs PriceCall(const EuropeanSetup& e, const Common& c, float strike, int s)
{
    const double K = strike, T = e.T, b = e.b, v = c.v, sigma = c.sigma;
    const double Dc = e.Dc, Dr = e.Dr;

    const float q2inf = c.qinf;
    const float Sinf = static_cast<float>(K / (1.0 - 1.0 / q2inf));
    const float h2 = static_cast<float>(-(b * T + 2.0 * v) * K / (Sinf - K));
    float Si = static_cast<float>(K + (Sinf - K) * (1.0 - std::exp(static_cast<double>(h2))));
    const float q2 = c.q;

    // Newton iteration for the critical price S*.
    float N1 = 0;
    bool settled = false;
    for (int step = 0; step < kMaxNewtonSteps && Finite(Si) && Si > 0; ++step) {
        const float d1 = static_cast<float>((std::log(Si / K) + (b + sigma * sigma / 2.0) * T) / v);
        const float d2 = static_cast<float>(d1 - v);
        const NormalPairResult n = NormalPair(d1, d2);
        N1 = n.N1;
        const float cv = static_cast<float>(Si * Dc * n.N1 - K * Dr * n.N2);
        const float lhs = static_cast<float>(Si - K);
        const float rhs = static_cast<float>(cv + (1.0 - Dc * n.N1) * Si / q2);
        if (std::fabs(static_cast<double>(lhs) - rhs) / K < kTolerance) {
            settled = true;
            break;
        }
        const float bi = static_cast<float>(Dc * n.N1 * (1.0 - 1.0 / q2) + (1.0 - Dc * n.n1 / v) / q2);
        Si = static_cast<float>((K + rhs - static_cast<double>(bi) * Si) / (1.0 - bi));
    }

    // European part and greeks at today's price.
    const double S = e.S;
    const float d1 = static_cast<float>((std::log(S / K) + (b + sigma * sigma / 2.0) * T) / v);
    const float d2 = static_cast<float>(d1 - v);
    const NormalPairResult n = NormalPair(d1, d2);
    const float european = static_cast<float>(S * Dc * n.N1 - K * Dr * n.N2);
    const detail::EuropeanGreeks g = detail::CallGreeks(e, e.b, c.sigma, c.v, strike, n.N1, n.N2, n.n1);

    float theo = FallbackTheo(european, static_cast<float>(S - K));
    if (settled && Finite(q2)) {
        const float Sstar = Si;
        const float A2 = static_cast<float>((1.0 - Dc * N1) * Sstar / q2);
        const float american = S < Sstar ? static_cast<float>(
                                   european + A2 * std::pow(S / Sstar, static_cast<double>(q2)))
                                         : static_cast<float>(S - K);
        if (Finite(american))
            theo = detail::FloorTheo(american);
    }
    detail::RequireFiniteOutputs(theo, g, s, 1);
    return {theo, g};
}

detail::OptionOutputs PricePut(const EuropeanSetup& e, const Common& c, float strike, int s)
{
    const double K = strike, T = e.T, b = e.b, v = c.v, sigma = c.sigma;
    const double Dc = e.Dc, Dr = e.Dr;

    const float q1inf = c.qinf;
    const float Sinf = static_cast<float>(K / (1.0 - 1.0 / q1inf));
    const float h1 = static_cast<float>((b * T - 2.0 * v) * K / (K - Sinf));
    float Si = static_cast<float>(Sinf + (K - Sinf) * std::exp(static_cast<double>(h1)));
    const float q1 = c.q;

    // A very low volatility caps the carry of this put's drift and decay;
    // the next put starts again from the contract's carry.
    float bp = e.b;
    const float cap = static_cast<float>(kCarryCapFactor * sigma / e.sqT);
    if (cap < e.b)
        bp = cap;

    float Nm1 = 0;
    bool settled = false;
    for (int step = 0; step < kMaxNewtonSteps && Finite(Si) && Si > 0; ++step) {
        const float d1 = static_cast<float>((std::log(Si / K) + (bp + sigma * sigma / 2.0) * T) / v);
        const float d2 = static_cast<float>(d1 - v);
        const NormalPairResult n = NormalPair(-d1, -d2);
        Nm1 = n.N1;
        const float pv = static_cast<float>(K * Dr * n.N2 - Si * Dc * n.N1);
        const float lhs = static_cast<float>(K - Si);
        const float rhs = static_cast<float>(pv - (1.0 - Dc * n.N1) * Si / q1);
        if (std::fabs(static_cast<double>(lhs) - rhs) / K < kTolerance) {
            settled = true;
            break;
        }
        const float bi = static_cast<float>(-Dc * n.N1 * (1.0 - 1.0 / q1) - (1.0 + Dc * n.n1 / v) / q1);
        Si = static_cast<float>((K - rhs + static_cast<double>(bi) * Si) / (1.0 + bi));
    }

    const double S = e.S;
    const float d1 = static_cast<float>((std::log(S / K) + (bp + sigma * sigma / 2.0) * T) / v);
    const float d2 = static_cast<float>(d1 - v);
    const NormalPairResult n = NormalPair(-d1, -d2);
    const float european = static_cast<float>(K * Dr * n.N2 - S * Dc * n.N1);
    const detail::EuropeanGreeks g = detail::PutGreeks(e, bp, c.sigma, c.v, strike, n.N1, n.N2, n.n1);

    float theo = FallbackTheo(european, static_cast<float>(K - S));
    if (settled && Finite(q1)) {
        const float Sstar = Si;
        const float A1 = static_cast<float>(-(1.0 - Dc * Nm1) * Sstar / q1);
        const float american = S > Sstar ? static_cast<float>(
                                   european + A1 * std::pow(S / Sstar, static_cast<double>(q1)))
                                         : static_cast<float>(K - S);
        if (Finite(american))
            theo = detail::FloorTheo(american);
    }
    detail::RequireFiniteOutputs(theo, g, s, 2);
    return {theo, g};
}

}  // namespace

namespace detail {

OptionOutputs WhaleyOption(const EuropeanSetup& e, float sigma, float K, int k, int s)
{
    // The same shortcuts as for a whole expiry.
    if ((k == 1 && e.b >= e.r) || (k == 2 && e.r <= 0))
        return EuropeanOption(e, sigma, K, k, s);
    const Common c = MakeCommon(e, sigma, k);
    return k == 1 ? PriceCall(e, c, K, s) : PricePut(e, c, K, s);
}

}  // namespace detail

void PriceWhaley(TInOutObj& series)
{
    if (series.NumStrikes <= 0)
        return;
    const EuropeanSetup e = detail::MakeEuropeanSetup(series);

    // A call is never exercised early while the carry pays at least the
    // rate; a put is, whenever the rate is positive, whatever the carry (an
    // equity put deep in the money is worth its exercise value at once).
    const bool europeanCalls = e.b >= e.r;
    const bool europeanPuts = e.r <= 0;
    if (europeanCalls || europeanPuts)
        PriceBlackScholes(series);
    if (europeanCalls && europeanPuts)
        return;

    for (int k = 1; k <= 2; ++k) {
        if ((k == 1 && europeanCalls) || (k == 2 && europeanPuts))
            continue;
        Common c{};
        bool haveCommon = false;
        for (int s = 1; s <= series.NumStrikes; ++s) {
            float sigma, K;
            if (!detail::TakeOption(series, s, k, sigma, K))
                continue;
            if (!haveCommon || sigma != c.sigma) {
                c = MakeCommon(e, sigma, k);
                haveCommon = true;
            }
            const detail::OptionOutputs out = k == 1 ? PriceCall(e, c, K, s) : PricePut(e, c, K, s);
            detail::WriteOutputs(series, s, k, out.theo, out.greeks);
        }
    }
}

}  // namespace kestrava
