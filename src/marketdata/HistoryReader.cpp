#include "marketdata/HistoryReader.h"

#include <algorithm>
#include <cmath>

#include "common/localeparse.h"

namespace kestrava {
namespace {

struct ColumnName {
    HistoryColumn column;
    const char* title;  // as messages and layouts write it
    const char* key;    // its letters and digits in lower case
};

// Every name a title may give a column; the first of each column is its title.
const ColumnName kColumnNames[] = {
    {HistoryColumn::Date, "Date", "date"},
    {HistoryColumn::Open, "Open", "open"},
    {HistoryColumn::High, "High", "high"},
    {HistoryColumn::Low, "Low", "low"},
    {HistoryColumn::Close, "Close", "close"},
    {HistoryColumn::Volume, "Volume", "volume"},
    {HistoryColumn::AdjClose, "Adj Close", "adjclose"},
    {HistoryColumn::AdjClose, "Adj Close", "adjustedclose"},
};

// The columns a price file takes, with what messages call their values.
struct PriceColumn {
    HistoryColumn column;
    const char* value;
    std::string HistoryDay::*text;
};
const PriceColumn kPriceColumns[] = {
    {HistoryColumn::Open, "open", &HistoryDay::open},
    {HistoryColumn::High, "high", &HistoryDay::high},
    {HistoryColumn::Low, "low", &HistoryDay::low},
    {HistoryColumn::Close, "close", &HistoryDay::close},
};

const TDateTime kFirstHistoryDay = EncodeDate(1900, 1, 1);
// Numbers longer than this are shown in messages as fields are, cut short.
constexpr std::size_t kShownNumber = 24;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), IsDigit);
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::string NumberForMessage(std::string_view text)
{
    return text.size() <= kShownNumber ? std::string(text) : QuotedForMessage(text);
}

// One part of a date: one or two digits, or exactly four for a year.
bool ReadDatePart(std::string_view text, bool year, int& value)
{
    if (!AllDigits(text) || (year ? text.size() != 4 : text.empty() || text.size() > 2))
        return false;
    value = 0;
    for (char c : text)
        value = value * 10 + (c - '0');
    return true;
}

// A date written in form; false for anything else.
bool ReadDate(std::string_view text, HistoryDates form, TDateTime& date)
{
    const char separator = form == HistoryDates::YearMonthDay ? '-' : '/';
    std::vector<std::string_view> parts;
    SplitColumns(text, separator, parts);
    if (parts.size() != 3)
        return false;
    int year = 0, month = 0, day = 0;
    const bool read = form == HistoryDates::YearMonthDay
                          ? ReadDatePart(parts[0], true, year) && ReadDatePart(parts[1], false, month)
                                && ReadDatePart(parts[2], false, day)
                          : ReadDatePart(parts[0], false, month) && ReadDatePart(parts[1], false, day)
                                && ReadDatePart(parts[2], true, year);
    return read && parts[0].size() + parts[1].size() + parts[2].size() + 2 == text.size()
           && TryEncodeDate(year, month, day, date);
}

const char* FormName(HistoryDates form)
{
    return form == HistoryDates::YearMonthDay ? "year-month-day" : "month/day/year";
}

// Reads one history after its title line.
class HistoryLines {
public:
    HistoryLines(TextLineReader& in, const std::string& name, const HistoryLastDay& last)
        : in_(in), name_(name), lastDay_(std::floor(last.day)), lastDayName_(last.name)
    {
    }

    DailyHistory Read()
    {
        ReadTitle();
        std::string line;
        std::vector<std::string_view> fields;
        while (in_.ReadLine(line)) {
            fields.clear();
            SplitColumns(line, ',', fields);
            const auto filled = std::count_if(fields.begin(), fields.end(),
                                              [](std::string_view field) { return !field.empty(); });
            if (filled >= 3)
                ReadDay(fields);
        }
        if (in_.Failed())
            throw HistoryError(in_.FailureText(name_));
        if (history_.days.empty())
            throw HistoryError(name_ + " holds no day");
        if (history_.oldestFirst)
            std::reverse(history_.days.begin(), history_.days.end());
        return std::move(history_);
    }

private:
    [[noreturn]] void Refuse(const std::string& cause) const
    {
        throw HistoryError("line " + std::to_string(in_.LineNumber()) + " of " + name_ + ": " + cause);
    }

    void ReadTitle()
    {
        std::string line;
        std::optional<HistoryColumns> title;
        while (!title && in_.ReadLine(line))
            title = ReadHistoryTitle(line);
        if (!title) {
            if (in_.Failed())
                throw HistoryError(in_.FailureText(name_));
            throw HistoryError(name_
                               + " has no title line (one that names the columns Date, Open, High, Low, "
                                 "Close and Volume)");
        }
        if (const std::optional<HistoryColumn> twice = title->Repeated())
            Refuse(std::string("the title names ") + ColumnTitle(*twice) + " twice");
        for (const HistoryColumn needed : {HistoryColumn::Open, HistoryColumn::High, HistoryColumn::Low,
                                           HistoryColumn::Close, HistoryColumn::Volume})
            if (title->Position(needed) < 0)
                Refuse(std::string("the title names no ") + ColumnTitle(needed) + " column");
        history_.columns = std::move(*title);
        fieldsNeeded_ = history_.columns.FieldsReaching({HistoryColumn::Date, HistoryColumn::Open,
                                                         HistoryColumn::High, HistoryColumn::Low,
                                                         HistoryColumn::Close, HistoryColumn::Volume});
    }

    std::string_view Field(const std::vector<std::string_view>& fields, HistoryColumn column) const
    {
        return fields[static_cast<std::size_t>(history_.columns.Position(column))];
    }

    TDateTime ReadDayDate(std::string_view text)
    {
        if (!formSeen_) {
            // The first day decides how every day is written.
            if (text.find('/') != std::string_view::npos)
                history_.dates = HistoryDates::MonthDayYear;
            else if (text.find('-') == std::string_view::npos)
                Refuse(QuotedForMessage(text) + " is no date written year-month-day or month/day/year");
            formSeen_ = true;
        }
        TDateTime date = 0;
        if (!ReadDate(text, history_.dates, date))
            Refuse(QuotedForMessage(text) + " is no date written " + FormName(history_.dates));
        if (date < kFirstHistoryDay)
            Refuse("its day " + IsoDate(date) + " is before 1900");
        if (date > lastDay_)
            Refuse("its day " + IsoDate(date) + " is after " + lastDayName_ + ", " + IsoDate(lastDay_));
        return date;
    }

    // False for the old service's repeat of its first day, which is left out.
    bool CheckOrder(TDateTime date)
    {
        std::vector<HistoryDay>& days = history_.days;
        if (days.empty())
            return true;
        const TDateTime above = days.back().date;
        if (days.size() == 1 && date == above && !repeatSkipped_) {
            repeatSkipped_ = true;
            return false;
        }
        if (date == above)
            Refuse("its day " + IsoDate(date) + " repeats the day above it");
        // The first two days set the order; a step against it means a mixed
        // or damaged list.
        const bool forward = date > above;
        if (days.size() == 1)
            history_.oldestFirst = forward;
        else if (forward != history_.oldestFirst)
            Refuse(forward ? "its day comes after the day above it, where the newest day comes first"
                           : "its day comes before the day above it, where the oldest day comes first");
        return true;
    }

    std::string ReadVolume(std::string_view text) const
    {
        const std::size_t point = text.find('.');
        const std::string_view whole = text.substr(0, point);
        const std::string_view fraction = point == std::string_view::npos ? std::string_view()
                                                                          : text.substr(point + 1);
        if (whole.empty() || !AllDigits(whole) || fraction.find_first_not_of('0') != std::string_view::npos)
            Refuse("the volume " + QuotedForMessage(text) + " is no whole number");
        float value = 0;
        if (!TryParseSingle(whole, '.', value))
            Refuse("the volume " + QuotedForMessage(text) + " is too large");
        return std::string(whole);
    }

    void ReadDay(const std::vector<std::string_view>& fields)
    {
        if (fields.size() < fieldsNeeded_)
            Refuse(std::to_string(fields.size()) + " fields where " + std::to_string(fieldsNeeded_)
                   + " are needed");
        HistoryDay day;
        day.date = ReadDayDate(Field(fields, HistoryColumn::Date));
        if (!CheckOrder(day.date))
            return;
        float values[std::size(kPriceColumns)] = {};
        for (std::size_t i = 0; i < std::size(kPriceColumns); ++i) {
            const std::string_view text = Field(fields, kPriceColumns[i].column);
            if (!TryParseSingle(text, '.', values[i]) || !(values[i] > 0))
                Refuse(std::string("the ") + kPriceColumns[i].value + " " + QuotedForMessage(text)
                       + " is no price above 0");
            day.*kPriceColumns[i].text = std::string(text);
        }
        day.volume = ReadVolume(Field(fields, HistoryColumn::Volume));
        if (values[1] < values[2])
            Refuse("the high " + NumberForMessage(day.high) + " is below the low "
                   + NumberForMessage(day.low));
        history_.days.push_back(std::move(day));
    }

    TextLineReader& in_;
    const std::string& name_;
    TDateTime lastDay_;
    const std::string& lastDayName_;
    DailyHistory history_;
    std::size_t fieldsNeeded_ = 0;
    bool formSeen_ = false;
    bool repeatSkipped_ = false;
};

}  // namespace

HistoryColumn ColumnNamed(std::string_view field)
{
    std::string key;
    for (char c : field) {
        if (c >= 'A' && c <= 'Z')
            key += static_cast<char>(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || IsDigit(c))
            key += c;
        if (key.size() > 16)
            return HistoryColumn::Other;
    }
    for (const ColumnName& name : kColumnNames)
        if (key == name.key)
            return name.column;
    return HistoryColumn::Other;
}

const char* ColumnTitle(HistoryColumn column)
{
    for (const ColumnName& name : kColumnNames)
        if (name.column == column)
            return name.title;
    return "another column";
}

int HistoryColumns::Position(HistoryColumn column) const
{
    const auto found = std::find(fields.begin(), fields.end(), column);
    return found == fields.end() ? -1 : static_cast<int>(found - fields.begin());
}

std::optional<HistoryColumn> HistoryColumns::Repeated() const
{
    for (auto field = fields.begin(); field != fields.end(); ++field)
        if (*field != HistoryColumn::Other && std::find(fields.begin(), field, *field) != field)
            return *field;
    return std::nullopt;
}

std::size_t HistoryColumns::FieldsReaching(std::initializer_list<HistoryColumn> columns) const
{
    std::size_t reaching = 0;
    for (const HistoryColumn column : columns)
        if (const int position = Position(column); position >= 0)
            reaching = std::max(reaching, static_cast<std::size_t>(position) + 1);
    return reaching;
}

std::optional<HistoryColumns> ReadHistoryTitle(std::string_view line, char separator)
{
    std::vector<std::string_view> fields;
    SplitColumns(line, separator, fields);
    HistoryColumns columns;
    for (const std::string_view field : fields) {
        columns.fields.push_back(ColumnNamed(field));
        columns.names.emplace_back(field);
    }
    if (columns.Position(HistoryColumn::Date) < 0)
        return std::nullopt;
    return columns;
}

void SplitColumns(std::string_view line, char separator, std::vector<std::string_view>& fields)
{
    if (line.empty())
        return;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(separator, start);
        fields.push_back(TrimBlanks(line.substr(start, end == std::string_view::npos ? end : end - start)));
        if (end == std::string_view::npos)
            return;
        start = end + 1;
    }
}

DailyHistory ReadDailyHistory(TextLineReader& in, const std::string& name, const HistoryLastDay& lastDay)
{
    return HistoryLines(in, name, lastDay).Read();
}

std::string DescribeLayout(const DailyHistory& history)
{
    std::string columns, aside;
    const HistoryColumns& title = history.columns;
    for (std::size_t i = 0; i < title.fields.size(); ++i) {
        const HistoryColumn column = title.fields[i];
        const std::string name = column == HistoryColumn::Other ? QuotedForMessage(title.names[i])
                                                                : ColumnTitle(column);
        columns += (i == 0 ? "" : ",") + name;
        if (column == HistoryColumn::AdjClose || column == HistoryColumn::Other)
            aside += (aside.empty() ? "" : ", ") + name;
    }
    std::string text = columns + (aside.empty() ? "" : " (" + aside + " left aside)") + ", dates "
                       + FormName(history.dates) + ", ";
    text += history.days.size() < 2 ? "a single day"
            : history.oldestFirst   ? "oldest day first"
                                    : "newest day first";
    return text;
}

}  // namespace kestrava
