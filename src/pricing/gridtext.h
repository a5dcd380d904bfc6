#pragma once
// The texts of the option grid: what each column of a strike's call or put
// row shows, in the display formats of the page (and of the command-line
// table, which prints the grid as the page shows it).

#include <string>

#include "pricing/GridColumns.h"
#include "pricing/IORecObj1.h"

namespace kestrava {

// Header of a column; a line break ("\r") makes a second line.
const char* GridHeader(int column);

// Picture format of value column 1..13.
const char* GridFormat(int column);

// Whether value column 1..13 shows a fraction of the series in percent
// (the implied volatilities and the probabilities).
bool GridColumnInPercent(int column);

// Value column 1..13 of strike s and side k, formatted. Rates and
// probabilities show in percent.
std::string GridCellText(const TInOutObj& series, int s, int k, int column, char decimalSeparator = '.');

// The strike label of column 0 without the option code: " C  102.50 " or
// " P  105    ". Two decimals when the step between strikes has a fraction.
std::string StrikeLabel(float strike, bool call, float strikeStep);

// The step whose fraction decides the labels' decimals: Strike(2) -
// Strike(1). Strikes that are not evenly spaced (a series made from a
// chain's selection) get a step with a fraction when any strike has one,
// so that no label rounds its strike away.
float LabelStrikeStep(const TInOutObj& p);

}  // namespace kestrava
