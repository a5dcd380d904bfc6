// kestrava-calc import-history in a home folder of its own: the price file it
// writes, where and in which layout, what it says, and the older price file
// it keeps when a history is refused.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/calc_runner.h"

using namespace kestrava::clitest;

namespace {

// Three days as today's services write them: oldest first, Adj Close before
// a volume with a decimal point.
const std::string kTodays = "Date,Open,High,Low,Close,Adj Close,Volume\n"
                            "2024-02-29,169,169.5,167,168.4,167.31,132540.0\n"
                            "2024-03-01,168.2,170.4,167.8,170.15,169.04,61000000.0\n"
                            "2024-03-05,171.5,173.25,170.1,172,170.93,4006500.0\n";
const std::string kOlder = "Date,Open,High,Low,Close,Volume\r\n2012-02-01,4,5,3,4,5\r\n";

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class HistoryCliTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        fs::create_directories(Home() / ".config" / "Tovanek");
        fs::create_directories(dir_ / "tmp");
        data_ = Home() / "Documents" / "Tovanek" / "Kestrava27" / "Data";
    }

    void WriteSettings(const std::string& text) const
    {
        WriteFile(Home() / ".config" / "Tovanek" / "Kestrava27.conf", text);
    }

    // Runs kestrava-calc with the C locale and the test's own temporary folder.
    Outcome Calc(const std::vector<std::string>& args) const
    {
        const ScopedEnvironment places({{"TMPDIR", dir_ / "tmp"}, {"LC_ALL", "C"}});
        return Run(args);
    }

    // The names in the price folder.
    std::vector<std::string> PriceFolderNames(const fs::path& folder) const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path data_;
};

}  // namespace

TEST_F(HistoryCliTest, TodaysLayoutBecomesThePriceFileInTheProgramsLayout)
{
    WriteFile(dir_ / "spy-daily.csv", kTodays);
    const Outcome o = Calc({"import-history", PathOf("spy-daily.csv"), "SPY"});
    ASSERT_EQ(o.status, 0) << o.err;
    const fs::path priceFile = data_ / "SPY.csv";
    EXPECT_EQ(o.out,
              "PriceFile=" + priceFile.string()
                  + "\nDays=3\nLayout=Date,Open,High,Low,Close,Adj Close,Volume (Adj Close left aside), "
                    "dates year-month-day, oldest day first\n");
    EXPECT_EQ(o.err,
              "Imported 3 days of spy-daily.csv into " + priceFile.string()
                  + ", read as Date,Open,High,Low,Close,Adj Close,Volume (Adj Close left aside), dates "
                    "year-month-day, oldest day first.\n");
    // Newest first, the locale's dates, whole volumes: the price reader
    // takes the real volume, not the adjusted close.
    EXPECT_EQ(ReadFile(priceFile), "Date,Open,High,Low,Close,Volume\r\n"
                                   "2024-03-05,171.5,173.25,170.1,172,4006500\r\n"
                                   "2024-03-01,168.2,170.4,167.8,170.15,61000000\r\n"
                                   "2024-02-29,169,169.5,167,168.4,132540\r\n");
    const Outcome records = Calc({"convert", priceFile.string(), "--records"});
    EXPECT_TRUE(Has(records.out, "\n2024-03-05,173.25,170.100006,172,4006500\n")) << records.out;

    // The program's date format, into the folder the settings name.
    WriteSettings("[Dirs]\nAsciiDataDir=" + (dir_ / "prices").string()
                  + "\n[Servers]\nDateFormat=dd.MM.yyyy\n");
    fs::create_directories(dir_ / "prices");
    const Outcome elsewhere = Calc({"import-history", PathOf("spy-daily.csv"), "^GSPC"});
    ASSERT_EQ(elsewhere.status, 0) << elsewhere.err;
    EXPECT_EQ(ReadFile(dir_ / "prices" / "^GSPC.csv").substr(0, 52),
              "Date,Open,High,Low,Close,Volume\r\n05.03.2024,171.5,17");
}

TEST_F(HistoryCliTest, ARealHistoryInTheOldLayoutImportsWhole)
{
    const Outcome o = Calc(
        {"import-history", std::string(KESTRAVA_TEST_DATA_DIR) + "/history-gspc.csv", "GSPC"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(Has(o.out,
                    "\nDays=4237\nLayout=Date,Open,High,Low,Close,Volume,Adj Close (Adj Close left aside), "
                    "dates year-month-day, newest day first\n"))
        << o.out;
    EXPECT_TRUE(Has(ReadFile(data_ / "GSPC.csv"), "\r\n2012-03-13,1371.920044,1396.130005,1371.920044,"
                                                  "1395.949951,4386470000\r\n"));
}

TEST_F(HistoryCliTest, ARefusedHistoryKeepsTheOlderPriceFile)
{
    fs::create_directories(data_);
    WriteFile(data_ / "SPY.csv", kOlder);
    struct Case {
        const char* name;
        std::string content;
        std::string says;
    };
    const Case cases[] = {
        {"high below low", kTodays + "2024-03-06,1,2,3,2,2,5\n",
         "line 5 of bad.csv: the high 2 is below the low 3."},
        {"a fractional volume", kTodays + "2024-03-06,1,2,1,2,2,5.5\n",
         "line 5 of bad.csv: the volume \"5.5\" is no whole number."},
        {"a day from the future", kTodays + "2999-01-04,1,2,1,2,2,5\n",
         "line 5 of bad.csv: its day 2999-01-04 is after today"},
        {"the days out of order", kTodays + "2024-03-04,1,2,1,2,2,5\n",
         "line 5 of bad.csv: its day comes before the day above it, where the oldest day comes first."},
        {"no title", "2024-03-05,1,2,1,2,2,5\n", "bad.csv has no title line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir_ / "bad.csv", c.content);
        const Outcome o = Calc({"import-history", PathOf("bad.csv"), "SPY"});
        EXPECT_EQ(o.status, 1);
        EXPECT_TRUE(Has(o.err, "No daily prices were imported into " + (data_ / "SPY.csv").string()
                                   + ", which was left as it was: " + c.says))
            << o.err;
        EXPECT_TRUE(o.out.empty()) << o.out;
        EXPECT_EQ(ReadFile(data_ / "SPY.csv"), kOlder);
        // Nothing half-written stays beside it.
        EXPECT_EQ(PriceFolderNames(data_), std::vector<std::string>{"SPY.csv"});
    }
    const Outcome missing = Calc({"import-history", PathOf("gone.csv"), "SPY"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Has(missing.err, "Cannot open " + PathOf("gone.csv"))) << missing.err;
    EXPECT_EQ(ReadFile(data_ / "SPY.csv"), kOlder);
}

TEST_F(HistoryCliTest, BadUsage)
{
    WriteFile(dir_ / "spy-daily.csv", kTodays);
    const Outcome up = Calc({"import-history", PathOf("spy-daily.csv"), "../up"});
    EXPECT_EQ(up.status, 2);
    EXPECT_TRUE(Has(up.err, "The symbol \"../up\" cannot be used as a file name")) << up.err;
    EXPECT_FALSE(fs::exists(data_.parent_path() / "up.csv"));
    EXPECT_EQ(Calc({"import-history", PathOf("spy-daily.csv")}).status, 2);
    EXPECT_EQ(Calc({"import-history", PathOf("spy-daily.csv"), "SPY", "--force"}).status, 2);
    EXPECT_EQ(Calc({"import-history", PathOf("spy-daily.csv"), "SPY", "extra"}).status, 2);
}
