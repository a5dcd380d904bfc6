// risk: a position's figures and risk graph from its series, without a
// window.

#include <QImage>

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/PositionFile.h"
#include "analysis/PositionTotals.h"
#include "analysis/RiskGraph.h"
#include "chart/RiskPlot.h"
#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/localeoptions.h"
#include "cli/offscreengui.h"
#include "cli/seriesjson.h"
#include "cli/seriesquotes.h"
#include "cli/seriesrecalc.h"
#include "common/localeparse.h"
#include "common/notifier.h"
#include "common/numtext.h"

namespace kestrava::cli {
namespace {

constexpr int kLargestPicture = 10000;

double PriceOption(const Arguments& options, const char* name)
{
    const std::optional<std::string> text = options.Option(name);
    if (!text)
        return 0;
    double value = 0;
    if (!TryParseDecimal(*text, '.', value) || !(value > 0))
        throw UsageError(std::string(name) + " takes a price above 0 written with a decimal point, got \""
                         + *text + "\"");
    return value;
}

void PrintCsv(const RiskGraph& graph)
{
    std::puts("price,pnl_today,pnl_mid,pnl_expiry");
    for (std::size_t i = 0; i < graph.prices.size(); ++i) {
        std::string line = FormatSig9(graph.prices[i]);
        for (const std::vector<double>& curve : graph.pnl)
            line.append(",").append(FormatSig9(curve[i]));
        std::puts(line.c_str());
    }
}

void PrintFigures(const Position& position, const PositionTotals& totals, const RiskGraph& graph)
{
    for (const PositionLeg& leg : position.legs)
        PrintValue("Leg", IsoDate(leg.expiry) + "," + FormatSig9(leg.strike) + (leg.side == 2 ? ",P," : ",C,")
                              + std::to_string(leg.quantity) + "," + FormatSig9(leg.price));
    PrintValue("Multiplier", FormatSig9(position.multiplier));
    PrintValue("Cost", FormatSig9(totals.cost));
    PrintValue("Value", FormatSig9(totals.value));
    PrintValue("PnL", FormatSig9(totals.pnl));
    PrintValue("Delta", FormatSig9(totals.delta));
    PrintValue("Gamma", FormatSig9(totals.gamma));
    PrintValue("Decay", FormatSig9(totals.decay));
    PrintValue("Vega", FormatSig9(totals.vega));
    PrintValue("Today", IsoDate(graph.dates[kRiskToday]));
    PrintValue("Midway", IsoDate(graph.dates[kRiskMidway]));
    PrintValue("Expiry", IsoDate(graph.dates[kRiskExpiry]));
    PrintValue("Breakevens", BreakevenText(graph.breakevens));
}

int RunRisk(const std::vector<std::string>& args)
{
    const Arguments options = ParseArguments(
        args,
        {"--position", "--from", "--to", "--points", "--out", "--width", "--height", "--skew", kQuotesOption},
        {"--csv"}, "SERIES");
    const std::optional<std::string> positionFile = options.Option("--position");
    if (!positionFile || positionFile->empty())
        throw UsageError("needs --position POS.json");
    const std::optional<std::string> out = options.Option("--out");
    const bool csv = options.Flag("--csv");
    if (csv && out)
        throw UsageError("takes either --csv or --out, not both");
    RiskRange range;
    range.from = PriceOption(options, "--from");
    range.to = PriceOption(options, "--to");
    range.points = WholeNumber(options, "--points", kDefaultRiskPoints, 2, kMaxRiskPoints);
    const int width = WholeNumber(options, "--width", 800, 1, kLargestPicture);
    const int height = WholeNumber(options, "--height", 400, 1, kLargestPicture);
    const std::optional<std::string> skew = options.Option("--skew");
    const VolSource source = skew ? ParseSkew(*skew) : VolSource::Flat;

    StderrNotifier notifier;
    const PositionFileRead read = ReadPositionFile(*positionFile);
    if (read.state != PositionFileRead::State::Read)
        throw std::runtime_error(read.message);
    std::vector<TInOutObj> series;
    bool complete = LoadSeriesAny(options.file, series, notifier);
    LoadSeriesQuotes(series, options.Option(kQuotesOption), options.locale, notifier);
    complete = RecalculateSeries(series, source, notifier) && complete;
    std::vector<const TInOutObj*> expiries;
    for (const TInOutObj& p : series)
        expiries.push_back(&p);
    const std::string notFound = LegsNotFoundMessage(expiries, read.position);
    if (!notFound.empty()) {
        notifier.Info(notFound);
        complete = false;
    }

    const RiskGraph graph = ComputeRiskGraph(expiries, read.position, range);
    if (csv) {
        PrintCsv(graph);
        std::fprintf(stderr, "Breakevens: %s\n", BreakevenText(graph.breakevens).c_str());
        return complete ? kExitOk : kExitFailed;
    }
    if (out) {
        const auto gui = StartGui();
        const QImage picture = RiskPicture(graph, width, height, 1, options.locale);
        if (out->empty() || picture.isNull() || !picture.save(QString::fromStdString(*out), "PNG"))
            throw std::runtime_error("cannot write " + *out);
        PrintValue("Picture", *out);
    }
    PrintFigures(read.position, ComputeTotals(expiries, read.position), graph);
    return complete ? kExitOk : kExitFailed;
}

const char* const kRiskHelp =
    "Usage: kestrava-calc risk SERIES --position POS.json [--from P] [--to P]\n"
    "                          [--points N] [--csv | --out FILE.png] [--width W]\n"
    "                          [--height H] [--skew flat|bid|ask] [--quotes FILE]\n"
    "                          [locale options]\n"
    "\n"
    "Recalculates SERIES (a .ops file or its JSON form) with the quotes the\n"
    "option page loads, as \"price\" does, and\n"
    "values the position of POS.json (the position file the Position tab saves\n"
    "beside a series) on it: the figures of the Position tab and its risk graph,\n"
    "the profit or loss against the underlying's price at the valuation date,\n"
    "at the day halfway to the first expiry among the legs, and at that expiry.\n"
    "Each leg is valued by its expiry's model at that date and price, at the\n"
    "volatility its option was priced at (legs of later expiries keep their time\n"
    "value); money is per option times quantity and multiplier, less the entry\n"
    "cost.\n"
    "\n"
    "  --from P, --to P  the prices of the graph (default today's price less and\n"
    "                  plus 25%), written with a decimal point\n"
    "  --points N      prices from P to P (default 101, 2 to 10001)\n"
    "  --csv           print the header price,pnl_today,pnl_mid,pnl_expiry and one\n"
    "                  row per price (nine significant digits); the breakevens\n"
    "                  go to standard error\n"
    "  --out FILE.png  draw the risk graph as the Position tab does (default\n"
    "                  800 x 400 pixels, --width and --height up to 10000)\n"
    "  --skew          the volatility source of the recalculation, as for price\n";

const char* const kRiskHelpEnd =
    "\n"
    "Without --csv, prints key=value lines: a Leg line per leg (expiry, strike,\n"
    "side, quantity, entry price), Multiplier, Cost, Value, PnL, Delta, Gamma,\n"
    "Decay (per day), Vega (per volatility point), the dates Today, Midway and\n"
    "Expiry (yyyy-mm-dd) and the Breakevens of the expiry curve; with --out,\n"
    "Picture first. Runs without a display.\n"
    "\n"
    "Exit status: 0 every leg was valued; 1 a leg is not an option of the series\n"
    "(named on standard error and left out) or the series file is damaged; 2 bad\n"
    "usage, a missing or unreadable position file, an unreadable or unpriceable\n"
    "series, or a picture that cannot be written.\n";

const CommandRegistration riskCommand({
    "risk",
    "risk SERIES --position POS.json [--csv | --out PNG]",
    "a position's figures and risk graph",
    std::string(kRiskHelp) + kQuotesHelp + kRiskHelpEnd + "\n" + kLocaleOptionsHelp,
    RunRisk,
});

}  // namespace
}  // namespace kestrava::cli
