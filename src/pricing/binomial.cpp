#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/busy.h"
#include "common/numtext.h"
#include "pricing/Models.h"
#include "pricing/european.h"

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
    float a;       // growth per step
    float R;       // discount per step
    float Sstar;   // underlying less the present value of the dividend
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
    if (series.ContractType == kEquity && series.Dividend != 0
        && series.DaysToDividend() < days) {
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

// Work tables sized N + 2, allocated once per expiry and reused per option.
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
};

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

    const float lnU = std::log(u);
    const float lnD = std::log(d);
    for (int i = 0; i <= N + 1; ++i) {
        w.upPow[i] = std::exp(static_cast<float>(i) * lnU);
        w.downPow[i] = std::exp(static_cast<float>(i) * lnD);
    }

    float* const value = w.value.data();
    const float* const up = w.upPow.data();
    const float* const down = w.downPow.data();
    const float Sstar = t.Sstar;

    for (int j = 0; j <= N; ++j)
        value[j + 1] = std::max(phi * (Sstar * up[j] * down[N - j] - K), 0.0f);

    float V4 = 0, V20 = 0, V21 = 0, V22 = 0;
    for (int n = N - 1; n >= 1; --n) {
        const float base = Sstar + t.divPV[n];
        const float* const downN = down + n;
        // Node j reads the old values of j + 1 and j + 2 and writes j + 1,
        // so the step vectorises without changing a single rounding.
        for (int j = 0; j <= n; ++j) {
            const float exercise = phi * (base * up[j] * downN[-j] - K);
            const float holding = pu * value[j + 2] + pd * value[j + 1];
            value[j + 1] = exercise > holding ? exercise : holding;
        }
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
    const float gamma =
        ((V22 - V21) / (Sstar * (u2 - 1.0f)) - (V21 - V20) / (Sstar * (1.0f - d2)))
        / (0.5f * Sstar * (u2 - d2));
    const float decay = (V4 - theo) / (4.0f * t.dt) / 365.0f;
    // A high volatility over a long tree takes the top nodes beyond the
    // single range; such an option has no value to show, and the caller is
    // told rather than handed infinities.
    if (!std::isfinite(theo) || !std::isfinite(delta) || !std::isfinite(gamma)
        || !std::isfinite(decay))
        throw PricingError("binomial tree overflows for strike " + std::to_string(s)
                           + (k == 1 ? " (call)" : " (put)") + " at volatility "
                           + FormatSig9(sigma) + " with " + std::to_string(N) + " steps");

    series.Delta(s, k) = delta;
    series.Gamma(s, k) = gamma;
    series.Vega(s, k) = 0;
    series.Decay(s, k) = decay;
    series.Theo(s, k) = theo < 0.001f ? 0.0f : theo;
}

}  // namespace

void PriceBinomial(TInOutObj& series)
{
    if (series.NumStrikes <= 0)
        return;
    BusyScope busy;
    const TreeSetup t = MakeTreeSetup(series);
    TreeTables tables(t.N);
    for (int k = 1; k <= 2; ++k)
        for (int s = 1; s <= series.NumStrikes; ++s)
            PriceOne(series, t, tables, s, k);
}

}  // namespace kestrava
