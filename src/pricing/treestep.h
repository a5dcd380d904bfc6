#pragma once
// One backward step of the binomial tree, the inner loop of the longest
// computation of the program. The processor's widest vectors are chosen when
// the program starts; every result stays bit for bit what the plain loop
// gives (no multiply-add contraction, the same operations in the same order).

namespace kestrava::detail {

// For node j = 0..n: the exercise value phi * (base * up[j] * downN[-j] - K)
// against the holding value pu * value[j + 2] + pd * value[j + 1], the larger
// (a tie keeps holding) written to value[j + 1]. `downN` points at down[n].
void BackwardStep(float* value, const float* up, const float* downN, int n, float base, float K, float phi,
                  float pu, float pd);

}  // namespace kestrava::detail
