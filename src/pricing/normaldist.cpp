#include <cmath>

#include "pricing/Models.h"
#include "pricing/normaldist.h"

namespace kestrava {
namespace {

// Abramowitz and Stegun 26.2.17; all but p held in single precision.
constexpr float kInvSqrt2Pi = 0.3989423f;
constexpr float kA1 = 0.319381530f;
constexpr float kA2 = 0.356563782f;
constexpr float kA3 = 1.781477937f;
constexpr float kA4 = 1.821255978f;
constexpr float kA5 = 1.330274429f;
constexpr double kP = 0.2316419;

struct NormalPoint {
    float cdf;      // N(x)
    float density;  // n(x)
};

NormalPoint Evaluate(float x)
{
    // In double this quotient rounds to the same float as in extended
    // precision for every finite float x (all 2^31 of them compared), and
    // costs a fraction of the x87 division.
    const float t = static_cast<float>(1.0 / (1.0 + kP * std::fabs(x)));
    const float density = static_cast<float>(kInvSqrt2Pi * std::exp(-0.5 * x * x));
    const double t2 = static_cast<double>(t) * t;
    const double t3 = t2 * t;
    const double t4 = t3 * t;
    const double t5 = t4 * t;
    const double poly = kA1 * static_cast<double>(t) - kA2 * t2 + kA3 * t3 - kA4 * t4 + kA5 * t5;
    double cdf = 1.0 - density * poly;
    if (x < 0)
        cdf = 1.0 - cdf;
    return {static_cast<float>(cdf), density};
}

}  // namespace

NormalPairResult NormalPair(float x1, float x2)
{
    const NormalPoint first = Evaluate(x1);
    const NormalPoint second = Evaluate(x2);
    return {first.cdf, second.cdf, first.density};
}

float detail::NormalUpperPolynomial(float absX)
{
    return Evaluate(std::fabs(absX)).cdf;
}

}  // namespace kestrava
