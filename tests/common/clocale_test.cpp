// The windows' framework sets the process's C locale from the environment;
// under de_DE or fr_FR printf writes a decimal comma. Every number text of
// the core still has its point, and the locale's own separator only where
// the caller asks for it.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "common/localeparse.h"
#include "common/numformat.h"
#include "common/numtext.h"
#include "pricing/gridtext.h"
#include "pricing/pricing_fixtures.h"

using namespace kestrava;

namespace {

// Switches the C locale for one test, as the framework would.
class CommaLocale : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::setlocale(LC_ALL, GetParam()), nullptr)
            << GetParam() << " is not installed (scripts/install-deps.sh generates it)";
        char probe[16];
        std::snprintf(probe, sizeof probe, "%.1f", 1.5);
        ASSERT_STREQ(probe, "1,5") << "the locale writes no decimal comma";
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

}  // namespace

TEST_P(CommaLocale, NumberTextsKeepTheirPoint)
{
    EXPECT_EQ(FormatSig9(0.123456789012), "0.123456789");
    EXPECT_EQ(FormatSig9(1e-7), "1e-07");
    EXPECT_EQ(FormatFixed(-2.345, 2), "-2.35");
    EXPECT_EQ(FormatLocaleFixed(1234.5, 1, ','), "1234,5");
    EXPECT_EQ(FormatLocaleFixed(1234.5, 1, '.'), "1234.5");
    EXPECT_EQ(FormatFloat("0.000", 2.675, '.'), "2.675");
    EXPECT_EQ(FormatFloat("#,##0.0", 12345.25, ',', '.'), "12.345,3");
    EXPECT_EQ(FormatSingle("##0.#0   ;;     ", 2.675f, '.'), "2.68   ");
    EXPECT_EQ(FormatSingle("+0.#0 ;-0.#0 ;'", -0.5f, ','), "-0,50 ");
    EXPECT_EQ(StrikeLabel(102.5f, true, 2.5f), " C  102.50 ");
    EXPECT_EQ(StrikeLabel(95.0f, false, 5.0f), " P  95     ");

    TInOutObj p = fixtures::MakeSeries(kEquity, kBlackScholes, 100, 0.05f, 0.25f, 60, {100});
    p.Theo(1, 1) = 4.25f;
    p.Vol(1, 1) = 0.2525f;
    EXPECT_EQ(GridCellText(p, 1, 1, 7), "4.25 ");
    EXPECT_EQ(GridCellText(p, 1, 1, 7, ','), "4,25 ");

    double parsed = 0;
    EXPECT_TRUE(TryParseDecimal("3.5", '.', parsed));
    EXPECT_EQ(parsed, 3.5);
    EXPECT_TRUE(TryParseDecimal("3,5", ',', parsed));
    EXPECT_EQ(parsed, 3.5);
}

INSTANTIATE_TEST_SUITE_P(GermanAndFrench, CommaLocale, ::testing::Values("de_DE.UTF-8", "fr_FR.UTF-8"));
