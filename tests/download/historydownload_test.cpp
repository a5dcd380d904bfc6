// The daily history download against the loopback history server, and the
// conversion of its replies into price files that the price file reader
// takes back.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "common/dates.h"
#include "download/loopback_servers.h"
#include "downloadcore/Downloads.h"
#include "downloadcore/HistoryConvert.h"
#include "downloadcore/HistoryDownload.h"
#include "downloadcore/HTTPer.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/testsupport.h"

using namespace kestrava;
using kestrava::testing::kUsLocale;
using kestrava::testing::TestDataFile;
using kestrava::testsupport::HistoryServer;
using kestrava::testsupport::Misbehaviour;

namespace {

namespace fs = std::filesystem;

const std::string kTitle = "Date,Open,High,Low,Close,Volume,Adj Close\n";
const std::string kPriceTitle = "Date,Open,High,Low,Close,Volume\r\n";
// Day-first dates with a decimal point, as in Switzerland: the price reader
// reads the converted numbers, which keep the reply's points.
const LocaleInfo kSwissLocale = LocaleInfo::FromPattern("dd.MM.yyyy", '.');
const std::string kOlder = "Date,Open,High,Low,Close,Volume\r\n01.02.2012,4,5,3,4,5\r\n";
const std::string kTwoDays = kTitle + "2012-09-12,144.39,144.55,143.90,144.39,87607000,144.39\n"
                             + "2012-09-11,143.60,144.37,143.56,143.91,4248580000,143.91\n";

class HistoryDownloadTest : public kestrava::testing::ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        setup.HistoryServer = server.Base();
        setup.DataDir = dir_ / "data";
        setup.TempDir = dir_ / "temp";
        setup.PriceDir = dir_ / "prices";
        setup.Locale = kSwissLocale;
        setup.Today = EncodeDate(2024, 3, 1);
        setup.TimeoutMs = 300;
        for (const fs::path& folder : {setup.DataDir, setup.TempDir, setup.PriceDir, dir_ / "work"})
            fs::create_directories(folder);
    }

    DownloadOutcome Download(const std::vector<std::string>& symbols)
    {
        return DownloadHistory(http, setup, symbols, notifier_, display);
    }

    std::string PriceFile(const std::string& name) const { return ReadAll((setup.PriceDir / name).string()); }
    std::string Rejected(const std::string& name) const
    {
        return ReadAll((setup.DataDir / "Rejected" / name).string());
    }

    HistoryServer server;
    HTTPer http;
    DownloadSetup setup;
    DownloadDisplay display;
};

}  // namespace

TEST_F(HistoryDownloadTest, QueryOfTwoYearsUpToTodayWithTheSymbolEncoded)
{
    // 730 days before 1 March 2024 is 2 March 2022, because of 29 February.
    const std::string query = HistoryQuery("^GSPC", EncodeDate(2024, 3, 1));
    EXPECT_EQ(query, "s=^gspc&d=2&e=1&f=2024&g=d&a=2&b=2&c=2022&ignore=.csv");

    // The server, which checks every key, takes it and serves the table.
    server.SetCsv("^gspc", kTitle + "2024-02-29,1,2,1,2,5,6\n");
    EXPECT_EQ(Download({"^GSPC"}).stored, 1);
    EXPECT_EQ(server.Requests(), std::vector<std::string>{"GET /table.csv?" + query});
    EXPECT_EQ(server.LastHeaders("/table.csv").find("Referer")->second, server.Base() + "/");
    EXPECT_EQ(PriceFile("^GSPC.csv"), kPriceTitle + "29.02.2024,1,2,1,2,5\r\n");

    // A symbol is one value of the query whatever it holds: its own prices
    // arrive under its own name.
    const std::string symbols[] = {"a#b", "a&s=b", "a b+c%"};
    for (const std::string& symbol : symbols) {
        server.SetCsv(symbol, kTitle + "2024-02-28," + std::to_string(symbol.size()) + ",9,1,2,5,6\n");
        server.SetCsv(symbol.substr(0, 1), kTitle + "2024-02-28,1,1,1,1,1,1\n");
        EXPECT_EQ(Download({symbol}).stored, 1) << symbol;
        EXPECT_EQ(PriceFile(symbol + ".csv"),
                  kPriceTitle + "28.02.2024," + std::to_string(symbol.size()) + ",9,1,2,5\r\n")
            << symbol;
    }
    EXPECT_EQ(HistoryQuery("a&s=b", EncodeDate(2024, 3, 1)).substr(0, 12), "s=a%26s%3Db&");
}

TEST_F(HistoryDownloadTest, RealRepliesBecomePriceFilesThePriceReaderTakes)
{
    server.SetCsv("spy", ReadAll(TestDataFile("history-spy.csv").string()));
    server.SetCsv("^gspc", ReadAll(TestDataFile("history-gspc.csv").string()));
    server.SetCsv("a:b:c", kTwoDays);
    const DownloadOutcome outcome = Download({"^GSPC", "SPY", "A:B:C"});
    EXPECT_EQ(outcome.stored, 3);
    EXPECT_TRUE(notifier_.messages.empty());
    // No reply outlives its download.
    EXPECT_TRUE(fs::is_empty(setup.TempDir));
    // Only the first colon becomes a "-".
    EXPECT_TRUE(fs::exists(setup.PriceDir / "A-B:C.csv"));

    // The locale's dates, the reply's numbers as they stand.
    EXPECT_EQ(
        PriceFile("SPY.csv").rfind(kPriceTitle + "12.09.2012,144.39,144.55,143.90,144.39,87607000\r\n", 0),
        0u);
    for (const char* name : {"SPY.csv", "^GSPC.csv"}) {
        TAsciiFileReader reader(notifier_, kSwissLocale, dir_);
        reader.Open((setup.PriceDir / name).string());
        const std::vector<TPriceRecord> records = ReadPriceRecords(reader.DataFileName);
        ASSERT_EQ(records.size(), std::string(name) == "SPY.csv" ? 3175u : 4237u) << name;
        // The reader turns the newest-first file round.
        EXPECT_LT(records.front().Date, records.back().Date);
        if (std::string(name) == "^GSPC.csv") {
            EXPECT_FLOAT_EQ(records.back().Close, 2097.939941f);
        }
    }
}

namespace {

// The old service's reply laid out again: the columns in the order named,
// Adj Close at the place of "A", oldest day first when asked, volumes with a
// decimal point, dates month/day/year when asked.
std::string Relaid(const std::string& reply, const std::string& title, bool oldestFirst, bool monthFirst)
{
    std::istringstream lines(reply);
    std::string line;
    std::getline(lines, line);
    std::vector<std::string> rows;
    while (std::getline(lines, line)) {
        std::vector<std::string> f;  // Date,Open,High,Low,Close,Volume,Adj Close
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');)
            f.push_back(cell);
        if (monthFirst)
            f[0] = std::to_string(std::stoi(f[0].substr(5, 2))) + "/"
                   + std::to_string(std::stoi(f[0].substr(8, 2))) + "/" + f[0].substr(0, 4);
        f[5] += ".0";
        std::string row;
        for (std::size_t i = 0; i < title.size(); ++i)
            row += std::string(i ? "," : "") + f[std::string("DOHLCVA").find(title[i])];
        rows.push_back(row);
    }
    if (oldestFirst)
        std::reverse(rows.begin(), rows.end());
    const char* const names[] = {"Date", "Open", "High", "Low", "Close", "Volume", "Adj Close"};
    std::string text;
    for (std::size_t i = 0; i < title.size(); ++i)
        text += std::string(i ? "," : "") + names[std::string("DOHLCVA").find(title[i])];
    text += "\n";
    for (const std::string& row : rows)
        text += row + "\n";
    return text;
}

}  // namespace

TEST_F(HistoryDownloadTest, RepliesInTodaysLayoutsBecomeTheSamePriceFile)
{
    const std::string old = ReadAll(TestDataFile("history-spy.csv").string());
    const HistoryConversion first = ConvertHistory(Write("temp/SPY.csv", old), setup.PriceDir / "SPY.csv",
                                                   kSwissLocale, dir_ / "work", setup.Today);
    ASSERT_TRUE(first.stored) << first.problem;
    const std::string expected = PriceFile("SPY.csv");
    struct Case {
        const char* name;
        std::string reply;
    };
    std::string lower = Relaid(old, "DOHLCV", true, false);
    std::transform(lower.begin(), lower.begin() + static_cast<std::ptrdiff_t>(lower.find('\n')),
                   lower.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    const Case cases[] = {
        {"Adj Close before the Volume, oldest first", Relaid(old, "DOHLCAV", true, false)},
        {"without Adj Close, in lower case", lower},
        {"month/day/year, newest first", Relaid(old, "DOHLCAV", false, true)},
        {"in another order", Relaid(old, "VCDAHLO", true, true)},
    };
    for (const Case& c : cases) {
        Write("prices/SPY.csv", kOlder);
        const HistoryConversion converted = ConvertHistory(Write("temp/SPY.csv", c.reply),
                                                           setup.PriceDir / "SPY.csv", kSwissLocale,
                                                           dir_ / "work", setup.Today);
        EXPECT_TRUE(converted.stored) << c.name << ": " << converted.problem;
        EXPECT_EQ(converted.days, 3175) << c.name;
        EXPECT_TRUE(PriceFile("SPY.csv") == expected) << c.name;
    }

    // The download takes them as they come.
    server.SetCsv("spy", cases[0].reply);
    Write("prices/SPY.csv", kOlder);
    EXPECT_EQ(Download({"SPY"}).stored, 1);
    EXPECT_TRUE(PriceFile("SPY.csv") == expected);
}

TEST_F(HistoryDownloadTest, HostileRepliesKeepTheOlderPriceFileAndSayWhy)
{
    struct Case {
        std::string symbol;
        Misbehaviour how;
        std::string says;  // in the prompt or the message
        bool asks;         // a failed transfer: the prompt; else a reply that does not convert
        bool kept;         // what arrived is kept in the data folder's Rejected
    };
    const std::string junk = kTitle + "2012-09-12,abc,NaN,-1e308,inf,12,0\n";
    const Case cases[] = {
        {"N404", Misbehaviour::NotFound, "404 Not Found", true, false},
        {"N500", Misbehaviour::ServerError, "500 Internal Server Error", true, false},
        {"MOVED", Misbehaviour::Redirect, "302 Found", true, false},
        {"STALL", Misbehaviour::Stall, "Read timed out.", true, false},
        {"RESET", Misbehaviour::Reset, "transfer closed", true, true},
        {"PART", Misbehaviour::Partial, "206 Partial Content (only a whole reply", true, false},
        {"DRIP", Misbehaviour::Drip, "after 1 s, the deadline of a request", true, true},
        {"HTML", Misbehaviour::HtmlPage, "no title line", false, true},
        {"UPPER", Misbehaviour::UpperHtml, "no title line", false, true},
        {"DOCTYPE", Misbehaviour::Doctype, "no title line", false, true},
        {"PLAIN", Misbehaviour::PlainError, "no title line", false, true},
        {"JSON", Misbehaviour::JsonError, "no title line", false, true},
        {"NOISE", Misbehaviour::Noise, "", false, true},
        {"EMPTY", Misbehaviour::Empty, "the reply was empty", false, false},
        {"CUT", Misbehaviour::CutByLength, "it was cut short", false, true},
        {"JUNK", Misbehaviour::None, "line 2 of the reply: the open \"abc\" is no price above 0", false,
         true},
        {"FOUR", Misbehaviour::None, "line 4 of the reply: 4 fields where 6 are needed", false, true},
    };
    std::vector<std::string> symbols;
    for (const Case& c : cases) {
        const std::string symbol = ToLowerAscii(c.symbol);
        server.SetCsv(symbol, c.symbol == "JUNK"   ? junk
                              : c.symbol == "FOUR" ? kTwoDays + "2012-09-10,1,2,3\n"
                                                   : kTwoDays);
        server.SetMisbehaviour(symbol, c.how);
        Write("prices/" + c.symbol + ".csv", kOlder);
        symbols.push_back(c.symbol);
    }
    server.SetCsv("packed", kTwoDays);
    server.SetMisbehaviour("packed", Misbehaviour::Gzip);
    symbols.push_back("PACKED");
    setup.DeadlineMs = 1000;

    notifier_.answer = true;
    const DownloadOutcome outcome = Download(symbols);
    EXPECT_EQ(outcome.stored, 1);
    EXPECT_EQ(outcome.failed, static_cast<int>(std::size(cases)));
    std::size_t asked = 0, told = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(PriceFile(c.symbol + ".csv"), kOlder) << c.symbol;
        const std::vector<std::string>& said = c.asks ? notifier_.questions : notifier_.infos;
        std::size_t& index = c.asks ? asked : told;
        ASSERT_LT(index, said.size()) << c.symbol;
        const std::string& text = said[index++];
        if (c.asks) {
            EXPECT_EQ(text.rfind("Problem fetching EoD data for: " + ToLowerAscii(c.symbol) + "\n\r", 0), 0u)
                << text;
            EXPECT_TRUE(text.ends_with("\n\rTry remaining MSN Symbols?")) << text;
        } else {
            EXPECT_NE(
                text.find((setup.PriceDir / (c.symbol + ".csv")).string() + ", which was left as it was"),
                std::string::npos)
                << text;
        }
        EXPECT_NE(text.find(c.says), std::string::npos) << c.symbol << ": " << text;
        const fs::path rejected = setup.DataDir / "Rejected" / (c.symbol + ".csv");
        EXPECT_EQ(fs::exists(rejected), c.kept) << c.symbol << ": " << text;
        if (c.kept) {
            EXPECT_NE(text.find("The reply was kept as " + rejected.string() + "."), std::string::npos)
                << text;
        }
    }
    EXPECT_EQ(asked, notifier_.questions.size());
    EXPECT_EQ(told, notifier_.infos.size());
    EXPECT_EQ(Rejected("CUT.csv"), kTwoDays.substr(0, kTwoDays.size() - 5));
    EXPECT_EQ(Rejected("JUNK.csv"), junk);
    EXPECT_EQ(PriceFile("PACKED.csv").substr(0, kPriceTitle.size() + 10), kPriceTitle + "12.09.2012");
    EXPECT_TRUE(fs::is_empty(setup.TempDir));
}

TEST_F(HistoryDownloadTest, OnlyWhatThisDownloadFetchedIsConverted)
{
    server.SetCsv("one", kTwoDays);
    server.SetMisbehaviour("two", Misbehaviour::ServerError);
    // A reply planted in the temporary folder, and the reply folder of a run
    // that was killed: neither is converted, and the killed run's goes.
    Write("temp/OLD.csv", kTwoDays);
    fs::create_directories(setup.TempDir / "download-4194305-17");
    Write("temp/download-4194305-17/OLD.csv", kTwoDays);
    const std::string alive = "download-" + std::to_string(::getpid()) + "-17";
    fs::create_directories(setup.TempDir / alive);

    notifier_.answer = false;
    const DownloadOutcome outcome = Download({"ONE", "TWO", "THREE", "OLD"});
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(outcome.stored, 1);
    EXPECT_TRUE(fs::exists(setup.PriceDir / "ONE.csv"));
    EXPECT_FALSE(fs::exists(setup.PriceDir / "OLD.csv"));
    EXPECT_EQ(ReadAll((setup.TempDir / "OLD.csv").string()), kTwoDays);
    EXPECT_FALSE(fs::exists(setup.TempDir / "download-4194305-17"));
    EXPECT_TRUE(fs::exists(setup.TempDir / alive));

    // Without a price-file folder the history goes to the data folder, not
    // to the root of the disk.
    setup.PriceDir.clear();
    notifier_.answer = true;
    EXPECT_EQ(Download({"ONE"}).stored, 1);
    EXPECT_TRUE(fs::exists(setup.DataDir / "ONE.csv"));
}

TEST_F(HistoryDownloadTest, APriceFileThatCannotBeWrittenIsNamedWithTheCause)
{
    server.SetCsv("one", kTwoDays);
    Write("notafolder", "a file where the price folder's parent would be");
    setup.PriceDir = dir_ / "notafolder" / "prices";
    const DownloadOutcome outcome = Download({"ONE"});
    EXPECT_EQ(outcome.failed, 1);
    const std::string target = (setup.PriceDir / "ONE.csv").string();
    EXPECT_EQ(notifier_.infos, std::vector<std::string>{"Cannot write " + target + ": Not a directory. "
                                                        + target + " was left as it was."});
    // The reply was good: nothing is set aside.
    EXPECT_FALSE(fs::exists(setup.DataDir / "Rejected"));
}

TEST_F(HistoryDownloadTest, ConversionRules)
{
    struct Case {
        const char* name;
        std::string reply;
        std::string priceFile;  // empty: nothing converts, the older file stays
        std::string says;       // why not
    };
    const std::string title = kPriceTitle;
    // A hundred thousand well-formed days that run far past the download's day.
    std::string longFuture = kTitle;
    for (int back = 0; back < 100000; ++back)
        longFuture += IsoDate(setup.Today + 100000 - back) + ",1,2,1,2,5\n";
    const Case cases[] = {
        {"first line repeated below it",
         kTitle + "2012-09-12,1,2,1,2,5,6\n2012-09-12,1,2,1,2,5,6\n2012-09-11,7,8,7,8,11,12\n",
         title + "9/12/2012,1,2,1,2,5\r\n9/11/2012,7,8,7,8,11\r\n", ""},
        {"another day named twice",
         kTitle + "2012-09-12,1,2,1,2,5\n2012-09-11,1,2,1,2,5\n2012-09-11,1,2,1,2,5\n", "",
         "line 4 of the reply: its day 2012-09-11 repeats the day above it"},
        {"the first day three times",
         kTitle + "2012-09-12,1,2,1,2,5\n2012-09-12,1,2,1,2,5\n2012-09-12,1,2,1,2,5\n", "",
         "line 4 of the reply: its day 2012-09-12 repeats"},
        {"every day twice",
         kTitle + "2012-09-12,1,2,1,2,5\n2012-09-12,1,2,1,2,5\n2012-09-11,1,2,1,2,5\n2012-09-11,1,2,1,2,5\n",
         "", "line 5 of the reply: its day 2012-09-11 repeats"},
        {"a day after the download's", kTitle + "2099-12-31,1,2,1,2,5\n2012-09-11,1,2,1,2,5\n", "",
         "line 2 of the reply: its day 2099-12-31 is after the day of the download, 2024-03-01"},
        {"the download's own day", kTitle + "2024-03-01,1,2,1,2,5\n", title + "3/1/2024,1,2,1,2,5\r\n", ""},
        {"a hundred thousand days into the future", longFuture, "",
         "line 2 of the reply: its day 2297-12-15 is after the day of the download"},
        {"a day before 1900", kTitle + "2012-09-12,1,2,1,2,5\n1899-12-29,1,2,1,2,5\n", "",
         "line 3 of the reply: its day 1899-12-29 is before 1900"},
        {"lines of fewer than three fields are skipped",
         "junk\r\n" + kTitle + "2012-09-12,1\n\n2012-09-11,1,2,1,2,5\n", title + "9/11/2012,1,2,1,2,5\r\n",
         ""},
        {"no title line", "2012-09-12,1,2,1,2,5,6\n", "", "no title line"},
        {"a line of four fields", kTitle + "2012-09-12,1,2,1,2,5,6\n2012-09-11,1,2,3\n", "",
         "line 3 of the reply: 4 fields where 6 are needed"},
        {"a month that does not exist", kTitle + "2012-13-12,1,2,1,2,5,6\n", "", "\"2012-13-12\" is no date"},
        {"title only", kTitle, "", "holds no day"},
        {"NaN", kTitle + "2012-09-12,1,NaN,1,2,5,6\n", "", "the high \"NaN\" is no price above 0"},
        {"beyond a single", kTitle + "2012-09-12,1,2,1,1e39,5,6\n", "", "the close \"1e39\" is no price"},
        {"negative", kTitle + "2012-09-12,1,2,-1,2,5,6\n", "", "the low \"-1\" is no price above 0"},
        {"zero close", kTitle + "2012-09-12,1,2,0,0,5,6\n", "", "the low \"0\" is no price above 0"},
        {"high below low", kTitle + "2012-09-12,1,2,3,2,5,6\n", "", "the high 2 is below the low 3"},
        {"a volume with a point", kTitle + "2012-09-12,1,2,1,2,5.5,6\n", "",
         "the volume \"5.5\" is no whole"},
        {"a day after the one above",
         kTitle + "2012-09-12,1,2,1,2,5,6\n2012-09-11,1,2,1,2,5,6\n2012-09-13,1,2,1,2,5,6\n", "",
         "line 4 of the reply: its day comes after the day above it, where the newest day comes first"},
        {"a day before the one above in an oldest-first list",
         kTitle + "2012-09-11,1,2,1,2,5,6\n2012-09-12,1,2,1,2,5,6\n2012-09-10,1,2,1,2,5,6\n", "",
         "line 4 of the reply: its day comes before the day above it, where the oldest day comes first"},
        {"oldest day first is turned round", kTitle + "2012-09-11,1,2,1,2,5,6\n2012-09-12,3,4,3,4,7,8\n",
         title + "9/12/2012,3,4,3,4,7\r\n9/11/2012,1,2,1,2,5\r\n", ""},
        {"a last line cut short", kTitle + "2012-09-12,1,2,1,2,5,6\n2012-09-11,1,2,1,2,42", "",
         "the reply ends in the middle of a line: it was cut short"},
        {"empty", "", "", "the reply was empty"},
    };
    for (const Case& c : cases) {
        Write("prices/X.csv", kOlder);
        const std::string reply = Write("temp/X.csv", c.reply);
        const HistoryConversion converted = ConvertHistory(reply, setup.PriceDir / "X.csv", kUsLocale,
                                                           dir_ / "work", setup.Today);
        EXPECT_EQ(converted.stored, !c.priceFile.empty()) << c.name << ": " << converted.problem;
        EXPECT_EQ(PriceFile("X.csv"), c.priceFile.empty() ? kOlder : c.priceFile) << c.name;
        EXPECT_NE(converted.problem.find(c.says), std::string::npos) << c.name << ": " << converted.problem;
        EXPECT_FALSE(converted.writeFailed) << c.name;
        // Nothing half-written stays beside it, no work file behind it.
        EXPECT_EQ(std::distance(fs::directory_iterator(setup.PriceDir), fs::directory_iterator()), 1)
            << c.name;
        EXPECT_TRUE(fs::is_empty(dir_ / "work")) << c.name;
    }
    // More days than were asked for are no fault: a whole history back to 1915.
    std::string whole = kTitle;
    for (int back = 0; back < 40000; ++back)
        whole += IsoDate(setup.Today - back) + ",1,2,1,2,5\n";
    const HistoryConversion wholeHistory = ConvertHistory(
        Write("temp/X.csv", whole), setup.PriceDir / "X.csv", kUsLocale, dir_ / "work", setup.Today);
    EXPECT_TRUE(wholeHistory.stored) << wholeHistory.problem;
    EXPECT_EQ(wholeHistory.days, 40000);
    EXPECT_FALSE(
        ConvertHistory(dir_ / "temp" / "GONE.csv", setup.PriceDir / "GONE.csv", kUsLocale, dir_, setup.Today)
            .stored);
    EXPECT_EQ(HistoryFileBase("A:B:C"), "A-B:C");
}

TEST_F(HistoryDownloadTest, QuotesThenHistoryAndAStopEndsBoth)
{
    testsupport::QuoteServer quotes;
    setup.QuoteServer = quotes.Base();
    setup.RequestTemplate = "txtTicker=";
    quotes.SetMisbehaviour("spx", Misbehaviour::ServerError);
    server.SetCsv("^gspc", kTwoDays);
    DownloadChoice choice;
    choice.quotes = choice.history = true;
    choice.quoteSymbols = {"SPX", "SPY"};
    choice.historySymbols = {"^GSPC"};

    // No to the quote prompt ends the quotes, not the history.
    notifier_.answer = false;
    DownloadOutcome outcome = RunDownloads(http, setup, choice, notifier_, display);
    EXPECT_EQ(quotes.Bodies().size(), 1u);
    EXPECT_EQ(outcome.stored, 1);
    EXPECT_TRUE(fs::exists(setup.PriceDir / "^GSPC.csv"));
    // The history request names its own host, not the one the quotes left.
    EXPECT_EQ(server.LastHeaders("/table.csv").find("Host")->second, server.Authority());

    // The user's stop ends both.
    quotes.SetMisbehaviour("spx", Misbehaviour::Stall);
    setup.TimeoutMs = 5000;
    http.OnIdle = [&] {
        if (quotes.Requests().size() == 4)
            http.Abort();
    };
    outcome = RunDownloads(http, setup, choice, notifier_, display);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(quotes.Bodies().size(), 2u);
}
