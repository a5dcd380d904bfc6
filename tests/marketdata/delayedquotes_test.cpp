// The delayed-quotes CSV through the quote readers: the two real files
// against the rows the test finds in them by itself, the layout told apart
// by content, the option codes, and each kind of damage with its line.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/dates.h"
#include "marketdata/DelayedQuotesCsv.h"
#include "marketdata/OptPriceReader.h"
#include "marketdata/testsupport.h"
#include "marketdata/TextLines.h"

using namespace kestrava;
using kestrava::testing::kUsLocale;
using kestrava::testing::TestDataFile;

namespace {

const std::string kHead =
    "\n"
    "SPDR S&P 500 ETF Trust,Last: 645.05,Change:  -3.87\n"
    "\"Date: September 1, 2025 at 6:50 PM EDT\",Bid: 644.93,Ask: 645.07,Size: 1*1,\"Volume: 74,482,292\"\n"
    "Expiration Date,Calls,Last Sale,Net,Bid,Ask,Volume,IV,Delta,Gamma,Open Interest,Strike,Puts,Last Sale,"
    "Net,Bid,Ask,Volume,IV,Delta,Gamma,Open Interest\n";
const std::string kRow640 =
    "Fri Sep 19 2025,SPY250919C00640000,10.5,-1.2,10.4,10.6,120,0.15,0.61,0.02,3000,640.00,"
    "SPY250919P00640000,5.1,0.4,5.0,5.2,90,0.16,-0.39,0.02,2500\n";
const std::string kRow650 =
    "Fri Sep 19 2025,SPY250919C00650000,4.5,-1.0,4.4,4.6,80,0.14,0.40,0.02,2000,650.00,"
    "SPY250919P00650000,9.1,0.5,9.0,9.2,70,0.15,-0.60,0.02,1500\n";

class DelayedQuotesTest : public kestrava::testing::ScratchTest {
protected:
    TCboePriceReader Load(const std::string& path, TDateTime expiry, const std::string& root,
                          const std::vector<float>& strikes)
    {
        TCboePriceReader reader(notifier_, kUsLocale);
        PrepareQuoteLoad(reader, DecodeDate(expiry).month, expiry, root, strikes);
        reader.FileName = path;
        return reader;
    }
};

}  // namespace

TEST(DelayedQuotesLayout, ToldApartByTheFirstTwoLines)
{
    struct Case {
        const char* file;
        QuoteLayout layout;
    };
    for (const Case& c : {Case{"quotes-spx-2022-06-11.csv", QuoteLayout::DelayedQuotesCsv},
                          Case{"quotes-spy-2025-09-01.csv", QuoteLayout::DelayedQuotesCsv},
                          Case{"quotes-spx-2011-01-24.dat", QuoteLayout::QuoteTable},
                          Case{"quotes-aapl-2016-11-04.dat", QuoteLayout::QuoteTable},
                          Case{"quotes-spy-2016-11-25-excerpt.dat", QuoteLayout::QuoteTable},
                          Case{"history-spy.csv", QuoteLayout::QuoteTable}})
        EXPECT_EQ(QuoteFileLayout(TestDataFile(c.file).string()), c.layout) << c.file;
    // The name alone never decides: "Last:" without "Change:", or a line 1 with text, is no such file.
    EXPECT_EQ(QuoteLayoutOf("", "SPY,Last: 1,Change: 2"), QuoteLayout::DelayedQuotesCsv);
    EXPECT_EQ(QuoteLayoutOf("", "\"A, B\",Last: 1,Change: 2"), QuoteLayout::DelayedQuotesCsv);
    EXPECT_EQ(QuoteLayoutOf("x", "SPY,Last: 1,Change: 2"), QuoteLayout::QuoteTable);
    EXPECT_EQ(QuoteLayoutOf("", "SPY,Last: 1,Net: 2"), QuoteLayout::QuoteTable);
    EXPECT_EQ(QuoteLayoutOf("", "Jan 24 2011 @ 14:03 ET,"), QuoteLayout::QuoteTable);
}

TEST(DelayedQuotesLayout, OptionCodes)
{
    struct Case {
        const char* code;
        bool reads;
        const char* root;
        int year, month, day;
        bool call;
        double strike;
    };
    const Case cases[] = {
        {"SPXW220610C00800000", true, "SPXW", 2022, 6, 10, true, 800},
        {"SPY250919P00642500", true, "SPY", 2025, 9, 19, false, 642.5},
        {"X261218C00000125", true, "X", 2026, 12, 18, true, 0.125},
        {"BRKBXYZ261218P12345678", false, "", 0, 0, 0, false, 0},  // a root of 7
        {"ABCDEF261218P12345678", true, "ABCDEF", 2026, 12, 18, false, 12345.678},
        {"261218C00100000", false, "", 0, 0, 0, false, 0},     // no root
        {"SPY250231C00100000", false, "", 0, 0, 0, false, 0},  // 31 February
        {"SPY250919X00100000", false, "", 0, 0, 0, false, 0},
        {"SPY250919C0010000", false, "", 0, 0, 0, false, 0},  // 7 digits
        {"spy250919C00100000", false, "", 0, 0, 0, false, 0},
        {"SPY25091 C00100000", false, "", 0, 0, 0, false, 0},
    };
    for (const Case& c : cases) {
        OptionSymbol parsed;
        ASSERT_EQ(ParseOptionSymbol(c.code, parsed), c.reads) << c.code;
        if (!c.reads)
            continue;
        EXPECT_EQ(parsed.root, c.root) << c.code;
        EXPECT_EQ(parsed.expiry, EncodeDate(c.year, c.month, c.day)) << c.code;
        EXPECT_EQ(parsed.call, c.call) << c.code;
        EXPECT_DOUBLE_EQ(parsed.strike, c.strike) << c.code;
    }
}

TEST_F(DelayedQuotesTest, RealFilesListTheirRootsShortestFirstChosen)
{
    struct Case {
        std::string file;
        std::vector<std::string> roots;
        std::string defaultRoot;
    };
    for (const Case& c : {Case{CopyOfTestData("quotes-spx-2022-06-11.csv"), {"SPX", "SPXW"}, "SPX"},
                          Case{CopyOfTestData("quotes-spy-2025-09-01.csv"), {"SPY"}, "SPY"}}) {
        EXPECT_EQ(QuoteTableProblem(c.file), "") << c.file;
        TCboePriceReader reader(notifier_, kUsLocale);
        reader.FileName = c.file;
        reader.ListRoots();
        EXPECT_EQ(reader.Roots, c.roots);
        EXPECT_EQ(reader.DefaultRoot, c.defaultRoot);
        EXPECT_EQ(reader.Layout, QuoteLayout::DelayedQuotesCsv);
    }
    EXPECT_TRUE(notifier_.messages.empty());
    // A quote table keeps its first root as the default.
    TCboePriceReader old(notifier_, kUsLocale);
    old.FileName = CopyOfTestData("quotes-spx-2011-01-24.dat");
    old.ListRoots();
    EXPECT_EQ(old.DefaultRoot, old.Roots.front());
    EXPECT_EQ(old.Layout, QuoteLayout::QuoteTable);
}

TEST_F(DelayedQuotesTest, AnExpiryBeforeTheQuoteDateIsLeftOutAndSaidOnce)
{
    TCboePriceReader reader = Load(CopyOfTestData("quotes-spx-2022-06-11.csv"), EncodeDate(2022, 6, 10),
                                   "SPXW", {800, 3900});
    ASSERT_TRUE(reader.LoadQuotes());
    EXPECT_EQ(reader.ExpiredLeftOut, 1);
    EXPECT_EQ(reader.Bid(1, 1), 0);
    EXPECT_EQ(reader.OptCode(1, 1), "");
    EXPECT_EQ(notifier_.warnings, std::vector<std::string>{"1 expiry before the quote date was left out."});
    EXPECT_EQ(ExpiredLeftOutMessage(3), "3 expiries before the quote date were left out.");
}

TEST_F(DelayedQuotesTest, DamagedRowsAreRefusedWithTheirLineAndCause)
{
    struct Case {
        const char* what;
        std::string content;
        std::string says;  // after "Line N of FILE: "
        int line;
    };
    const std::string wrongTitles =
        "Expiration Date,Calls,Last Sale,Net,Bid,Ask,Volume,IV,Delta,Gamma,Strike,"
        "Puts,Last Sale,Net,Bid,Ask,Volume,IV,Delta,Gamma,Open Interest\n";
    std::string head = kHead;
    const Case cases[] = {
        {"malformed bid",
         kHead + kRow640
             + "Fri Sep 19 2025,SPY250919C00650000,4.5,-1.0,4.4x,4.6,80,0.14,0.40,0.02,2000,650.00,"
               "SPY250919P00650000,9.1,0.5,9.0,9.2,70,0.15,-0.60,0.02,1500\n",
         "the call's bid \"4.4x\" is not a number.", 6},
        {"truncated row", kHead + kRow640 + kRow650.substr(0, 90) + "\n", "fields, a row has 22.", 6},
        {"volume with a point",
         kHead
             + "Fri Sep 19 2025,SPY250919C00640000,10.5,-1.2,10.4,10.6,1.5,0.15,0.61,0.02,3000,640.00,"
               "SPY250919P00640000,5.1,0.4,5.0,5.2,90,0.16,-0.39,0.02,2500\n",
         "the call's volume \"1.5\" is not a count.", 5},
        {"strike not the code's",
         kHead
             + "Fri Sep 19 2025,SPY250919C00640000,10.5,-1.2,10.4,10.6,1,0.15,0.61,0.02,3000,641.00,"
               "SPY250919P00640000,5.1,0.4,5.0,5.2,90,0.16,-0.39,0.02,2500\n",
         "the strike \"641.00\" is not the strike of the code", 5},
        {"expiry not the code's",
         kHead
             + "Fri Sep 26 2025,SPY250919C00640000,10.5,-1.2,10.4,10.6,1,0.15,0.61,0.02,3000,640.00,"
               "SPY250919P00640000,5.1,0.4,5.0,5.2,90,0.16,-0.39,0.02,2500\n",
         "the expiry \"Fri Sep 26 2025\" is not the day of the code", 5},
        {"two sides of two strikes",
         kHead
             + "Fri Sep 19 2025,SPY250919C00640000,10.5,-1.2,10.4,10.6,1,0.15,0.61,0.02,3000,640.00,"
               "SPY250919P00650000,5.1,0.4,5.0,5.2,90,0.16,-0.39,0.02,2500\n",
         "are not one strike of one expiry.", 5},
        {"put code where the call's stands",
         kHead
             + "Fri Sep 19 2025,SPY250919P00640000,10.5,-1.2,10.4,10.6,1,0.15,0.61,0.02,3000,640.00,"
               "SPY250919P00640000,5.1,0.4,5.0,5.2,90,0.16,-0.39,0.02,2500\n",
         "is no call's option code", 5},
        {"wrong header", head.replace(head.rfind("Expiration"), std::string::npos, wrongTitles) + kRow640,
         "are not the layout's 22", 4},
        {"no last price", "\nSPY,Last: none,Change: 1\n",
         "the underlying's last price \"none\" is not above 0.", 2},
        {"no quote date",
         "\nSPY,Last: 645.05,Change: 1\n\"Date: Smarch 1, 2025 at 6:50 PM EDT\",Bid: 1\n" + wrongTitles,
         "gives no quote date", 3},
    };
    for (const Case& c : cases) {
        const std::string path = Write("SPY.txt", c.content);
        const std::string prefix = "Line " + std::to_string(c.line) + " of " + path + ": ";
        const std::string problem = QuoteTableProblem(path);
        EXPECT_EQ(problem.rfind(prefix, 0), 0u) << c.what << ": " << problem;
        EXPECT_NE(problem.find(c.says), std::string::npos) << c.what << ": " << problem;
        // A reply names itself, not the private file it came in.
        EXPECT_EQ(QuoteTableProblem(path, "the reply")
                      .rfind("Line " + std::to_string(c.line) + " of the reply: ", 0),
                  0u)
            << c.what;

        // The page's load of the rows refuses the same, and keeps nothing of the damaged row.
        if (c.line >= 5) {
            notifier_.messages.clear();
            TCboePriceReader reader = Load(path, EncodeDate(2025, 9, 19), "SPY", {640, 650});
            EXPECT_FALSE(reader.LoadQuotes()) << c.what;
            ASSERT_EQ(notifier_.infos.size(), 1u) << c.what;
            EXPECT_EQ(notifier_.infos.back().rfind(prefix, 0), 0u)
                << c.what << ": " << notifier_.infos.back();
            notifier_.infos.clear();
        }
    }
    const std::string bare = Write("SPY.txt", kHead);
    EXPECT_EQ(QuoteTableProblem(bare), bare + " holds no option rows after its column titles.");
}

TEST_F(DelayedQuotesTest, ImplausibleQuotesAreSetAsideAndCounted)
{
    // A bid above its ask and a negative last: the file reads, the two sides are kept out of the values.
    const std::string odd =
        "Fri Sep 19 2025,SPY250919C00640000,10.5,-1.2,10.9,10.6,120,0.15,0.61,0.02,3000,640.00,"
        "SPY250919P00640000,-5.1,0.4,5.0,5.2,90,0.16,-0.39,0.02,2500\n";
    const std::string path = Write("SPY.txt", kHead + odd + kRow650);
    EXPECT_EQ(QuoteTableProblem(path), "");
    TCboePriceReader reader = Load(path, EncodeDate(2025, 9, 19), "SPY", {640, 650});
    ASSERT_TRUE(reader.LoadQuotes());
    EXPECT_EQ(reader.SetAsideCount, 2);
    EXPECT_EQ(reader.Bid(1, 1), 0);
    EXPECT_EQ(reader.Last(1, 2), 0);
    EXPECT_FLOAT_EQ(reader.Bid(2, 1), 4.4f);
    EXPECT_EQ(notifier_.warnings, std::vector<std::string>{SetAsideMessage(2, path)});
}
