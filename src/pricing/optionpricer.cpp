#include "pricing/optionpricer.h"

#include <cmath>
#include <string>

#include "common/numtext.h"
#include "pricing/fpmode.h"
#include "pricing/Models.h"

namespace kestrava {

OptionPricer::OptionPricer(const TInOutObj& expiry)
{
    if (expiry.Model < kBlackScholes || expiry.Model > kWhaley)
        throw PricingError("model must be 1 to 4, got " + std::to_string(expiry.Model));
    inputs_.ContractType = expiry.ContractType;
    inputs_.Model = expiry.Model;
    inputs_.Steps = expiry.Steps;
    inputs_.Dividend = expiry.Dividend;
    inputs_.Rate = expiry.Rate;
    inputs_.Underlying = expiry.Underlying;
    inputs_.Sigma = expiry.Sigma;
    inputs_.TodayDate = expiry.TodayDate;
    inputs_.ExpiryDate = expiry.ExpiryDate;
    inputs_.DivDate = expiry.DivDate;
}

bool OptionPricer::MoveTo(TDateTime date, float underlying, float rate)
{
    inputs_.TodayDate = date;
    inputs_.Underlying = underlying;
    inputs_.Rate = rate;
    live_ = inputs_.DaysToExpiry() > 0;
    if (!live_)
        return false;
    if (inputs_.Model == kBinomial) {
        live_ = false;  // until the tree is set up
        if (tree_)
            tree_->Reset(inputs_);
        else
            tree_.emplace(inputs_);
        live_ = true;
    } else {
        european_ = detail::MakeEuropeanSetup(inputs_);
    }
    return true;
}

float OptionPricer::Value(float K, int k, float sigma)
{
    return Price(K, k, sigma).theo;
}

OptionResult OptionPricer::Price(float K, int k, float sigma)
{
    if (!(sigma > 0) || !detail::PositiveStrike(K))
        return {};
    if (inputs_.Model == kBinomial) {
        const FlushDenormals flush;
        const TreeFigures f = tree_->Price(sigma, K, k);
        // As the grid: no infinities handed on, values under 0.001 shown as 0.
        if (!std::isfinite(f.value) || !std::isfinite(f.delta) || !std::isfinite(f.gamma)
            || !std::isfinite(f.decay))
            throw PricingError("binomial tree overflows for strike " + FormatSig9(K)
                               + (k == 1 ? " (call)" : " (put)") + " at volatility " + FormatSig9(sigma)
                               + " with " + std::to_string(tree_->Steps()) + " steps");
        return {f.value < 0.001f ? 0.0f : f.value, f.delta, f.gamma, f.decay, 0};
    }
    const detail::OptionOutputs out = inputs_.Model == kWhaley
                                          ? detail::WhaleyOption(european_, sigma, K, k)
                                          : detail::EuropeanOption(european_, sigma, K, k);
    return {out.theo, out.greeks.delta, out.greeks.gamma, out.greeks.decay, out.greeks.vega};
}

}  // namespace kestrava
