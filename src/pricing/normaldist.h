#pragma once
// Pieces of the normal distribution that the models share beyond NormalPair.

namespace kestrava::detail {

// N(x) for x >= 0 by the polynomial approximation, without the sign flip;
// the probabilities take it of |z| and mirror it themselves.
float NormalUpperPolynomial(float absX);

}  // namespace kestrava::detail
