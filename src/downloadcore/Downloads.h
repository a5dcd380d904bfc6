#pragma once
// What a download run needs and reports, for the window and for
// kestrava-calc alike: the servers, the folders, the request template, what
// the run shows while it works, and what came of it.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/dates.h"
#include "common/localeinfo.h"

namespace kestrava {

class HTTPer;
class Notifier;

struct DownloadSetup {
    // Base URLs ("http://host[:port][/path]"); configuration of the
    // deployment, as the settings group "Servers" holds it.
    std::string QuoteServer;
    std::string HistoryServer;
    std::string HistoryHomePage;  // sent as Referer; the history server's base URL when empty
    std::string SettingsFile;     // where the servers are kept; named when one is missing
    // URL templates (UrlTemplate.h) that stand for the servers above when
    // their kind says so (Servers/QuoteServerKind, HistoryServerKind), and
    // what messages call them.
    bool QuoteByTemplate = false;
    std::string QuoteTemplate;
    std::string QuoteTemplateName = "the setting Servers/QuoteUrlTemplate";
    bool HistoryByTemplate = false;
    std::string HistoryTemplate;
    std::string HistoryTemplateName = "the setting Servers/HistoryUrlTemplate";

    std::string RequestTemplate;    // the form body of the quote request
    std::filesystem::path DataDir;  // quote files; its folder "Rejected" keeps refused replies
    // The user's private work folder (PrivateWorkFolder): each download
    // makes a folder of its own there for its replies.
    std::filesystem::path TempDir;
    std::filesystem::path PriceDir;  // converted history (the setting AsciiDataDir)
    LocaleInfo Locale;               // dates of the converted history
    TDateTime Today = 0;             // end of the history's two years
    int TimeoutMs = 20000;           // connect and read time-outs of every request
    int DeadlineMs = 120000;         // the longest any one request may take
};

// What a run shows while it works. The window shows the progress bar, the
// label and the hourglass; kestrava-calc shows nothing.
class DownloadDisplay {
public:
    virtual ~DownloadDisplay() = default;
    virtual void Begin() {}
    virtual void ShowTicker(const std::string& /*text*/) {}
    // Lets the window's pending events run between symbols.
    virtual void LetEventsRun() {}
    virtual void End() {}
};

struct DownloadOutcome {
    int stored = 0;        // quote files and price files written
    int failed = 0;        // symbols that brought nothing usable
    int refused = 0;       // symbols that cannot be file names
    bool stopped = false;  // the user answered No, or stopped the run
    // What a stopped run did: "SPX quotes", "^GSPC history" stored, and
    // those of the selection it did not come to (or broke off).
    std::vector<std::string> fetched;
    std::vector<std::string> skipped;
    DownloadOutcome& operator+=(const DownloadOutcome& other);
};

// How a stopped run's report names a symbol's quotes and its history.
inline const std::string kQuotesItem = " quotes";
inline const std::string kHistoryItem = " history";

// What the user is told after a stopped run: "The download was stopped.
// Fetched: GLD quotes. Not fetched: OEX quotes, SPY history."
std::string StoppedRunReport(const DownloadOutcome& outcome);

// A server setting taken apart; ok is false (with the reason in problem)
// for anything but an http or https address. The problem of a missing
// server names the Servers dialog and settingsFile, where it is kept.
struct ServerAddress {
    bool ok = false;
    std::string base;       // without a trailing "/"
    std::string authority;  // host[:port], the Host header
    std::string problem;
};
ServerAddress ParseServerAddress(const std::string& setting, const std::string& settingName,
                                 const std::string& settingsFile = {});

// "The setting Servers/NAME is not used: PROBLEM. Nothing was sent.", for a
// value that no request may carry (RequestValueProblem).
std::string SettingNotUsed(const std::string& settingName, const std::string& problem);

std::string ToLowerAscii(std::string text);
std::string ToUpperAscii(std::string text);

// A symbol as a value of a URL's query: letters, digits, "-._~" and the
// "^" and ":" of index and exchange symbols stay, every other byte is
// written %XX, so "a#b" and "a&s=b" stay one value.
std::string QueryValue(const std::string& symbol);
// A symbol as a field value of a form body (application/x-www-form-
// urlencoded): letters, digits and "*-._" stay, a blank is "+", every other
// byte %XX.
std::string FormValue(const std::string& symbol);
// Text with letters, digits and the bytes of `plain` as they are, a blank
// as "+" when asked, every other byte %XX (upper-case hex).
std::string PercentEncoded(const std::string& text, std::string_view plain, bool blankAsPlus);

// What the download command runs once the dialog has closed with OK: the
// option quotes, then the daily history. A stop by the user ends both.
struct DownloadChoice {
    bool quotes = false;
    bool history = false;
    std::vector<std::string> quoteSymbols;    // QuoteSelection
    std::vector<std::string> historySymbols;  // HistorySelection
};
DownloadOutcome RunDownloads(HTTPer& http, const DownloadSetup& setup, const DownloadChoice& choice,
                             Notifier& notifier, DownloadDisplay& display);

}  // namespace kestrava
