#pragma once
// The value axis of a chart pass: the range of the values rounded outwards
// to whole label steps.

namespace kestrava {

struct AxisScale {
    float low = 0;   // AxisLow
    float high = 0;  // AxisHigh
    float step = 0;  // AxisStep
    // The same range in whole units of step / factor, so labels can be
    // counted off without summing rounding errors.
    double lowUnits = 0;
    double highUnits = 0;
    double stepUnits = 1;
    double factor = 1;  // 1, 100 or 10000

    // Number of labelled values from low to high, both included.
    int LabelCount() const;
    // The k-th labelled value, k from 0.
    double LabelValue(int k) const;
};

// The label step for a span of whole units: 1, 2, 5, 10, 20, 25, 50, ...,
// 10000, and beyond 100000 the power of ten that leaves at most ten steps.
double AxisStepFor(double span);

// Spans of at most 1 are scaled by 10000 and spans of at most 5 by 100
// before rounding; closes between 21.3 and 38.9 give 20 to 40 by 2. A range
// without width (a flat series) gets one step above its bottom.
AxisScale MakeAxisScale(float lowest, float highest);

}  // namespace kestrava
