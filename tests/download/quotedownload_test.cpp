// The option quote download against the loopback quote server: the files
// written and left alone, the form as sent, the prompts and the stop.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "common/filesymbol.h"
#include "download/loopback_servers.h"
#include "downloadcore/Downloads.h"
#include "downloadcore/HTTPer.h"
#include "downloadcore/QuoteDownload.h"
#include "marketdata/testsupport.h"

using namespace kestrava;
using kestrava::testsupport::Misbehaviour;
using kestrava::testsupport::QuoteServer;

namespace {

namespace fs = std::filesystem;

// The opaque form state goes back with its escapes as stored.
const std::string kTemplate = "__EVENTTARGET=&__VIEWSTATE=dDw%2Bx%2F9%3D&txtTicker=";
const std::string kHead =
    "SPX (S&P 500 INDEX),1290.59,+7.24,\r\nJan 24 2011 @ 14:03 ET,\r\nCalls,Last Sale,\r\n";
std::string Row(const std::string& callBid)
{
    return "11 Jan 1075.00 (SPXW1128A1075-E),0.0,0.0," + callBid
           + ",217.00,0,0,11 Jan 1075.00 (SPXW1128M1075-E),0.05,-0.10,0.05,0.10,10,15535,\r\n";
}
const std::string kTable = kHead + Row("215.30");
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
    server.SetTable("spy",
                    ReadAll(kestrava::testing::TestDataFile("quotes-spy-2016-11-25-excerpt.dat").string()));
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

TEST_F(QuoteDownloadTest, NoReplyButAWholeQuoteTableReplacesTheOlderFile)
{
    struct Case {
        std::string symbol;
        Misbehaviour how;
        std::string says;  // in the prompt after "data: "
        bool kept;         // what arrived is kept in the data folder's Rejected
    };
    const Case cases[] = {
        {"A404", Misbehaviour::NotFound, "HTTP/1.1 404 Not Found", false},
        {"A500", Misbehaviour::ServerError, "HTTP/1.1 500 Internal Server Error", false},
        {"STALL", Misbehaviour::Stall, "Read timed out.", false},
        {"RESET", Misbehaviour::Reset, "transfer closed", true},
        {"LOOP", Misbehaviour::RedirectLoop, "Maximum (4) redirects followed", false},
        {"PART", Misbehaviour::Partial, "HTTP/1.1 206 Partial Content (only a whole reply", false},
        {"DRIP", Misbehaviour::Drip, "The server had not sent the whole reply after 1 s", true},
        {"HTML", Misbehaviour::HtmlPage, "Line 1 of the reply: \"<html><head>", true},
        {"UPPER", Misbehaviour::UpperHtml, "Line 1 of the reply: \"<HTML><HEAD>", true},
        {"DOCTYPE", Misbehaviour::Doctype, "Line 1 of the reply: \"<!DOCTYPE html>\" is no underlying line",
         true},
        {"PLAIN", Misbehaviour::PlainError, "Line 1 of the reply: \"Error: the symbol", true},
        {"JSON", Misbehaviour::JsonError, "Line 1 of the reply: \"{\"error\"", true},
        {"NOISE", Misbehaviour::Noise, "", true},
        {"EMPTY", Misbehaviour::Empty, "the reply was empty", false},
        {"CUT", Misbehaviour::CutByLength, "the reply ends in the middle of a line: it was cut short", true},
        {"NAN", Misbehaviour::None, "Line 4 of the reply: \"NaN\" is not a valid number.", true},
        {"FORM", Misbehaviour::None, "The reply is larger than 64 MB.", false},
    };
    std::vector<std::string> symbols;
    for (const Case& c : cases) {
        server.SetTable(ToLowerAscii(c.symbol), c.symbol == "NAN" ? kHead + Row("NaN") : kTable);
        server.SetMisbehaviour(ToLowerAscii(c.symbol), c.how);
        Write("data/" + c.symbol + ".txt", kOlder);
        symbols.push_back(c.symbol);
    }
    // An endless reply to the form is bounded as the data is.
    server.SetFormMisbehaviour("form", Misbehaviour::Huge);
    // Followed redirects and compressed replies are good replies.
    server.SetTable("moved", kTable);
    server.SetMisbehaviour("moved", Misbehaviour::Redirect);
    server.SetTable("packed", kTable);
    server.SetMisbehaviour("packed", Misbehaviour::Gzip);
    symbols.push_back("MOVED");
    symbols.push_back("PACKED");
    setup.DeadlineMs = 1000;

    notifier_.answer = true;
    const DownloadOutcome outcome = Download(symbols);
    EXPECT_EQ(outcome.failed, static_cast<int>(std::size(cases)));
    EXPECT_EQ(outcome.stored, 2);
    ASSERT_EQ(notifier_.questions.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string& question = notifier_.questions[i];
        EXPECT_EQ(question.rfind("Problem fetching " + c.symbol + " data: ", 0), 0u) << question;
        EXPECT_NE(question.find(c.says), std::string::npos) << question;
        EXPECT_TRUE(question.ends_with("\n\rTry remaining Option Symbols?"));
        EXPECT_EQ(QuoteFile(c.symbol), kOlder) << c.symbol;
        const fs::path rejected = setup.DataDir / "Rejected" / (c.symbol + ".txt");
        EXPECT_EQ(fs::exists(rejected), c.kept) << question;
        if (c.kept) {
            EXPECT_NE(question.find("The reply was kept as " + rejected.string() + "."), std::string::npos)
                << question;
        }
    }
    EXPECT_EQ(ReadAll((setup.DataDir / "Rejected" / "CUT.txt").string()),
              kTable.substr(0, kTable.size() - 5));
    EXPECT_EQ(QuoteFile("MOVED"), kTable);
    EXPECT_EQ(QuoteFile("PACKED"), kTable);
    EXPECT_TRUE(FilesIn(setup.TempDir).empty());
}

TEST_F(QuoteDownloadTest, LinksInTheDataFolderAreNeverWrittenThrough)
{
    const fs::path outside = dir_ / "outside";
    fs::create_directories(outside);
    Write("outside/victim.txt", "precious");
    // A link where the quote file goes, one where an older version of the
    // program wrote its copy, and a link for the folder of rejected replies.
    fs::create_symlink(outside / "victim.txt", setup.DataDir / "SPX.txt");
    fs::create_symlink(outside / "victim.txt", setup.DataDir / "SPX.txt.part");
    fs::create_directory_symlink(outside, setup.DataDir / "Rejected");
    server.SetTable("spx", kTable);
    server.SetMisbehaviour("spy", Misbehaviour::HtmlPage);
    notifier_.answer = true;
    EXPECT_EQ(Download({"SPX", "SPY"}).stored, 1);
    EXPECT_EQ(ReadAll((outside / "victim.txt").string()), "precious");
    EXPECT_EQ(FilesIn(outside), std::vector<std::string>{"victim.txt"});
    // The link to the quote file is replaced by the quote file itself.
    EXPECT_FALSE(fs::is_symlink(setup.DataDir / "SPX.txt"));
    EXPECT_EQ(QuoteFile("SPX"), kTable);
    ASSERT_EQ(notifier_.questions.size(), 1u);
    EXPECT_NE(
        notifier_.questions[0].find("The reply could not be kept: " + (setup.DataDir / "Rejected").string()
                                    + " is no folder of this user's own"),
        std::string::npos)
        << notifier_.questions[0];

    // In a real folder an older rejected reply stays beside the new one.
    fs::remove(setup.DataDir / "Rejected");
    fs::create_directory(setup.DataDir / "Rejected");
    Write("data/Rejected/SPY.txt", "older");
    Download({"SPY"});
    EXPECT_EQ(ReadAll((setup.DataDir / "Rejected" / "SPY.txt").string()), "older");
    EXPECT_NE(ReadAll((setup.DataDir / "Rejected" / "SPY.txt.2").string()).find("<html>"), std::string::npos);
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

TEST_F(QuoteDownloadTest, SymbolsAreOneFieldOfTheFormAndNeverLeaveTheirFolder)
{
    // "&" and "=" would add a field of their own to the form.
    server.SetTable("a%26s%3Db", kTable);
    EXPECT_EQ(Download({"a&s=b"}).stored, 1);
    EXPECT_EQ(server.Bodies().back(), kTemplate + "a%26s%3Db" + QuoteServer::kSubmit);
    EXPECT_EQ(QuoteFile("A&S=B"), kTable);
    EXPECT_EQ(QuoteRequestBody("x=", "^a b"), std::string("x=%5Ea+b") + QuoteServer::kSubmit);
    fs::remove(setup.DataDir / "A&S=B.txt");

    server.SetTable("ok", kTable);
    const DownloadOutcome outcome = Download({"../EVIL", "A/B", "..", "a\\b", "OK"});
    EXPECT_EQ(outcome.refused, 4);
    EXPECT_EQ(notifier_.infos,
              (std::vector<std::string>{RefusedSymbolMessage("../EVIL"), RefusedSymbolMessage("A/B"),
                                        RefusedSymbolMessage(".."), RefusedSymbolMessage("a\\b")}));
    EXPECT_EQ(FilesIn(setup.DataDir), std::vector<std::string>{"OK.txt"});
    EXPECT_EQ(FilesIn(dir_), (std::vector<std::string>{"data", "temp"}));
    EXPECT_EQ(server.Bodies().size(), 2u);
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
