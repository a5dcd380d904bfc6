#include "chart/GridPrnText.h"

#include <algorithm>
#include <cmath>

#include "common/localeparse.h"
#include "common/numformat.h"

namespace kestrava {
namespace {

const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

const char* const kModelTexts[4] = {"European/Black-Scholes/", "European/Black/", "American/Binomial/",
                                    "American/Whaley/"};
const char* const kContractNames[4] = {"Equity", "Index", "Future", "Currency"};

// A value column of the table: its heading, its format (sections: positive;
// negative, empty for the positive one with a minus; zero) and its value.
struct PrintColumn {
    const char* heading;
    const char* picture;
    double (*value)(const TInOutObj&, int, int);
};

const char* const kLabelHeading = "Strike";

const PrintColumn kValueColumns[13] = {
    {"Net", "+##0.#0   ;-##0.#0   ;          ",
     [](const TInOutObj& p, int s, int k) -> double { return p.NetChange(s, k); }},
    {"Last", "##0.#0   ;;          ",
     [](const TInOutObj& p, int s, int k) -> double { return p.Last(s, k); }},
    {"Bid $", "##0.#0   ;;     ", [](const TInOutObj& p, int s, int k) -> double { return p.Bid(s, k); }},
    {"Bid iv", "##0.#0   ;;     ", [](const TInOutObj& p, int s, int k) { return p.BidIV(s, k) * 100.0; }},
    {"Ask $", "##0.#0   ;;     ", [](const TInOutObj& p, int s, int k) -> double { return p.Ask(s, k); }},
    {"Ask iv", "##0.#0   ;;     ", [](const TInOutObj& p, int s, int k) { return p.AskIV(s, k) * 100.0; }},
    {"Theo $", "##0.#0   ;;     ", [](const TInOutObj& p, int s, int k) -> double { return p.Theo(s, k); }},
    {"Delta", "+0.#0   ;-0.#0   ;     ",
     [](const TInOutObj& p, int s, int k) -> double { return p.Delta(s, k); }},
    {"Gamma", "#0.##0   ;;     ", [](const TInOutObj& p, int s, int k) -> double { return p.Gamma(s, k); }},
    // With its own sign, as the grid shows it: a deep in-the-money put gains
    // by the day. The plus keeps the column as wide as a minus does.
    {"dk/Day", "+#0.##0   ;-#0.##0   ;     ",
     [](const TInOutObj& p, int s, int k) -> double { return p.Decay(s, k); }},
    {"Vega", "#0.##0   ;;     ", [](const TInOutObj& p, int s, int k) -> double { return p.Vega(s, k); }},
    {"P < Str", "##0.#0   ;;     ",
     [](const TInOutObj& p, int s, int k) { return p.ProbBelow(s, k) * 100.0; }},
    {"P > Str", "##0.#0;;     ", [](const TInOutObj& p, int s, int k) { return p.ProbAbove(s, k) * 100.0; }},
};

std::string PadLeft(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.insert(0, width - text.size(), ' ');
    return text;
}

std::string PadRight(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// printf's "%W.Df" with the locale's separator.
std::string Fixed(double value, int decimals, std::size_t width, char separator)
{
    return PadLeft(FormatLocaleFixed(value, decimals, separator), width);
}

}  // namespace

std::string GridPrintHeading(TDateTime expiry, const std::string& optSymbol, const std::string& optContract)
{
    const CivilDate date = DecodeDate(expiry);
    const std::string month = date.month >= 1 && date.month <= 12 ? kMonthNames[date.month - 1] : "";
    return month + " " + PadLeft(std::to_string(date.year), 4) + " Options on " + optSymbol + "  ("
           + optContract + ")";
}

std::vector<std::string> GridPrintCells(const TInOutObj& series, int s, int k, char decimalSeparator)
{
    std::vector<std::string> cells;
    for (const PrintColumn& column : kValueColumns) {
        // Singles round as their shortest decimal reads; percents scale first.
        const float value = static_cast<float>(column.value(series, s, k));
        cells.push_back(Trimmed(FormatSingle(column.picture, value, decimalSeparator)));
    }
    return cells;
}

GridPrintTable MakeGridPrintTable(const TInOutObj& series, char decimalSeparator)
{
    struct Texts {
        std::string side;
        std::string strike;
        std::string code;
        std::vector<std::string> cells;
    };
    const int strikes = std::clamp(series.NumStrikes, 0, kMaxStrikes);
    std::vector<Texts> rows;  // calls first, then puts
    for (int k = 1; k <= 2; ++k) {
        for (int s = 1; s <= strikes; ++s) {
            const std::string& code = series.OptCode(s, k);
            rows.push_back({k == 1 ? "C" : "P", FormatLocaleFixed(series.Strike(s, k), 2, decimalSeparator),
                            !code.empty() && code.front() == '\r' ? code.substr(1) : code,
                            GridPrintCells(series, s, k, decimalSeparator)});
        }
    }

    // The label's strike and the option code end at the first column's right
    // edge; every value at its column's.
    std::size_t strikeWidth = 6;
    std::size_t firstWidth = std::string(kLabelHeading).size();
    std::vector<std::size_t> widths;
    for (const PrintColumn& column : kValueColumns)
        widths.push_back(std::string(column.heading).size());
    for (const Texts& row : rows) {
        strikeWidth = std::max(strikeWidth, row.strike.size());
        firstWidth = std::max(firstWidth, row.code.size());
        for (std::size_t c = 0; c < widths.size(); ++c)
            widths[c] = std::max(widths[c], row.cells[c].size());
    }
    firstWidth = std::max(firstWidth, 2 + strikeWidth);
    const std::string gap(kGridPrintColumnGap, ' ');

    GridPrintTable table;
    table.headings = PadRight(kLabelHeading, firstWidth);
    for (std::size_t c = 0; c < widths.size(); ++c)
        table.headings += gap + PadLeft(kValueColumns[c].heading, widths[c]);
    for (const Texts& row : rows) {
        GridPrintTable::Row line;
        line.label = row.side + PadLeft(row.strike, firstWidth - row.side.size());
        line.hasCode = !row.code.empty();
        line.data = line.hasCode ? PadLeft(row.code, firstWidth) : line.label;
        for (std::size_t c = 0; c < widths.size(); ++c)
            line.data += gap + PadLeft(row.cells[c], widths[c]);
        while (!line.data.empty() && line.data.back() == ' ')
            line.data.pop_back();
        table.rows.push_back(std::move(line));
    }
    return table;
}

std::vector<std::string> GridPrintInputs(const TInOutObj& p, TDateTime expiry, const LocaleInfo& locale)
{
    const char dot = locale.decimalSeparator;
    const auto date = [&locale](TDateTime day) { return FormatLocaleDate(day, locale); };
    std::vector<std::string> lines;
    lines.push_back("With " + p.OptSymbol + " at " + Fixed(p.Underlying, 2, 6, dot) + " on "
                    + date(p.TodayDate));
    lines.push_back(std::to_string(p.DaysToExpiry()) + " days to Expiry on " + date(expiry));
    lines.push_back(p.SkewMode == 1 ? "Modeled using Bid Implied Volatilities"
                    : p.SkewMode == 2
                        ? "Modeled using Ask Implied Volatilities"
                        : "Modeled using level Volatility = " + Fixed(p.Sigma * 100.0, 1, 4, dot) + "%");
    lines.push_back("Risk Free Rate: " + Fixed(p.Rate * 100.0, 2, 4, dot) + "%");
    switch (p.ContractType) {
    case kEquity:
        lines.push_back(p.Dividend != 0 ? "$ Div: " + Fixed(p.Dividend, 2, 5, dot) + " on " + date(p.DivDate)
                                        : "$ Div: None");
        break;
    case kIndex:
        lines.push_back(p.Dividend != 0 ? "Div Yield: " + Fixed(p.Dividend * 100.0, 2, 4, dot) + "%"
                                        : "Div Yield: None");
        break;
    case kCurrency:
        lines.push_back(p.Dividend != 0 ? "Foreign RF Rate: " + Fixed(p.Dividend * 100.0, 2, 4, dot) + "%"
                                        : "Foreign RF Rate := ???");
        break;
    default:  // futures carry no adjustment
        lines.emplace_back();
        break;
    }
    const bool knownModel = p.Model >= 1 && p.Model <= 4;
    const bool knownContract = p.ContractType >= 1 && p.ContractType <= 4;
    lines.push_back(std::string("Model: ") + (knownModel ? kModelTexts[p.Model - 1] : "")
                    + (knownContract ? kContractNames[p.ContractType - 1] : ""));
    return lines;
}

}  // namespace kestrava
