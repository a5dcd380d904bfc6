// The downloads through URL templates against a loopback service: each
// layout a reply may hold lands where the program reads it, a damaged reply
// of each leaves the older file as it was and says why, a symbol is one
// encoded query value, and a bad template sends nothing.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "common/dates.h"
#include "common/fileaccess.h"
#include "download/loopback_servers.h"
#include "downloadcore/Downloads.h"
#include "downloadcore/HTTPer.h"
#include "downloadcore/TemplateDownload.h"
#include "downloadcore/UrlTemplate.h"
#include "marketdata/DelayedQuotesJson.h"
#include "marketdata/testsupport.h"

using namespace kestrava;
using kestrava::testing::TestDataFile;
using kestrava::testsupport::Misbehaviour;
using kestrava::testsupport::TemplateServer;

namespace {

namespace fs = std::filesystem;

const std::string kOlder = "the older file\n";

class TemplateDownloadTest : public kestrava::testing::ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        setup.DataDir = dir_ / "data";
        setup.TempDir = dir_ / "temp";
        setup.PriceDir = dir_ / "prices";
        setup.Locale = kestrava::testing::kIsoLocale;
        setup.Today = EncodeDate(2025, 9, 1);
        setup.TimeoutMs = 2000;
        setup.SettingsFile = "/home/u/.config/k.conf";
        for (const fs::path& folder : {setup.DataDir, setup.TempDir, setup.PriceDir})
            fs::create_directories(folder);
    }

    DownloadOutcome Download(TemplateKind kind, const std::string& path,
                             const std::vector<std::string>& symbols)
    {
        (kind == TemplateKind::Quotes ? setup.QuoteTemplate : setup.HistoryTemplate) = server.Base() + path;
        return DownloadByTemplate(http, setup, kind, symbols, notifier_, display);
    }

    std::string Data(const std::string& name) const { return ReadAll((setup.DataDir / name).string()); }
    std::string Prices(const std::string& name) const { return ReadAll((setup.PriceDir / name).string()); }
    std::string Messages() const
    {
        std::string all;
        for (const std::string& message : notifier_.messages)
            all += message + "\n";
        return all;
    }

    TemplateServer server;
    HTTPer http;
    DownloadSetup setup;
    DownloadDisplay display;
};

TEST_F(TemplateDownloadTest, EachLayoutLandsWhereTheProgramReadsItWhicheverTemplateAsked)
{
    const std::string csv = ReadAll(TestDataFile("quotes-spy-2025-09-01.csv").string());
    const std::string json = ReadAll(TestDataFile("quotes-spy-2025-09-01-excerpt.json").string());
    const std::string table = ReadAll(TestDataFile("quotes-spy-2016-11-25-excerpt.dat").string());
    const std::string history = ReadAll(TestDataFile("history-spy.csv").string());
    server.SetBody("SPY", csv);
    server.SetBody("QQQ", json);
    server.SetBody("DIA", table);
    server.SetBody("IWM", history);
    server.SetMisbehaviour("QQQ", Misbehaviour::Gzip);
    server.SetMisbehaviour("DIA", Misbehaviour::Redirect);

    for (const TemplateKind kind : {TemplateKind::Quotes, TemplateKind::History}) {
        for (const char* name : {"SPY.txt", "QQQ.txt", "DIA.txt", "IWM.csv"}) {
            fs::remove(setup.DataDir / name);
            fs::remove(setup.PriceDir / name);
        }
        const DownloadOutcome outcome = Download(kind, "/chains/{SYMBOL}", {"SPY", "QQQ", "DIA", "IWM"});
        EXPECT_EQ(outcome.stored, 4) << Messages();
        EXPECT_EQ(outcome.failed, 0);
        EXPECT_TRUE(notifier_.messages.empty()) << Messages();
        // The CSV and the old quote table as they came.
        EXPECT_EQ(Data("SPY.txt"), csv);
        EXPECT_EQ(Data("DIA.txt"), table);
        // The JSON as today's CSV, its rows the real file's first twelve.
        const std::string converted = Data("QQQ.txt");
        EXPECT_EQ(converted.rfind(
                      "\nQQQ,Last: 645.05,Change:  -3.87\n\"Date: September 1, 2025 at 6:50 PM EDT\"", 0),
                  0u)
            << converted.substr(0, 200);
        const std::size_t firstRow = csv.find("Tue Sep 02 2025,SPY250902C00400000");
        const std::size_t thirteenth = [&] {
            std::size_t at = firstRow;
            for (int i = 0; i < 12; ++i)
                at = csv.find('\n', at) + 1;
            return at;
        }();
        EXPECT_EQ(converted.substr(converted.find("Tue Sep 02")),
                  csv.substr(firstRow, thirteenth - firstRow));
        // The history as a price file, newest day first with the locale's dates.
        const std::string prices = Prices("IWM.csv");
        EXPECT_EQ(
            prices.rfind(
                "Date,Open,High,Low,Close,Volume\r\n2012-09-12,144.39,144.55,143.90,144.39,87607000\r\n", 0),
            0u);
        EXPECT_EQ(std::count(prices.begin(), prices.end(), '\n'), 3176);
    }
    // No reply outlives its download.
    EXPECT_TRUE(fs::is_empty(setup.TempDir));
    EXPECT_EQ(server.Requests().front(), "GET /chains/SPY");
}

TEST_F(TemplateDownloadTest, AWholeReplyThatCannotBeStoredSaysWhy)
{
    // A folder stands where the quote file or the price file belongs.
    server.SetBody("SPY", ReadAll(TestDataFile("quotes-spy-2025-09-01.csv").string()));
    server.SetBody("IWM", ReadAll(TestDataFile("history-spy.csv").string()));
    notifier_.answer = true;
    for (const auto& [symbol, target] :
         {std::pair{"SPY", setup.DataDir / "SPY.txt"}, std::pair{"IWM", setup.PriceDir / "IWM.csv"}}) {
        SCOPED_TRACE(symbol);
        notifier_.messages.clear();
        fs::create_directories(target);
        const DownloadOutcome outcome = Download(TemplateKind::Quotes, "/q?symbol={SYMBOL}", {symbol});
        EXPECT_EQ(outcome.stored, 0);
        EXPECT_EQ(outcome.failed, 1);
        ASSERT_EQ(notifier_.messages.size(), 1u) << Messages();
        const std::string& message = notifier_.messages.front();
        EXPECT_NE(message.find(SystemErrorText(EISDIR)), std::string::npos) << message;
        EXPECT_NE(message.find(target.string() + " was left as it was."), std::string::npos) << message;
        EXPECT_TRUE(fs::is_directory(target));
    }
    EXPECT_TRUE(fs::is_empty(setup.TempDir));
}

TEST_F(TemplateDownloadTest, NoFolderForTheRepliesStopsBeforeAnyRequestAndSaysWhere)
{
    fs::remove_all(setup.TempDir);
    std::ofstream(setup.TempDir) << "a file where the temporary folder belongs\n";
    server.SetBody("SPY", ReadAll(TestDataFile("quotes-spy-2025-09-01.csv").string()));
    const DownloadOutcome outcome = Download(TemplateKind::Quotes, "/q?symbol={SYMBOL}", {"SPY", "QQQ"});
    EXPECT_EQ(outcome.stored, 0);
    EXPECT_EQ(outcome.failed, 2);
    EXPECT_TRUE(server.Requests().empty());
    ASSERT_EQ(notifier_.messages.size(), 1u) << Messages();
    EXPECT_EQ(notifier_.messages.front().rfind(
                  "Cannot make a folder for the replies in " + setup.TempDir.string(), 0),
              0u)
        << Messages();
}

TEST_F(TemplateDownloadTest, ADamagedReplyOfEachLayoutLeavesTheOlderFileAndSaysWhy)
{
    const std::string csv = ReadAll(TestDataFile("quotes-spy-2025-09-01.csv").string());
    const std::string json = ReadAll(TestDataFile("quotes-spy-2025-09-01-excerpt.json").string());
    std::string badHistory = ReadAll(TestDataFile("history-spy.csv").string());
    // 2012-09-11 with its high below its low.
    badHistory.replace(badHistory.find("2012-09-11,143.60,144.37"), 24, "2012-09-11,143.60,140.37");
    std::string badRow = csv;
    badRow.replace(badRow.find(",243.69,"), 8, ",243.6x,");
    std::string noBid = json;
    noBid.erase(noBid.find("\"bid\": 243.69, "), 15);
    struct Case {
        std::string symbol;
        std::string body;
        Misbehaviour how;
        std::string cause;
        const char* file;  // the file the reply would have replaced
    };
    const Case cases[] = {
        {"CUT", csv, Misbehaviour::None, "the reply ends in the middle of a line: it was cut short",
         "CUT.txt"},
        {"ROW", badRow, Misbehaviour::None, "Line 5 of the reply", "ROW.txt"},
        {"JCUT", json.substr(0, json.size() / 2), Misbehaviour::None,
         "the reply is no whole JSON document: line 22, column 61: a string without its closing", "JCUT.txt"},
        {"JBID", noBid, Misbehaviour::None,
         "the reply's JSON is no delayed-quotes chain: data.options[0] has no bid", "JBID.txt"},
        {"JERR", "", Misbehaviour::JsonError,
         "the reply's JSON is no delayed-quotes chain: the document has no timestamp", "JERR.txt"},
        {"HIST", badHistory, Misbehaviour::None, "line 3 of the reply", "HIST.csv"},
        {"HTML", csv, Misbehaviour::HtmlPage, "the reply is a web page", "HTML.txt"},
        // A line of text may begin an old quote table, whose reader says why it does not.
        {"NOISE", csv, Misbehaviour::PlainError, "Line 1 of the reply: \"Error: the symbol", "NOISE.txt"},
        {"BLANK", "\nno quotes today\n", Misbehaviour::None, "none of the layouts a URL template may bring",
         "BLANK.txt"},
        {"EMPTY", csv, Misbehaviour::Empty, "the reply was empty", "EMPTY.txt"},
    };
    std::vector<std::string> symbols;
    for (const Case& c : cases) {
        server.SetBody(c.symbol, c.symbol == "CUT" ? csv.substr(0, csv.size() - 9) : c.body);
        server.SetMisbehaviour(c.symbol, c.how);
        const fs::path older = (std::string(c.file).ends_with(".csv") ? setup.PriceDir : setup.DataDir)
                               / c.file;
        std::ofstream(older, std::ios::binary) << kOlder;
        symbols.push_back(c.symbol);
    }
    // No to "Try remaining symbols?" ends the run after the first.
    const DownloadOutcome stopped = Download(TemplateKind::Quotes, "/q?symbol={SYMBOL}", symbols);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.skipped.size(), std::size(cases) - 1);
    EXPECT_EQ(server.Requests().size(), 1u);
    notifier_.messages.clear();
    notifier_.answer = true;
    const DownloadOutcome outcome = Download(TemplateKind::Quotes, "/q?symbol={SYMBOL}", symbols);
    EXPECT_EQ(outcome.stored, 0);
    EXPECT_EQ(outcome.failed, static_cast<int>(std::size(cases)));
    ASSERT_EQ(notifier_.messages.size(), std::size(cases)) << Messages();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const fs::path older = (std::string(c.file).ends_with(".csv") ? setup.PriceDir : setup.DataDir)
                               / c.file;
        EXPECT_EQ(ReadAll(older.string()), kOlder) << c.symbol;
        const std::string& message = notifier_.messages[i];
        EXPECT_NE(message.find(c.cause), std::string::npos) << message;
        EXPECT_NE(message.find(older.string() + " was left as it was"), std::string::npos) << message;
        // What came is kept for the user to see, unless nothing came.
        EXPECT_EQ(message.find("Rejected") != std::string::npos, c.symbol != "EMPTY") << message;
    }
    EXPECT_TRUE(fs::is_empty(setup.TempDir));
}

TEST_F(TemplateDownloadTest, ASymbolIsOneEncodedQueryValueAndTheDatesSpanTwoYears)
{
    const std::string json = ReadAll(TestDataFile("quotes-spy-2025-09-01-excerpt.json").string());
    for (const char* symbol : {"BRK B", "^SPX", "a&symbol=b", "é"})
        server.SetBody(symbol, json);
    setup.DeadlineMs = 7000;
    const DownloadOutcome outcome = Download(TemplateKind::Quotes, "/q?symbol={SYMBOL}&from={FROM}&to={TO}",
                                             {"BRK B", "^SPX", "a&symbol=b", "é"});
    EXPECT_EQ(outcome.stored, 4) << Messages();
    const std::vector<std::string> expected = {
        "GET /q?symbol=BRK%20B&from=2023-09-02&to=2025-09-01",
        "GET /q?symbol=%5ESPX&from=2023-09-02&to=2025-09-01",
        "GET /q?symbol=a%26symbol%3Db&from=2023-09-02&to=2025-09-01",
        "GET /q?symbol=%C3%A9&from=2023-09-02&to=2025-09-01",
    };
    EXPECT_EQ(server.Requests(), expected);
    // The client waited as the settings say.
    EXPECT_EQ(http.Options.ConnectTimeoutMs, 2000);
    EXPECT_EQ(http.Options.ReadTimeoutMs, 2000);
    EXPECT_EQ(http.Options.DeadlineMs, 7000);
    // Each under its own name, the name the quote download gives it.
    EXPECT_TRUE(fs::exists(setup.DataDir / "BRK B.txt"));
    EXPECT_TRUE(fs::exists(setup.DataDir / "^SPX.txt"));
    EXPECT_TRUE(fs::exists(setup.DataDir / "A&SYMBOL=B.txt"));
    // The same encoding, byte by byte.
    EXPECT_EQ(EncodedQueryValue("az AZ09-._~/?#%+^:"), "az%20AZ09-._~%2F%3F%23%25%2B%5E%3A");
}

TEST_F(TemplateDownloadTest, ABadTemplateIsRefusedNamingTheSettingAndTheCauseAndNothingIsSent)
{
    struct Case {
        std::string text;
        std::string cause;
    };
    const std::string base = server.Base();
    const Case cases[] = {
        {"", "No URL template is set for this download"},
        {"127.0.0.1/q?s={SYMBOL}", "does not begin with http:// or https://"},
        {"ftp://example.com/{SYMBOL}", "does not begin with http:// or https://"},
        {base + "/q?s={SYMBOL}\r\nX-Evil: 1", "the control character \\r"},
        {base + "/q?s={SYMBOL}&t={TICKER}",
         "the placeholder {TICKER}, which is none of {SYMBOL}, {FROM} and {TO}"},
        {base + "/q?s={symbol}", "the placeholder {symbol}"},
        {base + "/q?s={SYMBOL", "a '{' that opens no placeholder"},
        {base + "/q?s=SYMBOL}", "a '}' that closes no placeholder"},
        {"http://{SYMBOL}.example.com/q", "a placeholder in its host name"},
        {"https:///q?s={SYMBOL}", "names no host"},
        {base + "/q?s=SPY&from={FROM}", "no {SYMBOL}"},
        {base + "/q?s={SYMBOL} ", "blank"},
    };
    for (const Case& c : cases) {
        notifier_.messages.clear();
        setup.QuoteTemplate = c.text;
        const DownloadOutcome outcome = DownloadByTemplate(http, setup, TemplateKind::Quotes, {"SPY", "QQQ"},
                                                           notifier_, display);
        EXPECT_EQ(outcome.failed, 2) << c.text;
        ASSERT_EQ(notifier_.messages.size(), 1u) << c.text;
        const std::string& message = notifier_.messages[0];
        EXPECT_NE(message.find(c.cause), std::string::npos) << message;
        EXPECT_NE(message.find("Servers/QuoteUrlTemplate"), std::string::npos) << message;
        EXPECT_NE(message.find(c.text.empty() ? setup.SettingsFile : "Nothing was sent."), std::string::npos)
            << message;
    }
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(fs::is_empty(setup.TempDir));
}

}  // namespace
