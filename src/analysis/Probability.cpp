#include "analysis/Probability.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "analysis/PositionValuer.h"
#include "analysis/TradeFigures.h"
#include "common/rootfind.h"
#include "pricing/european.h"
#include "pricing/modeliv.h"
#include "pricing/Models.h"

namespace kestrava {
namespace {

constexpr double kReach = 6;          // standard deviations either side
constexpr int kLiveNodes = 17;        // where the models price the live legs
constexpr double kPieceWidth = 0.25;  // in standard deviations
constexpr double kCentPerContract = 0.01;

// Eight-point Gauss-Legendre on [-1, 1].
constexpr std::array<double, 8> kGaussNodes = {-0.9602898564975363, -0.7966664774136267, -0.5255324099163290,
                                               -0.1834346424956498, 0.1834346424956498,  0.5255324099163290,
                                               0.7966664774136267,  0.9602898564975363};
constexpr std::array<double, 8> kGaussWeights = {0.1012285362903763, 0.2223810344533745, 0.3137066458778873,
                                                 0.3626837833783620, 0.3626837833783620, 0.3137066458778873,
                                                 0.2223810344533745, 0.1012285362903763};

double Phi(double z)
{
    return 0.5 * std::erfc(-z / std::sqrt(2.0));
}

double Density(double z)
{
    return std::exp(-0.5 * z * z) / std::sqrt(2 * M_PI);
}

// A natural cubic spline through values at evenly spaced points.
class Spline {
public:
    Spline(double first, double step, std::vector<double> values)
        : first_(first), step_(step), y_(std::move(values)), m_(y_.size(), 0.0)
    {
        const std::size_t n = y_.size();
        if (n < 3)
            return;
        // Second derivatives from the tridiagonal system, ends held at 0.
        std::vector<double> c(n, 0.0), d(n, 0.0);
        for (std::size_t i = 1; i + 1 < n; ++i) {
            const double rhs = 6 * (y_[i + 1] - 2 * y_[i] + y_[i - 1]) / (step_ * step_);
            const double pivot = 4 - c[i - 1];
            c[i] = 1 / pivot;
            d[i] = (rhs - d[i - 1]) / pivot;
        }
        for (std::size_t i = n - 2; i >= 1; --i)
            m_[i] = d[i] - c[i] * m_[i + 1];
    }

    double operator()(double x) const
    {
        const std::size_t n = y_.size();
        if (n == 1)
            return y_[0];
        const double at = std::clamp((x - first_) / step_, 0.0, static_cast<double>(n - 1));
        const std::size_t i = std::min(static_cast<std::size_t>(at), n - 2);
        const double t = at - static_cast<double>(i);
        const double h2 = step_ * step_;
        return (1 - t) * y_[i] + t * y_[i + 1]
               + ((1 - t) * ((1 - t) * (1 - t) - 1) * m_[i] + t * (t * t - 1) * m_[i + 1]) * h2 / 6;
    }

private:
    double first_, step_;
    std::vector<double> y_, m_;
};

// The profit or loss at a date against z, the price's distance from its
// mean in standard deviations of its logarithm. The settled legs are
// straight lines; each live leg is its European value (in double precision,
// at the volatility and rate the scenario gives it) plus what its model
// adds to that, the early exercise and the tree's steps, which is small and
// smooth and so taken from a spline through the models' values at a few
// prices.
class PnlByDeviation {
public:
    PnlByDeviation(const MarkedPosition& marked, const Scenario& scenario, const PriceDistribution& at)
        : marked_(marked), valuer_(marked, scenario), at_(at)
    {
        for (const MarkedLeg& leg : marked.Legs())
            if (leg.kind == LegKind::Option && valuer_.Live(leg, at.date))
                controls_.push_back({&leg, marked.ExpiryOf(leg).inputs});
    }

    bool HasLiveLegs() const { return !controls_.empty(); }
    double Price(double z) const { return std::exp(at_.logMean + at_.logDeviation * z); }

    // The prices the models value the live legs at.
    std::vector<double> NodePrices() const
    {
        std::vector<double> prices;
        prices.reserve(kLiveNodes);
        for (int i = 0; i < kLiveNodes; ++i)
            prices.push_back(Price(-kReach + 2 * kReach * i / (kLiveNodes - 1)));
        return prices;
    }

    // The live legs' values at the node prices, from the models.
    void TakeLiveValues(std::vector<double> values)
    {
        const std::vector<double> prices = NodePrices();
        for (std::size_t i = 0; i < prices.size(); ++i)
            values[i] -= European(prices[i]);
        modelAdds_.emplace(-kReach, 2 * kReach / (kLiveNodes - 1), std::move(values));
    }

    double operator()(double z) const
    {
        const double price = Price(z);
        double value = valuer_.SettledValue(at_.date, price) - valuer_.Cost();
        if (modelAdds_)
            value += European(price) + (*modelAdds_)(z);
        return value;
    }

    // The deviations of the settled options' strikes, where the curve bends.
    std::vector<double> Kinks() const
    {
        std::vector<double> kinks;
        for (const MarkedLeg& leg : marked_.Legs()) {
            if (leg.kind != LegKind::Option || valuer_.Live(leg, at_.date))
                continue;
            const double z = (std::log(static_cast<double>(leg.strike)) - at_.logMean) / at_.logDeviation;
            if (z > -kReach && z < kReach)
                kinks.push_back(z);
        }
        return kinks;
    }

    // The curve's slope in the price far above every strike: positive
    // means the profit has no bound.
    double SlopeFarAbove() const
    {
        double slope = 0;
        for (const MarkedLeg& leg : marked_.Legs()) {
            if (leg.kind == LegKind::Underlying) {
                slope += leg.size;
            } else if (leg.k == 1) {
                const TInOutObj& p = marked_.ExpiryOf(leg).inputs;
                const double years = TInOutObj::DaysBetween(at_.date, p.ExpiryDate) / 365.0;
                const double carry = static_cast<double>(detail::CarryOf(p)) - p.Rate;
                slope += leg.size * (valuer_.Live(leg, at_.date) ? std::exp(carry * years) : 1.0);
            }
        }
        return slope;
    }

private:
    struct Control {
        const MarkedLeg* leg;
        TInOutObj inputs;
    };

    // The live legs at their European values.
    double European(double price) const
    {
        double value = 0;
        for (Control& control : controls_) {
            control.inputs.TodayDate = at_.date;
            control.inputs.Underlying = static_cast<float>(price);
            control.inputs.Rate = valuer_.LegRate(*control.leg);
            const detail::EuropeanSetup e = detail::MakeEuropeanSetup(control.inputs);
            const float vol = valuer_.LegVolatility(*control.leg, price);
            value += EuropeanFormula(e, control.leg->strike, control.leg->k, vol) * control.leg->size;
        }
        return value;
    }

    const MarkedPosition& marked_;
    ScenarioValuer valuer_;
    PriceDistribution at_;
    mutable std::vector<Control> controls_;
    std::optional<Spline> modelAdds_;
};

// The pieces of [-kReach, kReach]: at most kPieceWidth wide, split at the kinks.
std::vector<double> PieceEnds(std::vector<double> kinks)
{
    const int even = static_cast<int>(std::ceil(2 * kReach / kPieceWidth));
    for (int i = 0; i <= even; ++i)
        kinks.push_back(-kReach + 2 * kReach * i / even);
    std::sort(kinks.begin(), kinks.end());
    kinks.erase(std::unique(kinks.begin(), kinks.end()), kinks.end());
    return kinks;
}

// The chance that f(z) > level (or >= level), z standard normal, from the
// pieces' ends and the roots between them.
double ChanceAbove(const PnlByDeviation& f, const std::vector<double>& ends,
                   const std::vector<double>& values, double level)
{
    double chance = 0;
    if (values.front() > level)
        chance += Phi(-kReach);
    if (values.back() > level)
        chance += 1 - Phi(kReach);
    for (std::size_t i = 0; i + 1 < ends.size(); ++i) {
        const double a = ends[i], b = ends[i + 1];
        const double fa = values[i] - level, fb = values[i + 1] - level;
        // Above the level, or flat at it (the maximum's own plateau): the whole piece.
        if ((fa > 0 && fb > 0) || (fa == 0 && fb == 0 && f((a + b) / 2) - level >= 0)) {
            chance += Phi(b) - Phi(a);
        } else if ((fa > 0) != (fb > 0)) {
            const Root root = FindRoot([&](double z) { return f(z) - level; }, a, b, fa, fb, 1e-12, 0);
            chance += fa > 0 ? Phi(root.x) - Phi(a) : Phi(b) - Phi(root.x);
        }
    }
    return chance;
}

// The mean of f(z), and its greatest value at the pieces' ends and the
// points of the quadrature (close enough apart to find a smooth peak).
double ExpectedValue(const PnlByDeviation& f, const std::vector<double>& ends,
                     const std::vector<double>& values, double& greatest)
{
    greatest = *std::max_element(values.begin(), values.end());
    double sum = values.front() * Phi(-kReach) + values.back() * (1 - Phi(kReach));
    for (std::size_t i = 0; i + 1 < ends.size(); ++i) {
        const double half = (ends[i + 1] - ends[i]) / 2, middle = (ends[i + 1] + ends[i]) / 2;
        for (std::size_t g = 0; g < kGaussNodes.size(); ++g) {
            const double z = middle + half * kGaussNodes[g];
            const double value = f(z);
            greatest = std::max(greatest, value);
            sum += kGaussWeights[g] * half * value * Density(z);
        }
    }
    return sum;
}

// What the chances take of each expiry of the legs (see AssumedVol).
void TellAssumedVols(const MarkedPosition& marked, const Scenario& scenario, ProbabilityFigures& figures)
{
    const ScenarioValuer valuer(marked, scenario);
    for (const int e : marked.LegExpiries()) {
        const MarkedExpiry& expiry = marked.Expiries()[static_cast<std::size_t>(e)];
        AssumedVol assumed;
        assumed.expiry = e;
        assumed.date = expiry.day;
        assumed.pageVol = expiry.flatVol;
        assumed.ofLegs = e != figures.atExpiry.expiry;
        if (!assumed.ofLegs) {
            assumed.vol = figures.atExpiry.vol;
        } else {
            double weights = 0, sum = 0;
            for (const MarkedLeg& leg : marked.Legs()) {
                if (leg.kind != LegKind::Option || leg.expiry != e)
                    continue;
                const double weight = std::fabs(leg.size);
                weights += weight;
                sum += weight * valuer.LegVolatility(leg, figures.atExpiry.forward);
            }
            assumed.vol = weights > 0 ? sum / weights : 0.0;
        }
        figures.assumed.push_back(assumed);
    }
    if (figures.atExpiry.expiry >= 0) {
        const MarkedExpiry& first = marked.Expiries()[static_cast<std::size_t>(figures.atExpiry.expiry)];
        figures.smileSource = first.smileSource;
        figures.smileStrikes = static_cast<int>(first.smile.Points().size());
    }
}

}  // namespace

PriceDistribution DistributionAt(const MarkedPosition& marked, DistributionVol choice, TDateTime date)
{
    PriceDistribution at;
    at.date = std::trunc(date);
    const double today = marked.Underlying();
    at.forward = today;
    at.logMean = today > 0 ? std::log(today) : 0;
    const std::vector<int> legExpiries = marked.LegExpiries();
    for (int e : legExpiries) {
        at.expiry = e;
        if (marked.Expiries()[static_cast<std::size_t>(e)].day >= at.date)
            break;
    }
    for (std::size_t e = 0; at.expiry < 0 && e < marked.Expiries().size(); ++e)
        if (marked.Expiries()[e].inputs.DaysToExpiry() > 0 || e + 1 == marked.Expiries().size())
            at.expiry = static_cast<int>(e);
    if (at.expiry < 0 || !(today > 0))
        return at;
    const MarkedExpiry& expiry = marked.Expiries()[static_cast<std::size_t>(at.expiry)];
    const TInOutObj& p = expiry.inputs;
    at.vol = DistributionVolatility(expiry, today, choice);
    at.years = TInOutObj::DaysBetween(marked.Today(), at.date) / 365.0;
    double start = today;
    const TDateTime paid = std::trunc(p.DivDate);
    if (p.ContractType == kEquity && p.Dividend != 0 && paid > std::trunc(marked.Today()) && paid <= at.date)
        start -= p.Dividend
                 * std::exp(-static_cast<double>(p.Rate) * TInOutObj::DaysBetween(marked.Today(), paid)
                            / 365.0);
    if (!(start > 0))
        start = today;
    at.forward = start * std::exp(static_cast<double>(detail::CarryOf(p)) * at.years);
    at.logDeviation = at.vol * std::sqrt(at.years);
    at.logMean = std::log(at.forward) - at.logDeviation * at.logDeviation / 2;
    return at;
}

ProbabilityFigures ComputeProbabilities(const MarkedPosition& marked, const Scenario& scenario)
{
    ProbabilityFigures figures;
    const std::array<TDateTime, 3> dates = RiskDates(marked, scenario);
    figures.atExpiry = DistributionAt(marked, scenario.distribution, dates[kRiskExpiry]);
    figures.atDate = DistributionAt(marked, scenario.distribution, dates[kRiskMidway]);

    // The models value the live legs of both dates in one run over the threads.
    const PriceDistribution* at[] = {&figures.atExpiry, &figures.atDate};
    std::vector<PnlByDeviation> curves;
    std::vector<TDateTime> liveDates;
    std::vector<std::vector<double>> nodePrices;
    std::vector<std::size_t> liveCurves;
    for (std::size_t i = 0; i < 2; ++i) {
        curves.emplace_back(marked, scenario, *at[i]);
        if (at[i]->logDeviation > 0 && curves[i].HasLiveLegs()) {
            liveDates.push_back(at[i]->date);
            nodePrices.push_back(curves[i].NodePrices());
            liveCurves.push_back(i);
        }
    }
    std::vector<std::vector<double>> values = LiveValues(marked, scenario, liveDates, nodePrices);
    for (std::size_t j = 0; j < liveCurves.size(); ++j)
        curves[liveCurves[j]].TakeLiveValues(std::move(values[j]));

    const double tolerance = kCentPerContract * marked.Multiplier();
    for (std::size_t i = 0; i < 2; ++i) {
        const PriceDistribution& distribution = *at[i];
        const bool expiry = i == 0;
        double& pop = expiry ? figures.popExpiry : figures.popDate;
        if (!(distribution.logDeviation > 0)) {
            // No time or no volatility: the price stays at its mean.
            ScenarioValuer valuer(marked, scenario);
            const double pnl = valuer.Pnl(distribution.years > 0 ? distribution.date : marked.Today(),
                                          distribution.forward);
            pop = pnl > 0 ? 1.0 : 0.0;
            if (expiry) {
                figures.expectedPnlExpiry = figures.maxProfit = pnl;
                figures.pMaxProfit = 1;
            }
            continue;
        }
        const PnlByDeviation& f = curves[i];
        const std::vector<double> ends = PieceEnds(f.Kinks());
        std::vector<double> values(ends.size());
        for (std::size_t e = 0; e < ends.size(); ++e)
            values[e] = f(ends[e]);
        pop = ChanceAbove(f, ends, values, 0);
        if (!expiry)
            continue;
        figures.expectedPnlExpiry = ExpectedValue(f, ends, values, figures.maxProfit);
        figures.maxProfitUnbounded = f.SlopeFarAbove() > 1e-9;
        // The greatest profit can lie beyond the deviations the chances
        // reach (a long put's, at a price of 0): the trade figures' bound
        // over every price counts too.
        if (!figures.maxProfitUnbounded)
            figures.maxProfit = std::max(figures.maxProfit, ComputeTradeFigures(marked, scenario).maxProfit);
        figures.pMaxProfit = figures.maxProfitUnbounded
                                 ? 0.0
                                 : ChanceAbove(f, ends, values, figures.maxProfit - tolerance);
    }
    TellAssumedVols(marked, scenario, figures);
    return figures;
}

}  // namespace kestrava
