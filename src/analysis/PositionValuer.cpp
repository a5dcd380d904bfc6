#include "analysis/PositionValuer.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "common/parallel.h"
#include "pricing/Models.h"
#include "pricing/ModelTable.h"

namespace kestrava {
namespace {

constexpr float kBump = 0.01f;  // one volatility or rate point

double Intrinsic(int side, double price, double strike)
{
    return std::max(0.0, side == 1 ? price - strike : strike - price);
}

bool SameDay(TDateTime a, TDateTime b)
{
    return std::trunc(a) == std::trunc(b);
}

}  // namespace

ScenarioValuer::ScenarioValuer(const MarkedPosition& marked, const Scenario& scenario)
    : marked_(marked), scenario_(scenario), cost_(marked.EntryCost() + marked.Commissions())
{
    pricers_.resize(marked.Legs().size());
    paidPricers_.resize(marked.Legs().size());
    for (std::size_t i = 0; i < marked.Legs().size(); ++i)
        if (marked.Legs()[i].kind == LegKind::Option)
            pricers_[i].emplace(marked.ExpiryOf(marked.Legs()[i]).inputs);
}

bool ScenarioValuer::Live(const MarkedLeg& leg, TDateTime date) const
{
    return TInOutObj::DaysBetween(date, marked_.ExpiryOf(leg).day) > 0;
}

bool ScenarioValuer::AtMarks(TDateTime date, double price) const
{
    return scenario_.MovesNothing() && scenario_.skew != SkewRule::Flat && SameDay(date, marked_.Today())
           && price == marked_.Underlying();
}

float ScenarioValuer::LegVolatility(const MarkedLeg& leg, double price) const
{
    const MarkedExpiry& expiry = marked_.ExpiryOf(leg);
    double vol = scenario_.skew == SkewRule::Flat ? expiry.flatVol : leg.vol;
    if (!(vol > 0))
        return 0;  // priced at nothing, as the grid prices an option without a volatility
    // Sticky moneyness: the smile moves with the price, so the leg takes the
    // smile's change between its strike and the strike of its moneyness at
    // today's price (its own volatility where the price has not moved).
    if (scenario_.skew == SkewRule::StickyMoneyness && !expiry.smile.Empty() && price > 0)
        vol += expiry.smile.At(leg.strike * marked_.Underlying() / price) - expiry.smile.At(leg.strike);
    vol = vol * (1 + scenario_.volShift / 100) + scenario_.volPoints / 100;
    return static_cast<float>(std::max(vol, kLowestScenarioVol));
}

float ScenarioValuer::LegRate(const MarkedLeg& leg) const
{
    const double rate = marked_.ExpiryOf(leg).inputs.Rate + scenario_.rateShift / 100;
    return static_cast<float>(std::max(rate, 0.0));
}

double ScenarioValuer::DividendBy(TDateTime date) const
{
    if (marked_.Expiries().empty())
        return 0;
    const TInOutObj& p = marked_.Expiries().front().inputs;
    const TDateTime paid = std::trunc(p.DivDate);
    if (p.ContractType != kEquity || p.Dividend == 0 || paid == 0)
        return 0;
    return paid > std::trunc(marked_.Today()) && paid <= std::trunc(date) ? ShortestDouble(p.Dividend) : 0.0;
}

OptionPricer& ScenarioValuer::PricerAt(const MarkedLeg& leg, TDateTime date, double price, float rate)
{
    const auto index = static_cast<std::size_t>(&leg - marked_.Legs().data());
    // A dividend paid between today and date is out of that date's price
    // (the shares have collected it): the leg is priced without it, not
    // with the whole amount taken off the price once more.
    const TInOutObj& inputs = marked_.ExpiryOf(leg).inputs;
    const TDateTime paid = std::trunc(inputs.DivDate);
    const bool dividendPaid = inputs.ContractType == kEquity && inputs.Dividend != 0
                              && paid > std::trunc(marked_.Today()) && paid <= std::trunc(date);
    std::optional<OptionPricer>& chosen = dividendPaid ? paidPricers_[index] : pricers_[index];
    if (!chosen) {
        TInOutObj withoutDividend = inputs;
        withoutDividend.Dividend = 0;
        chosen.emplace(withoutDividend);
    }
    OptionPricer& pricer = *chosen;
    pricer.MoveTo(date, static_cast<float>(price), rate);
    return pricer;
}

double ScenarioValuer::SettledValue(TDateTime date, double price) const
{
    double value = 0;
    const double dividend = DividendBy(date);
    for (const MarkedLeg& leg : marked_.Legs()) {
        if (leg.kind == LegKind::Underlying)
            value += (price + dividend) * leg.size;
        else if (!Live(leg, date))
            value += Intrinsic(leg.k, price, leg.strike) * leg.size;
    }
    return value;
}

double ScenarioValuer::LiveValue(TDateTime date, double price)
{
    double value = 0;
    for (const MarkedLeg& leg : marked_.Legs()) {
        if (leg.kind != LegKind::Option || !Live(leg, date))
            continue;
        OptionPricer& pricer = PricerAt(leg, date, price, LegRate(leg));
        value += static_cast<double>(pricer.Value(leg.strike, leg.k, LegVolatility(leg, price))) * leg.size;
    }
    return value;
}

double ScenarioValuer::Value(TDateTime date, double price)
{
    if (AtMarks(date, price)) {
        double value = 0;
        for (const MarkedLeg& leg : marked_.Legs())
            value += leg.mark * leg.size;
        return value;
    }
    return SettledValue(date, price) + LiveValue(date, price);
}

LegGreeks ScenarioValuer::LegAt(const MarkedLeg& leg, TDateTime date, double price, bool withVega,
                                bool withRho)
{
    LegGreeks figures;
    if (leg.kind == LegKind::Underlying) {
        figures.theo = price + DividendBy(date);
        figures.delta = 1;
        return figures;
    }
    if (!Live(leg, date)) {
        // Worth its intrinsic value: a straight line in the price each side
        // of the strike, no time, volatility or rate left in it.
        const double strike = leg.strike;
        figures.theo = Intrinsic(leg.k, price, strike);
        const double inside = price == strike ? 0.5 : (leg.k == 1 ? price > strike : price < strike) ? 1 : 0;
        figures.delta = leg.k == 1 ? inside : -inside;
        return figures;
    }
    figures.vol = LegVolatility(leg, price);
    const float rate = LegRate(leg);
    OptionPricer& pricer = PricerAt(leg, date, price, rate);
    const OptionResult at = pricer.Price(leg.strike, leg.k, figures.vol);
    figures.theo = at.theo;
    figures.delta = at.delta;
    figures.gamma = at.gamma;
    figures.decay = at.decay;
    if (withVega) {
        const bool tree = pricer.Model().tree;
        figures.vega = tree && figures.vol > 0
                           ? pricer.Value(leg.strike, leg.k, figures.vol + kBump) - at.theo
                           : static_cast<double>(at.vega);
    }
    if (withRho) {
        pricer.MoveTo(date, static_cast<float>(price), rate + kBump);
        figures.rho = static_cast<double>(pricer.Value(leg.strike, leg.k, figures.vol)) - at.theo;
    }
    return figures;
}

PositionGreeks ScenarioValuer::Greeks(TDateTime date, double price, bool withVega, bool withRho)
{
    PositionGreeks greeks;
    for (const MarkedLeg& leg : marked_.Legs()) {
        const LegGreeks one = LegAt(leg, date, price, withVega, withRho);
        greeks.delta += one.delta * leg.size;
        greeks.gamma += one.gamma * leg.size;
        greeks.decay += one.decay * leg.size;
        greeks.vega += one.vega * leg.size;
        greeks.rho += one.rho * leg.size;
    }
    return greeks;
}

namespace {

bool AnyLiveTree(const MarkedPosition& marked, std::span<const TDateTime> dates)
{
    for (const MarkedLeg& leg : marked.Legs()) {
        if (leg.kind != LegKind::Option || !RequireModel(marked.ExpiryOf(leg).inputs.Model).tree)
            continue;
        for (TDateTime date : dates)
            if (TInOutObj::DaysBetween(date, marked.ExpiryOf(leg).day) > 0)
                return true;
    }
    return false;
}

// Runs fill(valuer, date, price) for every date and each of its prices,
// each thread with its own valuer, taking a few neighbouring prices of one
// date at a time (so a leg's tree keeps its powers). The first failure in
// the order of the curves is the one rethrown.
std::vector<std::vector<double>> Curves(const MarkedPosition& marked, const Scenario& scenario,
                                        std::span<const TDateTime> dates,
                                        std::span<const std::vector<double>> pricesByDate,
                                        const std::function<double(ScenarioValuer&, TDateTime, double)>& fill)
{
    std::vector<std::vector<double>> curves;
    struct Chunk {
        std::size_t date, first, last;
    };
    std::vector<Chunk> chunks;
    constexpr std::size_t kChunk = 4;
    for (std::size_t d = 0; d < dates.size(); ++d) {
        const std::size_t count = pricesByDate[d].size();
        curves.emplace_back(count, 0.0);
        for (std::size_t first = 0; first < count; first += kChunk)
            chunks.push_back({d, first, std::min(count, first + kChunk)});
    }
    // Threads pay only where trees are priced; the closed forms are done
    // sooner than a thread starts.
    const int threads = AnyLiveTree(marked, dates) ? BinomialThreads() : 1;
    ParallelFor(static_cast<int>(chunks.size()), threads, [&] {
        // A valuer of the thread's own, made when it takes its first chunk.
        return [&, valuer = std::make_shared<ScenarioValuer>(marked, scenario)](int c) {
            const Chunk& chunk = chunks[static_cast<std::size_t>(c)];
            for (std::size_t i = chunk.first; i < chunk.last; ++i)
                curves[chunk.date][i] = fill(*valuer, dates[chunk.date], pricesByDate[chunk.date][i]);
        };
    });
    return curves;
}

std::vector<std::vector<double>> SamePrices(std::span<const TDateTime> dates, std::span<const double> prices)
{
    return std::vector<std::vector<double>>(dates.size(), std::vector<double>(prices.begin(), prices.end()));
}

}  // namespace

std::vector<std::vector<double>> PnlCurves(const MarkedPosition& marked, const Scenario& scenario,
                                           std::span<const TDateTime> dates, std::span<const double> prices)
{
    return Curves(
        marked, scenario, dates, SamePrices(dates, prices),
        [](ScenarioValuer& valuer, TDateTime date, double price) { return valuer.Pnl(date, price); });
}

std::vector<std::vector<double>> LiveValues(const MarkedPosition& marked, const Scenario& scenario,
                                            std::span<const TDateTime> dates,
                                            std::span<const std::vector<double>> pricesByDate)
{
    return Curves(
        marked, scenario, dates, pricesByDate,
        [](ScenarioValuer& valuer, TDateTime at, double price) { return valuer.LiveValue(at, price); });
}

std::vector<std::vector<double>> GreekCurves(const MarkedPosition& marked, const Scenario& scenario,
                                             std::span<const TDateTime> dates, std::span<const double> prices,
                                             Greek which)
{
    return Curves(marked, scenario, dates, SamePrices(dates, prices),
                  [which](ScenarioValuer& valuer, TDateTime date, double price) {
                      const PositionGreeks greeks = valuer.Greeks(date, price, which == Greek::Vega, false);
                      switch (which) {
                      case Greek::Delta:
                          return greeks.delta;
                      case Greek::Gamma:
                          return greeks.gamma;
                      case Greek::Decay:
                          return greeks.decay;
                      case Greek::Vega:
                          return greeks.vega;
                      }
                      return 0.0;
                  });
}

}  // namespace kestrava
