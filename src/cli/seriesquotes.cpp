#include "cli/seriesquotes.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "marketdata/OptPriceReader.h"
#include "pagecore/QuoteLoad.h"

#include "analysis/AnalysisError.h"
#include "analysis/Smile.h"

#ifdef KESTRAVA_HAVE_APPSETTINGS
#include <QSettings>

#include "appcore/AppSettings.h"
#endif

#ifdef KESTRAVA_HAVE_APPCORE
#include <QString>

#include "appcore/AppFolders.h"
#include "common/qt/seriestext.h"
#endif

namespace kestrava::cli {
namespace {

const char* const kNoOptionData = "No CBOE option data available.";

// Contract roots are plain ASCII.
bool SameTextIgnoringCase(const std::string& a, const std::string& b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size()
           && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

bool HasQuotes(const TInOutObj& p)
{
    for (int s = 1; s <= p.NumStrikes && s <= kMaxStrikes; ++s)
        for (int k = 1; k <= 2; ++k)
            if (p.Bid(s, k) > 0 || p.Ask(s, k) > 0)
                return true;
    return false;
}

}  // namespace

const char* const kQuotesHelp =
    "  --quotes FILE   the exchange quote file to take the bids and asks from;\n"
    "                  without it, the file the option page reads: SYMBOL.txt in\n"
    "                  the program's data folder, when it is there; a quote table\n"
    "                  or the exchange's delayed-quotes CSV. The series' saved\n"
    "                  contract (when none is saved, the file's first one; a\n"
    "                  delayed-quotes CSV's shortest, SPX before SPXW) is\n"
    "                  loaded into every expiry with the underlying's last price\n"
    "                  and the quote date, as the page does when it opens the\n"
    "                  series; an unusable file is reported and moved into the\n"
    "                  folder Rejected beside it, as in the windows\n";

std::string SeriesQuotes::Describe() const
{
    switch (state) {
    case State::NoFile:
        return "the series' symbol names no quote file";
    case State::Missing:
        return "there is no quote file " + file;
    case State::Unusable:
        return "the quote file " + file + " holds no quote table";
    case State::NoContract:
        return "the quote file " + file + " does not offer the contract " + contract + " the series saved";
    case State::Failed:
        return "the quotes of " + contract + " in " + file + " could not be read";
    case State::Loaded:
        break;
    }
    return "the quotes of " + contract + " in " + file;
}

std::string PageQuoteFile(const std::vector<TInOutObj>& series)
{
#ifdef KESTRAVA_HAVE_APPCORE
    if (series.empty())
        return {};
    return SymbolQuoteFile(series.front().OptSymbol, ProgramDataFolder(FolderRoots::FromSystem().documents))
        .toStdString();
#else
    // Built without the windows' folders: only a file named with --quotes.
    (void)series;
    return {};
#endif
}

SeriesQuotes LoadSeriesQuotes(std::vector<TInOutObj>& series, const std::optional<std::string>& named,
                              const LocaleInfo& locale, Notifier& notifier)
{
    SeriesQuotes quotes;
    quotes.file = named ? *named : PageQuoteFile(series);
    if (series.empty() || quotes.file.empty())
        return quotes;
    std::error_code error;
    if (!std::filesystem::is_regular_file(quotes.file, error)) {
        if (named)
            throw std::runtime_error("There is no quote file " + quotes.file + ".");
        quotes.state = SeriesQuotes::State::Missing;
        return quotes;
    }

    // The contract list of the page: the file's roots, the saved one chosen.
    TCboePriceReader roots(notifier, locale);
    roots.FileName = quotes.file;
    roots.ListRoots();
    if (roots.Roots.empty()) {
        quotes.state = SeriesQuotes::State::Unusable;
        return quotes;
    }
    const std::string saved = series.front().OptContract;
    quotes.contract = saved.empty() ? roots.DefaultRoot : saved;
    if (!saved.empty()) {
        bool offered = false;
        for (const std::string& root : roots.Roots)
            if (SameTextIgnoringCase(root, saved)) {
                quotes.contract = root;
                offered = true;
            }
        if (!offered) {
            // The page's contract list then has nothing chosen and loads nothing.
            quotes.state = SeriesQuotes::State::NoContract;
            notifier.Info("The quote file " + quotes.file + " does not offer the contract " + saved
                          + " the series saved; no quotes are loaded.");
            return quotes;
        }
    }

    TDateTime quoteDate = 0;
    int setAside = 0;
    int expiredLeftOut = 0;
    for (TInOutObj& p : series) {
        UnderlyingQuote underlying;
        bool loaded = false;
        try {
            loaded = LoadExpiryQuotes(p, quotes.file, quotes.contract, notifier, locale, underlying,
                                      &setAside);
        } catch (const std::exception& error) {
            notifier.Info(error.what());
        }
        if (!loaded) {
            notifier.Info(kNoOptionData);
            quotes.state = SeriesQuotes::State::Failed;
            return quotes;
        }
        // A file without the underlying's line leaves the price as it is.
        if (underlying.last > 0)
            p.Underlying = underlying.last;
        if (underlying.quoteDate > 0)
            quoteDate = underlying.quoteDate;
        expiredLeftOut += underlying.expiredLeftOut;
    }
    if (setAside > 0)
        notifier.Warning(SetAsideMessage(setAside, quotes.file));
    if (expiredLeftOut > 0)
        notifier.Warning(ExpiredLeftOutMessage(expiredLeftOut));
    // The quote table is what the file always was; the other layout is said.
    if (roots.Layout != QuoteLayout::QuoteTable)
        notifier.Warning("Quotes of " + quotes.contract + " from " + quotes.file + " ("
                         + QuoteLayoutText(roots.Layout) + ").");
    // Every expiry is valued on the quote date.
    if (quoteDate > 0)
        for (TInOutObj& p : series)
            p.TodayDate = quoteDate;
    quotes.state = SeriesQuotes::State::Loaded;
    return quotes;
}

std::string NoVolatilityReason(const TInOutObj& p, std::size_t index, const SeriesQuotes& quotes)
{
    // A point of the smile is a solved volatility.
    if (!SmilePoints(p).empty())
        return {};
    const std::string expiry = "expiry " + std::to_string(index + 1) + " (" + IsoDate(p.ExpiryDate) + ")";
    if (p.DaysToExpiry() <= 0)
        return "No volatility is solved for " + expiry + ": it has no days left on the valuation date "
               + IsoDate(p.TodayDate) + ".";
    if (!HasQuotes(p)) {
        std::string reason = "No volatility is solved for " + expiry + ": it has no bid or ask";
        if (quotes.state == SeriesQuotes::State::Loaded)
            return reason + " in " + quotes.Describe() + ".";
        reason += ", and " + quotes.Describe();
        if (quotes.state == SeriesQuotes::State::NoFile || quotes.state == SeriesQuotes::State::Missing)
            reason += " (name one with --quotes FILE)";
        return reason + ".";
    }
    return "No volatility is solved for " + expiry
           + ": none of its bids and asks can be matched by the model (each is below its option's value at "
             "no volatility, or above what any volatility gives).";
}

ChainRates ProgramDefaultRates([[maybe_unused]] const LocaleInfo& locale)
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

std::optional<TableMarket> SeriesMarket(const std::vector<TInOutObj>& series, const SeriesQuotes& quotes,
                                        const LocaleInfo& locale, Notifier& notifier)
{
    if (quotes.state != SeriesQuotes::State::Loaded)
        return std::nullopt;
    ChainInputs inputs;
    inputs.rates = ProgramDefaultRates(locale);
    inputs.forward = ForwardSource::Parity;
    std::vector<TDateTime> expiries;
    expiries.reserve(series.size());
    for (const TInOutObj& p : series)
        expiries.push_back(p.ExpiryDate);
    try {
        return ReadTableMarket(quotes.file, quotes.contract, expiries, inputs);
    } catch (const AnalysisError& error) {
        notifier.Info(error.what());
    }
    return std::nullopt;
}

}  // namespace kestrava::cli
