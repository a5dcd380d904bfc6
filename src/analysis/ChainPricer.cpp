#include "analysis/ChainPricer.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "pricing/Models.h"

namespace kestrava {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double NormalCdf(double x)
{
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

double NormalDensity(double x)
{
    return std::exp(-0.5 * x * x) / std::sqrt(2.0 * 3.14159265358979323846);
}

}  // namespace

constexpr ChainModelEntry kChainModels[] = {
    {ChainModel::European, kBlackScholes, "european", "European"},
    {ChainModel::Binomial, kBinomial, "binomial", "Binomial tree"},
    {ChainModel::Whaley, kWhaley, "whaley", "Whaley"},
};

std::span<const ChainModelEntry> ChainModels()
{
    return kChainModels;
}

const ChainModelEntry& ChainModelOf(ChainModel model)
{
    for (const ChainModelEntry& entry : kChainModels)
        if (entry.model == model)
            return entry;
    throw PricingError("a chain model outside the chain's table");
}

bool ParseChainModel(const std::string& text, ChainModel& model)
{
    for (const ChainModelEntry& entry : kChainModels) {
        if (text == entry.name) {
            model = entry.model;
            return true;
        }
    }
    return false;
}

const char* ChainModelName(ChainModel model)
{
    return ChainModelOf(model).name;
}

double ChainRates::RateFor(int days) const
{
    if (flat)
        return *flat;
    static constexpr int kDays[3] = {30, 60, 90};
    if (days <= kDays[0])
        return defaults[0];
    for (std::size_t i = 1; i < 3; ++i) {
        if (days <= kDays[i]) {
            const double share = static_cast<double>(days - kDays[i - 1]) / (kDays[i] - kDays[i - 1]);
            return defaults[i - 1] + share * (static_cast<double>(defaults[i]) - defaults[i - 1]);
        }
    }
    return defaults[2];
}

ExpiryPricer::ExpiryPricer(double underlying, TDateTime today, TDateTime expiry, const ChainInputs& inputs)
    : inputs_(inputs), model_(&RequireModel(ChainModelOf(inputs.model).pricing)), spot_(underlying)
{
    days_ = TInOutObj::DaysBetween(today, expiry);
    r_ = inputs.rates.RateFor(days_);
    T_ = days_ / 365.0;

    TInOutObj& p = series_;
    p.Model = model_->number;
    p.Steps = inputs.steps;
    p.Rate = static_cast<float>(r_);
    p.Underlying = static_cast<float>(underlying);
    p.TodayDate = today;
    p.ExpiryDate = expiry;
    p.NumStrikes = 1;
    if (inputs.dividend.cash) {
        p.ContractType = kEquity;
        p.Dividend = static_cast<float>(inputs.dividend.amount);
        p.DivDate = inputs.dividend.date;
    } else {
        p.ContractType = kIndex;
        p.Dividend = static_cast<float>(inputs.dividend.yield);
    }
    if (days_ <= 0)
        throw PricingError("the expiry has no days left");
    if (!(underlying > 0))
        throw PricingError("the underlying price must be positive");

    b_ = inputs.dividend.cash ? r_ : r_ - inputs.dividend.yield;
    S_ = underlying;
    if (inputs.dividend.cash && inputs.dividend.amount != 0 && p.DaysToDividend() < days_) {
        S_ -= inputs.dividend.amount * std::exp(-r_ * p.DaysToDividend() / 365.0);
        if (!(S_ > 0))
            throw PricingError("the underlying price less the dividend must be positive");
    }
    Dr_ = std::exp(-r_ * T_);
    Dc_ = std::exp((b_ - r_) * T_);
    if (model_->chainValue)
        model_->setUp(option_, p);
}

double ExpiryPricer::EuropeanValue(double sigma, double strike, bool call) const
{
    const double v = sigma * std::sqrt(T_);
    const double d1 = (std::log(S_ / strike) + (b_ + sigma * sigma / 2) * T_) / v;
    const double d2 = d1 - v;
    if (call)
        return S_ * Dc_ * NormalCdf(d1) - strike * Dr_ * NormalCdf(d2);
    return strike * Dr_ * NormalCdf(-d2) - S_ * Dc_ * NormalCdf(-d1);
}

double ExpiryPricer::EuropeanVega(double sigma, double strike) const
{
    const double sqT = std::sqrt(T_);
    const double d1 = (std::log(S_ / strike) + (b_ + sigma * sigma / 2) * T_) / (sigma * sqT);
    return S_ * Dc_ * NormalDensity(d1) * sqT;
}

double ExpiryPricer::Value(double sigma, double strike, bool call)
{
    if (!model_->chainValue)
        return EuropeanValue(sigma, strike, call);
    return model_->chainValue(option_, static_cast<float>(strike), call ? 1 : 2, static_cast<float>(sigma));
}

double ExpiryPricer::Delta(double sigma, double strike, bool call)
{
    if (option_.tree) {
        const TreeFigures f = option_.tree->Price(static_cast<float>(sigma), static_cast<float>(strike),
                                                  call ? 1 : 2);
        return std::isfinite(f.delta) ? f.delta : kNaN;
    }
    const double d1 = (std::log(S_ / strike) + (b_ + sigma * sigma / 2) * T_) / (sigma * std::sqrt(T_));
    return call ? Dc_ * NormalCdf(d1) : -Dc_ * NormalCdf(-d1);
}

double ExpiryPricer::LowerBound(double strike, bool call) const
{
    const double phi = call ? 1.0 : -1.0;
    if (American())
        return std::max(phi * (spot_ - strike), 0.0);
    return std::max(phi * (S_ * Dc_ - strike * Dr_), 0.0);
}

double ExpiryPricer::UpperBound(double strike, bool call) const
{
    if (American())
        return call ? spot_ : strike;
    return call ? S_ * Dc_ : strike * Dr_;
}

double ExpiryPricer::LowestVolatility() const
{
    if (option_.tree) {
        // Up and down moves must straddle the growth of a step.
        const double yield = inputs_.dividend.cash ? 0.0 : inputs_.dividend.yield;
        const double dt = T_ / option_.tree->Steps();
        return std::max(0.005, 1.01 * std::fabs(r_ - yield) * std::sqrt(dt));
    }
    return American() ? 0.005 : 0.0001;
}

}  // namespace kestrava
