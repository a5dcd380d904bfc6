// kestrava-calc chart and print, run as a user runs them on a machine
// without a display.

#include <cstdio>
#include <cstdlib>

#include "cli/calc_runner.h"

namespace kestrava::clitest {
namespace {

// Width and height from a PNG file's header; 0 x 0 when it is no PNG.
std::pair<int, int> PngSize(const fs::path& path)
{
    const std::string bytes = ReadFile(path);
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0)
        return {0, 0};
    const auto word = [&bytes](std::size_t at) {
        int value = 0;
        for (std::size_t i = at; i < at + 4; ++i)
            value = value * 256 + static_cast<unsigned char>(bytes[i]);
        return value;
    };
    return {word(16), word(20)};
}

std::string Value(const std::string& out, const std::string& key)
{
    const std::size_t at = out.find(key + "=");
    if (at == std::string::npos)
        return "<missing>";
    const std::size_t start = at + key.size() + 1;
    return out.substr(start, out.find('\n', start) - start);
}

// A poppler tool's output for a PDF file.
std::string Poppler(const std::string& tool, const std::string& pdf)
{
    std::string text;
    if (std::FILE* pipe = ::popen((tool + " " + Quoted(pdf) + (tool == "pdftotext" ? " -" : "")).c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            text.append(buffer, n);
        ::pclose(pipe);
    }
    return text;
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
        // No display of any kind: the commands pick the offscreen platform.
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
    }

    const std::vector<std::string> iso_{"--date-format", "yyyy-MM-dd", "--decimal-separator", "."};

    Outcome Chart(const std::string& file, std::vector<std::string> options)
    {
        std::vector<std::string> args{"chart", file, "--out", PathOf("chart.png")};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), iso_.begin(), iso_.end());
        return Run(args);
    }
};

TEST_F(ChartCliTest, ChartsEachRealHistory)
{
    const struct {
        const char* file;
        const char* lastDate;
    } histories[] = {{"history-spy.csv", "2012-09-12"}, {"history-aapl.csv", "2012-09-12"},
                     {"history-gspc.csv", "2016-11-02"}};
    for (const auto& history : histories) {
        SCOPED_TRACE(history.file);
        const Outcome outcome = Chart(std::string(KESTRAVA_TEST_DATA_DIR "/") + history.file, {});
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(PngSize(PathOf("chart.png")), std::make_pair(800, 400));
        EXPECT_EQ(Value(outcome.out, "DataKind"), "3");
        EXPECT_EQ(std::stoi(Value(outcome.out, "VolatilityValues")), std::stoi(Value(outcome.out, "Days")) - 1);
        const std::string title = Value(outcome.out, "Title");
        EXPECT_EQ(title.rfind("  90-Day Volatility Plot:", 0), 0u) << title;
        EXPECT_EQ(title.substr(title.size() - 10), history.lastDate);
    }
}

TEST_F(ChartCliTest, SizeAndWindow)
{
    const std::string spy = KESTRAVA_TEST_DATA_DIR "/history-spy.csv";
    Outcome outcome = Chart(spy, {"--width", "1200", "--height", "300", "--days", "20"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(PngSize(PathOf("chart.png")), std::make_pair(1200, 300));
    EXPECT_EQ(Value(outcome.out, "Title").substr(0, 8), "  20-Day");
    // As in the page's box: outside 10 to 250 days the window is 90.
    outcome = Chart(spy, {"--days", "300"});
    EXPECT_EQ(Value(outcome.out, "Title").substr(0, 8), "  90-Day");
}

TEST_F(ChartCliTest, TooFewDaysDrawThePricesAndSaySo)
{
    std::string text;
    for (int day = 1; day <= 20; ++day)
        text += "201201" + std::string(day < 10 ? "0" : "") + std::to_string(day) + ",1" + std::to_string(day) + ".5\n";
    WriteFile(PathOf("short.csv"), text);
    const Outcome outcome = Chart(PathOf("short.csv"), {});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(outcome.err.find("We don't have enough data to chart volatility."), std::string::npos);
    EXPECT_EQ(Value(outcome.out, "DataKind"), "1");
    EXPECT_EQ(Value(outcome.out, "VolatilityValues"), "0");
    EXPECT_EQ(Value(outcome.out, "Title"), "");
}

TEST_F(ChartCliTest, NothingToDrawExitsWithOne)
{
    Outcome outcome = Chart(KESTRAVA_TEST_DATA_DIR "/history-spy.csv", {"--width", "100"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("Dang! Error digesting source data"), std::string::npos);
    EXPECT_FALSE(fs::exists(PathOf("chart.png")));

    WriteFile(PathOf("junk.csv"), "no prices here\n");
    outcome = Chart(PathOf("junk.csv"), {});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("Dang! Can't digest source data from junk.csv"), std::string::npos);

    EXPECT_EQ(Run({"chart", PathOf("junk.csv")}).status, 2);  // no --out
    EXPECT_EQ(Chart(PathOf("junk.csv"), {"--width", "0"}).status, 2);
}

TEST_F(ChartCliTest, PrintsEveryExpiryIntoOnePdf)
{
    const std::string pdf = PathOf("sample.pdf");
    const Outcome outcome = Run({"print", KESTRAVA_SAMPLES_DIR "/sample.ops", "--pdf", pdf, "--skew", "bid",
                                 "--date-format", "yyyy-MM-dd"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(Value(outcome.out, "Expiries"), "3");
    const std::string info = Poppler("pdfinfo", pdf);
    EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
    EXPECT_NE(info.find("Title:           SMPL Option Grid"), std::string::npos) << info;
    const std::string text = Poppler("pdftotext", pdf);
    EXPECT_EQ(Count(text, " Options on SMPL"), 3u) << text;
    EXPECT_EQ(Count(text, "Modeled using Bid Implied Volatilities"), 3u);
    EXPECT_EQ(Count(text, "Model: American/Binomial/Equity"), 3u);
}

TEST_F(ChartCliTest, APdfThatCannotBeWrittenIsAnError)
{
    const std::string pdf = PathOf("missing-folder/out.pdf");
    const Outcome outcome = Run({"print", KESTRAVA_SAMPLES_DIR "/sample.ops", "--pdf", pdf});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_NE(outcome.err.find("Cannot write the PDF file " + pdf), std::string::npos) << outcome.err;
}

}  // namespace
}  // namespace kestrava::clitest
