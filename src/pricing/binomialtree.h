#pragma once
// The Cox-Ross-Rubinstein tree of PriceBinomial, one option at a time, for
// callers that price one expiry at many volatilities (the implied
// volatilities of a whole quote table) or one option at many prices and
// dates (a position's valuation). PriceBinomial itself prices through it,
// so both give the same value bit for bit.

#include <vector>

#include "pricing/IORecObj1.h"

namespace kestrava {

// The figures of one option off the tree. The value is as the tree gives
// it: PriceBinomial shows values under 0.001 as 0, the tree does not.
struct TreeFigures {
    float value = 0;
    float delta = 0;
    float gamma = 0;
    float decay = 0;  // per calendar day
};

class BinomialTree {
public:
    // The set-up of the expiry: its steps (5 to 5000), days, rate, yield or
    // cash dividend. Throws PricingError when the expiry has no days left or
    // no positive underlying, as PriceBinomial does.
    explicit BinomialTree(const TInOutObj& series);

    // The set-up of another date, underlying price or rate of the expiry,
    // keeping the work tables (and the powers, when a step's length is the
    // same). Throws as the constructor does; the tree is then not to be used
    // before a Reset that succeeds.
    void Reset(const TInOutObj& series);

    // The option of `strike` on side 1 (call) or 2 (put) at volatility
    // sigma (a fraction above 0). A volatility so high that the top nodes
    // leave the single range gives figures that are not finite. The tree
    // keeps its work tables between calls: one tree per thread. Nodes that
    // can only hold 0 (a call's far below the strike, a put's far above) are
    // skipped, never changed.
    TreeFigures Price(float sigma, float strike, int side);

    int Steps() const { return N_; }

private:
    void BuildPowers(float u, float d);

    int N_ = 0;
    float dt_ = 0;
    float a_ = 0;               // growth per step
    float R_ = 0;               // discount per step
    float Sstar_ = 0;           // underlying less the present value of the dividend
    std::vector<float> divPV_;  // value at step i of the dividend still to come
    // Work tables sized N + 2. The powers of u and d depend only on the
    // volatility over one step, so options priced at the same volatility on
    // the same date share them: every strike of a flat page, every price of
    // one leg on one date.
    std::vector<float> value_;
    std::vector<float> upPow_;
    std::vector<float> downPow_;
    float powersU_ = -1;  // the u the powers were built for
    int powersN_ = -1;
};

}  // namespace kestrava
