#pragma once
// A position marked at the market: each leg found in the page's series with
// its value now and the volatility its expiry's model reprices that value
// at. A leg with a bid and an ask is marked at its mid price, and its
// volatility is solved from the mid under its own model (the tree for a
// binomial series, Whaley's for Whaley, the European formula otherwise); a
// leg without both is marked at the model's value of the last calculation,
// at the volatility it was priced at. Built once when the expiries or the
// position change; every scenario is valued from it.

#include <span>
#include <string>
#include <vector>

#include "analysis/MarketSmile.h"
#include "analysis/Position.h"
#include "analysis/Scenario.h"

namespace kestrava {

struct MarkedLeg {
    int index = 0;  // in the position's legs, from 0
    LegKind kind = LegKind::Option;
    int expiry = -1;  // the series' expiry, from 0 (options)
    int s = 0;        // strike number and side in that expiry (options)
    int k = 0;
    float strike = 0;
    double size = 0;         // money per unit of price: quantity times multiplier, or quantity
    double entryPrice = 0;   // of one option or one unit
    double commission = 0;   // charged on entry
    double mark = 0;         // the value now of one option or unit
    bool atMid = false;      // marked at the mid of its bid and ask
    float vol = 0;           // the volatility it is priced at; 0 once expired
    bool volSolved = false;  // vol reprices the mid under the expiry's model
};

// What the valuation needs of an expiry of the series.
struct MarkedExpiry {
    int index = 0;  // the series' expiry, from 0
    TDateTime day = 0;
    TInOutObj inputs;   // its contract, model, steps, rate, dividend and dates
    float flatVol = 0;  // the page's volatility of the expiry (Sigma)
    MarketSmile smile;
};

class MarkedPosition {
public:
    // Legs that are not options of expiries are left out (see
    // LegsNotFoundMessage). Throws AnalysisError for an expiry holding a
    // leg that has no pricing model, PricingError when a model cannot price
    // a leg at today's price.
    MarkedPosition(std::span<const TInOutObj* const> expiries, const Position& position,
                   MarkSource source = MarkSource::Mid);

    const std::vector<MarkedLeg>& Legs() const { return legs_; }
    // Every expiry of the series, in the series' order.
    const std::vector<MarkedExpiry>& Expiries() const { return expiries_; }
    const MarkedExpiry& ExpiryOf(const MarkedLeg& leg) const
    {
        return expiries_[static_cast<std::size_t>(leg.expiry)];
    }
    // The expiries holding option legs that have days left, earliest first.
    std::vector<int> LegExpiries() const;

    double Multiplier() const { return multiplier_; }
    TDateTime Today() const { return today_; }
    // Today's price as the decimal number it was typed or read as.
    double Underlying() const { return underlying_; }
    // The first and last expiry among the option legs; today when none.
    TDateTime FirstExpiry() const { return firstExpiry_; }
    TDateTime LastExpiry() const { return lastExpiry_; }
    // Entry prices times size, and the commissions, of the legs valued.
    double EntryCost() const { return entryCost_; }
    double Commissions() const { return commissions_; }
    bool Empty() const { return legs_.empty(); }
    MarkSource Source() const { return source_; }
    // The option legs marked at the model although the source is the mid
    // (no bid and ask).
    std::vector<int> LegsAtModel() const;

private:
    void MarkOption(MarkedLeg& leg, const TInOutObj& p, MarkSource source);

    std::vector<MarkedLeg> legs_;
    std::vector<MarkedExpiry> expiries_;
    double multiplier_ = kDefaultMultiplier;
    MarkSource source_ = MarkSource::Mid;
    TDateTime today_ = 0;
    double underlying_ = 0;
    TDateTime firstExpiry_ = 0;
    TDateTime lastExpiry_ = 0;
    double entryCost_ = 0;
    double commissions_ = 0;
};

// The volatility a marked expiry's legs are priced at near the money: the
// smile at today's price, or the flat volatility when the expiry has no
// quotes or the distribution asks for it.
double DistributionVolatility(const MarkedExpiry& expiry, double underlying, DistributionVol choice);

// "Legs 2 and 3 have no bid and ask: they are marked at the model's value."
// and the like for legs whose mid no volatility reprices; empty when every
// option leg is marked at its mid.
std::string MarkNote(const MarkedPosition& marked);

}  // namespace kestrava
