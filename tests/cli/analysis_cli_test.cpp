// kestrava-calc smile and risk, run as a user runs them on a machine without
// a display, on a series made from a real quote table.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "cli/calc_runner.h"

namespace kestrava::clitest {
namespace {

const std::string kSeries = std::string(KESTRAVA_TEST_DATA_DIR) + "/series/spx-2011-01-24.json";

// A bull call spread of February and two puts of March.
const char* const kPosition = R"({"multiplier": 100, "legs": [
  {"expiry": "2011-02-19", "strike": 1300, "side": "C", "quantity": 1, "price": 13.5},
  {"expiry": "2011-02-19", "strike": 1325, "side": "C", "quantity": -1, "price": 4},
  {"expiry": "2011-03-19", "strike": 1250, "side": "P", "quantity": 2, "price": 20}]})";

class AnalysisCliTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        HideDisplay();
    }
};

}  // namespace

TEST_F(AnalysisCliTest, SmilePointsAreThePriceCsvVolatilities)
{
    for (int expiry : {1, 2}) {
        const Outcome smile = Run({"smile", kSeries, "--expiry", std::to_string(expiry), "--csv"});
        ASSERT_EQ(smile.status, 0) << smile.err;
        const Outcome price = Run({"price", kSeries});
        ASSERT_EQ(price.status, 0) << price.err;
        const auto points = CsvRows(smile.out);
        const auto grid = CsvRows(price.out);
        ASSERT_EQ(points[0], (std::vector<std::string>{"strike", "side", "bid_iv", "ask_iv"}));
        const std::string date = expiry == 1 ? "2011-02-19" : "2011-03-19";
        std::size_t next = 1;
        for (const auto& row : grid) {
            if (row[0] != date || (row[6] == "0" && row[7] == "0"))
                continue;
            ASSERT_LT(next, points.size());
            // Same strike, side, bid and ask volatility, in the grid's order.
            EXPECT_EQ(points[next], (std::vector<std::string>{row[1], row[2], row[6], row[7]}));
            ++next;
        }
        EXPECT_EQ(next, points.size());
        EXPECT_GT(points.size(), 30u);
    }
}

TEST_F(AnalysisCliTest, SmilePictureAndUsage)
{
    const Outcome drawn = Run(
        {"smile", kSeries, "--out", PathOf("smile.png"), "--width", "640", "--height", "300"});
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_EQ(PngSize(PathOf("smile.png")), std::make_pair(640, 300));
    EXPECT_NE(drawn.out.find("Points=40\n"), std::string::npos) << drawn.out;
    EXPECT_EQ(Run({"smile", kSeries}).status, 2) << "needs --out or --csv";
    EXPECT_EQ(Run({"smile", kSeries, "--csv", "--expiry", "3"}).status, 2) << "two expiries only";
    EXPECT_EQ(Run({"smile", kSeries, "--csv", "--expiry", "0"}).status, 2);
}

TEST_F(AnalysisCliTest, RiskCsvAndFigures)
{
    WriteFile(PathOf("pos.json"), kPosition);
    const Outcome csv = Run({"risk", kSeries, "--position", PathOf("pos.json"), "--from", "1200", "--to",
                             "1400", "--points", "9", "--csv"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    const auto rows = CsvRows(csv.out);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"price", "pnl_today", "pnl_mid", "pnl_expiry"}));
    EXPECT_EQ(rows[1][0], "1200");
    EXPECT_EQ(rows[9][0], "1400");
    // Above 1325 at the February expiry: the spread pays its 25 points, the
    // March puts keep only a little time value.
    const double expiryAt1400 = std::stod(rows[9][3]);
    EXPECT_GT(expiryAt1400, (25 - 13.5 + 4 - 2 * 20) * 100.0);
    EXPECT_LT(expiryAt1400, (25 - 13.5 + 4 - 2 * 20 + 2 * 2) * 100.0);
    EXPECT_EQ(csv.err.rfind("Breakevens: ", 0), 0u) << csv.err;

    const Outcome figures = Run({"risk", kSeries, "--position", PathOf("pos.json")});
    ASSERT_EQ(figures.status, 0) << figures.err;
    EXPECT_NE(figures.out.find("Leg=2011-03-19,1250,P,2,20\n"), std::string::npos) << figures.out;
    EXPECT_NE(figures.out.find("Cost=4950\n"), std::string::npos) << figures.out;
    EXPECT_NE(figures.out.find("Today=2011-01-24\nMidway=2011-02-06\nExpiry=2011-02-19\n"), std::string::npos)
        << figures.out;
    // Commissions are said when the file holds them, also at nothing.
    EXPECT_EQ(figures.out.find("Commissions="), std::string::npos) << figures.out;
    for (const auto& [fees, said] : {std::pair{"0", "Commissions=0\n"}, {"1.5", "Commissions=6\n"}}) {
        WriteFile(PathOf("fees.json"), std::string(R"({"commissions": {"per_contract": )") + fees + "}, "
                                           + std::string(kPosition).substr(1));
        const Outcome charged = Run({"risk", kSeries, "--position", PathOf("fees.json")});
        ASSERT_EQ(charged.status, 0) << charged.err;
        EXPECT_NE(charged.out.find(said), std::string::npos) << charged.out;
    }

    const Outcome drawn = Run(
        {"risk", kSeries, "--position", PathOf("pos.json"), "--out", PathOf("risk.png")});
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_EQ(PngSize(PathOf("risk.png")), std::make_pair(800, 400));
}

TEST_F(AnalysisCliTest, RiskWithPositionsThatDoNotFit)
{
    WriteFile(PathOf("damaged.json"), R"({"legs": [{"expiry": "2011-02-19"}]})");
    const Outcome damaged = Run({"risk", kSeries, "--position", PathOf("damaged.json"), "--csv"});
    EXPECT_EQ(damaged.status, 2);
    EXPECT_NE(damaged.err.find("cannot be read"), std::string::npos) << damaged.err;
    EXPECT_EQ(Run({"risk", kSeries, "--position", PathOf("missing.json")}).status, 2);
    const Outcome deep = Run(
        {"risk", kSeries, "--position",
         std::string(KESTRAVA_TEST_DATA_DIR) + "/fuzz-regressions/positionfile/nested-100000-deep.json"});
    EXPECT_EQ(deep.status, 2);
    EXPECT_NE(deep.err.find("it is nested deeper than 64 levels"), std::string::npos) << deep.err;

    WriteFile(
        PathOf("stray.json"),
        R"({"legs": [{"expiry": "2011-04-16", "strike": 1300, "side": "C", "quantity": 1, "price": 20}]})");
    const Outcome stray = Run(
        {"risk", kSeries, "--position", PathOf("stray.json"), "--csv", "--points", "3"});
    EXPECT_EQ(stray.status, 1);
    EXPECT_NE(stray.err.find("Leg 1 (2011-04-16 1300 C) is not an option of this series"), std::string::npos)
        << stray.err;
    EXPECT_EQ(CsvRows(stray.out).size(), 4u);

    WriteFile(PathOf("pos.json"), kPosition);
    EXPECT_EQ(
        Run({"risk", kSeries, "--position", PathOf("pos.json"), "--csv", "--out", PathOf("x.png")}).status,
        2);
    EXPECT_EQ(Run({"risk", kSeries, "--position", PathOf("pos.json"), "--from", "0"}).status, 2);
    EXPECT_EQ(
        Run({"risk", kSeries, "--position", PathOf("pos.json"), "--from", "1400", "--to", "1300"}).status, 2);
    EXPECT_EQ(Run({"risk", kSeries}).status, 2);
}

namespace {

}  // namespace

TEST_F(AnalysisCliTest, RiskMarksAtTheMidsAndAtTheModelAsBefore)
{
    // The mids and the model's values the price command prints for the
    // same series: the profit or loss now by hand from either.
    const Outcome price = Run({"price", kSeries});
    ASSERT_EQ(price.status, 0) << price.err;
    std::map<std::string, std::vector<std::string>> grid;
    for (const auto& row : CsvRows(price.out))
        grid[row[0] + " " + row[1] + " " + row[2]] = row;
    auto mid = [&](const char* option) {
        const auto& row = grid.at(option);
        return (std::stod(row[4]) + std::stod(row[5])) / 2;
    };
    auto theo = [&](const char* option) { return std::stod(grid.at(option)[8]); };
    const double atMid = ((mid("2011-02-19 1300 C") - 13.5) - (mid("2011-02-19 1325 C") - 4)
                          + 2 * (mid("2011-03-19 1250 P") - 20))
                         * 100;
    const double atModel = ((theo("2011-02-19 1300 C") - 13.5) - (theo("2011-02-19 1325 C") - 4)
                            + 2 * (theo("2011-03-19 1250 P") - 20))
                           * 100;
    WriteFile(PathOf("pos.json"), kPosition);
    const Outcome marked = Run({"risk", kSeries, "--position", PathOf("pos.json")});
    ASSERT_EQ(marked.status, 0) << marked.err;
    const auto values = Values(marked.out);
    EXPECT_NEAR(std::stod(values.at("PnL")), atMid, 0.005);
    EXPECT_NE(values.count("Rho"), 0u);
    const Outcome model = Run({"risk", kSeries, "--position", PathOf("pos.json"), "--mark", "model"});
    ASSERT_EQ(model.status, 0) << model.err;
    EXPECT_NEAR(std::stod(Values(model.out).at("PnL")), atModel, 0.01);

    // The table's today column meets the figures at today's price; with a
    // date, the CSV's middle column and the table's date column agree.
    const Outcome table = Run(
        {"risk", kSeries, "--position", PathOf("pos.json"), "--table", "--date", "2011-02-01"});
    ASSERT_EQ(table.status, 0) << table.err;
    const auto rows = CsvRows(table.out);
    ASSERT_EQ(rows[0],
              (std::vector<std::string>{"price", "2011-01-24", "2011-02-01", "2011-02-19", "2011-03-19"}));
    std::map<std::string, std::vector<std::string>> byPrice;
    for (const auto& row : rows)
        byPrice[row[0]] = row;
    EXPECT_EQ(byPrice.at("1290.59")[1], values.at("PnL"));
    for (const char* strike : {"1250", "1300", "1325"})
        EXPECT_EQ(byPrice.count(strike), 1u) << strike;
    const Outcome csv = Run({"risk", kSeries, "--position", PathOf("pos.json"), "--csv", "--date",
                             "2011-02-01", "--from", "1250", "--to", "1350", "--points", "5"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    const auto curve = CsvRows(csv.out);
    EXPECT_EQ(curve[0][2], "pnl_date");
    for (const auto& row : curve)
        if (byPrice.count(row[0]) && row[0] != "price") {
            EXPECT_EQ(row[2], byPrice.at(row[0])[2]) << row[0];
        }

    // The export: the legs with their marks, the figures now and on the
    // date, the table; apart by empty lines.
    const Outcome exported = Run(
        {"risk", kSeries, "--position", PathOf("pos.json"), "--export", "--date", "2011-02-01"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    const std::string& text = exported.out;
    const std::size_t figures = text.find("\n\nfigure,now,scenario\n");
    const std::size_t tableAt = text.find("\n\nprice,2011-01-24,2011-02-01,2011-02-19,2011-03-19\n");
    ASSERT_NE(figures, std::string::npos) << text;
    ASSERT_NE(tableAt, std::string::npos) << text;
    const auto legRows = CsvRows(text.substr(0, figures));
    ASSERT_EQ(legRows.size(), 4u);
    EXPECT_EQ(legRows[3][0], "3");
    EXPECT_EQ(legRows[3][8], "mid");
    EXPECT_NE(text.find("\npnl," + values.at("PnL") + ","), std::string::npos) << text;
    EXPECT_EQ(text.substr(tableAt + 2), table.out);

    const Outcome chances = Run({"risk", kSeries, "--position", PathOf("pos.json"), "--probability"});
    ASSERT_EQ(chances.status, 0) << chances.err;
    const auto odds = Values(chances.out);
    for (const char* key : {"pop_expiry", "pop_date", "p_max_profit"}) {
        EXPECT_GE(std::stod(odds.at(key)), 0) << key;
        EXPECT_LE(std::stod(odds.at(key)), 1) << key;
    }
    // One standard deviation of February's price, 26 days out.
    EXPECT_NEAR(std::stod(odds.at("expected_move_1")),
                1290.59 * std::stod(odds.at("vol_assumed")) * std::sqrt(26 / 365.0), 1e-4);
    EXPECT_EQ(odds.at("expiry_assumed"), "2011-02-19");
    EXPECT_NE(odds.count("expected_move_2"), 0u);
}

TEST_F(AnalysisCliTest, RiskScenarioUsage)
{
    WriteFile(PathOf("pos.json"), kPosition);
    const std::string pos = PathOf("pos.json");
    for (const std::vector<std::string>& extra : {std::vector<std::string>{"--date", "2011-01-20"},
                                                  {"--date", "2011-04-01"},
                                                  {"--date", "1.2.2011"},
                                                  {"--date", "2011-02-30"},
                                                  {"--date", "2011-+2-01"},
                                                  {"--vol-shift", "150"},
                                                  {"--vol-points", "x"},
                                                  {"--rate-shift", "-25"},
                                                  {"--skew", "sticky"},
                                                  {"--mark", "last"},
                                                  {"--table", "--csv"},
                                                  {"--probability", "--out", PathOf("x.png")},
                                                  {"--probability-vol", "hv"}}) {
        std::vector<std::string> args{"risk", kSeries, "--position", pos};
        args.insert(args.end(), extra.begin(), extra.end());
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.status, 2) << extra.front() << " " << extra.back();
    }
    WriteFile(PathOf("kind.json"), R"({"legs": [{"kind": "basket", "quantity": 1, "price": 1}]})");
    const Outcome refused = Run({"risk", kSeries, "--position", PathOf("kind.json")});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("kind \"basket\""), std::string::npos) << refused.err;
}

}  // namespace kestrava::clitest

namespace kestrava::clitest {
namespace {

// The cell of each leg line under the header's column name.
std::vector<std::string> LegColumn(const std::vector<std::vector<std::string>>& legs, const std::string& name)
{
    std::vector<std::string> cells;
    const auto at = std::find(legs[0].begin(), legs[0].end(), name);
    if (at == legs[0].end()) {
        ADD_FAILURE() << "no column " << name;
        return cells;
    }
    for (std::size_t r = 1; r < legs.size(); ++r)
        cells.push_back(legs[r][static_cast<std::size_t>(at - legs[0].begin())]);
    return cells;
}

}  // namespace

TEST_F(AnalysisCliTest, ExportedLegsAddUpToTheFiguresNow)
{
    // With shares sold against the calls, under each rule with the shifts
    // moved: quantity times multiplier times each leg's figure, summed, is
    // the figure now, to the nine digits printed.
    WriteFile(PathOf("pos.json"), R"({"multiplier": 100, "legs": [
      {"expiry": "2011-02-19", "strike": 1300, "side": "C", "quantity": 1, "price": 13.5},
      {"expiry": "2011-02-19", "strike": 1325, "side": "C", "quantity": -1, "price": 4},
      {"expiry": "2011-03-19", "strike": 1250, "side": "P", "quantity": 2, "price": 20},
      {"kind": "underlying", "quantity": -30, "price": 1290}]})");
    const std::vector<std::vector<std::string>> scenarios = {
        {},
        {"--skew", "sticky-moneyness", "--vol-shift", "20", "--rate-shift", "1"},
        {"--skew", "flat", "--vol-points", "-3"},
    };
    for (const auto& scenario : scenarios) {
        std::vector<std::string> args = {"risk", kSeries, "--position", PathOf("pos.json"), "--export"};
        args.insert(args.end(), scenario.begin(), scenario.end());
        const Outcome exported = Run(args);
        ASSERT_EQ(exported.status, 0) << exported.err;
        const std::string& text = exported.out;
        const auto legs = CsvRows(text.substr(0, text.find("\n\n")));
        ASSERT_EQ(legs.size(), 5u) << text;
        std::map<std::string, double> now;
        for (const auto& row : CsvRows(text.substr(text.find("\n\nfigure,now,scenario\n") + 2)))
            if (row.size() == 3 && row[0] != "figure" && row[0] != "date")
                now[row[0]] = std::stod(row[1]);
        const std::vector<std::string> quantity = LegColumn(legs, "quantity");
        const std::vector<std::string> kind = LegColumn(legs, "kind");
        for (const char* key : {"delta", "gamma", "decay", "vega", "rho", "theo"}) {
            const std::vector<std::string> cells = LegColumn(legs, key);
            double sum = 0;
            for (std::size_t i = 0; i < cells.size(); ++i)
                sum += std::stod(cells[i]) * std::stod(quantity[i]) * (kind[i] == "option" ? 100 : 1);
            EXPECT_NEAR(sum, now.at(key), 1e-7 * (1 + std::fabs(now.at(key)))) << key << " " << args.size();
        }
        double marks = 0;
        const std::vector<std::string> mark = LegColumn(legs, "mark");
        for (std::size_t i = 0; i < mark.size(); ++i)
            marks += std::stod(mark[i]) * std::stod(quantity[i]) * (kind[i] == "option" ? 100 : 1);
        EXPECT_NEAR(marks, now.at("value"), 1e-6);

        // Every option has the volatility that reprices its mid and the one
        // the scenario prices it at; the shares have neither.
        const std::vector<std::string> iv = LegColumn(legs, "iv"), used = LegColumn(legs, "vol_used");
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_GT(std::stod(iv[i]), 0.05) << i;
            EXPECT_GT(std::stod(used[i]), 0.05) << i;
        }
        EXPECT_EQ(iv[3], "");
        EXPECT_EQ(used[3], "");
        if (scenario.empty()) {
            EXPECT_EQ(iv, used) << "unmoved, each leg is priced at its own volatility";
        }
    }
}

TEST_F(AnalysisCliTest, VolTableAndSettledColumns)
{
    WriteFile(PathOf("pos.json"), kPosition);
    const std::vector<std::string> base = {"risk",   kSeries,     "--position", PathOf("pos.json"),
                                           "--date", "2011-03-01"};
    std::vector<std::string> args = base;
    args.push_back("--vol-table");
    const Outcome byVol = Run(args);
    ASSERT_EQ(byVol.status, 0) << byVol.err;
    args = base;
    args.push_back("--table");
    const Outcome byDate = Run(args);
    ASSERT_EQ(byDate.status, 0) << byDate.err;
    const auto vol = CsvRows(byVol.out), dated = CsvRows(byDate.out);
    ASSERT_EQ(vol[0], (std::vector<std::string>{"price", "-10", "-5", "0", "5", "10"}));
    ASSERT_EQ(dated[0][2], "2011-03-01");
    ASSERT_EQ(vol.size(), dated.size());
    for (std::size_t r = 1; r < vol.size(); ++r) {
        EXPECT_EQ(vol[r][0], dated[r][0]);
        EXPECT_EQ(vol[r][3], dated[r][2]) << "the unmoved column is the date's";
    }
    // After February's expiry its two calls are taken at their intrinsic
    // values; the note names them for the date's column and March's.
    EXPECT_NE(byDate.err.find("Column 2011-03-01: Leg 1 (2011-02-19 1300 C) expired on 2011-02-19"),
              std::string::npos)
        << byDate.err;
    EXPECT_NE(byDate.err.find("Column 2011-03-19: Leg 1"), std::string::npos) << byDate.err;
    EXPECT_EQ(byDate.err.find("Column 2011-02-19"), std::string::npos) << byDate.err;
}

}  // namespace kestrava::clitest
