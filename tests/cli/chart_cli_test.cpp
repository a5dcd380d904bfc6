// kestrava-calc chart and print, run as a user runs them on a machine
// without a display.

#include <cstdio>
#include <cstdlib>

#include "cli/calc_runner.h"

namespace kestrava::clitest {
namespace {

std::string Value(const std::string& out, const std::string& key)
{
    const std::size_t at = out.find(key + "=");
    return at == std::string::npos
               ? "<missing>"
               : out.substr(at + key.size() + 1, out.find('\n', at) - at - key.size() - 1);
}

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class ChartCliTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        HideDisplay();
    }

    Outcome Chart(const std::string& file, std::vector<std::string> options = {})
    {
        std::vector<std::string> args{
            "chart", file, "--out", PathOf("chart.png"), "--date-format", "yyyy-MM-dd", "--decimal-separator",
            "."};
        args.insert(args.end(), options.begin(), options.end());
        return Run(args);
    }

    // A poppler tool's output for a PDF file.
    std::string Poppler(const std::string& tool, const std::string& pdf, const std::string& more = "") const
    {
        const fs::path out = dir_ / "poppler.txt";
        std::system((tool + " " + Quoted(pdf) + more + " >" + Quoted(out.string())).c_str());
        return ReadFile(out);
    }
};

TEST_F(ChartCliTest, ChartsARealHistory)
{
    const std::string spy = KESTRAVA_TEST_DATA_DIR "/history-spy.csv";
    Outcome outcome = Chart(spy);
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(PngSize(PathOf("chart.png")), std::make_pair(800, 400));
    EXPECT_EQ(Value(outcome.out, "DataKind"), "3");
    EXPECT_EQ(std::stoi(Value(outcome.out, "VolatilityValues")), std::stoi(Value(outcome.out, "Days")) - 1);
    EXPECT_EQ(Value(outcome.out, "Title"),
              "  90-Day Volatility Plot:  14.34% thru Close of 144.39 on 2012-09-12");

    outcome = Chart(spy, {"--width", "1200", "--height", "300", "--days", "20"});
    EXPECT_EQ(PngSize(PathOf("chart.png")), std::make_pair(1200, 300));
    EXPECT_EQ(Value(outcome.out, "Title").substr(0, 8), "  20-Day");
    // As in the page's box: 10 to 250 days are taken, outside them the window is 90.
    for (const auto& [days, title] : {std::pair{"9", "  90-Day"}, std::pair{"10", "  10-Day"},
                                      std::pair{"250", " 250-Day"}, std::pair{"251", "  90-Day"}})
        EXPECT_EQ(Value(Chart(spy, {"--days", days}).out, "Title").substr(0, 8), title) << days;
}

TEST_F(ChartCliTest, FewDaysOrNone)
{
    std::string text;
    for (int day = 10; day < 30; ++day)
        text += "201201" + std::to_string(day) + ",1" + std::to_string(day) + ".5\n";
    WriteFile(PathOf("short.csv"), text);
    Outcome outcome = Chart(PathOf("short.csv"));
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(outcome.err.find("We don't have enough data to chart volatility."), std::string::npos);
    EXPECT_EQ(Value(outcome.out, "DataKind"), "1");
    EXPECT_EQ(Value(outcome.out, "VolatilityValues"), "0");
    EXPECT_EQ(Value(outcome.out, "Title"), "");

    outcome = Chart(PathOf("short.csv"), {"--width", "100"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("Dang! Error digesting source data"), std::string::npos);
    WriteFile(PathOf("junk.csv"), "no prices here\n");
    outcome = Chart(PathOf("junk.csv"));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("Dang! Can't digest source data from junk.csv"), std::string::npos);
    EXPECT_EQ(Run({"chart", PathOf("short.csv")}).status, 2);  // no --out
}

TEST_F(ChartCliTest, PrintsEveryExpiryIntoOnePdf)
{
    const std::string pdf = PathOf("sample.pdf");
    const Outcome outcome = Run({"print", KESTRAVA_SAMPLES_DIR "/sample.ops", "--pdf", pdf, "--skew", "bid",
                                 "--date-format", "yyyy-MM-dd"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const std::string info = Poppler("pdfinfo", pdf);
    EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
    EXPECT_NE(info.find("Title:           SMPL Option Grid"), std::string::npos) << info;
    const std::string text = Poppler("pdftotext", pdf, " -");
    EXPECT_EQ(Count(text, " Options on SMPL"), 3u) << text;
    EXPECT_EQ(Count(text, "Modeled using Bid Implied Volatilities"), 3u);

    const std::string nowhere = PathOf("missing-folder/out.pdf");
    const Outcome failed = Run({"print", KESTRAVA_SAMPLES_DIR "/sample.ops", "--pdf", nowhere});
    EXPECT_EQ(failed.status, 2);
    EXPECT_NE(failed.err.find("Cannot write the PDF file " + nowhere), std::string::npos) << failed.err;

    // A device that takes no byte, as a full disk: the run fails and says so.
    const Outcome full = Run({"print", KESTRAVA_SAMPLES_DIR "/sample.ops", "--pdf", "/dev/full"});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("The PDF file /dev/full was not written whole"), std::string::npos) << full.err;
}

}  // namespace
}  // namespace kestrava::clitest
