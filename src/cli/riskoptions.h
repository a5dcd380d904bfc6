#pragma once
// The options of kestrava-calc risk: what to print, the recalculation's
// volatility source, where the legs' values come from, and the scenario.

#include <optional>
#include <string>
#include <vector>

#include "analysis/MarkedPosition.h"
#include "analysis/RiskGraph.h"
#include "analysis/Scenario.h"
#include "cli/arguments.h"
#include "pricing/recalc.h"

namespace kestrava::cli {

enum class RiskOutput { Figures, Csv, Table, Probability, Export, VolTable };

struct RiskOptions {
    std::string positionFile;
    RiskRange range;
    RiskOutput output = RiskOutput::Figures;
    std::optional<std::string> picture;  // --out
    int width = 800;
    int height = 400;
    VolSource source = VolSource::Flat;
    MarkSource mark = MarkSource::Mid;
    std::optional<TDateTime> date;
    double volShift = 0;
    double volPoints = 0;
    double rateShift = 0;
    SkewRule skew = SkewRule::StickyStrike;
    DistributionVol distribution = DistributionVol::AtTheMoney;
    bool scenarioGiven = false;  // a date, a shift or a skew rule was asked for
};

const std::vector<std::string>& RiskValueOptions();
const std::vector<std::string>& RiskFlagOptions();

// Throws UsageError for options that do not go together or a value out of range.
RiskOptions ReadRiskOptions(const Arguments& arguments);

// The scenario of the options. Throws UsageError for a date before the
// valuation date or after the last expiry among the legs.
Scenario ScenarioFor(const RiskOptions& options, const MarkedPosition& marked);

// The help before the --quotes option's and after it.
extern const char* const kRiskHelp;
extern const char* const kRiskHelpEnd;

}  // namespace kestrava::cli
