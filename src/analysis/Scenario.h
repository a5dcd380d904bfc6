#pragma once
// What a position is valued under beyond today's market: a date, a move of
// every leg's volatility, a move of the rate, and the rule by which
// volatilities follow the underlying's price (the skew rule).

#include "common/dates.h"

namespace kestrava {

enum class SkewRule {
    StickyStrike,     // each leg keeps its volatility at every price
    StickyMoneyness,  // each leg's volatility follows its moneyness along its expiry's smile
    Flat,             // every leg at its expiry's flat volatility, the page's
};

// Where the legs' values now come from.
enum class MarkSource {
    Mid,    // a leg with a bid and an ask at its mid price, the others at the model's value
    Model,  // every leg at the model's value of the last calculation
};

// The volatility of the price distribution behind the probabilities.
enum class DistributionVol {
    AtTheMoney,  // the at-the-money implied volatility of the expiry's smile
    Flat,        // the expiry's flat volatility
};

// The limits the Position tab and kestrava-calc risk hold a scenario to.
constexpr double kLowestVolShift = -50;    // percent of each leg's volatility
constexpr double kHighestVolShift = 100;   // percent
constexpr double kLargestVolPoints = 100;  // volatility points either way
constexpr double kLargestRateShift = 20;   // rate points either way
// No leg is priced below half a volatility point, whatever the shifts.
constexpr double kLowestScenarioVol = 0.005;

struct Scenario {
    TDateTime date = 0;    // the chosen date; 0 is the day halfway to the first expiry
    double volShift = 0;   // percent of each leg's volatility added: -50 to 100
    double volPoints = 0;  // volatility points added (1 is 1 %)
    double rateShift = 0;  // rate points added (1 is 1 %); a rate is never taken below 0
    SkewRule skew = SkewRule::StickyStrike;
    DistributionVol distribution = DistributionVol::AtTheMoney;

    // No volatility or rate moved: today's price and date give the marks.
    bool MovesNothing() const { return volShift == 0 && volPoints == 0 && rateShift == 0; }
};

}  // namespace kestrava
