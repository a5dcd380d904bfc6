#include "chartcore/GridPrnText.h"

#include <algorithm>
#include <cmath>

#include "common/localeparse.h"
#include "common/monthnames.h"
#include "common/numformat.h"
#include "pricing/ContractNames.h"
#include "pricing/GridColumns.h"
#include "pricing/ModelTable.h"

namespace kestrava {
namespace {

const char* const kLabelHeading = "Strike";

// The value columns the printer shows, in the grid's order.
std::vector<const GridColumn*> PrintColumns()
{
    std::vector<const GridColumn*> columns;
    for (const GridColumn& column : kGridColumnTable)
        if (column.printHeading)
            columns.push_back(&column);
    return columns;
}

std::string PadLeft(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.insert(0, width - text.size(), ' ');
    return text;
}

std::string PadRight(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// printf's "%W.Df" with the locale's separator.
std::string Fixed(double value, int decimals, std::size_t width, char separator)
{
    return PadLeft(FormatLocaleFixed(value, decimals, separator), width);
}

}  // namespace

std::string GridPrintHeading(TDateTime expiry, const std::string& optSymbol, const std::string& optContract)
{
    const CivilDate date = DecodeDate(expiry);
    const std::string month = MonthAbbreviation(date.month);
    return month + " " + PadLeft(std::to_string(date.year), 4) + " Options on " + optSymbol + "  ("
           + optContract + ")";
}

std::vector<std::string> GridPrintCells(const TInOutObj& series, int s, int k, char decimalSeparator)
{
    std::vector<std::string> cells;
    for (const GridColumn* column : PrintColumns()) {
        // Singles round as their shortest decimal reads; percents scale first.
        const float value = ShownValue(*column, series, s, k);
        cells.push_back(Trimmed(FormatSingle(column->printFormat, value, decimalSeparator)));
    }
    return cells;
}

GridPrintTable MakeGridPrintTable(const TInOutObj& series, char decimalSeparator)
{
    struct Texts {
        std::string side;
        std::string strike;
        std::string code;
        std::vector<std::string> cells;
    };
    const int strikes = std::clamp(series.NumStrikes, 0, kMaxStrikes);
    std::vector<Texts> rows;  // calls first, then puts
    for (int k = 1; k <= 2; ++k) {
        for (int s = 1; s <= strikes; ++s) {
            const std::string& code = series.OptCode(s, k);
            rows.push_back({k == 1 ? "C" : "P", FormatLocaleFixed(series.Strike(s, k), 2, decimalSeparator),
                            !code.empty() && code.front() == '\r' ? code.substr(1) : code,
                            GridPrintCells(series, s, k, decimalSeparator)});
        }
    }

    // The label's strike and the option code end at the first column's right
    // edge; every value at its column's.
    std::size_t strikeWidth = 6;
    std::size_t firstWidth = std::string(kLabelHeading).size();
    const std::vector<const GridColumn*> columns = PrintColumns();
    std::vector<std::size_t> widths;
    widths.reserve(columns.size());
    for (const GridColumn* column : columns)
        widths.push_back(std::string(column->printHeading).size());
    for (const Texts& row : rows) {
        strikeWidth = std::max(strikeWidth, row.strike.size());
        firstWidth = std::max(firstWidth, row.code.size());
        for (std::size_t c = 0; c < widths.size(); ++c)
            widths[c] = std::max(widths[c], row.cells[c].size());
    }
    firstWidth = std::max(firstWidth, 2 + strikeWidth);
    const std::string gap(kGridPrintColumnGap, ' ');

    GridPrintTable table;
    table.headings = PadRight(kLabelHeading, firstWidth);
    for (std::size_t c = 0; c < widths.size(); ++c)
        table.headings += gap + PadLeft(columns[c]->printHeading, widths[c]);
    for (const Texts& row : rows) {
        GridPrintTable::Row line;
        line.label = row.side + PadLeft(row.strike, firstWidth - row.side.size());
        line.hasCode = !row.code.empty();
        line.data = line.hasCode ? PadLeft(row.code, firstWidth) : line.label;
        for (std::size_t c = 0; c < widths.size(); ++c)
            line.data += gap + PadLeft(row.cells[c], widths[c]);
        while (!line.data.empty() && line.data.back() == ' ')
            line.data.pop_back();
        table.rows.push_back(std::move(line));
    }
    return table;
}

std::vector<std::string> GridPrintInputs(const TInOutObj& p, TDateTime expiry, const LocaleInfo& locale)
{
    const char dot = locale.decimalSeparator;
    const auto date = [&locale](TDateTime day) { return FormatLocaleDate(day, locale); };
    std::vector<std::string> lines;
    lines.push_back("With " + p.OptSymbol + " at " + Fixed(p.Underlying, 2, 6, dot) + " on "
                    + date(p.TodayDate));
    lines.push_back(std::to_string(p.DaysToExpiry()) + " days to Expiry on " + date(expiry));
    lines.push_back(p.SkewMode == 1 ? "Modeled using Bid Implied Volatilities"
                    : p.SkewMode == 2
                        ? "Modeled using Ask Implied Volatilities"
                        : "Modeled using level Volatility = " + Fixed(p.Sigma * 100.0, 1, 4, dot) + "%");
    lines.push_back("Risk Free Rate: " + Fixed(p.Rate * 100.0, 2, 4, dot) + "%");
    switch (p.ContractType) {
    case kEquity:
        lines.push_back(p.Dividend != 0 ? "$ Div: " + Fixed(p.Dividend, 2, 5, dot) + " on " + date(p.DivDate)
                                        : "$ Div: None");
        break;
    case kIndex:
        lines.push_back(p.Dividend != 0 ? "Div Yield: " + Fixed(p.Dividend * 100.0, 2, 4, dot) + "%"
                                        : "Div Yield: None");
        break;
    case kCurrency:
        lines.push_back(p.Dividend != 0 ? "Foreign RF Rate: " + Fixed(p.Dividend * 100.0, 2, 4, dot) + "%"
                                        : "Foreign RF Rate := ???");
        break;
    default:  // futures carry no adjustment
        lines.emplace_back();
        break;
    }
    std::string model;
    if (const ModelEntry* entry = FindModel(p.Model))
        model = std::string(entry->american ? "American/" : "European/") + entry->shortName + "/";
    const char* contract = ContractName(p.ContractType);
    lines.push_back("Model: " + model + (contract ? contract : ""));
    return lines;
}

}  // namespace kestrava
