#pragma once
// The option grid's value columns, one row each: the page's heading and
// number format, the printed grid's, the CSV export's name and place, and
// the series table the cells show. The page's grid, its copy text, the
// printer, the CSV export and kestrava-calc's table walk this table; a
// column is added here and nowhere else.

#include <span>

#include "pricing/IORecObj1.h"

namespace kestrava {

enum class ColumnUnit {
    Money,    // in the underlying's price units
    Percent,  // a fraction in the series, shown times 100
    Number,   // a greek: per unit, per day or per volatility point
};

struct GridColumn {
    PerStrike<float> TInOutObj::*value;  // what a cell shows
    ColumnUnit unit;
    // The page's grid: its heading ("\r" before a second line) and picture
    // format (sections positive; negative; zero, each padded with one blank
    // that keeps the number off the cell border); null for a column the
    // grid does not show.
    const char* heading;
    const char* format;
    // The printed grid's heading and picture format; null when not printed.
    const char* printHeading;
    const char* printFormat;
    // The CSV export's column name and its place among the values (after
    // the expiry, strike and side); null and -1 when not exported.
    const char* csvName;
    int csvPlace;
};

// Every picture section ends in one blank (the printer's in three), which
// keeps the right-aligned numbers off the cell border. The grid's columns
// come first, in its order; the print follows the grid's order.
inline constexpr GridColumn kGridColumnTable[] = {
    {&TInOutObj::NetChange, ColumnUnit::Money, "Net", "+0.#0 ;-0.#0 ;'", "Net",
     "+##0.#0   ;-##0.#0   ;          ", nullptr, -1},
    {&TInOutObj::Last, ColumnUnit::Money, "Last", "0.#0 ;;'", "Last", "##0.#0   ;;          ", nullptr, -1},
    {&TInOutObj::Bid, ColumnUnit::Money, "Bid $", "0.#0 ;;'", "Bid $", "##0.#0   ;;     ", "bid", 1},
    {&TInOutObj::BidIV, ColumnUnit::Percent, "Bid IV", "0.0 ;;'", "Bid iv", "##0.#0   ;;     ",
     "bid_iv_fraction", 3},
    {&TInOutObj::Ask, ColumnUnit::Money, "Ask $", "0.#0 ;;'", "Ask $", "##0.#0   ;;     ", "ask", 2},
    {&TInOutObj::AskIV, ColumnUnit::Percent, "Ask IV", "0.0 ;;'", "Ask iv", "##0.#0   ;;     ",
     "ask_iv_fraction", 4},
    {&TInOutObj::Theo, ColumnUnit::Money, "Theo $", "0.#0 ;;'", "Theo $", "##0.#0   ;;     ", "theo", 5},
    {&TInOutObj::Delta, ColumnUnit::Number, "Delta", "+0.#0 ;-0.#0 ;'", "Delta", "+0.#0   ;-0.#0   ;     ",
     "delta", 6},
    {&TInOutObj::Gamma, ColumnUnit::Number, "Gamma", "0.000 ;0.000 ;'", "Gamma", "#0.##0   ;;     ", "gamma",
     7},
    // With its own sign, as the grid shows it: a deep in-the-money put gains
    // by the day. The printer's plus keeps the column as wide as a minus.
    {&TInOutObj::Decay, ColumnUnit::Money, "Decay\r$ / Day", "0.000 ;; '", "dk/Day",
     "+#0.##0   ;-#0.##0   ;     ", "decay", 8},
    {&TInOutObj::Vega, ColumnUnit::Money, "Vega", "0.000 ;; '", "Vega", "#0.##0   ;;     ", "vega", 9},
    {&TInOutObj::ProbBelow, ColumnUnit::Percent, "% Prob\r< Str", "0.0 ;;'", "P < Str", "##0.#0   ;;     ",
     "prob_below_fraction", 10},
    {&TInOutObj::ProbAbove, ColumnUnit::Percent, "% Prob\r> Str", "0.0 ;;'", "P > Str", "##0.#0;;     ",
     "prob_above_fraction", 11},
    // The volatility each option was priced at: exported, not shown.
    {&TInOutObj::Vol, ColumnUnit::Percent, nullptr, nullptr, nullptr, nullptr, "vol_fraction", 0},
};

// The grid's fixed first column, which labels each row with its side,
// strike and option code.
inline constexpr const char* kGridLabelHeading = "Strike\rCode";

// The label column and the value columns the grid shows.
inline constexpr int kGridColumns = [] {
    int count = 1;
    for (const GridColumn& column : kGridColumnTable)
        count += column.heading ? 1 : 0;
    return count;
}();

// The row of grid column 1..kGridColumns-1; null for the label column or a
// number beyond the grid.
constexpr const GridColumn* GridColumnAt(int column)
{
    return column >= 1 && column < kGridColumns ? &kGridColumnTable[column - 1] : nullptr;
}

// The grid column that shows a series table; 0 (the label column) for one
// the grid does not show.
constexpr int GridColumnOf(PerStrike<float> TInOutObj::*value)
{
    for (int column = 1; column < kGridColumns; ++column)
        if (kGridColumnTable[column - 1].value == value)
            return column;
    return 0;
}

// The value of a column's cell as its unit shows it: percent columns times
// 100, rounded back to a single as the grid and the printer take it.
inline float ShownValue(const GridColumn& column, const TInOutObj& series, int s, int k)
{
    const double value = (series.*column.value)(s, k);
    return static_cast<float>(column.unit == ColumnUnit::Percent ? value * 100.0 : value);
}

}  // namespace kestrava
