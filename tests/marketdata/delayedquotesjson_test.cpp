// The delayed-quotes JSON made today's quote CSV: the real SPY chain written
// as the service's JSON converts back into the rows of the service's own
// CSV, and every damage of a document is refused naming the value.

#include <gtest/gtest.h>

#include <charconv>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "marketdata/DelayedQuotesJson.h"
#include "marketdata/testsupport.h"

using namespace kestrava;
using kestrava::testing::TestDataFile;

namespace {

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

std::vector<std::string> Lines(const std::string& text)
{
    return Split(text, '\n');
}

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// One side of a CSV row (its ten fields from `first`) as the service's JSON
// writes an option.
std::string OptionJson(const std::vector<std::string>& f, std::size_t first)
{
    return "{\"option\": \"" + f[first] + "\", \"last_trade_price\": " + f[first + 1]
           + ", \"change\": " + f[first + 2] + ", \"bid\": " + f[first + 3] + ", \"ask\": " + f[first + 4]
           + ", \"volume\": " + f[first + 5] + ", \"iv\": " + f[first + 6] + ", \"delta\": " + f[first + 7]
           + ", \"gamma\": " + f[first + 8] + ", \"open_interest\": " + f[first + 9] + "}";
}

// The real chain's rows as the JSON lists them: puts first, then calls, so
// the converter has to pair them.
std::string ChainJson(const std::vector<std::string>& rows)
{
    std::string calls;
    std::string puts;
    for (const std::string& row : rows) {
        const std::vector<std::string> f = Split(row, ',');
        calls += (calls.empty() ? "" : ",\n") + OptionJson(f, 1);
        puts += (puts.empty() ? "" : ",\n") + OptionJson(f, 12);
    }
    return "{\"timestamp\": \"2025-09-01 18:50:00\", \"data\": {\"current_price\": 645.05, \"price_change\": "
           "-3.87, \"options\": [\n"
           + puts + ",\n" + calls + "]}}";
}

bool SameNumberOrText(const std::string& a, const std::string& b)
{
    double x = 0;
    double y = 0;
    const bool numbers = std::from_chars(a.data(), a.data() + a.size(), x).ptr == a.data() + a.size()
                         && std::from_chars(b.data(), b.data() + b.size(), y).ptr == b.data() + b.size();
    return numbers ? x == y : a == b;
}

TEST(DelayedQuotesJson, TheRealSpyChainComesBackAsTheServicesOwnRows)
{
    const std::vector<std::string> real = Lines(ReadAll(TestDataFile("quotes-spy-2025-09-01.csv")));
    ASSERT_EQ(real.size(), 1393u);
    const std::vector<std::string> rows(real.begin() + 4, real.end());
    const QuoteJsonCsv csv = DelayedQuotesJsonToCsv(ParseJson(ChainJson(rows)), "SPY");
    EXPECT_EQ(csv.options, 2 * 1389);
    EXPECT_EQ(csv.rows, 1389);
    const std::vector<std::string> written = Lines(csv.text);
    ASSERT_EQ(written.size(), real.size());
    EXPECT_EQ(written[0], "");
    EXPECT_EQ(written[1], "SPY,Last: 645.05,Change:  -3.87");
    EXPECT_EQ(written[2], "\"Date: September 1, 2025 at 6:50 PM EDT\",Bid: 0,Ask: 0,Size: 0*0,Volume: 0");
    EXPECT_EQ(written[3], real[3]);
    for (std::size_t i = 4; i < real.size(); ++i) {
        const std::vector<std::string> a = Split(written[i], ',');
        const std::vector<std::string> b = Split(real[i], ',');
        ASSERT_EQ(a.size(), 22u) << written[i];
        for (std::size_t k = 0; k < a.size(); ++k)
            ASSERT_TRUE(SameNumberOrText(a[k], b[k]))
                << "line " << i + 1 << " field " << k + 1 << ": " << written[i] << " / " << real[i];
    }
}

TEST(DelayedQuotesJson, PairsSidesByRootExpiryAndStrikeAndFillsAMissingSide)
{
    const std::string json = R"({"timestamp": "2022-01-14 09:05:00", "data": {"current_price": 4659.03,
        "options": [{"option": "SPXW220121P04600000", "bid": 20.1, "ask": 20.6, "iv": null},
                    {"option": "SPX220121C04600000", "bid": 80, "ask": 81.5, "volume": 12},
                    {"option": "SPX220121P04600000", "bid": 21, "ask": 21.5},
                    {"option": "SPX220114C00002250", "bid": 0.1e1, "ask": 2}]}})";
    const std::vector<std::string> lines = Lines(
        DelayedQuotesJsonToCsv(ParseJson(json), "S&P, \"500\"").text);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[1], "S&P   500 ,Last: 4659.03,Change:  0");
    // Winter: standard time; a morning hour.
    EXPECT_EQ(lines[2].substr(0, 42), "\"Date: January 14, 2022 at 9:05 AM EST\",Bi");
    EXPECT_EQ(lines[4], "Fri Jan 14 2022,SPX220114C00002250,0,0,1,2,0,0,0,0,0,2.25,"
                        "SPX220114P00002250,0,0,0,0,0,0,0,0,0");
    EXPECT_EQ(lines[5], "Fri Jan 21 2022,SPX220121C04600000,0,0,80,81.5,12,0,0,0,0,4600.00,"
                        "SPX220121P04600000,0,0,21,21.5,0,0,0,0,0");
    EXPECT_EQ(lines[6], "Fri Jan 21 2022,SPXW220121C04600000,0,0,0,0,0,0,0,0,0,4600.00,"
                        "SPXW220121P04600000,0,0,20.1,20.6,0,0,0,0,0");
}

TEST(DelayedQuotesJson, RefusesADamagedDocumentNamingTheValue)
{
    const auto doc = [](const std::string& stamp, const std::string& data) {
        return "{\"timestamp\": " + stamp + ", \"data\": " + data + "}";
    };
    const std::string good = "\"2025-09-01 18:50:00\"";
    const auto chain = [](const std::string& options) {
        return "{\"current_price\": 645.05, \"options\": [" + options + "]}";
    };
    const std::string call = R"({"option": "SPY250902C00400000", "bid": 1, "ask": 2})";
    struct Case {
        std::string json;
        std::string cause;
    };
    const Case cases[] = {
        {"[1]", "the document is a list, not an object"},
        {"{\"data\": {}}", "the document has no timestamp"},
        {doc("\"2025-09-01T18:50:00\"", chain(call)), "the timestamp \"2025-09-01T18:50:00\" is no time"},
        {doc("\"2025-02-29 10:00:00\"", chain(call)), "is no time written YYYY-MM-DD HH:MM:SS"},
        {doc("\"2025-09-01 24:00:00\"", chain(call)), "is no time"},
        {doc("20250901", chain(call)), "timestamp is 20250901, not a string"},
        {doc(good, "[]"), "data is a list, not an object"},
        {doc(good, "{\"options\": [" + call + "]}"), "data has no current_price"},
        {doc(good, "{\"current_price\": 0, \"options\": [" + call + "]}"),
         "data.current_price is 0, not above 0"},
        {doc(good, "{\"current_price\": \"645\", \"options\": []}"),
         "data.current_price is \"645\", which is no number"},
        {doc(good, chain("")), "data.options holds no option"},
        {doc(good, chain("7")), "data.options[0] is a number, not an object"},
        {doc(good, chain(R"({"bid": 1, "ask": 2})")), "data.options[0] has no option"},
        {doc(good, chain(call + "," + R"({"option": "SPY250902C0040000", "bid": 1, "ask": 2})")),
         "data.options[1].option is \"SPY250902C0040000\", which is no option code"},
        {doc(good, chain(R"({"option": "spy250902C00400000", "bid": 1, "ask": 2})")),
         "which is no option code"},
        {doc(good, chain(R"({"option": "SPY250931C00400000", "bid": 1, "ask": 2})")),
         "which is no option code"},
        {doc(good, chain(R"({"option": "SPY250902X00400000", "bid": 1, "ask": 2})")),
         "which is no option code"},
        {doc(good, chain(R"({"option": "SPY250902C00000000", "bid": 1, "ask": 2})")),
         "which is no option code"},
        {doc(good, chain(R"({"option": "ABCDEFG250902C00400000", "bid": 1, "ask": 2})")),
         "which is no option code"},
        {doc(good, chain(call + "," + call)),
         "data.options[1].option \"SPY250902C00400000\" is quoted a second time"},
        {doc(good, chain(R"({"option": "SPY250902C00400000", "ask": 2})")), "data.options[0] has no bid"},
        {doc(good, chain(R"({"option": "SPY250902C00400000", "bid": "1", "ask": 2})")),
         "data.options[0].bid is \"1\", which is no number"},
        {doc(good, chain(R"({"option": "SPY250902C00400000", "bid": 1, "ask": 1e12})")),
         "data.options[0].ask is 1e12, beyond any price"},
        {doc(good, chain(R"({"option": "SPY250902C00400000", "bid": 1, "ask": 2, "volume": 1.5})")),
         "data.options[0].volume is 1.5, which is no whole number"},
        {doc(good, chain(R"({"option": "SPY250902C00400000", "bid": 1, "ask": 2, "open_interest": -3})")),
         "data.options[0].open_interest is -3, which is no whole number"},
    };
    for (const Case& c : cases) {
        try {
            DelayedQuotesJsonToCsv(ParseJson(c.json), "SPY");
            ADD_FAILURE() << "converted: " << c.json;
        } catch (const QuoteJsonError& error) {
            EXPECT_NE(std::string(error.what()).find(c.cause), std::string::npos)
                << c.json << " -> " << error.what();
        }
    }
}

}  // namespace
