#include "pricing/ModelTable.h"

#include <cmath>
#include <limits>

#include "common/numtext.h"
#include "pricing/fpmode.h"
#include "pricing/Models.h"

namespace kestrava {
namespace {

OptionResult FromOutputs(const detail::OptionOutputs& out)
{
    return {out.theo, out.greeks.delta, out.greeks.gamma, out.greeks.decay, out.greeks.vega};
}

void SetUpEuropean(OptionSetup& setup, const TInOutObj& expiry)
{
    setup.european = detail::MakeEuropeanSetup(expiry);
}

void SetUpTree(OptionSetup& setup, const TInOutObj& expiry)
{
    if (setup.tree)
        setup.tree->Reset(expiry);
    else
        setup.tree.emplace(expiry);
}

OptionResult EuropeanStrike(OptionSetup& setup, float K, int k, float sigma)
{
    return FromOutputs(detail::EuropeanOption(setup.european, sigma, K, k));
}

OptionResult WhaleyStrike(OptionSetup& setup, float K, int k, float sigma)
{
    return FromOutputs(detail::WhaleyOption(setup.european, sigma, K, k));
}

OptionResult TreeStrike(OptionSetup& setup, float K, int k, float sigma)
{
    const FlushDenormals flush;
    const TreeFigures f = setup.tree->Price(sigma, K, k);
    // As the grid: no infinities handed on, values under 0.001 shown as 0.
    if (!std::isfinite(f.value) || !std::isfinite(f.delta) || !std::isfinite(f.gamma)
        || !std::isfinite(f.decay))
        throw PricingError("binomial tree overflows for strike " + FormatSig9(K)
                           + (k == 1 ? " (call)" : " (put)") + " at volatility " + FormatSig9(sigma)
                           + " with " + std::to_string(setup.tree->Steps()) + " steps");
    return {f.value < 0.001f ? 0.0f : f.value, f.delta, f.gamma, f.decay, 0};
}

double WhaleyChain(OptionSetup& setup, float K, int k, float sigma)
{
    try {
        return detail::WhaleyOption(setup.european, sigma, K, k).theo;
    } catch (const PricingError&) {
        return std::numeric_limits<double>::quiet_NaN();
    }
}

double TreeChain(OptionSetup& setup, float K, int k, float sigma)
{
    const TreeFigures f = setup.tree->Price(sigma, K, k);
    return std::isfinite(f.value) ? f.value : std::numeric_limits<double>::quiet_NaN();
}

// Black's futures formula is the European routine itself: the contract
// type's carry makes it Black's for a future.
constexpr ModelEntry kModels[] = {
    {kBlackScholes, "Black Scholes", "Black-Scholes", false, false, PriceBlackScholes, SetUpEuropean,
     EuropeanStrike, nullptr},
    {kBlackFutures, "Black Futures", "Black", false, false, PriceBlackScholes, SetUpEuropean, EuropeanStrike,
     nullptr},
    {kBinomial, "Binomial", "Binomial", true, true, PriceBinomial, SetUpTree, TreeStrike, TreeChain},
    {kWhaley, "Whaley", "Whaley", true, false, PriceWhaley, SetUpEuropean, WhaleyStrike, WhaleyChain},
};

}  // namespace

std::span<const ModelEntry> ModelTable()
{
    return kModels;
}

const ModelEntry* FindModel(int number)
{
    for (const ModelEntry& model : kModels)
        if (model.number == number)
            return &model;
    return nullptr;
}

const ModelEntry& RequireModel(int number)
{
    if (const ModelEntry* model = FindModel(number))
        return *model;
    throw PricingError(UnknownModelMessage(number));
}

std::string UnknownModelMessage(int number)
{
    std::string known;
    for (const ModelEntry& model : kModels)
        known += (known.empty() ? "" : ", ") + std::to_string(model.number) + " " + model.name;
    return "model " + std::to_string(number) + " is not a pricing model (" + known + ")";
}

std::string ModelDisplayName(const ModelEntry& model)
{
    return std::string(model.name) + (model.american ? " (Amer)" : " (Euro)");
}

std::optional<UnknownModel> FindUnknownModel(std::span<const TInOutObj> series)
{
    for (std::size_t e = 0; e < series.size(); ++e)
        if (!FindModel(series[e].Model))
            return UnknownModel{e + 1, series[e].Model};
    return std::nullopt;
}

}  // namespace kestrava
