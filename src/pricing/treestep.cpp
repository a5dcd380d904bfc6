#include "pricing/treestep.h"

namespace kestrava::detail {

// Node j reads the old values of j + 1 and j + 2 and writes j + 1, so the
// step vectorises without changing a single rounding.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
void BackwardStep(float* __restrict value, const float* __restrict up, const float* __restrict downN, int n,
                  float base, float K, float phi, float pu, float pd)
{
    for (int j = 0; j <= n; ++j) {
        const float exercise = phi * (base * up[j] * downN[-j] - K);
        const float holding = pu * value[j + 2] + pd * value[j + 1];
        value[j + 1] = exercise > holding ? exercise : holding;
    }
}

}  // namespace kestrava::detail
