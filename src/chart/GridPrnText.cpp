#include "chart/GridPrnText.h"

#include <cmath>

#include "common/localeparse.h"
#include "common/numformat.h"

namespace kestrava {
namespace {

const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

const char* const kColumnHeadings[] = {"Strike     ", "Net  ",   "Last  ",   "Bid $ ", "Bid iv ",
                                       "Ask $ ",      "Ask iv ", "Theo $ ",  "Delta ", "Gamma ",
                                       "dk/Day ",     "Vega ",   "P < Str ", "P > Str"};

const char* const kModelTexts[4] = {"European/Black-Scholes/", "European/Black/", "American/Binomial/",
                                    "American/Whaley/"};
const char* const kContractNames[4] = {"Equity", "Index", "Future", "Currency"};

struct PrintColumn {
    const char* picture;
    double (*value)(const TInOutObj&, int, int);
};

// Sections: positive; negative (empty: the positive one with a minus); zero.
const PrintColumn kValueColumns[13] = {
    {"+##0.#0   ;-##0.#0   ;          ",
     [](const TInOutObj& p, int s, int k) -> double { return p.NetChange(s, k); }},
    {"##0.#0   ;;          ", [](const TInOutObj& p, int s, int k) -> double { return p.Last(s, k); }},
    {"##0.#0   ;;     ", [](const TInOutObj& p, int s, int k) -> double { return p.Bid(s, k); }},
    {"##0.#0   ;;     ", [](const TInOutObj& p, int s, int k) { return p.BidIV(s, k) * 100.0; }},
    {"##0.#0   ;;     ", [](const TInOutObj& p, int s, int k) -> double { return p.Ask(s, k); }},
    {"##0.#0   ;;     ", [](const TInOutObj& p, int s, int k) { return p.AskIV(s, k) * 100.0; }},
    {"##0.#0   ;;     ", [](const TInOutObj& p, int s, int k) -> double { return p.Theo(s, k); }},
    {"+0.#0   ;-0.#0   ;     ", [](const TInOutObj& p, int s, int k) -> double { return p.Delta(s, k); }},
    {"#0.##0   ;;     ", [](const TInOutObj& p, int s, int k) -> double { return p.Gamma(s, k); }},
    // With its own sign, as the grid shows it: a deep in-the-money put gains
    // by the day. The plus keeps the column as wide as a minus does.
    {"+#0.##0   ;-#0.##0   ;     ", [](const TInOutObj& p, int s, int k) -> double { return p.Decay(s, k); }},
    {"#0.##0   ;;     ", [](const TInOutObj& p, int s, int k) -> double { return p.Vega(s, k); }},
    {"##0.#0   ;;     ", [](const TInOutObj& p, int s, int k) { return p.ProbBelow(s, k) * 100.0; }},
    {"##0.#0;;     ", [](const TInOutObj& p, int s, int k) { return p.ProbAbove(s, k) * 100.0; }},
};

std::string PadLeft(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.insert(0, width - text.size(), ' ');
    return text;
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

std::string GridPrintColumnHeadings()
{
    std::string line;
    for (const char* heading : kColumnHeadings) {
        if (!line.empty())
            line += ' ';
        line += heading;
    }
    return line;
}

std::string GridPrintRowLabel(float strike, bool call, char decimalSeparator)
{
    return std::string(call ? "C " : "P ") + Fixed(strike, 2, 6, decimalSeparator);
}

std::string GridPrintCodeField(const std::string& code)
{
    const std::string text = !code.empty() && code.front() == '\r' ? code.substr(1) : code;
    return PadLeft(text, 8) + "  ";
}

std::string GridPrintValues(const TInOutObj& series, int s, int k, char decimalSeparator)
{
    std::string line;
    for (const PrintColumn& column : kValueColumns) {
        // Singles round as their shortest decimal reads; percents scale first.
        const float value = static_cast<float>(column.value(series, s, k));
        line += FormatSingle(column.picture, value, decimalSeparator);
    }
    return line;
}

std::vector<std::string> GridPrintFooter(const TInOutObj& p, TDateTime expiry, const LocaleInfo& locale)
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
        lines.push_back(" ");
        break;
    }
    const bool knownModel = p.Model >= 1 && p.Model <= 4;
    const bool knownContract = p.ContractType >= 1 && p.ContractType <= 4;
    lines.push_back(std::string("Model: ") + (knownModel ? kModelTexts[p.Model - 1] : "")
                    + (knownContract ? kContractNames[p.ContractType - 1] : ""));
    return lines;
}

}  // namespace kestrava
