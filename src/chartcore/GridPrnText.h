#pragma once
// The lines of a printed option grid, as text: the heading, the lines that
// state the inputs, and the table of calls and puts with its column
// headings. Numbers use the picture formats of the number-format engine and
// the locale's decimal separator; texts are the series' own bytes.

#include <string>
#include <vector>

#include "common/localeinfo.h"
#include "pricing/IORecObj1.h"

namespace kestrava {

// "Jul 2009 Options on XYZ  (XYZ)": the expiry's month ("Jul" for July) and
// year, the symbol and the contract.
std::string GridPrintHeading(TDateTime expiry, const std::string& optSymbol, const std::string& optContract);

// The thirteen values of strike s and side k, Net to P > Str, each as its
// column's format writes it without the blanks the format pads with: a zero
// value gives an empty text.
std::vector<std::string> GridPrintCells(const TInOutObj& series, int s, int k, char decimalSeparator);

// The printed table of one expiry. Every column is as wide as its heading or
// its widest text, columns stand kGridPrintColumnGap blanks apart, values
// and their headings are right-aligned, so each value stands under its
// heading whatever its size.
struct GridPrintTable {
    struct Row {
        std::string label;     // "C 1000.00", padded to the first column's width
        std::string data;      // the option code (or, without one, the label), then the values
        bool hasCode = false;  // the label is printed on a line of its own above the data
    };
    std::string headings;
    std::vector<Row> rows;  // the calls of strikes 1 to N, then the puts
};
constexpr int kGridPrintColumnGap = 2;
GridPrintTable MakeGridPrintTable(const TInOutObj& series, char decimalSeparator);

// What the grid was priced with: the underlying and valuation date, the
// days to expiry, the volatility source, the rate, the dividend (or its
// like; empty for a future) and the model.
std::vector<std::string> GridPrintInputs(const TInOutObj& series, TDateTime expiry, const LocaleInfo& locale);

}  // namespace kestrava
