// Every option of kestrava-calc risk, chain and price changes what it
// should: one table per command, each row the run with the option beside the
// run without it (or with the default named), and one row per option whose
// value out of its documented range is refused, naming the option. The
// download's options are in options_download_cli_test.cpp.

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/option_rows.h"
#include "common/dates.h"

namespace kestrava::clitest {
namespace {

const std::string kData = KESTRAVA_TEST_DATA_DIR;
const std::string kSeries = kData + "/series/spx-2011-01-24.json";
const std::string kSpxTable = kData + "/quotes-spx-2011-01-24.dat";

// Each value of "Key": VALUE in the series file, in the order of its expiries.
std::vector<double> SeriesField(const std::string& key)
{
    const std::string text = ReadFile(kSeries);
    const std::string tag = "\"" + key + "\": ";
    std::vector<double> values;
    for (std::size_t at = text.find(tag); at != std::string::npos; at = text.find(tag, at + 1)) {
        const std::size_t start = at + tag.size();
        values.push_back(Number(text.substr(start, text.find_first_of(",\n}", start) - start)));
    }
    return values;
}

// The quote table with one option's bid and ask replaced; fails the test
// when the line or its quotes are not where the table has them.
std::string TableWithQuotes(const std::string& code, const std::string& quotes, const std::string& replaced)
{
    std::string text = ReadFile(kSpxTable);
    const std::size_t line = text.find("(" + code + ")");
    const std::size_t at = line == std::string::npos ? line : text.find(quotes, line);
    if (at == std::string::npos || at > text.find('\n', line)) {
        ADD_FAILURE() << code << " is not quoted " << quotes;
        return text;
    }
    return text.replace(at, quotes.size(), replaced);
}

// ---- risk

struct Leg {
    const char* expiry;
    double strike;
    const char* side;
    int quantity;
    double price;
};
constexpr double kMultiplier = 100;
// Two long calls: every option value rises with volatility and with the rate.
const std::vector<Leg> kCalls = {{"2011-02-19", 1300, "C", 1, 13}, {"2011-03-19", 1350, "C", 1, 10}};
const std::vector<Leg> kOneCall = {{"2011-02-19", 1300, "C", 1, 13}};

std::string PositionJson(const std::vector<Leg>& legs)
{
    std::string text = "{\"multiplier\": " + Text(kMultiplier) + ", \"legs\": [";
    for (const Leg& leg : legs)
        text += std::string(&leg == legs.data() ? "" : ", ") + "{\"expiry\": \"" + leg.expiry
                + "\", \"strike\": " + Text(leg.strike) + ", \"side\": \"" + leg.side + "\", \"quantity\": "
                + std::to_string(leg.quantity) + ", \"price\": " + Text(leg.price) + "}";
    return text + "]}";
}

double Cost(const std::vector<Leg>& legs)
{
    double cost = 0;
    for (const Leg& leg : legs)
        cost += leg.quantity * leg.price * kMultiplier;
    return cost;
}

// The option legs' volatilities of an export, in the legs' order.
std::vector<double> LegVolatilities(const Outcome& exported)
{
    std::vector<double> vols;
    for (const std::string& cell : Column(exported.out.substr(0, exported.out.find("\n\n")), "volatility"))
        vols.push_back(Number(cell));
    return vols;
}

TEST_F(OptionsCliTest, EveryRiskOptionChangesWhatItShould)
{
    const std::string calls = PathOf("calls.json"), oneCall = PathOf("call.json");
    WriteFile(calls, PositionJson(kCalls));
    WriteFile(oneCall, PositionJson(kOneCall));
    const auto risk = [&](const Args& extra) {
        Args args = Join({"risk", kSeries}, extra);
        return std::find(extra.begin(), extra.end(), "--position") == extra.end()
                   ? Join(args, {"--position", calls})
                   : args;
    };
    const double underlying = SeriesField("Underlying").front();
    const double flatVol = SeriesField("Sigma").front();
    // The series' valuation date and its first expiry, where the legs' first is.
    const TDateTime today = SeriesField("TodayDate").front();
    const TDateTime firstExpiry = SeriesField("ExpiryDate").front();
    const TDateTime lastExpiry = SeriesField("ExpiryDate").back();
    ASSERT_EQ(IsoDate(firstExpiry), kCalls[0].expiry);
    ASSERT_EQ(IsoDate(lastExpiry), kCalls[1].expiry);
    const std::string midway = IsoDate(today + (firstExpiry - today) / 2);  // whole days
    // The February call of the position quoted ten points higher.
    WriteFile(PathOf("higher.dat"), TableWithQuotes("SPX1119B1300-E", ",12.50,13.50,", ",22.50,23.50,"));
    const double higherMid = 10;

    const auto prices = [](const Outcome& o) {
        std::vector<double> values;
        for (const std::string& cell : Column(o.out, "price"))
            values.push_back(Number(cell));
        return values;
    };
    const auto sameColumn = [](const char* dated, const char* compared) {
        return [=](const Outcome& without, const Outcome& with) {
            EXPECT_EQ(Column(with.out, "pnl_date"), Column(without.out, compared)) << dated;
        };
    };
    const auto scenarioRises = [](const Outcome& without, const Outcome& with) {
        EXPECT_GT(Value(with, "ScenarioValue"), Value(without, "ScenarioValue"));
        EXPECT_EQ(Value(with, "Value"), Value(without, "Value")) << "the value now stays the market's";
    };
    const auto pictureOnly = [](const char* a, const char* b) {
        return [=](const Outcome& without, const Outcome& with) {
            EXPECT_NE(ReadFile(a), ReadFile(b)) << "the labels follow the locale options";
            EXPECT_EQ(with.out.substr(with.out.find('\n')), without.out.substr(without.out.find('\n')));
        };
    };
    const std::string dotPng = PathOf("dot.png"), commaPng = PathOf("comma.png");
    const std::string isoPng = PathOf("iso.png"), usPng = PathOf("us.png");

    const std::vector<Effect> rows = {
        Row("--position: the legs and the cost are the file's", {}, {"--position", oneCall},
            [&](const Outcome& without, const Outcome& with) {
                EXPECT_EQ(Count(without.out, "Leg="), kCalls.size());
                EXPECT_EQ(Count(with.out, "Leg="), kOneCall.size());
                EXPECT_NEAR(Value(without, "Cost"), Cost(kCalls), 1e-9);
                EXPECT_NEAR(Value(with, "Cost"), Cost(kOneCall), 1e-9);
            }),
        Row("--from and --to bound the prices", {"--csv"}, {"--csv", "--from", "1201", "--to", "1401"},
            [&](const Outcome& without, const Outcome& with) {
                const auto bounded = prices(with);
                ASSERT_FALSE(bounded.empty());
                EXPECT_EQ(bounded.front(), 1201);
                EXPECT_EQ(bounded.back(), 1401);
                EXPECT_TRUE(std::is_sorted(bounded.begin(), bounded.end()));
                EXPECT_NE(prices(without).front(), 1201);
            }),
        // Neither strike (1300, 1350) is a price of the grid from 1201 to 1401.
        Row("--points N gives N prices and the legs' strikes", {"--csv", "--from", "1201", "--to", "1401"},
            {"--csv", "--from", "1201", "--to", "1401", "--points", "5"},
            [&](const Outcome& without, const Outcome& with) {
                const auto five = prices(with);
                EXPECT_EQ(five.size(), 5 + kCalls.size());
                EXPECT_EQ(prices(without).size(), 101 + kCalls.size());
                for (const Leg& leg : kCalls)
                    EXPECT_EQ(std::count(five.begin(), five.end(), leg.strike), 1) << leg.strike;
            }),
        Row("--points 101 is the default", {"--csv"}, {"--csv", "--points", "101"}, ExpectSameOutput),
        Row("--csv prints the curves, the breakevens on standard error", {}, {"--csv"},
            [&](const Outcome& without, const Outcome& with) {
                EXPECT_EQ(with.out.substr(0, with.out.find('\n')), "price,pnl_today,pnl_mid,pnl_expiry");
                EXPECT_EQ(with.err, "Breakevens: " + Values(without.out)["Breakevens"] + "\n");
            }),
        Row("--table: today, each leg's expiry; a row per strike and today's price", {}, {"--table"},
            [&](const Outcome& without, const Outcome& with) {
                const auto rows = CsvRows(with.out);
                ASSERT_GT(rows.size(), 1u);
                EXPECT_EQ(rows[0], (std::vector<std::string>{"price", IsoDate(today), kCalls[0].expiry,
                                                             kCalls[1].expiry}));
                std::map<double, std::vector<std::string>> byPrice;
                for (std::size_t r = 1; r < rows.size(); ++r)
                    byPrice[Number(rows[r][0])] = rows[r];
                ASSERT_EQ(byPrice.count(underlying), 1u);
                EXPECT_EQ(byPrice[underlying][1], Values(without.out)["PnL"]);
                for (const Leg& leg : kCalls)
                    EXPECT_EQ(byPrice.count(leg.strike), 1u) << leg.strike;
            }),
        Row("--probability prints the chances at the first expiry and the midway date", {}, {"--probability"},
            [&](const Outcome&, const Outcome& with) {
                auto odds = Values(with.out);
                EXPECT_EQ(odds["expiry_assumed"], kCalls[0].expiry);
                EXPECT_EQ(odds["date_assumed"], midway);
                EXPECT_EQ(odds["max_profit"], "unbounded") << "long calls";
                for (const char* key : {"pop_expiry", "pop_date", "p_max_profit"})
                    EXPECT_TRUE(Number(odds[key]) >= 0 && Number(odds[key]) <= 1) << key;
            }),
        Row("--export prints the legs, the figures and the table", {}, {"--export"},
            [&](const Outcome& without, const Outcome& with) {
                EXPECT_EQ(LegVolatilities(with).size(), kCalls.size());
                EXPECT_NE(with.out.find("\npnl," + Values(without.out)["PnL"] + ","), std::string::npos)
                    << with.out;
                EXPECT_NE(with.out.find("\n\nprice," + IsoDate(today) + "," + midway + ","),
                          std::string::npos);
            }),
        Row("--out draws 800 x 400 and prints the figures", {}, {"--out", PathOf("plain.png")},
            [&](const Outcome& without, const Outcome& with) {
                EXPECT_EQ(with.out, "Picture=" + PathOf("plain.png") + "\n" + without.out);
                EXPECT_EQ(PngSize(PathOf("plain.png")), std::make_pair(800, 400));
            }),
        Row("--width and --height size the picture", {"--out", PathOf("plain.png")},
            {"--out", PathOf("sized.png"), "--width", "321", "--height", "123"},
            [&](const Outcome&, const Outcome&) {
                EXPECT_EQ(PngSize(PathOf("sized.png")), std::make_pair(321, 123));
            }),
        Row("--date today is the today curve", {"--csv"}, {"--csv", "--date", IsoDate(today)},
            sameColumn("today", "pnl_today")),
        Row("--date midway is the midway curve", {"--csv"}, {"--csv", "--date", midway},
            sameColumn("mid", "pnl_mid")),
        Row("--date of the first expiry is the expiry curve", {"--csv"},
            {"--csv", "--date", kCalls[0].expiry}, sameColumn("expiry", "pnl_expiry")),
        Row("--date moves the figures' date", {}, {"--date", "2011-02-10"},
            [&](const Outcome& without, const Outcome& with) {
                EXPECT_EQ(Values(without.out)["Midway"], midway);
                EXPECT_EQ(Values(with.out)["Date"], "2011-02-10");
                EXPECT_LT(Value(with, "ScenarioValue"), Value(without, "Value"))
                    << "long options lose time value";
            }),
        Row("--vol-shift raises long options", {"--vol-shift", "0"}, {"--vol-shift", "20"}, scenarioRises),
        Row("--vol-points raises long options", {"--vol-points", "0"}, {"--vol-points", "5"}, scenarioRises),
        Row("--vol-shift is a percentage of the volatility, --vol-points are points",
            {"--position", oneCall, "--export"}, {"--position", oneCall, "--vol-shift", "50"},
            [&](const Outcome& exported, const Outcome& shifted) {
                const std::vector<double> vol = LegVolatilities(exported);
                ASSERT_EQ(vol.size(), 1u);
                const Outcome& points = Calc(
                    risk({"--position", oneCall, "--vol-points", Text(50 * vol[0])}));
                EXPECT_NEAR(Value(points, "ScenarioValue"), Value(shifted, "ScenarioValue"), 0.01);
                const Outcome& asPoints = Calc(risk({"--position", oneCall, "--vol-points", "50"}));
                EXPECT_GT(Value(asPoints, "ScenarioValue"), Value(shifted, "ScenarioValue") + 100);
            }),
        Row("--rate-shift raises calls", {"--rate-shift", "0"}, {"--rate-shift", "5"}, scenarioRises),
        Row("--rate-shift takes no rate below 0", {"--rate-shift", "-5"}, {"--rate-shift", "-0.2"},
            [&](const Outcome& without, const Outcome& with) {
                for (double rate : SeriesField("Rate"))
                    ASSERT_LE(rate, 0.002) << "each shift takes every rate of the series to 0 or below";
                ExpectSameOutput(without, with);
            }),
        Row("--mark model changes the value now", {}, {"--mark", "model"},
            [&](const Outcome& without, const Outcome& with) {
                EXPECT_NE(Value(with, "PnL"), Value(without, "PnL"));
                EXPECT_EQ(Value(with, "Cost"), Value(without, "Cost"));
            }),
        Row("--mark mid is the default", {}, {"--mark", "mid"}, ExpectSameOutput),
        Row("--skew sticky-strike is the default", {"--csv"}, {"--csv", "--skew", "sticky-strike"},
            ExpectSameOutput),
        Row("--skew sticky-moneyness moves the curves but not today's value at today's price", {"--table"},
            {"--table", "--skew", "sticky-moneyness"},
            [&](const Outcome& without, const Outcome& with) {
                const auto before = CsvRows(without.out), after = CsvRows(with.out);
                ASSERT_EQ(before.size(), after.size());
                int moved = 0;
                for (std::size_t r = 1; r < before.size(); ++r) {
                    if (Number(before[r][0]) == underlying) {
                        EXPECT_EQ(after[r][1], before[r][1]);
                    }
                    moved += after[r][1] != before[r][1];
                }
                EXPECT_GT(moved, 0);
            }),
        Row("--skew flat values every leg at the page's higher volatility", {"--export"},
            {"--csv", "--skew", "flat"},
            [&](const Outcome& exported, const Outcome& flat) {
                for (double vol : LegVolatilities(exported))
                    ASSERT_LT(vol, flatVol);
                const auto sticky = Column(Calc(risk({"--csv"})).out, "pnl_today");
                const auto higher = Column(flat.out, "pnl_today");
                ASSERT_EQ(sticky.size(), higher.size());
                for (std::size_t i = 0; i < sticky.size(); ++i)
                    EXPECT_GT(Number(higher[i]), Number(sticky[i])) << i;
            }),
        Row("--skew bid values below --skew ask", {"--mark", "model", "--skew", "bid"},
            {"--mark", "model", "--skew", "ask"},
            [&](const Outcome& bid, const Outcome& ask) {
                EXPECT_LT(Value(bid, "Value"), Value(ask, "Value"));
            }),
        Row("--probability-vol flat assumes the flat volatility", {"--probability"},
            {"--probability", "--probability-vol", "flat"},
            [&](const Outcome& without, const Outcome& with) {
                EXPECT_NEAR(Value(with, "vol_assumed"), flatVol, 1e-6);
                EXPECT_GT(std::fabs(Value(without, "vol_assumed") - flatVol), 1e-3);
            }),
        Row("--probability-vol atm is the default", {"--probability"},
            {"--probability", "--probability-vol", "atm"}, ExpectSameOutput),
        Row("--quotes loads the file's quotes", {}, {"--quotes", PathOf("higher.dat")},
            [&](const Outcome& without, const Outcome& with) {
                EXPECT_NEAR(Value(with, "Value") - Value(without, "Value"),
                            higherMid * kCalls[0].quantity * kMultiplier, 1e-6);
            }),
        Row("--decimal-separator changes only the picture", {"--out", dotPng, "--decimal-separator", "."},
            {"--out", commaPng, "--decimal-separator", ","}, pictureOnly(dotPng.c_str(), commaPng.c_str())),
        Row("--date-format changes only the picture", {"--out", isoPng, "--date-format", "yyyy-MM-dd"},
            {"--out", usPng, "--date-format", "M/d/yyyy"}, pictureOnly(isoPng.c_str(), usPng.c_str())),
    };
    CheckEffects(risk, rows);

    const std::string png = PathOf("edge.png");
    CheckRefusals(risk,
                  {
                      {{"--position", PathOf("none.json")}, "none.json", {}},
                      {{"--csv", "--from", "0"}, "--from", {"--csv", "--from", "0.5"}},
                      {{"--csv", "--to", "-5"}, "--to", {"--csv", "--to", "1500"}},
                      {{"--csv", "--points", "1"}, "--points", {"--csv", "--points", "2"}},
                      // No strike of the legs lies between 1000 and 1100.
                      {{"--csv", "--points", "10002"},
                       "--points",
                       {"--csv", "--from", "1000", "--to", "1100", "--points", "10001"}},
                      {{"--out", png, "--width", "0"}, "--width", {"--out", png, "--width", "1"}},
                      {{"--out", png, "--width", "10001"}, "--width", {"--out", png, "--width", "10000"}},
                      {{"--out", png, "--height", "0"}, "--height", {"--out", png, "--height", "1"}},
                      {{"--out", png, "--height", "10001"}, "--height", {"--out", png, "--height", "10000"}},
                      {{"--date", IsoDate(today - 1)}, "--date", {"--date", IsoDate(today)}},
                      {{"--date", IsoDate(lastExpiry + 1)}, "--date", {"--date", IsoDate(lastExpiry)}},
                      {{"--date", "2011-2-1"}, "--date", {}},
                      {{"--vol-shift", "-51"}, "--vol-shift", {"--vol-shift", "-50"}},
                      {{"--vol-shift", "101"}, "--vol-shift", {"--vol-shift", "100"}},
                      {{"--vol-points", "-101"}, "--vol-points", {"--vol-points", "-100"}},
                      {{"--vol-points", "101"}, "--vol-points", {"--vol-points", "100"}},
                      {{"--rate-shift", "-21"}, "--rate-shift", {"--rate-shift", "-20"}},
                      {{"--rate-shift", "21"}, "--rate-shift", {"--rate-shift", "20"}},
                      {{"--skew", "sticky"}, "--skew", {}},
                      {{"--mark", "last"}, "--mark", {}},
                      {{"--probability-vol", "hv"}, "--probability-vol", {}},
                      {{"--quotes", PathOf("none.dat")}, "none.dat", {}},
                      {{"--csv", "--table"}, "--csv", {}},
                      {{"--decimal-separator", "5"}, "--decimal-separator", {}},
                      {{"--date-format", "yyyy"}, "--date-format", {}},
                  });
    // Without a position there is nothing to value.
    const Outcome& bare = Calc({"risk", kSeries});
    EXPECT_EQ(bare.status, 2);
    EXPECT_NE(bare.err.find("--position"), std::string::npos) << bare.err;
}

// ---- chain

// The strikes of a root in a quote table: its lines whose call code is the
// root followed by the expiry's digits.
int StrikesOfRoot(const std::string& table, const std::string& root)
{
    int strikes = 0;
    std::istringstream lines(ReadFile(table));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t open = line.find('(');
        const std::size_t digit = line.find_first_of("0123456789", open);
        strikes += open != std::string::npos && digit != std::string::npos && open < line.find(',')
                   && line.substr(open + 1, digit - open - 1) == root;
    }
    return strikes;
}

// The solved mid volatilities of a chain CSV by expiry, strike and side.
std::map<std::tuple<std::string, std::string, std::string>, double> MidVols(const std::string& csv)
{
    std::map<std::tuple<std::string, std::string, std::string>, double> vols;
    const auto rows = CsvRows(csv);
    for (std::size_t r = 1; r < rows.size(); ++r)
        if (rows[r].size() > 8 && !rows[r][8].empty())
            vols[{rows[r][0], rows[r][1], rows[r][2]}] = Number(rows[r][8]);
    return vols;
}

// How the volatilities of one side moved from one run to the other.
struct VolMoves {
    int compared = 0, higher = 0, lower = 0;
    double largestRise = 0, largestFall = 0;
};
VolMoves Moves(const Outcome& from, const Outcome& to, const std::string& side, double tolerance = 1e-7)
{
    VolMoves moves;
    const auto before = MidVols(from.out), after = MidVols(to.out);
    for (const auto& [option, vol] : before) {
        const auto found = after.find(option);
        if (std::get<2>(option) != side || found == after.end())
            continue;
        ++moves.compared;
        moves.higher += found->second > vol + tolerance;
        moves.lower += found->second < vol - tolerance;
        moves.largestRise = std::max(moves.largestRise, found->second - vol);
        moves.largestFall = std::max(moves.largestFall, vol - found->second);
    }
    return moves;
}

// The forward of each expiry of a term structure, by its days.
std::map<int, double> Forwards(const Outcome& surface)
{
    std::map<int, double> forwards;
    const auto rows = CsvRows(surface.out);
    for (std::size_t r = 1; r < rows.size(); ++r)
        if (rows[r].size() > 2)
            forwards[static_cast<int>(Number(rows[r][1]))] = Number(rows[r][2]);
    return forwards;
}

TEST_F(OptionsCliTest, EveryChainOptionChangesWhatItShould)
{
    // The program's rates, as the interest-rates dialog writes them: 1 % at
    // every term.
    fs::create_directories(Home() / ".config" / "Tovanek");
    WriteFile(Home() / ".config" / "Tovanek" / "Kestrava27.conf",
              "[Rates]\n30DayRate=0.01\n60DayRate=0.01\n90DayRate=0.01\n");
    // The forward from the typed yield: the rate and the yield move it.
    const auto chain = [&](const Args& extra) {
        return Join({"chain", kSpxTable, "--forward", "yield"}, extra);
    };
    // The underlying's last price, the second field of the table's first line.
    const std::string first = ReadFile(kSpxTable).substr(0, 80);
    const double spot = Number(CsvRows(first).front().at(1));
    const auto forwardsAt = [=](double rate, double yield) {
        return [=](const Outcome&, const Outcome& with) {
            const auto forwards = Forwards(with);
            EXPECT_GT(forwards.size(), 5u);
            for (const auto& [days, forward] : forwards)
                EXPECT_NEAR(forward, spot * std::exp((rate - yield) * days / 365.0), 1e-6 * spot) << days;
        };
    };

    const std::vector<Effect> rows = {
        Row("--root picks that root's options", {}, {"--root", "SPXW"},
            [&](const Outcome& without, const Outcome& with) {
                EXPECT_EQ(Values(with.out)["Root"], "SPXW");
                EXPECT_EQ(Value(with, "StrikeRows"), StrikesOfRoot(kSpxTable, "SPXW"));
                EXPECT_EQ(Values(without.out)["Root"], "SPX");
                EXPECT_EQ(Value(without, "StrikeRows"), StrikesOfRoot(kSpxTable, "SPX"));
            }),
        Row("--root picks that root's rows", {"--csv"}, {"--csv", "--root", "SPXW"},
            [&](const Outcome& without, const Outcome& with) {
                EXPECT_EQ(CsvRows(with.out).size() - 1, 2u * StrikesOfRoot(kSpxTable, "SPXW"));
                EXPECT_EQ(CsvRows(without.out).size() - 1, 2u * StrikesOfRoot(kSpxTable, "SPX"));
            }),
        Row("--csv: a row per option of the summary", {}, {"--csv"},
            [&](const Outcome& without, const Outcome& with) {
                EXPECT_EQ(with.out.substr(0, with.out.find('\n')),
                          "expiry,strike,side,bid,ask,last,volume,open_interest,mid_iv,delta");
                EXPECT_EQ(CsvRows(with.out).size() - 1, Value(without, "Options"));
            }),
        Row("--surface: a row per expiry of the summary", {}, {"--surface"},
            [&](const Outcome& without, const Outcome& with) {
                EXPECT_EQ(with.out.substr(0, with.out.find('\n')),
                          "expiry,days,forward,atm_iv,forward_source,implied_yield");
                EXPECT_EQ(CsvRows(with.out).size() - 1, Value(without, "Expiries"));
            }),
        Row("--model european is the default", {"--csv"}, {"--csv", "--model", "european"}, ExpectSameOutput),
        // Without a dividend yield an early exercise pays for a put only.
        Row("--model whaley: the calls' volatilities stay, the puts' fall", {"--csv"},
            {"--csv", "--model", "whaley"},
            [&](const Outcome& without, const Outcome& with) {
                const VolMoves calls = Moves(without, with, "C", 1e-5),
                               puts = Moves(without, with, "P", 1e-6);
                EXPECT_GT(calls.compared, 100);
                EXPECT_EQ(calls.higher + calls.lower, 0);
                EXPECT_GT(puts.compared, 100);
                EXPECT_EQ(puts.higher, 0);
                EXPECT_GT(puts.lower, puts.compared / 2);
            }),
        // The tree's own error moves a volatility either way by far less
        // than the early exercise of a put lowers it.
        Row("--model binomial: the same quotes, the puts' volatilities lower", {"--csv"},
            {"--csv", "--model", "binomial"},
            [&](const Outcome& without, const Outcome& with) {
                const auto before = CsvRows(without.out), after = CsvRows(with.out);
                ASSERT_EQ(before.size(), after.size());
                for (std::size_t r = 1; r < before.size(); ++r)
                    EXPECT_EQ(std::vector<std::string>(after[r].begin(), after[r].begin() + 8),
                              std::vector<std::string>(before[r].begin(), before[r].begin() + 8));
                const VolMoves puts = Moves(without, with, "P");
                EXPECT_GT(puts.largestFall, 5 * puts.largestRise);
                EXPECT_NE(with.out, Calc(chain({"--csv", "--model", "whaley"})).out);
            }),
        Row("--steps changes the tree", {"--csv", "--model", "binomial"},
            {"--csv", "--model", "binomial", "--steps", "50"},
            [&](const Outcome& without, const Outcome& with) {
                EXPECT_GT(Moves(without, with, "P").higher + Moves(without, with, "P").lower, 0);
            }),
        Row("--steps 200 is the default", {"--csv", "--model", "binomial"},
            {"--csv", "--model", "binomial", "--steps", "200"}, ExpectSameOutput),
        Row("--steps is the tree's only", {"--csv"}, {"--csv", "--steps", "50"}, ExpectSameOutput),
        Row("--rate above the program's: calls' volatilities lower, puts' higher", {"--csv"},
            {"--csv", "--rate", "5"},
            [&](const Outcome& without, const Outcome& with) {
                const VolMoves calls = Moves(without, with, "C"), puts = Moves(without, with, "P");
                EXPECT_GT(calls.compared, 100);
                EXPECT_EQ(calls.lower, calls.compared);
                EXPECT_GT(puts.compared, 100);
                EXPECT_EQ(puts.higher, puts.compared);
            }),
        Row("the program's rates without --rate", {"--surface", "--rate", "5"}, {"--surface"},
            forwardsAt(0.01, 0)),
        Row("--rate sets the forward", {"--surface"}, {"--surface", "--rate", "5"}, forwardsAt(0.05, 0)),
        Row("--yield: calls' volatilities higher, puts' lower", {"--csv", "--rate", "1"},
            {"--csv", "--rate", "1", "--yield", "3"},
            [&](const Outcome& without, const Outcome& with) {
                const VolMoves calls = Moves(without, with, "C"), puts = Moves(without, with, "P");
                EXPECT_GT(calls.compared, 100);
                EXPECT_EQ(calls.higher, calls.compared);
                EXPECT_GT(puts.compared, 100);
                EXPECT_EQ(puts.lower, puts.compared);
            }),
        Row("--yield lowers the forward", {"--surface", "--rate", "1"},
            {"--surface", "--rate", "1", "--yield", "3"}, forwardsAt(0.01, 0.03)),
    };
    CheckEffects(chain, rows);

    CheckRefusals(chain, {
                             {{"--root", "QQQ"}, "\"QQQ\"", {"--root", "SPXPM"}},
                             {{"--model", "trinomial"}, "--model", {}},
                             {{"--steps", "24"}, "--steps", {"--steps", "25"}},
                             {{"--steps", "401"}, "--steps", {"--steps", "400"}},
                             {{"--rate", "-11"}, "--rate", {"--rate", "-10"}},
                             {{"--rate", "101"}, "--rate", {"--rate", "100"}},
                             {{"--yield", "-11"}, "--yield", {"--yield", "-10"}},
                             {{"--yield", "101"}, "--yield", {"--yield", "100"}},
                             {{"--csv", "--surface"}, "--csv", {}},
                         });
}

// ---- price

TEST_F(OptionsCliTest, EveryPriceOptionChangesWhatItShould)
{
    const auto price = [&](const Args& extra) { return Join({"price", kSeries}, extra); };
    // The columns of the grid: 3 its volatility, 4 and 5 the bid and ask,
    // 6 and 7 their volatilities, 8 the value.
    const auto pricedAtQuote = [](std::size_t quote) {
        return [=](const Outcome& flat, const Outcome& priced) {
            const auto before = CsvRows(flat.out), after = CsvRows(priced.out);
            ASSERT_EQ(before.size(), after.size());
            int solved = 0;
            for (std::size_t r = 1; r < before.size(); ++r) {
                if (Number(before[r][quote + 2]) <= 0)
                    continue;
                ++solved;
                EXPECT_EQ(after[r][3], before[r][quote + 2]) << r;
                EXPECT_NEAR(Number(after[r][8]), Number(before[r][quote]), 0.01) << r;
            }
            EXPECT_GT(solved, 40);
        };
    };
    const std::string underlying = "Ulying " + Text(SeriesField("Underlying").front());
    const auto comma = [](std::string text) {
        std::replace(text.begin(), text.end(), '.', ',');
        return text;
    };
    // The series is of 24 January 2011.
    const auto tableOnly = [](const std::string& withText, const std::string& withoutText) {
        return [=](const Outcome& without, const Outcome& with) {
            EXPECT_NE(with.out.find(withText), std::string::npos) << with.out.substr(0, 300);
            EXPECT_NE(without.out.find(withoutText), std::string::npos) << without.out.substr(0, 300);
        };
    };
    WriteFile(PathOf("higher.dat"), TableWithQuotes("SPX1119B1300-E", ",12.50,13.50,", ",22.50,23.50,"));

    const std::vector<Effect> rows = {
        Row("--skew flat is the default", {}, {"--skew", "flat"}, ExpectSameOutput),
        Row("--skew bid prices each option at its bid's volatility", {}, {"--skew", "bid"}, pricedAtQuote(4)),
        Row("--skew ask prices each option at its ask's volatility", {}, {"--skew", "ask"}, pricedAtQuote(5)),
        Row("--skew bid values below --skew ask", {"--skew", "bid"}, {"--skew", "ask"},
            [](const Outcome& bid, const Outcome& ask) {
                const auto below = CsvRows(bid.out), above = CsvRows(ask.out);
                ASSERT_EQ(below.size(), above.size());
                int compared = 0;
                for (std::size_t r = 1; r < below.size(); ++r)
                    if (Number(below[r][3]) > 0 && Number(above[r][3]) > 0) {
                        ++compared;
                        EXPECT_LT(Number(below[r][8]), Number(above[r][8])) << r;
                    }
                EXPECT_GT(compared, 40);
            }),
        Row("--format csv is the default", {}, {"--format", "csv"}, ExpectSameOutput),
        Row("--format table: a block per expiry, a line per option", {},
            {"--format", "table", "--decimal-separator", "."},
            [&](const Outcome& csv, const Outcome& table) {
                std::set<std::string> expiries;
                const auto rows = CsvRows(csv.out);
                for (std::size_t r = 1; r < rows.size(); ++r)
                    expiries.insert(rows[r][0]);
                EXPECT_EQ(Count(table.out, "Today: "), expiries.size());
                EXPECT_EQ(Count(table.out, "\n C ") + Count(table.out, "\n P "), rows.size() - 1);
                EXPECT_EQ(Count(table.out, underlying + " "), expiries.size()) << underlying;
            }),
        Row("--decimal-separator: the table's decimals", {"--format", "table", "--decimal-separator", "."},
            {"--format", "table", "--decimal-separator", ","}, tableOnly(comma(underlying), underlying)),
        Row("--date-format: the table's dates", {"--format", "table", "--date-format", "M/d/yyyy"},
            {"--format", "table", "--date-format", "dd.MM.yyyy"},
            tableOnly("Today: 24.01.2011", "Today: 1/24/2011")),
        Row("--decimal-separator leaves the CSV", {"--decimal-separator", "."}, {"--decimal-separator", ","},
            ExpectSameOutput),
        Row("--date-format leaves the CSV", {"--date-format", "M/d/yyyy"}, {"--date-format", "dd.MM.yyyy"},
            ExpectSameOutput),
        Row("--quotes loads the file's quotes", {}, {"--quotes", PathOf("higher.dat")},
            [](const Outcome& without, const Outcome& with) {
                const auto before = CsvRows(without.out), after = CsvRows(with.out);
                ASSERT_EQ(before.size(), after.size());
                int changed = 0;
                for (std::size_t r = 1; r < before.size(); ++r) {
                    const bool quoted = before[r][0] == "2011-02-19" && before[r][1] == "1300"
                                        && before[r][2] == "C";
                    const auto quotes = [](const std::vector<std::string>& row) {
                        return std::make_pair(Number(row[4]), Number(row[5]));
                    };
                    if (!quoted) {
                        EXPECT_EQ(quotes(after[r]), quotes(before[r])) << r;
                        continue;
                    }
                    ++changed;
                    EXPECT_EQ(quotes(after[r]), std::make_pair(22.5, 23.5));
                    EXPECT_GT(Number(after[r][6]), Number(before[r][6]))
                        << "a higher bid, a higher volatility";
                }
                EXPECT_EQ(changed, 1);
            }),
    };
    CheckEffects(price, rows);

    CheckRefusals(price, {
                             {{"--skew", "mid"}, "--skew", {}},
                             {{"--format", "html"}, "--format", {}},
                             {{"--quotes", PathOf("none.dat")}, "none.dat", {}},
                             {{"--decimal-separator", "5"}, "--decimal-separator", {}},
                             {{"--date-format", "yyyy"}, "--date-format", {}},
                         });
}

}  // namespace
}  // namespace kestrava::clitest
