#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/dates.h"
#include "marketdata/OptPriceReader.h"
#include "marketdata/testsupport.h"
#include "marketdata/TextLines.h"

#include <sys/stat.h>

using namespace kestrava;
using kestrava::testing::kDeLocale;
using kestrava::testing::kIsoLocale;
using kestrava::testing::kUsLocale;
using kestrava::testing::TestDataFile;

namespace {

const std::string kHead =
    "SPX (S&P 500 INDEX),1290.59,+7.24,\r\n"
    "Jan 24 2011 @ 14:03 ET,\r\n"
    "Calls,Last Sale,Net,Bid,Ask,Vol,Open Int,Puts,Last Sale,Net,Bid,Ask,Vol,Open Int,\r\n";

// One option row: "11 Feb 1050.00 (SPX1119B1050-E),<call>,0,0,11 Feb 1050.00
// (SPX1119N1050-E),<put>,0,0," with four quote fields per side.
std::string Row(const std::string& yearMonth, const std::string& strike, const std::string& callCode,
                const std::string& putCode, const std::string& call = "1.10,+0.10,1.00,1.20",
                const std::string& put = "2.10,-0.20,2.00,2.20")
{
    return yearMonth + " " + strike + " (" + callCode + ")," + call + ",0,0," + yearMonth + " " + strike
           + " (" + putCode + ")," + put + ",0,0,\r\n";
}

class QuoteFileTest : public kestrava::testing::ScratchTest {
protected:
    TCboePriceReader Reader(const std::string& path, int month, TDateTime expiry, const std::string& contract,
                            const std::vector<float>& strikes, const LocaleInfo& locale = kUsLocale)
    {
        TCboePriceReader reader(notifier_, locale);
        PrepareQuoteLoad(reader, month, expiry, contract, strikes);
        reader.FileName = path;
        return reader;
    }

    std::vector<std::string> Roots(const std::string& path)
    {
        TCboePriceReader reader(notifier_, kUsLocale);
        reader.FileName = path;
        reader.ListRoots();
        return reader.Roots;
    }
};

}  // namespace

TEST(QuoteFilters, BuiltAsTheOptionPageBuildsThem)
{
    kestrava::testing::RecordingNotifier notifier;
    TCboePriceReader reader(notifier, kUsLocale);
    const std::vector<float> strikes{1000, 1050};
    PrepareQuoteLoad(reader, 3, EncodeDate(2009, 3, 21), "SPX-E", strikes);
    EXPECT_EQ(reader.MonthFilter, "Mar");
    EXPECT_EQ(reader.YearFilter, "09");
    EXPECT_EQ(reader.ExpiryDay, 21);
    EXPECT_EQ(reader.OptionRoot, "SPX");
    EXPECT_EQ(reader.SuffixFilter, "-E");
    EXPECT_EQ(reader.StrikeCount, 2);

    PrepareQuoteLoad(reader, 12, EncodeDate(2016, 12, 30), "SPY", strikes);
    EXPECT_EQ(reader.MonthFilter, "Dec");
    EXPECT_EQ(reader.YearFilter, "16");
    EXPECT_EQ(reader.OptionRoot, "SPY");
    EXPECT_EQ(reader.SuffixFilter, " ");

    const std::vector<float> many(25, 10.0f);
    PrepareQuoteLoad(reader, 1, EncodeDate(2016, 1, 15), "SPY", many);
    EXPECT_EQ(reader.StrikeCount, kQuoteStrikes);
}

TEST_F(QuoteFileTest, UnusableFilesAreReportedAndMovedAside)
{
    struct Case {
        std::string content;
        std::string message;  // empty: the file's path + " is empty."
    };
    const Case cases[] = {
        {"", ""},
        {"<html><body>Service unavailable</body></html>\r\n", "No option prices available."},
        {"\r\nJan 24 2011 @ 14:03 ET,\r\n", "No option prices available."},
    };
    int number = 1;
    for (const Case& c : cases) {
        notifier_.messages.clear();
        const std::string path = Write("SPX.txt", c.content);
        EXPECT_TRUE(Roots(path).empty());
        // Nothing is lost: the file waits in "Rejected" beside the ones
        // rejected before it, and the message says where.
        const std::filesystem::path rejected =
            dir_ / "Rejected" / (number == 1 ? "SPX.txt" : "SPX.txt." + std::to_string(number));
        ++number;
        const std::string message = c.message.empty() ? path + " is empty." : c.message;
        EXPECT_EQ(notifier_.messages,
                  std::vector<std::string>{message + " The file was moved to " + rejected.string() + "."});
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_EQ(ReadAll(rejected.string()), c.content);
    }

    // A link in place of the folder receives nothing.
    const std::filesystem::path elsewhere = dir_ / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    std::filesystem::rename(dir_ / "Rejected", dir_ / "Kept");
    std::filesystem::create_directory_symlink(elsewhere, dir_ / "Rejected");
    notifier_.messages.clear();
    const std::string linked = Write("SPX.txt", "<html>\r\n");
    EXPECT_TRUE(Roots(linked).empty());
    ASSERT_EQ(notifier_.messages.size(), 1u);
    EXPECT_NE(notifier_.messages[0].find("is no folder of this user's own"), std::string::npos)
        << notifier_.messages[0];
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
    EXPECT_EQ(ReadAll(linked), "<html>\r\n");
    std::filesystem::remove(dir_ / "Rejected");

    // A folder that cannot take it leaves the file where it was.
    std::filesystem::remove_all(dir_ / "Rejected");
    Write("Rejected", "a file where the folder would go");
    notifier_.messages.clear();
    const std::string path = Write("SPX.txt", "<html>\r\n");
    EXPECT_TRUE(Roots(path).empty());
    ASSERT_EQ(notifier_.messages.size(), 1u);
    EXPECT_NE(notifier_.messages[0].find("stays where it is."), std::string::npos) << notifier_.messages[0];
    EXPECT_EQ(ReadAll(path), "<html>\r\n");
}

TEST_F(QuoteFileTest, WhatIsNoRegularFileIsReportedButKept)
{
    // A FIFO would hold the reader for ever: it is refused at once.
    const std::filesystem::path folder = dir_ / "SPX.txt";
    const std::filesystem::path fifo = dir_ / "OEX.txt";
    std::filesystem::create_directories(folder);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(Roots(folder.string()).empty());
    EXPECT_TRUE(Roots(fifo.string()).empty());
    TCboePriceReader reader = Reader(fifo.string(), 2, EncodeDate(2011, 2, 19), "OEX", {10});
    EXPECT_FALSE(reader.LoadQuotes());
    EXPECT_EQ(notifier_.messages,
              (std::vector<std::string>{"Cannot open " + folder.string() + ": it is a folder.",
                                        "Cannot open " + fifo.string() + ": it is not a regular file.",
                                        "Cannot open " + fifo.string() + ": it is not a regular file."}));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

TEST_F(QuoteFileTest, OneOrdinaryLineIsNoError)
{
    const std::string path = Write("SPX.txt", "SPX (S&P 500 INDEX),1290.59,+7.24,\r\n");
    EXPECT_TRUE(Roots(path).empty());
    EXPECT_TRUE(notifier_.messages.empty());
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(QuoteFileTest, BlankRowIsAnIndexErrorForBothOperations)
{
    const std::string content = kHead + Row("11 Feb", "1000.00", "SPX1119B1000", "SPX1119N1000") + "\r\n"
                                + Row("11 Feb", "1050.00", "SPX1119B1050", "SPX1119N1050");
    const std::string path = Write("SPX.txt", content);

    TCboePriceReader load = Reader(path, 2, EncodeDate(2011, 2, 19), "SPX", {1000, 1050});
    EXPECT_FALSE(load.LoadQuotes());
    ASSERT_EQ(notifier_.messages.size(), 1u);
    EXPECT_NE(notifier_.messages[0].find("Line 5 of"), std::string::npos);
    EXPECT_FLOAT_EQ(load.Last(1, 1), 1.10f);  // stored before the error, kept

    // All strikes matched before the blank line: no error.
    notifier_.messages.clear();
    TCboePriceReader early = Reader(path, 2, EncodeDate(2011, 2, 19), "SPX", {1000});
    EXPECT_TRUE(early.LoadQuotes());

    EXPECT_EQ(Roots(path), std::vector<std::string>{"SPX"});  // what came before the error
    EXPECT_EQ(notifier_.messages.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(QuoteFileTest, RowsWithTooFewFieldsOrWordsFailTheLoad)
{
    const std::string shortRows[] = {
        "11 Feb 1000.00 (SPX1119B1000),1.10,+0.10,1.00,1.20,0,0,\r\n",
        "11 Feb 1000.00,1,2,3,4,5,6,7,8,9,10,11,\r\n",
        "11 Feb 1000.00 (SPX1119B1000),1.10,+0.10,1.00,1.20,0,0,11 Feb,2,3,4,5,\r\n",
        "11 Feb 1000.00 (SPX1119B1000),1.10,+0.10,abc,1.20,0,0,11 Feb 1000 (X),2,3,4,5,\r\n",
        "11 Feb 1000.00 (SPX1119B1000),1.10,+0.10,1e39,1.20,0,0,11 Feb 1000 (X),2,3,4,5,\r\n",
        "11 Feb 1000.00 (SPX11xxB1000),1,2,3,4,5,6,7,8,9,10,11,\r\n",
        "11 Feb 10x0 (SPX1119B1000),1,2,3,4,5,6,7,8,9,10,11,\r\n",
    };
    for (const std::string& row : shortRows) {
        notifier_.messages.clear();
        const std::string path = Write("SPX.txt", kHead + row);
        TCboePriceReader reader = Reader(path, 2, EncodeDate(2011, 2, 19), "SPX", {1000});
        EXPECT_FALSE(reader.LoadQuotes()) << row;
        EXPECT_EQ(notifier_.messages.size(), 1u) << row;
    }
}

TEST_F(QuoteFileTest, StrikesMatchAtSinglePrecision)
{
    const std::string path = Write("XYZ.txt", kHead + Row("11 Feb", "12.10", "XYZ1119B12.1", "XYZ1119N12.1")
                                                  + Row("11 Feb", "47.50", "XYZ1119B47.5", "XYZ1119N47.5")
                                                  + Row("11 Feb", "1000.00", "XYZ1119B1000", "XYZ1119N1000"));
    TCboePriceReader reader = Reader(path, 2, EncodeDate(2011, 2, 19), "XYZ", {12.1f, 47.5f, 1000});
    ASSERT_TRUE(reader.LoadQuotes());
    for (int s = 1; s <= 3; ++s) {
        EXPECT_FLOAT_EQ(reader.Last(s, 1), 1.10f) << "strike " << s;
        EXPECT_FLOAT_EQ(reader.Ask(s, 2), 2.20f) << "strike " << s;
    }
    EXPECT_EQ(reader.OptCode(1, 1), "\rXYZ B");
    EXPECT_EQ(reader.OptCode(1, 2), "\rXYZ N");
}

TEST_F(QuoteFileTest, NetChangeNeedsThreeCharactersAndBlanksAreNoQuote)
{
    const std::string path = Write(
        "XYZ.txt", kHead + Row("11 Feb", "10.00", "XYZ1119B10", "XYZ1119N10", "1,0, , ", "2,-5,0.5,0.6")
                       + Row("11 Feb", "20.00", "XYZ1119B20", "XYZ1119N20", "1,0.00,1,2", "2,+0.25,3,4"));
    TCboePriceReader reader = Reader(path, 2, EncodeDate(2011, 2, 19), "XYZ", {10, 20});
    ASSERT_TRUE(reader.LoadQuotes());
    EXPECT_EQ(reader.NetChange(1, 1), 0);
    EXPECT_EQ(reader.NetChange(1, 2), 0);  // "-5": two characters
    EXPECT_EQ(reader.Bid(1, 1), 0);
    EXPECT_EQ(reader.Ask(1, 1), 0);
    EXPECT_FLOAT_EQ(reader.NetChange(2, 2), 0.25f);
    EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(QuoteFileTest, ScanOrderAndFilters)
{
    const std::string content = kHead
                                // descending strikes: each match moves the scan's start one strike on
                                + Row("11 Feb", "30.00", "XYZ1119B30", "XYZ1119N30", "3,0,3,3")
                                + Row("11 Feb", "20.00", "XYZ1119B20", "XYZ1119N20", "2,0,2,2")
                                + Row("11 Feb", "10.00", "XYZ1119B10", "XYZ1119N10", "1,0,1,1")
                                // a weekly of the same month and year: another day
                                + Row("11 Feb", "10.00", "XYZ1111B10", "XYZ1111N10", "9,0,9,9")
                                // another root, another suffix, another year
                                + Row("11 Feb", "10.00", "XYZW1119B10", "XYZW1119N10", "8,0,8,8")
                                + Row("11 Feb", "10.00", "XYZ1119B10-E", "XYZ1119N10-E", "7,0,7,7")
                                + Row("12 Feb", "10.00", "XYZ1219B10", "XYZ1219N10", "6,0,6,6");
    const std::string path = Write("XYZ.txt", content);
    TCboePriceReader reader = Reader(path, 2, EncodeDate(2011, 2, 19), "XYZ", {10, 20, 30});
    ASSERT_TRUE(reader.LoadQuotes());
    EXPECT_FLOAT_EQ(reader.Last(3, 1), 3);
    EXPECT_FLOAT_EQ(reader.Last(2, 1), 2);
    EXPECT_EQ(reader.Last(1, 1), 0);  // two matches: the scan starts at strike 30
    EXPECT_EQ(reader.OptCode(1, 1), "");

    TCboePriceReader plain = Reader(path, 2, EncodeDate(2011, 2, 19), "XYZ", {10});
    ASSERT_TRUE(plain.LoadQuotes());
    EXPECT_FLOAT_EQ(plain.Last(1, 1), 1);

    TCboePriceReader suffixed = Reader(path, 2, EncodeDate(2011, 2, 19), "XYZ-E", {10});
    ASSERT_TRUE(suffixed.LoadQuotes());
    EXPECT_FLOAT_EQ(suffixed.Last(1, 1), 7);

    TCboePriceReader weekly = Reader(path, 2, EncodeDate(2011, 2, 11), "XYZ", {10});
    ASSERT_TRUE(weekly.LoadQuotes());
    EXPECT_FLOAT_EQ(weekly.Last(1, 1), 9);

    // "12" of 2012 also occurs in the strike 1200, so an 11 row passes the
    // year test; the day test still holds it back.
    const std::string path2 = Write(
        "ABC.txt", kHead + Row("11 Feb", "1200.00", "ABC1118B1200", "ABC1118N1200")
                       + Row("11 Feb", "1200.00", "ABC1218B1200", "ABC1218N1200", "5,0,5,5"));
    TCboePriceReader year = Reader(path2, 2, EncodeDate(2012, 2, 18), "ABC", {1200});
    ASSERT_TRUE(year.LoadQuotes());
    EXPECT_FLOAT_EQ(year.Last(1, 1), 1.10f);
}

TEST_F(QuoteFileTest, PlainRootTakesNoExchangeCopy)
{
    // Strike 10 has its exchange copy first; strike 20 has no plain row.
    const std::string path = Write("XYZ.txt",
                                   kHead + Row("11 Feb", "10.00", "XYZ1119B10-E", "XYZ1119N10-E", "7,0,7,7")
                                       + Row("11 Feb", "10.00", "XYZ1119B10", "XYZ1119N10", "1,0,1,1")
                                       + Row("11 Feb", "20.00", "XYZ1119B20-E", "XYZ1119N20-E", "8,0,8,8"));
    TCboePriceReader plain = Reader(path, 2, EncodeDate(2011, 2, 19), "XYZ", {10, 20});
    ASSERT_TRUE(plain.LoadQuotes());
    EXPECT_FLOAT_EQ(plain.Last(1, 1), 1);
    EXPECT_EQ(plain.Last(2, 1), 0);
    EXPECT_EQ(plain.OptCode(2, 2), "");

    TCboePriceReader suffixed = Reader(path, 2, EncodeDate(2011, 2, 19), "XYZ-E", {10, 20});
    ASSERT_TRUE(suffixed.LoadQuotes());
    EXPECT_FLOAT_EQ(suffixed.Last(1, 1), 7);
    EXPECT_FLOAT_EQ(suffixed.Last(2, 1), 8);
}

TEST_F(QuoteFileTest, StrikeIndicesNeverLeaveTheTables)
{
    TCboePriceReader reader(notifier_, kUsLocale);
    reader.SetStrike(0, 1, 5);
    reader.SetStrike(21, 1, 5);
    reader.SetStrike(1, 3, 5);
    EXPECT_EQ(reader.Last(21, 1), 0);
    EXPECT_EQ(reader.Bid(-1, 1), 0);
    EXPECT_EQ(reader.OptCode(1, 0), "");

    reader.FileName = Write("XYZ.txt", kHead + Row("11 Feb", "10.00", "XYZ1119B10", "XYZ1119N10"));
    reader.MonthFilter = "Feb";
    reader.YearFilter = "11";
    reader.SuffixFilter = " ";
    reader.OptionRoot = "XYZ";
    reader.ExpiryDay = 19;
    reader.StrikeCount = 1000;
    reader.SetStrike(20, 1, 10);
    EXPECT_TRUE(reader.LoadQuotes());
    EXPECT_FLOAT_EQ(reader.Last(20, 1), 1.10f);
}

TEST_F(QuoteFileTest, QuoteDateAndTimeInEachLocale)
{
    const std::string path = Write("XYZ.txt", kHead);
    const std::pair<const LocaleInfo*, const char*> cases[] = {{&kUsLocale, "1/24/2011"},
                                                               {&kIsoLocale, "2011-01-24"},
                                                               {&kDeLocale, "24.01.2011"}};
    for (const auto& [locale, text] : cases) {
        TCboePriceReader reader = Reader(path, 2, EncodeDate(2011, 2, 19), "XYZ", {10}, *locale);
        ASSERT_TRUE(reader.LoadQuotes());
        EXPECT_EQ(reader.QuoteDate, EncodeDate(2011, 1, 24));
        EXPECT_EQ(reader.GetQuoteDateText(), text);
        EXPECT_EQ(reader.QuoteTime, "Jan 24 2011 @ 14:03 ET");
        EXPECT_EQ(reader.UnderlyingSymbol, "SPX");
        EXPECT_FLOAT_EQ(reader.UnderlyingLast, 1290.59f);
        EXPECT_EQ(reader.UnderlyingNet, "+7.24");
    }

    // Every month by the exchange's own name, in the quote time and in the
    // filter of an expiry's rows.
    const char* const names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int month = 1; month <= 12; ++month) {
        const std::string name = names[month - 1];
        std::string head = kHead;
        head.replace(head.find("Jan 24"), 3, name);
        TCboePriceReader reader = Reader(Write("XYZ.txt", head), month, EncodeDate(2011, 12, 17), "XYZ",
                                         {10});
        ASSERT_TRUE(reader.LoadQuotes()) << name;
        EXPECT_EQ(reader.QuoteDate, EncodeDate(2011, month, 24)) << name;
        EXPECT_EQ(reader.MonthFilter, name);
    }

    for (const char* line2 : {"Jan 24 2011 14:03 ET,\r\n", "Jan 32 2011 @ 14:03 ET,\r\n",
                              "Jan x 2011 @ 14:03 ET,\r\n", "Jan @,\r\n", " @ 14:03 ET,\r\n", ",,\r\n"}) {
        notifier_.messages.clear();
        const std::string bad = Write("BAD.txt",
                                      "SPX (S&P 500 INDEX),1290.59,+7.24,\r\n" + std::string(line2));
        TCboePriceReader reader = Reader(bad, 2, EncodeDate(2011, 2, 19), "XYZ", {10});
        EXPECT_FALSE(reader.LoadQuotes()) << line2;
        EXPECT_EQ(notifier_.messages.size(), 1u) << line2;
    }
}

TEST_F(QuoteFileTest, MissingOrEmptyFileFailsTheLoad)
{
    const std::string gone = (dir_ / "GONE.txt").string();
    TCboePriceReader reader = Reader(gone, 2, EncodeDate(2011, 2, 19), "XYZ", {10});
    EXPECT_FALSE(reader.LoadQuotes());
    const std::string empty = Write("EMPTY.txt", "");
    TCboePriceReader second = Reader(empty, 2, EncodeDate(2011, 2, 19), "XYZ", {10});
    EXPECT_FALSE(second.LoadQuotes());
    // A file that ends after its underlying line names the line it misses.
    const std::string cut = Write("CUT.txt", kHead.substr(0, kHead.find("\r\n") + 2));
    TCboePriceReader third = Reader(cut, 2, EncodeDate(2011, 2, 19), "XYZ", {10});
    EXPECT_FALSE(third.LoadQuotes());
    ASSERT_EQ(notifier_.messages.size(), 3u);
    EXPECT_EQ(notifier_.messages[1], empty + " is empty.");
    EXPECT_EQ(notifier_.messages[2], cut + " ends before its quote time.");
    EXPECT_TRUE(std::filesystem::exists(empty));  // only ListRoots deletes
}

TEST_F(QuoteFileTest, OverlongLineAndByteOrderMark)
{
    // A line of megabytes is no quote table: both operations stop on it with
    // a message instead of holding it in memory.
    const std::string overlong(5 << 20, 'x');
    const std::string path = Write("XYZ.txt", "SPX (S&P 500 INDEX),1290.59,+7.24,\r\n" + overlong);
    TCboePriceReader reader = Reader(path, 2, EncodeDate(2011, 2, 19), "XYZ", {10});
    EXPECT_FALSE(reader.LoadQuotes());
    const std::string message = "Line 2 of " + path + " is longer than 4194304 characters.";
    EXPECT_EQ(notifier_.messages, std::vector<std::string>{message});
    notifier_.messages.clear();
    EXPECT_TRUE(Roots(path).empty());
    EXPECT_EQ(notifier_.messages, std::vector<std::string>{message + " The file was moved to "
                                                           + (dir_ / "Rejected" / "XYZ.txt").string() + "."});
    EXPECT_FALSE(std::filesystem::exists(path));

    // At the bound: the longest line is taken with its CRLF or LF end, and
    // with no end at all (the bound leaves room for a CR); two characters
    // more are refused.
    const std::string longest(kMaxLineLength, 'y');
    for (const std::string& end : {std::string("\r\n"), std::string("\n"), std::string()}) {
        TextLineReader lines(Write("long.txt", "a\r\n" + longest + end + (end.empty() ? "" : "b\n")));
        std::string line;
        ASSERT_TRUE(lines.ReadLine(line) && lines.ReadLine(line));
        EXPECT_EQ(line.size(), kMaxLineLength);
        EXPECT_FALSE(lines.Failed());
        TextLineReader tooLong(Write("longer.txt", longest + "yy" + end));
        EXPECT_FALSE(tooLong.ReadLine(line));
        EXPECT_TRUE(tooLong.Failed());
    }

    // A byte order mark before the underlying line is not part of its symbol.
    const std::string marked = Write("BOM.txt", "\xEF\xBB\xBF" + kHead
                                                    + Row("11 Feb", "10.00", "XYZ1119B10", "XYZ1119N10"));
    TCboePriceReader bom = Reader(marked, 2, EncodeDate(2011, 2, 19), "XYZ", {10});
    ASSERT_TRUE(bom.LoadQuotes());
    EXPECT_EQ(bom.UnderlyingSymbol, "SPX");
    EXPECT_FLOAT_EQ(bom.Last(1, 1), 1.10f);
}

TEST_F(QuoteFileTest, RealSpxTable)
{
    const std::string copy = (dir_ / "SPX.txt").string();
    std::filesystem::copy_file(TestDataFile("quotes-spx-2011-01-24.dat"), copy);
    // Five-letter SPXPM codes show as the four-character root SPXP.
    EXPECT_EQ(Roots(copy), (std::vector<std::string>{"SPX-E", "SPXP-E", "SPXW-E"}));
    EXPECT_TRUE(notifier_.messages.empty());

    // The February monthly is coded on Saturday 19 February.
    TCboePriceReader feb = Reader(copy, 2, EncodeDate(2011, 2, 19), "SPX-E", {1025, 1050, 1055});
    ASSERT_TRUE(feb.LoadQuotes());
    EXPECT_FLOAT_EQ(feb.Last(2, 1), 234.50f);
    EXPECT_FLOAT_EQ(feb.NetChange(2, 1), 6.05f);
    EXPECT_FLOAT_EQ(feb.Bid(2, 1), 238.20f);
    EXPECT_FLOAT_EQ(feb.Ask(2, 1), 241.90f);
    EXPECT_EQ(feb.OptCode(2, 1), "\rSPX B");
    EXPECT_FLOAT_EQ(feb.Last(2, 2), 0.75f);
    EXPECT_FLOAT_EQ(feb.NetChange(2, 2), -0.30f);
    EXPECT_FLOAT_EQ(feb.Bid(2, 2), 0.70f);
    EXPECT_FLOAT_EQ(feb.Ask(2, 2), 0.85f);
    EXPECT_EQ(feb.OptCode(2, 2), "\rSPX N");
    EXPECT_FLOAT_EQ(feb.Ask(1, 1), 266.80f);
    EXPECT_FLOAT_EQ(feb.Bid(3, 2), 0.35f);
    EXPECT_FLOAT_EQ(feb.UnderlyingLast, 1290.59f);
    EXPECT_EQ(feb.QuoteDate, EncodeDate(2011, 1, 24));

    // March and June tabs of the same series take only their own month.
    TCboePriceReader mar = Reader(copy, 3, EncodeDate(2011, 3, 19), "SPX-E", {1300});
    TCboePriceReader jun = Reader(copy, 6, EncodeDate(2011, 6, 18), "SPX-E", {1300});
    ASSERT_TRUE(mar.LoadQuotes());
    ASSERT_TRUE(jun.LoadQuotes());
    EXPECT_EQ(mar.OptCode(1, 1), "\rSPX C");
    EXPECT_EQ(jun.OptCode(1, 1), "\rSPX F");
    EXPECT_GT(jun.Ask(1, 1), mar.Ask(1, 1));

    // The weekly root with its Friday.
    TCboePriceReader weekly = Reader(copy, 1, EncodeDate(2011, 1, 28), "SPXW-E", {1230});
    ASSERT_TRUE(weekly.LoadQuotes());
    EXPECT_FLOAT_EQ(weekly.Last(1, 1), 60.65f);
    EXPECT_FLOAT_EQ(weekly.NetChange(1, 1), 5.65f);
    EXPECT_EQ(weekly.OptCode(1, 2), "\rSPXW M");
    EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(QuoteFileTest, RealSpyRowsWithBlankBidAndAsk)
{
    const std::string path = TestDataFile("quotes-spy-2016-11-25-excerpt.dat").string();
    TCboePriceReader reader = Reader(path, 11, EncodeDate(2016, 11, 25), "SPY-8", {175, 180});
    ASSERT_TRUE(reader.LoadQuotes());
    EXPECT_EQ(reader.Bid(1, 1), 0);
    EXPECT_EQ(reader.Ask(1, 2), 0);
    EXPECT_FLOAT_EQ(reader.Last(1, 2), 0.03f);
    EXPECT_EQ(reader.OptCode(2, 1), "\rSPY K");

    TCboePriceReader composite = Reader(path, 11, EncodeDate(2016, 11, 25), "SPY", {175, 180});
    ASSERT_TRUE(composite.LoadQuotes());
    EXPECT_FLOAT_EQ(composite.Last(1, 1), 44.55f);
    EXPECT_FLOAT_EQ(composite.Bid(2, 1), 40.00f);
    EXPECT_FLOAT_EQ(composite.UnderlyingLast, 221.52f);
    EXPECT_EQ(composite.QuoteDate, EncodeDate(2016, 11, 25));
    EXPECT_TRUE(notifier_.messages.empty());

    EXPECT_EQ(Roots(path),
              (std::vector<std::string>{"SPY", "SPY-3", "SPY-4", "SPY-8", "SPY-A", "SPY-B", "SPY-E", "SPY-I",
                                        "SPY-J", "SPY-K", "SPY-O", "SPY-P", "SPY-S", "SPY-X", "SPY-Y"}));
}

TEST_F(QuoteFileTest, QuotesNoMarketGivesAreSetAsideAndCounted)
{
    const std::string path = Write(
        "SPX.txt", kHead + Row("11 Feb", "1000.00", "SPX1119B1000", "SPX1119N1000", "1.10,+0.10,-1.00,1.20")
                       + Row("11 Feb", "1050.00", "SPX1119B1050", "SPX1119N1050", "1.10,+0.10,1.00,1.20",
                             "2.10,-0.20,2.00,3.4e38")
                       + Row("11 Feb", "1100.00", "SPX1119B1100", "SPX1119N1100", "1.10,+0.10,1.30,1.20")
                       + Row("11 Feb", "1150.00", "SPX1119B1150", "SPX1119N1150", "1.10,+0.10,1.00,0"));
    TCboePriceReader reader = Reader(path, 2, EncodeDate(2011, 2, 19), "SPX", {1000, 1050, 1100, 1150});
    ASSERT_TRUE(reader.LoadQuotes());
    EXPECT_EQ(reader.SetAsideCount, 3);
    EXPECT_EQ(notifier_.messages, std::vector<std::string>{SetAsideMessage(3, path)});
    // A negative bid, an ask beyond any option's and a bid above its ask
    // leave their side empty; the other side of the strike, and a bid
    // without an ask, stay.
    const float expected[4][2][2] = {{{0, 0}, {2.00f, 2.20f}},
                                     {{1.00f, 1.20f}, {0, 0}},
                                     {{0, 0}, {2.00f, 2.20f}},
                                     {{1.00f, 0}, {2.00f, 2.20f}}};
    for (int s = 1; s <= 4; ++s) {
        for (int k = 1; k <= 2; ++k) {
            EXPECT_EQ(reader.Bid(s, k), expected[s - 1][k - 1][0]) << s << "/" << k;
            EXPECT_EQ(reader.Ask(s, k), expected[s - 1][k - 1][1]) << s << "/" << k;
            EXPECT_FALSE(reader.OptCode(s, k).empty());
        }
    }
    EXPECT_EQ(SetAsideMessage(1, "F"),
              "1 quote of F was set aside and left out of the grid: a negative price, a "
              "price above 1000000 or a bid above its ask.");
}

TEST_F(QuoteFileTest, EveryRealTableIsWholeAndEachFaultIsNamed)
{
    for (const char* name :
         {"quotes-aapl-2013-10-22.dat", "quotes-aapl-2016-11-04.dat", "quotes-spx-2011-01-24.dat",
          "quotes-spy-2016-11-25.dat", "quotes-spy-2016-11-25-excerpt.dat"})
        EXPECT_EQ(QuoteTableProblem(TestDataFile(name).string()), "") << name;

    const std::string row = Row("11 Feb", "1000.00", "SPX1119B1000", "SPX1119N1000");
    const struct {
        std::string content;
        std::string problem;
    } cases[] = {
        {"", "the reply ends before its underlying line."},
        {"Error: no such symbol\r\n", "Line 1 of the reply: \"Error: no such symbol\" is no underlying line"},
        {"<HTML>,1,2\r\n", "Line 1 of the reply: \"<HTML>,1,2\" is no underlying line"},
        {"SPX (S&P 500 INDEX),0,+7.24,\r\n",
         "Line 1 of the reply: the underlying's last price is not above 0."},
        {"SPX (S&P 500 INDEX),1290.59,+7.24,\r\n", "the reply ends before its quote time."},
        {"SPX (S&P 500 INDEX),1290.59,+7.24,\r\nsoon\r\n", "Line 2 of the reply: no \"@\" in the quote time"},
        {"SPX (S&P 500 INDEX),1290.59,+7.24,\r\nday 24 2011 @ 14:03 ET,\r\n",
         "Line 2 of the reply: \"day 24 2011 @ 14:03 ET,\" names no month."},
        {kHead.substr(0, kHead.find("Calls")), "the reply ends before its column titles."},
        {kHead + row + "\r\n", "Line 5 of the reply: 0 fields, field 1 is missing."},
        {kHead + row.substr(0, 60) + "\r\n", "Line 4 of the reply: 8 fields, field 9 is missing."},
        {kHead + Row("11 Feb", "1000.00", "SPX1119B1000", "SPX1119N1000", "1.10,+0.10,inf,1.20"),
         "Line 4 of the reply: \"inf\" is not a valid number."},
        {kHead + Row("11 Feb", "1e999", "SPX1119B1000", "SPX1119N1000"),
         "Line 4 of the reply: \"1e999\" is not a valid number."},
        // A net change of three characters or more is a number or a fault.
        {kHead + Row("11 Feb", "1000.00", "SPX1119B1000", "SPX1119N1000", "1.10,abc,1.10,1.20"),
         "Line 4 of the reply: \"abc\" is not a valid number."},
        {kHead + "11 Feb 1000.00 SPX1119B1000,1,2,3,4,5,6,7,8,9,10,11,12\r\n",
         "Line 4 of the reply: \"SPX1119B1000\" is no option symbol in parentheses."},
        // Control characters are written out, and the reason still follows.
        {kHead
             + Row("11 Feb", "1000.00", "SPX1119B1000", "SPX1119N1000",
                   "1.10,+0.10," + std::string(1, '\0') + "1,1.20"),
         "Line 4 of the reply: \"\\01\" is not a valid number."},
        {kHead + Row("11 Feb", "1000.00", "SPX1119B1000", "SPX1119N1000", "1.10,+0.10,\x1b[2J,1.20"),
         "Line 4 of the reply: \"\\x1b[2J\" is not a valid number."},
    };
    for (const auto& c : cases) {
        const std::string path = Write("reply.txt", c.content);
        EXPECT_EQ(QuoteTableProblem(path, "the reply").rfind(c.problem, 0), 0u)
            << c.problem << " / " << QuoteTableProblem(path, "the reply");
    }
}
