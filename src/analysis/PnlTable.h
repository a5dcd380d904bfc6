#pragma once
// The profit or loss table of a position: one row per price (each option
// leg's strike, today's price, and today's price less and plus one and two
// expected moves to the first expiry among the legs), one column per date
// (today, a chosen date, each expiry of the legs), valued under a scenario.

#include <array>
#include <string>
#include <vector>

#include "analysis/MarkedPosition.h"
#include "analysis/Scenario.h"

namespace kestrava {

struct PnlTable {
    std::vector<double> prices;            // ascending
    std::vector<TDateTime> dates;          // in the order given
    std::vector<std::vector<double>> pnl;  // [row][column], money
    // Per column, the option legs (their places in the position, from 0)
    // whose expiry came before the column's date: each is taken at its
    // intrinsic value at the row's price, as though the price stood there
    // on its expiry.
    std::vector<std::vector<int>> settledEarlier;
};

// The second view of the table: one row per price (as above), one column
// per move of every leg's volatility by kPnlVolShifts points on top of the
// scenario's, all at one date.
inline constexpr std::array<double, 5> kPnlVolShifts = {-10, -5, 0, 5, 10};
struct PnlVolTable {
    std::vector<double> prices;
    TDateTime date = 0;
    std::vector<std::vector<double>> pnl;  // [row][shift], money
};

// The rows' prices: the strikes of the option legs, today's price, and
// today's price less and plus once and twice move (those above 0); each
// price once, ascending.
std::vector<double> PnlTablePrices(const MarkedPosition& marked, double move);

// The columns' dates: today, then chosen unless it is 0, then each expiry
// of the legs that has days left, earliest first.
std::vector<TDateTime> PnlTableDates(const MarkedPosition& marked, TDateTime chosen);

// The table at the rows of the expected move to the first expiry among the
// legs (see ExpectedMoves) and the columns above.
PnlTable ComputePnlTable(const MarkedPosition& marked, const Scenario& scenario, TDateTime chosen);

// The table by volatility at date (today's moment when date is today).
PnlVolTable ComputePnlVolTable(const MarkedPosition& marked, const Scenario& scenario, TDateTime date);

// "Leg 1 (2011-02-19 1300 C) expired on 2011-02-19 and is taken at its
// intrinsic value at the row's price." for each leg settled before the
// column's date; empty when none is.
std::string SettledNote(const MarkedPosition& marked, const PnlTable& table, std::size_t column);

// The header "price," and the shifts ("-10,-5,0,5,10"), then one line per
// row as PnlTableCsv writes it.
std::string PnlVolTableCsv(const PnlVolTable& table);

// The header "price," and one ISO date per column, then one line per row:
// the price and the profit or loss of each column, nine significant digits;
// every line ends with "\n".
std::string PnlTableCsv(const PnlTable& table);

}  // namespace kestrava
