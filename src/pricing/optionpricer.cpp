#include "pricing/optionpricer.h"

namespace kestrava {

OptionPricer::OptionPricer(const TInOutObj& expiry) : model_(&RequireModel(expiry.Model))
{
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
    live_ = false;  // until the model's set-up stands
    if (inputs_.DaysToExpiry() <= 0)
        return false;
    model_->setUp(setup_, inputs_);
    live_ = true;
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
    return model_->priceOption(setup_, K, k, sigma);
}

}  // namespace kestrava
