#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <vector>

#include "common/busy.h"
#include "common/numtext.h"
#include "common/parallel.h"
#include "pricing/binomialtree.h"
#include "pricing/european.h"
#include "pricing/fpmode.h"
#include "pricing/Models.h"

namespace kestrava {
namespace {

void PriceOne(TInOutObj& series, BinomialTree& tree, int s, int k)
{
    float sigma, K;
    if (!detail::TakeOption(series, s, k, sigma, K))
        return;
    const TreeFigures f = tree.Price(sigma, K, k);
    // A high volatility over a long tree takes the top nodes beyond the
    // single range; such an option has no value to show, and the caller is
    // told rather than handed infinities.
    if (!std::isfinite(f.value) || !std::isfinite(f.delta) || !std::isfinite(f.gamma)
        || !std::isfinite(f.decay))
        throw PricingError("binomial tree overflows for strike " + std::to_string(s)
                           + (k == 1 ? " (call)" : " (put)") + " at volatility " + FormatSig9(sigma)
                           + " with " + std::to_string(tree.Steps()) + " steps");

    series.Delta(s, k) = f.delta;
    series.Gamma(s, k) = f.gamma;
    series.Vega(s, k) = 0;
    series.Decay(s, k) = f.decay;
    series.Theo(s, k) = f.value < 0.001f ? 0.0f : f.value;
}

std::atomic<int> treeThreads{0};  // 0: every hardware thread

}  // namespace

void SetBinomialThreads(int threads)
{
    treeThreads.store(std::max(threads, 0));
}

int BinomialThreads()
{
    const int threads = treeThreads.load();
    return threads > 0 ? threads : HardwareThreads();
}

void PriceBinomial(TInOutObj& series)
{
    if (series.NumStrikes <= 0)
        return;
    BusyScope busy;
    const BinomialTree prototype(series);

    // Calls of strikes 1 to N, then the puts; each option writes only its
    // own cells, so the results do not depend on how many threads share them.
    // The first failure in the order of the grid is the one reported.
    const int options = 2 * series.NumStrikes;
    const int strikes = series.NumStrikes;
    ParallelFor(options, BinomialThreads(), [&] {
        return [&series, strikes, tree = prototype](int i) mutable {  // work tables of its own
            const FlushDenormals flush;
            PriceOne(series, tree, i % strikes + 1, i / strikes + 1);
        };
    });
}

}  // namespace kestrava
