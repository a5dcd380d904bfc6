// price: recalculates every expiry of a series as the page's Calculate does
// and prints the grid.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "analysis/GridExport.h"
#include "cli/command.h"
#include "cli/localeoptions.h"
#include "cli/seriesjson.h"
#include "cli/seriesquotes.h"
#include "cli/seriesrecalc.h"
#include "common/localeparse.h"
#include "common/monthnames.h"
#include "common/notifier.h"
#include "common/numtext.h"
#include "pricing/ContractNames.h"
#include "pricing/gridtext.h"
#include "pricing/Models.h"
#include "pricing/ModelTable.h"
#include "pricing/recalc.h"

namespace kestrava::cli {
namespace {

struct PriceOptions {
    std::string path;
    std::optional<std::string> quotes;
    VolSource source = VolSource::Flat;
    bool table = false;
    LocaleInfo locale;
};

std::string TakeValue(std::vector<std::string>& args, std::size_t& i)
{
    if (i + 1 >= args.size())
        throw UsageError(args[i] + " needs a value");
    return args[++i];
}

PriceOptions ParseOptions(std::vector<std::string> args)
{
    PriceOptions options;
    options.locale = TakeLocaleOptions(args);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--skew") {
            options.source = ParseSkew(TakeValue(args, i));
        } else if (arg == kQuotesOption) {
            options.quotes = TakeValue(args, i);
        } else if (arg == "--format") {
            const std::string value = TakeValue(args, i);
            if (value != "csv" && value != "table")
                throw UsageError("--format takes csv or table, got \"" + value + "\"");
            options.table = value == "table";
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option \"" + arg + "\"");
        } else if (options.path.empty()) {
            options.path = arg;
        } else {
            throw UsageError("expects one series file, got a second: \"" + arg + "\"");
        }
    }
    if (options.path.empty())
        throw UsageError("expects a series file");
    return options;
}

void PrintCsv(const std::vector<TInOutObj>& series)
{
    std::vector<const TInOutObj*> expiries;
    expiries.reserve(series.size());
    for (const TInOutObj& p : series)
        expiries.push_back(&p);
    std::fputs(GridCsv(expiries).c_str(), stdout);
}

// Line 0 or 1 of a header; a carriage return starts the second line.
std::string HeaderLine(const char* header, int line)
{
    const std::string text = header;
    const std::size_t cut = text.find('\r');
    if (cut == std::string::npos)
        return line == 0 ? text : std::string();
    return line == 0 ? text.substr(0, cut) : text.substr(cut + 1);
}

std::string Cell(const std::string& text, int width, bool left = false)
{
    if (static_cast<int>(text.size()) >= width)
        return text;
    const std::string pad(static_cast<std::size_t>(width) - text.size(), ' ');
    return left ? text + pad : pad + text;
}

void PrintTable(std::vector<TInOutObj>& series, const LocaleInfo& locale)
{
    constexpr int kLabelWidth = 18;
    constexpr int kValueWidth = 10;
    const char dot = locale.decimalSeparator;
    for (std::size_t e = 0; e < series.size(); ++e) {
        TInOutObj& p = series[e];
        const TDateTime expiry = p.GetExpiry();
        const CivilDate c = DecodeDate(expiry);
        const char* month = *MonthAbbreviation(c.month) ? MonthAbbreviation(c.month) : "???";
        const char* contract = ContractName(p.ContractType);
        const ModelEntry* model = FindModel(p.Model);
        std::printf("%s%s %4d  %s  %s  %s\n", e ? "\n" : "", month, c.year, p.OptSymbol.c_str(),
                    contract ? contract : "?", model ? ModelDisplayName(*model).c_str() : "no model");
        std::printf("Today: %s  Expiry: %s  Days left: %d  Ulying %s  Rate %s%%  Volatility %s%%\n",
                    FormatLocaleDate(p.TodayDate, locale).c_str(), FormatLocaleDate(expiry, locale).c_str(),
                    p.DaysToExpiry(), FormatLocaleFixed(p.Underlying, 2, dot).c_str(),
                    FormatLocaleFixed(p.Rate * 100.0, 2, dot).c_str(),
                    FormatLocaleFixed(p.Sigma * 100.0, 2, dot).c_str());

        for (int line = 0; line < 2; ++line) {
            std::string header = Cell(HeaderLine(GridHeader(0), line), kLabelWidth, true);
            for (int column = 1; column < kGridColumns; ++column)
                header.append(Cell(HeaderLine(GridHeader(column), line).append(" "), kValueWidth));
            std::puts(header.c_str());
        }

        const float step = p.NumStrikes > 1 ? LabelStrikeStep(p) : 0.0f;
        for (int k = 1; k <= 2; ++k) {
            for (int s = 1; s <= p.NumStrikes; ++s) {
                std::string code = p.OptCode(s, k);
                if (!code.empty() && code[0] == '\r')
                    code.erase(0, 1);
                std::string line = Cell(StrikeLabel(p.Strike(s, k), k == 1, step) + code, kLabelWidth, true);
                for (int column = 1; column < kGridColumns; ++column)
                    line += Cell(GridCellText(p, s, k, column, dot), kValueWidth);
                std::puts(line.c_str());
            }
        }
    }
}

int RunPrice(const std::vector<std::string>& args)
{
    const PriceOptions options = ParseOptions(args);
    std::vector<TInOutObj> series;
    StderrNotifier notifier;
    bool complete = LoadSeriesAny(options.path, series, notifier);
    LoadSeriesQuotes(series, options.quotes, options.locale, notifier);
    complete = RecalculateSeries(series, options.source, notifier, ProgressOnStderr("Priced")) && complete;
    if (options.table)
        PrintTable(series, options.locale);
    else
        PrintCsv(series);
    return complete ? kExitOk : kExitFailed;
}

constexpr const char* kPriceHelp =
    "Usage: kestrava-calc price SERIES [--skew flat|bid|ask] [--format csv|table]\n"
    "                           [--quotes FILE]\n"
    "\n"
    "Recalculates every expiry of SERIES (a .ops file, or the JSON form that\n"
    "dump prints, which may add Bid and Ask tables) as the option page's\n"
    "Calculate does, with the quotes the page loads, and prints the grid.\n"
    "\n"
    "  --skew flat   price every strike at the series' volatility (default);\n"
    "                the implied volatilities of the bids and asks are solved too\n"
    "  --skew bid    price each strike and side at its bid implied volatility\n"
    "  --skew ask    price each strike and side at its ask implied volatility\n"
    "  --format csv  (default) the header\n"
    "                expiry,strike,side,vol_fraction,bid,ask,bid_iv_fraction,\n"
    "                ask_iv_fraction,theo,delta,gamma,decay,vega,\n"
    "                prob_below_fraction,prob_above_fraction\n"
    "                and one row per expiry, strike and side in the grid's order\n"
    "                (calls of strikes 1 to N, then the puts); numbers as stored,\n"
    "                each the shortest text that reads back to the same single\n"
    "                (139.4, not 139.399994); volatilities and probabilities are\n"
    "                fractions, as their headings say\n"
    "  --format table  the grid as the page shows it, with its display formats;\n"
    "                dates and decimals follow the locale options below\n";

constexpr const char* kPriceHelpEnd =
    "\n"
    "A run that will take more than a second (many expiries under the binomial\n"
    "model at many steps) reports its progress on standard error, at most once\n"
    "a second.\n"
    "\n"
    "A series that cannot be priced (a zero underlying, say) prints the reason\n"
    "and exits with status 2. A damaged series file prices the expiries read\n"
    "before the damage and exits with status 1; so does a strike of zero or\n"
    "below, named on standard error while the other strikes are priced.\n"
    "\n";

const CommandRegistration priceCommand({
    "price",
    "price SERIES [--skew flat|bid|ask] [--format csv|table] [--quotes FILE]",
    "recalculate a series and print its grid",
    std::string(kPriceHelp) + kQuotesHelp + kPriceHelpEnd + kLocaleOptionsHelp,
    RunPrice,
});

}  // namespace
}  // namespace kestrava::cli
