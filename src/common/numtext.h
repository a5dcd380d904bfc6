#pragma once
// Number texts with a decimal point whatever the process's C locale: the
// windows' framework sets that locale from the environment, so printf's %f,
// %e and %g would write a comma under de_DE or fr_FR. Callers that show a
// number put the locale's separator in afterwards.

#include <string>

namespace kestrava {

// Nine significant digits: enough to give back a single-precision value.
std::string FormatSig9(double value);

// The shortest text without an exponent that reads back to the same
// single-precision value: 139.4 and 0.097, not 139.399994 and 0.0970000029.
std::string FormatShortestSingle(float value);

// printf's "%.*g", "%.*e" and "%.*f", always with a point.
std::string FormatSignificant(double value, int digits);
std::string FormatScientific(double value, int decimals);
std::string FormatFixed(double value, int decimals);

}  // namespace kestrava
