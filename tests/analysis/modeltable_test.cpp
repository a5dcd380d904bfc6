// Every row of the model table through every use of it: the grid, the
// model's own implied volatility, a position's leg and a chain's solve, so
// that a model added to the table is priced everywhere or fails here; and a
// model number outside the table, which every use refuses.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "analysis/AnalysisError.h"
#include "analysis/ChainPricer.h"
#include "analysis/ChainVolatility.h"
#include "analysis/MarkedPosition.h"
#include "analysis/PositionValuer.h"
#include "pricing/modeliv.h"
#include "pricing/Models.h"
#include "pricing/ModelTable.h"
#include "pricing/pricing_fixtures.h"
#include "pricing/recalc.h"

using namespace kestrava;
using namespace kestrava::fixtures;

namespace {

constexpr float kSigma = 0.3f;
constexpr float kRate = 0.05f;

// An index paying a 2 % yield, 120 days out; strikes from deep in the money
// for the puts to deep in the money for the calls.
TInOutObj IndexExpiry(int model)
{
    TInOutObj p = MakeSeries(kIndex, model, 100, kRate, kSigma, 120, {80, 100, 125});
    p.Dividend = 0.02f;
    return p;
}

}  // namespace

TEST(ModelTable, NumbersRunFromOneAndNamesAreDistinct)
{
    std::set<std::string> names, shortNames, shown;
    int expected = 1;
    for (const ModelEntry& model : ModelTable()) {
        EXPECT_EQ(model.number, expected++) << "the series file and the setup dialog count models from 1";
        EXPECT_EQ(FindModel(model.number), &model);
        names.insert(model.name);
        shortNames.insert(model.shortName);
        shown.insert(ModelDisplayName(model));
        EXPECT_NE(ModelDisplayName(model).find(model.name), std::string::npos);
    }
    EXPECT_EQ(names.size(), ModelTable().size());
    EXPECT_EQ(shortNames.size(), ModelTable().size());
    EXPECT_EQ(shown.size(), ModelTable().size());
}

TEST(ModelTable, EveryModelIsPricedByTheGridTheVolatilityThePositionAndTheChain)
{
    for (const ModelEntry& model : ModelTable()) {
        SCOPED_TRACE(model.name);
        // The grid: every option gets a value; an American put deep in the
        // money is worth at least its exercise, and more than the European.
        TInOutObj grid = IndexExpiry(model.number);
        ASSERT_TRUE(RecalcExpiry(grid, VolSource::Flat).empty());
        TInOutObj european = IndexExpiry(model.number);
        PriceBlackScholes(european);
        for (int s = 1; s <= grid.NumStrikes; ++s)
            for (int k = 1; k <= 2; ++k)
                EXPECT_GT(grid.Theo(s, k), 0) << "strike " << s << " side " << k;
        if (model.american) {
            EXPECT_GE(grid.Theo(3, 2), 25.0f);
            EXPECT_GT(grid.Theo(3, 2), european.Theo(3, 2) + 0.05f) << "the European formula, not the model";
        } else {
            EXPECT_EQ(grid.Theo(3, 2), european.Theo(3, 2));
        }

        // A strike or a leg priced alone gives the grid's numbers; the
        // model's implied volatility of the grid's value is the volatility
        // it was priced at.
        OptionPricer pricer(grid);
        ASSERT_TRUE(pricer.MoveTo(grid.TodayDate, grid.Underlying, grid.Rate));
        for (int s = 1; s <= grid.NumStrikes; ++s) {
            for (int k = 1; k <= 2; ++k) {
                const OptionResult alone = pricer.Price(grid.Strike(s, k), k, kSigma);
                EXPECT_EQ(alone.theo, grid.Theo(s, k)) << "strike " << s << " side " << k;
                EXPECT_EQ(alone.delta, grid.Delta(s, k)) << "strike " << s << " side " << k;
                EXPECT_NEAR(SolveModelIV(pricer, grid.Strike(s, k), k, grid.Theo(s, k)), kSigma, 2e-3)
                    << "strike " << s << " side " << k;
            }
        }

        // A position of one put, valued by the model today, is worth the
        // grid's value of it.
        Position position;
        position.legs.push_back({LegKind::Option, grid.ExpiryDate, 125, 2, 1, 0, {}});
        const std::vector<const TInOutObj*> expiries{&grid};
        const MarkedPosition marked(expiries, position, MarkSource::Model);
        ASSERT_EQ(marked.Legs().size(), 1u);
        ScenarioValuer valuer(marked, Scenario{});
        EXPECT_NEAR(valuer.LiveValue(grid.TodayDate, 100) / marked.Multiplier(), grid.Theo(3, 2), 1e-4);

        // A chain solves its volatilities under the model itself: one of
        // the chain's models stands for it, and values as the grid does.
        // The European rows share the chain's European formula.
        const ChainModelEntry* chain = nullptr;
        for (const ChainModelEntry& entry : ChainModels())
            if (entry.pricing == model.number || (!model.american && !FindModel(entry.pricing)->american))
                chain = &entry;
        ASSERT_NE(chain, nullptr) << "no chain model solves with " << model.name;
        ChainInputs inputs;
        inputs.model = chain->model;
        inputs.steps = grid.Steps;
        inputs.rates.flat = kRate;
        inputs.dividend.yield = 0.02;
        ExpiryPricer expiry(100, grid.TodayDate, grid.ExpiryDate, inputs);
        EXPECT_EQ(expiry.American(), model.american);
        for (int s = 1; s <= grid.NumStrikes; ++s) {
            for (int k = 1; k <= 2; ++k) {
                EXPECT_NEAR(expiry.Value(kSigma, grid.Strike(s, k), k == 1), grid.Theo(s, k), 2e-3)
                    << "strike " << s << " side " << k;
                const VolSolution solved = SolveVolatility(expiry, grid.Theo(s, k), grid.Strike(s, k),
                                                           k == 1);
                ASSERT_TRUE(solved.Solved()) << "strike " << s << " side " << k;
                EXPECT_NEAR(solved.vol, kSigma, 2e-3) << "strike " << s << " side " << k;
            }
        }
    }
}

TEST(ModelTable, EveryChainModelIsARowOfTheTable)
{
    std::set<std::string> names;
    for (const ChainModelEntry& entry : ChainModels()) {
        ASSERT_NE(FindModel(entry.pricing), nullptr) << entry.name;
        ChainModel parsed{};
        ASSERT_TRUE(ParseChainModel(entry.name, parsed));
        EXPECT_EQ(parsed, entry.model);
        EXPECT_STREQ(ChainModelName(entry.model), entry.name);
        names.insert(entry.name);
    }
    EXPECT_EQ(names.size(), ChainModels().size());
}

// A model number outside the table prices nothing and says so, never the
// European formula's numbers.
TEST(ModelTable, AModelOutsideTheTableIsRefusedByEveryUse)
{
    const int past = static_cast<int>(ModelTable().size()) + 1;
    for (const int number : {0, -1, past, 99}) {
        SCOPED_TRACE(number);
        EXPECT_EQ(FindModel(number), nullptr);
        TInOutObj p = IndexExpiry(number);
        try {
            RecalcExpiry(p, VolSource::Flat);
            FAIL() << "priced under no model";
        } catch (const PricingError& error) {
            EXPECT_NE(std::string(error.what()).find("model " + std::to_string(number) + " is not"),
                      std::string::npos)
                << error.what();
        }
        for (int s = 1; s <= p.NumStrikes; ++s)
            EXPECT_EQ(p.Theo(s, 1), 0) << "strike " << s;
        EXPECT_FALSE(RunModel(p));
        EXPECT_THROW(OptionPricer{p}, PricingError);

        Position position;
        position.legs.push_back({LegKind::Option, p.ExpiryDate, 100, 1, 1, 0, {}});
        const std::vector<const TInOutObj*> expiries{&p};
        EXPECT_THROW(MarkedPosition(expiries, position, MarkSource::Model), AnalysisError);
    }
}
