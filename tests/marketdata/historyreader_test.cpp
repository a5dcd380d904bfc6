// The daily history reader: every layout the services write, written here
// from one set of days, reads back as those days; each fault refuses the
// history with its line and cause; the three real histories read whole, and
// read the same when laid out as today's services write them.

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "common/dates.h"
#include "marketdata/HistoryReader.h"
#include "marketdata/testsupport.h"

using namespace kestrava;
using kestrava::testing::TestDataFile;

namespace {

// One day as a history writes it, with the values a price file takes and the
// adjusted close that it must not.
struct Day {
    int year, month, day;
    const char *open, *high, *low, *close, *adjClose, *volume;
};

// Newest first; the volumes differ from every price so that a column taken
// in the wrong place shows.
const Day kDays[] = {
    {2024, 3, 5, "171.5", "173.25", "170.1", "172", "170.93", "4006500"},
    {2024, 3, 4, "170", "171.9", "169.05", "171.3", "170.2", "52319000"},
    {2024, 3, 1, "168.2", "170.4", "167.8", "170.15", "169.04", "61000000"},
    {2024, 2, 29, "169", "169.5", "167", "168.4", "167.31", "132540"},
};

enum class Field { Date, Open, High, Low, Close, AdjClose, Volume, Dividends };
enum class DateForm { Iso, IsoUnpadded, MonthDayYear };

struct Layout {
    const char* name;
    std::string title;
    std::vector<Field> fields;
    DateForm dates;
    bool oldestFirst;
    std::string volumeSuffix;  // "", ".0", ".00"
    std::string lineEnd = "\n";
};

std::string DateText(const Day& d, DateForm form)
{
    std::ostringstream text;
    if (form == DateForm::MonthDayYear) {
        text << d.month << '/' << d.day << '/' << d.year;
    } else if (form == DateForm::IsoUnpadded) {
        text << d.year << '-' << d.month << '-' << d.day;
    } else {
        text << d.year << '-' << (d.month < 10 ? "0" : "") << d.month << '-' << (d.day < 10 ? "0" : "")
             << d.day;
    }
    return text.str();
}

std::string FieldText(const Day& d, Field field, const Layout& layout)
{
    switch (field) {
    case Field::Date:
        return DateText(d, layout.dates);
    case Field::Open:
        return d.open;
    case Field::High:
        return d.high;
    case Field::Low:
        return d.low;
    case Field::Close:
        return d.close;
    case Field::AdjClose:
        return d.adjClose;
    case Field::Volume:
        return d.volume + layout.volumeSuffix;
    case Field::Dividends:
        return "0";
    }
    return {};
}

std::string Written(const Layout& layout)
{
    std::string text = layout.title + layout.lineEnd;
    const auto line = [&](const Day& d) {
        for (std::size_t i = 0; i < layout.fields.size(); ++i)
            text += (i ? "," : "") + FieldText(d, layout.fields[i], layout);
        text += layout.lineEnd;
    };
    if (layout.oldestFirst)
        for (auto it = std::rbegin(kDays); it != std::rend(kDays); ++it)
            line(*it);
    else
        for (const Day& d : kDays)
            line(d);
    return text;
}

class HistoryReaderTest : public kestrava::testing::ScratchTest {
protected:
    DailyHistory Read(const std::string& content, TDateTime lastDay = EncodeDate(2024, 3, 31))
    {
        TextLineReader in(Write("h.csv", content));
        return ReadDailyHistory(in, "h.csv", {lastDay, "today"});
    }
    // The message a history is refused with; empty when it reads.
    std::string Refusal(const std::string& content)
    {
        try {
            Read(content);
        } catch (const HistoryError& error) {
            return error.what();
        }
        return {};
    }
};

void ExpectSameDays(const std::vector<HistoryDay>& read, const std::vector<HistoryDay>& expected)
{
    ASSERT_EQ(read.size(), expected.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        SCOPED_TRACE("day " + std::to_string(i) + " " + IsoDate(expected[i].date));
        EXPECT_EQ(read[i].date, expected[i].date);
        EXPECT_EQ(read[i].open, expected[i].open);
        EXPECT_EQ(read[i].high, expected[i].high);
        EXPECT_EQ(read[i].low, expected[i].low);
        EXPECT_EQ(read[i].close, expected[i].close);
        EXPECT_EQ(read[i].volume, expected[i].volume);
    }
}

std::vector<HistoryDay> ExpectedDays()
{
    std::vector<HistoryDay> days;
    for (const Day& d : kDays)
        days.push_back({EncodeDate(d.year, d.month, d.day), d.open, d.high, d.low, d.close, d.volume});
    return days;
}

}  // namespace

TEST_F(HistoryReaderTest, EveryLayoutReadsAsTheSameDays)
{
    using F = Field;
    const std::vector<F> old = {F::Date, F::Open, F::High, F::Low, F::Close, F::Volume, F::AdjClose};
    const std::vector<F> today = {F::Date, F::Open, F::High, F::Low, F::Close, F::AdjClose, F::Volume};
    const std::vector<F> plain = {F::Date, F::Open, F::High, F::Low, F::Close, F::Volume};
    const Layout layouts[] = {
        {"the old service's", "Date,Open,High,Low,Close,Volume,Adj Close", old, DateForm::Iso, false, ""},
        {"today's", "Date,Open,High,Low,Close,Adj Close,Volume", today, DateForm::Iso, true, ""},
        {"today's newest first", "Date,Open,High,Low,Close,Adj Close,Volume", today, DateForm::Iso, false,
         ""},
        {"without Adj Close, decimal volumes", "Date,Open,High,Low,Close,Volume", plain, DateForm::Iso, true,
         ".0"},
        {"lower case", "date,open,high,low,close,adj close,volume", today, DateForm::Iso, true, ".0"},
        {"month/day/year", "Date,Open,High,Low,Close,Volume", plain, DateForm::MonthDayYear, false, ""},
        {"month/day/year oldest first, CRLF", "Date,Open,High,Low,Close,Adj Close,Volume", today,
         DateForm::MonthDayYear, true, "", "\r\n"},
        {"any order, quoted and spaced names",
         "\"Volume\", CLOSE ,adj_close,High,Low,Open,\"Date\"",
         {F::Volume, F::Close, F::AdjClose, F::High, F::Low, F::Open, F::Date},
         DateForm::IsoUnpadded,
         true,
         ".00"},
        {"other columns left aside",
         "Date,Open,High,Low,Close,Volume,Dividends",
         {F::Date, F::Open, F::High, F::Low, F::Close, F::Volume, F::Dividends},
         DateForm::Iso,
         true,
         ""},
        {"a byte order mark",
         "\xEF\xBB\xBF"
         "Date,Open,High,Low,Close,Adj Close,Volume",
         today, DateForm::Iso, true, ""},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        const DailyHistory history = Read(Written(layout));
        ExpectSameDays(history.days, ExpectedDays());
        EXPECT_EQ(history.oldestFirst, layout.oldestFirst);
        EXPECT_EQ(history.dates == HistoryDates::MonthDayYear, layout.dates == DateForm::MonthDayYear);
        const std::string described = DescribeLayout(history);
        EXPECT_NE(described.find(layout.oldestFirst ? "oldest day first" : "newest day first"),
                  std::string::npos)
            << described;
        const bool adjusted = std::find(layout.fields.begin(), layout.fields.end(), F::AdjClose)
                              != layout.fields.end();
        EXPECT_EQ(described.find("Adj Close left aside") != std::string::npos, adjusted) << described;
    }
    // The layout as the user is told it.
    EXPECT_EQ(DescribeLayout(Read(Written(layouts[1]))),
              "Date,Open,High,Low,Close,Adj Close,Volume (Adj Close left aside), dates year-month-day, "
              "oldest day first");
    EXPECT_EQ(
        DescribeLayout(Read(Written(layouts[8]))),
        "Date,Open,High,Low,Close,Volume,\"Dividends\" (\"Dividends\" left aside), dates year-month-day, "
        "oldest day first");
}

TEST_F(HistoryReaderTest, EachFaultRefusesTheWholeHistoryWithItsLineAndCause)
{
    const std::string title = "Date,Open,High,Low,Close,Adj Close,Volume\n";
    const std::string good = "2024-03-04,1,2,1,2,2,5\n";
    struct Case {
        const char* name;
        std::string content;
        std::string refusal;  // empty: it reads
        std::size_t days = 0;
    };
    const Case cases[] = {
        {"a fractional volume", title + "2024-03-05,1,2,1,2,2,5.5\n",
         "line 2 of h.csv: the volume \"5.5\" is no whole number"},
        {"a volume in exponent form", title + good + "2024-03-01,1,2,1,2,2,5e6\n",
         "line 3 of h.csv: the volume \"5e6\" is no whole number"},
        {"a volume no single-precision value holds",
         title + "2024-03-05,1,2,1,2,2," + std::string(40, '9') + "\n",
         "line 2 of h.csv: the volume \"" + std::string(40, '9') + "\" is too large"},
        {"a word for a price", title + "2024-03-05,abc,2,1,2,2,5\n",
         "line 2 of h.csv: the open \"abc\" is no price above 0"},
        {"NaN", title + "2024-03-05,1,NaN,1,2,2,5\n",
         "line 2 of h.csv: the high \"NaN\" is no price above 0"},
        {"a zero low", title + "2024-03-05,1,2,0,2,2,5\n",
         "line 2 of h.csv: the low \"0\" is no price above 0"},
        {"a negative close", title + "2024-03-05,1,2,1,-2,2,5\n",
         "line 2 of h.csv: the close \"-2\" is no price above 0"},
        {"beyond a single", title + "2024-03-05,1,2,1,1e39,2,5\n",
         "line 2 of h.csv: the close \"1e39\" is no price above 0"},
        {"null, as some services write a day without trading",
         title + good + "2024-03-01,null,null,null,null,null,null\n",
         "line 3 of h.csv: the open \"null\" is no price above 0"},
        {"an empty needed field", title + "2024-03-05,,2,1,2,2,5\n",
         "line 2 of h.csv: the open \"\" is no price above 0"},
        {"control characters written out", title + "2024-03-05,\x1b[2J,2,1,2,2,5\n",
         "line 2 of h.csv: the open \"\\x1b[2J\" is no price above 0"},
        {"high below low", title + "2024-03-05,1,2,3,2,2,5\n",
         "line 2 of h.csv: the high 2 is below the low 3"},
        {"a day named twice", title + "2024-03-05,1,2,1,2,2,5\n" + good + good,
         "line 4 of h.csv: its day 2024-03-04 repeats the day above it"},
        {"a step forward in a newest-first list",
         title + "2024-03-05,1,2,1,2,2,5\n" + good + "2024-03-06,1,2,1,2,2,5\n",
         "line 4 of h.csv: its day comes after the day above it, where the newest day comes first"},
        {"a step back in an oldest-first list",
         title + good + "2024-03-05,1,2,1,2,2,5\n" + "2024-03-01,1,2,1,2,2,5\n",
         "line 4 of h.csv: its day comes before the day above it, where the oldest day comes first"},
        {"a day before 1900", title + good + "1899-12-30,1,2,1,2,2,5\n",
         "line 3 of h.csv: its day 1899-12-30 is before 1900"},
        {"a day after today", title + "2024-04-01,1,2,1,2,2,5\n",
         "line 2 of h.csv: its day 2024-04-01 is after today, 2024-03-31"},
        {"a day that does not exist", title + "2023-02-29,1,2,1,2,2,5\n",
         "line 2 of h.csv: \"2023-02-29\" is no date written year-month-day"},
        {"a two-digit year", title + "3/5/24,1,2,1,2,2,5\n",
         "line 2 of h.csv: \"3/5/24\" is no date written month/day/year"},
        {"a day written unlike the first", title + "2024-03-05,1,2,1,2,2,5\n3/4/2024,1,2,1,2,2,5\n",
         "line 3 of h.csv: \"3/4/2024\" is no date written year-month-day"},
        {"a date of neither form", title + "20240305,1,2,1,2,2,5\n",
         "line 2 of h.csv: \"20240305\" is no date written year-month-day or month/day/year"},
        {"too few fields", title + good + "2024-03-01,1,2,3\n",
         "line 3 of h.csv: 4 fields where 7 are needed"},
        {"no title", good,
         "h.csv has no title line (one that names the columns Date, Open, High, Low, Close and Volume)"},
        {"a title without Volume", "Date,Open,High,Low,Close\n2024-03-04,1,2,1,2\n",
         "line 1 of h.csv: the title names no Volume column"},
        {"a title naming Close twice", "Date,Open,High,Low,Close,Close,Volume\n" + good,
         "line 1 of h.csv: the title names Close twice"},
        {"the title alone", title, "h.csv holds no day"},
        {"an empty file", "",
         "h.csv has no title line (one that names the columns Date, Open, High, Low, Close and Volume)"},
        {"an empty Adj Close is left aside", title + "2024-03-04,1,2,1,2,,5\n", "", 1},
        {"remarks before the title and short lines are passed over",
         "Prices of XYZ\n\n" + title + "2024-03-05,1\n\n" + good + ",,,,,,\n", "", 1},
        {"the first day repeated on the next line is left out",
         title + good + good + "2024-03-01,1,2,1,2,2,5\n", "", 2},
        {"but not twice", title + good + good + good,
         "line 4 of h.csv: its day 2024-03-04 repeats the day above it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Refusal(c.content), c.refusal);
        if (c.refusal.empty()) {
            EXPECT_EQ(Read(c.content).days.size(), c.days);
        }
    }
}

TEST_F(HistoryReaderTest, RealHistoriesReadWholeAndTheSameInTodaysLayout)
{
    struct Case {
        const char* file;
        std::size_t days;
        TDateTime newest, oldest;
        HistoryDay check;
    };
    const Case cases[] = {
        {"history-spy.csv",
         3175,
         EncodeDate(2012, 9, 12),
         EncodeDate(2000, 2, 1),
         {EncodeDate(2012, 3, 13), "138.32", "140.13", "138.09", "140.06", "184090500"}},
        {"history-gspc.csv",
         4237,
         EncodeDate(2016, 11, 2),
         EncodeDate(2000, 1, 3),
         {EncodeDate(2012, 3, 13), "1371.920044", "1396.130005", "1371.920044", "1395.949951", "4386470000"}},
        {"history-aapl.csv",
         3175,
         EncodeDate(2012, 9, 12),
         EncodeDate(2000, 2, 1),
         {EncodeDate(2005, 2, 25), "89.62", "89.91", "88.19", "88.99", "32696800"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string original = ReadAll(TestDataFile(c.file).string());
        const DailyHistory history = Read(original, EncodeDate(2024, 3, 31));
        ASSERT_EQ(history.days.size(), c.days);
        EXPECT_EQ(history.days.front().date, c.newest);
        EXPECT_EQ(history.days.back().date, c.oldest);
        EXPECT_FALSE(history.oldestFirst);
        const auto found = std::find_if(history.days.begin(), history.days.end(),
                                        [&](const HistoryDay& d) { return d.date == c.check.date; });
        ASSERT_NE(found, history.days.end());
        ExpectSameDays({*found}, {c.check});

        // The same days as today's services write them: oldest first, Adj
        // Close before the Volume, volumes with a decimal point, the title in
        // lower case and the dates month/day/year.
        std::istringstream lines(original);
        std::string line;
        std::getline(lines, line);
        std::vector<std::string> rows;
        while (std::getline(lines, line)) {
            std::vector<std::string> f;
            std::istringstream cells(line);
            for (std::string cell; std::getline(cells, cell, ',');)
                f.push_back(cell);
            ASSERT_EQ(f.size(), 7u) << line;
            const std::string date = std::to_string(std::stoi(f[0].substr(5, 2))) + "/"
                                     + std::to_string(std::stoi(f[0].substr(8, 2))) + "/" + f[0].substr(0, 4);
            rows.push_back(date + "," + f[1] + "," + f[2] + "," + f[3] + "," + f[4] + "," + f[6] + "," + f[5]
                           + ".0");
        }
        std::string todays = "date,open,high,low,close,adj close,volume\r\n";
        for (auto it = rows.rbegin(); it != rows.rend(); ++it)
            todays += *it + "\r\n";
        const DailyHistory relaid = Read(todays, EncodeDate(2024, 3, 31));
        EXPECT_TRUE(relaid.oldestFirst);
        EXPECT_EQ(relaid.dates, HistoryDates::MonthDayYear);
        ExpectSameDays(relaid.days, history.days);
    }
}

TEST(HistoryTitle, NamesAreFoundWhateverTheirCaseAndSpelling)
{
    const std::pair<const char*, HistoryColumn> names[] = {
        {"Date", HistoryColumn::Date},          {" DATE ", HistoryColumn::Date},
        {"\"date\"", HistoryColumn::Date},      {"Adj Close", HistoryColumn::AdjClose},
        {"adj_close", HistoryColumn::AdjClose}, {"Adj. Close", HistoryColumn::AdjClose},
        {"AdjClose", HistoryColumn::AdjClose},  {"Adjusted Close", HistoryColumn::AdjClose},
        {"volume", HistoryColumn::Volume},      {"Close", HistoryColumn::Close},
        {"Close/Last", HistoryColumn::Other},   {"Dates", HistoryColumn::Other},
        {"2024-03-05", HistoryColumn::Other},   {"", HistoryColumn::Other},
    };
    for (const auto& [text, column] : names)
        EXPECT_EQ(ColumnNamed(text), column) << text;

    EXPECT_FALSE(ReadHistoryTitle("2024-03-05,1,2,1,2,5"));
    EXPECT_FALSE(ReadHistoryTitle("Datum,Eroeffnung,Hoch,Tief,Schluss"));
    const std::optional<HistoryColumns> title = ReadHistoryTitle("Open,,Date,Volume,Volume");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->Position(HistoryColumn::Date), 2);
    EXPECT_EQ(title->Position(HistoryColumn::Volume), 3);
    EXPECT_EQ(title->Position(HistoryColumn::Close), -1);
    EXPECT_EQ(title->Repeated(), HistoryColumn::Volume);
    EXPECT_EQ(title->FieldsReaching({HistoryColumn::Open, HistoryColumn::Volume}), 4u);

    std::vector<std::string_view> fields;
    SplitColumns(" a ,,b,", ',', fields);
    EXPECT_EQ(fields, (std::vector<std::string_view>{"a", "", "b", ""}));
    fields.clear();
    SplitColumns("", ',', fields);
    EXPECT_TRUE(fields.empty());
}
