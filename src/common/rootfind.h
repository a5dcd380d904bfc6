#pragma once
// Brent's method: a root of f between a and b, where f(a) and f(b) have
// opposite signs (or one is 0). Inverse quadratic interpolation and secant
// steps where they make progress, bisection where they do not, so it never
// takes more steps than bisection would and usually far fewer. Used for the
// volatility a model gives a market price at and for the prices where a
// position breaks even.

#include <cmath>
#include <utility>

namespace kestrava {

struct Root {
    double x = 0;
    double fx = 0;
    bool found = false;  // false: f(a) and f(b) had the same sign
};

// Stops when |f(x)| <= fTolerance, when the bracket is narrower than
// xTolerance, or after maxSteps evaluations; returns the best point seen.
template <typename F>
Root FindRoot(F&& f, double a, double b, double fa, double fb, double xTolerance, double fTolerance,
              int maxSteps = 100)
{
    if (fa == 0)
        return {a, fa, true};
    if (fb == 0)
        return {b, fb, true};
    if ((fa < 0) == (fb < 0))
        return {std::fabs(fa) < std::fabs(fb) ? a : b, std::fabs(fa) < std::fabs(fb) ? fa : fb, false};
    if (std::fabs(fa) < std::fabs(fb)) {
        std::swap(a, b);
        std::swap(fa, fb);
    }
    double c = a, fc = fa, d = b - a;
    bool bisected = true;
    for (int step = 0; step < maxSteps; ++step) {
        if (std::fabs(fb) <= fTolerance || std::fabs(b - a) <= xTolerance)
            break;
        double s;
        if (fa != fc && fb != fc)
            s = a * fb * fc / ((fa - fb) * (fa - fc)) + b * fa * fc / ((fb - fa) * (fb - fc))
                + c * fa * fb / ((fc - fa) * (fc - fb));
        else
            s = b - fb * (b - a) / (fb - fa);
        const double lowEnd = (3 * a + b) / 4;
        const bool outside = (s - lowEnd) * (s - b) >= 0;
        const bool slow = bisected ? std::fabs(s - b) >= std::fabs(b - c) / 2
                                   : std::fabs(s - b) >= std::fabs(c - d) / 2;
        const bool tiny = bisected ? std::fabs(b - c) < xTolerance : std::fabs(c - d) < xTolerance;
        bisected = outside || slow || tiny || !std::isfinite(s);
        if (bisected)
            s = (a + b) / 2;
        const double fs = f(s);
        d = c;
        c = b;
        fc = fb;
        if ((fa < 0) == (fs < 0)) {
            a = s;
            fa = fs;
        } else {
            b = s;
            fb = fs;
        }
        if (std::fabs(fa) < std::fabs(fb)) {
            std::swap(a, b);
            std::swap(fa, fb);
        }
    }
    return {b, fb, true};
}

}  // namespace kestrava
