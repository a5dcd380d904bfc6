#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "common/busy.h"
#include "common/numtext.h"
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

int ThreadsToUse(int options)
{
    return std::clamp(BinomialThreads(), 1, std::max(options, 1));
}

}  // namespace

void SetBinomialThreads(int threads)
{
    treeThreads.store(std::max(threads, 0));
}

int BinomialThreads()
{
    // Asked once: the answer is read from the system's files each time.
    static const int hardware = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int threads = treeThreads.load();
    return threads > 0 ? threads : hardware;
}

void PriceBinomial(TInOutObj& series)
{
    if (series.NumStrikes <= 0)
        return;
    BusyScope busy;
    const BinomialTree prototype(series);

    // Calls of strikes 1 to N, then the puts; each option writes only its
    // own cells, so the results do not depend on how many threads share them.
    const int options = 2 * series.NumStrikes;
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(options));
    std::atomic<int> next{0};
    auto work = [&] {
        const FlushDenormals flush;
        BinomialTree tree = prototype;  // work tables of its own
        for (int i = next++; i < options; i = next++) {
            try {
                PriceOne(series, tree, i % series.NumStrikes + 1, i / series.NumStrikes + 1);
            } catch (...) {
                failures[static_cast<std::size_t>(i)] = std::current_exception();
            }
        }
    };
    {
        std::vector<std::jthread> helpers;
        const int threads = ThreadsToUse(options);
        for (int h = 1; h < threads; ++h)
            helpers.emplace_back(work);
        work();
    }
    // The first failure in the order of the grid is the one reported.
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}

}  // namespace kestrava
