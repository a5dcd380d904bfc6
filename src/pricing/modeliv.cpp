#include "pricing/modeliv.h"

#include <algorithm>
#include <cmath>

#include "common/rootfind.h"
#include "pricing/Models.h"

namespace kestrava {
namespace {

constexpr double kPriceTolerance = 1e-4;  // a hundredth of a cent
constexpr double kVolTolerance = 1e-7;
constexpr int kMaxEvaluations = 60;

double ExactN(double x)
{
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

}  // namespace

double EuropeanFormula(const detail::EuropeanSetup& e, double K, int k, double sigma)
{
    const double v = sigma * std::sqrt(static_cast<double>(e.T));
    const double d1 = (std::log(e.S / K) + (e.b + sigma * sigma / 2) * e.T) / v;
    const double d2 = d1 - v;
    const double Dc = std::exp((static_cast<double>(e.b) - e.r) * e.T);
    const double Dr = std::exp(-static_cast<double>(e.r) * e.T);
    return k == 1 ? e.S * Dc * ExactN(d1) - K * Dr * ExactN(d2)
                  : K * Dr * ExactN(-d2) - e.S * Dc * ExactN(-d1);
}

double EuropeanImpliedVol(const TInOutObj& inputs, double K, int k, double price)
{
    if (!(K > 0) || !(price > 0) || inputs.DaysToExpiry() <= 0 || !(inputs.Underlying > 0))
        return 0;
    detail::EuropeanSetup e{};
    try {
        e = detail::MakeEuropeanSetup(inputs);
    } catch (const PricingError&) {
        return 0;  // an underlying the dividend takes to 0 or below has no smile
    }
    auto f = [&](double sigma) { return EuropeanFormula(e, K, k, sigma) - price; };
    const double lo = kLowestImpliedVol, hi = kHighestImpliedVol;
    const Root root = FindRoot(f, lo, hi, f(lo), f(hi), 1e-10, 1e-10);
    return root.found ? root.x : 0;
}

float SolveModelIV(OptionPricer& pricer, float K, int k, double price)
{
    if (!pricer.Live() || !(price > 0))
        return 0;
    auto f = [&](double sigma) {
        return static_cast<double>(pricer.Value(K, k, static_cast<float>(sigma))) - price;
    };
    const double lo = kLowestImpliedVol, hi = kHighestImpliedVol;

    // The European volatility of the price is close for every model; a
    // bracket is stepped out from it, so a tree is priced a handful of times.
    double guess = EuropeanImpliedVol(pricer.Inputs(), K, k, price);
    if (!(guess > lo && guess < hi))
        guess = 0.3;
    const double fGuess = f(guess);
    if (std::fabs(fGuess) <= kPriceTolerance)
        return static_cast<float>(guess);
    double a = guess, fa = fGuess, b = guess, fb = fGuess;
    int evaluations = 1;
    const bool below = fGuess < 0;
    double width = std::max(0.02, guess * 0.05);
    while ((fb < 0) == below && evaluations < kMaxEvaluations) {
        a = b;
        fa = fb;
        b = below ? std::min(hi, b + width) : std::max(lo, b - width);
        fb = f(b);
        ++evaluations;
        if (b == hi || b == lo)
            break;
        width *= 2;
    }
    if ((fb < 0) == below) {
        // The price is beyond what the model gives at the edge of the range;
        // at the lowest volatility a price within the tolerance of the
        // model's floor (intrinsic value) still has that volatility.
        return std::fabs(fb) <= kPriceTolerance ? static_cast<float>(b) : 0.0f;
    }
    const Root root = FindRoot(f, a, b, fa, fb, kVolTolerance, kPriceTolerance,
                               kMaxEvaluations - evaluations);
    return static_cast<float>(root.x);
}

}  // namespace kestrava
