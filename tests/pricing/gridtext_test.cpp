#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "pricing/gridtext.h"

using namespace kestrava;

namespace {

// Every value column set to v on the call row of strike 1.
TInOutObj AllColumns(float v)
{
    TInOutObj p;
    p.NumStrikes = 1;
    p.NetChange(1, 1) = v;
    p.Last(1, 1) = v;
    p.Bid(1, 1) = v;
    p.BidIV(1, 1) = v / 100;
    p.Ask(1, 1) = v;
    p.AskIV(1, 1) = v / 100;
    p.Theo(1, 1) = v;
    p.Delta(1, 1) = v;
    p.Gamma(1, 1) = v;
    p.Decay(1, 1) = v;
    p.Vega(1, 1) = v;
    p.ProbBelow(1, 1) = v / 100;
    p.ProbAbove(1, 1) = v / 100;
    return p;
}

}  // namespace

TEST(GridText, EveryColumnOnPositiveNegativeAndZero)
{
    // column: shown for 1.5, -1.5 and 0, each number with its trailing blank
    const struct {
        int column;
        const char* positive;
        const char* negative;
        const char* zero;
    } expected[] = {
        {1, "+1.50 ", "-1.50 ", ""},    {2, "1.50 ", "-1.50 ", ""},     {3, "1.50 ", "-1.50 ", ""},
        {4, "1.5 ", "-1.5 ", ""},       {5, "1.50 ", "-1.50 ", ""},     {6, "1.5 ", "-1.5 ", ""},
        {7, "1.50 ", "-1.50 ", ""},     {8, "+1.50 ", "-1.50 ", ""},    {9, "1.500 ", "1.500 ", ""},
        {10, "1.500 ", "-1.500 ", " "}, {11, "1.500 ", "-1.500 ", " "}, {12, "1.5 ", "-1.5 ", ""},
        {13, "1.5 ", "-1.5 ", ""},
    };
    const TInOutObj pos = AllColumns(1.5f), neg = AllColumns(-1.5f), zero = AllColumns(0);
    for (const auto& e : expected) {
        EXPECT_EQ(GridCellText(pos, 1, 1, e.column), e.positive) << "column " << e.column;
        EXPECT_EQ(GridCellText(neg, 1, 1, e.column), e.negative) << "column " << e.column;
        EXPECT_EQ(GridCellText(zero, 1, 1, e.column), e.zero) << "column " << e.column;
    }
}

TEST(GridText, PercentColumnsAndDecimalComma)
{
    TInOutObj p = AllColumns(0);
    p.BidIV(1, 1) = 0.16912f;
    p.ProbAbove(1, 1) = 0.5f;
    EXPECT_EQ(GridCellText(p, 1, 1, 4), "16.9 ");
    EXPECT_EQ(GridCellText(p, 1, 1, 13), "50.0 ");
    p.Theo(1, 1) = 12.345f;
    EXPECT_EQ(GridCellText(p, 1, 1, 7, ','), "12,35 ");
    p.Theo(1, 1) = 2.675f;  // 2.67499995 as stored
    EXPECT_EQ(GridCellText(p, 1, 1, 7), "2.68 ");
    EXPECT_EQ(GridCellText(p, 1, 1, 0), "");
}

TEST(GridText, StrikeLabelsFollowTheStep)
{
    EXPECT_EQ(StrikeLabel(102.5f, true, 2.5f), " C  102.50 ");
    EXPECT_EQ(StrikeLabel(105, false, 5), " P  105    ");
    EXPECT_EQ(StrikeLabel(100, true, 5.00005f), " C  100    ");
    EXPECT_EQ(StrikeLabel(1250, true, 25), " C  1250   ");
    EXPECT_STREQ(GridHeader(10), "Decay\r$ / Day");
}

TEST(GridText, LabelStepKeepsEvenlySpacedStrikesAndTheHalvesOfOthers)
{
    // Strikes, the decimals their labels get.
    const std::pair<std::vector<float>, int> cases[] = {
        {{100, 105, 110}, 0},           // even whole steps, as always
        {{100.5f, 105.5f, 110.5f}, 0},  // even whole steps keep their way, whatever the strikes
        {{100, 102.5f, 105}, 2},        // even steps with a fraction
        {{213, 214, 217.5f, 221}, 2},   // uneven, a half among them
        {{200, 210, 215, 230}, 0},      // uneven, all whole
        {{50}, 0},                      // one strike: its negative "step" is whole
    };
    for (const auto& [strikes, decimals] : cases) {
        TInOutObj p;
        p.NumStrikes = static_cast<int>(strikes.size());
        for (int s = 1; s <= p.NumStrikes; ++s)
            p.Strike(s, 1) = p.Strike(s, 2) = strikes[static_cast<std::size_t>(s - 1)];
        const std::string label = StrikeLabel(strikes.back(), true, LabelStrikeStep(p));
        EXPECT_EQ(label.find('.') != std::string::npos, decimals == 2) << label;
    }
}
