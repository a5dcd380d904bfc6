#include "analysis/PnlTable.h"

#include <algorithm>
#include <cmath>
#include <utility>

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
    for (TDateTime date : table.dates) {
        std::vector<int> settled;
        for (const MarkedLeg& leg : marked.Legs())
            if (leg.kind == LegKind::Option && marked.ExpiryOf(leg).day > std::trunc(marked.Today())
                && marked.ExpiryOf(leg).day < date)
                settled.push_back(leg.index);
        table.settledEarlier.push_back(std::move(settled));
    }
    return table;
}

PnlVolTable ComputePnlVolTable(const MarkedPosition& marked, const Scenario& scenario, TDateTime date)
{
    const std::vector<ExpectedMove> moves = ExpectedMoves(marked, scenario.distribution);
    PnlVolTable table;
    table.prices = PnlTablePrices(marked, moves.empty() ? 0.0 : moves.front().move);
    table.date = std::trunc(date);
    // Today is valued at today's moment, as the table by date values it.
    const TDateTime valued[] = {table.date == std::trunc(marked.Today()) ? marked.Today() : table.date};
    table.pnl.assign(table.prices.size(), std::vector<double>(kPnlVolShifts.size(), 0.0));
    for (std::size_t c = 0; c < kPnlVolShifts.size(); ++c) {
        Scenario shifted = scenario;
        shifted.volPoints += kPnlVolShifts[c];
        const std::vector<std::vector<double>> column = PnlCurves(marked, shifted, valued, table.prices);
        for (std::size_t r = 0; r < table.prices.size(); ++r)
            table.pnl[r][c] = column.front()[r];
    }
    return table;
}

std::string SettledNote(const MarkedPosition& marked, const PnlTable& table, std::size_t column)
{
    std::string note;
    if (column >= table.settledEarlier.size())
        return note;
    for (int index : table.settledEarlier[column]) {
        for (const MarkedLeg& leg : marked.Legs()) {
            if (leg.index != index)
                continue;
            const std::string expiry = IsoDate(marked.ExpiryOf(leg).day);
            if (!note.empty())
                note += " ";
            note += "Leg " + std::to_string(index + 1) + " (" + expiry + " ";
            note += FormatSig9(leg.strike);
            note += leg.k == 2 ? " P" : " C";
            note += ") expired on " + expiry + " and is taken at its intrinsic value at the row's price.";
        }
    }
    return note;
}

namespace {

// A table's title line, then one line per price: the price and its row.
template <typename Table>
std::string PriceRowsCsv(std::string text, const Table& table)
{
    text += "\n";
    for (std::size_t r = 0; r < table.prices.size(); ++r) {
        text += FormatSig9(table.prices[r]);
        for (double value : table.pnl[r])
            text.append(",").append(FormatSig9(value));
        text += "\n";
    }
    return text;
}

}  // namespace

std::string PnlVolTableCsv(const PnlVolTable& table)
{
    std::string title = "price";
    for (double shift : kPnlVolShifts)
        title.append(",").append(FormatSig9(shift));
    return PriceRowsCsv(std::move(title), table);
}

std::string PnlTableCsv(const PnlTable& table)
{
    std::string title = "price";
    for (TDateTime date : table.dates)
        title.append(",").append(IsoDate(date));
    return PriceRowsCsv(std::move(title), table);
}

}  // namespace kestrava
