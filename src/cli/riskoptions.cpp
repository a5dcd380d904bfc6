#include "cli/riskoptions.h"

#include <cmath>

#include "cli/command.h"
#include "cli/seriesquotes.h"
#include "cli/seriesrecalc.h"
#include "common/localeparse.h"
#include "common/numtext.h"

namespace kestrava::cli {
namespace {

double PriceOption(const Arguments& arguments, const char* name)
{
    const std::optional<std::string> text = arguments.Option(name);
    if (!text)
        return 0;
    double value = 0;
    if (!TryParseDecimal(*text, '.', value) || !(value > 0))
        throw UsageError(std::string(name) + " takes a price above 0 written with a decimal point, got \""
                         + *text + "\"");
    return value;
}

double ShiftOption(const Arguments& arguments, const char* name, double lowest, double highest)
{
    const std::optional<std::string> text = arguments.Option(name);
    if (!text)
        return 0;
    double value = 0;
    if (!TryParseDecimal(*text, '.', value) || value < lowest || value > highest)
        throw UsageError(std::string(name) + " takes a number from " + FormatSig9(lowest) + " to "
                         + FormatSig9(highest) + " written with a decimal point, got \"" + *text + "\"");
    return value;
}

std::optional<TDateTime> DateOption(const Arguments& arguments)
{
    const std::optional<std::string> text = arguments.Option("--date");
    if (!text)
        return std::nullopt;
    return IsoDateValue("--date", *text);
}

}  // namespace

const std::vector<std::string>& RiskValueOptions()
{
    static const std::vector<std::string> options = {
        "--position", "--from", "--to",        "--points",     "--out",        "--width", "--height",
        "--skew",     "--date", "--vol-shift", "--vol-points", "--rate-shift", "--mark",  "--probability-vol",
        kQuotesOption};
    return options;
}

const std::vector<std::string>& RiskFlagOptions()
{
    static const std::vector<std::string> flags = {"--csv", "--table", "--probability", "--export",
                                                   "--vol-table"};
    return flags;
}

RiskOptions ReadRiskOptions(const Arguments& arguments)
{
    RiskOptions options;
    const std::optional<std::string> position = arguments.Option("--position");
    if (!position || position->empty())
        throw UsageError("needs --position POS.json");
    options.positionFile = *position;
    options.picture = arguments.Option("--out");
    int outputs = 0;
    for (const auto& [flag, output] :
         {std::pair{"--csv", RiskOutput::Csv}, std::pair{"--table", RiskOutput::Table},
          std::pair{"--probability", RiskOutput::Probability}, std::pair{"--export", RiskOutput::Export},
          std::pair{"--vol-table", RiskOutput::VolTable}})
        if (arguments.Flag(flag)) {
            options.output = output;
            ++outputs;
        }
    if (outputs + (options.picture ? 1 : 0) > 1)
        throw UsageError("takes one of --csv, --table, --probability, --export, --vol-table and --out");
    options.range.from = PriceOption(arguments, "--from");
    options.range.to = PriceOption(arguments, "--to");
    options.range.points = WholeNumber(arguments, "--points", kDefaultRiskPoints, 2, kMaxRiskPoints);
    options.width = WholeNumber(arguments, "--width", 800, 1, 10000);
    options.height = WholeNumber(arguments, "--height", 400, 1, 10000);

    if (const std::optional<std::string> skew = arguments.Option("--skew")) {
        options.scenarioGiven = true;
        if (*skew == "sticky-strike") {
            options.skew = SkewRule::StickyStrike;
        } else if (*skew == "sticky-moneyness") {
            options.skew = SkewRule::StickyMoneyness;
        } else {
            // flat, bid and ask choose the recalculation's volatilities too.
            try {
                options.source = ParseSkew(*skew);
            } catch (const UsageError&) {
                throw UsageError("--skew takes sticky-strike, sticky-moneyness, flat, bid or ask, got \""
                                 + *skew + "\"");
            }
            options.skew = options.source == VolSource::Flat ? SkewRule::Flat : SkewRule::StickyStrike;
        }
    }
    if (const std::optional<std::string> mark = arguments.Option("--mark")) {
        if (*mark != "mid" && *mark != "model")
            throw UsageError("--mark takes mid or model, got \"" + *mark + "\"");
        options.mark = *mark == "mid" ? MarkSource::Mid : MarkSource::Model;
    }
    if (const std::optional<std::string> vol = arguments.Option("--probability-vol")) {
        if (*vol != "atm" && *vol != "flat")
            throw UsageError("--probability-vol takes atm or flat, got \"" + *vol + "\"");
        options.distribution = *vol == "atm" ? DistributionVol::AtTheMoney : DistributionVol::Flat;
    }
    options.date = DateOption(arguments);
    options.volShift = ShiftOption(arguments, "--vol-shift", kLowestVolShift, kHighestVolShift);
    options.volPoints = ShiftOption(arguments, "--vol-points", -kLargestVolPoints, kLargestVolPoints);
    options.rateShift = ShiftOption(arguments, "--rate-shift", -kLargestRateShift, kLargestRateShift);
    for (const char* name : {"--date", "--vol-shift", "--vol-points", "--rate-shift"})
        options.scenarioGiven = options.scenarioGiven || arguments.Option(name).has_value();
    return options;
}

Scenario ScenarioFor(const RiskOptions& options, const MarkedPosition& marked)
{
    Scenario scenario;
    scenario.volShift = options.volShift;
    scenario.volPoints = options.volPoints;
    scenario.rateShift = options.rateShift;
    scenario.skew = options.skew;
    scenario.distribution = options.distribution;
    if (options.date) {
        const TDateTime today = std::trunc(marked.Today());
        const TDateTime last = std::max(marked.LastExpiry(), today);
        if (*options.date < today || *options.date > last)
            throw UsageError("--date takes a date from " + IsoDate(today) + " to " + IsoDate(last) + ", got "
                             + IsoDate(*options.date));
        scenario.date = *options.date;
    }
    return scenario;
}

const char* const kRiskHelp =
    "Usage: kestrava-calc risk SERIES --position POS.json [--from P] [--to P]\n"
    "                          [--points N] [--csv | --table | --probability |\n"
    "                          --export | --vol-table | --out FILE.png]\n"
    "                          [--width W] [--height H]\n"
    "                          [--date YYYY-MM-DD] [--vol-shift PCT] [--vol-points PTS]\n"
    "                          [--rate-shift PCT] [--skew RULE] [--mark mid|model]\n"
    "                          [--probability-vol atm|flat] [--quotes FILE]\n"
    "                          [locale options]\n"
    "\n"
    "Recalculates SERIES (a .ops file or its JSON form) with the quotes the\n"
    "option page loads, as \"price\" does, and values the position of POS.json\n"
    "(the position file the Position tab saves beside a series) on it: the\n"
    "figures of the Position tab and its risk graph, the profit or loss against\n"
    "the underlying's price at the valuation date, at a date (by default the day\n"
    "halfway to the first expiry among the legs), and at that expiry. A leg with\n"
    "a bid and an ask is worth its mid price now and is priced at the volatility\n"
    "its expiry's model gives that mid (the tree for a binomial series, Whaley's\n"
    "for Whaley, the European formula otherwise); a leg without both at the\n"
    "model's value and volatility of the recalculation.\n"
    "Each leg is valued by its expiry's model at each date and price (legs of\n"
    "later expiries keep their time value); money is per option times quantity\n"
    "and multiplier (a leg of the underlying: times its quantity), less the\n"
    "entry cost and the commissions.\n"
    "\n"
    "  --from P, --to P  the prices of the graph, written with a decimal point\n"
    "                  (default: as the Position tab opens it, from below to\n"
    "                  above the legs' strikes, the breakevens and today's\n"
    "                  price; today's price less and plus 25% without a leg)\n"
    "  --points N      prices from P to P (default 101, 2 to 10001), and every\n"
    "                  leg's strike between them\n"
    "  --csv           print the header price,pnl_today,pnl_mid,pnl_expiry and one\n"
    "                  row per price (nine significant digits); with --date the\n"
    "                  date's column (pnl_date) takes the midway one's place; the\n"
    "                  breakevens go to standard error\n"
    "  --table         print the profit or loss table: the header price, then one\n"
    "                  yyyy-mm-dd per column (today, the --date if given, each\n"
    "                  expiry of the legs); one row per price (each leg's strike,\n"
    "                  today's price, and one and two expected moves either side);\n"
    "                  a column after the expiry of some legs takes them at their\n"
    "                  intrinsic value at the row's price, and standard error says\n"
    "                  which legs those are\n"
    "  --vol-table     print the profit or loss table by volatility: the header\n"
    "                  price,-10,-5,0,5,10 and the same rows, each column every\n"
    "                  leg's volatility moved by that many points on top of the\n"
    "                  scenario's, at the --date (default the midway date)\n"
    "  --probability   print key=value lines: pop_expiry and pop_date (the chance\n"
    "                  of a profit at the first expiry and at the date),\n"
    "                  p_max_profit, expected_pnl_expiry, expected_move_N for\n"
    "                  expiry N of the series, vol_assumed (the annual volatility,\n"
    "                  a fraction), expiry_assumed, date_assumed, vol_date_assumed\n"
    "                  and max_profit, under a lognormal price; then one\n"
    "                  vol_assumed_YYYY-MM-DD per expiry of the legs (the first:\n"
    "                  the price's volatility to it; a later one: its legs'\n"
    "                  volatility on the first, at the price's mean there, under\n"
    "                  the skew rule and shifts) and vol_source: table when the\n"
    "                  quote table behind the quotes gives the smile (every\n"
    "                  strike of the expiry, each forward from put-call parity),\n"
    "                  page when only the series' own strikes do\n"
    "  --export        print the position as the Position tab exports it: legs,\n"
    "                  figures now and under the scenario, and the table; each\n"
    "                  leg with its mark, iv (the volatility that reprices the\n"
    "                  mark), vol_used (the scenario's volatility for it at today's\n"
    "                  price), theo, delta, gamma, decay, vega and rho at vol_used,\n"
    "                  per option or unit: each times quantity and multiplier,\n"
    "                  summed, is the figure's value now\n"
    "  --out FILE.png  draw the risk graph as the Position tab does (default\n"
    "                  800 x 400 pixels, --width and --height up to 10000)\n"
    "  --date D        the scenario's date, from today to the last expiry\n"
    "  --vol-shift PCT every leg's volatility changed by PCT percent of itself\n"
    "                  (-50 to 100)\n"
    "  --vol-points PTS  and then by PTS volatility points (-100 to 100)\n"
    "  --rate-shift PCT  every rate changed by PCT points (-20 to 20, not below 0)\n"
    "  --skew RULE     how the legs' volatilities follow the price: sticky-strike\n"
    "                  (each keeps its own, the default), sticky-moneyness (along\n"
    "                  its expiry's smile), flat (the page's volatility); bid and\n"
    "                  ask recalculate at the bid or ask volatilities, as for price\n"
    "  --mark mid|model  the legs' values now: mid prices (the default) or the\n"
    "                  model's values of the recalculation\n"
    "  --probability-vol atm|flat  the volatility of the price: the at-the-money\n"
    "                  implied volatility of the expiry (the default) or its flat one\n";

const char* const kRiskHelpEnd =
    "\n"
    "Without an output option, prints key=value lines: a Leg line per leg (expiry,\n"
    "strike, side, quantity, entry price; or underlying, quantity, price),\n"
    "Multiplier, Cost (with the commissions), Commissions when the position has\n"
    "them, Value, PnL, Delta, Gamma, Decay (per day), Vega (per volatility\n"
    "point), Rho (per rate point), the dates Today, Midway (Date when a scenario\n"
    "is given) and Expiry (yyyy-mm-dd) and the Breakevens of the expiry curve;\n"
    "with a scenario option also ScenarioValue, ScenarioPnL and the Scenario\n"
    "greeks at today's price on its date. With --out, Picture first. Legs marked\n"
    "at the model although asked at mid are named on standard error. Runs\n"
    "without a display.\n"
    "\n"
    "Exit status: 0 every leg was valued; 1 a leg is not an option of the series\n"
    "(named on standard error and left out) or the series file is damaged; 2 bad\n"
    "usage, a missing or unreadable position file, an unreadable or unpriceable\n"
    "series, or a picture that cannot be written.\n";

}  // namespace kestrava::cli
