#include "analysis/PnlTable.h"

#include <algorithm>
#include <cmath>

#include "analysis/PositionValuer.h"
#include "analysis/RiskGraph.h"
#include "common/numtext.h"

namespace kestrava {

std::vector<double> PnlTablePrices(const MarkedPosition& marked, double move)
{
    std::vector<double> prices;
    for (const MarkedLeg& leg : marked.Legs())
        if (leg.kind == LegKind::Option)
            prices.push_back(ShortestDouble(leg.strike));
    const double today = marked.Underlying();
    for (int n = -2; n <= 2; ++n) {
        const double price = today + n * move;
        if (price > 0 && (n == 0 || move > 0))
            prices.push_back(price);
    }
    std::sort(prices.begin(), prices.end());
    prices.erase(std::unique(prices.begin(), prices.end()), prices.end());
    return prices;
}

std::vector<TDateTime> PnlTableDates(const MarkedPosition& marked, TDateTime chosen)
{
    std::vector<TDateTime> dates{std::trunc(marked.Today())};
    if (chosen != 0)
        dates.push_back(std::trunc(chosen));
    for (int e : marked.LegExpiries())
        dates.push_back(marked.Expiries()[static_cast<std::size_t>(e)].day);
    return dates;
}

PnlTable ComputePnlTable(const MarkedPosition& marked, const Scenario& scenario, TDateTime chosen)
{
    const std::vector<ExpectedMove> moves = ExpectedMoves(marked, scenario.distribution);
    PnlTable table;
    table.prices = PnlTablePrices(marked, moves.empty() ? 0.0 : moves.front().move);
    table.dates = PnlTableDates(marked, chosen);
    // Today's column is valued at today's moment, so its row at today's
    // price is the profit or loss now.
    std::vector<TDateTime> valued = table.dates;
    valued.front() = marked.Today();
    const std::vector<std::vector<double>> columns = PnlCurves(marked, scenario, valued, table.prices);
    table.pnl.assign(table.prices.size(), std::vector<double>(table.dates.size(), 0.0));
    for (std::size_t c = 0; c < columns.size(); ++c)
        for (std::size_t r = 0; r < table.prices.size(); ++r)
            table.pnl[r][c] = columns[c][r];
    return table;
}

std::string PnlTableCsv(const PnlTable& table)
{
    std::string text = "price";
    for (TDateTime date : table.dates)
        text.append(",").append(IsoDate(date));
    text += "\n";
    for (std::size_t r = 0; r < table.prices.size(); ++r) {
        text += FormatSig9(table.prices[r]);
        for (double value : table.pnl[r])
            text.append(",").append(FormatSig9(value));
        text += "\n";
    }
    return text;
}

}  // namespace kestrava
