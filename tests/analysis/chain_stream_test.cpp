// The chain read line by line: rows in any order give the chain of the
// table in order, the progress climbs to the file's size, and a stop leaves
// no chain.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "analysis/QuoteChain.h"
#include "support/large_chain_table.h"
#include "support/scratch_dir.h"

using namespace kestrava;

namespace {

const std::string kSpy = std::string(KESTRAVA_TEST_DATA_DIR) + "/quotes-spy-2016-11-25.dat";

class ChainStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = testsupport::MakeScratchDir("chain-stream");
        large_ = (dir_ / "large.dat").string();
        rows_ = testsupport::WriteLargeChainTable(kSpy, large_, 9'000'000).optionRows;
    }
    void TearDown() override { testsupport::RemoveScratchDir(dir_); }

    std::filesystem::path dir_;
    std::string large_;
    long long rows_ = 0;
};

std::vector<std::string> Lines(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The option a row is of: its call's code without the exchange.
std::string OptionOf(const std::string& row)
{
    const std::size_t open = row.find('(');
    const std::string code = row.substr(open + 1, row.find(')') - open - 1);
    return code.substr(0, code.find('-'));
}

// The table's option rows in a random order, each option's own rows still
// in theirs (so the same row of each is kept); `from[i]` is the line of the
// table that line i + 1 of the result was.
std::vector<std::string> Scrambled(const std::vector<std::string>& lines, std::vector<long long>& from)
{
    std::vector<std::size_t> order(lines.size() - 3);
    std::iota(order.begin(), order.end(), std::size_t{3});
    std::mt19937 random(20161125);
    std::shuffle(order.begin(), order.end(), random);
    std::map<std::string, std::vector<std::size_t>> rowsOf;
    for (std::size_t r = 3; r < lines.size(); ++r)
        rowsOf[OptionOf(lines[r])].push_back(r);
    std::map<std::string, std::size_t> taken;
    for (std::size_t& r : order) {
        const std::string option = OptionOf(lines[r]);
        r = rowsOf[option][taken[option]++];
    }
    std::vector<std::string> result(lines.begin(), lines.begin() + 3);
    from = {1, 2, 3};
    for (const std::size_t r : order) {
        result.push_back(lines[r]);
        from.push_back(static_cast<long long>(r) + 1);
    }
    return result;
}

void ExpectSameQuote(const ChainQuote& a, const ChainQuote& b)
{
    EXPECT_EQ(a.code, b.code);
    EXPECT_EQ(a.last, b.last) << a.code;
    EXPECT_EQ(a.netChange, b.netChange) << a.code;
    EXPECT_EQ(a.bid, b.bid) << a.code;
    EXPECT_EQ(a.ask, b.ask) << a.code;
    EXPECT_EQ(a.volume, b.volume) << a.code;
    EXPECT_EQ(a.openInterest, b.openInterest) << a.code;
}

}  // namespace

TEST_F(ChainStreamTest, RowsInAnyOrderGiveTheChainOfTheTableInOrder)
{
    // The real table, with its exchange copies, and the large one, whose
    // expiries run past a thousand strikes.
    for (const std::string& file : {kSpy, large_}) {
        SCOPED_TRACE(file);
        std::vector<long long> from;
        const std::vector<std::string> lines = Scrambled(Lines(file), from);
        const std::string scrambled = (dir_ / "scrambled.dat").string();
        {
            std::ofstream out(scrambled, std::ios::binary);
            for (const std::string& line : lines)
                out << line << '\n';
        }
        const QuoteChain ordered = ReadQuoteChain(file);
        const QuoteChain chain = ReadQuoteChain(scrambled);
        ASSERT_EQ(chain.roots.size(), ordered.roots.size());
        for (std::size_t r = 0; r < chain.roots.size(); ++r) {
            const ChainRoot& root = chain.roots[r];
            const ChainRoot& expected = ordered.roots[r];
            EXPECT_EQ(root.name, expected.name);
            EXPECT_EQ(root.exchangeCopies, expected.exchangeCopies);
            ASSERT_EQ(root.expiries.size(), expected.expiries.size());
            for (std::size_t e = 0; e < root.expiries.size(); ++e) {
                const std::vector<ChainStrike>& strikes = root.expiries[e].strikes;
                EXPECT_EQ(root.expiries[e].date, expected.expiries[e].date);
                ASSERT_EQ(strikes.size(), expected.expiries[e].strikes.size());
                for (std::size_t s = 0; s < strikes.size(); ++s) {
                    const ChainStrike& want = expected.expiries[e].strikes[s];
                    EXPECT_EQ(strikes[s].strike, want.strike);
                    EXPECT_EQ(strikes[s].suffix, want.suffix);
                    EXPECT_EQ(from.at(static_cast<std::size_t>(strikes[s].line - 1)), want.line);
                    ExpectSameQuote(strikes[s].call, want.call);
                    ExpectSameQuote(strikes[s].put, want.put);
                }
            }
        }
    }
}

TEST_F(ChainStreamTest, ProgressClimbsToTheFileSizeAndAStopLeavesNoChain)
{
    // The file is read twice: its options counted, then kept.
    const std::uint64_t size = 2 * std::filesystem::file_size(large_);
    std::vector<std::uint64_t> done;
    const std::optional<QuoteChain> chain = ReadQuoteChain(large_,
                                                           [&](std::uint64_t bytes, std::uint64_t total) {
                                                               EXPECT_EQ(total, size);
                                                               done.push_back(bytes);
                                                           },
                                                           {});
    ASSERT_TRUE(chain);
    // About a hundred steps, each further on, the last near the end.
    EXPECT_GE(done.size(), 90u);
    EXPECT_LE(done.size(), 101u);
    EXPECT_TRUE(std::is_sorted(done.begin(), done.end(), std::less_equal<>()));
    EXPECT_GT(done.back(), size - size / 50);
    EXPECT_LE(done.back(), size);
    // Every row is kept or counted as left out.
    long long rows = 0;
    for (const ChainRoot& root : chain->roots)
        rows += root.StrikeCount() + root.exchangeCopies;
    EXPECT_EQ(rows, rows_);

    std::stop_source stop;
    int told = 0;
    const std::optional<QuoteChain> stopped = ReadQuoteChain(
        large_,
        [&](std::uint64_t, std::uint64_t) {
            if (++told == 3)
                stop.request_stop();
        },
        stop.get_token());
    EXPECT_FALSE(stopped);
    EXPECT_EQ(told, 3);
}
