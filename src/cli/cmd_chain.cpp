// chain: the whole option chain of a quote table, with the implied
// volatilities of every option, as the chain window shows it.

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#ifdef KESTRAVA_HAVE_APPSETTINGS
#include <QSettings>

#include "appcore/AppSettings.h"
#endif

#include "analysis/ChainExport.h"
#include "analysis/ChainSolve.h"
#include "analysis/QuoteChain.h"
#include "analysis/VolSurface.h"
#include "cli/arguments.h"
#include "cli/command.h"
#include "common/localeparse.h"
#include "common/notifier.h"
#include "common/numtext.h"

namespace kestrava::cli {
namespace {

// A percentage option as a fraction; throws UsageError outside lowest..highest.
std::optional<double> Percent(const Arguments& arguments, const std::string& name, double lowest,
                              double highest)
{
    const std::optional<std::string> text = arguments.Option(name);
    if (!text)
        return std::nullopt;
    double value = 0;
    if (!TryParseDecimal(*text, '.', value) || value < lowest || value > highest)
        throw UsageError(name + " takes a percentage from " + FormatSig9(lowest) + " to "
                         + FormatSig9(highest) + ", got \"" + *text + "\"");
    return value / 100;
}

// The program's default rates of 30, 60 and 90 days, as the window takes them.
ChainRates DefaultRates([[maybe_unused]] const LocaleInfo& locale)
{
    ChainRates rates;
#ifdef KESTRAVA_HAVE_APPSETTINGS
    QSettings stored{QLatin1String(kOrganisationName), QLatin1String(kApplicationName)};
    AppSettings settings;
    settings.Load(stored, locale);
    rates.defaults = {settings.Rate30, settings.Rate60, settings.Rate90};
#endif
    return rates;
}

std::string RootNames(const QuoteChain& chain)
{
    std::string names;
    for (const ChainRoot& root : chain.roots)
        names += (names.empty() ? "" : ",") + root.name;
    return names;
}

void PrintSummary(const QuoteChain& chain, const ChainRoot& root)
{
    int options = 0;
    for (const ChainExpiry& expiry : root.expiries)
        options += 2 * static_cast<int>(expiry.strikes.size());
    PrintValue("Underlying", chain.symbol);
    PrintValue("Price", FormatSig9(chain.underlyingLast));
    PrintValue("Date", IsoDate(chain.quoteDate));
    PrintValue("Roots", RootNames(chain));
    PrintValue("Root", root.name);
    PrintValue("Expiries", std::to_string(root.expiries.size()));
    PrintValue("Strikes", std::to_string(root.StrikeCount()));
    PrintValue("Options", std::to_string(options));
    PrintValue("ExchangeCopiesLeftOut", std::to_string(root.exchangeCopies));
    PrintValue("Layout", QuoteLayoutName(chain.layout));
    std::string leftOut;
    for (const TDateTime expiry : chain.expiriesLeftOut)
        leftOut += (leftOut.empty() ? "" : ",") + IsoDate(expiry);
    PrintValue("ExpiriesLeftOut", leftOut);
}

bool AnySolved(const ExpiryVols& expiry)
{
    for (const auto& options : expiry.options)
        for (const OptionVols& option : options)
            if (option.mid.Solved())
                return true;
    return false;
}

bool AnySolved(const std::vector<ExpiryVols>& vols)
{
    return std::any_of(vols.begin(), vols.end(), [](const ExpiryVols& expiry) { return AnySolved(expiry); });
}

// Solves the root and prints its table expiry by expiry, in order, as the
// solve finishes them; an expiry's volatilities go once printed, so a large
// table never holds them all. True when any volatility was solved.
bool PrintChainCsv(const QuoteChain& chain, const ChainRoot& root, const ChainInputs& inputs)
{
    std::fputs((std::string(kChainCsvHeader) + "\n").c_str(), stdout);
    std::mutex lock;
    std::map<std::size_t, ExpiryVols> waiting;  // done before an expiry ahead of them
    std::size_t next = 0;
    bool any = false;
    SolveChain(root, chain.underlyingLast, chain.quoteDate, inputs, ChainSolveScope::MidOnly,
               [&](int expiry, ExpiryVols vols) {
                   const std::lock_guard hold(lock);
                   waiting.emplace(static_cast<std::size_t>(expiry), std::move(vols));
                   for (auto done = waiting.find(next); done != waiting.end(); done = waiting.find(++next)) {
                       any = any || AnySolved(done->second);
                       std::fputs(ChainCsvRows(root.expiries[next], &done->second).c_str(), stdout);
                       waiting.erase(done);
                   }
               });
    return any;
}

int RunChain(const std::vector<std::string>& args)
{
    const Arguments options = ParseArguments(args, {"--root", "--model", "--rate", "--yield", "--steps"},
                                             {"--csv", "--surface"}, "QUOTEFILE");
    const bool csv = options.Flag("--csv");
    const bool surface = options.Flag("--surface");
    if (csv && surface)
        throw UsageError("--csv and --surface do not go together");

    ChainInputs inputs;
    if (const std::optional<std::string> model = options.Option("--model"))
        if (!ParseChainModel(*model, inputs.model))
            throw UsageError("--model takes european, binomial or whaley, got \"" + *model + "\"");
    inputs.steps = WholeNumber(options, "--steps", 200, 25, 400);
    const std::optional<double> rate = Percent(options, "--rate", -10, 100);
    inputs.rates = rate ? ChainRates{rate, {}} : DefaultRates(options.locale);
    inputs.dividend.yield = Percent(options, "--yield", -10, 100).value_or(0);

    const QuoteChain chain = ReadQuoteChain(options.file);
    int rootIndex = chain.DefaultRoot();
    if (const std::optional<std::string> name = options.Option("--root"))
        rootIndex = chain.FindRoot(*name);
    if (rootIndex < 0)
        throw UsageError(chain.roots.empty() ? options.file + " holds no option row"
                                             : "no root \"" + options.Option("--root").value_or("")
                                                   + "\" in the table; its roots are " + RootNames(chain));
    const ChainRoot& root = chain.roots[static_cast<std::size_t>(rootIndex)];
    if (!chain.expiriesLeftOut.empty())
        StderrNotifier().Warning(ExpiredLeftOutMessage(static_cast<int>(chain.expiriesLeftOut.size())));

    if (!csv && !surface) {
        PrintSummary(chain, root);
        return kExitOk;
    }
    if (csv)
        return PrintChainCsv(chain, root, inputs) ? kExitOk : kExitFailed;
    const std::vector<ExpiryVols> vols = SolveChain(root, chain.underlyingLast, chain.quoteDate, inputs,
                                                    ChainSolveScope::MidOnly);
    std::fputs(TermCsv(TermStructure(root, vols)).c_str(), stdout);
    return AnySolved(vols) ? kExitOk : kExitFailed;
}

const char* const kChainHelp =
    "Usage: kestrava-calc chain QUOTEFILE [--root ROOT] [--model european|binomial|whaley]\n"
    "                           [--rate PCT] [--yield PCT] [--steps N] [--csv | --surface]\n"
    "\n"
    "Reads the whole option chain of an exchange quote table as the chain window\n"
    "does: one row per option of one root (the root named like the underlying\n"
    "unless --root names another), its composite row where the table has one,\n"
    "else its only exchange row; the exchange copies are left out and counted.\n"
    "A delayed-quotes CSV (the exchange's \"download CSV\" of today) is read too:\n"
    "its default root is its shortest (SPX, not SPXW), and an expiry before its\n"
    "quote date is left out and said once.\n"
    "\n"
    "  --root ROOT     the option root (\"SPY7\", \"SPXW\"); roots are never mixed\n"
    "  --model M       the model of the implied volatilities: european (default),\n"
    "                  binomial (the option page's tree) or whaley\n"
    "  --steps N       the binomial tree's steps, 25 to 400 (default 200)\n"
    "  --rate PCT      the risk-free rate in percent, continuous, for every\n"
    "                  expiry; without it each expiry takes the program's default\n"
    "                  rates of 30, 60 and 90 days by its days, as the window does\n"
    "  --yield PCT     the underlying's dividend yield in percent, continuous\n"
    "                  (default 0)\n"
    "  --csv           solve every option's mid volatility and print the header\n"
    "                  expiry,strike,side,bid,ask,last,volume,open_interest,mid_iv,delta\n"
    "                  and one row per option: expiries, then strikes, the call\n"
    "                  before the put; the volatility as a fraction and delta at\n"
    "                  it, both empty where no volatility was solved\n"
    "  --surface       solve as --csv does and print the term structure: the\n"
    "                  header expiry,days,forward,atm_iv and one row per expiry,\n"
    "                  the at-the-money volatility interpolated in strike at the\n"
    "                  forward price (empty where there is none)\n"
    "\n"
    "Days to expiry are counted from the table's date to the expiry day, over 365.\n"
    "Without --csv or --surface, a summary as key=value lines: the underlying, its\n"
    "price, the table's date, the roots, and the chosen root's expiries, strikes,\n"
    "options and exchange copies left out; then the layout the file was read as\n"
    "(quote table or delayed-quotes CSV) and the expiries left out (yyyy-mm-dd).\n"
    "\n"
    "Exit status: 0 done; 1 no volatility could be solved; 2 bad usage, an\n"
    "unknown root or a quote file that cannot be read.\n";

const CommandRegistration chainCommand({
    "chain",
    "chain QUOTEFILE [--root ROOT] [--model M] [--csv|--surface]",
    "the whole option chain of a quote table with its volatilities",
    kChainHelp,
    RunChain,
});

}  // namespace
}  // namespace kestrava::cli
