#include "chartcore/AxisScale.h"

#include <cmath>
#include <iterator>

namespace kestrava {
namespace {

struct StepRow {
    double upTo;
    double step;
};

constexpr StepRow kSteps[] = {
    {10, 1},   {20, 2},     {50, 5},     {100, 10},   {200, 20},     {250, 25},
    {500, 50}, {1000, 100}, {2000, 200}, {5000, 500}, {10000, 1000}, {100000, 10000},
};

}  // namespace

int AxisScale::LabelCount() const
{
    if (!(stepUnits > 0) || !(highUnits >= lowUnits))
        return 0;
    return static_cast<int>(std::floor((highUnits - lowUnits) / stepUnits + 1e-9)) + 1;
}

double AxisScale::LabelValue(int k) const
{
    return (lowUnits + k * stepUnits) / factor;
}

double AxisStepFor(double span)
{
    for (const StepRow& row : kSteps) {
        if (span <= row.upTo)
            return row.step;
    }
    double step = kSteps[std::size(kSteps) - 1].step * 10;
    while (span > step * 10 && std::isfinite(step * 10))
        step *= 10;
    return step;
}

AxisScale MakeAxisScale(float lowest, float highest)
{
    double lo = lowest;
    double hi = highest;
    const double range = hi - lo;
    const double factor = range <= 1 ? 10000 : range <= 5 ? 100 : 1;
    lo *= factor;
    hi *= factor;
    hi = std::nearbyint(hi + 0.5);  // the default rounding mode: ties to even
    lo = std::trunc(lo);

    const double step = AxisStepFor(hi - lo);
    // Both ends are whole numbers here, so the remainders are exact.
    lo -= std::fabs(std::fmod(lo, step));
    const double over = std::fmod(hi, step);
    if (over > 0)
        hi = hi - over + step;
    if (!(hi > lo))
        hi = lo + step;

    AxisScale scale;
    scale.low = static_cast<float>(lo / factor);
    scale.high = static_cast<float>(hi / factor);
    scale.step = static_cast<float>(step / factor);
    scale.lowUnits = lo;
    scale.highUnits = hi;
    scale.stepUnits = step;
    scale.factor = factor;
    return scale;
}

}  // namespace kestrava
