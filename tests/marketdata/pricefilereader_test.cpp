#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/dates.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/PriceWorkFile.h"
#include "marketdata/testsupport.h"

using namespace kestrava;
using kestrava::testing::kDeLocale;
using kestrava::testing::kIsoLocale;
using kestrava::testing::kUsLocale;
using kestrava::testing::TestDataFile;

namespace {

class PriceFileTest : public kestrava::testing::ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        tempDir_ = dir_ / "tmp";
        std::filesystem::create_directories(tempDir_);
    }

    // Converts path under locale; the reader's fields are left in reader_.
    void Open(const std::string& path, const LocaleInfo& locale)
    {
        reader_ = std::make_unique<TAsciiFileReader>(notifier_, locale, tempDir_);
        reader_->Open(path);
    }

    std::vector<TPriceRecord> Records() const { return ReadPriceRecords(reader_->DataFileName); }

    std::size_t WorkFilesLeft() const
    {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(tempDir_),
                                                      std::filesystem::directory_iterator()));
    }

    std::filesystem::path tempDir_;
    std::unique_ptr<TAsciiFileReader> reader_;
};

const char* const kNewestFirstIso = "Date,Open,High,Low,Close,Volume\n"
                                    "2005-01-05,11,12,10,11.5,300\n"
                                    "2005-01-04,10,11,9,10.5,200\n"
                                    "2005-01-03,9,10,8,9.5,100\n";

}  // namespace

TEST(SplitFields, DropsEmptyFieldsWithoutTrimming)
{
    std::vector<std::string> fields{"kept"};
    SplitFields(",a,,b , c,", ',', fields);
    EXPECT_EQ(fields, (std::vector<std::string>{"kept", "a", "b ", " c"}));
    std::vector<std::string_view> none;
    SplitFields("", ',', none);
    SplitFields(",,,", ',', none);
    EXPECT_TRUE(none.empty());
}

TEST_F(PriceFileTest, TitleLineAndNewestFirstIsoDates)
{
    Open(Write("iso.csv", kNewestFirstIso), kIsoLocale);
    EXPECT_EQ(reader_->HeaderLines, 1);
    EXPECT_EQ(reader_->ValueColumns, 5);
    EXPECT_TRUE(reader_->SeparatedDates);
    EXPECT_EQ(reader_->RecordCount, 3);
    const std::vector<TPriceRecord> records = Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Date, EncodeDate(2005, 1, 3));
    EXPECT_EQ(records[2].Date, EncodeDate(2005, 1, 5));
    // Five value columns: the open is skipped.
    EXPECT_FLOAT_EQ(records[0].High, 10);
    EXPECT_FLOAT_EQ(records[0].Low, 8);
    EXPECT_FLOAT_EQ(records[0].Close, 9.5f);
    EXPECT_FLOAT_EQ(records[0].Volume, 100);
    EXPECT_TRUE(notifier_.messages.empty());
    // The descending work file was replaced by the ascending copy.
    EXPECT_EQ(WorkFilesLeft(), 1u);
}

TEST_F(PriceFileTest, IsoDatesUnderASlashLocaleFindNoDataLine)
{
    Open(Write("iso.csv", kNewestFirstIso), kUsLocale);
    EXPECT_EQ(reader_->ValueColumns, 0);
    EXPECT_EQ(reader_->RecordCount, 0);
    EXPECT_EQ(reader_->DataFileName, "");
    EXPECT_TRUE(notifier_.messages.empty());
    EXPECT_EQ(WorkFilesLeft(), 0u);
}

TEST_F(PriceFileTest, EachLocaleReadsItsOwnDatesAndDecimals)
{
    struct Case {
        const LocaleInfo* locale;
        const char* content;
    };
    const Case cases[] = {
        {&kUsLocale, "Date,Close\n1/4/2005,10.5\n01/03/05,9.5\n"},
        {&kIsoLocale, "2005-01-04,10.5\n05-1-3,9.5\n"},
        // A decimal comma cannot share the comma-separated line, so whole
        // numbers only; the dates are the point here.
        {&kDeLocale, "Datum\n\n04.01.2005,10\n3.1.05,9\n"},
    };
    for (const Case& c : cases) {
        notifier_.messages.clear();
        Open(Write("locale.csv", c.content), *c.locale);
        SCOPED_TRACE(c.locale->shortDateFormat);
        ASSERT_EQ(reader_->RecordCount, 2);
        const std::vector<TPriceRecord> records = Records();
        EXPECT_EQ(records[0].Date, EncodeDate(2005, 1, 3));
        EXPECT_EQ(records[1].Date, EncodeDate(2005, 1, 4));
        EXPECT_EQ(records[0].High, 0);
        EXPECT_NEAR(records[1].Close, 10.25, 0.26);
        EXPECT_TRUE(notifier_.messages.empty());
    }
}

TEST_F(PriceFileTest, PointDecimalsAreReadUnderACommaLocale)
{
    // A comma cannot be the decimal separator of a comma-separated line, so
    // downloaded history keeps its points and they are read as such.
    Open(Write("spy.csv", "Date,Close,Volume\n03.01.2005,1,100\n04.01.2005,9.5,200\n05.01.2005,9.x,300\n"),
         kDeLocale);
    EXPECT_EQ(reader_->RecordCount, 0);
    ASSERT_EQ(notifier_.messages.size(), 1u);
    EXPECT_EQ(notifier_.messages[0], "Line 4 of spy.csv: \"9.x\" is not a valid number.");
    notifier_.messages.clear();
    Open(Write("spy.csv", "Date,Close,Volume\n03.01.2005,1,100\n04.01.2005,9.5,200\n"), kDeLocale);
    ASSERT_EQ(reader_->RecordCount, 2);
    EXPECT_EQ(Records()[1].Close, 9.5f);
    EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(PriceFileTest, NumberDatesAndTheTwoDigitYearPivot)
{
    Open(Write("closes.txt", "690101,7\n20050103,1\n050104,2\n50105,3\n991231,4\n103,5\n260102,6\n"),
         kUsLocale);
    EXPECT_FALSE(reader_->SeparatedDates);
    EXPECT_EQ(reader_->ValueColumns, 1);
    EXPECT_EQ(reader_->HeaderLines, 0);
    ASSERT_EQ(reader_->RecordCount, 7);
    const std::vector<TPriceRecord> records = Records();
    const TDateTime expected[] = {EncodeDate(1969, 1, 1), EncodeDate(2005, 1, 3),   EncodeDate(2005, 1, 4),
                                  EncodeDate(2005, 1, 5), EncodeDate(1999, 12, 31), EncodeDate(2000, 1, 3),
                                  EncodeDate(2026, 1, 2)};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(records[i].Date, expected[i]) << "record " << i;
        EXPECT_EQ(records[i].High, 0);
        EXPECT_EQ(records[i].Low, 0);
        EXPECT_EQ(records[i].Volume, 0);
    }
    // Mixed order is not sorted: the first date is older than the last, so
    // the file stays as written.
    EXPECT_FLOAT_EQ(records[0].Close, 7);
}

TEST_F(PriceFileTest, ValueColumnsDecideTheFieldsTaken)
{
    struct Case {
        const char* line;
        float high, low, close, volume;
    };
    const Case cases[] = {
        {"20050103,5,6", 0, 0, 5, 6},
        {"20050103,5,4,4.5", 5, 4, 4.5f, 0},
        {"20050103,5,4,4.5,7", 5, 4, 4.5f, 7},
        {"20050103,1,5,4,4.5,7,4.4", 5, 4, 4.5f, 7},
        {"20050103,1,5,4,4.5,7,4.4,9", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Open(Write("layout.csv", c.line), kIsoLocale);
        SCOPED_TRACE(c.line);
        ASSERT_EQ(reader_->RecordCount, 1);
        const TPriceRecord r = Records().at(0);
        EXPECT_FLOAT_EQ(r.High, c.high);
        EXPECT_FLOAT_EQ(r.Low, c.low);
        EXPECT_FLOAT_EQ(r.Close, c.close);
        EXPECT_FLOAT_EQ(r.Volume, c.volume);
    }
}

TEST_F(PriceFileTest, EmptyFieldShiftsTheLineAndStopsTheConversion)
{
    Open(Write("gap.csv", "20050103,5,4,4.5,7\n20050104,,4,4.5,7\n20050105,5,4,4.5,7\n"), kIsoLocale);
    EXPECT_EQ(reader_->ValueColumns, 4);
    EXPECT_EQ(reader_->RecordCount, 0);
    ASSERT_EQ(notifier_.messages.size(), 1u);
    EXPECT_EQ(notifier_.messages[0], "Line 2 of gap.csv: 4 fields where 5 are needed.");
    // Set even so; callers go by RecordCount 0.
    EXPECT_FALSE(reader_->DataFileName.empty());
}

TEST_F(PriceFileTest, TrailingBlankAndOneFieldLinesAreSkipped)
{
    Open(Write("tail.csv", "1/3/2005,1\r\n1/4/2005,2\r\n\r\n1/5/2005\r\n   \r\n"), kUsLocale);
    EXPECT_EQ(reader_->RecordCount, 2);
    EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(PriceFileTest, CrlfLineEndsLeaveTheLastFieldReadable)
{
    Open(Write("crlf.csv", "Date,High,Low,Close,Volume\r\n1/3/2005,2,1,1.5,1000\r\n"), kUsLocale);
    ASSERT_EQ(reader_->RecordCount, 1);
    EXPECT_FLOAT_EQ(Records().at(0).Volume, 1000);
}

TEST_F(PriceFileTest, WorkFileNamesFollowTheCounter)
{
    SetWorkFileCounter(0x1233);
    Open(Write("one.csv", "1/3/2005,1\n"), kUsLocale);
    // A single record counts as newest-first: copied once more.
    EXPECT_EQ(reader_->RecordCount, 1);
    EXPECT_EQ(std::filesystem::path(reader_->DataFileName).filename(), "~TEM1235.TEM");
    EXPECT_FALSE(std::filesystem::exists(tempDir_ / "~TEM1234.TEM"));
    EXPECT_EQ(Records().at(0).Date, EncodeDate(2005, 1, 3));

    const std::string first = reader_->DataFileName;
    Open(Write("two.csv", "1/3/2005,1\n1/4/2005,2\n"), kUsLocale);
    EXPECT_EQ(std::filesystem::path(reader_->DataFileName).filename(), "~TEM1236.TEM");
    EXPECT_TRUE(std::filesystem::exists(first));
    EXPECT_EQ(WorkFileCounter(), 0x1236);

    SetWorkFileCounter(0xFFFF);
    Open(Write("three.csv", "1/3/2005,1\n1/4/2005,2\n"), kUsLocale);
    EXPECT_EQ(std::filesystem::path(reader_->DataFileName).filename(), "~TEM10000.TEM");

    SeedWorkFileCounter();
    EXPECT_GE(WorkFileCounter(), 0);
    EXPECT_LE(WorkFileCounter(), 9999);
}

TEST_F(PriceFileTest, ASourceNamedLikeTheNextWorkFileIsNotDeleted)
{
    const std::string content = "1/3/2005,1\n1/4/2005,2\n";
    const std::string source = (tempDir_ / "~TEM0100.TEM").string();
    std::ofstream(source, std::ios::binary) << content;
    SetWorkFileCounter(0xFF);
    Open(source, kUsLocale);
    EXPECT_EQ(reader_->RecordCount, 2);
    EXPECT_EQ(ReadAll(source), content);
    EXPECT_EQ(std::filesystem::path(reader_->DataFileName).filename(), "~TEM0101.TEM");
}

TEST_F(PriceFileTest, TakenNameIsPassedOver)
{
    // Something in the way of the reversed copy's name (another copy of the
    // program's file, a planted link): the next name is taken.
    SetWorkFileCounter(0x4FF);
    std::filesystem::create_directories(tempDir_ / "~TEM0501.TEM" / "in-the-way");
    std::filesystem::create_symlink(tempDir_ / "elsewhere", tempDir_ / "~TEM0502.TEM");
    Open(Write("iso.csv", kNewestFirstIso), kIsoLocale);
    EXPECT_TRUE(notifier_.messages.empty());
    EXPECT_EQ(reader_->RecordCount, 3);
    EXPECT_EQ(std::filesystem::path(reader_->DataFileName).filename(), "~TEM0502.TEM");
    EXPECT_FALSE(std::filesystem::exists(tempDir_ / "elsewhere")) << "the link was not followed";
    EXPECT_EQ(Records().front().Date, EncodeDate(2005, 1, 3));
}

TEST_F(PriceFileTest, FailedReversalKeepsEveryRecord)
{
    // Every name the reversed copy could take is in the way.
    SetWorkFileCounter(0x4FF);
    for (int counter = 0x501; counter <= 0x501 + 100; ++counter) {
        char name[32];
        std::snprintf(name, sizeof name, "~TEM%04X.TEM", counter);
        std::filesystem::create_directories(tempDir_ / name / "in-the-way");
    }
    const std::string content = kNewestFirstIso;
    const std::string source = Write("iso.csv", content);
    Open(source, kIsoLocale);
    EXPECT_EQ(notifier_.messages,
              std::vector<std::string>{"Dang ... we have a error sorting the data file."});
    EXPECT_EQ(reader_->RecordCount, 0);
    EXPECT_EQ(std::filesystem::path(reader_->DataFileName).filename(), "~TEM0500.TEM");
    const std::vector<TPriceRecord> kept = Records();
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0].Date, EncodeDate(2005, 1, 5));
    EXPECT_EQ(ReadAll(source), content);
}

using PriceWorkFile = kestrava::testing::ScratchTest;

TEST_F(PriceWorkFile, RecordsAre24LittleEndianBytes)
{
    const std::filesystem::path path = dir_ / "layout.TEM";
    TPriceRecord record;
    record.Date = 38355;  // 2005-01-03
    record.High = 1.5f;
    record.Low = -2;
    record.Close = 0.25f;
    record.Volume = 1e9f;
    {
        PriceWorkFileWriter writer(path);
        writer.Append(record);
        writer.Append(record);
        writer.Close();
    }
    std::ifstream in(path, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    const unsigned char expected[24] = {0x00, 0x00, 0x00, 0x00, 0x60, 0xBA, 0xE2, 0x40,  // 38355.0
                                        0x00, 0x00, 0xC0, 0x3F,                          // 1.5
                                        0x00, 0x00, 0x00, 0xC0,                          // -2
                                        0x00, 0x00, 0x80, 0x3E,                          // 0.25
                                        0x28, 0x6B, 0x6E, 0x4E};                         // 1e9
    ASSERT_EQ(bytes.size(), 48u);
    for (std::size_t i = 0; i < 24; ++i)
        EXPECT_EQ(static_cast<unsigned char>(bytes[24 + i]), expected[i]) << "byte " << i;
    const std::vector<TPriceRecord> back = ReadPriceRecords(path);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].Date, 38355);
    EXPECT_EQ(back[1].Volume, 1e9f);
}

TEST_F(PriceFileTest, SymbolFromTheFileName)
{
    Open(Write("SPX =^GSPC.csv", "1/3/2005,1\n1/4/2005,2\n"), kUsLocale);
    EXPECT_EQ(reader_->Symbol, "SPX ");
    Open(Write("spy.csv", "1/3/2005,1\n1/4/2005,2\n"), kUsLocale);
    EXPECT_EQ(reader_->Symbol, "SPY");
}

TEST_F(PriceFileTest, BadDatesAndNumbersAfterTheFirstLineStopWithAMessage)
{
    struct Case {
        const char* content;
        const char* message;
    };
    const Case cases[] = {
        {"1/3/2005,1\n2/30/2005,2\n",
         "Line 2 of bad.csv: \"2/30/2005\" is not a valid date in the format M/d/yyyy."},
        {"20050103,1\n20050230,2\n", "Line 2 of bad.csv: \"20050230\" is not a valid date."},
        {"20050103,1\n1e300,2\n", "Line 2 of bad.csv: \"1e300\" is not a valid date."},
        {"20050103,1\n20050104,1e39\n", "Line 2 of bad.csv: \"1e39\" is not a valid number."},
        {"20050103,1\n20050104,inf\n", "Line 2 of bad.csv: \"inf\" is not a valid number."},
    };
    for (const Case& c : cases) {
        notifier_.messages.clear();
        Open(Write("bad.csv", c.content), kUsLocale);
        EXPECT_EQ(reader_->RecordCount, 0) << c.content;
        ASSERT_EQ(notifier_.messages.size(), 1u) << c.content;
        EXPECT_EQ(notifier_.messages[0], c.message);
    }
}

TEST_F(PriceFileTest, HostileFilesGiveNoRecordsAndNoCrash)
{
    std::string binary(1 << 16, '\0');
    std::mt19937 random(7);
    for (char& c : binary)
        c = static_cast<char>(random());
    const std::string longLine = "1/3/2005," + std::string(1000000, '9') + "\n1/4/2005,2\n";
    const std::string longField = std::string(1000000, 'x') + "\n";
    for (const std::string& content : {std::string(), binary, longField, std::string("\n\n\n")}) {
        Open(Write("hostile.csv", content), kUsLocale);
        EXPECT_EQ(reader_->RecordCount, 0);
    }
    Open(Write("long.csv", longLine), kUsLocale);
    EXPECT_EQ(reader_->RecordCount, 0);
    ASSERT_FALSE(notifier_.messages.empty());
    EXPECT_LT(notifier_.messages.back().size(), 200u);
}

TEST_F(PriceFileTest, OverlongLinesStopTheReadingWithAMessage)
{
    // No price file has a line of megabytes: such a file is binary or a
    // device, and reading it line by line would hold all of it in memory.
    const std::string overlong(5 << 20, 'x');

    // Before the first data line the source cannot be read at all.
    const std::string head = Write("head.csv", "Date,Close\n" + overlong);
    reader_ = std::make_unique<TAsciiFileReader>(notifier_, kUsLocale, tempDir_);
    try {
        reader_->Open(head);
        ADD_FAILURE() << "no error for an overlong line before the data";
    } catch (const MarketDataError& e) {
        EXPECT_EQ(std::string(e.what()), "Line 2 of head.csv is longer than 4194304 characters.");
    }

    // After it, the conversion stops like at any unreadable line.
    Open(Write("tail.csv", "1/3/2005,1\n" + overlong + "\n1/4/2005,2\n"), kUsLocale);
    EXPECT_EQ(reader_->RecordCount, 0);
    EXPECT_EQ(notifier_.messages,
              std::vector<std::string>{"Line 2 of tail.csv is longer than 4194304 characters."});

    // A device that never ends a line ends the reading too.
    if (std::filesystem::exists("/dev/zero")) {
        reader_ = std::make_unique<TAsciiFileReader>(notifier_, kUsLocale, tempDir_);
        EXPECT_THROW(reader_->Open("/dev/zero"), MarketDataError);
    }
}

TEST_F(PriceFileTest, ByteOrderMarkIsNoHeaderLine)
{
    // Spreadsheets save "UTF-8 CSV" with a byte order mark before the first
    // line; taken as text it would hide the first record as a title line.
    Open(Write("bom.csv", "\xEF\xBB\xBF"
                          "1/4/2005,2\n1/3/2005,1\n"),
         kUsLocale);
    EXPECT_EQ(reader_->HeaderLines, 0);
    ASSERT_EQ(reader_->RecordCount, 2);
    EXPECT_EQ(Records().back().Date, EncodeDate(2005, 1, 4));
    EXPECT_FLOAT_EQ(Records().back().Close, 2);
}

TEST_F(PriceFileTest, MissingSourceThrowsAndEmptyNameDoesNothing)
{
    reader_ = std::make_unique<TAsciiFileReader>(notifier_, kUsLocale, tempDir_);
    EXPECT_THROW(reader_->Open((dir_ / "gone.csv").string()), MarketDataError);
    EXPECT_THROW(reader_->Open(dir_.string()), MarketDataError);
    reader_->Open("");
    EXPECT_EQ(reader_->RecordCount, 0);
    EXPECT_EQ(reader_->DataFileName, "");
}

TEST_F(PriceFileTest, UnwritableTempDirectoryLeavesTheSourceAlone)
{
    const std::string content = "1/3/2005,1\n1/4/2005,2\n";
    const std::string source = Write("keep.csv", content);
    reader_ = std::make_unique<TAsciiFileReader>(notifier_, kUsLocale, dir_ / "no-such-dir");
    reader_->Open(source);
    EXPECT_EQ(reader_->RecordCount, 0);
    ASSERT_EQ(notifier_.messages.size(), 1u);
    EXPECT_NE(notifier_.messages[0].find("Cannot create the price work file"), std::string::npos);
    EXPECT_EQ(ReadAll(source), content);
}

TEST_F(PriceFileTest, RealHistoriesComeOutOldestFirst)
{
    struct Case {
        const char* file;
        int records;
        TDateTime first, last;
        TDateTime checkDate;
        float high, low, close, volume;
    };
    const Case cases[] = {
        {"history-spy.csv", 3175, EncodeDate(2000, 2, 1), EncodeDate(2012, 9, 12), EncodeDate(2012, 3, 13),
         140.13f, 138.09f, 140.06f, 184090500.0f},
        {"history-gspc.csv", 4237, EncodeDate(2000, 1, 3), EncodeDate(2016, 11, 2), EncodeDate(2012, 3, 13),
         1396.130005f, 1371.920044f, 1395.949951f, 4386470000.0f},
        {"history-aapl.csv", 3175, EncodeDate(2000, 2, 1), EncodeDate(2012, 9, 12), EncodeDate(2012, 9, 12),
         669.90f, 656.00f, 669.79f, 25410600.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Open(TestDataFile(c.file).string(), kIsoLocale);
        EXPECT_EQ(reader_->HeaderLines, 1);
        EXPECT_EQ(reader_->ValueColumns, 6);
        ASSERT_EQ(reader_->RecordCount, c.records);
        const std::vector<TPriceRecord> records = Records();
        EXPECT_EQ(records.front().Date, c.first);
        EXPECT_EQ(records.back().Date, c.last);
        for (std::size_t i = 1; i < records.size(); ++i)
            ASSERT_LT(records[i - 1].Date, records[i].Date) << "record " << i;
        bool found = false;
        for (const TPriceRecord& r : records) {
            if (r.Date != c.checkDate)
                continue;
            found = true;
            EXPECT_FLOAT_EQ(r.High, c.high);
            EXPECT_FLOAT_EQ(r.Low, c.low);
            EXPECT_FLOAT_EQ(r.Close, c.close);
            EXPECT_FLOAT_EQ(r.Volume, c.volume);
        }
        EXPECT_TRUE(found);
    }
    EXPECT_TRUE(notifier_.messages.empty());
}

TEST_F(PriceFileTest, ATitleNamingTheColumnsHasThemTakenByName)
{
    struct Case {
        const char* name;
        std::string content;
        bool byName;
        float high, low, close, volume;  // of 2005-01-03
    };
    const Case cases[] = {
        // Adj Close before the Volume, oldest day first: by position the
        // adjusted close would be the volume.
        {"today's layout",
         "Date,Open,High,Low,Close,Adj Close,Volume\n2005-01-03,9,10,8,9.5,9.1,4006500\n"
         "2005-01-04,10,11,9,10.5,10.1,5000000\n",
         true, 10, 8, 9.5f, 4006500},
        {"lower case, decimal volumes",
         "date,open,high,low,close,adj close,volume\n2005-01-03,9,10,8,9.5,9.1,4006500.0\n"
         "2005-01-04,10,11,9,10.5,10.1,5000000.0\n",
         true, 10, 8, 9.5f, 4006500},
        {"any order",
         "Volume,Low,Date,Close,High\n4006500,8,2005-01-03,9.5,10\n5000000,9,2005-01-04,10.5,11\n", true, 10,
         8, 9.5f, 4006500},
        {"an empty Adj Close stays in its column",
         "Date,Open,High,Low,Close,Adj "
         "Close,Volume\n2005-01-03,9,10,8,9.5,,4006500\n2005-01-04,10,11,9,10.5,,5\n",
         true, 10, 8, 9.5f, 4006500},
        {"without High and Low",
         "Date,Close,Adj Close,Volume\n2005-01-03,9.5,9.1,4006500\n2005-01-04,10.5,10,7\n", true, 0, 0, 9.5f,
         4006500},
        // The old service's order reads as it always did.
        {"the old order",
         "Date,Open,High,Low,Close,Volume,Adj Close\n2005-01-03,9,10,8,9.5,4006500,9.1\n"
         "2005-01-04,10,11,9,10.5,5000000,10.1\n",
         true, 10, 8, 9.5f, 4006500},
        // A title that does not name a Close is no title: the count of
        // values decides, as without one.
        {"no Close named", "Date,A,B,C,D\n2005-01-03,10,8,9.5,4006500\n2005-01-04,11,9,10.5,5000000\n", false,
         10, 8, 9.5f, 4006500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        notifier_.messages.clear();
        Open(Write("SPY.csv", c.content), kIsoLocale);
        EXPECT_EQ(reader_->ColumnsByName, c.byName);
        ASSERT_EQ(reader_->RecordCount, 2);
        const TPriceRecord r = Records().at(0);
        EXPECT_EQ(r.Date, EncodeDate(2005, 1, 3));
        EXPECT_FLOAT_EQ(r.High, c.high);
        EXPECT_FLOAT_EQ(r.Low, c.low);
        EXPECT_FLOAT_EQ(r.Close, c.close);
        EXPECT_FLOAT_EQ(r.Volume, c.volume);
        EXPECT_TRUE(notifier_.messages.empty());
    }
    // A line too short for the named columns is named with its line.
    Open(Write("short.csv", "Date,Open,High,Low,Close,Adj Close,Volume\n2005-01-03,9,10,8,9.5,9.1,7\n"
                            "2005-01-04,10,11,9,10.5\n"),
         kIsoLocale);
    EXPECT_EQ(reader_->RecordCount, 0);
    EXPECT_EQ(notifier_.messages,
              std::vector<std::string>{"Line 3 of short.csv: 5 fields where 7 are needed."});
}
