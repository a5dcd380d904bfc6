// risk: a position's figures, risk graph, profit or loss table and chances
// from its series, valued at the market and under a scenario, without a
// window.

#include <QImage>

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/MarkedPosition.h"
#include "analysis/PnlTable.h"
#include "analysis/PositionExport.h"
#include "analysis/PositionFile.h"
#include "analysis/PositionTotals.h"
#include "analysis/Probability.h"
#include "analysis/RiskGraph.h"
#include "chart/RiskPlot.h"
#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/localeoptions.h"
#include "cli/offscreengui.h"
#include "cli/riskoptions.h"
#include "cli/seriesjson.h"
#include "cli/seriesquotes.h"
#include "cli/seriesrecalc.h"
#include "common/localeparse.h"
#include "common/notifier.h"
#include "common/numtext.h"

namespace kestrava::cli {
namespace {

constexpr int kLargestPicture = 10000;

void PrintCsv(const RiskGraph& graph, bool dated)
{
    std::puts(dated ? "price,pnl_today,pnl_date,pnl_expiry" : "price,pnl_today,pnl_mid,pnl_expiry");
    for (std::size_t i = 0; i < graph.prices.size(); ++i) {
        std::string line = FormatSig9(graph.prices[i]);
        for (const std::vector<double>& curve : graph.pnl)
            line.append(",").append(FormatSig9(curve[i]));
        std::puts(line.c_str());
    }
}

void PrintGreeks(const char* prefix, const PositionTotals& totals)
{
    const std::string p = prefix;
    PrintValue((p + "Delta").c_str(), FormatSig9(totals.delta));
    PrintValue((p + "Gamma").c_str(), FormatSig9(totals.gamma));
    PrintValue((p + "Decay").c_str(), FormatSig9(totals.decay));
    PrintValue((p + "Vega").c_str(), FormatSig9(totals.vega));
    PrintValue((p + "Rho").c_str(), FormatSig9(totals.rho));
}

void PrintFigures(const Position& position, const PositionFigures& figures, const RiskGraph& graph,
                  const RiskOptions& options)
{
    for (const PositionLeg& leg : position.legs) {
        if (leg.IsOption())
            PrintValue("Leg", IsoDate(leg.expiry) + "," + FormatSig9(leg.strike)
                                  + (leg.side == 2 ? ",P," : ",C,") + std::to_string(leg.quantity) + ","
                                  + FormatSig9(leg.price));
        else
            PrintValue("Leg", "underlying," + std::to_string(leg.quantity) + "," + FormatSig9(leg.price));
    }
    PrintValue("Multiplier", FormatSig9(position.multiplier));
    const PositionTotals& now = figures.now;
    PrintValue("Cost", FormatSig9(now.cost));
    if (position.commissions.written || now.commissions != 0)
        PrintValue("Commissions", FormatSig9(now.commissions));
    PrintValue("Value", FormatSig9(now.value));
    PrintValue("PnL", FormatSig9(now.pnl));
    PrintGreeks("", now);
    PrintValue("Today", IsoDate(graph.dates[kRiskToday]));
    PrintValue(options.scenarioGiven ? "Date" : "Midway", IsoDate(graph.dates[kRiskMidway]));
    PrintValue("Expiry", IsoDate(graph.dates[kRiskExpiry]));
    PrintValue("Breakevens", BreakevenText(graph.breakevens));
    if (options.scenarioGiven) {
        PrintValue("ScenarioValue", FormatSig9(figures.scenario.value));
        PrintValue("ScenarioPnL", FormatSig9(figures.scenario.pnl));
        PrintGreeks("Scenario", figures.scenario);
    }
}

void PrintProbabilities(const MarkedPosition& marked, const ProbabilityFigures& figures,
                        DistributionVol choice)
{
    PrintValue("pop_expiry", FormatSig9(figures.popExpiry));
    PrintValue("pop_date", FormatSig9(figures.popDate));
    PrintValue("p_max_profit", FormatSig9(figures.pMaxProfit));
    PrintValue("expected_pnl_expiry", FormatSig9(figures.expectedPnlExpiry));
    for (const ExpectedMove& move : ExpectedMovesOfSeries(marked, choice))
        PrintValue(("expected_move_" + std::to_string(move.expiry + 1)).c_str(), FormatSig9(move.move));
    PrintValue("vol_assumed", FormatSig9(figures.atExpiry.vol));
    PrintValue("expiry_assumed", IsoDate(figures.atExpiry.date));
    PrintValue("date_assumed", IsoDate(figures.atDate.date));
    PrintValue("vol_date_assumed", FormatSig9(figures.atDate.vol));
    PrintValue("max_profit", figures.maxProfitUnbounded ? "unbounded" : FormatSig9(figures.maxProfit));
    for (const AssumedVol& assumed : figures.assumed)
        PrintValue(("vol_assumed_" + IsoDate(assumed.date)).c_str(), FormatSig9(assumed.vol));
    PrintValue("vol_source", figures.smileSource == SmileSource::Table ? "table" : "page");
}

int RunRisk(const std::vector<std::string>& args)
{
    const Arguments arguments = ParseArguments(args, RiskValueOptions(), RiskFlagOptions(), "SERIES");
    const RiskOptions options = ReadRiskOptions(arguments);

    StderrNotifier notifier;
    const PositionFileRead read = ReadPositionFile(options.positionFile);
    if (read.state != PositionFileRead::State::Read)
        throw std::runtime_error(read.message);
    std::vector<TInOutObj> series;
    bool complete = LoadSeriesAny(arguments.file, series, notifier);
    const SeriesQuotes quotes = LoadSeriesQuotes(series, arguments.Option(kQuotesOption), arguments.locale,
                                                 notifier);
    // The table behind the quotes gives the smile, as the page keeps it.
    const std::optional<TableMarket> market = SeriesMarket(series, quotes, arguments.locale, notifier);
    complete = RecalculateSeries(series, options.source, notifier) && complete;
    std::vector<const TInOutObj*> expiries;
    expiries.reserve(series.size());
    for (const TInOutObj& p : series)
        expiries.push_back(&p);
    const std::string notFound = LegsNotFoundMessage(expiries, read.position);
    if (!notFound.empty()) {
        notifier.Info(notFound);
        complete = false;
    }

    const MarkedPosition marked(expiries, read.position, options.mark, market ? &*market : nullptr);
    if (const std::string note = MarkNote(marked); !note.empty())
        notifier.Info(note);
    const Scenario scenario = ScenarioFor(options, marked);
    double underlying = marked.Underlying();
    if (marked.Empty() && !expiries.empty())
        underlying = expiries.front()->Underlying;
    const RiskGraph graph = ComputeRiskGraph(marked, scenario,
                                             GraphPrices(marked, scenario, options.range, underlying));

    if (options.output == RiskOutput::Csv) {
        PrintCsv(graph, scenario.date != 0);
        std::fprintf(stderr, "Breakevens: %s\n", BreakevenText(graph.breakevens).c_str());
    } else if (options.output == RiskOutput::Table) {
        const PnlTable table = ComputePnlTable(marked, scenario, scenario.date);
        std::fputs(PnlTableCsv(table).c_str(), stdout);
        for (std::size_t c = 0; c < table.dates.size(); ++c)
            if (const std::string note = SettledNote(marked, table, c); !note.empty())
                std::fprintf(stderr, "Column %s: %s\n", IsoDate(table.dates[c]).c_str(), note.c_str());
    } else if (options.output == RiskOutput::VolTable) {
        std::fputs(PnlVolTableCsv(ComputePnlVolTable(marked, scenario, graph.dates[kRiskMidway])).c_str(),
                   stdout);
    } else if (options.output == RiskOutput::Probability) {
        PrintProbabilities(marked, ComputeProbabilities(marked, scenario), scenario.distribution);
    } else if (options.output == RiskOutput::Export) {
        const PnlTable table = ComputePnlTable(marked, scenario, graph.dates[kRiskMidway]);
        std::fputs(PositionCsv(read.position, marked, ComputeFigures(marked, scenario), table).c_str(),
                   stdout);
    } else {
        if (options.picture) {
            const auto gui = StartGui();
            const QImage picture = RiskPicture(graph, options.width, options.height, 1, arguments.locale);
            if (options.picture->empty() || picture.isNull()
                || !picture.save(QString::fromStdString(*options.picture), "PNG"))
                throw std::runtime_error("cannot write " + *options.picture);
            PrintValue("Picture", *options.picture);
        }
        PrintFigures(read.position, ComputeFigures(marked, scenario), graph, options);
    }
    return complete ? kExitOk : kExitFailed;
}

const CommandRegistration riskCommand({
    "risk",
    "risk SERIES --position POS.json [--csv | --table | --probability | --export | --vol-table | --out PNG]",
    "a position's figures, risk graph, profit or loss table and chances",
    std::string(kRiskHelp) + kQuotesHelp + kRiskHelpEnd + "\n" + kLocaleOptionsHelp,
    RunRisk,
});

}  // namespace
}  // namespace kestrava::cli
