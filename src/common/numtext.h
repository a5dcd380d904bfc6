#pragma once
// Plain number texts for machine-readable output.

#include <string>

namespace kestrava {

// Nine significant digits: enough to give back a single-precision value.
std::string FormatSig9(double value);

}  // namespace kestrava
