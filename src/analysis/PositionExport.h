#pragma once
// A position as comma-separated text, what "Export position..." writes and
// kestrava-calc risk --export prints: its legs with their marks, its
// figures now and under the scenario, and its profit or loss table; the
// three blocks apart by an empty line, each with its header line.

#include <string>

#include "analysis/MarkedPosition.h"
#include "analysis/PnlTable.h"
#include "analysis/PositionTotals.h"

namespace kestrava {

extern const char* const kPositionLegsCsvHeader;
extern const char* const kPositionFiguresCsvHeader;

// Legs: number (from 1), kind, expiry, strike, side, quantity, entry price,
// mark, where the mark comes from ("mid", "model", "intrinsic", "price"),
// the volatility it is priced at (a fraction), commission; then its figures
// now under the scenario (see LegFigures): iv, vol_used (empty where there
// is none), theo, delta, gamma, decay, vega, rho, per option or unit, so
// that each times quantity and multiplier summed over the legs is the
// figure's "now". A leg that is not an option of the series has "none" for
// its mark and empty cells after.
// Figures: one line per figure (cost, commissions, value, pnl, delta, gamma,
// decay, vega, rho, theo) with its value now and under the scenario, then a line
// "date" with the two dates. Numbers with nine significant digits and a
// decimal point whatever the locale.
std::string PositionCsv(const Position& position, const MarkedPosition& marked,
                        const PositionFigures& figures, const PnlTable& table);

// Writes the text through a file beside fileName, so a failed export leaves
// an older file as it was. Throws AnalysisFileError with the message to show.
void WritePositionCsvFile(const std::string& fileName, const std::string& csv);

}  // namespace kestrava
