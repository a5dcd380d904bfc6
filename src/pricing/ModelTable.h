#pragma once
// The pricing models, one row each: what the series file's Model number
// means, what the windows and kestrava-calc call it, and the routines that
// price under it a whole expiry (the grid), one strike or position leg, and
// one option of a chain. Every dispatch on a model and every list of model
// names walks this table, so a model added here is priced everywhere.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pricing/binomialtree.h"
#include "pricing/european.h"
#include "pricing/IORecObj1.h"

namespace kestrava {

// One option's value (floored as the grid shows it) and greeks.
struct OptionResult {
    float theo;
    float delta;
    float gamma;
    float decay;  // per calendar day
    float vega;   // per volatility point; 0 from the tree, which computes none
};

// What pricing one option at a time needs of an expiry at one date,
// underlying and rate: the European set-up, or a tree with its work tables.
struct OptionSetup {
    detail::EuropeanSetup european{};
    std::optional<BinomialTree> tree;
};

struct ModelEntry {
    ModelKind number;       // as the series file holds it
    const char* name;       // "Black Scholes": the setup dialog, kestrava-calc
    const char* shortName;  // "Black-Scholes": the page's caption, the printed grid
    bool american;          // exercised early; else European
    bool tree;              // a lattice with Steps: slow, and no vega of its own
    // Every strike and side of the expiry in place, as the grid shows them.
    void (*priceExpiry)(TInOutObj& series);
    // The set-up of the expiry at its TodayDate, Underlying and Rate, kept
    // between calls (a tree keeps its tables); then one strike or leg on it.
    void (*setUp)(OptionSetup& setup, const TInOutObj& expiry);
    OptionResult (*priceOption)(OptionSetup& setup, float K, int k, float sigma);
    // One option of a chain as the model gives it, untouched by the grid's
    // floor; not finite where the model has no value. Empty for a European
    // model: a chain values those with the exact formula in double precision.
    double (*chainValue)(OptionSetup& setup, float K, int k, float sigma);
};

// The models in the order of their numbers, 1 to the last.
std::span<const ModelEntry> ModelTable();

// The row of a model number; nullptr for a number outside the table.
const ModelEntry* FindModel(int number);

// The row of a model number; throws PricingError naming the number and the
// models there are for one outside the table.
const ModelEntry& RequireModel(int number);

// "model 5 is not a pricing model (1 Black Scholes, ..., 4 Whaley)".
std::string UnknownModelMessage(int number);

// "Black Scholes (Euro)", "Binomial (Amer)": the name and its exercise.
std::string ModelDisplayName(const ModelEntry& model);

// The first expiry (counted from 1) whose model is outside the table and
// that model's number, or nothing when every model is known.
struct UnknownModel {
    std::size_t expiry;
    int model;
};
std::optional<UnknownModel> FindUnknownModel(std::span<const TInOutObj> series);

}  // namespace kestrava
