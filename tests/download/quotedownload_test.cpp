// The option quote download against the loopback quote server: the files
// written and left alone, the form as sent, the prompts and the stop.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "common/filesymbol.h"
#include "download/Downloads.h"
#include "download/HTTPer.h"
#include "download/loopback_servers.h"
#include "download/QuoteDownload.h"
#include "marketdata/testsupport.h"

using namespace kestrava;
using kestrava::testsupport::Misbehaviour;
using kestrava::testsupport::QuoteServer;

namespace {

namespace fs = std::filesystem;

// The opaque form state goes back with its escapes as stored.
const std::string kTemplate = "__EVENTTARGET=&__VIEWSTATE=dDw%2Bx%2F9%3D&txtTicker=";
const std::string kTable =
    "SPX (S&P 500 INDEX),1290.59,+7.24,\r\nJan 24 2011 @ 14:03 ET,\r\nCalls,Last Sale,\r\n";
const std::string kOlder = "XYZ (OLDER TABLE),10.00,+0.10,\r\nJan 3 2011 @ 16:15 ET,\r\n";

std::vector<std::string> FilesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class QuoteDownloadTest : public kestrava::testing::ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        setup.QuoteServer = server.Base();
        setup.RequestTemplate = kTemplate;
        setup.DataDir = dir_ / "data";
        setup.TempDir = dir_ / "temp";
        setup.TimeoutMs = 300;
        fs::create_directories(setup.DataDir);
        fs::create_directories(setup.TempDir);
    }

    DownloadOutcome Download(const std::vector<std::string>& symbols)
    {
        return DownloadOptionQuotes(http, setup, symbols, notifier_, display);
    }

    std::string QuoteFile(const std::string& symbol) const
    {
        return ReadAll((setup.DataDir / (symbol + ".txt")).string());
    }

    QuoteServer server;
    HTTPer http;
    DownloadSetup setup;
    DownloadDisplay display;
};

}  // namespace

TEST_F(QuoteDownloadTest, RepliesBecomeQuoteFilesAndTheFormIsSentAsStored)
{
    server.SetTable("spx", kTable);
    server.SetTable("spy", "SPY (SPDR S&P 500 ETF TRUST),221.52,+0.82,\r\n");
    const DownloadOutcome outcome = Download({"spx", "", "Spy"});
    EXPECT_EQ(outcome.stored, 2);
    EXPECT_TRUE(notifier_.messages.empty());
    // Upper-case names; the replies were sent compressed and are stored as text.
    EXPECT_EQ(FilesIn(setup.DataDir), (std::vector<std::string>{"SPX.txt", "SPY.txt"}));
    EXPECT_EQ(QuoteFile("SPX"), kTable);
    EXPECT_TRUE(FilesIn(setup.TempDir).empty());

    // No request for the empty entry; the symbol in lower case after the
    // template, the submit field after it.
    const std::vector<std::string> requests = server.Requests();
    EXPECT_EQ(requests, (std::vector<std::string>{"POST /DelayedQuote/QuoteTableDownload.aspx",
                                                  "GET /DelayedQuote/QuoteData.dat",
                                                  "POST /DelayedQuote/QuoteTableDownload.aspx",
                                                  "GET /DelayedQuote/QuoteData.dat"}));
    EXPECT_EQ(server.Bodies(), (std::vector<std::string>{kTemplate + "spx" + QuoteServer::kSubmit,
                                                         kTemplate + "spy" + QuoteServer::kSubmit}));
    EXPECT_EQ(server.LastVersion(), "HTTP/1.0");
    const httplib::Headers sent = server.LastHeaders("/DelayedQuote/QuoteData.dat");
    const auto header = [&](const char* name) {
        const auto found = sent.find(name);
        return found == sent.end() ? std::string("(none)") : found->second;
    };
    EXPECT_EQ(header("Host"), server.Authority());
    EXPECT_EQ(header("Referer"), server.Base() + kQuoteFormPath);
    EXPECT_EQ(header("User-Agent"), "Mozilla/5.0");
    EXPECT_EQ(header("Accept"), "text/html");
    EXPECT_EQ(header("Accept-Encoding"), "gzip,deflate");
    EXPECT_EQ(header("Accept-Charset"), "ISO-8859-1");
    EXPECT_NE(header("Cookie").find("ASP.NET_SessionId="), std::string::npos);

    // The session is the client's: another one gets the server's excuse.
    HTTPer other;
    std::ostringstream page;
    other.Get(server.Base() + kQuoteDataPath, page);
    EXPECT_NE(page.str().find("session has expired"), std::string::npos);
}

TEST_F(QuoteDownloadTest, NoReplyButAQuoteTableReplacesTheOlderFile)
{
    struct Case {
        std::string symbol;
        Misbehaviour how;
        std::string says;  // in the prompt after "data: "
    };
    const Case cases[] = {
        {"A404", Misbehaviour::NotFound, "HTTP/1.1 404 Not Found"},
        {"A500", Misbehaviour::ServerError, "HTTP/1.1 500 Internal Server Error"},
        {"STALL", Misbehaviour::Stall, "Read timed out."},
        {"RESET", Misbehaviour::Reset, "transfer closed"},
        {"LOOP", Misbehaviour::RedirectLoop, "Maximum (4) redirects followed"},
        {"HTML", Misbehaviour::HtmlPage, "the reply holds no option prices"},
        {"EMPTY", Misbehaviour::Empty, "the reply was empty"},
    };
    std::vector<std::string> symbols;
    for (const Case& c : cases) {
        server.SetTable(ToLowerAscii(c.symbol), kTable);
        server.SetMisbehaviour(ToLowerAscii(c.symbol), c.how);
        Write("data/" + c.symbol + ".txt", kOlder);
        symbols.push_back(c.symbol);
    }
    // Followed redirects and compressed replies are good replies.
    server.SetTable("moved", kTable);
    server.SetMisbehaviour("moved", Misbehaviour::Redirect);
    server.SetTable("packed", kTable);
    server.SetMisbehaviour("packed", Misbehaviour::Gzip);
    symbols.push_back("MOVED");
    symbols.push_back("PACKED");

    notifier_.answer = true;
    const DownloadOutcome outcome = Download(symbols);
    EXPECT_EQ(outcome.failed, 7);
    EXPECT_EQ(outcome.stored, 2);
    ASSERT_EQ(notifier_.questions.size(), 7u);
    for (std::size_t i = 0; i < 7; ++i) {
        const std::string start = "Problem fetching " + cases[i].symbol + " data: " + cases[i].says;
        EXPECT_EQ(notifier_.questions[i].rfind(start, 0), 0u) << notifier_.questions[i];
        EXPECT_TRUE(notifier_.questions[i].ends_with("\n\rTry remaining Option Symbols?"));
        EXPECT_EQ(QuoteFile(cases[i].symbol), kOlder) << cases[i].symbol;
    }
    EXPECT_EQ(QuoteFile("MOVED"), kTable);
    EXPECT_EQ(QuoteFile("PACKED"), kTable);
    EXPECT_TRUE(FilesIn(setup.TempDir).empty());
}

TEST_F(QuoteDownloadTest, NoAfterTheSecondOfFiveEndsTheRun)
{
    for (const char* symbol : {"one", "two", "three", "four", "five"})
        server.SetTable(symbol, kTable);
    server.SetMisbehaviour("two", Misbehaviour::ServerError);
    Write("data/TWO.txt", kOlder);
    notifier_.answer = false;
    const DownloadOutcome outcome = Download({"ONE", "TWO", "THREE", "FOUR", "FIVE"});
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(notifier_.questions.size(), 1u);
    EXPECT_EQ(FilesIn(setup.DataDir), (std::vector<std::string>{"ONE.txt", "TWO.txt"}));
    EXPECT_EQ(QuoteFile("TWO"), kOlder);
    EXPECT_EQ(server.Bodies().size(), 2u);
}

TEST_F(QuoteDownloadTest, SymbolsThatWouldLeaveTheirFolderAreRefused)
{
    server.SetTable("ok", kTable);
    const DownloadOutcome outcome = Download({"../EVIL", "A/B", "..", "a\\b", "OK"});
    EXPECT_EQ(outcome.refused, 4);
    EXPECT_EQ(notifier_.infos,
              (std::vector<std::string>{RefusedSymbolMessage("../EVIL"), RefusedSymbolMessage("A/B"),
                                        RefusedSymbolMessage(".."), RefusedSymbolMessage("a\\b")}));
    EXPECT_EQ(FilesIn(setup.DataDir), std::vector<std::string>{"OK.txt"});
    EXPECT_EQ(FilesIn(dir_), (std::vector<std::string>{"data", "temp"}));
    EXPECT_EQ(server.Bodies().size(), 1u);
}

TEST_F(QuoteDownloadTest, AServerSettingThatIsNoAddressIsReported)
{
    for (const std::string setting :
         {"", "ftp://quotes.example", "quotes.example", "http://", "http://a b"}) {
        notifier_.messages.clear();
        setup.QuoteServer = setting;
        const DownloadOutcome outcome = Download({"SPX"});
        EXPECT_EQ(outcome.failed, 1);
        ASSERT_EQ(notifier_.infos.size(), 1u);
        EXPECT_NE(notifier_.infos[0].find("Servers/QuoteServer"), std::string::npos) << notifier_.infos[0];
        notifier_.infos.clear();
    }
    EXPECT_TRUE(server.Requests().empty());
    // A trailing slash is no problem.
    setup.QuoteServer = server.Base() + "/";
    server.SetTable("spx", kTable);
    EXPECT_EQ(Download({"SPX"}).stored, 1);
}
