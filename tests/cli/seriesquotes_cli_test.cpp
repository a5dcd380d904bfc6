// price, smile, risk and print see what the option page sees: a series saved
// from the window holds no bids or asks, and takes them, as the page does,
// from its symbol's quote file in the program's data folder (or the file
// --quotes names). A series given its bids in the JSON form is the oracle:
// they are the same quotes, matched from the same real table.

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <utility>

#include "cli/calc_runner.h"

namespace kestrava::clitest {
namespace {

const std::string kQuoteTable = std::string(KESTRAVA_TEST_DATA_DIR) + "/quotes-spx-2011-01-24.dat";
const std::string kQuotedSeries = std::string(KESTRAVA_TEST_DATA_DIR) + "/series/spx-2011-01-24.json";

const char* const kPosition = R"({"multiplier": 100, "legs": [
  {"expiry": "2011-02-19", "strike": 1300, "side": "C", "quantity": 1, "price": 13.5},
  {"expiry": "2011-03-19", "strike": 1250, "side": "P", "quantity": -2, "price": 20}]})";

class SeriesQuotesCliTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        HideDisplay();
        // The series as the window saves it: the .ops file keeps no bids or asks.
        ASSERT_EQ(Run({"save", kQuotedSeries, PathOf("SPX.ops")}).status, 0);
        WriteFile(PathOf("position.json"), kPosition);
    }

    fs::path PageQuoteFile() const
    {
        return Home() / "Documents" / "Tovanek" / "Kestrava27" / "Data" / "SPX.txt";
    }

    void PlaceQuoteTable(const fs::path& where) const
    {
        fs::create_directories(where.parent_path());
        fs::copy_file(kQuoteTable, where, fs::copy_options::overwrite_existing);
    }

    // A run under the given locale; the test's own is put back after it.
    Outcome RunUnderLocale(const char* locale, const std::vector<std::string>& args) const
    {
        const char* before = std::getenv("LC_ALL");
        const std::optional<std::string> saved = before ? std::optional<std::string>(before) : std::nullopt;
        ::setenv("LC_ALL", locale, 1);
        const Outcome outcome = Run(args);
        if (saved)
            ::setenv("LC_ALL", saved->c_str(), 1);
        else
            ::unsetenv("LC_ALL");
        return outcome;
    }
};

}  // namespace

TEST_F(SeriesQuotesCliTest, CommandsTakeTheQuotesThePageLoads)
{
    PlaceQuoteTable(PageQuoteFile());
    PlaceQuoteTable(PathOf("elsewhere/table.dat"));
    const std::vector<std::vector<std::string>> commands = {
        {"price"},
        {"price", "--skew", "ask"},
        {"smile", "--csv"},
        {"smile", "--expiry", "2", "--csv"},
        {"risk", "--position", PathOf("position.json"), "--csv"},
        {"risk", "--position", PathOf("position.json")},
        {"risk", "--position", PathOf("position.json"), "--probability"},
        {"risk", "--position", PathOf("position.json"), "--table", "--date", "2011-02-10", "--vol-shift",
         "10", "--skew", "sticky-moneyness"},
        {"risk", "--position", PathOf("position.json"), "--export", "--rate-shift", "1"},
    };
    for (const auto& command : commands) {
        std::vector<std::string> oracle = command, saved = command;
        oracle.insert(oracle.begin() + 1, kQuotedSeries);
        saved.insert(saved.begin() + 1, PathOf("SPX.ops"));
        std::vector<std::string> named = saved;
        named.insert(named.end(), {"--quotes", PathOf("elsewhere/table.dat")});
        // The oracle's own bids: no quote file in its way.
        fs::remove(PageQuoteFile());
        const Outcome want = Run(oracle);
        PlaceQuoteTable(PageQuoteFile());
        const Outcome page = Run(saved);
        fs::remove(PageQuoteFile());
        const Outcome other = Run(named);
        ASSERT_EQ(want.status, 0) << command[0] << ": " << want.err;
        EXPECT_EQ(page.status, 0) << command[0] << ": " << page.err;
        // The chances and the table's prices (its expected moves) follow the
        // quote table's whole smile, which the oracle's own strikes lack.
        const auto has = [&command](const char* option) {
            return std::find(command.begin(), command.end(), option) != command.end();
        };
        const bool followsTable = has("--probability") || has("--table") || has("--export");
        if (!followsTable) {
            EXPECT_EQ(page.out, want.out) << command[0];
        } else if (has("--export")) {
            // The legs and the figures, before the table.
            EXPECT_EQ(page.out.substr(0, page.out.find("\n\nprice,")),
                      want.out.substr(0, want.out.find("\n\nprice,")));
        } else if (command[3] == "--probability") {
            EXPECT_NE(page.out.find("vol_source=table\n"), std::string::npos) << page.out;
            EXPECT_NE(want.out.find("vol_source=page\n"), std::string::npos) << want.out;
        }
        EXPECT_EQ(other.out, page.out) << command[0];
    }

    // Forty volatilities of February, as the page shows them; the call of
    // 1300 at its February quotes, not March's.
    PlaceQuoteTable(PageQuoteFile());
    const Outcome smile = Run({"smile", PathOf("SPX.ops"), "--csv"});
    EXPECT_EQ(CsvRows(smile.out).size(), 1u + 40u) << smile.out;
    const Outcome price = Run({"price", PathOf("SPX.ops")});
    bool seen = false;
    for (const auto& row : CsvRows(price.out))
        if (row.size() > 5 && row[0] == "2011-02-19" && row[1] == "1300" && row[2] == "C") {
            EXPECT_EQ(row[4], "12.5");
            EXPECT_EQ(row[5], "13.5");
            seen = true;
        }
    EXPECT_TRUE(seen) << price.out;
    // The position's legs are marked at the mids of the page's quotes, and
    // at the model's values without them.
    const auto markOfFirstLeg = [&] {
        const Outcome exported = Run(
            {"risk", PathOf("SPX.ops"), "--position", PathOf("position.json"), "--export"});
        EXPECT_EQ(exported.status, 0) << exported.err;
        const auto rows = CsvRows(exported.out.substr(0, exported.out.find("\n\n")));
        return rows.size() > 1 && rows[1].size() > 8 ? rows[1][7] + " " + rows[1][8] : exported.out;
    };
    EXPECT_EQ(markOfFirstLeg(), "13 mid");
    fs::remove(PageQuoteFile());
    EXPECT_NE(markOfFirstLeg().find(" model"), std::string::npos);
    PlaceQuoteTable(PageQuoteFile());

    // print too: the option codes come with the quotes, and the bid of 12.50
    // is written as the locale writes numbers, whatever the test's own.
    for (const auto& [locale, bid] : {std::pair{"C", "12.50"}, std::pair{"de_DE.UTF-8", "12,50"}}) {
        const Outcome print = RunUnderLocale(locale,
                                             {"print", PathOf("SPX.ops"), "--pdf", PathOf("spx.pdf")});
        ASSERT_EQ(print.status, 0) << locale << ": " << print.err;
        std::system(("pdftotext " + Quoted(PathOf("spx.pdf")) + " " + Quoted(PathOf("spx.txt"))).c_str());
        const std::string text = ReadFile(PathOf("spx.txt"));
        EXPECT_NE(text.find(bid), std::string::npos) << locale << "\n" << text;
        EXPECT_NE(text.find("SPX"), std::string::npos) << locale;
        fs::remove(PathOf("spx.txt"));
    }
}

TEST_F(SeriesQuotesCliTest, NothingSolvedSaysWhy)
{
    // No quote file: the smile's header only, and on standard error why.
    const Outcome none = Run({"smile", PathOf("SPX.ops"), "--csv"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "strike,side,bid_iv,ask_iv\n");
    EXPECT_NE(none.err.find("expiry 1 (2011-02-19): it has no bid or ask"), std::string::npos) << none.err;
    EXPECT_NE(none.err.find(PageQuoteFile().string()), std::string::npos) << none.err;
    EXPECT_NE(none.err.find("--quotes FILE"), std::string::npos) << none.err;

    // A file named that is not there is an error of its own.
    const Outcome missing = Run({"smile", PathOf("SPX.ops"), "--csv", "--quotes", PathOf("gone.txt")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find(PathOf("gone.txt")), std::string::npos) << missing.err;

    // A contract the file does not offer is named, and nothing loaded.
    PlaceQuoteTable(PageQuoteFile());
    const Outcome dumped = Run({"dump", PathOf("SPX.ops")});
    ASSERT_EQ(dumped.status, 0);
    std::string json = dumped.out;
    for (std::size_t at = json.find("\"SPX-E\""); at != std::string::npos; at = json.find("\"SPX-E\""))
        json.replace(at, 7, "\"SPXQ\"");
    WriteFile(PathOf("spxq.json"), json);
    ASSERT_EQ(Run({"save", PathOf("spxq.json"), PathOf("SPXQ.ops")}).status, 0);
    const Outcome other = Run({"smile", PathOf("SPXQ.ops"), "--csv"});
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(other.err.find("does not offer the contract SPXQ"), std::string::npos) << other.err;
    // Each expiry without a volatility says why, and no other file is asked for.
    EXPECT_NE(other.err.find("it has no bid or ask, and the quote file " + PageQuoteFile().string()
                             + " does not offer the contract SPXQ the series saved."),
              std::string::npos)
        << other.err;
    EXPECT_EQ(other.err.find("--quotes FILE"), std::string::npos) << other.err;
}

// A table quoting only the last strike of February: its volatility is
// solved and no reason is given for that expiry; quotes no volatility can
// match there are named as such, not as missing.
TEST_F(SeriesQuotesCliTest, TheLastStrikesQuotesCount)
{
    const std::string header =
        "SPX (S&P 500 INDEX),1290.59,+7.24,\nJan 24 2011 @ 14:03 ET,\n"
        "Calls,Last Sale,Net,Bid,Ask,Vol,Open Int,Puts,Last Sale,Net,Bid,Ask,Vol,Open Int,\n";
    const auto row = [](const char* callQuote, const char* putQuote) {
        return std::string("11 Feb 1475.00 (SPX1119B1475-E),0.0,0.0,") + callQuote
               + ",0,0,11 Feb 1475.00 (SPX1119N1475-E),0.0,0.0," + putQuote + ",0,0,\n";
    };
    const std::string reason = "No volatility is solved for expiry 1 (2011-02-19)";

    WriteFile(PathOf("last.txt"), header + row("0.05,0.10", "183.60,187.40"));
    const Outcome solved = Run({"smile", PathOf("SPX.ops"), "--csv", "--quotes", PathOf("last.txt")});
    EXPECT_EQ(solved.status, 0) << solved.err;
    const auto rows = CsvRows(solved.out);
    ASSERT_GE(rows.size(), 2u) << solved.out;
    EXPECT_EQ(rows[1][0], "1475") << solved.out;
    EXPECT_EQ(solved.err.find(reason), std::string::npos) << solved.err;

    // A put quoted far below what it is worth at no volatility.
    WriteFile(PathOf("last.txt"), header + row("0,0", "100.00,101.00"));
    const Outcome unmatched = Run({"smile", PathOf("SPX.ops"), "--csv", "--quotes", PathOf("last.txt")});
    EXPECT_NE(unmatched.err.find(reason + ": none of its bids and asks can be matched"), std::string::npos)
        << unmatched.err;
}

TEST_F(SeriesQuotesCliTest, QuotesSetAsideAreCountedOnceForEveryExpiry)
{
    // A bid above its ask in February and in March: one message for the
    // load, counting both, however many expiries the series has.
    std::string table = ReadFile(kQuoteTable);
    for (const auto& [row, bad] :
         {std::pair{"(SPX1119B1300-E),13.10,+1.30,12.50,", "(SPX1119B1300-E),13.10,+1.30,14.50,"},
          std::pair{"(SPX1119O1250-E),18.20,-3.60,17.00,", "(SPX1119O1250-E),18.20,-3.60,19.00,"}}) {
        const std::size_t at = table.find(row);
        ASSERT_NE(at, std::string::npos) << row;
        table.replace(at, std::string(row).size(), bad);
    }
    WriteFile(PathOf("bad.dat"), table);
    const Outcome price = Run({"price", PathOf("SPX.ops"), "--quotes", PathOf("bad.dat")});
    ASSERT_EQ(price.status, 0) << price.err;
    std::size_t messages = 0;
    for (std::size_t at = price.err.find("set aside"); at != std::string::npos;
         at = price.err.find("set aside", at + 1))
        ++messages;
    EXPECT_EQ(messages, 1u) << price.err;
    EXPECT_NE(price.err.find("2 quotes of " + PathOf("bad.dat") + " were set aside"), std::string::npos)
        << price.err;
}

}  // namespace kestrava::clitest
