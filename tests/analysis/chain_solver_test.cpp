// The chain's pieces on made-up inputs where the answer is known: the
// reasons a price has no volatility, the default rates by days, the term
// structure and the surface of a known smile, the solve on several threads
// and its stop, damaged tables, and the selection that becomes a series.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "analysis/AnalysisError.h"
#include "analysis/ChainSelection.h"
#include "analysis/ChainSolve.h"
#include "analysis/QuoteChain.h"
#include "analysis/VolSurface.h"
#include "pricing/Models.h"
#include "support/scratch_dir.h"

using namespace kestrava;

namespace {

const TDateTime kToday = EncodeDate(2024, 3, 1);

ChainInputs Flat(ChainModel model, double rate = 0.05, double yield = 0)
{
    ChainInputs inputs;
    inputs.model = model;
    inputs.rates.flat = rate;
    inputs.dividend.yield = yield;
    return inputs;
}

// One expiry whose strikes are priced by the European formula at a known
// volatility each: a smile falling 0.2 points a strike from 30 %.
double SmileVol(double strike)
{
    return 0.30 - 0.002 * (strike - 80);
}

QuoteChain KnownSmile(int days, double underlying = 100)
{
    QuoteChain chain;
    chain.fileName = "made-up";
    chain.symbol = "XYZ";
    chain.underlyingLast = underlying;
    chain.quoteDate = kToday;
    ChainRoot root;
    root.name = "XYZ";
    ChainExpiry expiry;
    expiry.date = kToday + days;
    ExpiryPricer pricer(underlying, kToday, expiry.date, Flat(ChainModel::European));
    for (double K = 80; K <= 120; K += 2.5) {
        ChainStrike strike;
        strike.strike = K;
        for (bool call : {true, false}) {
            ChainQuote& quote = call ? strike.call : strike.put;
            quote.bid = quote.ask = static_cast<float>(pricer.EuropeanValue(SmileVol(K), K, call));
        }
        expiry.strikes.push_back(strike);
    }
    root.expiries.push_back(expiry);
    chain.roots.push_back(root);
    return chain;
}

// The quote files of this test program, in a folder of its own that goes
// when the program ends.
const std::filesystem::path& ScratchFolder()
{
    struct Folder {
        std::filesystem::path path = testsupport::MakeScratchDir("kestrava-chain");
        ~Folder() { testsupport::RemoveScratchDir(path); }
    };
    static const Folder folder;
    return folder.path;
}

std::string Scratch(const std::string& name, const std::string& text)
{
    const std::filesystem::path file = ScratchFolder() / name;
    std::ofstream(file, std::ios::binary) << text;
    return file.string();
}

const char* const kHead =
    "XYZ (XYZ CORP),100.00,+1.00,\r\n"
    "Mar 01 2024 @ 10:00 ET,Bid,99.9,Ask,100.1,\r\n"
    "Calls,Last Sale,Net,Bid,Ask,Vol,Open Int,Puts,Last Sale,Net,Bid,Ask,Vol,Open Int,\r\n";

std::string Row(const std::string& callCode, const std::string& putCode, const std::string& strike,
                int volume)
{
    return "24 Mar " + strike + " (" + callCode + "),1.0,0.0,1.00,1.10," + std::to_string(volume)
           + ",5,24 Mar " + strike + " (" + putCode + "),1.0,0.0,1.00,1.10,7,8,\r\n";
}

}  // namespace

TEST(ChainVolatility, PricesWithoutAVolatilitySayWhy)
{
    // S = 100, 30 days, 5 %: each price and what the search says of it.
    struct Case {
        ChainModel model;
        double strike;
        bool call;
        double price;
        NoVolatility why;
    };
    const Case cases[] = {
        {ChainModel::European, 100, true, 0, NoVolatility::NoBid},
        {ChainModel::Binomial, 90, true, 9.5, NoVolatility::BelowIntrinsic},     // intrinsic 10
        {ChainModel::European, 90, true, 10.2, NoVolatility::BelowIntrinsic},    // 100 - 90 e^-rT = 10.37
        {ChainModel::Whaley, 110, false, 9.9, NoVolatility::BelowIntrinsic},     // intrinsic 10
        {ChainModel::European, 100, true, 100, NoVolatility::AboveUpperBound},   // the underlying
        {ChainModel::Binomial, 100, false, 100, NoVolatility::AboveUpperBound},  // the strike
        {ChainModel::European, 100, true, 99, NoVolatility::AboveHighest},       // 500 % gives 52.8
        {ChainModel::Binomial, 100, true, 99, NoVolatility::AboveHighest},
        {ChainModel::Whaley, 120, true, 90, NoVolatility::AboveHighest},
    };
    for (const Case& c : cases) {
        ExpiryPricer pricer(100, kToday, kToday + 30, Flat(c.model));
        const VolSolution solution = SolveVolatility(pricer, c.price, c.strike, c.call);
        EXPECT_EQ(solution.why, c.why)
            << ChainModelName(c.model) << " " << c.strike << (c.call ? " call at " : " put at ") << c.price
            << ": " << NoVolatilityText(solution.why);
    }
    // The European put at 9.6 lies above its discounted intrinsic value,
    // so it has a (tiny) volatility there; below 9.55 it has none.
    ExpiryPricer european(100, kToday, kToday + 30, Flat(ChainModel::European));
    EXPECT_EQ(SolveVolatility(european, 9.5, 110, false).why, NoVolatility::BelowIntrinsic);
}

TEST(ChainVolatility, EveryModelGivesItsOwnValueBack)
{
    // Round trips over strikes, sides, days and volatilities from 5 % to
    // 300 %: price by the model, then solve that price.
    for (ChainModel model : {ChainModel::European, ChainModel::Binomial, ChainModel::Whaley}) {
        for (int days : {3, 45, 400}) {
            ExpiryPricer pricer(100, kToday, kToday + days, Flat(model, 0.04, 0.01));
            for (double K : {70.0, 95.0, 100.0, 104.5, 140.0}) {
                for (bool call : {true, false}) {
                    for (double sigma : {0.05, 0.25, 0.8, 3.0}) {
                        const double price = pricer.Value(sigma, K, call);
                        if (!(price > pricer.LowerBound(K, call) + 0.01) || price < 0.02)
                            continue;  // no time value to find a volatility in
                        const VolSolution solution = SolveVolatility(pricer, price, K, call);
                        ASSERT_TRUE(solution.Solved()) << ChainModelName(model) << " " << days << " days, "
                                                       << K << (call ? " call" : " put") << " at " << sigma
                                                       << ": " << NoVolatilityText(solution.why);
                        // The page's models work in single precision: where their
                        // value jumps over the price, half a cent is close enough.
                        EXPECT_NEAR(pricer.Value(solution.vol, K, call), price,
                                    pricer.American() ? 0.005 : PriceTolerance(pricer));
                        if (model == ChainModel::European) {
                            EXPECT_NEAR(solution.vol, sigma, 1e-6);
                        }
                    }
                }
            }
        }
    }
}

TEST(ChainRates, DefaultRatesRunStraightBetweenTheirDaysAndFlatBeyond)
{
    ChainRates rates;
    rates.defaults = {0.01f, 0.02f, 0.04f};
    const std::pair<int, double> cases[] = {{0, 0.01},  {30, 0.01}, {45, 0.015}, {60, 0.02},
                                            {75, 0.03}, {90, 0.04}, {400, 0.04}};
    for (const auto& [days, rate] : cases)
        EXPECT_NEAR(rates.RateFor(days), rate, 1e-9) << days << " days";
    rates.flat = 0.033;
    EXPECT_EQ(rates.RateFor(45), 0.033);
}

TEST(VolSurface, TermStructureAndSurfaceReadTheKnownSmileAtTheForward)
{
    for (const double underlying : {100.0, 101.3, 98.75}) {
        const QuoteChain chain = KnownSmile(60, underlying);
        const ChainRoot& root = chain.roots[0];
        const std::vector<ExpiryVols> vols = SolveChain(root, underlying, kToday, Flat(ChainModel::European),
                                                        ChainSolveScope::MidOnly);
        const double forward = underlying * std::exp(0.05 * 60 / 365.0);
        ASSERT_NEAR(vols[0].forward, forward, 1e-9);
        // Every strike solved to its own volatility (the quotes are singles).
        for (std::size_t s = 0; s < root.expiries[0].strikes.size(); ++s)
            EXPECT_NEAR(StrikeVolatility(root.expiries[0], vols[0], s),
                        SmileVol(root.expiries[0].strikes[s].strike), 2e-5);
        // The smile is straight in strike, so the straight interpolation
        // between the strikes around the forward is exact.
        const std::vector<TermPoint> term = TermStructure(root, vols);
        ASSERT_EQ(term.size(), 1u);
        EXPECT_NEAR(term[0].atmVol, SmileVol(forward), 2e-5) << underlying;
        const VolSurfaceGrid grid = VolatilitySurface(root, vols, 0.7, 1.3, 13);
        ASSERT_EQ(grid.expiries.size(), 1u);
        for (std::size_t c = 0; c < grid.moneyness.size(); ++c) {
            const double strike = grid.moneyness[c] * forward;
            if (strike < 80 || strike > 120)
                EXPECT_EQ(grid.At(0, c), 0) << grid.moneyness[c];  // beyond the strikes
            else
                EXPECT_NEAR(grid.At(0, c), SmileVol(strike), 2e-5) << grid.moneyness[c];
        }
        // Fewer than two columns give the two ends.
        for (const int columns : {1, 0, -3}) {
            const VolSurfaceGrid ends = VolatilitySurface(root, vols, 0.7, 1.3, columns);
            EXPECT_EQ(ends.moneyness, (std::vector<double>{0.7, 1.3})) << columns;
            EXPECT_EQ(ends.vols.size(), 2u) << columns;
        }
    }
}

TEST(VolSurface, EachStrikeTakesItsOptionOutOfTheMoneyElseTheOther)
{
    // Calls at 20 % and puts at 40 %, around a forward of 100: below it the
    // put speaks for the strike, at and above it the call; where that one
    // has no volatility the other does, and a strike of neither has none.
    ChainExpiry expiry;
    ExpiryVols vols;
    vols.forward = 100;
    auto solved = [](double vol) {
        VolSolution solution;
        solution.vol = vol;
        solution.why = NoVolatility::None;
        return solution;
    };
    struct Case {
        double strike;
        bool callSolved, putSolved;
        double expected;
    };
    const Case cases[] = {
        {90, true, true, 0.40},  {99.99, true, true, 0.40}, {100, true, true, 0.20},  {110, true, true, 0.20},
        {90, true, false, 0.20}, {110, false, true, 0.40},  {100, false, true, 0.40}, {95, false, false, 0},
    };
    for (const Case& c : cases) {
        ChainStrike strike;
        strike.strike = c.strike;
        expiry.strikes.push_back(strike);
        std::array<OptionVols, 2> options{};
        if (c.callSolved)
            options[0].mid = solved(0.20);
        if (c.putSolved)
            options[1].mid = solved(0.40);
        // Bid and ask volatilities of their own, which the rule never reads.
        options[0].bid = options[1].ask = solved(0.90);
        vols.options.push_back(options);
    }
    for (std::size_t s = 0; s < std::size(cases); ++s)
        EXPECT_EQ(StrikeVolatility(expiry, vols, s), cases[s].expected)
            << cases[s].strike << (cases[s].callSolved ? " call" : "") << (cases[s].putSolved ? " put" : "");
    EXPECT_EQ(StrikeVolatility(expiry, vols, std::size(cases)), 0);  // past the last strike
}

TEST(ChainSolve, ThreadsGiveTheSameResultsAndAStopEndsTheSolve)
{
    const QuoteChain chain = ReadQuoteChain(std::string(KESTRAVA_TEST_DATA_DIR)
                                            + "/quotes-aapl-2016-11-04.dat");
    const ChainRoot& root = chain.roots.at(static_cast<std::size_t>(chain.DefaultRoot()));
    const ChainInputs inputs = Flat(ChainModel::Binomial, 0.005, 0.02);
    const std::vector<ExpiryVols> one = SolveChain(root, chain.underlyingLast, chain.quoteDate, inputs,
                                                   ChainSolveScope::BidAskMid, 1);
    const std::vector<ExpiryVols> three = SolveChain(root, chain.underlyingLast, chain.quoteDate, inputs,
                                                     ChainSolveScope::BidAskMid, 3);
    ASSERT_EQ(one.size(), root.expiries.size());
    ASSERT_EQ(three.size(), one.size());
    for (std::size_t e = 0; e < one.size(); ++e) {
        ASSERT_EQ(one[e].options.size(), root.expiries[e].strikes.size());
        for (std::size_t s = 0; s < one[e].options.size(); ++s)
            for (std::size_t k = 0; k < 2; ++k)
                for (auto part : {&OptionVols::bid, &OptionVols::ask, &OptionVols::mid}) {
                    EXPECT_EQ((one[e].options[s][k].*part).vol, (three[e].options[s][k].*part).vol);
                    EXPECT_EQ((one[e].options[s][k].*part).why, (three[e].options[s][k].*part).why);
                }
    }
    // The expiry of the table's own day has no volatility at all.
    EXPECT_EQ(one[0].days, 0);
    EXPECT_EQ(one[0].options[0][0].mid.why, NoVolatility::Expired);

    // Each expiry is handed over once; a stop after the first ends the rest.
    std::mutex lock;
    std::vector<int> seen;
    std::stop_source stop;
    SolveChain(
        root, chain.underlyingLast, chain.quoteDate, inputs, ChainSolveScope::MidOnly,
        [&](int expiry, ExpiryVols) {
            const std::lock_guard guard(lock);
            seen.push_back(expiry);
            stop.request_stop();
        },
        stop.get_token(), 2);
    EXPECT_GE(seen.size(), 1u);
    EXPECT_EQ(std::set<int>(seen.begin(), seen.end()).size(), seen.size());
    EXPECT_LT(seen.size(), root.expiries.size());
}

TEST(QuoteChain, DamagedTablesAreRefusedNamingFileAndLine)
{
    const std::string good = Row("XYZ2415C100", "XYZ2415O100", "100.00", 3);
    struct Case {
        const char* name;
        std::string text;
        const char* says;
    };
    const Case cases[] = {
        {"empty", "", "is empty"},
        {"html", "<html><body>Error</body></html>\r\n", "no option quote table"},
        {"no date", std::string("XYZ (XYZ CORP),100.00,+1.00,\r\nsoon,\r\nCalls,\r\n") + good, "Line 2"},
        {"no price", "XYZ (XYZ CORP),,\r\nMar 01 2024 @ 10:00 ET,\r\nCalls,\r\n" + good, "Line 1"},
        {"short row", kHead + good + "24 Mar 105.00 (XYZ2415C105),1.0,0.0,1.00,1.10,3,5,\r\n", "Line 5"},
        {"no code", kHead + good + Row("XYZ 2415C105", "XYZ2415O105", "105.00", 1), "Line 5"},
        {"two strikes", kHead + Row("XYZ2415C105", "XYZ2415O110", "105.00", 1), "Line 4"},
        {"no such day", kHead + Row("XYZ2431B105", "XYZ2431N105", "105.00", 1), "Line 4"},
        {"a word for a count",
         kHead
             + std::string(
                 "24 Mar 105.00 (XYZ2415C105),1.0,0.0,1.00,1.10,lots,5,24 Mar 105.00 (XYZ2415O105),1.0,0.0,"
                 "1.00,1.10,7,8,\r\n"),
         "Line 4"},
    };
    for (const Case& c : cases) {
        const std::string file = Scratch(std::string(c.name) + ".txt", c.text);
        try {
            ReadQuoteChain(file);
            ADD_FAILURE() << c.name << " was read";
        } catch (const AnalysisFileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(file), std::string::npos) << c.name << ": " << message;
            EXPECT_NE(message.find(c.says), std::string::npos) << c.name << ": " << message;
        }
    }
}

TEST(QuoteChain, OneRowPerOptionWhateverTheOrderOfItsCopies)
{
    // A composite row after two exchange copies replaces the first of them;
    // an option listed by exchanges only keeps its first row.
    const std::string text = kHead + Row("XYZ2415C100-E", "XYZ2415O100-E", "100.00", 1)
                             + Row("XYZ2415C100-X", "XYZ2415O100-X", "100.00", 2)
                             + Row("XYZ2415C100", "XYZ2415O100", "100.00", 3)
                             + Row("XYZ2415C105-E", "XYZ2415O105-E", "105.00", 4)
                             + Row("XYZ2415C105-P", "XYZ2415O105-P", "105.00", 5)
                             + Row("XYZ72415C100", "XYZ72415O100", "100.00", 6);
    const QuoteChain chain = ReadQuoteChain(Scratch("copies.txt", text));
    ASSERT_EQ(chain.roots.size(), 2u);
    const ChainRoot& root = chain.roots[static_cast<std::size_t>(chain.FindRoot("XYZ"))];
    EXPECT_EQ(chain.roots[static_cast<std::size_t>(chain.DefaultRoot())].name, "XYZ");
    ASSERT_EQ(root.expiries.size(), 1u);
    EXPECT_EQ(root.expiries[0].date, EncodeDate(2024, 3, 15));
    ASSERT_EQ(root.expiries[0].strikes.size(), 2u);
    EXPECT_EQ(root.expiries[0].strikes[0].call.volume, 3);
    EXPECT_EQ(root.expiries[0].strikes[0].suffix, "");
    EXPECT_EQ(root.expiries[0].strikes[1].call.volume, 4);
    EXPECT_EQ(root.expiries[0].strikes[1].suffix, "-E");
    EXPECT_EQ(root.exchangeCopies, 3);
    EXPECT_EQ(chain.roots[static_cast<std::size_t>(chain.FindRoot("XYZ7"))].StrikeCount(), 1);
}

TEST(ChainSelection, AnyStrikesOfAtMostThreeExpiriesMakeASeries)
{
    QuoteChain chain = KnownSmile(30);
    ChainRoot& root = chain.roots[0];
    for (int days : {60, 90, 120}) {
        ChainExpiry later = root.expiries[0];
        later.date = kToday + days;
        root.expiries.push_back(later);
    }
    const ChainInputs inputs = Flat(ChainModel::Whaley);
    // Strikes 85, 100 and 117.5 of two expiries, selected in any order and twice.
    const SelectionResult made = MakeChainSelection(chain, root, {{1, 15}, {0, 2}, {1, 8}, {0, 8}, {0, 2}},
                                                    inputs);
    ASSERT_TRUE(made.selection) << made.problem;
    EXPECT_EQ(made.selection->strikes, (std::vector<double>{85, 100, 117.5}));
    EXPECT_EQ(made.selection->expiries, (std::vector<TDateTime>{kToday + 30, kToday + 60}));
    EXPECT_EQ(made.selection->contract, "XYZ");
    EXPECT_EQ(made.selection->underlying, 100);
    // Indices past the root's expiries or an expiry's strikes are passed over.
    const SelectionResult inside = MakeChainSelection(chain, root, {{0, 999}, {0, 2}, {99, 0}, {4, 0}},
                                                      inputs);
    ASSERT_TRUE(inside.selection) << inside.problem;
    EXPECT_EQ(inside.selection->strikes, (std::vector<double>{85}));
    EXPECT_EQ(inside.selection->expiries, (std::vector<TDateTime>{kToday + 30}));

    // 20 strikes make a series, 21 do not.
    ChainExpiry& first = root.expiries[0];
    while (first.strikes.size() < 21) {
        ChainStrike extra = first.strikes.back();
        extra.strike += 2.5;
        first.strikes.push_back(extra);
    }
    std::vector<std::pair<std::size_t, std::size_t>> all;
    for (std::size_t s = 0; s < 21; ++s)
        all.emplace_back(0, s);
    EXPECT_NE(MakeChainSelection(chain, root, all, inputs).problem.find("20 strikes"), std::string::npos);
    all.pop_back();
    EXPECT_TRUE(MakeChainSelection(chain, root, all, inputs).selection);
    EXPECT_NE(
        MakeChainSelection(chain, root, {{0, 1}, {1, 1}, {2, 1}, {3, 1}}, inputs).problem.find("3 expiries"),
        std::string::npos);
    EXPECT_FALSE(MakeChainSelection(chain, root, {}, inputs).selection);
    // An expiry on the table's own day has no days left to price.
    ChainRoot expiring = root;
    expiring.expiries[1].date = chain.quoteDate;
    EXPECT_NE(MakeChainSelection(chain, expiring, {{0, 1}, {1, 1}}, inputs).problem.find("no days left"),
              std::string::npos);

    // An exchange's own rows are the page's contract with its suffix.
    for (ChainStrike& strike : root.expiries[0].strikes)
        strike.suffix = "-E";
    EXPECT_EQ(MakeChainSelection(chain, root, {{0, 3}}, inputs).selection->contract, "XYZ-E");
}
