// The whole chain of the real quote tables: the rows chosen against a count
// made here by other means, the volumes and open interests against the
// file's own fields, and every solved volatility against an independent
// European solver or, for the American models, against the option page's
// own routines at that volatility.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/AnalysisError.h"
#include "analysis/ChainSolve.h"
#include "analysis/QuoteChain.h"
#include "pricing/Models.h"
#include "support/scratch_dir.h"

using namespace kestrava;

namespace {

std::string DataFile(const std::string& name)
{
    return std::string(KESTRAVA_TEST_DATA_DIR) + "/" + name;
}

// ---------------------------------------------------------------- the count

struct TableLine {
    std::vector<std::string> fields;
    std::string root;
    std::string key;  // expiry, side letter and strike of the call
    bool composite = false;
};

// Every option row of a table, its code read from the left (the reader reads
// it from the right): the root's letters, then five digits for a root that
// ends in one ("SPY7") or four (year and day), the month letter, the strike.
std::vector<TableLine> ReadLines(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string text;
    std::vector<TableLine> lines;
    for (int number = 1; std::getline(in, text); ++number) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        TableLine line;
        std::stringstream cells(text);
        for (std::string field; std::getline(cells, field, ',');)
            line.fields.push_back(field);
        const std::size_t open = line.fields.empty() ? std::string::npos : line.fields[0].find('(');
        if (number > 3 && open != std::string::npos) {
            const std::string code = line.fields[0].substr(open + 1, line.fields[0].find(')') - open - 1);
            const std::string base = code.substr(0, code.find('-'));
            const std::size_t digits = base.find_first_of("0123456789");
            const std::size_t letter = base.find_first_not_of("0123456789", digits);
            line.root = base.substr(0, digits + (letter - digits - 4));
            line.key = base.substr(line.root.size());
            line.composite = code.find('-') == std::string::npos;
        }
        lines.push_back(std::move(line));  // lines[i] is line i + 1
    }
    return lines;
}

long long Count(const std::string& text)
{
    return text.find_first_not_of(' ') == std::string::npos ? 0 : std::stoll(text);
}

struct Table {
    const char* file;
    std::size_t roots;
    const char* defaultRoot;
    std::size_t defaultExpiries;
};

const Table kTables[] = {
    {"quotes-spy-2016-11-25.dat", 2, "SPY", 27},
    {"quotes-aapl-2013-10-22.dat", 2, "AAPL", 12},
    {"quotes-aapl-2016-11-04.dat", 2, "AAPL", 17},
    {"quotes-spx-2011-01-24.dat", 3, "SPX", 11},
};

// -------------------------------------------------------------- the solver

double Normal(double x)
{
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

// Black-Scholes with a continuous yield, in long double, by bisection.
long double Black(long double S, long double K, long double T, long double r, long double q,
                  long double sigma, bool call)
{
    const long double v = sigma * std::sqrt(T);
    const long double d1 = (std::log(S / K) + (r - q + sigma * sigma / 2) * T) / v;
    const long double d2 = d1 - v;
    const long double c = S * std::exp(-q * T) * Normal(static_cast<double>(d1))
                          - K * std::exp(-r * T) * Normal(static_cast<double>(d2));
    return call ? c : c - S * std::exp(-q * T) + K * std::exp(-r * T);
}

double Bisect(double S, double K, double T, double r, double q, double price, bool call)
{
    double lo = 1e-4, hi = 5.0;
    for (int i = 0; i < 200; ++i) {
        const double mid = (lo + hi) / 2;
        (Black(S, K, T, r, q, mid, call) < price ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
}

ChainInputs Inputs(ChainModel model, double rate, double yield)
{
    ChainInputs inputs;
    inputs.model = model;
    inputs.rates.flat = rate;
    inputs.dividend.yield = yield;
    return inputs;
}

const ChainRoot& DefaultRoot(const QuoteChain& chain)
{
    return chain.roots.at(static_cast<std::size_t>(chain.DefaultRoot()));
}

}  // namespace

TEST(QuoteChain, RowsChosenFromTheRealTablesMatchAnIndependentCount)
{
    for (const Table& table : kTables) {
        SCOPED_TRACE(table.file);
        const QuoteChain chain = ReadQuoteChain(DataFile(table.file));
        const std::vector<TableLine> lines = ReadLines(DataFile(table.file));

        // Per root: the rows, and the options (one per key) with their
        // composite rows; a root without composite rows keeps one row per key.
        std::map<std::string, int> rows;
        std::map<std::string, std::set<std::string>> keys, compositeKeys;
        for (const TableLine& line : lines) {
            if (line.root.empty())
                continue;
            ++rows[line.root];
            keys[line.root].insert(line.key);
            if (line.composite)
                compositeKeys[line.root].insert(line.key);
        }
        ASSERT_EQ(chain.roots.size(), table.roots);
        EXPECT_EQ(DefaultRoot(chain).name, table.defaultRoot);
        EXPECT_EQ(DefaultRoot(chain).expiries.size(), table.defaultExpiries);
        for (const ChainRoot& root : chain.roots) {
            SCOPED_TRACE(root.name);
            const std::size_t options = keys[root.name].size();
            EXPECT_TRUE(compositeKeys[root.name].empty() || compositeKeys[root.name].size() == options);
            EXPECT_EQ(static_cast<std::size_t>(root.StrikeCount()), options);
            EXPECT_EQ(root.exchangeCopies, rows[root.name] - static_cast<int>(options));

            // Each row kept is the composite one where there is one, and its
            // quotes, volumes and open interests are the file's.
            for (const ChainExpiry& expiry : root.expiries) {
                for (const ChainStrike& strike : expiry.strikes) {
                    const TableLine& line = lines.at(static_cast<std::size_t>(strike.line - 1));
                    ASSERT_EQ(line.root, root.name);
                    EXPECT_EQ(line.composite, strike.suffix.empty());
                    EXPECT_EQ(line.composite, !compositeKeys[root.name].empty());
                    EXPECT_EQ(strike.call.volume, Count(line.fields[5]));
                    EXPECT_EQ(strike.call.openInterest, Count(line.fields[6]));
                    EXPECT_EQ(strike.put.volume, Count(line.fields[12]));
                    EXPECT_EQ(strike.put.openInterest, Count(line.fields[13]));
                    const auto change = [](const std::string& text) {
                        return text.find_first_not_of(' ') == std::string::npos ? 0.0f : std::stof(text);
                    };
                    EXPECT_EQ(strike.call.netChange, change(line.fields[2]));
                    EXPECT_EQ(strike.put.netChange, change(line.fields[9]));
                    const std::string bid = line.fields[3];
                    EXPECT_EQ(strike.call.bid, bid == " " ? 0.0f : std::stof(bid));
                    EXPECT_EQ(strike.put.ask, line.fields[11] == " " ? 0.0f : std::stof(line.fields[11]));
                }
            }
        }
    }
}

TEST(QuoteChain, EuropeanVolatilitiesAgreeWithAnIndependentSolver)
{
    // An index and an ETF priced as one, each with its yield.
    struct Case {
        const char* file;
        double rate, yield;
    };
    for (const Case& c :
         {Case{"quotes-spx-2011-01-24.dat", 0.003, 0.018}, Case{"quotes-spy-2016-11-25.dat", 0.005, 0.02}}) {
        SCOPED_TRACE(c.file);
        const QuoteChain chain = ReadQuoteChain(DataFile(c.file));
        const ChainRoot& root = DefaultRoot(chain);
        const std::vector<ExpiryVols> vols = SolveChain(root, chain.underlyingLast, chain.quoteDate,
                                                        Inputs(ChainModel::European, c.rate, c.yield),
                                                        ChainSolveScope::BidAskMid);
        const double S = chain.underlyingLast;
        int solved = 0;
        for (std::size_t e = 0; e < root.expiries.size(); ++e) {
            const double T = vols[e].days / 365.0;
            for (std::size_t s = 0; s < root.expiries[e].strikes.size(); ++s) {
                const ChainStrike& strike = root.expiries[e].strikes[s];
                for (int side = 0; side < 2; ++side) {
                    const bool call = side == 0;
                    const ChainQuote& quote = call ? strike.call : strike.put;
                    const OptionVols& option = vols[e].options[s][static_cast<std::size_t>(side)];
                    const double K = strike.strike;
                    for (const auto& [price, result] :
                         {std::pair{MidPrice(quote), option.mid},
                          std::pair{static_cast<double>(quote.bid), option.bid},
                          std::pair{static_cast<double>(quote.ask), option.ask}}) {
                        if (vols[e].days <= 0) {
                            EXPECT_EQ(result.why, NoVolatility::Expired);
                            continue;
                        }
                        if (price <= 0) {
                            EXPECT_FALSE(result.Solved());
                            continue;
                        }
                        const double lowest = static_cast<double>(
                            Black(S, K, T, c.rate, c.yield, 1e-4, call));
                        const double highest = static_cast<double>(
                            Black(S, K, T, c.rate, c.yield, 5.0, call));
                        const std::string where = IsoDate(root.expiries[e].date) + " " + std::to_string(K)
                                                  + (call ? " call at " : " put at ") + std::to_string(price);
                        if (price > lowest + 1e-6 && price < highest - 1e-6) {
                            // Solvable: the value comes back, the volatility is the bisection's.
                            ASSERT_TRUE(result.Solved()) << where << ": " << NoVolatilityText(result.why);
                            EXPECT_NEAR(
                                static_cast<double>(Black(S, K, T, c.rate, c.yield, result.vol, call)), price,
                                1e-7)
                                << where;
                            const double vega = static_cast<double>(
                                                    Black(S, K, T, c.rate, c.yield, result.vol + 1e-4, call)
                                                    - Black(S, K, T, c.rate, c.yield, result.vol - 1e-4,
                                                            call))
                                                / 2e-4;
                            if (vega > 0.01) {
                                EXPECT_NEAR(result.vol, Bisect(S, K, T, c.rate, c.yield, price, call), 1e-6)
                                    << where;
                            }
                            ++solved;
                        } else if (price < lowest - 1e-9) {
                            EXPECT_TRUE(result.why == NoVolatility::BelowIntrinsic
                                        || result.why == NoVolatility::BelowLowest)
                                << where << ": " << NoVolatilityText(result.why);
                        } else if (price > highest + 1e-9) {
                            EXPECT_TRUE(result.why == NoVolatility::AboveHighest
                                        || result.why == NoVolatility::AboveUpperBound)
                                << where << ": " << NoVolatilityText(result.why);
                        }
                    }
                }
            }
        }
        EXPECT_GT(solved, 1000);
    }
}

TEST(QuoteChain, AmericanVolatilitiesPriceBackOnThePagesOwnModels)
{
    // The tree with a yield and with a cash dividend (AAPL's of 6 November
    // 2013), and Whaley's approximation.
    struct Case {
        const char* file;
        ChainModel model;
        bool cash;
        double dividend;  // yield or amount
        TDateTime date;
    };
    const Case cases[] = {
        {"quotes-aapl-2016-11-04.dat", ChainModel::Binomial, false, 0.02, 0},
        {"quotes-aapl-2013-10-22.dat", ChainModel::Binomial, true, 3.05, EncodeDate(2013, 11, 6)},
        {"quotes-spy-2016-11-25.dat", ChainModel::Whaley, false, 0.02, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + ChainModelName(c.model));
        const QuoteChain chain = ReadQuoteChain(DataFile(c.file));
        const ChainRoot& root = DefaultRoot(chain);
        ChainInputs inputs = Inputs(c.model, 0.004, c.cash ? 0 : c.dividend);
        inputs.dividend.cash = c.cash;
        inputs.dividend.amount = c.cash ? c.dividend : 0;
        inputs.dividend.date = c.date;
        const std::vector<ExpiryVols> vols = SolveChain(root, chain.underlyingLast, chain.quoteDate, inputs,
                                                        ChainSolveScope::MidOnly);
        int solved = 0, unsolved = 0;
        for (std::size_t e = 0; e < root.expiries.size(); ++e) {
            TInOutObj p;
            p.ContractType = c.cash ? kEquity : kIndex;
            p.Dividend = static_cast<float>(c.dividend);
            p.DivDate = c.date;
            p.Rate = 0.004f;
            p.Underlying = static_cast<float>(chain.underlyingLast);
            p.TodayDate = chain.quoteDate;
            p.ExpiryDate = root.expiries[e].date;
            p.Steps = 200;
            p.NumStrikes = 1;
            for (std::size_t s = 0; s < root.expiries[e].strikes.size(); ++s) {
                const ChainStrike& strike = root.expiries[e].strikes[s];
                for (int k = 1; k <= 2; ++k) {
                    const OptionVols& option = vols[e].options[s][static_cast<std::size_t>(k - 1)];
                    if (!option.mid.Solved()) {
                        ++unsolved;
                        continue;
                    }
                    p.Strike(1, 1) = p.Strike(1, 2) = static_cast<float>(strike.strike);
                    p.Vol(1, k) = static_cast<float>(option.mid.vol);
                    p.Vol(1, 3 - k) = 0;
                    (c.model == ChainModel::Binomial ? PriceBinomial : PriceWhaley)(p);
                    const double mid = MidPrice(k == 1 ? strike.call : strike.put);
                    ASSERT_NEAR(p.Theo(1, k), mid, 0.005)
                        << IsoDate(p.ExpiryDate) << " " << strike.strike << (k == 1 ? " call" : " put")
                        << " at " << option.mid.vol;
                    ++solved;
                }
            }
        }
        // What is left: no bid, the day's own expiry, prices below intrinsic
        // value or below the model's least value (deep puts under a yield).
        EXPECT_GT(solved, 500);
        EXPECT_GT(solved, unsolved);
    }
}

TEST(QuoteChain, OptionCodesOfEveryShapeTheTablesWrite)
{
    const struct {
        const char* code;
        bool parses;
        const char* root;
        const char* strike;
        bool call;
    } cases[] = {
        {"SPX1119B1000", true, "SPX", "1000", true},
        {"SPXW1128A1290", true, "SPXW", "1290", true},
        {"AAPL71325J360", true, "AAPL7", "360", true},  // a root ending in a digit
        {"AAPL1604K99.5-E", true, "AAPL", "99.5", true},
        {"SPY1630X210", true, "SPY", "210", false},
        {"X1119B1000", true, "X", "1000", true},  // the shortest root
        {"1119B1000", false, "", "", true},       // no root
        {"SPX1119B", false, "", "", true},        // no strike
        {"SPX1119Y1000", false, "", "", true},    // no month letter
        {"SPX1130B1000", false, "", "", true},    // 30 February
        {"SPX1119B1000-", false, "", "", true},   // a dash without an exchange
    };
    for (const auto& c : cases) {
        OptionCode parsed;
        EXPECT_EQ(ParseOptionCode(c.code, parsed), c.parses) << c.code;
        if (!c.parses)
            continue;
        EXPECT_EQ(parsed.root, c.root) << c.code;
        EXPECT_EQ(parsed.strike, c.strike) << c.code;
        EXPECT_EQ(parsed.call, c.call) << c.code;
    }
}

TEST(QuoteChain, ARowWithoutAStrikeAboveZeroRefusesTheTable)
{
    const std::filesystem::path dir = testsupport::MakeScratchDir("kestrava-chain-strike");
    const std::string head =
        "SPX (S&P 500 INDEX),1290.59,+7.24,\r\nJan 24 2011 @ 14:03 ET,\r\n"
        "Calls,Last Sale,Net,Bid,Ask,Vol,Open Int,Puts,Last Sale,Net,Bid,Ask,Vol,Open Int,\r\n";
    for (const char* strike : {"0.00", "-5.00", "x"}) {
        const std::string row = std::string("11 Feb ") + strike
                                + " (SPX1119B1000),1.10,+0.10,1.00,1.20,0,0,11 Feb " + strike
                                + " (SPX1119N1000),2.10,-0.20,2.00,2.20,0,0,\r\n";
        const std::string file = (dir / "SPX.txt").string();
        std::ofstream(file, std::ios::binary) << head << row;
        try {
            ReadQuoteChain(file);
            ADD_FAILURE() << "a strike of " << strike << " was read";
        } catch (const AnalysisError& error) {
            const std::string said = error.what();
            EXPECT_NE(said.find("\"" + std::string(strike) + "\" is not a strike."), std::string::npos)
                << said;
            EXPECT_NE(said.find("4"), std::string::npos) << said;
        }
    }
    testsupport::RemoveScratchDir(dir);
}
