// kestrava-calc risk --probability names the volatility its chances assume
// for each expiry of the legs and where the smile came from: the quote
// table behind the quotes (the chain's own at-the-money volatility) or the
// series' strikes.

#include <cmath>
#include <string>

#include "cli/calc_runner.h"

namespace kestrava::clitest {
namespace {

const std::string kSeries = std::string(KESTRAVA_TEST_DATA_DIR) + "/series/spx-2011-01-24.json";
const std::string kTable = std::string(KESTRAVA_TEST_DATA_DIR) + "/quotes-spx-2011-01-24.dat";

// A February and March calendar of the 1300 call.
const char* const kCalendar = R"({"multiplier": 100, "legs": [
  {"expiry": "2011-02-19", "strike": 1300, "side": "C", "quantity": -1, "price": 18.6},
  {"expiry": "2011-03-19", "strike": 1300, "side": "C", "quantity": 1, "price": 27.8}]})";

class ChancesCliTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        HideDisplay();
        WriteFile(PathOf("calendar.json"), kCalendar);
    }
    std::map<std::string, std::string> Chances(std::vector<std::string> extra)
    {
        std::vector<std::string> args = {"risk", kSeries, "--position", PathOf("calendar.json"),
                                         "--probability"};
        args.insert(args.end(), extra.begin(), extra.end());
        const Outcome out = Run(args);
        EXPECT_EQ(out.status, 0) << out.err;
        return Values(out.out);
    }
};

}  // namespace

TEST_F(ChancesCliTest, EachExpiryNamesItsVolatilityAndTheSmilesSource)
{
    // The chain's at-the-money volatility of February, as --surface gives it.
    const auto surface = CsvRows(Run({"chain", kTable, "--surface"}).out);
    ASSERT_GT(surface.size(), 2u);
    ASSERT_EQ(surface[1][0], "2011-02-19");

    const auto table = Chances({"--quotes", kTable});
    EXPECT_EQ(table.at("vol_source"), "table");
    EXPECT_EQ(table.at("vol_assumed_2011-02-19"), surface[1][3]);
    EXPECT_EQ(table.at("vol_assumed_2011-02-19"), table.at("vol_assumed"));

    // The series' own strikes: a smile of their own.
    const auto page = Chances({});
    EXPECT_EQ(page.at("vol_source"), "page");
    EXPECT_EQ(page.at("vol_assumed_2011-02-19"), page.at("vol_assumed"));
    EXPECT_NE(page.at("vol_assumed"), table.at("vol_assumed"));

    // March's leg on February's expiry: its own volatility, moved along
    // the smile, or the series' flat 16 %; each its own chance.
    std::map<std::string, std::map<std::string, std::string>> rules;
    for (const char* rule : {"sticky-strike", "sticky-moneyness", "flat"})
        rules[rule] = Chances({"--quotes", kTable, "--skew", rule});
    EXPECT_NEAR(std::stod(rules["flat"].at("vol_assumed_2011-03-19")), 0.16, 1e-6);
    for (const char* rule : {"sticky-strike", "sticky-moneyness"}) {
        const double march = std::stod(rules[rule].at("vol_assumed_2011-03-19"));
        EXPECT_GT(march, 0.12) << rule;
        EXPECT_LT(march, 0.155) << rule;
        EXPECT_NE(rules[rule].at("pop_expiry"), rules["flat"].at("pop_expiry")) << rule;
    }
    EXPECT_NE(rules["sticky-strike"].at("vol_assumed_2011-03-19"),
              rules["sticky-moneyness"].at("vol_assumed_2011-03-19"));
    EXPECT_EQ(rules["sticky-strike"], table);
}

}  // namespace kestrava::clitest
