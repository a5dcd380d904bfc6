#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include "common/dates.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/PriceWorkFile.h"
#include "marketdata/SigmaObj.h"
#include "marketdata/testsupport.h"

using namespace kestrava;
using kestrava::testing::kIsoLocale;
using kestrava::testing::TestDataFile;

namespace {

const char* const kVolatilityProblem = "There seems to be a problem figuring annual volatility.";

// Population standard deviation of the daily log returns in double
// precision and two passes, annualised with 250 days.
double ReferenceSigma(const std::vector<double>& closes)
{
    std::vector<double> returns;
    for (std::size_t i = 1; i < closes.size(); ++i)
        returns.push_back(std::log(closes[i] / closes[i - 1]));
    double mean = 0;
    for (double r : returns)
        mean += r;
    mean /= static_cast<double>(returns.size());
    double squares = 0;
    for (double r : returns)
        squares += (r - mean) * (r - mean);
    return std::sqrt(250 * squares / static_cast<double>(returns.size()));
}

class SigmaTest : public kestrava::testing::ScratchTest {
protected:
    std::string WorkFile(const std::vector<double>& closes, const std::string& name = "w.TEM")
    {
        const std::string path = (dir_ / name).string();
        PriceWorkFileWriter writer(path);
        for (std::size_t i = 0; i < closes.size(); ++i) {
            TPriceRecord record;
            record.Date = EncodeDate(2005, 1, 3) + static_cast<double>(i);
            record.Close = static_cast<float>(closes[i]);
            writer.Append(record);
        }
        writer.Close();
        return path;
    }

    TSigmaObj Run(const std::string& path, int days)
    {
        TSigmaObj sigma(notifier_);
        sigma.FileName = path;
        sigma.Days = days;
        sigma.Calculate();
        return sigma;
    }
};

std::vector<double> Wiggle(int count)
{
    std::vector<double> closes;
    for (int i = 0; i < count; ++i)
        closes.push_back(100 + 10 * std::sin(i * 0.7) + (i % 3));
    return closes;
}

}  // namespace

TEST_F(SigmaTest, AlternatingClosesGiveTheWorkedFigure)
{
    const TSigmaObj sigma = Run(WorkFile({100, 110, 100}), 3);
    EXPECT_NEAR(sigma.Sigma, std::sqrt(250.0) * std::log(1.1), 1e-5);
    EXPECT_NEAR(sigma.Sigma, 1.507, 5e-4);
    EXPECT_EQ(sigma.Days, 3);
    EXPECT_EQ(sigma.LastClose, 100);
    EXPECT_EQ(sigma.LastDate, EncodeDate(2005, 1, 5));
}

TEST_F(SigmaTest, DaysBeyondTheFileUseTheWholeFile)
{
    const std::vector<double> closes = Wiggle(250);
    const std::string path = WorkFile(closes);
    const TSigmaObj exact = Run(path, 250);
    const TSigmaObj more = Run(path, 300);
    EXPECT_EQ(exact.Sigma, more.Sigma);
    EXPECT_EQ(more.Days, 250);
    EXPECT_NEAR(exact.Sigma, ReferenceSigma(closes), 1e-5 * ReferenceSigma(closes));
}

TEST_F(SigmaTest, OnlyTheNewestClosesCount)
{
    std::vector<double> closes = Wiggle(200);
    closes.insert(closes.end(), 90, 50.0);
    const TSigmaObj sigma = Run(WorkFile(closes), 90);
    EXPECT_EQ(sigma.Sigma, 0);  // constant closes: no result
    EXPECT_EQ(sigma.LastClose, 50);
    EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(SigmaTest, DaysAbove401AreClamped)
{
    const std::vector<double> closes = Wiggle(500);
    const TSigmaObj sigma = Run(WorkFile(closes), 1000);
    EXPECT_EQ(sigma.Days, 401);
    const std::vector<double> newest(closes.end() - 401, closes.end());
    EXPECT_NEAR(sigma.Sigma, ReferenceSigma(newest), 1e-5 * ReferenceSigma(newest));
}

TEST_F(SigmaTest, TooFewRecordsGiveNoResultQuietly)
{
    for (int count : {0, 1}) {
        const TSigmaObj sigma = Run(WorkFile(Wiggle(count)), 90);
        EXPECT_EQ(sigma.Sigma, 0);
        EXPECT_EQ(sigma.Days, count);
    }
    EXPECT_EQ(Run(WorkFile(Wiggle(10)), 1).Sigma, 0);
    EXPECT_EQ(Run(WorkFile(Wiggle(10)), -5).Sigma, 0);
    EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(SigmaTest, ZeroOrNegativeCloseGivesNoResultWithTheMessage)
{
    for (double bad : {0.0, -3.0, std::nan("")}) {
        notifier_.messages.clear();
        std::vector<double> closes = Wiggle(20);
        closes[10] = bad;
        TSigmaObj sigma(notifier_);
        sigma.FileName = WorkFile(closes);
        sigma.Days = 20;
        sigma.Calculate();
        EXPECT_EQ(sigma.Sigma, 0);
        EXPECT_EQ(sigma.LastDate, 0);  // left as it was
        EXPECT_EQ(notifier_.messages, std::vector<std::string>{kVolatilityProblem});
    }
    // Outside the window a bad close does not matter.
    std::vector<double> closes = Wiggle(40);
    closes[0] = 0;
    EXPECT_GT(Run(WorkFile(closes), 20).Sigma, 0);
}

TEST_F(SigmaTest, MissingFileThrowsAndPartialRecordIsIgnored)
{
    TSigmaObj sigma(notifier_);
    sigma.FileName = (dir_ / "gone.TEM").string();
    sigma.Days = 90;
    EXPECT_THROW(sigma.Calculate(), MarketDataError);

    // A directory is no work file, although it opens on some systems.
    sigma.FileName = dir_.string();
    notifier_.messages.clear();
    EXPECT_THROW(sigma.Calculate(), MarketDataError);
    EXPECT_TRUE(notifier_.messages.empty());
    EXPECT_THROW(ReadPriceRecords(dir_), MarketDataError);

    const std::string path = WorkFile({100, 110, 100});
    std::ofstream(path, std::ios::binary | std::ios::app) << "garbage";
    EXPECT_NEAR(Run(path, 90).Sigma, 1.507, 5e-4);
}

TEST_F(SigmaTest, TwoFieldFileGivesTheSameSigmaAsAFullFile)
{
    const std::vector<double> closes = Wiggle(30);
    std::ostringstream full, closesOnly;
    full << "Date,Open,High,Low,Close,Volume\n";
    for (std::size_t i = 0; i < closes.size(); ++i) {
        const CivilDate d = DecodeDate(EncodeDate(2005, 1, 3) + static_cast<double>(i));
        char date[16];
        std::snprintf(date, sizeof date, "%04d%02d%02d", d.year, d.month, d.day);
        full << date << ",1,2,0.5," << closes[i] << ",1000\n";
        closesOnly << date << "," << closes[i] << "\n";
    }
    float sigmas[2] = {};
    int i = 0;
    for (const std::string& text : {full.str(), closesOnly.str()}) {
        TAsciiFileReader reader(notifier_, kIsoLocale, dir_);
        reader.Open(Write("prices" + std::to_string(i) + ".csv", text));
        ASSERT_EQ(reader.RecordCount, 30);
        sigmas[i++] = Run(reader.DataFileName, 30).Sigma;
    }
    EXPECT_GT(sigmas[0], 0);
    EXPECT_EQ(sigmas[0], sigmas[1]);
}

TEST_F(SigmaTest, RealHistoriesMatchATwoPassReference)
{
    struct Case {
        const char* file;
        int days;
    };
    for (const Case& c :
         {Case{"history-spy.csv", 90}, Case{"history-gspc.csv", 250}, Case{"history-aapl.csv", 400}}) {
        SCOPED_TRACE(c.file);
        TAsciiFileReader reader(notifier_, kIsoLocale, dir_);
        reader.Open(TestDataFile(c.file).string());
        ASSERT_GT(reader.RecordCount, c.days);
        const std::vector<TPriceRecord> records = ReadPriceRecords(reader.DataFileName);
        std::vector<double> closes;
        for (auto it = records.end() - c.days; it != records.end(); ++it)
            closes.push_back(it->Close);
        const TSigmaObj sigma = Run(reader.DataFileName, c.days);
        // Single precision and the running update stay within 1e-4 of the
        // double two-pass figure.
        EXPECT_NEAR(sigma.Sigma, ReferenceSigma(closes), 1e-4 * ReferenceSigma(closes));
        EXPECT_EQ(sigma.LastDate, records.back().Date);
    }
    EXPECT_TRUE(notifier_.messages.empty());
}
