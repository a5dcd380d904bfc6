#pragma once
// Daily price histories as download services and spreadsheets write them,
// read whole before anything is made of them.
//
// A title line names the columns, in any order and any letter case: Date,
// Open, High, Low, Close and Volume are needed. Adj Close (also written
// "adj_close", "AdjClose" or "Adjusted Close") and columns of other names are
// left aside: a price file holds what traded. Dates are written
// year-month-day ("2024-03-01", "2024-3-1") or month/day/year with four
// digits of year ("3/1/2024"), every day as the first; the days run newest
// first or oldest first. A volume is whole digits, or a decimal whose
// fraction is nothing but zeros ("4006500.0"): shares trade whole, so any
// other fraction means the column holds something else, and the history is
// refused.
//
// Every day must be one a price file may hold: its prices finite and above
// 0, its high not below its low, no day named twice, none before 1900 or
// after the last day allowed. The old service's repeat of its first day on
// the line after it is left out. Lines before the title and lines of fewer
// than three fields (blank lines, remarks) are passed over; any other line
// that is no such day refuses the whole history, with its number and the
// cause.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/dates.h"
#include "marketdata/TextLines.h"

namespace kestrava {

// Why a history was refused: "line 7 of SPY.csv: the high 2 is below the
// low 3", "SPY.csv holds no day".
class HistoryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a field of a title line names.
enum class HistoryColumn { Date, Open, High, Low, Close, Volume, AdjClose, Other };

// The column a title field names: blanks, quotes, letter case and what
// stands between words ("Adj_Close", "Adj. Close") do not count.
HistoryColumn ColumnNamed(std::string_view field);
// "Date", "Adj Close"; "another column" for Other.
const char* ColumnTitle(HistoryColumn column);

// What a title line names, field by field.
struct HistoryColumns {
    std::vector<HistoryColumn> fields;
    std::vector<std::string> names;  // as the title writes them
    // Where column stands among the fields; -1 where none names it. A column
    // named twice stands where it is named first.
    int Position(HistoryColumn column) const;
    // The first column other than Other named twice, if any.
    std::optional<HistoryColumn> Repeated() const;
    // The fields a line needs to reach every column of columns that is named.
    std::size_t FieldsReaching(std::initializer_list<HistoryColumn> columns) const;
};

// The columns of line when one of its fields names the Date; nullopt for a
// line that is no title.
std::optional<HistoryColumns> ReadHistoryTitle(std::string_view line, char separator = ',');

// The fields of a line as its columns stand: an empty field counts, blanks
// around each are trimmed. An empty line has no field.
void SplitColumns(std::string_view line, char separator, std::vector<std::string_view>& fields);

enum class HistoryDates { YearMonthDay, MonthDayYear };

struct HistoryDay {
    TDateTime date = 0;
    std::string open, high, low, close;  // as the history writes them
    std::string volume;                  // its whole digits
};

struct DailyHistory {
    std::vector<HistoryDay> days;  // newest first, whatever the history's order
    HistoryColumns columns;        // of its title
    HistoryDates dates = HistoryDates::YearMonthDay;
    bool oldestFirst = false;  // the history's own order
};

// The newest day a history may hold, and what messages call it ("the day of
// the download", "today").
struct HistoryLastDay {
    TDateTime day = 0;
    std::string name;
};

// Reads the whole history from in; name is what messages call it ("the
// reply", "SPY.csv"). Throws HistoryError.
DailyHistory ReadDailyHistory(TextLineReader& in, const std::string& name, const HistoryLastDay& lastDay);

// The layout a history was read as, for the user: "Date,Open,High,Low,Close,
// Adj Close,Volume (Adj Close left aside), dates year-month-day, oldest day
// first".
std::string DescribeLayout(const DailyHistory& history);

}  // namespace kestrava
