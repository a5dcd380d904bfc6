// download: the option quote and daily history downloads without a window,
// for scheduled jobs. Same settings, folders and files as the program.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <QDate>

#include "appcore/StartupFiles.h"
#include "cli/command.h"
#include "cli/localeoptions.h"
#include "cli/programfiles.h"
#include "common/localeparse.h"
#include "common/notifier.h"
#include "downloadcore/Downloads.h"
#include "downloadcore/HTTPer.h"

namespace kestrava::cli {
namespace {

// Messages on standard error; every prompt is answered Yes, so a failed
// symbol is reported and the next one tried.
class JobNotifier : public Notifier {
public:
    void Info(const std::string& text) override { Print(text); }
    void Error(const std::string& text) override { Print(text); }
    bool AskYesNo(const std::string& text) override
    {
        Print(text + " Yes");
        return true;
    }

private:
    static void Print(std::string text)
    {
        std::erase(text, '\r');
        std::fprintf(stderr, "%s\n", text.c_str());
    }
};

// The ticker lines, so that a job's log shows what was being fetched.
class JobDisplay : public DownloadDisplay {
public:
    void ShowTicker(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

std::vector<std::string> SplitSymbols(const std::string& list)
{
    std::vector<std::string> symbols;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        if (comma > start)
            symbols.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    return symbols;
}

struct DownloadArguments {
    LocaleInfo locale;
    bool dateFormatGiven = false;  // else the settings' date format, as in the windows
    std::optional<std::vector<std::string>> options;
    std::optional<std::vector<std::string>> history;
    std::optional<std::string> quoteServer;
    std::optional<std::string> historyServer;
    std::optional<std::string> quoteUrl;
    std::optional<std::string> historyUrl;
    std::optional<int> deadlineSeconds;  // of the whole command
};

int DeadlineSeconds(const std::string& value)
{
    std::int32_t seconds = 0;
    if (!TryParseInt32(value, seconds) || seconds < 1)
        throw UsageError("--deadline takes a whole number of seconds above 0, got \"" + value + "\"");
    return seconds;
}

DownloadArguments ParseDownloadArguments(std::vector<std::string> args)
{
    DownloadArguments parsed;
    parsed.dateFormatGiven = std::any_of(
        args.begin(), args.end(), [](const std::string& arg) { return arg.rfind("--date-format", 0) == 0; });
    parsed.locale = TakeLocaleOptions(args);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (name != "--options" && name != "--history" && name != "--quote-server"
            && name != "--history-server" && name != "--deadline" && name != "--quote-url"
            && name != "--history-url")
            throw UsageError("unknown argument \"" + arg + "\"");
        std::string value;
        if (equals != std::string::npos)
            value = arg.substr(equals + 1);
        else if (i + 1 < args.size())
            value = args[++i];
        else
            throw UsageError(name + " needs a value");
        if (name == "--options")
            parsed.options = SplitSymbols(value);
        else if (name == "--history")
            parsed.history = SplitSymbols(value);
        else if (name == "--quote-server")
            parsed.quoteServer = value;
        else if (name == "--deadline")
            parsed.deadlineSeconds = DeadlineSeconds(value);
        else if (name == "--quote-url")
            parsed.quoteUrl = value;
        else if (name == "--history-url")
            parsed.historyUrl = value;
        else
            parsed.historyServer = value;
    }
    if (!parsed.options && !parsed.history)
        throw UsageError("name what to fetch with --options, --history or both");
    if (parsed.quoteServer && parsed.quoteUrl)
        throw UsageError("--quote-server and --quote-url name two sources of the quotes: give one");
    if (parsed.historyServer && parsed.historyUrl)
        throw UsageError("--history-server and --history-url name two sources of the history: give one");
    return parsed;
}

int RunDownload(const std::vector<std::string>& args)
{
    const DownloadArguments arguments = ParseDownloadArguments(args);
    JobNotifier notifier;
    const std::optional<ProgramFiles> files = OpenProgramFiles(arguments.locale, notifier);
    if (!files)
        return kExitError;
    const AppSettings& settings = files->settings;
    const AppFolders& folders = files->folders;

    QString templateProblem;
    const QByteArray requestTemplate = LoadRequestTemplate(folders.AppDir, &templateProblem);
    if (!templateProblem.isEmpty())
        notifier.Info(templateProblem.toStdString());

    DownloadSetup setup;
    setup.QuoteServer = arguments.quoteServer.value_or(settings.QuoteServer.toStdString());
    setup.HistoryServer = arguments.historyServer.value_or(settings.HistoryServer.toStdString());
    setup.HistoryHomePage = settings.HistoryHomePage.toStdString();
    // A server or a template given here stands for the settings' choice.
    setup.QuoteByTemplate = arguments.quoteUrl.has_value()
                            || (!arguments.quoteServer.has_value() && settings.QuoteByTemplate);
    setup.QuoteTemplate = arguments.quoteUrl.value_or(settings.QuoteUrlTemplate.toStdString());
    if (arguments.quoteUrl)
        setup.QuoteTemplateName = "the option --quote-url";
    setup.HistoryByTemplate = arguments.historyUrl.has_value()
                              || (!arguments.historyServer.has_value() && settings.HistoryByTemplate);
    setup.HistoryTemplate = arguments.historyUrl.value_or(settings.HistoryUrlTemplate.toStdString());
    if (arguments.historyUrl)
        setup.HistoryTemplateName = "the option --history-url";
    setup.SettingsFile = files->settingsFile.toStdString();
    setup.RequestTemplate = requestTemplate.toStdString();
    setup.DataDir = ToPath(folders.DataDir);
    setup.TempDir = ToPath(folders.TempDir);
    setup.PriceDir = ToPath(settings.AsciiDataDir);
    setup.Locale = arguments.dateFormatGiven ? arguments.locale
                                             : ProgramLocale(arguments.locale, settings.DateFormat);
    setup.DeadlineMs = settings.RequestDeadline * 1000;
    const QDate today = QDate::currentDate();
    setup.Today = EncodeDate(today.year(), today.month(), today.day());

    DownloadChoice choice;
    choice.quotes = arguments.options.has_value();
    choice.history = arguments.history.has_value();
    choice.quoteSymbols = arguments.options.value_or(std::vector<std::string>{});
    choice.historySymbols = arguments.history.value_or(std::vector<std::string>{});

    HTTPer http;
    // The whole command's deadline stops it as the window's stop button does.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(arguments.deadlineSeconds.value_or(0));
    bool pastDeadline = false;
    if (arguments.deadlineSeconds)
        http.OnIdle = [&] {
            if (Clock::now() > deadline) {
                pastDeadline = true;
                http.Abort();
            }
        };
    JobDisplay display;
    const DownloadOutcome outcome = RunDownloads(http, setup, choice, notifier, display);
    if (pastDeadline) {
        notifier.Info("The download stopped at its deadline of " + std::to_string(*arguments.deadlineSeconds)
                      + " s; what was fetched before it is stored.");
        notifier.Info(StoppedRunReport(outcome));
        return kExitFailed;
    }
    if (outcome.stopped)
        notifier.Info(StoppedRunReport(outcome));
    return outcome.failed > 0 || outcome.refused > 0 ? kExitFailed : kExitOk;
}

std::string DownloadHelp()
{
    return std::string("Usage: kestrava-calc download [--options SYM,...] [--history SYM,...]\n"
                       "                              [--quote-server URL] [--history-server URL]\n"
                       "                              [--quote-url TEMPLATE] [--history-url TEMPLATE]\n"
                       "                              [--deadline SECONDS] [locale options]\n"
                       "\n"
                       "Runs the program's downloads without a window: the option quote tables of\n"
                       "the --options symbols into the data folder (SYMBOL.txt), then two years of\n"
                       "daily prices of the --history symbols into the price-file folder (the\n"
                       "setting Dirs/AsciiDataDir; SYMBOL.csv with the dates of the setting\n"
                       "Servers/DateFormat, else of the locale). It reads\n"
                       "the program's settings and makes its folders as the program's start does.\n"
                       "The servers are the settings Servers/QuoteServer and Servers/HistoryServer\n"
                       "unless given here; a file POSTSTR5B in the application folder replaces the\n"
                       "built-in quote request template.\n"
                       "\n"
                       "A server's kind may instead be a URL template (Servers/QuoteServerKind or\n"
                       "HistoryServerKind \"template\", the template in Servers/QuoteUrlTemplate or\n"
                       "HistoryUrlTemplate):\n"
                       "  --quote-url TEMPLATE    fetch the quotes from TEMPLATE instead\n"
                       "  --history-url TEMPLATE  fetch the daily history from TEMPLATE instead\n"
                       "{SYMBOL} in a template is the symbol encoded as a query value, {FROM} and\n"
                       "{TO} the first and last day of two years up to today (YYYY-MM-DD), e.g.\n"
                       "  https://example.com/quotes/{SYMBOL}.json\n"
                       "  https://example.com/history?s={SYMBOL}&from={FROM}&to={TO}\n"
                       "A template's reply is told by its content: the delayed-quotes CSV (stored\n"
                       "as it came), its JSON (converted into that CSV) or an old quote table go\n"
                       "into SYMBOL.txt; a daily history with named columns is converted into\n"
                       "SYMBOL.csv in the price-file folder, whichever template brought it. A\n"
                       "template with no scheme, a control character or an unknown placeholder\n"
                       "is refused before anything is sent.\n"
                       "\n"
                       "A reply replaces the older file only when it came whole (status 200, as\n"
                       "long as announced, ending with a line end) and reads whole: a quote table\n"
                       "as the quote reader reads it, or daily prices that convert line by line\n"
                       "into a price file the price reader reads back. Anything else leaves the\n"
                       "older file as it was and is kept in the data folder's Rejected, with a\n"
                       "message saying why. Replies arrive in a folder of their own inside the\n"
                       "private folder kestrava-UID of the temporary directory.\n"
                       "\n"
                       "Every request ends after the setting Servers/RequestDeadline (seconds,\n"
                       "default 120) however slowly its bytes come;\n"
                       "  --deadline SECONDS  also stops the whole command after this long,\n"
                       "                      keeping what was stored before it (exit 1).\n"
                       "\n"
                       "What is fetched and what goes wrong is written to standard error; a symbol\n"
                       "that fails is reported and the next one tried.\n"
                       "\n")
           + kLocaleOptionsHelp
           + "\nExit status: 0 every symbol was stored; 1 a symbol failed or was refused\n"
             "(one that cannot be a file name), or the --deadline passed; 2 bad usage or a\n"
             "folder that cannot be made.\n";
}

const CommandRegistration downloadCommand({
    "download",
    "download [--options SYM,...] [--history SYM,...] [--deadline S]",
    "fetch option quotes and daily history as the program does",
    DownloadHelp(),
    RunDownload,
});

}  // namespace
}  // namespace kestrava::cli
