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
    const int days = detail::RequirePriceable(series);

    N_ = std::clamp(series.Steps, kMinSteps, kMaxSteps);
    const double r = series.Rate;
    dt_ = static_cast<float>(static_cast<float>(days / 365.0) / static_cast<double>(N_));
    a_ = static_cast<float>(std::exp((r - YieldOf(series)) * dt_));
    R_ = static_cast<float>(std::exp(-r * dt_));
    const float tD = static_cast<float>(series.DaysToDividend() / 365.0);

    divPV_.assign(static_cast<std::size_t>(N_) + 2, 0.0f);
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
    value_.resize(static_cast<std::size_t>(N_) + 2);
    upPow_.resize(static_cast<std::size_t>(N_) + 2);
    downPow_.resize(static_cast<std::size_t>(N_) + 2);
}

void BinomialTree::BuildPowers(float sigma, float u, float d)
{
    if (powersSigma_ == sigma)
        return;
    const float lnU = std::log(u);
    const float lnD = std::log(d);
    for (int i = 0; i <= N_ + 1; ++i) {
        upPow_[i] = std::exp(static_cast<float>(i) * lnU);
        downPow_[i] = std::exp(static_cast<float>(i) * lnD);
    }
    powersSigma_ = sigma;
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
    BuildPowers(sigma, u, d);

    float* const value = value_.data();
    const float* const up = upPow_.data();
    const float* const down = downPow_.data();
    const float Sstar = Sstar_;

    for (int j = 0; j <= N; ++j)
        value[j + 1] = std::max(phi * (Sstar * up[j] * down[N - j] - K), 0.0f);

    float V4 = 0, V20 = 0, V21 = 0, V22 = 0;
    for (int n = N - 1; n >= 1; --n) {
        detail::BackwardStep(value, up, down + n, n, Sstar + divPV_[n], K, phi, pu, pd);
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
