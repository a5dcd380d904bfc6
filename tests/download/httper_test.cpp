// The HTTP client against the loopback history server: the reply bound, the
// transfer events and the stop. How it fails, decodes and keeps its cookie
// shows in the download tests.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "download/loopback_servers.h"
#include "downloadcore/HTTPer.h"

using namespace kestrava;
using kestrava::testsupport::HistoryServer;
using kestrava::testsupport::Misbehaviour;

namespace {

const std::string kCsv =
    "Date,Open,High,Low,Close,Volume,Adj Close\n2012-09-12,144.39,144.88,143.88,144.39,1,2\n";
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

    // Nobody listening is a network error too.
    std::ostringstream out;
    EXPECT_THROW(http.Get("http://127.0.0.1:1/table.csv", out), HttpNetworkError);
}

// A reply of exactly the bound is taken whole, one byte more is refused,
// whether its size is announced or counted as it arrives.
TEST_F(HttperTest, TheBoundItselfIsTaken)
{
    http.MaxReplyBytes = 4096;
    for (Misbehaviour how : {Misbehaviour::None, Misbehaviour::Chunked}) {
        SCOPED_TRACE(how == Misbehaviour::None ? "announced" : "chunked");
        history.SetMisbehaviour("spy", how);
        const std::string bound(4096, 'b');
        history.SetCsv("spy", bound);
        EXPECT_EQ(Fetch(), bound);
        history.SetCsv("spy", bound + "!");
        EXPECT_THROW(Fetch(), HttpNetworkError);
    }
}

// A redirect that is followed gives the page it points to, and nothing of
// its own page; one that is not followed is an error, and its page is no
// reply either.
TEST_F(HttperTest, RedirectPagesAreNeverTheReply)
{
    history.SetMisbehaviour("spy", Misbehaviour::Redirect);
    EXPECT_EQ(Fetch(), kCsv);

    http.Options.HandleRedirects = false;
    std::ostringstream out;
    try {
        http.Get(history.Base() + "/table.csv" + kQuery, out);
        ADD_FAILURE() << "an unfollowed redirect was taken as the reply";
    } catch (const HttpNetworkError& error) {
        EXPECT_EQ(error.Status(), 302) << error.what();
    }
    EXPECT_EQ(out.str(), "");
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

TEST_F(HttperTest, AnEndlessHeaderLineSaysSo)
{
    // The downloads' tests show the other refusals; this one only the client sees.
    history.SetMisbehaviour("spy", Misbehaviour::HugeHeader);
    http.Options.ReadTimeoutMs = 2000;
    try {
        Fetch();
        ADD_FAILURE() << "a header line of 1 MB was taken";
    } catch (const HttpNetworkError& error) {
        EXPECT_STREQ(error.what(), "The reply's header was too long.");
    }
    history.SetMisbehaviour("spy", Misbehaviour::None);
    EXPECT_EQ(Fetch(), kCsv);
}
