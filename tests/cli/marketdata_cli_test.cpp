#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/calc_runner.h"

#include <sys/stat.h>

using kestrava::clitest::CalcTest;
using kestrava::clitest::Outcome;
using kestrava::clitest::ReadFile;
using kestrava::clitest::WriteFile;

namespace {

std::string DataFile(const std::string& name)
{
    return (std::filesystem::path(KESTRAVA_TEST_DATA_DIR) / name).string();
}

// Work files land in the test's own directory, and the system locale is the
// C locale unless a test says otherwise.
class MarketDataCliTest : public CalcTest {
protected:
    void SetUp() override
    {
        const char* tmp = std::getenv("TMPDIR");
        savedTmpDir_ = tmp ? tmp : "";
        CalcTest::SetUp();
        setenv("TMPDIR", dir_.c_str(), 1);
        setenv("LC_ALL", "C", 1);
    }
    void TearDown() override
    {
        CalcTest::TearDown();
        if (savedTmpDir_.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", savedTmpDir_.c_str(), 1);
    }

    int WorkFiles() const
    {
        int count = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_))
            count += entry.path().extension() == ".TEM";
        return count;
    }

    std::string savedTmpDir_;
};

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST_F(MarketDataCliTest, ConvertPrintsTheLayoutAndTheRecords)
{
    const Outcome o = Run(
        {"convert", DataFile("history-spy.csv"), "--records", "--date-format", "yyyy-MM-dd"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(Has(o.out, "\nRecordCount=3175\nValueColumns=6\nHeaderLines=1\n"
                           "SeparatedDates=true\nSymbol=HISTORY-SPY\n"))
        << o.out.substr(0, 300);
    EXPECT_TRUE(Has(o.out, "date,high,low,close,volume\n2000-02-01,141.690002,138.529999,"
                           "140.940002,8419900\n"));
    EXPECT_TRUE(Has(o.out, "\n2012-09-12,144.550003,143.899994,144.389999,87607000\n"));
    EXPECT_EQ(WorkFiles(), 1);  // convert leaves its work file
}

TEST_F(MarketDataCliTest, ConvertTakesTodaysLayoutByItsColumnNames)
{
    // Adj Close before the Volume, oldest day first: the volume is the
    // shares traded, never the adjusted close.
    WriteFile(PathOf("SPY.csv"), "Date,Open,High,Low,Close,Adj Close,Volume\n"
                                 "2012-03-12,137.55,137.89,137.16,137.58,136.26,116451600\n"
                                 "2012-03-13,138.32,140.13,138.09,140.06,138.73,184090500\n");
    const Outcome o = Run({"convert", PathOf("SPY.csv"), "--records", "--date-format", "yyyy-MM-dd"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(Has(o.out, "\nSymbol=SPY\nColumnsByName=true\n")) << o.out;
    EXPECT_TRUE(Has(o.out,
                    "date,high,low,close,volume\n2012-03-12,137.889999,137.160004,137.580002,116451600\n"
                    "2012-03-13,140.130005,138.089996,140.059998,184090496\n"))
        << o.out;
}

TEST_F(MarketDataCliTest, ConvertUnderEachLocale)
{
    WriteFile(PathOf("us.csv"), "Date,Close\n1/4/2005,10.5\n1/3/05,9.5\n");
    WriteFile(PathOf("de.csv"), "Datum,Schluss\n04.01.2005,10\n03.01.2005,9\n");
    const Outcome us = Run({"convert", "--date-format", "M/d/yyyy", PathOf("us.csv"), "--records"});
    EXPECT_EQ(us.status, 0) << us.err;
    EXPECT_TRUE(Has(us.out, "\n2005-01-03,0,0,9.5,0\n2005-01-04,0,0,10.5,0\n")) << us.out;

    const Outcome de = Run(
        {"convert", PathOf("de.csv"), "--date-format=dd.MM.yyyy", "--decimal-separator", ","});
    EXPECT_EQ(de.status, 0) << de.err;
    EXPECT_TRUE(Has(de.out, "RecordCount=2\n"));

    // The C locale reads ISO dates only.
    const Outcome c = Run({"convert", PathOf("us.csv")});
    EXPECT_EQ(c.status, 1);
    EXPECT_TRUE(Has(c.out, "RecordCount=0\nValueColumns=0\n")) << c.out;
    // Nothing converted: standard error says so, as the windows do.
    EXPECT_EQ(c.err, "Dang! Can't digest source data from us.csv\n");

    WriteFile(PathOf("gap.csv"), "20050103,5,4,4.5,7\n20050104,,4,4.5,7\n");
    const Outcome gap = Run({"convert", PathOf("gap.csv")});
    EXPECT_EQ(gap.status, 1);
    EXPECT_EQ(gap.err, "Line 2 of gap.csv: 4 fields where 5 are needed.\n"
                       "Dang! Can't digest source data from gap.csv\n");
}

TEST_F(MarketDataCliTest, BadOptionsAndMissingFiles)
{
    EXPECT_EQ(Run({"convert", "x.csv", "--date-format", "d MMM yyyy"}).status, 2);
    EXPECT_EQ(Run({"convert", "x.csv", "--decimal-separator", "ab"}).status, 2);
    EXPECT_EQ(Run({"convert", "x.csv", "--frobnicate"}).status, 2);
    EXPECT_EQ(Run({"convert"}).status, 2);
    EXPECT_EQ(Run({"hv", PathOf("x.csv"), "--days", "many"}).status, 2);
    const Outcome missing = Run({"hv", PathOf("gone.csv")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(Has(missing.err, "gone.csv")) << missing.err;
}

TEST_F(MarketDataCliTest, HistoricalVolatility)
{
    const Outcome o = Run({"hv", DataFile("history-spy.csv")});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(Has(o.out, "\nDays=90\nLastClose=144.389999\nLastDate=2012-09-12\n")) << o.out;
    EXPECT_TRUE(o.out.rfind("Sigma=0.14", 0) == 0) << o.out;
    EXPECT_EQ(WorkFiles(), 0);  // hv removes its work file

    const Outcome clamped = Run({"hv", "--days", "1000", DataFile("history-gspc.csv")});
    EXPECT_TRUE(Has(clamped.out, "\nDays=401\n")) << clamped.out;

    WriteFile(PathOf("flat.csv"), "20050103,10\n20050104,10\n20050105,10\n");
    const Outcome flat = Run({"hv", PathOf("flat.csv")});
    EXPECT_EQ(flat.status, 1);
    EXPECT_TRUE(Has(flat.out, "Sigma=0\nDays=3\n")) << flat.out;

    // A FIFO is refused at once instead of waiting for a writer.
    ASSERT_EQ(::mkfifo(PathOf("pipe.csv").c_str(), 0600), 0);
    const Outcome pipe = Run({"hv", PathOf("pipe.csv")});
    EXPECT_EQ(pipe.status, 2);
    EXPECT_TRUE(Has(pipe.err, PathOf("pipe.csv") + ": it is not a regular file.")) << pipe.err;

    WriteFile(PathOf("words.csv"), "no,dates\nhere,at all\n");
    const Outcome none = Run({"hv", PathOf("words.csv")});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "Dang! Can't digest source data from words.csv\n");
}

TEST_F(MarketDataCliTest, RootsAndAnUnusableFileMovedAside)
{
    const std::string copy = PathOf("SPX.txt");
    std::filesystem::copy_file(DataFile("quotes-spx-2011-01-24.dat"), copy);
    const Outcome o = Run({"roots", copy});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "SPX-E\nSPXP-E\nSPXW-E\n");

    WriteFile(PathOf("BAD.txt"), "<html>Service unavailable</html>\r\n");
    const Outcome bad = Run({"roots", PathOf("BAD.txt")});
    EXPECT_EQ(bad.status, 1);
    const std::filesystem::path rejected = std::filesystem::path(PathOf("Rejected")) / "BAD.txt";
    EXPECT_EQ(bad.err, "No option prices available. The file was moved to " + rejected.string() + ".\n");
    EXPECT_FALSE(std::filesystem::exists(PathOf("BAD.txt")));
    EXPECT_TRUE(std::filesystem::exists(rejected));
}

TEST_F(MarketDataCliTest, QuotesOfOneExpiry)
{
    const Outcome o = Run({"quotes", DataFile("quotes-spx-2011-01-24.dat"), "--contract", "SPX-E", "--expiry",
                           "2011-02-19", "--strikes", "1050,1051,1055"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "UnderlyingSymbol=SPX\n"
                     "UnderlyingLast=1290.58997\n"
                     "UnderlyingNet=+7.24\n"
                     "QuoteDate=2011-01-24\n"
                     "QuoteTime=Jan 24 2011 @ 14:03 ET\n"
                     "strike,side,last,net,bid,ask,code\n"
                     "1050,call,234.5,6.05000019,238.199997,241.899994,SPX B\n"
                     "1050,put,0.75,-0.300000012,0.699999988,0.850000024,SPX N\n"
                     "1051,call,0,0,0,0,\n"
                     "1051,put,0,0,0,0,\n"
                     "1055,call,0,0,233.199997,237,SPX B\n"
                     "1055,put,0.649999976,0,0.349999994,1.20000005,SPX N\n");

    EXPECT_EQ(Run({"quotes", DataFile("quotes-spx-2011-01-24.dat"), "--contract", "SPX-E"}).status, 2);
    EXPECT_EQ(Run({"quotes", DataFile("quotes-spx-2011-01-24.dat"), "--contract", "SPX-E", "--expiry",
                   "2011-02-30", "--strikes", "1050"})
                  .status,
              2);
    // Prices no market gives stay out of the values, and are counted.
    WriteFile(
        PathOf("ODD.txt"),
        "SPX (S&P 500 INDEX),1290.59,+7.24,\r\nJan 24 2011 @ 14:03 ET,\r\nCalls,\r\n"
        "11 Feb 1050.00 (SPX1119B1050-E),3.4e38,0,-1,2,0,0,11 Feb 1050.00 (SPX1119N1050-E),1,0,3,2,0,0,\r\n"
        "11 Feb 1100.00 (SPX1119B1100-E),1,0,0.5,0.6,0,0,11 Feb 1100.00 "
        "(SPX1119N1100-E),1,0,0.7,0.8,0,0,\r\n");
    const Outcome odd = Run({"quotes", PathOf("ODD.txt"), "--contract", "SPX-E", "--expiry", "2011-02-19",
                             "--strikes", "1050,1100"});
    EXPECT_EQ(odd.status, 0) << odd.err;
    EXPECT_EQ(odd.err,
              "2 quotes of " + PathOf("ODD.txt")
                  + " were set aside and left out of the grid: a negative price, a price above 1000000 or "
                    "a bid above its ask.\n");
    EXPECT_TRUE(
        Has(odd.out, "1050,call,0,0,0,0,SPX B\n1050,put,0,0,0,0,SPX N\n1100,call,1,0,0.5,0.600000024"))
        << odd.out;

    const Outcome gone = Run(
        {"quotes", PathOf("GONE.txt"), "--contract", "SPX", "--expiry", "2011-02-19", "--strikes", "1050"});
    EXPECT_EQ(gone.status, 1);
    EXPECT_TRUE(Has(gone.err, "No CBOE option data available.\n")) << gone.err;
}

TEST_F(MarketDataCliTest, QuotesOfADelayedQuotesCsv)
{
    const std::string spx = DataFile("quotes-spx-2022-06-11.csv");
    const Outcome roots = Run({"roots", spx});
    EXPECT_EQ(roots.status, 0) << roots.err;
    EXPECT_EQ(roots.out, "SPX\nSPXW\n");

    // The monthly and the weekly of one day are two roots, never mixed.
    const auto load = [&](const std::string& root) {
        return Run({"quotes", spx, "--contract", root, "--expiry", "2022-06-17", "--strikes", "3900"});
    };
    const Outcome monthly = load("SPX"), weekly = load("SPXW");
    ASSERT_EQ(monthly.status, 0) << monthly.err;
    ASSERT_EQ(weekly.status, 0) << weekly.err;
    EXPECT_TRUE(Has(monthly.out, "Layout=delayed-quotes CSV\n")) << monthly.out;
    EXPECT_TRUE(Has(monthly.out, "QuoteDate=2022-06-11\n")) << monthly.out;
    EXPECT_TRUE(Has(monthly.out, ",SPX220617C03900000\n")) << monthly.out;
    EXPECT_TRUE(Has(weekly.out, ",SPXW220617C03900000\n")) << weekly.out;
    EXPECT_FALSE(Has(monthly.out, "SPXW")) << monthly.out;

    // The expiry before the quote date: nothing loaded, said once.
    const Outcome expired = Run(
        {"quotes", spx, "--contract", "SPXW", "--expiry", "2022-06-10", "--strikes", "3900"});
    EXPECT_EQ(expired.status, 0) << expired.err;
    EXPECT_EQ(expired.err, "1 expiry before the quote date was left out.\n");
    EXPECT_TRUE(Has(expired.out, "3900,call,0,0,0,0,\n")) << expired.out;
}
