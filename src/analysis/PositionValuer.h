#pragma once
// A marked position valued under a scenario at any date and underlying
// price: each option leg by its expiry's model at the volatility the skew
// rule and the shifts give it at that price, or at its intrinsic value once
// its expiry has come; each leg of the underlying at the price. At today's
// date and price, with no volatility or rate moved, the legs are worth
// their marks exactly.

#include <optional>
#include <span>
#include <vector>

#include "analysis/MarkedPosition.h"
#include "analysis/Scenario.h"
#include "pricing/optionpricer.h"

namespace kestrava {

// Sums over the legs of each figure times the leg's size.
struct PositionGreeks {
    double delta = 0;  // per unit of the underlying
    double gamma = 0;
    double decay = 0;  // per calendar day
    double vega = 0;   // per volatility point
    double rho = 0;    // per rate point
};

enum class Greek { Delta, Gamma, Decay, Vega };

// One option's (or one unit of the underlying's) value and greeks under a
// scenario at a date and price: a live option by its expiry's model at its
// scenario volatility; an expired one at its intrinsic value, its delta the
// slope of that value (a half at the strike itself); a unit of the
// underlying at the price (with the dividend collected), delta one.
struct LegGreeks {
    float vol = 0;  // the volatility priced at; 0 for the underlying and expired options
    double theo = 0;
    double delta = 0;
    double gamma = 0;
    double decay = 0;
    double vega = 0;
    double rho = 0;
};

// Not for sharing between threads: the parallel routines below give each
// thread its own.
class ScenarioValuer {
public:
    // Throws PricingError for an expiry no model can price (see OptionPricer).
    ScenarioValuer(const MarkedPosition& marked, const Scenario& scenario);

    // The legs' worth in money at date and price.
    double Value(TDateTime date, double price);
    // Worth less the entry cost and the commissions.
    double Pnl(TDateTime date, double price) { return Value(date, price) - cost_; }
    // The worth of the legs whose expiry has not come by date (the part a
    // model prices), and of the rest: legs of the underlying and expired
    // options, straight lines in the price between strikes.
    double LiveValue(TDateTime date, double price);
    double SettledValue(TDateTime date, double price) const;
    double Cost() const { return cost_; }

    // The model's greeks of every live leg at its scenario volatility (the
    // moves of the smile itself not included); vega and rho by a bump of
    // one point where the model gives none (the tree's vega, every rho).
    // Each leg's figures (see LegAt) times its size, summed in the legs' order.
    PositionGreeks Greeks(TDateTime date, double price, bool withVega = true, bool withRho = true);
    LegGreeks LegAt(const MarkedLeg& leg, TDateTime date, double price, bool withVega = true,
                    bool withRho = true);

    // The volatility and rate the scenario prices an option leg at.
    float LegVolatility(const MarkedLeg& leg, double price) const;
    float LegRate(const MarkedLeg& leg) const;
    // The dividend a unit of the underlying has collected by date.
    double DividendBy(TDateTime date) const;
    bool Live(const MarkedLeg& leg, TDateTime date) const;
    bool AtMarks(TDateTime date, double price) const;

private:
    OptionPricer& PricerAt(const MarkedLeg& leg, TDateTime date, double price, float rate);

    const MarkedPosition& marked_;
    Scenario scenario_;
    // One per marked option leg, so each keeps its tree's powers; and one
    // without the dividend for dates it has been paid by, made when needed.
    std::vector<std::optional<OptionPricer>> pricers_;
    std::vector<std::optional<OptionPricer>> paidPricers_;
    double cost_ = 0;
};

// Profit or loss (or one greek) at every date and price, as [date][price].
// Spread over the tree's threads when a live leg has a tree to price.
std::vector<std::vector<double>> PnlCurves(const MarkedPosition& marked, const Scenario& scenario,
                                           std::span<const TDateTime> dates, std::span<const double> prices);
// The worth of the live legs (see ScenarioValuer::LiveValue) at each date
// and every price of that date's list.
std::vector<std::vector<double>> LiveValues(const MarkedPosition& marked, const Scenario& scenario,
                                            std::span<const TDateTime> dates,
                                            std::span<const std::vector<double>> pricesByDate);
std::vector<std::vector<double>> GreekCurves(const MarkedPosition& marked, const Scenario& scenario,
                                             std::span<const TDateTime> dates, std::span<const double> prices,
                                             Greek which);

}  // namespace kestrava
