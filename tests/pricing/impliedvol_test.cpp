#include <gtest/gtest.h>

#include <vector>

#include "pricing/Models.h"
#include "pricing/recalc.h"
#include "pricing_fixtures.h"

using namespace kestrava;
using namespace kestrava::fixtures;

TEST(ImpliedVol, AtTheMoneyQuotes)
{
    // A quarter of a year: 91 days.
    TInOutObj p = MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.25f, 91, {100});
    p.Bid(1, 1) = 4.0f;
    p.Bid(1, 2) = 4.0f;
    SolveBidIV(p);
    EXPECT_NEAR(p.BidIV(1, 1), 0.169, 0.002);
    EXPECT_NEAR(p.BidIV(1, 2), 0.232, 0.002);

    // The solved volatility gives back the price within the tolerance.
    TInOutObj check = MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.25f, 91, {100});
    check.Vol(1, 1) = p.BidIV(1, 1);
    check.Vol(1, 2) = p.BidIV(1, 2);
    PriceBlackScholes(check);
    EXPECT_NEAR(check.Theo(1, 1), 4.0, 0.0051);
    EXPECT_NEAR(check.Theo(1, 2), 4.0, 0.0051);
}

TEST(ImpliedVol, PricesOutsideTheBoundsGiveNone)
{
    TInOutObj p = MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.25f, 91, {100, 80});
    p.Bid(1, 1) = 101;    // above the underlying: ends on the vega bound
    p.Bid(2, 1) = 19.0f;  // below intrinsic (20 + carry): ends on the volatility bound
    p.Bid(1, 2) = 0;
    p.Ask(1, 2) = 4.5f;  // an ask without a bid
    SolveBidIV(p);
    SolveAskIV(p);
    EXPECT_EQ(p.BidIV(1, 1), 0.0f);
    EXPECT_EQ(p.BidIV(2, 1), 0.0f);
    EXPECT_EQ(p.BidIV(1, 2), 0.0f);
    EXPECT_GT(p.AskIV(1, 2), 0.0f);
    EXPECT_EQ(p.AskIV(1, 1), 0.0f) << "no ask, no ask IV";
}

TEST(ImpliedVol, DoesNotDependOnTheModel)
{
    float first = 0;
    for (int model : {1, 2, 3, 4, 0}) {
        TInOutObj p = MakeSeries(kIndex, model, 100, 0.05f, 0.25f, 60, {105});
        p.Dividend = 0.02f;
        p.Ask(1, 1) = 2.5f;
        SolveAskIV(p);
        if (model == kBlackScholes)
            first = p.AskIV(1, 1);
        EXPECT_EQ(p.AskIV(1, 1), first) << "model " << model;
    }
    EXPECT_GT(first, 0.0f);
}

TEST(ImpliedVol, OldResultIsClearedAndZeroStrikeSkipped)
{
    TInOutObj p = MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.25f, 60, {100, 0, 105});
    p.BidIV(1, 1) = 0.5f;
    SolveBidIV(p);
    EXPECT_EQ(p.BidIV(1, 1), 0.0f) << "no bid clears the old result";
    p.Bid(2, 1) = 1.0f;
    p.Bid(3, 1) = 2.0f;
    p.BidIV(2, 1) = 0.5f;
    SolveBidIV(p);
    EXPECT_EQ(p.BidIV(2, 1), 0.0f) << "a zero strike has no volatility";
    EXPECT_GT(p.BidIV(3, 1), 0.0f) << "the strike after it is solved";
}

TEST(Recalc, ExpiredExpiryIsZeroedAndKeepsItsQuotes)
{
    TInOutObj p = MakeSeries(kEquity, kBinomial, 100, 0.05f, 0.25f, 30, {100});
    p.Bid(1, 1) = 3;
    p.Last(1, 1) = 3.1f;
    RecalcExpiry(p, VolSource::Flat);
    ASSERT_GT(p.Theo(1, 1), 0.0f);
    p.ReservedValue(1, 2) = 7;
    p.TodayDate = p.ExpiryDate;
    RecalcExpiry(p, VolSource::Flat);
    for (int k = 1; k <= 2; ++k) {
        EXPECT_EQ(p.Theo(1, k), 0.0f);
        EXPECT_EQ(p.Delta(1, k), 0.0f);
        EXPECT_EQ(p.Gamma(1, k), 0.0f);
        EXPECT_EQ(p.Decay(1, k), 0.0f);
        EXPECT_EQ(p.Vega(1, k), 0.0f);
        EXPECT_EQ(p.ProbAbove(1, k), 0.0f);
        EXPECT_EQ(p.ProbBelow(1, k), 0.0f);
        EXPECT_EQ(p.ReservedValue(1, k), 0.0f);
    }
    EXPECT_EQ(p.Bid(1, 1), 3.0f);
    EXPECT_EQ(p.Last(1, 1), 3.1f);
}

TEST(Recalc, VolatilitySourcesAndModes)
{
    TInOutObj p = MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.25f, 91, {100, 110});
    p.Bid(1, 1) = 4.0f;
    p.Ask(1, 1) = 4.4f;
    p.Bid(1, 2) = 4.0f;

    RecalcExpiry(p, VolSource::Flat);
    EXPECT_EQ(p.SkewMode, 0);
    EXPECT_EQ(p.Vol(2, 2), 0.25f);
    EXPECT_NEAR(p.BidIV(1, 1), 0.169, 0.002) << "flat mode solves the implied volatilities";
    const float flatPut = p.Theo(1, 2);

    RecalcExpiry(p, VolSource::BidIVs);
    EXPECT_EQ(p.SkewMode, 1);
    EXPECT_EQ(p.Vol(1, 1), p.BidIV(1, 1));
    EXPECT_NEAR(p.Theo(1, 1), 4.0, 0.006) << "priced at its bid volatility";
    EXPECT_NEAR(p.Theo(1, 2), 4.0, 0.006);
    EXPECT_NE(p.Theo(1, 2), flatPut);
    EXPECT_EQ(p.Theo(2, 1), 0.0f) << "no bid, no volatility, no value";
    EXPECT_EQ(p.ProbAbove(2, 1), 0.0f);

    RecalcExpiry(p, VolSource::AskIVs);
    EXPECT_EQ(p.SkewMode, 2);
    EXPECT_NEAR(p.Theo(1, 1), 4.4, 0.006);
    EXPECT_EQ(p.Theo(1, 2), 0.0f);

    // The bid and ask modes use the implied volatilities as they stand.
    p.Bid(1, 1) = 5.0f;
    RecalcExpiry(p, VolSource::BidIVs);
    EXPECT_NEAR(p.Theo(1, 1), 4.0, 0.006);
}

TEST(Recalc, ModelChoiceAndBadSeries)
{
    // An unknown model is an error, not a grid of zeros.
    TInOutObj none = MakeSeries(kEquity, 9, 100, 0.05f, 0.25f, 91, {100});
    EXPECT_THROW(RecalcExpiry(none, VolSource::Flat), PricingError);
    EXPECT_EQ(none.Theo(1, 1), 0.0f) << "an unknown model prices nothing";

    TInOutObj tree = MakeSeries(kEquity, kBinomial, 100, 0.05f, 0.25f, 91, {100});
    RecalcExpiry(tree, VolSource::Flat);
    EXPECT_EQ(tree.Vega(1, 1), 0.0f) << "the binomial model ran";

    TInOutObj zero = MakeSeries(kEquity, kBinomial, 0, 0.05f, 0.25f, 91, {100});
    EXPECT_THROW(RecalcExpiry(zero, VolSource::Flat), PricingError);
}

TEST(Recalc, StrikesNotAboveZeroAreLeftBlankAndNamedOnce)
{
    for (int model : {kBlackScholes, kBinomial, kWhaley}) {
        TInOutObj p = MakeSeries(kEquity, model, 100, 0.05f, 0.25f, 91, {95, 0, 105, -5});
        p.Bid(2, 1) = 3;
        p.Theo(2, 1) = 9;
        const std::vector<int> unpriced = RecalcExpiry(p, VolSource::Flat);
        EXPECT_EQ(unpriced, (std::vector<int>{2, 4})) << "model " << model;
        for (int k = 1; k <= 2; ++k) {
            EXPECT_GT(p.Theo(1, k) + p.Theo(3, k), 0.0f) << "model " << model;
            for (int s : {2, 4})
                EXPECT_EQ(p.Theo(s, k) + p.Delta(s, k) + p.ProbAbove(s, k) + p.ProbBelow(s, k) + p.BidIV(s, k)
                              + p.Vol(s, k),
                          0.0f)
                    << "model " << model << " strike " << s;
        }
        EXPECT_EQ(UnpricedStrikesMessage(p, unpriced),
                  "Strikes 2 (0) and 4 (-5) cannot be priced: a strike price must be above 0. "
                  "Their rows are left blank.");
    }
    TInOutObj fine = MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.25f, 91, {95});
    EXPECT_TRUE(RecalcExpiry(fine, VolSource::Flat).empty());
    EXPECT_EQ(UnpricedStrikesMessage(fine, {}), "");
}
