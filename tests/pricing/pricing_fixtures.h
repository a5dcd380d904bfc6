#pragma once
// Series that the pricing tests and benchmarks share, and a reference
// Black-Scholes in double precision with the exact normal distribution.

#include <cmath>
#include <vector>

#include "pricing/IORecObj1.h"

namespace kestrava::fixtures {

// Valued on 2 January 2008; the expiry is `days` later.
inline TInOutObj MakeSeries(int contract, int model, float underlying, float rate, float sigma, int days,
                            std::initializer_list<float> strikes)
{
    TInOutObj p;
    p.ContractType = contract;
    p.Model = model;
    p.Steps = 200;
    p.Underlying = underlying;
    p.Rate = rate;
    p.Sigma = sigma;
    p.TodayDate = EncodeDate(2008, 1, 2);
    p.PriceDate = p.TodayDate;
    p.ExpiryDate = p.TodayDate + days;
    int s = 0;
    for (float k : strikes) {
        ++s;
        p.Strike(s, 1) = k;
        p.Strike(s, 2) = k;
        p.Vol(s, 1) = sigma;
        p.Vol(s, 2) = sigma;
    }
    p.NumStrikes = s;
    return p;
}

inline double ExactN(double x)
{
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

struct ReferenceValue {
    double call, put, callDelta, putDelta, gamma, vega;
};

// Generalised Black-Scholes with carry b; vega per volatility point.
inline ReferenceValue ReferenceBlackScholes(double S, double K, double T, double r, double b, double sigma)
{
    const double v = sigma * std::sqrt(T);
    const double d1 = (std::log(S / K) + (b + sigma * sigma / 2) * T) / v;
    const double d2 = d1 - v;
    const double Dc = std::exp((b - r) * T), Dr = std::exp(-r * T);
    const double density = std::exp(-d1 * d1 / 2) / std::sqrt(2 * M_PI);
    return {S * Dc * ExactN(d1) - K * Dr * ExactN(d2),
            K * Dr * ExactN(-d2) - S * Dc * ExactN(-d1),
            Dc * ExactN(d1),
            -Dc * ExactN(-d1),
            Dc * density / (S * v),
            S * Dc * density * std::sqrt(T) / 100};
}

// The largest page a series holds: 3 expiries (30, 60 and 90 days) x 20
// strikes (80 to 118 by 2), underlying 100, rate 5 %, volatility 25 %,
// 400 tree steps.
inline std::vector<TInOutObj> LargestPage(int contract, int model, float dividend = 0)
{
    std::vector<TInOutObj> page;
    for (int days : {30, 60, 90}) {
        TInOutObj p = MakeSeries(
            contract, model, 100, 0.05f, 0.25f, days,
            {80, 82, 84, 86, 88, 90, 92, 94, 96, 98, 100, 102, 104, 106, 108, 110, 112, 114, 116, 118});
        p.Steps = 400;
        p.Dividend = dividend;
        page.push_back(p);
    }
    return page;
}

}  // namespace kestrava::fixtures
