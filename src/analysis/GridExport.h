#pragma once
// The grid of every expiry as comma-separated text: the rows that
// kestrava-calc price prints and that "Export grid..." writes to a file.

#include <span>
#include <string>

#include "pricing/IORecObj1.h"

namespace kestrava {

// The header line, without its line end.
extern const char* const kGridCsvHeader;

// One row, without its line end: the expiry as an ISO date, the strike, C or
// P, then the volatility, bid, ask, the bid and ask volatilities, theo,
// delta, gamma, decay, vega and the probabilities below and above the strike
// as stored: the volatilities and probabilities as fractions, which their
// headings say. Each number is the shortest text that reads back to the
// stored single, with a decimal point whatever the locale.
std::string GridCsvRow(const TInOutObj& expiry, int s, int k);

// The header and, for each expiry in order, the calls of strikes 1 to N and
// then the puts; every line ends with "\n".
std::string GridCsv(std::span<const TInOutObj* const> expiries);

// Writes GridCsv to fileName through a file beside it, so a failed export
// leaves an older file as it was. Throws AnalysisFileError with the message
// to show.
void WriteGridCsvFile(const std::string& fileName, std::span<const TInOutObj* const> expiries);

}  // namespace kestrava
