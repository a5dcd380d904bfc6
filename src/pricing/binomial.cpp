#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "common/busy.h"
#include "common/numtext.h"
#include "pricing/european.h"
#include "pricing/fpmode.h"
#include "pricing/Models.h"
#include "pricing/treestep.h"

namespace kestrava {
namespace {

// Delta, gamma and decay are read off steps 2 and 4, so fewer steps than
// five have no sample points; a file may hold any count. The upper bound
// keeps a damaged file from tying the program up for hours.
constexpr int kMinSteps = 5;
constexpr int kMaxSteps = 5000;

struct TreeSetup {
    int N;
    float dt;
    float a;                   // growth per step
    float R;                   // discount per step
    float Sstar;               // underlying less the present value of the dividend
    std::vector<float> divPV;  // value at step i of the dividend still to come
};

float YieldOf(const TInOutObj& series)
{
    switch (series.ContractType) {
    case kIndex:
    case kCurrency:
        return series.Dividend;
    case kFuture:
        return series.Rate;
    default:
        return 0.0f;  // an equity's cash dividend is taken out of the tree
    }
}

TreeSetup MakeTreeSetup(const TInOutObj& series)
{
    const int days = detail::RequirePriceable(series);

    TreeSetup t{};
    t.N = std::clamp(series.Steps, kMinSteps, kMaxSteps);
    const double r = series.Rate;
    t.dt = static_cast<float>(static_cast<float>(days / 365.0) / static_cast<double>(t.N));
    t.a = static_cast<float>(std::exp((r - YieldOf(series)) * t.dt));
    t.R = static_cast<float>(std::exp(-r * t.dt));
    const float tD = static_cast<float>(series.DaysToDividend() / 365.0);

    t.divPV.assign(static_cast<std::size_t>(t.N) + 2, 0.0f);
    t.Sstar = series.Underlying;
    if (series.ContractType == kEquity && series.Dividend != 0 && series.DaysToDividend() < days) {
        const int jD = static_cast<int>(tD / t.dt);
        t.Sstar = static_cast<float>(series.Underlying - series.Dividend * std::exp(-r * tD));
        if (!(t.Sstar > 0))
            throw PricingError("underlying price less the dividend must be positive, got "
                               + FormatSig9(t.Sstar));
        for (int i = 1; i < jD && i <= t.N + 1; ++i)
            t.divPV[i] = static_cast<float>(series.Dividend
                                            * std::exp(-r * (tD - static_cast<double>(i) * t.dt)));
    }
    return t;
}

// Work tables sized N + 2, one set per thread, reused for every option it
// prices. The powers of u and d depend only on the volatility, so options
// priced at the same volatility (every option in the flat mode) share them.
struct TreeTables {
    explicit TreeTables(int N)
        : value(static_cast<std::size_t>(N) + 2),
          upPow(static_cast<std::size_t>(N) + 2),
          downPow(static_cast<std::size_t>(N) + 2)
    {
    }
    std::vector<float> value;
    std::vector<float> upPow;
    std::vector<float> downPow;
    float powersSigma = -1;  // the volatility the powers were built for
};

void BuildPowers(TreeTables& w, int N, float sigma, float u, float d)
{
    if (w.powersSigma == sigma)
        return;
    const float lnU = std::log(u);
    const float lnD = std::log(d);
    for (int i = 0; i <= N + 1; ++i) {
        w.upPow[i] = std::exp(static_cast<float>(i) * lnU);
        w.downPow[i] = std::exp(static_cast<float>(i) * lnD);
    }
    w.powersSigma = sigma;
}

void PriceOne(TInOutObj& series, const TreeSetup& t, TreeTables& w, int s, int k)
{
    float sigma, K;
    if (!detail::TakeOption(series, s, k, sigma, K))
        return;

    const int N = t.N;
    const float phi = k == 1 ? 1.0f : -1.0f;
    const float u = static_cast<float>(std::exp(sigma * std::sqrt(static_cast<double>(t.dt))));
    const float d = 1.0f / u;
    const float p = (t.a - d) / (u - d);
    const float pu = p * t.R;
    const float pd = (1.0f - p) * t.R;
    BuildPowers(w, N, sigma, u, d);

    float* const value = w.value.data();
    const float* const up = w.upPow.data();
    const float* const down = w.downPow.data();
    const float Sstar = t.Sstar;

    for (int j = 0; j <= N; ++j)
        value[j + 1] = std::max(phi * (Sstar * up[j] * down[N - j] - K), 0.0f);

    float V4 = 0, V20 = 0, V21 = 0, V22 = 0;
    for (int n = N - 1; n >= 1; --n) {
        detail::BackwardStep(value, up, down + n, n, Sstar + t.divPV[n], K, phi, pu, pd);
        if (n == 4) {
            V4 = value[3];  // four steps on at today's price, since u^2 d^2 = 1
        } else if (n == 2) {
            V20 = value[1];
            V21 = value[2];
            V22 = value[3];
        }
    }

    const float E0 = phi * (Sstar - K);
    const float H0 = pu * value[2] + pd * value[1];
    const float theo = E0 > H0 ? E0 : H0;
    const float u2 = up[2];
    const float d2 = down[2];

    const float delta = (V22 - V20) / (Sstar * (u2 - d2));
    const float gamma = ((V22 - V21) / (Sstar * (u2 - 1.0f)) - (V21 - V20) / (Sstar * (1.0f - d2)))
                        / (0.5f * Sstar * (u2 - d2));
    const float decay = (V4 - theo) / (4.0f * t.dt) / 365.0f;
    // A high volatility over a long tree takes the top nodes beyond the
    // single range; such an option has no value to show, and the caller is
    // told rather than handed infinities.
    if (!std::isfinite(theo) || !std::isfinite(delta) || !std::isfinite(gamma) || !std::isfinite(decay))
        throw PricingError("binomial tree overflows for strike " + std::to_string(s)
                           + (k == 1 ? " (call)" : " (put)") + " at volatility " + FormatSig9(sigma)
                           + " with " + std::to_string(N) + " steps");

    series.Delta(s, k) = delta;
    series.Gamma(s, k) = gamma;
    series.Vega(s, k) = 0;
    series.Decay(s, k) = decay;
    series.Theo(s, k) = theo < 0.001f ? 0.0f : theo;
}

std::atomic<int> treeThreads{0};  // 0: every hardware thread

int ThreadsToUse(int options)
{
    int threads = treeThreads.load();
    if (threads <= 0)
        threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return std::clamp(threads, 1, std::max(options, 1));
}

}  // namespace

void SetBinomialThreads(int threads)
{
    treeThreads.store(std::max(threads, 0));
}

void PriceBinomial(TInOutObj& series)
{
    if (series.NumStrikes <= 0)
        return;
    BusyScope busy;
    const TreeSetup t = MakeTreeSetup(series);

    // Calls of strikes 1 to N, then the puts; each option writes only its
    // own cells, so the results do not depend on how many threads share them.
    const int options = 2 * series.NumStrikes;
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(options));
    std::atomic<int> next{0};
    auto work = [&] {
        const FlushDenormals flush;
        TreeTables tables(t.N);
        for (int i = next++; i < options; i = next++) {
            try {
                PriceOne(series, t, tables, i % series.NumStrikes + 1, i / series.NumStrikes + 1);
            } catch (...) {
                failures[static_cast<std::size_t>(i)] = std::current_exception();
            }
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (int h = 1; h < ThreadsToUse(options); ++h)
            helpers.emplace_back(work);
        work();
    }
    // The first failure in the order of the grid is the one reported.
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}

}  // namespace kestrava
