// The HTTP client against the loopback servers: what it raises for each way
// a server can fail, the decoding of compressed replies, the reply bound,
// the cookie kept between requests, the transfer events and the stop.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "download/HTTPer.h"
#include "download/loopback_servers.h"

using namespace kestrava;
using kestrava::testsupport::HistoryServer;
using kestrava::testsupport::Misbehaviour;
using kestrava::testsupport::QuoteServer;

namespace {

const std::string kCsv = "Date,Open,High,Low,Close,Volume,Adj Close\n2012-09-12,144.39,144.88,143.88,144.39,1,2\n";
const std::string kQuery = "?s=spy&d=8&e=12&f=2012&g=d&a=8&b=12&c=2010&ignore=.csv";

struct Event {
    char kind;  // 'b'egin, 'w'ork, 'e'nd
    WorkMode mode;
    std::int64_t value;
};

class HttperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        http.Options.ConnectTimeoutMs = 2000;
        http.Options.ReadTimeoutMs = 300;
        history.SetCsv("spy", kCsv);
    }

    // The reply to a GET of the history table, or the error's text.
    std::string Fetch(const std::string& symbol = "spy")
    {
        std::ostringstream out;
        std::string query = kQuery;
        query.replace(query.find("spy"), 3, symbol);
        http.Get(history.Base() + "/table.csv" + query, out);
        return out.str();
    }

    HistoryServer history;
    HTTPer http;
};

}  // namespace

TEST_F(HttperTest, EachFailureRaisesItsKind)
{
    struct Case {
        Misbehaviour how;
        std::string text;  // what the error says, at its start
        int status;
    };
    const Case cases[] = {
        {Misbehaviour::NotFound, "HTTP/1.1 404 Not Found", 404},
        {Misbehaviour::ServerError, "HTTP/1.1 500 Internal Server Error", 500},
        {Misbehaviour::Stall, "Read timed out.", 0},
        {Misbehaviour::Reset, "transfer closed", 0},
        {Misbehaviour::RedirectLoop, "Maximum (4) redirects followed", 0},
    };
    http.Options.HandleRedirects = true;
    for (const Case& c : cases) {
        history.SetMisbehaviour("spy", c.how);
        try {
            Fetch();
            ADD_FAILURE() << c.text << ": no error";
        } catch (const HttpNetworkError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(c.text, 0), 0u) << error.what();
            EXPECT_EQ(error.Status(), c.status) << c.text;
        }
    }

    // A redirect that is not to be followed is an error status, not a reply.
    history.SetMisbehaviour("spy", Misbehaviour::Redirect);
    http.Options.HandleRedirects = false;
    EXPECT_THROW(Fetch(), HttpNetworkError);
    http.Options.HandleRedirects = true;
    EXPECT_EQ(Fetch(), kCsv);

    // Nobody listening.
    std::ostringstream out;
    EXPECT_THROW(http.Get("http://127.0.0.1:1/table.csv", out), HttpNetworkError);
}

TEST_F(HttperTest, CompressedRepliesArriveDecoded)
{
    history.SetMisbehaviour("spy", Misbehaviour::Gzip);
    // Asked for or not: the header may be off the request, the reply is
    // still decoded.
    for (const std::string encoding : {"", "gzip,deflate"}) {
        http.Request.AcceptEncoding = encoding;
        EXPECT_EQ(Fetch(), kCsv) << encoding;
        const httplib::Headers sent = history.LastHeaders("/table.csv");
        EXPECT_EQ(sent.count("Accept-Encoding"), encoding.empty() ? 0u : 1u);
    }
}

TEST_F(HttperTest, RepliesBeyondTheBoundAreRefused)
{
    history.SetMisbehaviour("spy", Misbehaviour::Huge);
    try {
        Fetch();
        ADD_FAILURE() << "a 100 MB reply was taken";
    } catch (const HttpNetworkError& error) {
        EXPECT_STREQ(error.what(), "The reply is larger than 64 MB.");
    }
    // Also when no size is announced, counted as it comes.
    history.SetMisbehaviour("spy", Misbehaviour::None);
    history.SetCsv("spy", std::string(5000, 'x'));
    http.MaxReplyBytes = 4096;
    EXPECT_THROW(Fetch(), HttpNetworkError);
}

TEST_F(HttperTest, HeadersProtocolAndCookieOfOneClient)
{
    QuoteServer quotes;
    quotes.SetTable("spx", "SPX table\r\n");
    http.Options.ProtocolVersion = HttpVersion::Http10;
    http.Request.UserAgent = "Mozilla/5.0";
    http.Request.Referer = quotes.Base() + "/home";
    http.Request.ContentType = "application/x-www-form-urlencoded";
    http.Request.Host = quotes.Authority();

    // The data file is tied to the form POST by the session cookie.
    std::ostringstream first;
    http.Get(quotes.Base() + "/DelayedQuote/QuoteData.dat", first);
    EXPECT_NE(first.str().find("session has expired"), std::string::npos);
    http.Post(quotes.Base() + "/DelayedQuote/QuoteTableDownload.aspx", std::string("a=1&txtTicker=spx") + QuoteServer::kSubmit);
    std::ostringstream second;
    http.Get(quotes.Base() + "/DelayedQuote/QuoteData.dat", second);
    EXPECT_EQ(second.str(), "SPX table\r\n");
    EXPECT_EQ(http.ResponseCode(), 200);

    EXPECT_EQ(quotes.LastVersion(), "HTTP/1.0");
    const httplib::Headers sent = quotes.LastHeaders("/DelayedQuote/QuoteData.dat");
    EXPECT_EQ(sent.find("User-Agent")->second, "Mozilla/5.0");
    EXPECT_EQ(sent.find("Referer")->second, quotes.Base() + "/home");
    EXPECT_EQ(sent.find("Host")->second, quotes.Authority());
    EXPECT_EQ(sent.count("Expect"), 0u);

    // Another client has no session.
    HTTPer other;
    std::ostringstream third;
    other.Get(quotes.Base() + "/DelayedQuote/QuoteData.dat", third);
    EXPECT_NE(third.str().find("session has expired"), std::string::npos);
}

TEST_F(HttperTest, TransferEventsFollowTheBytes)
{
    const std::string big(300000, 'q');
    history.SetCsv("spy", big);
    std::vector<Event> events;
    http.OnWorkBegin = [&](WorkMode mode, std::int64_t expected) { events.push_back({'b', mode, expected}); };
    http.OnWork = [&](WorkMode mode, std::int64_t count) { events.push_back({'w', mode, count}); };
    http.OnWorkEnd = [&](WorkMode mode) { events.push_back({'e', mode, 0}); };
    EXPECT_EQ(Fetch(), big);

    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front().kind, 'b');
    EXPECT_EQ(events.front().mode, WorkMode::Read);
    EXPECT_EQ(events.front().value, 300000);
    EXPECT_EQ(events.back().kind, 'e');
    std::int64_t last = 0;
    for (std::size_t i = 1; i + 1 < events.size(); ++i) {
        EXPECT_EQ(events[i].kind, 'w');
        EXPECT_GT(events[i].value, last);
        last = events[i].value;
    }
    EXPECT_EQ(last, 300000);
}

TEST_F(HttperTest, PostReportsItsSendingAlsoWhenTheReplyFails)
{
    std::vector<Event> events;
    http.OnWorkBegin = [&](WorkMode mode, std::int64_t expected) { events.push_back({'b', mode, expected}); };
    http.OnWorkEnd = [&](WorkMode mode) { events.push_back({'e', mode, 0}); };
    EXPECT_THROW(http.Post(history.Base() + "/nowhere", "a=1"), HttpNetworkError);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, 'b');
    EXPECT_EQ(events[0].mode, WorkMode::Write);
    EXPECT_EQ(events[0].value, 3);
    EXPECT_EQ(events[1].kind, 'e');
    EXPECT_EQ(events[1].mode, WorkMode::Write);
}

TEST_F(HttperTest, StopFromTheIdleHookIsSilentAndSticks)
{
    history.SetMisbehaviour("spy", Misbehaviour::Stall);
    http.Options.ReadTimeoutMs = 5000;
    int idle = 0;
    http.OnIdle = [&] {
        if (++idle == 3)
            http.Abort();
    };
    EXPECT_THROW(Fetch(), HttpAbort);
    EXPECT_EQ(idle, 3);
    // Refused at once until the stop is taken back.
    history.SetMisbehaviour("spy", Misbehaviour::None);
    const std::size_t asked = history.Requests().size();
    EXPECT_THROW(Fetch(), HttpAbort);
    EXPECT_EQ(history.Requests().size(), asked);
    http.ResetAbort();
    EXPECT_EQ(Fetch(), kCsv);
}
