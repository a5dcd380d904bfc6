#pragma once
// The models of the option page, one option at a time, for the implied
// volatilities of a whole chain: the European formula with the carry of
// the underlying (in double precision, with the exact normal distribution),
// the page's own binomial tree and the page's Whaley routine.

#include <array>
#include <optional>
#include <span>
#include <string>

#include "common/dates.h"
#include "pricing/IORecObj1.h"
#include "pricing/ModelTable.h"

namespace kestrava {

enum class ChainModel { European, Binomial, Whaley };

// The models a chain is solved with, in the order the chain window offers
// them: each is a row of the model table (the European one stands for both
// European rows: a chain's underlying is a stock or an index).
struct ChainModelEntry {
    ChainModel model;
    ModelKind pricing;      // its row of the model table
    const char* name;       // kestrava-calc chain's --model
    const char* shownName;  // the chain window's
};
std::span<const ChainModelEntry> ChainModels();
const ChainModelEntry& ChainModelOf(ChainModel model);

// "european", "binomial", "whaley"; false for any other text.
bool ParseChainModel(const std::string& text, ChainModel& model);
const char* ChainModelName(ChainModel model);

// The underlying's dividend: a continuous yield (an index, an ETF taken as
// one), or one cash dividend on a date (an equity, as the page takes it: it
// counts when its date is before the expiry).
struct ChainDividend {
    bool cash = false;
    double yield = 0;   // fraction, when not cash
    double amount = 0;  // per share, when cash
    TDateTime date = 0;
};

// The rate of an expiry: one rate for all, or the program's default rates
// of 30, 60 and 90 days, straight between them and flat beyond.
struct ChainRates {
    std::optional<double> flat;  // fraction
    std::array<float, 3> defaults{0.005f, 0.005f, 0.005f};
    double RateFor(int days) const;
};

struct ChainInputs {
    ChainModel model = ChainModel::European;
    int steps = 200;  // the binomial tree's
    ChainRates rates;
    ChainDividend dividend;
};

// One expiry's pricing. Copies are independent (each has its own tree
// tables): one per thread.
class ExpiryPricer {
public:
    // Throws PricingError when the expiry cannot be priced (no days left,
    // an underlying not above the present value of its dividend).
    ExpiryPricer(double underlying, TDateTime today, TDateTime expiry, const ChainInputs& inputs);

    int Days() const { return days_; }
    double Rate() const { return r_; }
    double Years() const { return T_; }
    // The underlying's forward price to the expiry.
    double Forward() const { return S_ * Dc_ / Dr_; }

    // The model's value; not finite when the model has none there (a tree
    // beyond the single range).
    double Value(double sigma, double strike, bool call);
    // Delta by the model: off the tree for the binomial model, the
    // European delta for the others.
    double Delta(double sigma, double strike, bool call);

    // The European formula's value and vega (per unit of volatility).
    double EuropeanValue(double sigma, double strike, bool call) const;
    double EuropeanVega(double sigma, double strike) const;

    bool American() const { return model_->american; }
    // The value no price may stay below: the intrinsic value for the
    // American models, the discounted one for the European formula.
    double LowerBound(double strike, bool call) const;
    // The value no price may reach: the underlying for a call, the strike
    // (discounted for the European formula) for a put.
    double UpperBound(double strike, bool call) const;
    // The lowest volatility at which the model is sound (the tree needs
    // probabilities between 0 and 1).
    double LowestVolatility() const;

private:
    ChainInputs inputs_;
    const ModelEntry* model_;
    double spot_;
    int days_;
    double T_, r_, b_;
    double S_;  // less the present value of a cash dividend
    double Dr_, Dc_;
    TInOutObj series_;    // the expiry as the page would hold it, one strike
    OptionSetup option_;  // the model's own set-up, for the models a chain does not value itself
};

}  // namespace kestrava
