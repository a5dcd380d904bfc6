// kestrava-calc chain on the real quote tables: the summary against the
// tables' documented sizes, the options' rows against sums taken from the
// file itself, the term structure, the program's default rates, and the
// refusals.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <tuple>

#include "calc_runner.h"
#include "common/dates.h"

namespace kestrava::clitest {
namespace {

const std::string kSpy = std::string(KESTRAVA_TEST_DATA_DIR) + "/quotes-spy-2016-11-25.dat";

std::map<std::string, std::string> KeyValues(const std::string& text)
{
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

class ChainCliTest : public CalcTest {};

TEST_F(ChainCliTest, SummaryCountsTheRootsRowsAndCopies)
{
    const Outcome spy = Run({"chain", kSpy});
    ASSERT_EQ(spy.status, 0) << spy.err;
    const auto values = KeyValues(spy.out);
    EXPECT_EQ(values.at("Underlying"), "SPY");
    EXPECT_EQ(values.at("Price"), "221.52");
    EXPECT_EQ(values.at("Date"), "2016-11-25");
    EXPECT_EQ(values.at("Roots"), "SPY,SPY7");
    EXPECT_EQ(values.at("Expiries"), "27");
    // 36163 rows, 358 of them SPY7: every SPY row is kept or left out.
    EXPECT_EQ(std::stoi(values.at("Strikes")) + std::stoi(values.at("ExchangeCopiesLeftOut")), 36163 - 358);
    EXPECT_EQ(std::stoi(values.at("Options")), 2 * std::stoi(values.at("Strikes")));

    // The index table lists each option once: nothing is left out.
    const Outcome spx = Run(
        {"chain", std::string(KESTRAVA_TEST_DATA_DIR) + "/quotes-spx-2011-01-24.dat", "--root", "SPXW"});
    ASSERT_EQ(spx.status, 0) << spx.err;
    EXPECT_EQ(KeyValues(spx.out).at("Root"), "SPXW");
    EXPECT_EQ(KeyValues(spx.out).at("Strikes"), "34");
    EXPECT_EQ(KeyValues(spx.out).at("ExchangeCopiesLeftOut"), "0");
}

TEST_F(ChainCliTest, CsvHasEveryOptionOnceWithTheFilesVolumes)
{
    const Outcome out = Run({"chain", kSpy, "--csv", "--rate", "0.5", "--yield", "2"});
    ASSERT_EQ(out.status, 0) << out.err;
    const auto rows = CsvRows(out.out);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(out.out.substr(0, out.out.find('\n')),
              "expiry,strike,side,bid,ask,last,volume,open_interest,mid_iv,delta");

    // The file's own sums over the composite SPY rows (codes without a
    // suffix): calls' volume in field 5, puts' open interest in field 13.
    long long callVolume = 0, putOpenInterest = 0, composite = 0;
    std::istringstream file(ReadFile(kSpy));
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const auto fields = CsvRows(line).front();
        if (number <= 3 || fields[0].find("(SPY1") == std::string::npos
            || fields[0].find('-') != std::string::npos)
            continue;
        ++composite;
        callVolume += std::stoll(fields[5]);
        putOpenInterest += std::stoll(fields[13]);
    }
    long long csvCallVolume = 0, csvPutOpenInterest = 0;
    std::tuple<std::string, double, std::string> previous;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const auto& row = rows[r];
        ASSERT_GE(row.size(), 8u) << r;
        (row[2] == "C" ? csvCallVolume : csvPutOpenInterest) += std::stoll(row[row[2] == "C" ? 6 : 7]);
        // Expiries, then strikes, the call before the put.
        const auto key = std::make_tuple(row[0], std::stod(row[1]), row[2]);
        EXPECT_LT(previous, key) << r;
        previous = key;
        // No volatility without a bid and an ask, and none on the day's own expiry.
        const bool solved = row.size() > 8 && !row[8].empty();
        if (row[3] == "0" || row[4] == "0" || row[0] == "2016-11-25") {
            EXPECT_FALSE(solved) << r;
        }
        if (solved) {
            const double delta = std::stod(row[9]);
            EXPECT_TRUE(row[2] == "C" ? delta > 0 && delta < 1 : delta < 0 && delta > -1) << r;
        }
    }
    EXPECT_EQ(static_cast<long long>(rows.size()) - 1, 2 * composite);
    EXPECT_EQ(csvCallVolume, callVolume);
    EXPECT_EQ(csvPutOpenInterest, putOpenInterest);
}

TEST_F(ChainCliTest, SurfaceGivesOneAtTheMoneyVolatilityPerExpiry)
{
    const Outcome out = Run({"chain", kSpy, "--surface", "--model", "binomial", "--rate", "0.5"});
    ASSERT_EQ(out.status, 0) << out.err;
    const auto rows = CsvRows(out.out);
    ASSERT_EQ(rows.size(), 28u);
    EXPECT_EQ(out.out.substr(0, out.out.find('\n')), "expiry,days,forward,atm_iv");
    const TDateTime table = EncodeDate(2016, 11, 25);
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const auto& row = rows[r];
        const CivilDate day{std::stoi(row[0].substr(0, 4)), std::stoi(row[0].substr(5, 2)),
                            std::stoi(row[0].substr(8, 2))};
        const int days = std::stoi(row[1]);
        EXPECT_EQ(days, static_cast<int>(EncodeDate(day.year, day.month, day.day) - table));
        if (days == 0) {
            EXPECT_EQ(row.size(), 3u) << "the day's own expiry has no forward and no volatility";
            continue;
        }
        ASSERT_EQ(row.size(), 4u) << r;
        EXPECT_NEAR(std::stod(row[2]), 221.52 * std::exp(0.005 * days / 365.0), 1e-4);
        EXPECT_GT(std::stod(row[3]), 0.05) << r;
        EXPECT_LT(std::stod(row[3]), 0.25) << r;
    }
}

TEST_F(ChainCliTest, WithoutARateEachExpiryTakesTheProgramsDefaultRates)
{
    // The settings as the interest-rates dialog writes them, where every run
    // of the test looks for them.
    const fs::path config = Home() / ".config";
    fs::create_directories(config / "Tovanek");
    WriteFile(config / "Tovanek" / "Kestrava27.conf",
              "[Rates]\n30DayRate=0.02\n60DayRate=0.03\n90DayRate=0.04\n");
    const Outcome defaults = Run({"chain", kSpy, "--surface"});
    ASSERT_EQ(defaults.status, 0) << defaults.err;
    // 26 days: the 30-day rate; 56 days: two thirds of the way to 3 %.
    for (const auto& [expiry, rate] :
         {std::pair{"2016-12-21", 2.0}, std::pair{"2017-01-20", 2.0 + 26.0 / 30.0}}) {
        const Outcome flat = Run({"chain", kSpy, "--surface", "--rate", std::to_string(rate)});
        for (const Outcome* outcome : {&defaults, &flat}) {
            const auto rows = CsvRows(outcome->out);
            const auto row = std::find_if(rows.begin(), rows.end(),
                                          [&](const auto& r) { return r[0] == expiry; });
            ASSERT_NE(row, rows.end()) << expiry;
            EXPECT_NEAR(std::stod((*row)[2]), 221.52 * std::exp(rate / 100 * std::stoi((*row)[1]) / 365.0),
                        1e-4)
                << expiry;
        }
    }
}

TEST_F(ChainCliTest, RefusalsNameTheirCause)
{
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const std::string html = PathOf("reply.txt");
    WriteFile(html, "<html><body>Service unavailable</body></html>\n");
    const Case cases[] = {
        {{"chain", kSpy, "--root", "QQQ"}, 2, "SPY,SPY7"},
        {{"chain", kSpy, "--model", "trinomial"}, 2, "european, binomial or whaley"},
        {{"chain", kSpy, "--csv", "--surface"}, 2, "do not go together"},
        {{"chain", kSpy, "--rate", "five"}, 2, "--rate"},
        {{"chain", PathOf("missing.txt")}, 2, "missing.txt"},
        {{"chain", html}, 2, "reply.txt"},
        // Only the table's own day: rows, but nothing to solve.
        {{"chain", std::string(KESTRAVA_TEST_DATA_DIR) + "/quotes-spy-2016-11-25-excerpt.dat", "--csv",
          "--rate", "1"},
         1,
         ""},
    };
    for (const Case& c : cases) {
        const Outcome out = Run(c.args);
        EXPECT_EQ(out.status, c.status) << c.args.back() << ": " << out.err;
        EXPECT_NE(out.err.find(c.says), std::string::npos) << out.err;
    }
    EXPECT_EQ(ReadFile(html), "<html><body>Service unavailable</body></html>\n");
}

TEST_F(ChainCliTest, DelayedQuotesCsvOneRootAtATimeWithTheExpiredExpirySaidOnce)
{
    const std::string spx = std::string(KESTRAVA_TEST_DATA_DIR) + "/quotes-spx-2022-06-11.csv";
    const Outcome summary = Run({"chain", spx});
    ASSERT_EQ(summary.status, 0) << summary.err;
    const auto values = KeyValues(summary.out);
    EXPECT_EQ(values.at("Roots"), "SPX,SPXW");
    EXPECT_EQ(values.at("Root"), "SPX");
    EXPECT_EQ(values.at("Price"), "3900.8601");
    EXPECT_EQ(values.at("Date"), "2022-06-11");
    EXPECT_EQ(values.at("Layout"), "delayed-quotes CSV");
    EXPECT_EQ(values.at("ExpiriesLeftOut"), "2022-06-10");
    const std::string said = "1 expiry before the quote date was left out.";
    EXPECT_EQ(summary.err.find(said), summary.err.rfind(said)) << summary.err;
    EXPECT_NE(summary.err.find(said), std::string::npos) << summary.err;

    // The file's own SPXW rows after the quote date, by expiry, strike and side.
    std::map<std::tuple<std::string, double, std::string>, std::pair<std::string, std::string>> quotes;
    long long putVolume = 0;
    std::istringstream file(ReadFile(spx));
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const auto rows = CsvRows(line);
        if (number <= 4 || rows.empty() || rows.front().size() != 22 || rows.front()[1].rfind("SPXW", 0) != 0)
            continue;
        const auto& f = rows.front();
        const std::string code = f[1];
        const std::string expiry = "20" + code.substr(4, 2) + "-" + code.substr(6, 2) + "-"
                                   + code.substr(8, 2);
        if (expiry < "2022-06-11")
            continue;
        quotes[{expiry, std::stod(f[11]), "C"}] = {f[4], f[5]};
        quotes[{expiry, std::stod(f[11]), "P"}] = {f[15], f[16]};
        putVolume += std::stoll(f[17]);
    }
    ASSERT_GT(quotes.size(), 10000u);

    const Outcome csv = Run({"chain", spx, "--root", "SPXW", "--csv", "--rate", "1"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    const auto rows = CsvRows(csv.out);
    ASSERT_EQ(rows.size(), quotes.size() + 1);
    EXPECT_EQ(rows[0].size(), 10u);
    long long csvPutVolume = 0;
    bool anySolved = false;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const auto& row = rows[r];
        const auto found = quotes.find({row[0], std::stod(row[1]), row[2]});
        ASSERT_NE(found, quotes.end()) << row[0] << " " << row[1] << " " << row[2];
        EXPECT_DOUBLE_EQ(std::stod(row[3]), std::stod(found->second.first)) << r;
        EXPECT_DOUBLE_EQ(std::stod(row[4]), std::stod(found->second.second)) << r;
        if (row[2] == "P")
            csvPutVolume += std::stoll(row[6]);
        anySolved = anySolved || (row.size() > 8 && !row[8].empty());
    }
    EXPECT_EQ(csvPutVolume, putVolume);
    EXPECT_TRUE(anySolved);

    // Nothing is left out of a file whose expiries all lie ahead; its one root is the default.
    const Outcome spy = Run({"chain", std::string(KESTRAVA_TEST_DATA_DIR) + "/quotes-spy-2025-09-01.csv"});
    ASSERT_EQ(spy.status, 0) << spy.err;
    EXPECT_EQ(KeyValues(spy.out).at("Root"), "SPY");
    EXPECT_EQ(KeyValues(spy.out).at("Strikes"), "1389");
    EXPECT_EQ(KeyValues(spy.out).at("Expiries"), "14");
    EXPECT_EQ(KeyValues(spy.out).at("ExpiriesLeftOut"), "");
    EXPECT_EQ(spy.err, "");
    EXPECT_EQ(KeyValues(Run({"chain", kSpy}).out).at("Layout"), "quote table");
}

}  // namespace
}  // namespace kestrava::clitest
