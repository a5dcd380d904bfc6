// The daily history download against the loopback history server, and the
// conversion of its replies into price files that the price file reader
// takes back.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/dates.h"
#include "download/Downloads.h"
#include "download/HistoryConvert.h"
#include "download/HistoryDownload.h"
#include "download/HTTPer.h"
#include "download/loopback_servers.h"
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
// Day-first dates with a decimal point, as in Switzerland: the price reader
// reads the converted numbers, which keep the reply's points.
const LocaleInfo kSwissLocale = LocaleInfo::FromPattern("dd.MM.yyyy", '.');
const std::string kOlder = "Date,Open,High,Low,Close,Volume\r\n01.02.2012,1,2,3,4,5\r\n";

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
        for (const fs::path& folder : {setup.DataDir, setup.TempDir, setup.PriceDir})
            fs::create_directories(folder);
    }

    DownloadOutcome Download(const std::vector<std::string>& symbols, const std::vector<std::string>& list)
    {
        return DownloadHistory(http, setup, symbols, list, notifier_, display);
    }

    std::string PriceFile(const std::string& name) const { return ReadAll((setup.PriceDir / name).string()); }
    bool InTemp(const std::string& name) const { return fs::exists(setup.TempDir / name); }

    HistoryServer server;
    HTTPer http;
    DownloadSetup setup;
    DownloadDisplay display;
};

}  // namespace

TEST_F(HistoryDownloadTest, QueryOfTwoYearsUpToToday)
{
    // 730 days before 1 March 2024 is 2 March 2022, because of 29 February.
    const std::string query = HistoryQuery("^GSPC", EncodeDate(2024, 3, 1));
    EXPECT_EQ(query, "s=^gspc&d=2&e=1&f=2024&g=d&a=2&b=2&c=2022&ignore=.csv");

    // The server, which checks every key, takes it and serves the table.
    server.SetCsv("^gspc", kTitle + "2024-02-29,1,2,3,4,5,6\n");
    EXPECT_EQ(Download({"^GSPC"}, {"SPX=^GSPC"}).stored, 1);
    EXPECT_EQ(server.Requests(), std::vector<std::string>{"GET /table.csv?" + query});
    EXPECT_EQ(server.LastHeaders("/table.csv").find("Referer")->second, server.Base() + "/");
    EXPECT_EQ(PriceFile("^GSPC.csv"), "Date,Open,High,Low,Close,Volume\r\n29.02.2024,1,2,3,4,5\r\n");
}

TEST_F(HistoryDownloadTest, RealRepliesBecomePriceFilesThePriceReaderTakes)
{
    server.SetCsv("spy", ReadAll(TestDataFile("history-spy.csv").string()));
    server.SetCsv("^gspc", ReadAll(TestDataFile("history-gspc.csv").string()));
    server.SetCsv("a:b:c", kTitle + "2016-11-02,1,2,3,4,5,6\n");
    const DownloadOutcome outcome = Download({"^GSPC", "SPY", "A:B:C"}, {"SPX=^GSPC", "SPY=SPY", "X=A:B:C"});
    EXPECT_EQ(outcome.stored, 3);
    EXPECT_TRUE(notifier_.messages.empty());
    EXPECT_TRUE(fs::is_empty(setup.TempDir));
    // Only the first colon becomes a "-".
    EXPECT_TRUE(fs::exists(setup.PriceDir / "A-B:C.csv"));

    // The locale's dates, the reply's numbers as they stand.
    EXPECT_EQ(PriceFile("SPY.csv").rfind("Date,Open,High,Low,Close,Volume\r\n"
                                         "12.09.2012,144.39,144.55,143.90,144.39,87607000\r\n",
                                         0),
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

TEST_F(HistoryDownloadTest, FailedRepliesKeepTheOlderPriceFile)
{
    struct Case {
        std::string symbol;
        Misbehaviour how;
        bool asks;  // a network error: the prompt; else a reply that does not convert
    };
    const Case cases[] = {
        {"N404", Misbehaviour::NotFound, true},  {"N500", Misbehaviour::ServerError, true},
        {"MOVED", Misbehaviour::Redirect, true}, {"STALL", Misbehaviour::Stall, true},
        {"RESET", Misbehaviour::Reset, true},    {"HTML", Misbehaviour::HtmlPage, false},
        {"EMPTY", Misbehaviour::Empty, false},   {"FOUR", Misbehaviour::None, false},
    };
    std::vector<std::string> symbols, list;
    for (const Case& c : cases) {
        server.SetCsv(ToLowerAscii(c.symbol), kTitle + "2012-09-12,1,2,3,4,5,6\n2012-09-11,1,2,3,4\n");
        server.SetMisbehaviour(ToLowerAscii(c.symbol), c.how);
        Write("prices/" + c.symbol + ".csv", kOlder);
        symbols.push_back(c.symbol);
        list.push_back(c.symbol + "=" + c.symbol);
    }
    server.SetCsv("packed", kTitle + "2012-09-12,1,2,3,4,5,6\n");
    server.SetMisbehaviour("packed", Misbehaviour::Gzip);
    symbols.push_back("PACKED");

    notifier_.answer = true;
    const DownloadOutcome outcome = Download(symbols, list);
    EXPECT_EQ(outcome.stored, 1);
    EXPECT_EQ(outcome.failed, 8);
    std::size_t asked = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(PriceFile(c.symbol + ".csv"), kOlder) << c.symbol;
        if (c.asks) {
            ASSERT_LT(asked, notifier_.questions.size());
            const std::string& question = notifier_.questions[asked++];
            EXPECT_EQ(question.rfind("Problem fetching EoD data for: " + ToLowerAscii(c.symbol) + "\n\r", 0),
                      0u)
                << question;
            EXPECT_TRUE(question.ends_with("\n\rTry remaining MSN Symbols?"));
            // A reply cut short is not kept for a later run to convert.
            EXPECT_FALSE(InTemp(c.symbol + ".csv")) << c.symbol;
        } else {
            EXPECT_TRUE(InTemp(c.symbol + ".csv")) << c.symbol;
        }
    }
    EXPECT_EQ(asked, notifier_.questions.size());
    EXPECT_EQ(notifier_.infos.size(), 3u);
    EXPECT_EQ(PriceFile("PACKED.csv"), "Date,Open,High,Low,Close,Volume\r\n12.09.2012,1,2,3,4,5\r\n");
}

TEST_F(HistoryDownloadTest, NoEndsTheFetchingButTheConversionStillRuns)
{
    server.SetCsv("one", kTitle + "2012-09-12,1,2,3,4,5,6\n");
    server.SetMisbehaviour("two", Misbehaviour::ServerError);
    // Left by an earlier run, for a symbol still on the list.
    Write("temp/OLD.csv", kTitle + "2012-09-10,7,8,9,10,11,12\n");
    notifier_.answer = false;
    const DownloadOutcome outcome = Download({"ONE", "TWO", "THREE"}, {"ONE=ONE", "OLD=OLD", "THREE=THREE"});
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(outcome.stored, 2);
    EXPECT_EQ(PriceFile("OLD.csv"), "Date,Open,High,Low,Close,Volume\r\n10.09.2012,7,8,9,10,11\r\n");
    EXPECT_FALSE(InTemp("OLD.csv"));

    // Without a price-file folder the history goes to the data folder, not
    // to the root of the disk.
    setup.PriceDir.clear();
    notifier_.answer = true;
    EXPECT_EQ(Download({"ONE"}, {}).stored, 1);
    EXPECT_TRUE(fs::exists(setup.DataDir / "ONE.csv"));
}

TEST_F(HistoryDownloadTest, ConversionRules)
{
    struct Case {
        const char* name;
        std::string reply;
        std::string priceFile;  // empty: nothing converts, the older file stays
    };
    const std::string title = "Date,Open,High,Low,Close,Volume\r\n";
    const Case cases[] = {
        {"first line repeated below it",
         kTitle + "2012-09-12,1,2,3,4,5,6\n2012-09-12,1,2,3,4,5,6\n2012-09-11,7,8,9,10,11,12\n",
         title + "9/12/2012,1,2,3,4,5\r\n9/11/2012,7,8,9,10,11\r\n"},
        {"only the first date is compared",
         kTitle + "2012-09-12,1,2,3,4,5\n2012-09-11,1,2,3,4,5\n2012-09-11,1,2,3,4,5\n",
         title + "9/12/2012,1,2,3,4,5\r\n9/11/2012,1,2,3,4,5\r\n9/11/2012,1,2,3,4,5\r\n"},
        {"lines of fewer than three fields are skipped",
         "junk\r\n" + kTitle + "2012-09-12,1\n\n2012-09-11,1,2,3,4,5\n", title + "9/11/2012,1,2,3,4,5\r\n"},
        {"no title line", "2012-09-12,1,2,3,4,5,6\n", ""},
        {"a line of four fields", kTitle + "2012-09-12,1,2,3,4,5,6\n2012-09-11,1,2,3\n", ""},
        {"a month that does not exist", kTitle + "2012-13-12,1,2,3,4,5,6\n", ""},
        {"title only", kTitle, ""},
    };
    for (const Case& c : cases) {
        Write("prices/X.csv", kOlder);
        const std::string reply = Write("temp/X.csv", c.reply);
        EXPECT_EQ(ConvertHistory(reply, setup.PriceDir, kUsLocale), !c.priceFile.empty()) << c.name;
        EXPECT_EQ(PriceFile("X.csv"), c.priceFile.empty() ? kOlder : c.priceFile) << c.name;
        // Nothing half-written stays beside it.
        EXPECT_EQ(std::distance(fs::directory_iterator(setup.PriceDir), fs::directory_iterator()), 1)
            << c.name;
    }
    EXPECT_FALSE(ConvertHistory(dir_ / "temp" / "GONE.csv", setup.PriceDir, kUsLocale));
    EXPECT_EQ(HistoryFileBase("A:B:C"), "A-B:C");
}

TEST_F(HistoryDownloadTest, QuotesThenHistoryAndAStopEndsBoth)
{
    testsupport::QuoteServer quotes;
    setup.QuoteServer = quotes.Base();
    setup.RequestTemplate = "txtTicker=";
    quotes.SetMisbehaviour("spx", Misbehaviour::ServerError);
    server.SetCsv("^gspc", kTitle + "2012-09-12,1,2,3,4,5,6\n");
    DownloadChoice choice;
    choice.quotes = choice.history = true;
    choice.quoteSymbols = {"SPX", "SPY"};
    choice.historySymbols = {"^GSPC"};
    choice.listEntries = {"SPX=^GSPC"};

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
