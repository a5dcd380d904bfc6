// kestrava-calc price, run as the real program.

#include <gtest/gtest.h>

#include <charconv>
#include <sstream>

#include "calc_runner.h"
#include "pricing/ModelTable.h"

using namespace kestrava::clitest;

namespace {

// One equity expiry of 91 days with two strikes; the at-the-money call and
// put are bid at 4.00 and the call asked at 4.40.
const char* const kQuotedSeries = R"([{
  "ContractType": 1, "Model": 1, "Steps": 200, "ExpiryMonth": 4, "NumStrikes": 2,
  "ReservedInt": 0, "SigmaDays": 90, "Dividend": 0, "Rate": 0.05, "Underlying": 100,
  "Sigma": 0.25, "PriceDate": 39449, "TodayDate": 39449, "ExpiryDate": 39540, "DivDate": 0,
  "SourceFileType": 5, "OptSymbol": "ABC", "SourceFile": "", "OptContract": "",
  "Strike": [[100, 100], [110, 110]], "Last": [[4.1, 3.9], [0, 0]],
  "NetChange": [[0.2, -0.1], [0, 0]], "ReservedValue": [[0, 0], [0, 0]],
  "Bid": [[4.0, 4.0], [0, 0]], "Ask": [[4.4, 0], [0, 0]]
}])";

}  // namespace

class PriceCliTest : public CalcTest {};

TEST_F(PriceCliTest, CsvRowsInGridOrderWithSolvedVolatilities)
{
    WriteFile(PathOf("abc.json"), kQuotedSeries);
    const Outcome flat = Run({"price", PathOf("abc.json")});
    ASSERT_EQ(flat.status, 0) << flat.err;
    const auto rows = CsvRows(flat.out);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(
        flat.out.substr(0, flat.out.find('\n')),
        "expiry,strike,side,vol_fraction,bid,ask,bid_iv_fraction,ask_iv_fraction,theo,delta,gamma,decay,"
        "vega,prob_below_fraction,prob_above_fraction");
    // Calls of strikes 1 and 2, then the puts.
    EXPECT_EQ(rows[1][0], "2008-04-02");
    EXPECT_EQ(rows[1][1] + rows[1][2], "100C");
    EXPECT_EQ(rows[2][1] + rows[2][2], "110C");
    EXPECT_EQ(rows[3][1] + rows[3][2], "100P");
    EXPECT_EQ(rows[1][3], "0.25");
    EXPECT_NEAR(std::stod(rows[1][6]), 0.169, 0.002) << "bid IV of the call, a fraction";
    EXPECT_NEAR(std::stod(rows[3][6]), 0.232, 0.002) << "bid IV of the put";
    EXPECT_EQ(rows[2][6], "0") << "no bid, no implied volatility";
    EXPECT_NEAR(std::stod(rows[1][14]), 0.5, 1e-6) << "prob_above of the call at the money";
    EXPECT_EQ(rows[1][13], "0") << "a call row carries no prob_below";
}

// The real quotes of SPX: every number reads back as a single, and the bids
// and asks read as the exchange wrote them, without a single's noise.
TEST_F(PriceCliTest, CsvNumbersAreTheShortestTextOfTheirSingles)
{
    const Outcome spx = Run({"price", KESTRAVA_TEST_DATA_DIR "/series/spx-2011-01-24.json"});
    ASSERT_EQ(spx.status, 0) << spx.err;
    const auto rows = CsvRows(spx.out);
    ASSERT_GT(rows.size(), 40u);
    bool found = false;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        if (rows[r][0] == "2011-02-19" && rows[r][1] == "1150" && rows[r][2] == "C") {
            EXPECT_EQ(rows[r][4], "139.4");
            EXPECT_EQ(rows[r][5], "143.3");
            found = true;
        }
        for (std::size_t c = 3; c < rows[r].size(); ++c) {
            const std::string& text = rows[r][c];
            float value = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
            ASSERT_TRUE(error == std::errc() && end == text.data() + text.size()) << text;
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(PriceCliTest, SkewModesPriceAtTheQuotesVolatilities)
{
    WriteFile(PathOf("abc.json"), kQuotedSeries);
    const auto bid = CsvRows(Run({"price", PathOf("abc.json"), "--skew", "bid"}).out);
    ASSERT_EQ(bid.size(), 5u);
    EXPECT_NEAR(std::stod(bid[1][8]), 4.0, 0.006) << "the call priced back to its bid";
    EXPECT_EQ(bid[2][8], "0") << "a strike without a bid is priced at volatility 0";

    const auto ask = CsvRows(Run({"--skew", "ask", "price", PathOf("abc.json")}).out);
    ASSERT_TRUE(ask.empty()) << "options go after the command";
    const auto ask2 = CsvRows(Run({"price", "--skew", "ask", PathOf("abc.json")}).out);
    ASSERT_EQ(ask2.size(), 5u);
    EXPECT_NEAR(std::stod(ask2[1][8]), 4.4, 0.006);
}

TEST_F(PriceCliTest, AnExpiredExpiryKeepsItsQuotesAndPricesNothingUnderEverySkew)
{
    std::string expired = kQuotedSeries;
    expired.replace(expired.find("\"ExpiryDate\": 39540"), 19, "\"ExpiryDate\": 39440");
    WriteFile(PathOf("expired.json"), expired);
    for (const char* skew : {"flat", "bid", "ask"}) {
        SCOPED_TRACE(skew);
        const Outcome o = Run({"price", PathOf("expired.json"), "--skew", skew});
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.err, "");
        const auto rows = CsvRows(o.out);
        ASSERT_EQ(rows.size(), 5u);
        EXPECT_EQ(rows[1][4], "4") << "the bid stays";
        for (std::size_t r = 1; r < rows.size(); ++r)
            EXPECT_EQ(rows[r][8], "0") << "no value after expiry";
    }
}

TEST_F(PriceCliTest, TableShowsTheGridFormats)
{
    WriteFile(PathOf("abc.json"), kQuotedSeries);
    const Outcome table = Run({"price", PathOf("abc.json"), "--format", "table", "--date-format",
                               "dd.MM.yyyy", "--decimal-separator", ","});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_NE(table.out.find("Apr 2008"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("Today: 02.01.2008"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find(" C  100   "), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("+0,20 "), std::string::npos) << "net change with its sign";
    EXPECT_NE(table.out.find("4,10 "), std::string::npos) << "last price";
    EXPECT_NE(table.out.find("16,9 "), std::string::npos) << "bid IV in percent";
}

// Each model of the model table prices the series and the table names it
// as the setup dialog does; a model beyond the table is refused with the
// file and the number named, not priced as a grid of zeros.
TEST_F(PriceCliTest, EveryModelOfTheTableAndNoOther)
{
    const auto withModel = [](int model) {
        std::string series = kQuotedSeries;
        series.replace(series.find("\"Model\": 1"), 10, "\"Model\": " + std::to_string(model));
        return series;
    };
    for (const kestrava::ModelEntry& model : kestrava::ModelTable()) {
        SCOPED_TRACE(model.name);
        WriteFile(PathOf("model.json"), withModel(model.number));
        const Outcome table = Run({"price", PathOf("model.json"), "--format", "table"});
        ASSERT_EQ(table.status, 0) << table.err;
        EXPECT_NE(table.out.find("  " + kestrava::ModelDisplayName(model) + "\n"), std::string::npos)
            << table.out;
        const auto rows = CsvRows(Run({"price", PathOf("model.json")}).out);
        ASSERT_EQ(rows.size(), 5u);
        EXPECT_GT(std::stod(rows[1][8]), 4.0) << "the call at the money";
    }
    const int past = static_cast<int>(kestrava::ModelTable().size()) + 1;
    WriteFile(PathOf("beyond.json"), withModel(past));
    const Outcome beyond = Run({"price", PathOf("beyond.json")});
    EXPECT_EQ(beyond.status, 2);
    EXPECT_EQ(beyond.out, "");
    EXPECT_NE(beyond.err.find(PathOf("beyond.json")), std::string::npos) << beyond.err;
    EXPECT_NE(beyond.err.find("model " + std::to_string(past) + " is not a pricing model"), std::string::npos)
        << beyond.err;
}

TEST_F(PriceCliTest, ErrorsAndUsage)
{
    std::string zero = kQuotedSeries;
    zero.replace(zero.find("\"Underlying\": 100"), 17, "\"Underlying\": 0");
    WriteFile(PathOf("zero.json"), zero);
    const Outcome unpriceable = Run({"price", PathOf("zero.json")});
    EXPECT_EQ(unpriceable.status, 2);
    EXPECT_NE(unpriceable.err.find("underlying price must be positive"), std::string::npos)
        << unpriceable.err;
    EXPECT_NE(unpriceable.err.find("expiry 1 (2008-04-02): "), std::string::npos) << unpriceable.err;

    // Of two expiries, the second has a strike of 0: the other strikes are
    // priced, the zero strike's rows are blank and the message names it.
    std::string second = kQuotedSeries;
    const auto swap = [&second](const std::string& from, const std::string& to) {
        second.replace(second.find(from), from.size(), to);
    };
    swap("[[100, 100], [110, 110]]", "[[100, 100], [0, 0]]");
    swap("\"ExpiryDate\": 39540", "\"ExpiryDate\": 39568");
    std::string two = kQuotedSeries;
    two.replace(two.rfind(']'), 1, "," + second.substr(1));
    WriteFile(PathOf("two.json"), two);
    const Outcome badSecond = Run({"price", PathOf("two.json")});
    EXPECT_EQ(badSecond.status, 1);
    EXPECT_NE(badSecond.out.find("\n2008-04-30,100,P,0.25,4,0,0.21110055,"), std::string::npos)
        << badSecond.out;
    EXPECT_NE(badSecond.out.find("\n2008-04-30,0,P,0,0,0,0,0,0,0,0,0,0,0,0\n"), std::string::npos)
        << badSecond.out;
    EXPECT_EQ(badSecond.err,
              "expiry 2 (2008-04-30): Strike 2 (0) cannot be priced: a strike price must be above 0. "
              "Its rows are left blank.\n");

    WriteFile(PathOf("abc.json"), kQuotedSeries);
    EXPECT_EQ(Run({"price", PathOf("abc.json"), "--skew", "mid"}).status, 2);
    EXPECT_EQ(Run({"price", PathOf("abc.json"), "--colour"}).status, 2);
    EXPECT_EQ(Run({"price"}).status, 2);
    EXPECT_EQ(Run({"price", PathOf("missing.ops")}).status, 2);
    EXPECT_EQ(Run({"frobnicate"}).status, 2);
    const Outcome help = Run({"price", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--skew"), std::string::npos);

    // The sample series prices as it ships.
    const Outcome sample = Run({"price", std::string(KESTRAVA_SAMPLES_DIR) + "/sample.ops"});
    EXPECT_EQ(sample.status, 0) << sample.err;
}

TEST_F(PriceCliTest, SameNumbersUnderEveryLocale)
{
    // CSV is machine-readable: points under any locale. The table shows the
    // grid as the page would: the locale's separator, or the one asked for.
    WriteFile(PathOf("abc.json"), kQuotedSeries);
    auto runUnder = [&](const char* locale, std::vector<std::string> args) {
        setenv("LC_ALL", locale, 1);
        const Outcome outcome = Run(args);
        unsetenv("LC_ALL");
        EXPECT_EQ(outcome.status, 0) << locale << ": " << outcome.err;
        return outcome.out;
    };
    const std::string csv = runUnder("C", {"price", PathOf("abc.json")});
    const std::string table = runUnder("C", {"price", PathOf("abc.json"), "--format", "table"});
    EXPECT_NE(table.find(" 4.00 "), std::string::npos) << table;
    for (const char* locale : {"de_DE.UTF-8", "fr_FR.UTF-8"}) {
        EXPECT_EQ(runUnder(locale, {"price", PathOf("abc.json")}), csv) << locale;
        EXPECT_EQ(runUnder(locale, {"price", PathOf("abc.json"), "--format", "table", "--decimal-separator",
                                    ".", "--date-format", "yyyy-MM-dd"}),
                  table)
            << locale;
        const std::string comma = runUnder(locale, {"price", PathOf("abc.json"), "--format", "table"});
        EXPECT_NE(comma.find(" 4,00 "), std::string::npos) << locale << "\n" << comma;
    }
}

TEST_F(PriceCliTest, ALongRunReportsItsProgress)
{
    // Expiries of twenty strikes in a 5000-step tree, some seconds' worth;
    // a sanitized build takes about thirty times as long for each.
#ifdef KESTRAVA_SANITIZED
    constexpr int kExpiries = 8;
#else
    constexpr int kExpiries = 80;
#endif
    std::ostringstream strikes;
    for (int s = 0; s < 20; ++s)
        strikes << (s ? "," : "") << "[" << 80 + 2 * s << "," << 80 + 2 * s << "]";
    std::string zeros = "[0,0]";
    for (int s = 1; s < 20; ++s)
        zeros += ",[0,0]";
    std::string expiry = R"({"ContractType": 1, "Model": 3, "Steps": 5000, "ExpiryMonth": 4, "NumStrikes": 20,
      "ReservedInt": 0, "SigmaDays": 90, "Dividend": 0, "Rate": 0.05, "Underlying": 100, "Sigma": 0.25,
      "PriceDate": 39449, "TodayDate": 39449, "ExpiryDate": 39540, "DivDate": 0, "SourceFileType": 5,
      "OptSymbol": "ABC", "SourceFile": "", "OptContract": "", "Strike": [)"
                         + strikes.str() + "], \"Last\": [" + zeros + "], \"NetChange\": [" + zeros
                         + "], \"ReservedValue\": [" + zeros + "]}";
    std::string series = "[" + expiry;
    for (int e = 1; e < kExpiries; ++e)
        series += "," + expiry;
    WriteFile(PathOf("long.json"), series + "]");

    const Outcome o = Run({"price", PathOf("long.json")});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(CsvRows(o.out).size(), 1u + kExpiries * 40);
    const std::string total = " of " + std::to_string(kExpiries) + " expiries";
    EXPECT_NE(o.err.find(total + ", about "), std::string::npos) << o.err;
    EXPECT_EQ(o.err.rfind("Priced ", 0), 0u) << o.err;
    const std::size_t last = o.err.rfind("Priced " + std::to_string(kExpiries) + total + " in ");
    EXPECT_NE(last, std::string::npos) << o.err;
    EXPECT_TRUE(o.err.ends_with(" s.\n")) << o.err;

    // A short run says nothing.
    WriteFile(PathOf("short.json"), "[" + expiry + "]");
    EXPECT_EQ(Run({"price", PathOf("short.json")}).err, "");
}
