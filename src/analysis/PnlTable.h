#pragma once
// The profit or loss table of a position: one row per price (each option
// leg's strike, today's price, and today's price less and plus one and two
// expected moves to the first expiry among the legs), one column per date
// (today, a chosen date, each expiry of the legs), valued under a scenario.

#include <string>
#include <vector>

#include "analysis/MarkedPosition.h"
#include "analysis/Scenario.h"

namespace kestrava {

struct PnlTable {
    std::vector<double> prices;            // ascending
    std::vector<TDateTime> dates;          // in the order given
    std::vector<std::vector<double>> pnl;  // [row][column], money
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

// The header "price," and one ISO date per column, then one line per row:
// the price and the profit or loss of each column, nine significant digits;
// every line ends with "\n".
std::string PnlTableCsv(const PnlTable& table);

}  // namespace kestrava
