#include "pricing/gridtext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/numformat.h"
#include "common/numtext.h"

namespace kestrava {
namespace {

struct ColumnSpec {
    const char* header;
    const char* format;
};

// Every positive and negative section ends with one blank, which keeps the
// right-aligned numbers off the cell border.
constexpr ColumnSpec kColumns[kGridColumns] = {
    {"Strike\rCode", ""},
    {"Net", "+0.#0 ;-0.#0 ;'"},
    {"Last", "0.#0 ;;'"},
    {"Bid $", "0.#0 ;;'"},
    {"Bid IV", "0.0 ;;'"},
    {"Ask $", "0.#0 ;;'"},
    {"Ask IV", "0.0 ;;'"},
    {"Theo $", "0.#0 ;;'"},
    {"Delta", "+0.#0 ;-0.#0 ;'"},
    {"Gamma", "0.000 ;0.000 ;'"},
    {"Decay\r$ / Day", "0.000 ;; '"},
    {"Vega", "0.000 ;; '"},
    {"% Prob\r< Str", "0.0 ;;'"},
    {"% Prob\r> Str", "0.0 ;;'"},
};

// The value as the series holds it: fractions for the percent columns.
double CellValue(const TInOutObj& p, int s, int k, int column)
{
    switch (column) {
    case 1:
        return p.NetChange(s, k);
    case 2:
        return p.Last(s, k);
    case 3:
        return p.Bid(s, k);
    case 4:
        return p.BidIV(s, k);
    case 5:
        return p.Ask(s, k);
    case 6:
        return p.AskIV(s, k);
    case 7:
        return p.Theo(s, k);
    case 8:
        return p.Delta(s, k);
    case 9:
        return p.Gamma(s, k);
    case 10:
        return p.Decay(s, k);
    case 11:
        return p.Vega(s, k);
    case 12:
        return p.ProbBelow(s, k);
    case 13:
        return p.ProbAbove(s, k);
    default:
        return 0;
    }
}

}  // namespace

const char* GridHeader(int column)
{
    return column >= 0 && column < kGridColumns ? kColumns[column].header : "";
}

const char* GridFormat(int column)
{
    return column >= 1 && column < kGridColumns ? kColumns[column].format : "";
}

bool GridColumnInPercent(int column)
{
    return column == 4 || column == 6 || column == 12 || column == 13;
}

std::string GridCellText(const TInOutObj& series, int s, int k, int column, char decimalSeparator)
{
    if (column < 1 || column >= kGridColumns)
        return {};
    // The values are singles and round as their shortest decimal reads, so a
    // stored 2.675 shows 2.68; percent columns scale before they round.
    const double scale = GridColumnInPercent(column) ? 100.0 : 1.0;
    const float value = static_cast<float>(CellValue(series, s, k, column) * scale);
    return FormatSingle(kColumns[column].format, value, decimalSeparator);
}

std::string StrikeLabel(float strike, bool call, float strikeStep)
{
    const double fraction = std::fabs(strikeStep - std::trunc(strikeStep));
    const bool whole = fraction <= 0.0001;
    std::string number = FormatFixed(strike, whole ? 0 : 2);
    if (number.size() < 6)
        number.resize(6, ' ');  // left-aligned in six places
    return std::string(" ") + (call ? 'C' : 'P') + "  " + number + " ";
}

float LabelStrikeStep(const TInOutObj& p)
{
    const float step = p.Strike(2, 1) - p.Strike(1, 1);
    bool even = true;
    bool fraction = false;
    const int count = std::clamp(p.NumStrikes, 0, kMaxStrikes);
    for (int s = 1; s <= count; ++s) {
        const float strike = p.Strike(s, 1);
        fraction = fraction || std::fabs(strike - std::trunc(strike)) > 0.0001f;
        if (s >= 3)
            even = even
                   && std::fabs((strike - p.Strike(s - 1, 1)) - step)
                          <= 0.0001f * std::max(1.0f, std::fabs(step));
    }
    return !even && fraction ? 0.5f : step;
}

}  // namespace kestrava
