#include "pricing/binomialtree.h"

#include <algorithm>
#include <cmath>

#include "common/numtext.h"
#include "pricing/european.h"
#include "pricing/Models.h"
#include "pricing/treestep.h"

namespace kestrava {
namespace {

// Delta, gamma and decay are read off steps 2 and 4, so fewer steps than
// five have no sample points; a file may hold any count. The upper bound
// keeps a damaged file from tying the program up for hours.
constexpr int kMinSteps = 5;
constexpr int kMaxSteps = 5000;

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

}  // namespace

BinomialTree::BinomialTree(const TInOutObj& series)
{
    Reset(series);
}

void BinomialTree::Reset(const TInOutObj& series)
{
    const int days = detail::RequirePriceable(series);

    N_ = std::clamp(series.Steps, kMinSteps, kMaxSteps);
    const double r = series.Rate;
    dt_ = static_cast<float>(static_cast<float>(days / 365.0) / static_cast<double>(N_));
    a_ = static_cast<float>(std::exp((r - YieldOf(series)) * dt_));
    R_ = static_cast<float>(std::exp(-r * dt_));
    const float tD = static_cast<float>(series.DaysToDividend() / 365.0);

    // Sized before anything can throw, so a failed Reset leaves no table short.
    const std::size_t size = static_cast<std::size_t>(N_) + 2;
    if (value_.size() < size) {
        value_.resize(size);
        upPow_.resize(size);
        downPow_.resize(size);
        powersU_ = -1;
    }
    divPV_.assign(size, 0.0f);
    Sstar_ = series.Underlying;
    if (series.ContractType == kEquity && series.Dividend != 0 && series.DaysToDividend() < days) {
        const int jD = static_cast<int>(tD / dt_);
        Sstar_ = static_cast<float>(series.Underlying - series.Dividend * std::exp(-r * tD));
        if (!(Sstar_ > 0))
            throw PricingError("underlying price less the dividend must be positive, got "
                               + FormatSig9(Sstar_));
        for (int i = 1; i < jD && i <= N_ + 1; ++i)
            divPV_[i] = static_cast<float>(series.Dividend
                                           * std::exp(-r * (tD - static_cast<double>(i) * dt_)));
    }
}

void BinomialTree::BuildPowers(float u, float d)
{
    if (powersU_ == u && powersN_ == N_)
        return;
    const float lnU = std::log(u);
    const float lnD = std::log(d);
    for (int i = 0; i <= N_ + 1; ++i) {
        upPow_[i] = std::exp(static_cast<float>(i) * lnU);
        downPow_[i] = std::exp(static_cast<float>(i) * lnD);
    }
    powersU_ = u;
    powersN_ = N_;
}

TreeFigures BinomialTree::Price(float sigma, float K, int side)
{
    const int N = N_;
    const float phi = side == 1 ? 1.0f : -1.0f;
    const float u = static_cast<float>(std::exp(sigma * std::sqrt(static_cast<double>(dt_))));
    const float d = 1.0f / u;
    const float p = (a_ - d) / (u - d);
    const float pu = p * R_;
    const float pd = (1.0f - p) * R_;
    BuildPowers(u, d);

    float* const value = value_.data();
    const float* const up = upPow_.data();
    const float* const down = downPow_.data();
    const float Sstar = Sstar_;

    // At expiry. A node at the strike is worth +0, like every node whose
    // children are both 0 and where exercise pays nothing; so a node that is
    // skipped below holds exactly what the plain loop would write there.
    int low = N + 1;  // a call's lowest node that may hold a value
    int high = -1;    // a put's highest
    bool finite = true;
    for (int j = 0; j <= N; ++j) {
        const float exercise = phi * (Sstar * up[j] * down[N - j] - K);
        value[j + 1] = !(exercise <= 0.0f) ? exercise : 0.0f;
        if (exercise > 0) {
            low = std::min(low, j);
            high = j;
        }
        finite = finite && std::isfinite(exercise);
    }
    // Node prices rise with j, so past the last node that can hold a value
    // (a call's below, a put's above) every node holds 0 as long as exercise
    // pays nothing at the one next to it. Otherwise the whole step is worked.
    const bool call = side == 1;
    if (!finite) {
        low = 0;
        high = N;
    }

    float V4 = 0, V20 = 0, V21 = 0, V22 = 0;
    for (int n = N - 1; n >= 1; --n) {
        const float base = Sstar + divPV_[n];
        int first = 0;
        int last = n;
        if (call) {
            const int candidate = std::min(std::max(low - 1, 0), n + 1);
            if (candidate > 0) {
                const int top = candidate - 1;
                if (phi * (base * up[top] * down[n - top] - K) <= 0.0f)
                    first = candidate;
            }
            low = first;
        } else {
            const int candidate = std::min(high, n);
            if (candidate < n) {
                const int bottom = candidate + 1;
                if (phi * (base * up[bottom] * down[n - bottom] - K) <= 0.0f)
                    last = candidate;
            }
            high = last;
        }
        if (first <= last)
            detail::BackwardStep(value + first, up + first, down + n - first, last - first, base, K, phi, pu,
                                 pd);
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
    TreeFigures f;
    f.value = E0 > H0 ? E0 : H0;
    const float u2 = up[2];
    const float d2 = down[2];
    f.delta = (V22 - V20) / (Sstar * (u2 - d2));
    f.gamma = ((V22 - V21) / (Sstar * (u2 - 1.0f)) - (V21 - V20) / (Sstar * (1.0f - d2)))
              / (0.5f * Sstar * (u2 - d2));
    f.decay = (V4 - f.value) / (4.0f * dt_) / 365.0f;
    return f;
}

}  // namespace kestrava
