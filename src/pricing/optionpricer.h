#pragma once
// One option of an expiry priced on its own by the expiry's model, at any
// valuation date, underlying price and rate: the numbers the grid shows for
// the same inputs. The position's valuation prices its legs with it, one
// pricer per thread.

#include "pricing/IORecObj1.h"
#include "pricing/ModelTable.h"

namespace kestrava {

class OptionPricer {
public:
    // Takes the expiry's contract, model, steps, dividend, rate, dates and
    // underlying, nothing per strike. Throws PricingError for a model
    // outside the model table.
    explicit OptionPricer(const TInOutObj& expiry);

    // Values from date on at the underlying price and rate. False when the
    // expiry has no days left at date: then only intrinsic value is left.
    // Throws PricingError for an underlying (less its dividend) of 0 or less.
    bool MoveTo(TDateTime date, float underlying, float rate);
    bool Live() const { return live_; }
    const TInOutObj& Inputs() const { return inputs_; }
    const ModelEntry& Model() const { return *model_; }

    // The option of strike K and side k (1 call, 2 put) at volatility sigma,
    // after a MoveTo that returned true; 0 without a volatility or strike.
    // Throws PricingError when the model gives no finite value.
    float Value(float K, int k, float sigma);
    OptionResult Price(float K, int k, float sigma);

private:
    const ModelEntry* model_;
    TInOutObj inputs_;
    OptionSetup setup_;  // kept between moves: a tree keeps its work tables
    bool live_ = false;
};

}  // namespace kestrava
