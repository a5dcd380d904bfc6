// The whole chain of the two real delayed-quotes CSVs against the files'
// own fields read here by other means, both ways of reading it, and the
// rows the chain refuses.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/AnalysisError.h"
#include "analysis/QuoteChain.h"
#include "support/scratch_dir.h"

using namespace kestrava;

namespace {

std::string DataFile(const std::string& name)
{
    return std::string(KESTRAVA_TEST_DATA_DIR) + "/" + name;
}

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream cells(line);
    for (std::string field; std::getline(cells, field, ',');)
        fields.push_back(field);
    return fields;
}

// A file's rows by their call's code, the lines after the four of the head.
std::map<std::string, std::vector<std::string>> RowsByCode(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::map<std::string, std::vector<std::string>> rows;
    int number = 0;
    for (std::string line; std::getline(in, line);)
        if (++number > 4)
            rows[Split(line).at(1)] = Split(line);
    return rows;
}

// The expiry of a code as yyyy-mm-dd, read from the left: the root is what
// precedes the last 15 characters.
std::string ExpiryOf(const std::string& code)
{
    const std::string tail = code.substr(code.size() - 15);
    return "20" + tail.substr(0, 2) + "-" + tail.substr(2, 2) + "-" + tail.substr(4, 2);
}

void ExpectSameChain(const QuoteChain& a, const QuoteChain& b)
{
    ASSERT_EQ(a.roots.size(), b.roots.size());
    for (std::size_t r = 0; r < a.roots.size(); ++r) {
        ASSERT_EQ(a.roots[r].expiries.size(), b.roots[r].expiries.size());
        for (std::size_t e = 0; e < a.roots[r].expiries.size(); ++e) {
            const auto& x = a.roots[r].expiries[e].strikes;
            const auto& y = b.roots[r].expiries[e].strikes;
            ASSERT_EQ(x.size(), y.size());
            for (std::size_t s = 0; s < x.size(); ++s) {
                EXPECT_EQ(x[s].call.code, y[s].call.code);
                EXPECT_EQ(x[s].put.bid, y[s].put.bid);
                EXPECT_EQ(x[s].call.fileIv, y[s].call.fileIv);
                EXPECT_EQ(x[s].line, y[s].line);
            }
        }
    }
}

struct RealFile {
    const char* name;
    std::vector<std::string> roots;
    std::string defaultRoot;
    std::string quoteDate;
    std::string quoteTime;  // written two ways
    std::vector<TDateTime> leftOut;
};

}  // namespace

TEST(DelayedQuotesChain, RealFilesGiveEveryRowOfTheirRootsAgainstTheFilesOwnFields)
{
    const RealFile files[] = {
        {"quotes-spx-2022-06-11.csv",
         {"SPX", "SPXW"},
         "SPX",
         "2022-06-11",
         "June 11, 2022, 8:47 PM EDT",
         {EncodeDate(2022, 6, 10)}},
        {"quotes-spy-2025-09-01.csv", {"SPY"}, "SPY", "2025-09-01", "September 1, 2025 at 6:50 PM EDT", {}},
    };
    for (const RealFile& real : files) {
        const std::string file = DataFile(real.name);
        const QuoteChain chain = ReadQuoteChain(file);
        EXPECT_EQ(chain.layout, QuoteLayout::DelayedQuotesCsv);
        EXPECT_EQ(IsoDate(chain.quoteDate), real.quoteDate);
        EXPECT_EQ(chain.quoteTime, real.quoteTime);
        EXPECT_EQ(chain.expiriesLeftOut, real.leftOut) << real.name;
        std::vector<std::string> roots;
        for (const ChainRoot& root : chain.roots)
            roots.push_back(root.name);
        EXPECT_EQ(roots, real.roots);
        ASSERT_GE(chain.DefaultRoot(), 0);
        EXPECT_EQ(chain.roots[static_cast<std::size_t>(chain.DefaultRoot())].name, real.defaultRoot);
        EXPECT_EQ(chain.symbol, real.defaultRoot);

        // Every row of the file on or after the quote date is in the chain once, as the file gives it.
        std::map<std::string, std::vector<std::string>> rows = RowsByCode(file);
        std::size_t inChain = 0;
        for (const ChainRoot& root : chain.roots)
            for (const ChainExpiry& expiry : root.expiries)
                for (const ChainStrike& strike : expiry.strikes) {
                    ++inChain;
                    const auto found = rows.find(strike.call.code);
                    ASSERT_NE(found, rows.end()) << strike.call.code;
                    const std::vector<std::string>& f = found->second;
                    EXPECT_EQ(ExpiryOf(f[1]), IsoDate(expiry.date));
                    EXPECT_EQ(strike.put.code, f[12]);
                    EXPECT_DOUBLE_EQ(strike.strike, std::stod(f[11]));
                    EXPECT_FLOAT_EQ(strike.call.bid, std::stof(f[4]));
                    EXPECT_FLOAT_EQ(strike.put.ask, std::stof(f[16]));
                    EXPECT_EQ(strike.call.volume, std::stoll(f[6]));
                    EXPECT_EQ(strike.put.openInterest, std::stoll(f[21]));
                    EXPECT_FLOAT_EQ(strike.call.fileIv, std::stof(f[7]));
                    EXPECT_FLOAT_EQ(strike.put.fileDelta, std::stof(f[19]));
                }
        std::size_t ahead = 0;
        for (const auto& [code, f] : rows)
            ahead += ExpiryOf(code) >= real.quoteDate;
        EXPECT_EQ(inChain, ahead) << real.name;

        // The read in steps gives the same chain, its progress within the two readings.
        std::uint64_t last = 0;
        const std::optional<QuoteChain> stepped = ReadQuoteChain(
            file, [&](std::uint64_t done, std::uint64_t) { last = done; }, {});
        ASSERT_TRUE(stepped);
        ExpectSameChain(chain, *stepped);
        EXPECT_GT(last, 0u);
        EXPECT_LE(last, 2 * std::filesystem::file_size(file));
        std::stop_source stop;
        stop.request_stop();
        EXPECT_FALSE(ReadQuoteChain(file, {}, stop.get_token()));
    }
}

TEST(DelayedQuotesChain, DamagedRowsRefuseTheTableWithTheirLine)
{
    const std::filesystem::path dir = testsupport::MakeScratchDir("delayed-chain");
    const std::string head =
        "\nS&P 500 Index,Last: 3900.86,Change:  -116.96\n"
        "\"Date: June 11, 2022, 8:47 PM EDT\",Bid: 3878.48,Ask: 3927.93,Size: 1*1,Volume: 0\n"
        "Expiration Date,Calls,Last Sale,Net,Bid,Ask,Volume,IV,Delta,Gamma,Open Interest,Strike,Puts,Last "
        "Sale,"
        "Net,Bid,Ask,Volume,IV,Delta,Gamma,Open Interest\n";
    const auto row = [](const std::string& strike, const std::string& callBid) {
        return "Fri Jun 17 2022,SPX220617C0" + strike + "000," + "1," + "0," + callBid + ",2.5,0,0,0,0,1,"
               + strike + ".00,SPX220617P0" + strike + "000,1,0,1,2,0,0,0,0,1\n";
    };
    struct Case {
        std::string rows;
        std::string says;
    };
    const Case cases[] = {
        {row("3900", "-1") + row("4000", "2"), "Line 5 of FILE: the call's bid \"-1\" is not a price."},
        {row("3900", "2") + row("4000", "2.x"), "Line 6 of FILE: the call's bid \"2.x\" is not a number."},
        {row("3900", "2") + row("3900", "2"),
         "Line 6 of FILE: \"SPX220617C03900000\" is listed again after line 5."},
        {row("3900", "2") + "Fri Jun 17 2022,SPX220617C04000000,1,0\n",
         "Line 6 of FILE: 4 fields, a row has 22."},
    };
    for (const Case& c : cases) {
        const std::string file = (dir / "SPX.csv").string();
        std::ofstream(file, std::ios::binary) << head << c.rows;
        std::string says = c.says;
        says.replace(says.find("FILE"), 4, file);
        try {
            ReadQuoteChain(file);
            ADD_FAILURE() << "read: " << c.says;
        } catch (const AnalysisFileError& error) {
            EXPECT_EQ(error.what(), says);
        }
    }
    testsupport::RemoveScratchDir(dir);
}
